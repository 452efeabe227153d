#include "contracts/profile_report.h"

#include <algorithm>

#include "core/text.h"
#include "platform/ui.h"

namespace kvt::contracts {

namespace {

constexpr std::string_view kFace = "Arial";
constexpr int kHeaderFont = 80;  // tenths of a point
constexpr int kDayFont = 65;
constexpr int kMinColumnWidth = 2000;
constexpr int kColumnGap = 140;
constexpr int kMonthGap = 80;  // below a month block

// Okabe-Ito colours: told apart by readers with any common colour vision deficiency.
constexpr Rgb kBlue{0, 114, 178};
constexpr Rgb kSkyBlue{86, 180, 233};
constexpr Rgb kOrange{230, 159, 0};
constexpr Rgb kVermillion{213, 94, 0};
constexpr Rgb kGrid{200, 200, 200};
constexpr Rgb kLightGrid{228, 228, 228};
constexpr Rgb kBandTint{232, 236, 240};
constexpr Rgb kNextDay{244, 244, 244};
constexpr Rgb kDarkText{60, 60, 60};

void Line(Canvas& c, int x1, int y1, int x2, int y2) {
  c.MoveTo(x1, y1);
  c.LineTo(x2, y2);
}

std::string AuthorityText(const HeaderNames& names, int ente) {
  auto it = names.authorities.find(ente);
  return Format("Ente: [%d] %s", ente,
                it == names.authorities.end() ? "*** ENTE INESISTENTE ***" : it->second.c_str());
}

std::string CompanyText(const HeaderNames& names, int azienda) {
  auto it = names.companies.find(azienda);
  return Format("Azienda: [%d] %s", azienda,
                it == names.companies.end() ? "*** AZIENDA INESISTENTE ***" : it->second.c_str());
}

kvt::PrintStamp Stamp(const PrintStamp& s) {
  return kvt::PrintStamp{s.date, s.hour, s.minute};
}

// Past midnight the hours go on (24:30 is half past midnight of the next day), as
// timetables write them.
std::string ClockText(int minute) {
  return Format("%02d:%02d", minute / 60, minute % 60);
}

// A bar of one day class: solid (weekdays), split lengthwise by a white line (Saturdays),
// broken into segments (Sundays and holidays).
void DrawClassBar(Canvas& c, DayClass cls, int left, int top, int right, int bottom) {
  if (right <= left) return;
  const Rgb colour = ClassColour(cls);
  switch (cls) {
    case DayClass::Weekday:
      c.FillRect(left, top, right, bottom, colour);
      break;
    case DayClass::Saturday: {
      c.FillRect(left, top, right, bottom, colour);
      const int mid = (top + bottom) / 2;
      const int half = std::max(2, (bottom - top) / 8);
      c.FillRect(left, mid - half, right, mid + half, kWhite);
      break;
    }
    case DayClass::Holiday: {
      const int segment = std::max(12, (bottom - top));
      const int gap = std::max(4, segment / 3);
      for (int x = left; x < right; x += segment)
        c.FillRect(x, top, std::min(right, x + segment - gap), bottom, colour);
      break;
    }
  }
}

}  // namespace

AxisScale NiceScale(int64_t value, int maxTicks) {
  if (value <= 0) return {1, 1};
  maxTicks = std::max(1, maxTicks);
  for (int64_t power = 1;; power *= 10) {
    for (int64_t tenths : {10, 20, 25, 50}) {
      const int64_t step = power * tenths / 10;
      if (step == 0 || power * tenths % 10 != 0) continue;
      const int64_t ticks = (value + step - 1) / step;
      if (ticks <= maxTicks) return {ticks * step, step};
    }
  }
}

DayClass ClassOf(const Date& d) {
  if (Weekday(d) == 7 || IsHoliday(d)) return DayClass::Holiday;
  if (Weekday(d) == 6) return DayClass::Saturday;
  return DayClass::Weekday;
}

Rgb ClassColour(DayClass c) {
  switch (c) {
    case DayClass::Weekday:
      return kBlue;
    case DayClass::Saturday:
      return kOrange;
    case DayClass::Holiday:
      return kVermillion;
  }
  return kBlue;
}

std::string ClassLabel(DayClass c) {
  switch (c) {
    case DayClass::Weekday:
      return "Feriali (LUN-VEN)";
    case DayClass::Saturday:
      return "Sabato";
    case DayClass::Holiday:
      return "Domenica e festivi";
  }
  return "";
}

// --- Daily profile -------------------------------------------------------------------------

DailyProfileReport::DailyProfileReport(std::vector<DailyProfile> profiles, ProfileParams params,
                                       HeaderNames names, PrintStamp stamp)
    : profiles_(std::move(profiles)),
      params_(std::move(params)),
      names_(std::move(names)),
      stamp_(stamp) {
  for (const DailyProfile& p : profiles_) {
    std::vector<MonthSpan>& months = months_.emplace_back();
    Date d = p.first;
    for (size_t i = 0; i < p.metres.size();) {
      MonthSpan m{d.year, d.month, i, 0};
      const size_t left = static_cast<size_t>(DaysInMonth(d.month, d.year) - d.day + 1);
      m.count = std::min(left, p.metres.size() - i);
      months.push_back(m);
      i += m.count;
      d = d.month == 12 ? Date{1, 1, d.year + 1} : Date{1, d.month + 1, d.year};
    }
  }
}

void DailyProfileReport::SelectText(Canvas& c, int tenths, int weight) const {
  c.SelectFont(kFace, tenths, weight);
}

int DailyProfileReport::Layout(Canvas& canvas) {
  area_ = AreaOf(canvas);
  SelectText(canvas, kHeaderFont, kWeightNormal);
  lineHeight_ = canvas.MeasureText("Pag. 0 di 0").height;
  SelectText(canvas, kDayFont, kWeightNormal);
  smallHeight_ = canvas.MeasureText("GEN 01").height;

  const int bodyTop = PageHeaderBottom(area_, lineHeight_);
  const int bodyBottom = area_.Bottom() - (2 * lineHeight_ + 80);
  const int body = std::max(0, bodyBottom - bodyTop);
  // A month: heading band, its day rows, the scale's labels and a gap. The rows are as high
  // as lets whole months of 31 days fill the column.
  const int extras = lineHeight_ + 60 + smallHeight_ + 40 + kMonthGap;
  const int minRow = smallHeight_ + 8;
  const int monthsPerColumn = std::max(1, body / (31 * minRow + extras));
  columns_ = std::clamp(area_.width / kMinColumnWidth, 1, 3);
  rowHeight_ = std::clamp((body / monthsPerColumn - extras) / 31, 1, 2 * smallHeight_);

  // Months flow down a column, then into the next; a full page starts the next one; every
  // contract starts a page.
  pages_.clear();
  for (size_t i = 0; i < profiles_.size(); ++i) {
    std::vector<MonthSpan>& months = months_[i];
    size_t start = 0;
    int column = 0, y = 0;
    for (size_t m = 0; m < months.size(); ++m) {
      const int height = extras + static_cast<int>(months[m].count) * rowHeight_;
      if (y > 0 && y + height - kMonthGap > body) {
        y = 0;
        if (++column == columns_) {
          pages_.push_back({i, start, m});
          start = m;
          column = 0;
        }
      }
      months[m].column = column;
      months[m].y = y;
      y += height;
    }
    if (!months.empty()) pages_.push_back({i, start, months.size()});
  }
  return static_cast<int>(pages_.size());
}

void DailyProfileReport::DrawMonth(Canvas& c, const DailyProfile& p, const MonthSpan& m, int x,
                                   int y, int width, int64_t scaleTopKm) const {
  // Heading band: the month and its kilometres.
  const int bandBottom = y + lineHeight_ + 30;
  c.FillRect(x, y, x + width, bandBottom, kBandTint);
  SelectText(c, kHeaderFont, kWeightBold);
  c.DrawText(x + 20, y + 15, MonthHeading(m.month, m.year), kBlack, kBandTint);
  int64_t monthMetres = 0;
  for (size_t i = 0; i < m.count; ++i) monthMetres += p.metres[m.first + i];
  SelectText(c, kHeaderFont, kWeightNormal);
  DrawTextRight(c, x + width - 20, y + 15, "Totale mese " + DayKmText(monthMetres), kBlack,
                kBandTint);

  // Columns of a day row: "GEN 04", " LUN ", the bar, "1234 Km ".
  SelectText(c, kDayFont, kWeightNormal);
  const int dayWidth = c.MeasureText("MMM 00").width + 20;
  const int weekdayWidth = c.MeasureText(" MMM ").width + 20;
  int kmWidth = c.MeasureText("0000 Km ").width;
  kmWidth = std::max(kmWidth, c.MeasureText(DayKmText(p.MaxMetres())).width);
  const int barLeft = x + 10 + dayWidth + weekdayWidth;
  const int barRight = x + width - kmWidth - 30;
  const int rowsTop = bandBottom + 20;
  const int rowsBottom = rowsTop + static_cast<int>(m.count) * rowHeight_;
  const AxisScale scale = NiceScale(scaleTopKm, 5);
  const auto xOf = [&](int64_t metres) {
    return barLeft + static_cast<int>((barRight - barLeft) * metres / (scale.top * 1000));
  };

  // Gridlines behind the bars, at every step of the scale.
  c.SelectPen(1, kGrid);
  for (int64_t t = scale.step; t <= scale.top; t += scale.step)
    Line(c, xOf(t * 1000), rowsTop, xOf(t * 1000), rowsBottom);

  const int barInset = std::max(2, rowHeight_ / 6);
  for (size_t i = 0; i < m.count; ++i) {
    const Date d = p.DayAt(m.first + i);
    const int rowTop = rowsTop + static_cast<int>(i) * rowHeight_;
    const int textY = rowTop + (rowHeight_ - smallHeight_) / 2;
    const DayClass cls = ClassOf(d);
    const int weight = cls == DayClass::Holiday ? kWeightBold : kWeightNormal;
    SelectText(c, kDayFont, weight);
    c.DrawText(x + 10, textY, ShortDay(d), kBlack, kWhite);
    c.DrawText(x + 10 + dayWidth, textY, " " + WeekdayAbbreviation(d) + " ", kBlack, kWhite);
    const int64_t metres = p.metres[m.first + i];
    DrawClassBar(c, cls, barLeft, rowTop + barInset, xOf(metres), rowTop + rowHeight_ - barInset);
    DrawTextRight(c, x + width - 10, textY, DayKmText(metres), kBlack, kWhite);
    // A thin rule after each Sunday marks the weeks.
    if (Weekday(d) == 7 && i + 1 < m.count) {
      c.SelectPen(1, kGrid);
      Line(c, x + 10, rowTop + rowHeight_, x + width - 10, rowTop + rowHeight_);
    }
  }
  // The axis and the scale's labels below it.
  c.SelectPen(3, kBlack);
  Line(c, barLeft, rowsTop, barLeft, rowsBottom);
  Line(c, barLeft, rowsBottom, barRight, rowsBottom);
  SelectText(c, kDayFont, kWeightNormal);
  for (int64_t t = 0; t <= scale.top; t += scale.step) {
    const std::string label = Format("%lld", static_cast<long long>(t));
    const int w = c.MeasureText(label).width;
    c.DrawText(xOf(t * 1000) - w / 2, rowsBottom + 15, label, kDarkText, kWhite);
  }
  DrawTextRight(c, x + width - 10, rowsBottom + 15, "Km", kDarkText, kWhite);
}

void DailyProfileReport::DrawLegend(Canvas& c, int y, bool total, const DailyProfile& p) const {
  SelectText(c, kHeaderFont, kWeightNormal);
  c.SelectPen(2, kBlack);
  Line(c, area_.left, y, area_.Right(), y);
  const int textY = y + 30;
  int x = area_.left;
  const std::string heading = "Legenda colori giorni: ";
  c.DrawText(x, textY, heading, kBlack, kWhite);
  x += c.MeasureText(heading).width + 30;
  const int swatchWidth = 5 * lineHeight_ / 2;
  for (DayClass cls : {DayClass::Weekday, DayClass::Saturday, DayClass::Holiday}) {
    DrawClassBar(c, cls, x, textY + lineHeight_ / 8, x + swatchWidth,
                 textY + lineHeight_ - lineHeight_ / 8);
    x += swatchWidth + 25;
    const std::string label = ClassLabel(cls);
    c.DrawText(x, textY, label, kBlack, kWhite);
    x += c.MeasureText(label).width + 80;
  }
  if (total) {
    SelectText(c, kHeaderFont, kWeightBold);
    DrawTextRight(c, area_.Right(), textY, ContractTotalText(p.TotalMetres()), kBlack, kWhite);
  }
}

void DailyProfileReport::DrawPage(Canvas& c, int page) {
  if (page < 1 || page > static_cast<int>(pages_.size())) return;
  const PageSpan& span = pages_[page - 1];
  const DailyProfile& p = profiles_[span.profile];
  SelectText(c, kHeaderFont, kWeightNormal);
  c.SelectPen(2, kBlack);
  PageHeader header;
  header.page = page;
  header.pageCount = static_cast<int>(pages_.size());
  header.printed = Stamp(stamp_);
  header.band1Left = AuthorityText(names_, p.ente);
  header.band1Right = "Periodo dal " + params_.startDate + " al " + params_.endDate;
  header.band2Left = CompanyText(names_, p.azienda);
  header.note = std::string(kDailyTitle) + " - chilometri di contratto per giorno";
  const int bodyTop = DrawPageHeader(c, area_, lineHeight_, header);

  const int64_t maxKm = (p.MaxMetres() + 999) / 1000;
  const int columnWidth = (area_.width - (columns_ - 1) * kColumnGap) / columns_;
  for (size_t m = span.firstMonth; m < span.endMonth; ++m) {
    const MonthSpan& month = months_[span.profile][m];
    DrawMonth(c, p, month, area_.left + month.column * (columnWidth + kColumnGap),
              bodyTop + month.y, columnWidth, maxKm);
  }
  const bool last = page == static_cast<int>(pages_.size()) || pages_[page].profile != span.profile;
  DrawLegend(c, area_.Bottom() - (2 * lineHeight_ + 40), last, p);
}

// --- Hourly profile ------------------------------------------------------------------------

namespace {

// The minutes the chart spans: up to the axis end, and the minute it names included when
// it lies past midnight.
int DrawnMinutes(const HourlyProfile& p) {
  const int end = p.AxisEnd();
  return end > kDayMinutes || p.counters[kDayMinutes] != 0 ? end + 1 : kDayMinutes;
}

}  // namespace

HourlyProfileReport::HourlyProfileReport(std::vector<HourlyProfile> profiles, ProfileParams params,
                                         HeaderNames names, PrintStamp stamp)
    : profiles_(std::move(profiles)),
      params_(std::move(params)),
      names_(std::move(names)),
      stamp_(stamp) {}

void HourlyProfileReport::SelectText(Canvas& c, int tenths, int weight) const {
  c.SelectFont(kFace, tenths, weight);
}

int HourlyProfileReport::Layout(Canvas& canvas) {
  area_ = AreaOf(canvas);
  SelectText(canvas, kHeaderFont, kWeightNormal);
  lineHeight_ = canvas.MeasureText("Pag. 0 di 0").height;
  const int bodyTop = PageHeaderBottom(area_, lineHeight_);
  plotLeft_ = area_.left + canvas.MeasureText("00000").width + 80;
  plotRight_ = area_.Right() - 40;
  plotTop_ = bodyTop + 3 * lineHeight_ + 60;
  // The chart takes most of the page, leaving room below for the hours and the summary.
  plotBottom_ = std::max(plotTop_ + 10, area_.Bottom() - 13 * lineHeight_ - 600);
  plotBottom_ = std::min(plotBottom_, plotTop_ + (plotRight_ - plotLeft_) * 9 / 10);
  return static_cast<int>(profiles_.size());
}

int HourlyProfileReport::MinuteX(const HourlyProfile& p, int minute) const {
  return plotLeft_ + static_cast<int>(int64_t{plotRight_ - plotLeft_} * minute / DrawnMinutes(p));
}

int HourlyProfileReport::CountY(int count, int scaleTop) const {
  return plotBottom_ -
         static_cast<int>(int64_t{plotBottom_ - plotTop_} * count / std::max(1, scaleTop));
}

void HourlyProfileReport::DrawPage(Canvas& c, int page) {
  if (page < 1 || page > static_cast<int>(profiles_.size())) return;
  const HourlyProfile& p = profiles_[page - 1];
  SelectText(c, kHeaderFont, kWeightNormal);
  c.SelectPen(2, kBlack);
  PageHeader header;
  header.page = page;
  header.pageCount = static_cast<int>(profiles_.size());
  header.printed = Stamp(stamp_);
  header.band1Left = AuthorityText(names_, p.ente);
  header.band1Right = "Data " + params_.date;
  header.band2Left = CompanyText(names_, p.azienda);
  header.note = std::string(kHourlyTitle) + " - corse in servizio minuto per minuto";
  DrawPageHeader(c, area_, lineHeight_, header);

  const int peak = p.Peak();
  // Headroom above the peak for its label.
  const AxisScale scale = NiceScale(peak + std::max(1, peak / 8), 8);
  const int top = static_cast<int>(scale.top);
  const int minutes = DrawnMinutes(p);
  const int lh = lineHeight_;

  // The next day, shaded.
  if (minutes > kDayMinutes) {
    const int midnight = MinuteX(p, kDayMinutes);
    c.FillRect(midnight, plotTop_, plotRight_, plotBottom_, kNextDay);
    // Its name inside the shade when it fits there, else above the plot, ending at its edge.
    SelectText(c, 70, kWeightNormal);
    const std::string next = "giorno successivo";
    const TextExtent e = c.MeasureText(next);
    if (midnight + 20 + e.width + 20 <= plotRight_)
      c.DrawText(midnight + 20, plotTop_ + 15, next, kDarkText, kNextDay);
    else
      DrawTextRight(c, plotRight_, plotTop_ - e.height - 15, next, kDarkText, kWhite);
  }

  // Gridlines: counts across, hours down.
  SelectText(c, kHeaderFont, kWeightNormal);
  for (int64_t t = 0; t <= scale.top; t += scale.step) {
    const int y = CountY(static_cast<int>(t), top);
    c.SelectPen(1, kGrid);
    if (t > 0) Line(c, plotLeft_, y, plotRight_, y);
    DrawTextRight(c, plotLeft_ - 30, y - lh / 2, Format("%lld", static_cast<long long>(t)), kBlack,
                  kWhite);
  }
  const int hourWidth = MinuteX(p, 60) - MinuteX(p, 0);
  const int labelEvery = hourWidth >= c.MeasureText("000").width ? 1 : 2;
  for (int h = 0; h * 60 <= minutes; ++h) {
    const int x = MinuteX(p, h * 60);
    c.SelectPen(1, h % 6 == 0 ? kGrid : kLightGrid);
    if (h > 0) Line(c, x, plotTop_, x, plotBottom_);
    if (h % labelEvery == 0) {
      const std::string label = Format("%02d", h);
      c.DrawText(x - c.MeasureText(label).width / 2, plotBottom_ + 20, label, kBlack, kWhite);
    }
  }

  // The profile: a filled step area with its outline.
  int runStart = 0;
  for (int m = 1; m <= minutes; ++m) {
    if (m < minutes && p.counters[m] == p.counters[runStart]) continue;
    if (p.counters[runStart] > 0)
      c.FillRect(MinuteX(p, runStart), CountY(p.counters[runStart], top), MinuteX(p, m),
                 plotBottom_, kSkyBlue);
    runStart = m;
  }
  c.SelectPen(4, kBlue);
  c.MoveTo(MinuteX(p, 0), CountY(p.counters[0], top));
  for (int m = 1; m < minutes; ++m) {
    if (p.counters[m] == p.counters[m - 1]) continue;
    c.LineTo(MinuteX(p, m), CountY(p.counters[m - 1], top));
    c.LineTo(MinuteX(p, m), CountY(p.counters[m], top));
  }
  c.LineTo(MinuteX(p, minutes), CountY(p.counters[minutes - 1], top));

  // Axes; midnight of the next day stands out.
  c.SelectPen(3, kBlack);
  Line(c, plotLeft_, plotTop_, plotLeft_, plotBottom_);
  Line(c, plotLeft_, plotBottom_, plotRight_, plotBottom_);
  if (minutes > kDayMinutes) {
    c.SelectPen(3, kDarkText);
    Line(c, MinuteX(p, kDayMinutes), plotTop_, MinuteX(p, kDayMinutes), plotBottom_);
  }

  // The peak: a dashed line across at its level, its first minute marked, its label.
  if (peak > 0) {
    const int y = CountY(peak, top);
    c.SelectPen(3, kVermillion);
    for (int x = plotLeft_; x < plotRight_; x += 60) Line(c, x, y, std::min(plotRight_, x + 36), y);
    const int px = MinuteX(p, p.PeakMinute());
    c.FillRect(px - 18, y - 18, px + 18, y + 18, kVermillion);
    SelectText(c, 90, kWeightBold);
    const std::string label = PeakText(peak);
    const TextExtent e = c.MeasureText(label);
    const int lx = std::clamp(px - e.width / 2, plotLeft_ + 10, plotRight_ - e.width - 10);
    c.DrawText(lx, y - e.height - 30, label, kVermillion, kWhite);
  }

  // Axis titles.
  SelectText(c, kHeaderFont, kWeightBold);
  c.DrawText(area_.left, plotTop_ - 2 * lh - 30, "Corse in servizio", kBlack, kWhite);
  const std::string hours = "Ora del giorno";
  c.DrawText((plotLeft_ + plotRight_ - c.MeasureText(hours).width) / 2, plotBottom_ + lh + 50,
             hours, kBlack, kWhite);

  // Summary below the chart.
  int first = -1, last = -1;
  for (int m = 0; m < kProfileMinutes; ++m)
    if (p.counters[m] > 0) {
      if (first < 0) first = m;
      last = m;
    }
  // Hour by hour, aligned with the chart's hours: the most trips in service and the
  // minutes of service (trip-minutes) of each hour. The figures' font shrinks to fit an
  // hour's width (a 48-hour axis has narrow hours).
  int y = plotBottom_ + 2 * lh + 110;
  const int hoursShown = (minutes + 59) / 60;
  const int rowHeight = lh + 20;
  std::vector<int> most(hoursShown, 0), served(hoursShown, 0);
  for (int m = 0; m < minutes; ++m) {
    most[m / 60] = std::max(most[m / 60], p.counters[m]);
    served[m / 60] += p.counters[m];
  }
  SelectText(c, 65, kWeightNormal);
  const int widest =
      c.MeasureText(Format("%d", *std::max_element(served.begin(), served.end()))).width;
  const int room = MinuteX(p, 60) - MinuteX(p, 0) - 16;
  const int figureFont = std::clamp(65 * room / std::max(1, widest), 40, 65);
  c.FillRect(area_.left, y, area_.Right(), y + rowHeight, kBandTint);
  c.DrawText(area_.left + 10, y + 10, "Ora", kBlack, kBandTint);
  c.DrawText(area_.left + 10, y + rowHeight + 10, "Max", kBlack, kWhite);
  c.DrawText(area_.left + 10, y + 2 * rowHeight + 10, "Min.", kBlack, kWhite);
  SelectText(c, figureFont, kWeightNormal);
  for (int h = 0; h < hoursShown; ++h) {
    const int right = MinuteX(p, std::min(minutes, h * 60 + 60)) - 8;
    DrawTextRight(c, right, y + 10, Format("%02d", h), kBlack, kBandTint);
    DrawTextRight(c, right, y + rowHeight + 10, Format("%d", most[h]), kBlack, kWhite);
    DrawTextRight(c, right, y + 2 * rowHeight + 10, Format("%d", served[h]), kDarkText, kWhite);
    c.SelectPen(1, kGrid);
    Line(c, right + 8, y, right + 8, y + 3 * rowHeight);
  }
  c.SelectPen(1, kGrid);
  Line(c, area_.left, y + 2 * rowHeight, area_.Right(), y + 2 * rowHeight);
  c.SelectPen(2, kBlack);
  Line(c, area_.left, y + 3 * rowHeight, area_.Right(), y + 3 * rowHeight);
  SelectText(c, 65, kWeightNormal);
  c.DrawText(area_.left, y + 3 * rowHeight + 15,
             "Max: le corse in servizio al massimo nell'ora; Min.: i minuti di servizio delle "
             "corse nell'ora",
             kDarkText, kWhite);

  SelectText(c, kHeaderFont, kWeightNormal);
  y += 3 * rowHeight + lh + 110;
  const int valueX = area_.left + 60 + c.MeasureText("Fine dell'asse orario:").width;
  const auto item = [&](const std::string& label, const std::string& value) {
    c.DrawText(area_.left + 20, y, label, kBlack, kWhite);
    c.DrawText(valueX, y, value, kBlack, kWhite);
    y += lh + 20;
  };
  item("Corse del giorno:", Format("%d", p.trips));
  item("Picco:", peak > 0 ? PeakText(peak) + " alle " + ClockText(p.PeakMinute()) : PeakText(0));
  if (first >= 0) {
    item("Inizio del servizio:", ClockText(first));
    item("Fine del servizio:", ClockText(last + 1));
  }
  item("Fine dell'asse orario:", ClockText(p.AxisEnd()));
}

// --- Printing ------------------------------------------------------------------------------

bool PrintDailyProfiles(Ui& ui, db::Database& db, std::vector<DailyProfile> profiles,
                        const ProfileParams& params) {
  std::optional<HeaderNames> names = ReadHeaderNames(db);
  if (!names) return false;
  DailyProfileReport report(std::move(profiles), params, std::move(*names), Now());
  return ui.PrintReport(report,
                        params.output == OutputKind::Print ? PrintMode::Print : PrintMode::Preview);
}

bool PrintHourlyProfiles(Ui& ui, db::Database& db, std::vector<HourlyProfile> profiles,
                         const ProfileParams& params) {
  std::optional<HeaderNames> names = ReadHeaderNames(db);
  if (!names) return false;
  HourlyProfileReport report(std::move(profiles), params, std::move(*names), Now());
  return ui.PrintReport(report,
                        params.output == OutputKind::Print ? PrintMode::Print : PrintMode::Preview);
}

}  // namespace kvt::contracts
