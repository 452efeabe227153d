// The service profiles as printed reports, drawn through a Canvas only.
//
// Daily profile ("Profilo di servizio"): per contract, the period month by month; each
// month is a block headed "GENNAIO 2010" with one row a day: "GEN 04", " LUN ", a bar of
// the day's kilometres on the contract's own scale and "1234 Km ". The bars tell three day
// classes apart by colour (Okabe-Ito blue, orange, vermillion) and by texture (solid,
// split lengthwise, broken in segments), so that a reader who cannot tell the colours
// apart still can; the weekday label says it in words too. A contract takes as many pages
// as its months need, and its last page ends with
// "Totale Contratto %1.2lf Km". Every page carries the colour key.
// Month blocks flow down a column and on into the next (two columns on a portrait page,
// three in landscape), so that a short period takes little room.
//
// Hourly profile ("Profilo Orario"): one page per contract: trips in service minute by
// minute as a filled step chart from 00:00 to the axis end (at least 24 hours; past
// midnight the next day is shaded), hour by hour gridlines, the peak marked and written
// "Picco %d Corse".
#pragma once

#include <string>
#include <vector>

#include "contracts/profile.h"
#include "contracts/report.h"
#include "platform/canvas.h"
#include "platform/report.h"

namespace kvt::contracts {

// The day classes of the daily chart and their colours.
enum class DayClass { Weekday, Saturday, Holiday };
DayClass ClassOf(const Date& d);
Rgb ClassColour(DayClass c);
std::string ClassLabel(DayClass c);  // as the colour key names it

class DailyProfileReport : public Report {
 public:
  DailyProfileReport(std::vector<DailyProfile> profiles, ProfileParams params, HeaderNames names,
                     PrintStamp stamp);

  std::string Title() const override { return std::string(kDailyTitle); }
  int Layout(Canvas& canvas) override;
  void DrawPage(Canvas& canvas, int page) override;

  // After Layout: which contract and which months each page shows.
  struct PageSpan {
    size_t profile = 0;
    size_t firstMonth = 0, endMonth = 0;  // in the contract's months
  };
  const std::vector<PageSpan>& Pages() const { return pages_; }

 private:
  struct MonthSpan {
    int year = 0, month = 0;
    size_t first = 0, count = 0;  // days of the profile (indices into metres)
    int column = 0, y = 0;        // where Layout placed it: column, y below the header
  };
  void SelectText(Canvas& c, int tenths, int weight) const;
  void DrawMonth(Canvas& c, const DailyProfile& p, const MonthSpan& m, int x, int y, int width,
                 int64_t scale) const;
  void DrawLegend(Canvas& c, int y, bool total, const DailyProfile& p) const;

  std::vector<DailyProfile> profiles_;
  ProfileParams params_;
  HeaderNames names_;
  PrintStamp stamp_;
  std::vector<std::vector<MonthSpan>> months_;  // per profile
  std::vector<PageSpan> pages_;
  LayoutArea area_{};
  int lineHeight_ = 0;   // header font
  int smallHeight_ = 0;  // day rows' font
  int columns_ = 1;
  int rowHeight_ = 0;
};

class HourlyProfileReport : public Report {
 public:
  HourlyProfileReport(std::vector<HourlyProfile> profiles, ProfileParams params, HeaderNames names,
                      PrintStamp stamp);

  std::string Title() const override { return std::string(kHourlyTitle); }
  int Layout(Canvas& canvas) override;
  void DrawPage(Canvas& canvas, int page) override;

  // After Layout: the plot's frame on the page (device units).
  int PlotLeft() const { return plotLeft_; }
  int PlotRight() const { return plotRight_; }
  int PlotTop() const { return plotTop_; }
  int PlotBottom() const { return plotBottom_; }
  // The x of a minute and the y of a count on the plot of profile `i`.
  int MinuteX(const HourlyProfile& p, int minute) const;
  int CountY(int count, int scaleTop) const;

 private:
  void SelectText(Canvas& c, int tenths, int weight) const;

  std::vector<HourlyProfile> profiles_;
  ProfileParams params_;
  HeaderNames names_;
  PrintStamp stamp_;
  LayoutArea area_{};
  int lineHeight_ = 0;
  int plotLeft_ = 0, plotRight_ = 0, plotTop_ = 0, plotBottom_ = 0;
};

// A round top for an axis from 0 to at least `value`, with its step: steps of 1, 2, 2.5 or
// 5 times a power of ten, at most `maxTicks` of them.
struct AxisScale {
  int64_t top = 1;
  int64_t step = 1;
};
AxisScale NiceScale(int64_t value, int maxTicks);

// Lays a profile out and hands it to the Ui's printing. False when nothing was printed.
bool PrintDailyProfiles(Ui& ui, db::Database& db, std::vector<DailyProfile> profiles,
                        const ProfileParams& params);
bool PrintHourlyProfiles(Ui& ui, db::Database& db, std::vector<HourlyProfile> profiles,
                         const ProfileParams& params);

}  // namespace kvt::contracts
