// The texts of a statement's figures and the total rows.
#include <cinttypes>
#include <optional>

#include "contracts/statement.h"
#include "core/text.h"

namespace kvt::contracts {

std::string ModeName(char mezzo) {
  switch (mezzo) {
    case 'U':
      return "Urbano";
    case 'X':
      return "Extra";
    case 'W':
      return "Tram";
    case 'F':
      return "Funic";
    case 'T':
      return "Treno";
    case 'N':
      return "Ferry";
    default:
      return "???";
  }
}

std::string KmText(int64_t metres) {
  // Hundredths of a kilometre rounded half away from zero, from whole metres: the printed
  // figure is the exact one, whatever a double would make of 2.555.
  const bool negative = metres < 0;
  const uint64_t m = negative ? -static_cast<uint64_t>(metres) : static_cast<uint64_t>(metres);
  const uint64_t hundredths = (m + 5) / 10;
  return Format("%s%" PRIu64 ".%02" PRIu64, negative && hundredths ? "-" : "", hundredths / 100,
                hundredths % 100);
}

std::string TripTimeText(int minutes) {
  if (minutes >= 60) return Format("%d.%02d", minutes / 60, minutes % 60);
  return Format("%d", minutes);
}

std::string PeriodTimeText(int64_t minutes) {
  if (minutes >= 60) return Format("%" PRId64 ":%02" PRId64, minutes / 60, minutes % 60);
  return Format("00:%02" PRId64, minutes);
}

std::string TotalTimeText(int64_t minutes) {
  // Under an hour the minutes take two digits, as in the trip rows: "00:5" would read as
  // fifty minutes.
  return PeriodTimeText(minutes);
}

std::string LineCodeText(const StatementRow& row) {
  return row.codlinea + Format(" %c", row.verso);
}

std::string PeriodText(const StatementRow& row) {
  return row.firstDate + " / " + row.lastDate;
}

std::string TotalLabel(const StatementRow& row) {
  switch (row.kind) {
    case RowKind::LineTotal:
      return "Totali Linea " + LineCodeText(row);
    case RowKind::RouteTotal:
      return "Totali Percorso " + row.percorso;
    case RowKind::ContractTotal:
      return "Totali Contratto";
    case RowKind::Trip:
      break;
  }
  return {};
}

namespace {

// The running sums of one open group (contract, line or route).
struct Group {
  int64_t metres = 0;
  int64_t minutes = 0;
};

StatementRow TotalRow(RowKind kind, const StatementRow& last, Group& sums) {
  StatementRow t;
  t.kind = kind;
  t.ente = last.ente;
  t.azienda = last.azienda;
  t.codlinea = last.codlinea;
  t.verso = last.verso;
  t.percorso = last.percorso;
  t.totalMetres = sums.metres;
  t.totalMinutes = sums.minutes;
  sums = Group{};
  return t;
}

}  // namespace

void InsertTotals(std::vector<StatementRow>& rows, StatementKind kind) {
  const bool byRoute = kind == StatementKind::ByRoute;
  std::vector<StatementRow> out;
  out.reserve(rows.size() + rows.size() / 4 + 3);
  Group contract, line, route;
  // The group keys of the last trip row (a copy: `out` grows under it).
  std::optional<StatementRow> open;
  const auto closeRoute = [&] {
    if (byRoute) out.push_back(TotalRow(RowKind::RouteTotal, *open, route));
  };
  const auto closeLine = [&] {
    closeRoute();
    out.push_back(TotalRow(RowKind::LineTotal, *open, line));
  };
  const auto closeContract = [&] {
    closeLine();
    out.push_back(TotalRow(RowKind::ContractTotal, *open, contract));
  };
  for (StatementRow& r : rows) {
    if (r.kind != RowKind::Trip) continue;
    if (open) {
      if (r.ente != open->ente || r.azienda != open->azienda) {
        closeContract();
      } else if (r.codlinea != open->codlinea || r.verso != open->verso) {
        closeLine();
      } else if (byRoute && r.percorso != open->percorso) {
        closeRoute();
      }
    }
    for (Group* g : {&contract, &line, &route}) {
      g->metres += r.PeriodMetres();
      g->minutes += r.PeriodMinutes();
    }
    open.emplace();
    open->ente = r.ente;
    open->azienda = r.azienda;
    open->codlinea = r.codlinea;
    open->verso = r.verso;
    open->percorso = r.percorso;
    out.push_back(std::move(r));
  }
  if (open) closeContract();
  rows = std::move(out);
}

}  // namespace kvt::contracts
