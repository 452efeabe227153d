// The print interface the statement draws through: Canvas and Report of platform/. Until
// those headers are in the tree this file carries the same declarations, so that the
// statement's layout builds and is tested against them.
#pragma once

#if __has_include("platform/canvas.h") && __has_include("platform/report.h")
#include "platform/canvas.h"
#include "platform/report.h"
#else
#include <cstdint>
#include <string>
#include <string_view>

namespace kvt {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
};
inline constexpr Rgb kBlack{0, 0, 0}, kWhite{255, 255, 255}, kGrey{192, 192, 192};
struct TextExtent {
  int width = 0;
  int height = 0;
};

class Canvas {
 public:
  virtual ~Canvas() = default;
  virtual int PageWidth() const = 0;
  virtual int PageHeight() const = 0;
  virtual void SelectFont(std::string_view face, int tenthsOfPoint, int weight) = 0;
  virtual void SelectPen(int width, Rgb colour) = 0;
  virtual TextExtent MeasureText(std::string_view utf8) = 0;
  virtual void DrawText(int x, int y, std::string_view utf8, Rgb text, Rgb background) = 0;
  virtual void MoveTo(int x, int y) = 0;
  virtual void LineTo(int x, int y) = 0;
  virtual void FillRect(int left, int top, int right, int bottom, Rgb colour) = 0;
};

class Report {
 public:
  virtual ~Report() = default;
  virtual std::string Title() const = 0;
  virtual int Layout(Canvas& canvas) = 0;
  virtual void DrawPage(Canvas& canvas, int page) = 0;
};

struct LayoutArea {
  int left, top, width, height;
};
inline LayoutArea AreaOf(const Canvas& canvas) {
  return {50, 50, canvas.PageWidth() - 100, canvas.PageHeight() - 100};
}

}  // namespace kvt
#endif
