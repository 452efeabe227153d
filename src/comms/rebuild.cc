#include "comms/rebuild.h"

#include "comms/calendar.h"
#include "comms/row_setter.h"
#include "core/text.h"
#include "db/database.h"
#include "db/rows.h"
#include "db/selection.h"
#include "db/sql_types.h"
#include "db/table.h"
#include "platform/ui.h"
#include "schema/pick_lists.h"

namespace kvt::comms {

namespace {

// Deletes every day row of the company; false when the database refused.
bool DeleteDays(db::Database& db, int azienda, const ProgressScope& progress, long& deleted) {
  db::DeleteSelection days(&db);
  days.SetColumns("azienda");
  days.SetFrom("giorni");
  days.SetWhere(Format("azienda = %d", azienda));
  if (progress.Stopped()) return false;
  const std::optional<long> rows = db::DeleteRows(days);
  if (!rows) return false;
  deleted += *rows;
  return true;
}

// The communications that mark running days, in protocol order; false when the database
// failed to give them all (the days already deleted must then not be committed).
bool ReadCommunications(db::Database& db, int azienda, std::vector<RebuildCommunication>& list) {
  db::Selection s(&db);
  s.AddColumn("proto", "protoc", db::kSqlInteger);
  s.AddColumn("proto", "azzera", db::kSqlBit);
  s.AddColumn("proto", "datini", db::kSqlTypeDate);
  s.AddColumn("proto", "datfin", db::kSqlTypeDate);
  s.SetFrom("proto");
  s.SetWhere(Format("(tipo = 'P' OR tipo = 'A') AND azienda = %d", azienda));
  s.SetOrderBy("protoc");
  const db::Walk walk = db::ForEachRow(s, [&] {
    RebuildCommunication q;
    q.protoc = s.GetLong(0);
    q.azzera = s.GetShort(1) != 0;
    // A period that cannot be read clears nothing, as a text that cannot be read would.
    q.datini = ParseDateByPosition(s.GetText(2)).value_or(Date{});
    q.datfin = ParseDateByPosition(s.GetText(3)).value_or(Date{});
    list.push_back(q);
  });
  return walk == db::Walk::End;
}

bool ReadMonths(db::Database& db, int azienda, int32_t protoc, CalendarRebuild& model) {
  db::Selection s(&db);
  s.AddColumn("mesi", "ID", db::kSqlInteger);
  s.AddColumn("mesi", "anno", db::kSqlSmallInt);
  s.AddColumn("mesi", "mese", db::kSqlSmallInt);
  s.AddColumn("mesi", "giorni", db::kSqlChar);
  s.SetFrom("proto, mesi");
  s.SetWhere(Format("(proto.tipo = 'P' OR proto.tipo = 'A') AND proto.azienda = %d AND "
                    "proto.protoc = %ld",
                    azienda, static_cast<long>(protoc)) +
             " AND proto.azienda = mesi.azienda AND proto.protoc = mesi.protoc");
  s.SetOrderBy("mesi.protoc, mesi.ID, mesi.anno, mesi.mese");
  const db::Walk walk = db::ForEachRow(
      s, [&] { model.Month(s.GetLong(0), s.GetShort(1), s.GetShort(2), s.GetText(3)); });
  return walk == db::Walk::End;
}

// Inserts the day rows of the model; false when the table cannot be opened or the database
// failed (then the rows after the failure are not attempted).
bool InsertDays(db::Database& db, int azienda, const CalendarRebuild& model,
                ProgressScope& progress, RebuildResult& result) {
  db::Table table(&db, "giorni", /*bulk=*/true);
  if (!table.IsOpen()) return false;
  RowSetter row(table, {"azienda", "ID", "protoc", "data", "giorno"});
  long done = 0;
  bool going = true;
  model.ForEachDay([&](const DayRow& day) {
    if (!going) return;
    if (progress.Stopped()) {
      going = false;
      return;
    }
    row.Begin();
    row.Int(azienda).Int(day.ID).Int(day.protoc).DateText(day.data).Char(day.giorno);
    going = row.End(result.inserted);
    progress.Set(++done, result.total);
  });
  return going && row.Finish(result.inserted);
}

bool Rebuild(db::Database& db, int azienda, ProgressScope& progress, RebuildResult& result) {
  if (!DeleteDays(db, azienda, progress, result.deleted)) return false;
  progress.Caption("Determinazione Giorni Effettuazione");
  CalendarRebuild model;
  std::vector<RebuildCommunication> communications;
  if (!ReadCommunications(db, azienda, communications)) return false;
  for (const RebuildCommunication& q : communications) {
    if (progress.Stopped()) return false;
    model.Begin(q);
    if (!ReadMonths(db, azienda, q.protoc, model)) return false;
  }
  progress.Caption("Inserimento Giorni Effettuazione Corse");
  result.total = static_cast<long>(model.Total());
  return InsertDays(db, azienda, model, progress, result);
}

}  // namespace

std::optional<std::vector<std::string>> RebuildCompanyEntries(db::Database& db) {
  return schema::ReadPickList(
      db, {schema::PickTable::Companies, "proto",
           "(proto.tipo = 'P' OR proto.tipo = 'A') AND proto.azienda = regazi.codice"});
}

Form RebuildCompanyForm(Ui& ui, std::vector<std::string> entries, int& code) {
  Form form{std::string(kRebuildTitle)};
  form.AddList("azienda", "Azienda", entries);
  form.SetAcceptHandler([&ui, &code, entries](Form& f) {
    const std::optional<int> chosen =
        schema::CheckedPickCode(ui, f.Text("azienda"), entries, "Codice Azienda");
    if (!chosen) return false;
    code = *chosen;
    return true;
  });
  return form;
}

bool RebuildRunningDays(db::Database& db, Ui& ui, int azienda, RebuildResult& result) {
  result = RebuildResult{};
  bool done = false;
  {
    WaitScope wait(ui);
    ProgressScope progress(ui, "Eliminazione Giorni Effettuazione Esistenti", 1, 3,
                           /*cancellable=*/true);
    db::Transaction transaction(db);
    done = db.InTransaction() && Rebuild(db, azienda, progress, result) && transaction.Commit();
  }
  if (!done) {
    result = RebuildResult{};
    SayUnfinished(ui, kCancelledMessage, kRebuildAbortedMessage);
  }
  return done;
}

std::string RebuildResultText(const RebuildResult& r) {
  return "Risultati della rigenerazione della Tavola Giorni Effettuazione Corse:\n\n" +
         Format("Giorni preesistenti eliminati: %ld\n", r.deleted) +
         Format("Giorni inseriti: %ld di %ld\n", r.inserted, r.total);
}

bool RebuildRunningDaysCommand(db::Database& db, Ui& ui) {
  int code = 0;
  std::optional<std::vector<std::string>> entries = RebuildCompanyEntries(db);
  if (!entries) return false;  // the read's failure has been shown
  Form form = RebuildCompanyForm(ui, std::move(*entries), code);
  if (!ui.RunForm(form)) return false;
  RebuildResult result;
  if (!RebuildRunningDays(db, ui, code, result)) return false;
  ui.Info(RebuildResultText(result));
  return true;
}

}  // namespace kvt::comms
