#include "gui/painter_canvas.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cmath>

#include "gui/qt_ui.h"

namespace kvt::gui {
namespace {

QColor ToColour(Rgb c) {
  return QColor(c.r, c.g, c.b);
}

}  // namespace

PainterCanvas::PainterCanvas(QPainter& painter, int pageWidth, int pageHeight, int dpi)
    : painter_(painter), width_(pageWidth), height_(pageHeight), dpi_(dpi > 0 ? dpi : 600) {
  SelectFont("Arial", 100, kWeightNormal);
  SelectPen(1, kBlack);
}

void PainterCanvas::SelectFont(std::string_view face, int tenthsOfPoint, int weight) {
  font_ = QFont(ToQ(face));
  font_.setPixelSize(std::max(1, static_cast<int>(std::lround(tenthsOfPoint * dpi_ / 720.0))));
  font_.setWeight(static_cast<QFont::Weight>(std::clamp(weight, 100, 900)));
  font_.setHintingPreference(QFont::PreferNoHinting);
  font_.setKerning(false);  // widths add up character by character, as measured
  painter_.setFont(font_);
  metrics_.emplace(font_, painter_.device());
}

void PainterCanvas::SelectPen(int width, Rgb colour) {
  QPen pen(ToColour(colour), std::max(width, 1), Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
  painter_.setPen(pen);
}

TextExtent PainterCanvas::MeasureText(std::string_view utf8) {
  return TextExtent{static_cast<int>(std::ceil(metrics_->horizontalAdvance(ToQ(utf8)))),
                    static_cast<int>(std::ceil(metrics_->height()))};
}

void PainterCanvas::DrawText(int x, int y, std::string_view utf8, Rgb text, Rgb background) {
  QString s = ToQ(utf8);
  const QFontMetricsF& metrics = *metrics_;
  QRectF box(x, y, metrics.horizontalAdvance(s), metrics.height());
  painter_.fillRect(box, ToColour(background));
  QPen pen = painter_.pen();
  painter_.setPen(ToColour(text));
  painter_.drawText(QPointF(x, y + metrics.ascent()), s);
  painter_.setPen(pen);
}

void PainterCanvas::MoveTo(int x, int y) {
  current_ = QPoint(x, y);
}

void PainterCanvas::LineTo(int x, int y) {
  QPoint to(x, y);
  painter_.drawLine(current_, to);
  current_ = to;
}

void PainterCanvas::FillRect(int left, int top, int right, int bottom, Rgb colour) {
  if (right <= left || bottom <= top) return;
  painter_.fillRect(QRect(left, top, right - left, bottom - top), ToColour(colour));
}

}  // namespace kvt::gui
