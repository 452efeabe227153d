#include "platform/recording_canvas.h"

#include "core/text.h"

namespace kvt {
namespace {

// Text calls drawn on `page`; 0 stands for every page.
bool TextOn(const CanvasCall& c, int page) {
  return c.op == CanvasOp::Text && (page == 0 || c.page == page);
}

}  // namespace

RecordingCanvas::RecordingCanvas(int pageWidth, int pageHeight)
    : width_(pageWidth), height_(pageHeight) {}

TextExtent RecordingCanvas::Extent(std::string_view utf8, int tenthsOfPoint) {
  int chars = static_cast<int>(Utf8Length(utf8));
  return TextExtent{chars * tenthsOfPoint * 6 / 10, tenthsOfPoint * 15 / 10};
}

CanvasCall& RecordingCanvas::Add(CanvasOp op) {
  CanvasCall& c = calls_.emplace_back();
  c.op = op;
  c.page = page_;
  return c;
}

void RecordingCanvas::BeginPage(int page) {
  page_ = page;
  ++pagesBegun_;
  Add(CanvasOp::Page);
}

std::vector<CanvasCall> RecordingCanvas::PageCalls(int page) const {
  std::vector<CanvasCall> out;
  for (const CanvasCall& c : calls_)
    if (c.page == page && c.op != CanvasOp::Page) out.push_back(c);
  return out;
}

std::vector<std::string> RecordingCanvas::Texts(int page) const {
  std::vector<std::string> out;
  for (const CanvasCall& c : calls_)
    if (TextOn(c, page)) out.push_back(c.text);
  return out;
}

const CanvasCall* RecordingCanvas::FindText(std::string_view text, int page) const {
  for (const CanvasCall& c : calls_)
    if (TextOn(c, page) && c.text == text) return &c;
  return nullptr;
}

void RecordingCanvas::Clear() {
  calls_.clear();
  page_ = 0;
  pagesBegun_ = 0;
}

void RecordingCanvas::SelectFont(std::string_view face, int tenthsOfPoint, int weight) {
  face_ = face;
  size_ = tenthsOfPoint;
  weight_ = weight;
  CanvasCall& c = Add(CanvasOp::Font);
  c.text = face_;
  c.face = face_;
  c.size = size_;
  c.weight = weight_;
}

void RecordingCanvas::SelectPen(int width, Rgb colour) {
  penWidth_ = width;
  penColour_ = colour;
  CanvasCall& c = Add(CanvasOp::Pen);
  c.penWidth = width;
  c.colour = colour;
}

TextExtent RecordingCanvas::MeasureText(std::string_view utf8) {
  return Extent(utf8, size_);
}

void RecordingCanvas::DrawText(int x, int y, std::string_view utf8, Rgb text, Rgb background) {
  TextExtent e = Extent(utf8, size_);
  CanvasCall& c = Add(CanvasOp::Text);
  c.x = x;
  c.y = y;
  c.x2 = x + e.width;
  c.y2 = y + e.height;
  c.text = utf8;
  c.face = face_;
  c.size = size_;
  c.weight = weight_;
  c.colour = text;
  c.background = background;
}

void RecordingCanvas::MoveTo(int x, int y) {
  curX_ = x;
  curY_ = y;
  CanvasCall& c = Add(CanvasOp::Move);
  c.x = x;
  c.y = y;
}

void RecordingCanvas::LineTo(int x, int y) {
  CanvasCall& c = Add(CanvasOp::Line);
  c.x = curX_;
  c.y = curY_;
  c.x2 = x;
  c.y2 = y;
  c.penWidth = penWidth_;
  c.colour = penColour_;
  curX_ = x;
  curY_ = y;
}

void RecordingCanvas::FillRect(int left, int top, int right, int bottom, Rgb colour) {
  CanvasCall& c = Add(CanvasOp::Fill);
  c.x = left;
  c.y = top;
  c.x2 = right;
  c.y2 = bottom;
  c.colour = colour;
}

}  // namespace kvt
