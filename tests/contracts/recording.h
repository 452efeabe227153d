// A canvas that keeps every call, for the layout tests. Text metrics are deterministic:
// width = characters x tenths of a point x 6 / 10, height = tenths x 15 / 10.
#pragma once

#include <string>
#include <vector>

#include "platform/canvas.h"
#include "platform/report.h"
#include "core/text.h"

namespace kvt::contracts::test {

struct Call {
  enum Kind { Font, Pen, Text, Move, Line, Fill } kind;
  int x = 0, y = 0, x2 = 0, y2 = 0;
  std::string text;
  int size = 0;
  Rgb fg, bg;
};

class Recorder : public Canvas {
 public:
  Recorder(int w, int h) : w_(w), h_(h) {}
  int PageWidth() const override { return w_; }
  int PageHeight() const override { return h_; }
  void SelectFont(std::string_view face, int tenths, int weight) override {
    size_ = tenths;
    calls.push_back({Call::Font, 0, 0, 0, 0, std::string(face), tenths});
  }
  void SelectPen(int width, Rgb colour) override {
    calls.push_back({Call::Pen, width, 0, 0, 0, "", 0, colour});
  }
  TextExtent MeasureText(std::string_view utf8) override {
    return {static_cast<int>(Utf8Length(utf8)) * size_ * 6 / 10, size_ * 15 / 10};
  }
  void DrawText(int x, int y, std::string_view utf8, Rgb text, Rgb background) override {
    calls.push_back({Call::Text, x, y, 0, 0, std::string(utf8), size_, text, background});
  }
  void MoveTo(int x, int y) override {
    at_x_ = x;
    at_y_ = y;
  }
  void LineTo(int x, int y) override {
    calls.push_back({Call::Line, at_x_, at_y_, x, y});
    at_x_ = x;
    at_y_ = y;
  }
  void FillRect(int l, int t, int r, int b, Rgb colour) override {
    calls.push_back({Call::Fill, l, t, r, b, "", 0, colour});
  }

  std::vector<Call> calls;
  const Call* FindText(const std::string& text) const {
    for (const Call& c : calls)
      if (c.kind == Call::Text && c.text == text) return &c;
    return nullptr;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const Call& c : calls)
      if (c.kind == Call::Text) out.push_back(c.text);
    return out;
  }

 private:
  int w_, h_;
  int size_ = 0;
  int at_x_ = 0, at_y_ = 0;
};

}  // namespace kvt::contracts::test
