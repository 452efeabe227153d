// The Canvas of real pages: a QPainter on a printer, on a PDF writer or on the preview's
// page, in the device units of that page.
//
// Fonts are sized in device pixels from the page's resolution (tenths of a point x dpi /
// 720), not in points, so that a page recorded for the preview at the printer's resolution
// and then scaled to the screen keeps the proportions the layout measured. Hinting is off:
// measured widths are those of the font's outlines, the same on every device. "Arial" is
// served by a metric-compatible font (Liberation Sans) through fontconfig.
#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QPoint>
#include <optional>

#include "platform/canvas.h"

class QPainter;

namespace kvt::gui {

class PainterCanvas : public Canvas {
 public:
  // `painter` is active on a device whose pixels are the page's device units; `dpi` is that
  // device's resolution.
  PainterCanvas(QPainter& painter, int pageWidth, int pageHeight, int dpi);

  int PageWidth() const override { return width_; }
  int PageHeight() const override { return height_; }
  void SelectFont(std::string_view face, int tenthsOfPoint, int weight) override;
  void SelectPen(int width, Rgb colour) override;
  TextExtent MeasureText(std::string_view utf8) override;
  void DrawText(int x, int y, std::string_view utf8, Rgb text, Rgb background) override;
  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void FillRect(int left, int top, int right, int bottom, Rgb colour) override;

 private:
  QPainter& painter_;
  int width_;
  int height_;
  int dpi_;
  QFont font_;
  // The metrics of font_ on the device, made once per font: a report measures every cell.
  std::optional<QFontMetricsF> metrics_;
  QPoint current_;
};

}  // namespace kvt::gui
