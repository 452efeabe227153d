#include "contracts/report.h"

#include "core/text.h"
#include "platform/ui.h"
#include "schema/pick_lists.h"

namespace kvt::contracts {

namespace {

constexpr std::string_view kFace = "Arial";

bool SameContract(const StatementRow& a, const StatementRow& b) {
  return a.ente == b.ente && a.azienda == b.azienda;
}

}  // namespace

std::optional<HeaderNames> ReadHeaderNames(db::Database& db) {
  auto authorities = schema::ReadPickNames(db, schema::PickTable::Authorities);
  if (!authorities) return std::nullopt;
  auto companies = schema::ReadPickNames(db, schema::PickTable::Companies);
  if (!companies) return std::nullopt;
  return HeaderNames{std::move(*authorities), std::move(*companies)};
}

StatementReport::StatementReport(std::vector<StatementRow> rows, StatementParams params,
                                 StatementKind kind, HeaderNames names, PrintStamp stamp,
                                 PageOrientation orientation)
    : rows_(std::move(rows)),
      params_(std::move(params)),
      kind_(kind),
      names_(std::move(names)),
      stamp_(stamp),
      orientation_(orientation) {
  const bool conventional = params_.distance == DistanceType::Conventional;
  if (kind_ == StatementKind::ByTrip) {
    headers_ = {"Codice Linea",
                "Mezzo",
                "Codice Corsa",
                "Partenza",
                "Arrivo",
                "Periodo Effettuazione",
                conventional ? "Km Reali" : "Km Convenzionali",
                conventional ? "Km Contratto" : "Km Cartografici",
                "Tempo Reale",
                "Tempo Contratto",
                "Giorni",
                "Km Contratto Periodo",
                "Tempo Contratto Periodo"};
  } else {
    headers_ = {"Cod Linea",
                "Cod Percorso",
                "ID Corsa",
                "Parte",
                "Arriva",
                "Periodo Effettuazione",
                "Km Contratto",
                "Tempo Contratto",
                "Giorni",
                "Km Contratto Periodo",
                "Tempo Contratto Periodo"};
  }
  rightAligned_.assign(headers_.size(), false);
  for (size_t i = 6; i < headers_.size(); ++i) rightAligned_[i] = true;
}

std::vector<std::string> StatementReport::Cells(const StatementRow& r) const {
  if (kind_ == StatementKind::ByTrip) {
    return {LineCodeText(r),
            ModeName(r.mezzo),
            r.codcorsa,
            r.departureText,
            r.arrivalText,
            PeriodText(r),
            KmText(r.lung),
            KmText(r.contractLength),
            TripTimeText(r.tempo),
            TripTimeText(r.ct_tempo),
            Format("%d", r.days),
            KmText(r.PeriodMetres()),
            PeriodTimeText(r.PeriodMinutes())};
  }
  return {LineCodeText(r),
          r.percorso,
          Format("%ld", static_cast<long>(r.ID)),
          r.departureText,
          r.arrivalText,
          PeriodText(r),
          KmText(r.contractLength),
          TripTimeText(r.ct_tempo),
          Format("%d", r.days),
          KmText(r.PeriodMetres()),
          PeriodTimeText(r.PeriodMinutes())};
}

void StatementReport::SelectTools(Canvas& canvas) const {
  canvas.SelectFont(kFace, params_.detail == DetailLevel::Synthetic ? 80 : 60, 400);
  canvas.SelectPen(2, kBlack);
}

int StatementReport::RowHeight(const StatementRow& row) const {
  // Trip rows are not printed at the synthetic level: they take no room, in the layout
  // and in the drawing alike.
  if (row.kind == RowKind::Trip && params_.detail == DetailLevel::Synthetic) return 0;
  return lineHeight_ + 20;
}

int StatementReport::HeaderHeight() const {
  return PageHeaderBottom(area_, lineHeight_) + lineHeight_ + 40;  // and the table's header
}

int StatementReport::Layout(Canvas& canvas) {
  area_ = AreaOf(canvas);
  SelectTools(canvas);
  const size_t n = headers_.size();
  width_.assign(n, 0);
  x_.assign(n, 0);
  lineHeight_ = 0;
  const auto measure = [&](size_t column, const std::string& text) {
    const TextExtent e = canvas.MeasureText(text);
    width_[column] = std::max(width_[column], e.width);
    lineHeight_ = std::max(lineHeight_, e.height);
  };
  for (size_t i = 0; i < n; ++i) measure(i, headers_[i]);
  for (const StatementRow& r : rows_) {
    if (r.kind == RowKind::Trip) {
      const std::vector<std::string> cells = Cells(r);
      for (size_t i = 0; i < n; ++i) measure(i, cells[i]);
    } else {
      measure(n - 2, KmText(r.totalMetres));
      measure(n - 1, TotalTimeText(r.totalMinutes));
    }
  }
  x_[0] = area_.left + 20;
  for (size_t i = 1; i < n; ++i) x_[i] = x_[i - 1] + width_[i - 1] + 40;
  tableWidth_ = x_[n - 1] + width_[n - 1] + 20 - area_.left;
  if (tableWidth_ < area_.width) {
    const int shift = (area_.width - tableWidth_) / 2;
    for (int& x : x_) x += shift;
  }

  pageStarts_.clear();
  const int bottom = area_.top + area_.height;
  int y = HeaderHeight();
  for (size_t i = 0; i < rows_.size(); ++i) {
    const int h = RowHeight(rows_[i]);
    const bool newContract = i == 0 || !SameContract(rows_[i], rows_[i - 1]);
    // A row that would run past the bottom goes to the next page, unless it is the first
    // of its page (a page lower than one row still gets its row).
    const bool full = h > 0 && y + h > bottom && y > HeaderHeight();
    if (newContract || full) {
      pageStarts_.push_back(i);
      y = HeaderHeight();
    }
    y += h;
  }
  return static_cast<int>(pageStarts_.size());
}

void StatementReport::Line(Canvas& c, int x1, int y1, int x2, int y2) const {
  c.MoveTo(x1, y1);
  c.LineTo(x2, y2);
}

void StatementReport::DrawText(Canvas& c, int column, int y, const std::string& text) const {
  int x = x_[column];
  if (rightAligned_[column]) x = Right(column) - c.MeasureText(text).width;
  c.DrawText(x, y, text, kBlack, kWhite);
}

void StatementReport::VerticalRules(Canvas& c, int top, int bottom) const {
  for (size_t i = 0; i < x_.size(); ++i) Line(c, x_[i] - 20, top, x_[i] - 20, bottom);
  const int right = Right(static_cast<int>(x_.size()) - 1) + 20;
  Line(c, right, top, right, bottom);
}

void StatementReport::DrawTotal(Canvas& c, const StatementRow& row, int y, int& groupTop) const {
  const int n = static_cast<int>(x_.size());
  const int kmColumn = n - 2;
  const int timeColumn = n - 1;
  const int left = x_[0] - 20;
  const int right = Right(n - 1) + 20;
  const int bottom = y + lineHeight_ + 20;
  Line(c, left, y, right, y);
  for (int i = 0; i < n; ++i) {
    const bool through = i == 0 || i == kmColumn || i == timeColumn;
    Line(c, x_[i] - 20, groupTop, x_[i] - 20, through ? bottom : y);
  }
  Line(c, right, groupTop, right, bottom);
  const std::string label = TotalLabel(row);
  const int labelRight = x_[kmColumn] - 40;
  c.DrawText(labelRight - c.MeasureText(label).width, y + 10, label, kWhite, kBlack);
  DrawText(c, kmColumn, y + 10, KmText(row.totalMetres));
  DrawText(c, timeColumn, y + 10, TotalTimeText(row.totalMinutes));
  groupTop = bottom;
}

void StatementReport::DrawPage(Canvas& c, int page) {
  if (page < 1 || page > static_cast<int>(pageStarts_.size())) return;
  const size_t first = pageStarts_[page - 1];
  const size_t end = page < static_cast<int>(pageStarts_.size()) ? pageStarts_[page] : rows_.size();
  const StatementRow& contract = rows_[first];
  SelectTools(c);
  const int lh = lineHeight_;
  PageHeader header;
  header.page = page;
  header.pageCount = static_cast<int>(pageStarts_.size());
  header.printed = stamp_;
  auto ente = names_.authorities.find(contract.ente);
  header.band1Left =
      Format("Ente: [%d] %s", contract.ente,
             ente == names_.authorities.end() ? "*** ENTE INESISTENTE ***" : ente->second.c_str());
  header.band1Right = "Periodo dal " + params_.startDate + " al " + params_.endDate;
  auto azienda = names_.companies.find(contract.azienda);
  header.band2Left = Format("Azienda: [%d] %s", contract.azienda,
                            azienda == names_.companies.end() ? "*** AZIENDA INESISTENTE ***"
                                                              : azienda->second.c_str());
  header.note = params_.distance == DistanceType::Conventional
                    ? "Distanze convenzionali dichiarate dall'Azienda"
                    : "Distanze misurate su base cartografica";
  const int y5 = DrawPageHeader(c, area_, lh, header);
  const int n = static_cast<int>(x_.size());
  const int tableLeft = x_[0] - 20;
  const int tableRight = Right(n - 1) + 20;
  c.FillRect(tableLeft, y5, tableRight, y5 + lh + 40, kGrey);
  Line(c, tableLeft, y5, tableRight, y5);
  for (int i = 0; i < n; ++i) c.DrawText(x_[i], y5 + 20, headers_[i], kBlack, kGrey);

  int y = y5 + lh + 40;
  int groupTop = y5;
  for (size_t i = first; i < end; ++i) {
    const StatementRow& row = rows_[i];
    if (row.kind != RowKind::Trip) {
      DrawTotal(c, row, y, groupTop);
    } else if (RowHeight(row) > 0) {
      Line(c, tableLeft, y, tableRight, y);
      const std::vector<std::string> cells = Cells(row);
      for (int col = 0; col < n; ++col) DrawText(c, col, y + 10, cells[col]);
    }
    y += RowHeight(row);
  }
  VerticalRules(c, groupTop, y);
  Line(c, tableLeft, y, tableRight, y);
}

bool PrintStatement(Ui& ui, db::Database& db, std::vector<StatementRow> rows,
                    const StatementParams& params, StatementKind kind,
                    PageOrientation orientation) {
  std::optional<HeaderNames> names = ReadHeaderNames(db);
  if (!names) return false;
  StatementReport report(std::move(rows), params, kind, std::move(*names), PrintStampNow(),
                         orientation);
  return ui.PrintReport(report, params.output == OutputKind::Print ? PrintMode::Print
                                                                    : PrintMode::Preview);
}

}  // namespace kvt::contracts
