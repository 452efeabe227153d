#include "platform/report.h"

#include <ctime>

#include "core/text.h"

namespace kvt {

void PageTable::Set(int page, long firstRow) {
  if (page < 1) return;
  if (static_cast<size_t>(page) > rows_.size()) rows_.resize(static_cast<size_t>(page), -1);
  rows_[static_cast<size_t>(page) - 1] = firstRow;
}

long PageTable::Get(int page) const {
  if (page < 1 || static_cast<size_t>(page) > rows_.size()) return -1;
  return rows_[static_cast<size_t>(page) - 1];
}

LayoutArea AreaOf(const Canvas& canvas) {
  return LayoutArea{kPageMargin, kPageMargin, canvas.PageWidth() - 2 * kPageMargin,
                    canvas.PageHeight() - 2 * kPageMargin};
}

void DrawTextRight(Canvas& canvas, int right, int y, std::string_view text, Rgb colour,
                   Rgb background) {
  canvas.DrawText(right - canvas.MeasureText(text).width, y, text, colour, background);
}

PrintStamp PrintStampNow() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return PrintStamp{Date{tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900}, tm.tm_hour, tm.tm_min};
}

std::string PrintStampText(const PrintStamp& s) {
  return Format("%02d/%02d/%04d %02d:%02d", s.date.day, s.date.month, s.date.year, s.hour,
                s.minute);
}

std::string PageNumberText(int page, int pageCount) {
  return Format("Pag. %d di %d", page, pageCount);
}

namespace {

// The header's lines, each below the previous by the line height and a fixed gap.
struct HeaderLines {
  int title, stamp, band1, band2, note, bottom;
};

HeaderLines LinesOf(const LayoutArea& area, int lh) {
  HeaderLines y{};
  y.title = area.top;
  y.stamp = y.title + lh + 10;
  y.band1 = y.stamp + lh + 30;
  y.band2 = y.band1 + lh + 15;
  y.note = y.band2 + lh + 45;
  y.bottom = y.note + lh + 45;
  return y;
}

// The band's texts keep off its ends by the padding of a table cell.
constexpr int kBandInset = 20;

void DrawBand(Canvas& canvas, const LayoutArea& area, int y, int lh, std::string_view left,
              std::string_view right) {
  canvas.FillRect(area.left, y - 10, area.Right(), y + lh + 20, kGrey);
  if (!left.empty()) canvas.DrawText(area.left + kBandInset, y, left, kBlack, kGrey);
  if (!right.empty()) DrawTextRight(canvas, area.Right() - kBandInset, y, right, kBlack, kGrey);
}

}  // namespace

int PageHeaderBottom(const LayoutArea& area, int lineHeight) {
  return LinesOf(area, lineHeight).bottom;
}

int DrawPageHeader(Canvas& canvas, const LayoutArea& area, int lineHeight,
                   const PageHeader& header) {
  HeaderLines y = LinesOf(area, lineHeight);
  canvas.DrawText(area.left, y.title, header.heading, kBlack, kWhite);
  DrawTextRight(canvas, area.Right(), y.title, PageNumberText(header.page, header.pageCount),
                kBlack, kWhite);
  DrawTextRight(canvas, area.Right(), y.stamp, PrintStampText(header.printed), kBlack, kWhite);
  DrawBand(canvas, area, y.band1, lineHeight, header.band1Left, header.band1Right);
  DrawBand(canvas, area, y.band2, lineHeight, header.band2Left, header.band2Right);
  if (!header.note.empty()) canvas.DrawText(area.left, y.note, header.note, kBlack, kWhite);
  return y.bottom;
}

}  // namespace kvt
