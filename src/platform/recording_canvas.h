// A canvas that draws nothing and keeps every call, for tests: page breaks, positions,
// texts, fonts and colours are asserted exactly.
//
// Its text metrics are deterministic, so that a test can work out positions by hand:
//   width  = characters (code points) x tenthsOfPoint x 6 / 10
//   height = tenthsOfPoint x 15 / 10
// (8 points: 48 units a character, 120 high.) Before any SelectFont the font is "Arial",
// 10 points, weight 400; before any SelectPen the pen is 1 unit wide, black.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/canvas.h"

namespace kvt {

enum class CanvasOp { Page, Font, Pen, Text, Move, Line, Fill };

struct CanvasCall {
  CanvasOp op = CanvasOp::Page;
  int page = 0;  // the page being drawn (BeginPage), 0 before the first
  // Text: top-left corner. Move: the point. Line: its start. Fill: left, top.
  int x = 0, y = 0;
  // Line: its end. Fill: right, bottom. Text: x + width, y + height.
  int x2 = 0, y2 = 0;
  std::string text;  // Text: the text. Font: the face.
  // Font: the font selected; Text: the font it was drawn in.
  std::string face;
  int size = 0;  // tenths of a point
  int weight = 0;
  // Pen: its width and colour; Line: the pen it was drawn with. Text: the text's colour.
  // Fill: its colour.
  int penWidth = 0;
  Rgb colour;
  Rgb background;  // Text only
};

class RecordingCanvas : public Canvas {
 public:
  RecordingCanvas(int pageWidth, int pageHeight);

  // Marks the start of a page: the calls that follow belong to it.
  void BeginPage(int page);

  const std::vector<CanvasCall>& Calls() const { return calls_; }
  // The calls made while drawing `page` (after its BeginPage), Page marker excluded.
  std::vector<CanvasCall> PageCalls(int page) const;
  // The texts drawn on `page` (0: on every page), in drawing order.
  std::vector<std::string> Texts(int page = 0) const;
  // The first Text call drawing exactly `text` on `page` (0: any page); null when none.
  const CanvasCall* FindText(std::string_view text, int page = 0) const;
  // Pages begun.
  int PagesBegun() const { return pagesBegun_; }
  void Clear();

  static TextExtent Extent(std::string_view utf8, int tenthsOfPoint);

  // --- Canvas ---
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
  CanvasCall& Add(CanvasOp op);

  int width_;
  int height_;
  std::vector<CanvasCall> calls_;
  int page_ = 0;
  int pagesBegun_ = 0;
  std::string face_ = "Arial";
  int size_ = 100;
  int weight_ = kWeightNormal;
  int penWidth_ = 1;
  Rgb penColour_ = kBlack;
  int curX_ = 0, curY_ = 0;
};

}  // namespace kvt
