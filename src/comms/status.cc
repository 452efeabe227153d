#include "comms/status.h"

#include <algorithm>
#include <array>

#include "core/text.h"
#include "db/database.h"
#include "db/rows.h"
#include "db/selection.h"
#include "db/sql_types.h"
#include "platform/ui.h"
#include "schema/pick_lists.h"

namespace kvt::comms {

std::string_view PrimacomText(bool primacom) {
  return primacom ? "Prima Comunicazione" : "Comunicazione Incrementale";
}

std::string_view TipoText(char tipo) {
  switch (tipo) {
    case 'P':
      return "Piano di Servizio";
    case 'A':
      return "Anomalie / Scostamenti dal Piano";
    case 'B':
      return "Budget Contrattuale";
    case 'I':
      return "Ipotesi Progettuale";
    default:
      return "Sconosciuto";
  }
}

std::string_view AzzeraText(bool azzera) {
  return azzera ? "Sostituisce qualsiasi comunicazione precedente"
                : "Integra le comunicazioni precedenti";
}

namespace {

char FirstChar(const std::string& text) {
  return text.empty() ? ' ' : text[0];
}

std::string Trimmed(const std::string& text) {
  return std::string(TrimRight(text));
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Status

std::optional<std::vector<std::string>> StatusCompanyEntries(db::Database& db) {
  return schema::ReadPickList(
      db, {schema::PickTable::Companies, "proto", "proto.azienda = regazi.codice"});
}

std::optional<std::vector<std::string>> StatusCommunicationEntries(db::Database& db,
                                                                   int azienda) {
  std::vector<std::string> entries;
  db::Selection s(&db);
  s.AddColumn("proto", "tipo", db::kSqlChar);
  s.AddColumn("proto", "protoc", db::kSqlInteger);
  s.AddColumn("proto", "p_data", db::kSqlTypeDate);
  s.AddColumn("proto", "datini", db::kSqlTypeDate);
  s.AddColumn("proto", "datfin", db::kSqlTypeDate);
  s.SetFrom("proto");
  s.SetWhere(Format("azienda = %d", azienda));
  s.SetOrderBy("protoc");
  if (db::ForEachRow(s, [&] {
        entries.push_back(Format("%ld %c del %s [dal %s al %s]", static_cast<long>(s.GetLong(1)),
                                 FirstChar(s.GetText(0)), s.GetText(2).c_str(),
                                 s.GetText(3).c_str(), s.GetText(4).c_str()));
      }) != db::Walk::End)
    return std::nullopt;
  return entries;
}

std::optional<std::string> CommunicationDetail(db::Database& db, int azienda, int32_t protoc) {
  db::Selection s(&db);
  s.AddColumn("proto", "protoc", db::kSqlInteger);
  s.AddColumn("proto", "p_data", db::kSqlTypeDate);
  s.AddColumn("proto", "resple", db::kSqlChar);
  s.AddColumn("proto", "primacom", db::kSqlBit);
  s.AddColumn("proto", "tipo", db::kSqlChar);
  s.AddColumn("proto", "azzera", db::kSqlBit);
  s.AddColumn("proto", "datini", db::kSqlTypeDate);
  s.AddColumn("proto", "datfin", db::kSqlTypeDate);
  s.SetFrom("proto");
  s.SetWhere(Format("azienda = %d AND protoc = %ld", azienda, static_cast<long>(protoc)));
  // Not found or not read (the failure has been shown): no detail either way.
  if (s.Open() != db::Fetch::Row) return std::nullopt;
  return Format("Comunicazione n.ro %ld del %s\n\n", static_cast<long>(s.GetLong(0)),
                s.GetText(1).c_str()) +
         "Responsabile: " + Trimmed(s.GetText(2)) + "\n" + "Modo: " +
         std::string(PrimacomText(s.GetShort(3) != 0)) + "\n" + "Contenuto: " +
         std::string(TipoText(FirstChar(s.GetText(4)))) + "\n" +
         std::string(AzzeraText(s.GetShort(5) != 0)) + "\n\n" +
         Format("Periodo di validità: dal %s al %s\n", s.GetText(6).c_str(),
                s.GetText(7).c_str());
}

Form StatusForm(db::Database& db, Ui& ui, std::vector<std::string> companies) {
  Form form{std::string(kStatusTitle)};
  form.AddList("azienda", "Azienda", companies);
  form.AddList("comunicazioni", "Comunicazioni", {});
  // Choosing a company lists its communications; choosing one of them shows it.
  form.Field("azienda").onChange = [&db, companies](Form& f) {
    const std::optional<int> code = PickCode(f.Text("azienda"), companies);
    // A failed read has been shown: the list stays empty, never taken for "none".
    std::optional<std::vector<std::string>> listed;
    if (code) listed = StatusCommunicationEntries(db, *code);
    f.SetEntries("comunicazioni", listed ? std::move(*listed) : std::vector<std::string>{});
    f.SetText("comunicazioni", "");
  };
  form.Field("comunicazioni").onChange = [&db, &ui, companies](Form& f) {
    const std::optional<int> code = PickCode(f.Text("azienda"), companies);
    // The number the chosen entry (or a typed text) begins with, when an entry has it.
    const std::string& chosen = f.Text("comunicazioni");
    if (!code || chosen.empty()) return;
    const int64_t protoc = LeadingInt(chosen);
    const std::string prefix = Format("%ld ", static_cast<long>(protoc));
    const std::vector<std::string>& listed = f.Field("comunicazioni").entries;
    if (std::none_of(listed.begin(), listed.end(),
                     [&](const std::string& e) { return e.starts_with(prefix); }))
      return;
    if (std::optional<std::string> text =
            CommunicationDetail(db, *code, static_cast<int32_t>(protoc)))
      ui.Info(*text);
  };
  return form;
}

void CommunicationStatusCommand(db::Database& db, Ui& ui) {
  std::optional<std::vector<std::string>> companies = StatusCompanyEntries(db);
  if (!companies) return;  // the read's failure has been shown
  Form form = StatusForm(db, ui, std::move(*companies));
  ui.RunForm(form);
}

// ---------------------------------------------------------------------------------------
// The latest communication of each company

std::optional<std::vector<std::string>> LatestCommunicationEntries(db::Database& db) {
  std::vector<std::string> entries;
  db::Selection s(&db);
  s.AddColumn("proto", "azienda", db::kSqlSmallInt);
  s.AddColumn("proto", "protoc", db::kSqlInteger);
  s.AddColumn("proto", "tipo", db::kSqlChar);
  s.AddColumn("proto", "p_data", db::kSqlTypeDate);
  s.AddColumn("regazi", "denom", db::kSqlChar);
  s.SetFrom("proto, regazi");
  s.SetWhere("proto.azienda = regazi.codice");
  // By name, then code: two companies of the same name must not interleave, or a row that
  // is not a company's latest would be taken for it.
  s.SetOrderBy("regazi.denom, proto.azienda, proto.protoc");
  std::string pending;
  int pendingCompany = 0;
  bool have = false;
  const db::Walk walk = db::ForEachRow(s, [&] {
    const int azienda = s.GetShort(0);
    if (have && azienda != pendingCompany) entries.push_back(pending);
    pending = Format("%04d - %06ld - %c del %s %s", azienda, static_cast<long>(s.GetLong(1)),
                     FirstChar(s.GetText(2)), s.GetText(3).c_str(), Trimmed(s.GetText(4)).c_str());
    pendingCompany = azienda;
    have = true;
  });
  if (walk != db::Walk::End) return std::nullopt;
  if (have) entries.push_back(pending);
  return entries;
}

std::optional<CommunicationKey> ChosenCommunication(std::string_view chosen,
                                                    const std::vector<std::string>& entries) {
  const std::optional<int> code = PickCode(chosen, entries);
  if (!code || chosen.size() < 8) return std::nullopt;
  const int64_t number = LeadingInt(chosen.substr(7));
  if (number < 0 || number > INT32_MAX) return std::nullopt;
  const std::string prefix = Format("%04d - %06ld", *code, static_cast<long>(number));
  for (const std::string& entry : entries)
    if (entry.starts_with(prefix)) return CommunicationKey{*code, static_cast<int32_t>(number)};
  return std::nullopt;
}

Form CommunicationChooser(Ui& ui, std::string title, std::vector<std::string> entries,
                          CommunicationKey& chosen) {
  Form form{std::move(title)};
  form.AddList("comunicazione", "Comunicazione", entries);
  form.SetAcceptHandler([&ui, &chosen, entries](Form& f) {
    const std::optional<CommunicationKey> key = ChosenCommunication(f.Text("comunicazione"), entries);
    if (!key) {
      ui.Stop(PickInvalidMessage("Codice Comunicazione"));
      return false;
    }
    chosen = *key;
    return true;
  });
  return form;
}

// ---------------------------------------------------------------------------------------
// Deletion

namespace {

// Deletes the rows of `table` under `where`, adding them to `deleted`; false when the
// database refused (the caller rolls back).
bool DeleteWhere(db::Database& db, std::string_view table, const std::string& where,
                 long& deleted) {
  db::DeleteSelection rows(&db);
  rows.SetColumns("azienda");
  rows.SetFrom(table);
  rows.SetWhere(where);
  const std::optional<long> n = db::DeleteRows(rows);
  if (!n) return false;
  deleted += *n;
  return true;
}

// The route IDs of the communication, "%ld" then ",%ld"; false when they cannot be read.
bool RouteIds(db::Database& db, const std::string& where, std::string& ids) {
  db::Selection s(&db);
  s.AddColumn("tesitine", "ID", db::kSqlInteger);
  s.SetFrom("tesitine");
  s.SetWhere(where);
  const db::Walk walk = db::ForEachRow(
      s, [&] { ids += Format(ids.empty() ? "%ld" : ",%ld", static_cast<long>(s.GetLong(0))); });
  return walk == db::Walk::End;
}

bool Delete(db::Database& db, const CommunicationKey& key, ProgressScope& progress,
            DeletionCounts& c) {
  const std::string company = Format("azienda = %d", key.azienda);
  const std::string own = company + Format(" AND protoc = %ld", static_cast<long>(key.protoc));
  struct Step {
    const char* table;
    const char* caption;
    const std::string* where;
    long* count;
  };
  // Referencing rows before the rows they reference.
  const std::array<Step, 8> first = {{
      {"linkzone", "Eliminazione Legami Fermate Zonizzazioni", &own, &c.linkzone},
      {"giorni", "Eliminazione Giorni Effettuazione", &own, &c.giorni},
      {"mesi", "Eliminazione Mesi Effettuazione", &own, &c.mesi},
      {"symday", "Eliminazione Giorni Simulazione", &company, &c.symday},
      {"polferma", "Eliminazione Fermate x Poli Direttrice", &company, &c.polferma},
      {"orari", "Eliminazione Orari", &own, &c.orari},
      {"corse", "Eliminazione Corse", &own, &c.corse},
      {"detitine", "Eliminazione Dettagli Percorsi", &own, &c.detitine},
  }};
  const std::array<Step, 4> last = {{
      {"tesitine", "Eliminazione Teste Percorsi", &own, &c.tesitine},
      {"archi", "Eliminazione Archi", &own, &c.archi},
      {"fermate", "Eliminazione Fermate", &own, &c.fermate},
      {"proto", "Eliminazione Protocollo", &own, &c.proto},
  }};
  constexpr int kSteps = 13;
  int done = 0;
  const auto run = [&](const Step& step) {
    if (progress.Stopped()) return false;
    progress.Caption(step.caption);
    const bool ok = DeleteWhere(db, step.table, *step.where, *step.count);
    progress.Set(++done, kSteps);
    return ok;
  };
  for (const Step& step : first)
    if (!run(step)) return false;
  if (progress.Stopped()) return false;
  progress.Caption("Eliminazione Geometrie Percorsi");
  std::string ids;
  if (!RouteIds(db, own, ids)) return false;
  if (!ids.empty() && !DeleteWhere(db, "geoitine", company + " AND ID IN (" + ids + ")", c.geoitine))
    return false;
  progress.Set(++done, kSteps);
  for (const Step& step : last)
    if (!run(step)) return false;
  return true;
}

std::string Deleted(const char* what, long n) {
  return Format("Eliminate %ld %s\n", n, what);
}

}  // namespace

bool DeleteCommunication(db::Database& db, Ui& ui, const CommunicationKey& key,
                         DeletionCounts& counts) {
  counts = DeletionCounts{};
  bool done = false;
  {
    WaitScope wait(ui);
    ProgressScope progress(ui, "Eliminazione Comunicazione Aziendale",
                           ProgressScope::Cancellable{});
    db::Transaction transaction(db);
    done = db.InTransaction() && Delete(db, key, progress, counts) && transaction.Commit();
  }
  if (!done) {
    counts = DeletionCounts{};
    SayUnfinished(ui, kCancelledMessage, kDeletionAbortedMessage);
  }
  return done;
}

std::string DeletionResultText(const DeletionCounts& c) {
  return "Risultati dell'eliminazione delle Comunicazione Aziendale:\n\n" +
         Deleted("righe protocollo", c.proto) + Deleted("righe fermate", c.fermate) +
         Deleted("righe archi", c.archi) + Deleted("righe teste percorso", c.tesitine) +
         Deleted("righe dettagli percorso", c.detitine) +
         Deleted("geometrie percorso", c.geoitine) + Deleted("righe corse", c.corse) +
         Deleted("righe orari", c.orari) + Deleted("righe mesi effettuazione", c.mesi) +
         Deleted("righe giorni effettuazione", c.giorni) +
         Deleted("righe giorni simulazione", c.symday) +
         Deleted("righe fermate x poli direttrice", c.polferma) +
         Format("Eliminate %ld righe legami tra fermate e zonizzazioni\n\n", c.linkzone);
}

bool DeleteCommunicationCommand(db::Database& db, Ui& ui) {
  CommunicationKey key;
  std::optional<std::vector<std::string>> entries = LatestCommunicationEntries(db);
  if (!entries) return false;  // the read's failure has been shown
  Form form = CommunicationChooser(ui, std::string(kDeletionTitle), std::move(*entries), key);
  if (!ui.RunForm(form)) return false;
  if (!ui.Ask(kDeletionQuestion)) return false;
  DeletionCounts counts;
  if (!DeleteCommunication(db, ui, key, counts)) return false;
  ui.Info(DeletionResultText(counts));
  ui.Info(kDeletionAdvice);
  return true;
}

}  // namespace kvt::comms
