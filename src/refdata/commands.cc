#include "refdata/commands.h"

#include <algorithm>

#include "core/text.h"
#include "db/database.h"
#include "db/selection.h"
#include "db/sql_types.h"
#include "platform/form.h"
#include "platform/ui.h"
#include "refdata/basins.h"
#include "refdata/lots.h"
#include "refdata/provinces.h"
#include "refdata/rows.h"

namespace kvt::refdata {

namespace {

constexpr std::string_view kTextFilter = "File di testo (*.txt)|*.txt|Tutti i files (*.*)|*.*||";

FileDialogSpec TextFileSpec(std::string_view title, std::string_view name, bool save) {
  FileDialogSpec spec;
  spec.title = std::string(title);
  spec.filter = std::string(kTextFilter);
  spec.defaultExt = "TXT";
  spec.defaultName = std::string(name);
  spec.overwritePrompt = save;
  spec.kind = FileKind::Export;
  return spec;
}

// Companies that have trips, once each, by name.
std::optional<std::vector<std::string>> CompanyEntries(db::Database& db) {
  std::vector<std::string> entries;
  const bool ok = ForEachRow(
      db,
      [](db::Selection& s) {
        s.AddColumn("regazi", "codice", db::kSqlSmallInt);
        s.AddColumn("regazi", "denom", db::kSqlChar);
        s.SetFrom("regazi, corse");
        s.SetWhere("corse.azienda = regazi.codice");
        s.SetGroupBy("regazi.denom, regazi.codice");
        s.SetOrderBy("regazi.denom");
      },
      [&](const db::Selection& s) {
        entries.push_back(PickEntry(s.GetShort(0), TrimRight(s.GetText(1))));
      });
  if (!ok) return std::nullopt;
  return entries;
}

std::vector<std::string> LineEntries(db::Database& db, int azienda) {
  std::vector<std::string> lines;
  (void)ForEachRow(
      db,
      [&](db::Selection& s) {
        s.AddColumn("corse", "codlinea", db::kSqlChar);
        s.SetFrom("corse");
        s.SetWhere(Format("azienda = %d", azienda));
        s.SetGroupBy("codlinea");
        s.SetOrderBy("codlinea");
      },
      [&](const db::Selection& s) { lines.emplace_back(TrimRight(s.GetText(0))); });
  return lines;
}

bool Contains(const std::vector<std::string>& entries, const std::string& text) {
  return std::find(entries.begin(), entries.end(), text) != entries.end();
}

// "Assegna" of the lot assignment: the three choices in order, then the trips.
void AssignLots(db::Database& db, Ui& ui, Form& f) {
  const FormField& company = f.Field("azienda");
  const std::optional<int> azienda =
      company.selected >= 0 ? PickCode(company.text, company.entries) : std::nullopt;
  if (!azienda) return ui.Stop(PickInvalidMessage("Codice Azienda"));
  std::optional<std::string> line;
  if (!f.Checked("tutte")) {
    const FormField& l = f.Field("linea");
    if (l.selected < 0 || l.text.empty() || !Contains(l.entries, l.text))
      return ui.Stop(PickInvalidMessage("Codice Linea"));
    line = l.text;
  }
  const FormField& lot = f.Field("lotto");
  const std::optional<int> lotto =
      lot.selected >= 0 ? PickCode(lot.text, lot.entries) : std::nullopt;
  if (!lotto) return ui.Stop(PickInvalidMessage("Lotto di Gara"));
  std::optional<long> n;
  {
    WaitScope wait(ui);
    n = AssignLot(db, *azienda, line, *lotto);
  }
  if (n) ui.Info(LotsAssignedText(*n));
}

}  // namespace

bool RunAssignLotsCommand(Ui& ui, db::Database& db) {
  std::optional<std::vector<std::string>> companies = CompanyEntries(db);
  std::optional<std::vector<std::string>> lots = LotEntries(db);
  if (!companies || !lots) return false;
  Form form("Assegnazione dei Lotti di Gara");
  form.okCaption = "Fine";
  form.AddGroup("filtro_linee", "Filtro Selezione Linee");
  form.AddList("azienda", "Codice Azienda", std::move(*companies)).onChange = [&db](Form& f) {
    const std::optional<int> code = PickCode(f.Text("azienda"), f.Field("azienda").entries);
    f.SetEntries("linea", code ? LineEntries(db, *code) : std::vector<std::string>{});
    f.SetText("linea", "");
  };
  form.AddList("linea", "Codice Linea", {});
  form.AddCheck("tutte", "Assegno tutte le linee").onChange = [](Form& f) {
    f.SetEnabled("linea", !f.Checked("tutte"));
  };
  form.EndGroup();
  form.AddGroup("filtro_lotti", "Filtro Selezione Lotti");
  form.AddList("lotto", "Codice Lotto", std::move(*lots));
  form.EndGroup();
  form.AddButton("assegna", "Assegna", [&db, &ui](Form& f) { AssignLots(db, ui, f); });
  ui.RunForm(form);
  return true;
}

bool RunExportLotAssignmentCommand(Ui& ui, db::Database& db) {
  const std::optional<std::string> path =
      ui.SaveFile(TextFileSpec(kLotExportTitle, kLotFileName, true));
  if (!path) return false;
  const std::optional<long> trips = ExportLotAssignment(db, ui, *path);
  if (trips) ui.Info(LotExportText(*trips));
  return trips.has_value();
}

bool RunClearLotAssignmentCommand(Ui& ui, db::Database& db) {
  if (!ui.Ask(kLotCleanQuestion)) return false;
  const std::optional<long> trips = ClearLotAssignment(db, ui);
  if (trips) ui.Info(TripsProcessedText(*trips));
  return trips.has_value();
}

bool RunImportLotAssignmentCommand(Ui& ui, db::Database& db) {
  const std::optional<std::string> path =
      ui.OpenFile(TextFileSpec(kLotImportTitle, kLotFileName, false));
  if (!path) return false;
  const std::optional<long> trips = ImportLotAssignment(db, ui, *path);
  if (trips) ui.Info(TripsProcessedText(*trips));
  return trips.has_value();
}

bool RunAssignMunicipalityBasinCommand(Ui& ui, db::Database& db) {
  const std::vector<Province> provinces = InstalledProvinces();
  std::vector<std::string> filter{std::string(kAllMunicipalitiesEntry)};
  for (const Province& p : provinces) filter.push_back(p.caption);
  std::optional<std::vector<std::string>> municipalities = MunicipalityEntries(db);
  std::optional<std::vector<std::string>> basins = BasinEntries(db);
  if (!municipalities || !basins) return false;
  Form form("Associazione Comune Bacino");
  form.okCaption = "Fine";
  form.AddList("provincia", "Provincia", std::move(filter), 0).onChange = [&db,
                                                                           provinces](Form& f) {
    const int i = f.Selected("provincia");
    std::optional<std::string> code;
    if (i > 0 && i <= static_cast<int>(provinces.size())) code = provinces[i - 1].code;
    if (std::optional<std::vector<std::string>> e = MunicipalityEntries(db, code))
      f.SetEntries("comune", std::move(*e));
  };
  form.AddList("comune", "Comune", std::move(*municipalities)).onChange = [&db](Form& f) {
    const std::optional<int> code = PickCode(f.Text("comune"), f.Field("comune").entries);
    f.SetText("bacino_attuale", code ? CurrentBasinText(db, *code) : std::string());
  };
  form.AddLabel("bacino_attuale", "");
  form.AddList("bacino", "Bacino", std::move(*basins));
  form.AddButton("assegna", "Assegna", [&db, &ui](Form& f) {
    if (AssignMunicipalityBasin(db, ui, f.Text("comune"), f.Field("comune").entries,
                                f.Text("bacino"), f.Field("bacino").entries)) {
      const std::optional<int> code = PickCode(f.Text("comune"), f.Field("comune").entries);
      if (code) f.SetText("bacino_attuale", CurrentBasinText(db, *code));
    }
  });
  ui.RunForm(form);
  return true;
}

bool RunExportBasinsCommand(Ui& ui, db::Database& db) {
  const std::optional<std::string> path =
      ui.SaveFile(TextFileSpec(kBasinExportTitle, kBasinFileName, true));
  if (!path) return false;
  const std::optional<BasinExportCounts> counts = ExportBasins(db, ui, *path);
  if (counts) ui.Info(BasinExportText(*counts));
  return counts.has_value();
}

bool RunImportBasinsCommand(Ui& ui, db::Database& db) {
  const std::optional<std::string> path =
      ui.OpenFile(TextFileSpec(kBasinImportTitle, kBasinFileName, false));
  if (!path) return false;
  const std::optional<BasinImportCounts> counts = ImportBasins(db, ui, *path);
  if (counts) ui.Info(BasinImportText(*counts));
  return counts.has_value();
}

bool RunDeleteBasinsCommand(Ui& ui, db::Database& db) {
  return DeleteBasins(db, ui);
}
bool RunDeleteMunicipalitiesCommand(Ui& ui, db::Database& db) {
  return DeleteMunicipalities(db, ui);
}
bool RunDeleteLocalitiesCommand(Ui& ui, db::Database& db) {
  return DeleteLocalities(db, ui);
}

}  // namespace kvt::refdata
