// A small report for the print view's tests: a list of (name, amount) rows under the
// common page header, as many rows on a page as fit, a rule under every row. Header-only,
// so that the platform and gui tests share it.
#pragma once

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/report.h"

namespace kvt::test {

class DemoReport : public Report {
 public:
  explicit DemoReport(std::vector<std::pair<std::string, std::string>> rows,
                      std::string title = "Prova di stampa")
      : rows_(std::move(rows)), title_(std::move(title)) {}

  PrintStamp stamp{Date{7, 12, 2026}, 9, 5};
  int layouts = 0;  // how often Layout ran

  std::string Title() const override { return title_; }

  int Layout(Canvas& canvas) override {
    ++layouts;
    area_ = AreaOf(canvas);
    canvas.SelectFont("Arial", 100, kWeightNormal);
    lineHeight_ = canvas.MeasureText("Intestazione").height;
    for (const auto& [name, amount] : rows_)
      lineHeight_ = std::max(
          {lineHeight_, canvas.MeasureText(name).height, canvas.MeasureText(amount).height});
    pages_.Clear();
    int pageCount = 0;
    int y = area_.Bottom() + 1;  // the first row starts a page
    for (size_t i = 0; i < rows_.size(); ++i) {
      if (y + lineHeight_ + 20 > area_.Bottom()) {
        pages_.Set(++pageCount, static_cast<long>(i));
        y = PageHeaderBottom(area_, lineHeight_);
      }
      y += lineHeight_ + 20;
    }
    pageCount_ = pageCount;
    return pageCount;
  }

  void DrawPage(Canvas& canvas, int page) override {
    long first = pages_.Get(page);
    if (first < 0) return;
    long end = page < pageCount_ ? pages_.Get(page + 1) : static_cast<long>(rows_.size());
    canvas.SelectFont("Arial", 100, kWeightNormal);
    canvas.SelectPen(2, kBlack);
    PageHeader header;
    header.page = page;
    header.pageCount = pageCount_;
    header.printed = stamp;
    header.band1Left = "Ente: [1] Regione di prova";
    header.band1Right = "Periodo dal 01/01/2026 al 31/12/2026";
    header.band2Left = "Azienda: [101] Società Funivie Perù";
    header.note = "Elenco di prova";
    int y = DrawPageHeader(canvas, area_, lineHeight_, header);
    for (long i = first; i < end; ++i) {
      const auto& [name, amount] = rows_[static_cast<size_t>(i)];
      canvas.DrawText(area_.left + 20, y + 10, name, kBlack, kWhite);
      DrawTextRight(canvas, area_.Right() - 20, y + 10, amount, kBlack, kWhite);
      y += lineHeight_ + 20;
      canvas.MoveTo(area_.left, y);
      canvas.LineTo(area_.Right(), y);
    }
  }

 private:
  std::vector<std::pair<std::string, std::string>> rows_;
  std::string title_;
  LayoutArea area_;
  int lineHeight_ = 0;
  int pageCount_ = 0;
  PageTable pages_;
};

}  // namespace kvt::test
