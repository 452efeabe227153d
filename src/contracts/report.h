// The printed contract statement: a Report laid out and drawn through a Canvas.
//
// Layout measures every text of the table (headers, trip rows, total figures) in the font of
// the detail level (Arial 8 points synthetic, 6 points analytic), places the columns and
// centres a table narrower than the page, and splits the rows into pages: every contract
// starts a page, and a row that would pass the bottom of the page starts the next one.
// DrawPage draws the page header of the printed reports (authority and period, company,
// kind of distances), the table header and exactly the rows Layout gave that page, with the
// total rows and the grid.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/canvas.h"
#include "platform/report.h"
#include "contracts/statement.h"
#include "core/dates.h"

namespace kvt::contracts {

// Names of authorities and companies for the header bands (code -> name without trailing
// blanks); a code not listed is shown as not existing.
struct HeaderNames {
  std::map<int, std::string> authorities;
  std::map<int, std::string> companies;
};
// Nothing when the database failed (the error has been shown).
std::optional<HeaderNames> ReadHeaderNames(db::Database& db);

class StatementReport : public Report {
 public:
  // `rows` with their total rows (InsertTotals).
  // `stamp`: when it was printed, as the header shows it.
  StatementReport(std::vector<StatementRow> rows, StatementParams params, StatementKind kind,
                  HeaderNames names, PrintStamp stamp,
                  PageOrientation orientation = PageOrientation::Automatic);

  std::string Title() const override { return std::string(kPrintTitle); }
  int Layout(Canvas& canvas) override;
  void DrawPage(Canvas& canvas, int page) override;
  PageOrientation Orientation() const override { return orientation_; }
  bool WiderThanPage() const override { return tableWidth_ > area_.width; }

  // After Layout: the first row of each page, the columns and the line height.
  const std::vector<size_t>& PageStarts() const { return pageStarts_; }
  int ColumnCount() const { return static_cast<int>(headers_.size()); }
  int ColumnX(int column) const { return x_[column]; }
  int ColumnWidth(int column) const { return width_[column]; }
  int LineHeight() const { return lineHeight_; }
  const std::vector<StatementRow>& Rows() const { return rows_; }
  // The texts of a trip row's columns, as printed.
  std::vector<std::string> Cells(const StatementRow& row) const;
  const std::vector<std::string>& Headers() const { return headers_; }

 private:
  void SelectTools(Canvas& canvas) const;
  int RowHeight(const StatementRow& row) const;
  int HeaderHeight() const;  // from the top of the page to the first row
  int Right(int column) const { return x_[column] + width_[column]; }
  void DrawText(Canvas& c, int column, int y, const std::string& text) const;
  void DrawTotal(Canvas& c, const StatementRow& row, int y, int& groupTop) const;
  void VerticalRules(Canvas& c, int top, int bottom) const;
  void Line(Canvas& c, int x1, int y1, int x2, int y2) const;

  std::vector<StatementRow> rows_;
  StatementParams params_;
  StatementKind kind_;
  HeaderNames names_;
  PrintStamp stamp_;
  PageOrientation orientation_;
  std::vector<std::string> headers_;
  std::vector<bool> rightAligned_;
  std::vector<int> x_, width_;
  int lineHeight_ = 0;
  LayoutArea area_{};
  int tableWidth_ = 0;  // from the left margin, both outer rules included
  std::vector<size_t> pageStarts_;  // grows with the statement: no page limit
};

// Lays the statement out and hands it to the Ui's printing (preview, printer or PDF).
// False when nothing was printed.
bool PrintStatement(Ui& ui, db::Database& db, std::vector<StatementRow> rows,
                    const StatementParams& params, StatementKind kind,
                    PageOrientation orientation = PageOrientation::Automatic);

}  // namespace kvt::contracts
