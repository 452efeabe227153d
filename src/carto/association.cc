#include "carto/association.h"

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "carto/edit_row.h"
#include "core/text.h"
#include "db/database.h"
#include "db/rows.h"
#include "db/selection.h"
#include "db/sql_types.h"
#include "platform/form.h"
#include "platform/ui.h"
#include "schema/pick_lists.h"

namespace kvt::carto {

namespace {

// Progress line every so many rows.
constexpr long kProgressStep = 1000;

void Progress(Ui& ui, const char* what, long done) {
  if (done % kProgressStep == 0) ui.ShowProgressText(Format("%s: %ld", what, done));
}

long FieldLong(db::EditSelection& e, std::string_view column) {
  return static_cast<long>(LeadingInt(FieldText(e, column)));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Default georeferencing

void DefaultGeoreferencing(db::Database& db, Ui& ui) {
  if (!ui.Ask("Questa funzione opera come segue:\n\n"
              "1) Vengono estratte TUTTE le fermate di QUALSIASI AZIENDA purchè prive di "
              "georeferenziazione.\n"
              "2) Se la fermata risulta associata ad un LOCALITA' le verranno assegnate per "
              "default le\n"
              "     coordinate del CENTROIDE della LOCALITA'\n\n"
              "Intendi procedere con la georeferenziazione di default delle fermate ?"))
    return;
  WaitScope wait(ui);
  struct Centroid {
    int id;
    double x, y;
  };
  std::vector<Centroid> centroids;
  {
    db::Selection s(&db);
    s.AddColumn("local", "ID", db::kSqlSmallInt);
    s.AddColumn("local", "centro_x", db::kSqlFloat);
    s.AddColumn("local", "centro_y", db::kSqlFloat);
    s.SetFrom("local");
    s.SetWhere("ID > 0");
    s.SetOrderBy("ID");
    if (db::ForEachRow(s, [&] {
          centroids.push_back({s.GetShort(0), s.GetDouble(1), s.GetDouble(2)});
        }) != db::Walk::End)
      return;
  }
  long extracted = 0, assigned = 0;
  // One transaction: the rows are written together (and fast), or not at all.
  db::Transaction transaction(db);
  db::EditSelection e(&db);
  e.AddColumn("fermate", "local", db::kSqlSmallInt);
  e.AddColumn("fermate", "coord_x", db::kSqlFloat);
  e.AddColumn("fermate", "coord_y", db::kSqlFloat);
  e.SetFrom("fermate");
  e.SetWhere("local <> 0 AND okcoord = 0");
  e.SetOrderBy("local");
  const db::Walk walk = db::ForEachRow(e, [&] {
    Progress(ui, "Fermate estratte", ++extracted);
    const long local = FieldLong(e, "local");
    auto it = std::lower_bound(centroids.begin(), centroids.end(), local,
                               [](const Centroid& c, long id) { return c.id < id; });
    const bool found = it != centroids.end() && it->id == local;
    const double x = found ? it->x : 0, y = found ? it->y : 0;
    if (!(x > 0 && y > 0)) return true;
    return Counted(WriteRow(e, {{"coord_x", CommaNumber(x)}, {"coord_y", CommaNumber(y)}}),
                   assigned);
  });
  // A failure (shown) commits nothing.
  if (walk != db::Walk::End || !transaction.Commit()) return;
  ui.Info(Format("Risultati della georeferenziazione fermate di default:\n\n"
                 "Estratte %ld fermate non georeferenziate ma associate a località\n\n"
                 "Georeferenziazione di default assegnata a %ld fermate",
                 extracted, assigned));
}

// ---------------------------------------------------------------------------------------------
// Automatic association

bool AssociateStops(db::Database& db, Ui& ui, AreaKind kind, AssociationCounts* counts) {
  *counts = AssociationCounts();
  const bool municipalities = kind == AreaKind::Municipalities;
  AreaEntitySet set;
  if (!LoadAreaEntities(db, kind, OwnerMode::OwnerTable,
                        municipalities ? "Confine Comune " : "Confine Località ", &set))
    return false;
  const char* column = municipalities ? "comune" : "local";
  db::Transaction transaction(db);
  db::EditSelection e(&db);
  e.AddColumn("fermate", "coord_x", db::kSqlFloat);
  e.AddColumn("fermate", "coord_y", db::kSqlFloat);
  e.AddColumn("fermate", column, db::kSqlSmallInt);
  e.SetFrom("fermate");
  e.SetWhere("coord_x IS NOT NULL AND coord_y IS NOT NULL");
  const db::Walk walk = db::ForEachRow(e, [&] {
    Progress(ui, "Fermate analizzate", ++counts->analysed);
    const AreaEntity* found = LocateEntity(set, ParseDecimal(FieldText(e, "coord_x")),
                                           ParseDecimal(FieldText(e, "coord_y")));
    const int id = found ? found->id : 0;
    // A stop already holding the right code needs no write.
    const std::string old = FieldText(e, column);
    bool written = !Trim(old).empty() && LeadingInt(old) == id;
    if (!written) {
      const RowWrite w = WriteRow(e, {{column, std::to_string(id)}});
      if (w == RowWrite::Failed) return false;
      written = w == RowWrite::Written;
    }
    if (written) ++(id ? counts->assigned : counts->unidentified);
    return true;
  });
  // A failure (shown) commits nothing.
  return walk == db::Walk::End && transaction.Commit();
}

void AssociateStopsCommand(db::Database& db, Ui& ui, AreaKind kind) {
  const bool municipalities = kind == AreaKind::Municipalities;
  if (!ui.Ask(std::string(municipalities
                              ? "La presente funzione associa ad ogni fermata il Comune "
                                "corrispondente.\n\n"
                              : "La presente funzione associa ad ogni fermata la Località "
                                "corrispondente.\n\n") +
              "La corrispondenza viene determinata sulla base del posizionamento indicato\n"
              "per la fermata (georeferenziazione)\n\n"
              "Intendi procedere?"))
    return;
  WaitScope wait(ui);
  AssociationCounts n;
  if (!AssociateStops(db, ui, kind, &n)) return;
  if (municipalities) {
    ui.Info(Format("Risultati dell'assegnazione automatica dei Comuni di pertinenza alle "
                   "fermate:\n\n"
                   "%ld Fermate analizzate.\n\n"
                   "%ld Fermate assegnate al Comune di pertinenza.\n\n"
                   "%ld Fermate per i quali non è identificabile il Comune",
                   n.analysed, n.assigned, n.unidentified));
  } else {
    ui.Info(Format("Risultati dell'assegnazione automatica della Località di pertinenza alle "
                   "fermate:\n\n"
                   "%ld Fermate analizzate.\n\n"
                   "%ld Fermate assegnate alla Località di pertinenza.\n\n"
                   "%ld Fermate per i quali non è identificabile la Località",
                   n.analysed, n.assigned, n.unidentified));
  }
}

// ---------------------------------------------------------------------------------------------
// Municipality from locality

void MunicipalityFromLocality(db::Database& db, Ui& ui) {
  if (!ui.Ask("ATTENZIONE: Questa funzione provvederà ad assegnare in automatico il codice\n"
              "Comune a tutte le fermate che risultano associate ad una Località.\n\n"
              "Confermi l'elaborazione?"))
    return;
  WaitScope wait(ui);
  std::map<long, long> municipalityOf;  // the first pair of each locality decides
  {
    db::Selection s(&db);
    s.AddColumn("comuni", "ID", db::kSqlSmallInt);
    s.AddColumn("local", "ID", db::kSqlSmallInt);
    s.SetFrom("comuni, local");
    s.SetWhere("local.istat = comuni.istat AND local.id <> 0");
    if (db::ForEachRow(s, [&] { municipalityOf.emplace(s.GetShort(1), s.GetShort(0)); }) !=
        db::Walk::End)
      return;
  }
  long updated = 0, seen = 0;
  db::Transaction transaction(db);
  db::EditSelection e(&db);
  e.AddColumn("fermate", "local", db::kSqlSmallInt);
  e.AddColumn("fermate", "comune", db::kSqlSmallInt);
  e.SetFrom("fermate");
  const db::Walk walk = db::ForEachRow(e, [&] {
    Progress(ui, "Fermate lette", ++seen);
    auto it = municipalityOf.find(FieldLong(e, "local"));
    if (it == municipalityOf.end()) return true;
    return Counted(WriteRow(e, {{"comune", std::to_string(it->second)}}), updated);
  });
  if (walk != db::Walk::End || !transaction.Commit()) return;
  ui.Info(Format("Sono state aggiornate %ld Fermate", updated));
}

// ---------------------------------------------------------------------------------------------
// Average speeds

void ComputeAverageSpeeds(db::Database& db, Ui& ui) {
  if (!ui.Ask("Questa funzione calcola le velocità commerciali medie delle corse.\n\n"
              "Intendi calcolare le velocità medie?"))
    return;
  WaitScope wait(ui);
  long read = 0, updated = 0;
  db::Transaction transaction(db);
  db::EditSelection e(&db);
  e.AddColumn("corse", "lung", db::kSqlInteger);
  e.AddColumn("corse", "tempo", db::kSqlSmallInt);
  e.AddColumn("corse", "v_media", db::kSqlFloat);
  e.SetFrom("corse");
  const db::Walk walk = db::ForEachRow(e, [&] {
    Progress(ui, "Corse lette", ++read);
    const long lung = FieldLong(e, "lung");
    const long tempo = FieldLong(e, "tempo");
    if (tempo == 0) return true;
    const double hours = static_cast<double>(tempo / 60) +
                         static_cast<double>(tempo % 60) * 0.016666666666666666;
    return Counted(
        WriteRow(e, {{"v_media", CommaNumber(static_cast<double>(lung) * 0.001 / hours)}}),
        updated);
  });
  if (walk != db::Walk::End || !transaction.Commit()) return;
  ui.Info(Format("Risultati del calcolo delle velocità medie:\n\n"
                 "\tCorse lette: %ld\n"
                 "\tCorse aggiornate: %ld\n",
                 read, updated));
}

// ---------------------------------------------------------------------------------------------
// Manual association dialogs

namespace {

struct FoundStop {
  long id;
  std::string ubicaz;
  int comune, local;
};

// The dialog's state between button presses.
struct ManualState {
  db::Database& db;
  Ui& ui;
  AreaKind kind;
  int company = 0;
  std::vector<FoundStop> stops;
  std::vector<std::string> municipalities;  // every entry, before the filter

  bool Municipal() const { return kind == AreaKind::Municipalities; }
  std::string ClosingLine() const {
    return Municipal() ? "L'associazione tra Fermata e Comune non può essere effettuata."
                       : "L'associazione tra Fermata e Località non può essere effettuata.";
  }
};

// The name of a municipality or locality as "%04d - %s"; the code alone when absent.
std::string OwnerName(db::Database& db, std::string_view table, int id) {
  db::Selection s(&db);
  s.AddColumn(table, "denom", db::kSqlChar);
  s.SetFrom(table);
  s.SetWhere(Format("ID = %d", id));
  if (s.Open() == db::Fetch::Row) return PickEntry(id, s.GetText(0));
  return Format("%04d", id);
}

// The stop chosen in the list: ten digits that begin an entry.
std::optional<long> StopCode(std::string_view chosen, const std::vector<std::string>& entries) {
  if (chosen.size() < 10) return std::nullopt;
  for (int i = 0; i < 10; ++i)
    if (chosen[static_cast<size_t>(i)] < '0' || chosen[static_cast<size_t>(i)] > '9')
      return std::nullopt;
  const long id = static_cast<long>(LeadingInt(chosen.substr(0, 10)));
  const std::string code = Format("%010ld", id);
  for (const std::string& e : entries)
    if (e.rfind(code, 0) == 0) return id;
  return std::nullopt;
}

void ShowStop(ManualState& st, Form& form) {
  const std::optional<long> id = StopCode(form.Text(field::kStop), form.Field(field::kStop).entries);
  const FoundStop* stop = nullptr;
  if (id)
    for (const FoundStop& s : st.stops)
      if (s.id == *id) stop = &s;
  form.SetText(field::kLocation, stop ? stop->ubicaz : "");
  form.SetText(field::kStopMunicipality, stop ? OwnerName(st.db, "comuni", stop->comune) : "");
  if (form.Has(field::kStopLocality))
    form.SetText(field::kStopLocality, stop ? OwnerName(st.db, "local", stop->local) : "");
}

void LockSearch(Form& form, bool locked) {
  form.SetEnabled(field::kCompany, !locked);
  form.SetEnabled(field::kSearch, !locked);
  form.SetEnabled(field::kSearchButton, !locked);
  form.SetEnabled(field::kNewSearch, locked);
}

// The search text of a search button, or nothing (said) when the user gave none. `what` names
// the object searched: "fermata", "località".
std::optional<std::string> SearchText(Ui& ui, const Form& form, const char* field,
                                      const char* what) {
  std::string text = form.Text(field);
  if (!text.empty()) return text;
  ui.Stop(Format("ATTENZIONE: Non è stato specificato l'oggetto della ricerca.\n\n"
                 "La ricerca della %s non può essere effettuata.",
                 what));
  return std::nullopt;
}

// Lists the rows of a search in `list`, one entry each (`visit` makes it and keeps what else
// the row holds), and chooses the first. False, said, when the search found nothing or could
// not be read.
template <typename Visit>
bool ListFound(Ui& ui, Form& form, const char* list, const char* what, db::Selection& s,
               Visit visit) {
  std::vector<std::string> entries;
  if (db::ForEachRow(s, [&] { entries.push_back(visit()); }) != db::Walk::End) return false;
  if (entries.empty()) {
    ui.Stop(Format("ATTENZIONE: Non è stata identificata nessuna %s che soddisfi\n"
                   "i criteri di ricerca impostati",
                   what));
    return false;
  }
  form.SetEntries(list, std::move(entries));
  form.Select(list, 0);
  return true;
}

void SearchStops(ManualState& st, Form& form) {
  const std::optional<int> company = schema::CheckedPickCode(
      st.ui, form.Text(field::kCompany), form.Field(field::kCompany).entries, "Codice Azienda",
      "La ricerca della fermata non può essere effettuata.");
  if (!company) return;
  const std::optional<std::string> text = SearchText(st.ui, form, field::kSearch, "fermata");
  if (!text) return;
  db::Selection s(&st.db);
  s.AddColumn("fermate", "ID", db::kSqlInteger);
  s.AddColumn("fermate", "denom", db::kSqlChar);
  s.AddColumn("fermate", "ubicaz", db::kSqlChar);
  s.AddColumn("fermate", "comune", db::kSqlSmallInt);
  s.AddColumn("fermate", "local", db::kSqlSmallInt);
  s.SetFrom("fermate");
  s.SetWhere(Format("azienda = %d AND ", *company) + st.db.dialect().Contains("denom", *text));
  s.SetOrderBy("denom");
  std::vector<FoundStop> stops;
  if (!ListFound(st.ui, form, field::kStop, "fermata", s, [&] {
        stops.push_back({s.GetLong(0), s.GetText(2), s.GetShort(3), s.GetShort(4)});
        return Format("%010ld - %s", static_cast<long>(s.GetLong(0)), s.GetText(1).c_str());
      }))
    return;
  st.company = *company;
  st.stops = std::move(stops);
  ShowStop(st, form);
  LockSearch(form, true);
}

void NewSearch(ManualState& st, Form& form) {
  st.stops.clear();
  form.SetEntries(field::kStop, {});
  form.SetText(field::kStop, "");
  ShowStop(st, form);
  LockSearch(form, false);
}

void FilterMunicipalities(ManualState& st, Form& form) {
  const std::string filter = Utf8ToCp1252(form.Text(field::kMunicipalityFilter));
  std::vector<std::string> shown;
  for (const std::string& e : st.municipalities) {
    // Compared without case, on single-byte text so that accented letters count as one.
    const std::string bytes = Utf8ToCp1252(e);
    auto it = std::search(bytes.begin(), bytes.end(), filter.begin(), filter.end(),
                          [](char a, char b) {
                            return std::tolower(static_cast<unsigned char>(a)) ==
                                   std::tolower(static_cast<unsigned char>(b));
                          });
    if (filter.empty() || it != bytes.end()) shown.push_back(e);
  }
  form.SetEntries(field::kMunicipality, std::move(shown));
}

void SearchLocalities(ManualState& st, Form& form) {
  const std::optional<std::string> text =
      SearchText(st.ui, form, field::kLocalitySearch, "località");
  if (!text) return;
  db::Selection s(&st.db);
  s.AddColumn("local", "ID", db::kSqlSmallInt);
  s.AddColumn("local", "denom", db::kSqlChar);
  s.AddColumn("comuni", "denom", db::kSqlChar);
  s.AddColumn("comuni", "provin", db::kSqlChar);
  s.SetFrom("local, comuni");
  s.SetWhere("local.istat = comuni.istat AND " + st.db.dialect().Contains("local.denom", *text));
  s.SetOrderBy("local.denom, comuni.denom");
  (void)ListFound(st.ui, form, field::kLocality, "località", s, [&] {
    return Format("%s - %s - %-2s - %s", Format("%04d", s.GetShort(0)).c_str(),
                  s.GetText(1).c_str(), s.GetText(3).c_str(), s.GetText(2).c_str());
  });
}

void Assign(ManualState& st, Form& form) {
  const std::optional<long> stop =
      StopCode(form.Text(field::kStop), form.Field(field::kStop).entries);
  if (!stop) {
    st.ui.Stop(PickInvalidMessage("Codice Fermata") + st.ClosingLine());
    return;
  }
  const char* target = st.Municipal() ? field::kMunicipality : field::kLocality;
  const std::optional<int> code = schema::CheckedPickCode(
      st.ui, form.Text(target), form.Field(target).entries,
      st.Municipal() ? "Codice Comune" : "Codice Località", st.ClosingLine());
  if (!code) return;
  // Stop IDs are unique only within a company: the row is found by both.
  const char* column = st.Municipal() ? "comune" : "local";
  db::EditSelection e(&st.db);
  e.AddColumn("fermate", column, db::kSqlSmallInt);
  e.SetFrom("fermate");
  e.SetWhere(Format("azienda = %d AND ID = %ld", st.company, *stop));
  if (e.Open() != db::Fetch::Row) {
    st.ui.Stop("Errore di lettura della fermata");
    return;
  }
  if (WriteRow(e, {{column, std::to_string(*code)}}) != RowWrite::Written) {
    st.ui.Stop("Errore di aggiornamento della fermata");
    return;
  }
  for (FoundStop& s : st.stops)
    if (s.id == *stop) (st.Municipal() ? s.comune : s.local) = *code;
  ShowStop(st, form);
}

}  // namespace

void ManualAssociationCommand(db::Database& db, Ui& ui, AreaKind kind) {
  auto st = std::make_shared<ManualState>(ManualState{db, ui, kind, 0, {}, {}});
  const bool municipal = st->Municipal();
  // A list that cannot be read whole (shown) offers no choice at all.
  const std::optional<std::vector<std::string>> companies =
      schema::ReadPickList(db, {schema::PickTable::Companies, "fermate",
                                "fermate.azienda = regazi.codice", schema::PickOrder::ByCode});
  if (!companies) return;
  if (municipal) {
    std::optional<std::vector<std::string>> all =
        schema::ReadPickList(db, {schema::PickTable::Municipalities});
    if (!all) return;
    st->municipalities = std::move(*all);
  }
  Form form(municipal ? "Associazione Fermata Comune" : "Associazione Fermata Località");
  form.okCaption = "Fine";
  form.cancelCaption = "Annulla";
  form.AddGroup("filtro", "Filtro Selezione Fermate");
  form.AddList(field::kCompany, "Codice Azienda", *companies).editable = true;
  form.AddEdit(field::kSearch, "Oggetto ricerca", "", 40);
  form.AddButton(field::kSearchButton, "Ricerca", [st](Form& f) { SearchStops(*st, f); });
  form.AddButton(field::kNewSearch, "Nuova Ricerca", [st](Form& f) { NewSearch(*st, f); })
      .enabled = false;
  form.EndGroup();
  form.AddGroup("selezionata", "Fermata Selezionata");
  form.AddList(field::kStop, "Fermata", {}).onChange = [st](Form& f) { ShowStop(*st, f); };
  form.Field(field::kStop).editable = true;
  // Shown, not edited: the chosen stop's place and codes.
  form.AddEdit(field::kLocation, "Ubicazione", "").enabled = false;
  form.AddEdit(field::kStopMunicipality, "Comune", "").enabled = false;
  if (!municipal) form.AddEdit(field::kStopLocality, "Località", "").enabled = false;
  form.EndGroup();
  if (municipal) {
    form.AddGroup("destinazione", "Comune");
    form.AddEdit(field::kMunicipalityFilter, "Filtro Comuni", "", 40).onChange =
        [st](Form& f) { FilterMunicipalities(*st, f); };
    form.AddList(field::kMunicipality, "Codice Comune", st->municipalities).editable = true;
  } else {
    form.AddGroup("destinazione", "Località");
    form.AddEdit(field::kLocalitySearch, "Oggetto ricerca", "", 40);
    form.AddButton(field::kLocalitySearchButton, "Ricerca",
                   [st](Form& f) { SearchLocalities(*st, f); });
    form.AddList(field::kLocality, "Codice Località", {}).editable = true;
  }
  form.EndGroup();
  form.AddButton(field::kAssign, "Assegna", [st](Form& f) { Assign(*st, f); });
  ui.RunForm(form);
}

}  // namespace kvt::carto
