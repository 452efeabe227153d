// The page as a printed report sees it: fonts, pens, texts, lines and filled rectangles in
// the device units of the printer (or of the PDF, or of the recording canvas of the tests).
// A report draws only through this interface, so the same drawing code serves the printer,
// the on-screen preview, the PDF file and the tests.
//
// Contract: coordinates grow right and down from the top-left corner of the printable page.
// Texts are UTF-8. A font and a pen stay selected until the next Select call.
#pragma once

#include <cstdint>
#include <string_view>

namespace kvt {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};
inline constexpr Rgb kBlack{0, 0, 0}, kWhite{255, 255, 255}, kGrey{192, 192, 192};

struct TextExtent {
  int width = 0;
  int height = 0;
  friend bool operator==(const TextExtent&, const TextExtent&) = default;
};

// Font weights as the print system counts them.
inline constexpr int kWeightNormal = 400;
inline constexpr int kWeightBold = 700;

class Canvas {
 public:
  virtual ~Canvas() = default;

  // The printable page, in device units.
  virtual int PageWidth() const = 0;
  virtual int PageHeight() const = 0;

  // Font by face name ("Arial"), size in tenths of a point and weight (400 normal).
  virtual void SelectFont(std::string_view face, int tenthsOfPoint, int weight) = 0;
  // Solid pen of the given width (device units) for MoveTo/LineTo.
  virtual void SelectPen(int width, Rgb colour) = 0;

  // Width and height of a text in the selected font.
  virtual TextExtent MeasureText(std::string_view utf8) = 0;
  // Draws a text with its top-left corner at (x, y); the text's box (as MeasureText gives
  // it) is filled with `background` first.
  virtual void DrawText(int x, int y, std::string_view utf8, Rgb text, Rgb background) = 0;

  // A line with the selected pen from the current position; LineTo moves it to its end.
  virtual void MoveTo(int x, int y) = 0;
  virtual void LineTo(int x, int y) = 0;

  // Fills [left, right) x [top, bottom) with a solid colour, no outline.
  virtual void FillRect(int left, int top, int right, int bottom, Rgb colour) = 0;
};

}  // namespace kvt
