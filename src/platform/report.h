// A printed report and the page model every report shares.
//
// A report is printed in two passes over its own rows: Layout measures every text on the
// canvas, fixes the columns and splits the rows into pages (so the page count is known
// before the first page is drawn); DrawPage then draws one page on request, for the
// printer, the preview or the PDF file, in any order and as often as asked. The Ui runs
// both (Ui::PrintReport); a report never talks to the printer itself.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/dates.h"
#include "platform/canvas.h"

namespace kvt {

// The page orientation a report asks for when no print dialog chooses it (a PDF written
// from the command line; the first page of the window's preview).
enum class PageOrientation {
  Portrait,
  Landscape,
  // Portrait, unless what the report laid out on a portrait page is wider than the page.
  Automatic,
};

class Report {
 public:
  virtual ~Report() = default;
  // The document title (the print job's name, the preview's caption).
  virtual std::string Title() const = 0;
  // Lays the report out on this canvas and returns its page count. May run more than once
  // (a new printer, a new orientation): each run starts afresh.
  virtual int Layout(Canvas& canvas) = 0;
  // Draws page `page` (1..page count) as the last Layout placed it.
  virtual void DrawPage(Canvas& canvas, int page) = 0;

  virtual PageOrientation Orientation() const { return PageOrientation::Portrait; }
  // After Layout: some content runs past the right edge of the page.
  virtual bool WiderThanPage() const { return false; }
};

// What the user asked of a print: the preview window (from which the pages can still be
// printed) or the printer straight away.
enum class PrintMode { Preview, Print };

// Shown when a report is handed to a print view that is already printing another.
inline constexpr std::string_view kPrintBusyMessage = "E' impossibile associare la stampa !!!\n";
// Shown when the chosen printer cannot be opened (nothing is printed).
inline constexpr std::string_view kPrinterOpenMessage =
    "Non è possibile aprire la stampante.\n\n"
    "Verificare l'impostazione della stampante associata\n"
    "all'applicazione e riprovare successivamente.\n";
// Shown when a report has no page to print.
inline constexpr std::string_view kNothingToPrintMessage = "Non ci sono dati da stampare !!!";

// The first row of each page, pages counted from 1. Grows as pages are set: a report of
// any length keeps the start of every page. Pages never set read -1.
class PageTable {
 public:
  void Clear() { rows_.clear(); }
  // Page numbers below 1 are ignored.
  void Set(int page, long firstRow);
  long Get(int page) const;
  // The highest page set.
  int Count() const { return static_cast<int>(rows_.size()); }

 private:
  std::vector<long> rows_;
};

// The part of the page a report lays out on: the printable page less a margin of
// kPageMargin device units on every side.
inline constexpr int kPageMargin = 50;
struct LayoutArea {
  int left = 0, top = 0, width = 0, height = 0;
  int Right() const { return left + width; }
  int Bottom() const { return top + height; }
};
LayoutArea AreaOf(const Canvas& canvas);

// Draws `text` so that it ends at x = right (top-left anchor otherwise as DrawText).
void DrawTextRight(Canvas& canvas, int right, int y, std::string_view text, Rgb colour,
                   Rgb background);

// --- The page header of the printed reports -------------------------------------------
//
//   <heading>                                                      Pag. <n> di <count>
//                                                                     GG/MM/AAAA hh:mm
//   [grey band]  <band1Left>                                             <band1Right>
//                (band texts 20 units inside the band's ends)
//   [grey band]  <band2Left>                                             <band2Right>
//   <note, on white>
//   (the report's own table starts at the y DrawPageHeader returns)
//
// Drawn in the font the caller has selected; `lineHeight` is the report's line height
// (its tallest text).

inline constexpr std::string_view kReportHeading = "KVT-BASE2 - \"Trasvia - Regione Velmora\"";

// When the print was made, local time.
struct PrintStamp {
  Date date;
  int hour = 0;
  int minute = 0;
};
PrintStamp PrintStampNow();
// "%02d/%02d/%04d %02d:%02d"
std::string PrintStampText(const PrintStamp& stamp);
// "Pag. %d di %d"
std::string PageNumberText(int page, int pageCount);

struct PageHeader {
  std::string heading{kReportHeading};
  int page = 1;
  int pageCount = 1;
  PrintStamp printed;
  std::string band1Left, band1Right;  // e.g. "Ente: [%d] %s", "Periodo dal ... al ..."
  std::string band2Left, band2Right;  // e.g. "Azienda: [%d] %s"
  std::string note;                   // e.g. the kind of distances
};

// The y (device units) where the report's own content begins below the header: the header
// measured without drawing it, for the layout pass.
int PageHeaderBottom(const LayoutArea& area, int lineHeight);
// Draws the header from the top of the area and returns PageHeaderBottom.
int DrawPageHeader(Canvas& canvas, const LayoutArea& area, int lineHeight,
                   const PageHeader& header);

}  // namespace kvt
