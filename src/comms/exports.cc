#include "comms/exports.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <set>

#include "comms/counting.h"
#include "comms/import.h"
#include "comms/kvt_format.h"
#include "comms/section_writer.h"
#include "core/text.h"
#include "db/database.h"
#include "db/rows.h"
#include "db/selection.h"
#include "db/sql_types.h"
#include "platform/files.h"
#include "platform/ui.h"
#include "schema/pick_lists.h"

namespace kvt::comms {

namespace {

// A text of the database as it travels: Windows-1252, trailing blanks removed.
std::string FileText(const std::string& utf8) {
  return Utf8ToCp1252(TrimRight(utf8));
}

char FirstByte(const std::string& utf8) {
  const std::string bytes = FileText(utf8);
  return bytes.empty() ? ' ' : bytes[0];
}

// Runs a selection built by `configure`, calling `row` on each row; false on a database
// error (shown by the selection) or when the user stops the work of `progress`.
bool ForEachRow(db::Database& db, const ProgressScope* progress,
                const std::function<void(db::Selection&)>& configure,
                const std::function<void(db::Selection&)>& row) {
  db::Selection s(&db);
  configure(s);
  const db::Walk walk = db::ForEachRow(s, [&] {
    if (progress && progress->Stopped()) return false;
    row(s);
    return true;
  });
  return walk == db::Walk::End;
}

FileDialogSpec SaveSpec(std::string_view title, std::string defaultName) {
  FileDialogSpec spec;
  spec.title = std::string(title);
  spec.filter = std::string(kTextFileFilter);
  spec.defaultExt = "TXT";
  spec.defaultName = std::move(defaultName);
  spec.overwritePrompt = true;
  return spec;
}


// A trip from the first 17 columns both exports select (ID, codcorsa, codlinea, verso, ente,
// route code, codperc, capol_p, hh_p, mm_p, capol_a, hh_a, mm_a, lung, tempo, ct_lung,
// ct_tempo). Its texts live in `code`, `line` and `route` while the row is written.
CorsaRow TripFromSelection(const db::Selection& s, std::string& code, std::string& line,
                           std::string& route) {
  code = FileText(s.GetText(1)), line = FileText(s.GetText(2)), route = FileText(s.GetText(5));
  CorsaRow r;
  r.ID = s.GetLong(0);
  r.codcorsa = code;
  r.codlinea = line;
  r.verso = FirstByte(s.GetText(3));
  r.ente = s.GetShort(4);
  r.percorso = route;
  r.codperc = s.GetLong(6);
  r.capol_p = s.GetLong(7);
  r.hh_p = s.GetShort(8);
  r.mm_p = s.GetShort(9);
  r.capol_a = s.GetLong(10);
  r.hh_a = s.GetShort(11);
  r.mm_a = s.GetShort(12);
  r.lung = s.GetLong(13);
  r.tempo = s.GetShort(14);
  r.ct_lung = s.GetLong(15);
  r.ct_tempo = s.GetShort(16);
  return r;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Reference base

namespace {

class ReferenceExport {
 public:
  ReferenceExport(db::Database& db, ProgressScope& progress, const CommunicationKey& key,
                  ReferenceBaseCounts& counts)
      : db_(db), progress_(progress), key_(key), counts_(counts) {}

  // False on a database error; the writer's own faults are in the writer.
  bool Run(KvtWriter& writer);

 private:
  std::string Upto(std::string_view table) const {
    return Format("%.*s%sazienda = %d AND %.*s%sprotoc <= %ld", static_cast<int>(table.size()),
                  table.data(), table.empty() ? "" : ".", key_.azienda,
                  static_cast<int>(table.size()), table.data(), table.empty() ? "" : ".",
                  static_cast<long>(key_.protoc));
  }
  bool Count();
  bool Protocol(ProtocolRow& row, std::string& resple);
  void Step(Section s, long total) {
    progress_.Caption(Format("Estrazione <%s>", SectionName(s).data()));
    total_ = total;
    done_ = 0;
  }
  void Done() { progress_.Set(++done_, total_); }

  db::Database& db_;
  ProgressScope& progress_;
  CommunicationKey key_;
  ReferenceBaseCounts& counts_;
  long total_ = 0, done_ = 0;
};

bool ReferenceExport::Count() {
  const std::string own = Upto("");
  const auto count = [&](std::string_view table, std::string_view from, const std::string& where,
                         long& out) {
    const std::optional<long> n = CountRows(db_, table, "azienda", from, where);
    out = n.value_or(0);
    return n.has_value();
  };
  return count("fermate", "fermate", own, counts_.fermate) &&
         count("archi", "archi", own, counts_.archi) &&
         count("tesitine", "tesitine", own, counts_.tesitine) &&
         count("detitine", "detitine, archi",
               Upto("detitine") + " AND archi.azienda = detitine.azienda AND archi.ID = detitine.arco",
               counts_.detitine) &&
         count("corse", "corse, tesitine",
               Upto("corse") + " AND corse.azienda = tesitine.azienda AND corse.codperc = tesitine.ID",
               counts_.corse) &&
         count("orari", "orari", own, counts_.orari);
}

bool ReferenceExport::Protocol(ProtocolRow& row, std::string& resple) {
  bool found = false;
  bool datesOk = true;
  const bool ok = ForEachRow(
      db_, &progress_,
      [&](db::Selection& s) {
        s.AddColumn("proto", "tipo", db::kSqlChar);
        s.AddColumn("proto", "azzera", db::kSqlBit);
        s.AddColumn("proto", "p_data", db::kSqlTypeDate);
        s.AddColumn("proto", "datini", db::kSqlTypeDate);
        s.AddColumn("proto", "datfin", db::kSqlTypeDate);
        s.AddColumn("proto", "resple", db::kSqlChar);
        s.SetFrom("proto");
        s.SetWhere(Format("azienda = %d AND protoc = %ld", key_.azienda,
                          static_cast<long>(key_.protoc)));
      },
      [&](db::Selection& s) {
        found = true;
        row.reference = true;
        row.tipo = FirstByte(s.GetText(0));
        row.azzera = s.GetShort(1) != 0;
        row.azienda = key_.azienda;
        row.protoc = key_.protoc;
        Date* dates[] = {&row.p_data, &row.datini, &row.datfin};
        for (int i = 0; i < 3; ++i) {
          const std::optional<Date> d = ParseDateByPosition(s.GetText(2 + i));
          datesOk = datesOk && d.has_value();
          if (d) *dates[i] = *d;
        }
        resple = FileText(s.GetText(5));
      });
  return ok && found && datesOk;
}

bool ReferenceExport::Run(KvtWriter& writer) {
  if (!Count()) return false;
  ProtocolRow protocol;
  std::string resple;
  if (!Protocol(protocol, resple)) return false;
  protocol.resple = resple;
  SectionCounts declared;
  declared[Section::Fermate] = counts_.fermate;
  declared[Section::Archi] = counts_.archi;
  declared[Section::TesteItiner] = counts_.tesitine;
  declared[Section::RigheItiner] = counts_.detitine;
  declared[Section::Corse] = counts_.corse;
  declared[Section::Orari] = counts_.orari;
  writer.WriteProtocol(protocol, declared);

  std::string a, b, c, d;  // row texts in 1252, alive while the row is written
  Step(Section::Fermate, counts_.fermate);
  writer.BeginSection(Section::Fermate);
  bool ok = ForEachRow(
      db_, &progress_,
      [&](db::Selection& s) {
        for (const char* col : {"ID", "fermata", "denom", "ubicaz", "local"})
          s.AddColumn("fermate", col, std::string_view(col) == "ID" ? db::kSqlInteger
                                      : std::string_view(col) == "local" ? db::kSqlSmallInt
                                                                          : db::kSqlChar);
        s.AddColumn("fermate", "coord_x", db::kSqlDouble);
        s.AddColumn("fermate", "coord_y", db::kSqlDouble);
        s.AddColumn("fermate", "okcoord", db::kSqlBit);
        s.SetFrom("fermate");
        s.SetWhere(Upto(""));
      },
      [&](db::Selection& s) {
        a = FileText(s.GetText(1)), b = FileText(s.GetText(2)), c = FileText(s.GetText(3));
        const bool located = s.GetShort(7) != 0;
        writer.Write(FermataRow{s.GetLong(0), a, b, c, s.GetShort(4),
                                located ? s.GetDouble(5) : 0.0, located ? s.GetDouble(6) : 0.0});
        Done();
      });
  writer.EndSection();

  Step(Section::Archi, counts_.archi);
  writer.BeginSection(Section::Archi);
  ok = ok && ForEachRow(
                 db_, &progress_,
                 [&](db::Selection& s) {
                   for (const char* col : {"ID", "inizio", "fine", "lung"})
                     s.AddColumn("archi", col, db::kSqlInteger);
                   s.SetFrom("archi");
                   s.SetWhere(Upto(""));
                 },
                 [&](db::Selection& s) {
                   writer.Write(ArcoRow{s.GetLong(0), s.GetLong(1), s.GetLong(2), s.GetLong(3)});
                   Done();
                 });
  writer.EndSection();

  Step(Section::TesteItiner, counts_.tesitine);
  writer.BeginSection(Section::TesteItiner);
  ok = ok && ForEachRow(
                 db_, &progress_,
                 [&](db::Selection& s) {
                   s.AddColumn("tesitine", "ID", db::kSqlInteger);
                   s.AddColumn("tesitine", "codperc", db::kSqlChar);
                   s.AddColumn("tesitine", "denom", db::kSqlChar);
                   s.SetFrom("tesitine");
                   s.SetWhere(Upto(""));
                 },
                 [&](db::Selection& s) {
                   a = FileText(s.GetText(1)), b = FileText(s.GetText(2));
                   writer.Write(TestaItinerRow{s.GetLong(0), a, b});
                   Done();
                 });
  writer.EndSection();

  Step(Section::RigheItiner, counts_.detitine);
  writer.BeginSection(Section::RigheItiner);
  ok = ok &&
       ForEachRow(
           db_, &progress_,
           [&](db::Selection& s) {
             s.AddColumn("detitine", "ID", db::kSqlInteger);
             s.AddColumn("detitine", "sub", db::kSqlSmallInt);
             s.AddColumn("detitine", "arco", db::kSqlInteger);
             s.AddColumn("detitine", "dist", db::kSqlInteger);
             s.AddColumn("archi", "inizio", db::kSqlInteger);
             s.AddColumn("archi", "fine", db::kSqlInteger);
             s.SetFrom("detitine, archi");
             s.SetWhere(Upto("detitine") +
                        " AND archi.azienda = detitine.azienda AND archi.ID = detitine.arco");
           },
           [&](db::Selection& s) {
             writer.Write(RigaItinerRow{s.GetLong(0), s.GetShort(1), s.GetLong(2), s.GetLong(3),
                                        s.GetLong(4), s.GetLong(5)});
             Done();
           });
  writer.EndSection();

  Step(Section::Corse, counts_.corse);
  writer.BeginSection(Section::Corse);
  ok = ok && ForEachRow(
                 db_, &progress_,
                 [&](db::Selection& s) {
                   s.AddColumn("corse", "ID", db::kSqlInteger);          // 0
                   s.AddColumn("corse", "codcorsa", db::kSqlChar);       // 1
                   s.AddColumn("corse", "codlinea", db::kSqlChar);       // 2
                   s.AddColumn("corse", "verso", db::kSqlChar);          // 3
                   s.AddColumn("corse", "ente", db::kSqlSmallInt);       // 4
                   s.AddColumn("tesitine", "codperc", db::kSqlChar);     // 5
                   s.AddColumn("corse", "codperc", db::kSqlInteger);     // 6
                   s.AddColumn("corse", "capol_p", db::kSqlInteger);     // 7
                   s.AddColumn("corse", "hh_p", db::kSqlSmallInt);       // 8
                   s.AddColumn("corse", "mm_p", db::kSqlSmallInt);       // 9
                   s.AddColumn("corse", "capol_a", db::kSqlInteger);     // 10
                   s.AddColumn("corse", "hh_a", db::kSqlSmallInt);       // 11
                   s.AddColumn("corse", "mm_a", db::kSqlSmallInt);       // 12
                   s.AddColumn("corse", "lung", db::kSqlInteger);        // 13
                   s.AddColumn("corse", "tempo", db::kSqlSmallInt);      // 14
                   s.AddColumn("corse", "ct_lung", db::kSqlInteger);     // 15
                   s.AddColumn("corse", "ct_tempo", db::kSqlSmallInt);   // 16
                   s.AddColumn("corse", "prevcor", db::kSqlInteger);     // 17
                   s.AddColumn("corse", "nextcor", db::kSqlInteger);     // 18
                   s.AddColumn("corse", "mezzo", db::kSqlChar);          // 19
                   s.SetFrom("corse, tesitine");
                   s.SetWhere(Upto("corse") +
                              " AND corse.azienda = tesitine.azienda AND corse.codperc = tesitine.ID");
                 },
                 [&](db::Selection& s) {
                   CorsaRow r = TripFromSelection(s, a, b, c);
                   r.prevcor = s.GetLong(17);
                   r.nextcor = s.GetLong(18);
                   r.mezzo = FirstByte(s.GetText(19));
                   writer.Write(r);
                   Done();
                 });
  writer.EndSection();

  Step(Section::Orari, counts_.orari);
  writer.BeginSection(Section::Orari);
  ok = ok && ForEachRow(
                 db_, &progress_,
                 [&](db::Selection& s) {
                   s.AddColumn("orari", "ID", db::kSqlInteger);
                   s.AddColumn("orari", "sub", db::kSqlSmallInt);
                   s.AddColumn("orari", "fermata", db::kSqlInteger);
                   for (const char* col : {"hh", "mm", "sosta"})
                     s.AddColumn("orari", col, db::kSqlSmallInt);
                   for (const char* col : {"primaria", "facolt", "nonferma"})
                     s.AddColumn("orari", col, db::kSqlBit);
                   s.SetFrom("orari");
                   s.SetWhere(Upto(""));
                 },
                 [&](db::Selection& s) {
                   writer.Write(OrarioRow{s.GetLong(0), s.GetShort(1), s.GetLong(2), s.GetShort(3),
                                          s.GetShort(4), s.GetShort(5), s.GetShort(6) != 0,
                                          s.GetShort(7) != 0, s.GetShort(8) != 0});
                   Done();
                 });
  writer.EndSection();
  return ok;
}

}  // namespace

bool ExportReferenceBase(db::Database& db, Ui& ui, const CommunicationKey& key,
                         const std::string& path, ReferenceBaseCounts& counts) {
  counts = ReferenceBaseCounts{};
  KvtWriter writer;
  if (!writer.Open(path)) {
    ui.Warning(CannotCreateMessage(path), "Esportazione base dati orari");
    return false;
  }
  bool ok = false;
  {
    WaitScope wait(ui);
    ProgressScope progress(ui, "Predisposizione <protocollo>", ProgressScope::Cancellable{});
    ok = ReferenceExport(db, progress, key, counts).Run(writer);
  }
  // A failed export leaves no file: the writer discards what it wrote unless closed whole.
  ok = ok && writer.Close();
  if (!ok) {
    counts = ReferenceBaseCounts{};
    SayUnfinished(ui, kCancelledFileMessage, WriteFailedMessage(path));
  }
  return ok;
}

std::string ReferenceBaseResultText(const ReferenceBaseCounts& c) {
  return "Risultati della generazione della base dati di riferimento:\n\n" +
         Format("%ld righe <fermate>\n", c.fermate) + Format("%ld righe <archi>\n", c.archi) +
         Format("%ld righe <teste_itiner>\n", c.tesitine) +
         Format("%ld righe <righe_itiner>\n", c.detitine) + Format("%ld righe <corse>\n", c.corse) +
         Format("%ld righe <orari>\n", c.orari);
}

bool ExportReferenceBaseCommand(db::Database& db, Ui& ui) {
  CommunicationKey key;
  std::optional<std::vector<std::string>> entries = LatestCommunicationEntries(db);
  if (!entries) return false;  // the read's failure has been shown
  Form form = CommunicationChooser(ui, std::string(kReferenceBaseTitle), std::move(*entries),
                                   key);
  if (!ui.RunForm(form)) return false;
  const std::optional<std::string> path = ui.SaveFile(
      SaveSpec("Esportazione Base Dati KVT-TXT v2",
               Format("RT2_%d_%ld_BASE", key.azienda, static_cast<long>(key.protoc))));
  if (!path) return false;
  ReferenceBaseCounts counts;
  if (!ExportReferenceBase(db, ui, key, *path, counts)) return false;
  ui.Info(ReferenceBaseResultText(counts));
  return true;
}

// ---------------------------------------------------------------------------------------
// Regularity base

namespace {

// "<tag>count" and "</tag>checksum", as the communications spell their sections.
void BeginTagged(SectionWriter& file, std::string_view tag, long count) {
  file.Begin(Format("<%.*s>%ld", static_cast<int>(tag.size()), tag.data(), count), count);
}
void EndTagged(SectionWriter& file, std::string_view tag) {
  file.End(Format("</%.*s>", static_cast<int>(tag.size()), tag.data()));
}

class RegularityExport {
 public:
  RegularityExport(db::Database& db, ProgressScope& progress, int azienda, const Date& from,
                   RegularityBaseCounts& counts)
      : db_(db), progress_(progress), azienda_(azienda), counts_(counts) {
    base_ = Format("corse.azienda = %d AND giorni.azienda = corse.azienda AND giorni.ID = corse.ID",
                   azienda) +
            DateCondition(from);
    dateCondition_ = DateCondition(from);
  }

  bool Run(SectionWriter& file);

 private:
  std::string DateCondition(const Date& d) const {
    return " AND giorni.data >= " + db_.dialect().DateLiteral(d.day, d.month, d.year);
  }
  void Stops(db::Selection& s) const;
  void Trips(db::Selection& s) const;
  void Times(db::Selection& s) const;
  void Days(db::Selection& s) const;
  void RouteRows(db::Selection& s) const;
  // Rows of a selection, counted (the sections declare their counts first).
  bool CountOf(void (RegularityExport::*configure)(db::Selection&) const, long& out) {
    out = 0;
    return ForEachRow(
        db_, &progress_, [&](db::Selection& s) { (this->*configure)(s); },
        [&](db::Selection&) { ++out; });
  }
  bool CollectRoutes();
  bool Section(SectionWriter& file, std::string_view tag, long count,
               void (RegularityExport::*configure)(db::Selection&) const,
               const std::function<void(db::Selection&, std::string&)>& format);

  db::Database& db_;
  ProgressScope& progress_;
  int azienda_;
  RegularityBaseCounts& counts_;
  std::string base_, dateCondition_;
  std::set<int32_t> routes_;
};

void RegularityExport::Stops(db::Selection& s) const {
  s.AddColumn("fermate", "ID", db::kSqlInteger);
  s.AddColumn("fermate", "fermata", db::kSqlChar);
  s.AddColumn("fermate", "denom", db::kSqlChar);
  s.AddColumn("fermate", "ubicaz", db::kSqlChar);
  s.SetFrom("corse, giorni, orari, fermate");
  s.SetWhere(base_ + " AND orari.azienda = corse.azienda AND orari.ID = corse.ID" +
             " AND fermate.azienda = orari.azienda AND fermate.ID = orari.fermata");
  s.SetGroupBy("fermate.ID, fermate.fermata, fermate.denom, fermate.ubicaz");
}

void RegularityExport::Trips(db::Selection& s) const {
  s.AddColumn("corse", "ID", db::kSqlInteger);
  s.AddColumn("corse", "codcorsa", db::kSqlChar);
  s.AddColumn("corse", "codlinea", db::kSqlChar);
  s.AddColumn("corse", "verso", db::kSqlChar);
  s.AddColumn("corse", "ente", db::kSqlSmallInt);
  s.AddColumn("tesitine", "codperc", db::kSqlChar);
  s.AddColumn("corse", "codperc", db::kSqlInteger);
  s.AddColumn("corse", "capol_p", db::kSqlInteger);
  s.AddColumn("corse", "hh_p", db::kSqlSmallInt);
  s.AddColumn("corse", "mm_p", db::kSqlSmallInt);
  s.AddColumn("corse", "capol_a", db::kSqlInteger);
  s.AddColumn("corse", "hh_a", db::kSqlSmallInt);
  s.AddColumn("corse", "mm_a", db::kSqlSmallInt);
  s.AddColumn("corse", "lung", db::kSqlInteger);
  s.AddColumn("corse", "tempo", db::kSqlSmallInt);
  s.AddColumn("corse", "ct_lung", db::kSqlInteger);
  s.AddColumn("corse", "ct_tempo", db::kSqlSmallInt);
  s.SetFrom("corse, tesitine, giorni");
  s.SetWhere(base_ + " AND corse.azienda = tesitine.azienda AND corse.codperc = tesitine.ID");
  s.SetGroupBy(
      "corse.ID, corse.codcorsa, corse.codlinea, corse.verso, corse.ente, tesitine.codperc, "
      "corse.codperc, corse.capol_p, corse.hh_p, corse.mm_p, corse.capol_a, corse.hh_a, "
      "corse.mm_a, corse.lung, corse.tempo, corse.ct_lung, corse.ct_tempo");
}

void RegularityExport::Times(db::Selection& s) const {
  s.AddColumn("orari", "ID", db::kSqlInteger);
  s.AddColumn("orari", "sub", db::kSqlSmallInt);
  s.AddColumn("orari", "fermata", db::kSqlInteger);
  for (const char* col : {"hh", "mm", "sosta"}) s.AddColumn("orari", col, db::kSqlSmallInt);
  for (const char* col : {"primaria", "facolt", "nonferma"}) s.AddColumn("orari", col, db::kSqlBit);
  s.SetFrom("corse, giorni, orari");
  s.SetWhere(base_ + " AND orari.azienda = corse.azienda AND orari.ID = corse.ID");
  s.SetGroupBy(
      "orari.ID, orari.sub, orari.fermata, orari.hh, orari.mm, orari.sosta, orari.primaria, "
      "orari.facolt, orari.nonferma");
}

void RegularityExport::Days(db::Selection& s) const {
  s.AddColumn("giorni", "ID", db::kSqlInteger);
  s.AddColumn("giorni", "data", db::kSqlTypeDate);
  s.SetFrom("giorni");
  s.SetWhere(Format("giorni.azienda = %d ", azienda_) + dateCondition_);
}

void RegularityExport::RouteRows(db::Selection& s) const {
  s.AddColumn("detitine", "ID", db::kSqlInteger);
  s.AddColumn("detitine", "sub", db::kSqlSmallInt);
  s.AddColumn("archi", "inizio", db::kSqlInteger);
  s.AddColumn("archi", "fine", db::kSqlInteger);
  s.AddColumn("detitine", "dist", db::kSqlInteger);
  s.SetFrom("detitine, archi");
  s.SetWhere(Format("detitine.azienda = %d", azienda_) +
             " AND archi.azienda = detitine.azienda AND archi.ID = detitine.arco");
  s.SetOrderBy("detitine.ID, detitine.sub");
}

bool RegularityExport::CollectRoutes() {
  return ForEachRow(
      db_, &progress_,
      [&](db::Selection& s) {
        s.AddColumn("corse", "codperc", db::kSqlInteger);
        s.AddColumn("corse", "ID", db::kSqlInteger);
        s.SetFrom("corse, giorni");
        s.SetWhere(base_);
        s.SetGroupBy("corse.codperc, corse.ID");
      },
      [&](db::Selection& s) { routes_.insert(s.GetLong(0)); });
}

bool RegularityExport::Section(SectionWriter& file, std::string_view tag, long count,
                               void (RegularityExport::*configure)(db::Selection&) const,
                               const std::function<void(db::Selection&, std::string&)>& format) {
  progress_.Caption(Format("Estrazione <%.*s>", static_cast<int>(tag.size()), tag.data()));
  BeginTagged(file, tag, count);
  std::string row;
  long done = 0;
  const bool ok = ForEachRow(
      db_, &progress_, [&](db::Selection& s) { (this->*configure)(s); },
      [&](db::Selection& s) {
        row.clear();
        format(s, row);
        file.Row(row);
        progress_.Set(++done, count);
      });
  EndTagged(file, tag);
  return ok;
}

bool RegularityExport::Run(SectionWriter& file) {
  if (!CountOf(&RegularityExport::Stops, counts_.fermate) ||
      !CountOf(&RegularityExport::Trips, counts_.corse) ||
      !CountOf(&RegularityExport::Times, counts_.orari) ||
      !CountOf(&RegularityExport::Days, counts_.giorni) || !CollectRoutes()) {
    return false;
  }
  // Progressives: one line for the first stop of each route used, then one per route row.
  counts_.progressive = 0;
  int32_t last = 0;
  bool any = false;
  if (!ForEachRow(
          db_, &progress_, [&](db::Selection& s) { RouteRows(s); },
          [&](db::Selection& s) {
            const int32_t route = s.GetLong(0);
            if (!routes_.count(route)) return;
            if (!any || route != last) ++counts_.progressive;
            ++counts_.progressive;
            last = route;
            any = true;
          })) {
    return false;
  }

  file.Begin("<etichetta>1");
  const std::string lines[] = {Format("BaseReg\t%d", azienda_),
                               Format("FERMATE\t%ld", counts_.fermate),
                               Format("CORSE\t%ld", counts_.corse),
                               Format("ORARI\t%ld", counts_.orari),
                               Format("GIORNI\t%ld", counts_.giorni),
                               Format("PROGRESSIVE\t%ld", counts_.progressive)};
  for (const std::string& line : lines) file.Row(line);
  file.End("</etichetta>");

  std::string a, b, c;
  bool ok = Section(file, "fermate", counts_.fermate, &RegularityExport::Stops,
                    [&](db::Selection& s, std::string& row) {
                      row = Format("%ld\t", static_cast<long>(s.GetLong(0))) +
                            FileText(s.GetText(1)) + "\t" + FileText(s.GetText(2)) + "\t" +
                            FileText(s.GetText(3));
                    });
  ok = ok && Section(file, "corse", counts_.corse, &RegularityExport::Trips,
                     [&](db::Selection& s, std::string& row) {
                       CorsaRow r = TripFromSelection(s, a, b, c);
                       AppendRow(row, r);
                       // The first 15 fields: no previous, next trip or mode here.
                       size_t tabs = 0, at = 0;
                       while (at < row.size() && !(row[at] == '\t' && ++tabs == 15)) ++at;
                       row.resize(at);
                     });
  ok = ok && Section(file, "orari", counts_.orari, &RegularityExport::Times,
                     [&](db::Selection& s, std::string& row) {
                       AppendRow(row, OrarioRow{s.GetLong(0), s.GetShort(1), s.GetLong(2),
                                                s.GetShort(3), s.GetShort(4), s.GetShort(5),
                                                s.GetShort(6) != 0, s.GetShort(7) != 0,
                                                s.GetShort(8) != 0});
                     });
  ok = ok && Section(file, "giorni", counts_.giorni, &RegularityExport::Days,
                     [&](db::Selection& s, std::string& row) {
                       row = Format("%ld\t", static_cast<long>(s.GetLong(0))) + s.GetText(1);
                     });
  if (!ok) return false;

  progress_.Caption("Estrazione <progressive>");
  BeginTagged(file, "progressive", counts_.progressive);
  long done = 0;
  any = false;
  ok = ForEachRow(
      db_, &progress_, [&](db::Selection& s) { RouteRows(s); },
      [&](db::Selection& s) {
        const int32_t route = s.GetLong(0);
        if (!routes_.count(route)) return;
        const long sub = s.GetShort(1);
        if (!any || route != last) {
          file.Row(Format("%ld\t%ld\t%ld\t0", static_cast<long>(route), sub,
                          static_cast<long>(s.GetLong(2))));
        }
        file.Row(Format("%ld\t%ld\t%ld\t%ld", static_cast<long>(route), sub + 1,
                        static_cast<long>(s.GetLong(3)), static_cast<long>(s.GetLong(4))));
        last = route;
        any = true;
        progress_.Set(++done, counts_.progressive);
      });
  EndTagged(file, "progressive");
  return ok;
}

}  // namespace

std::optional<std::vector<std::string>> RegularityCompanyEntries(db::Database& db) {
  return schema::ReadPickList(db, {schema::PickTable::Companies, "proto",
                                   "proto.azienda = regazi.codice AND proto.tipo = 'P'"});
}

Form RegularityForm(Ui& ui, std::vector<std::string> entries, int& azienda, Date& from) {
  Form form{std::string(kRegularityTitle)};
  form.AddList("azienda", "Azienda", entries);
  form.AddEdit("data", "Data Inizio Periodo", "", 10);
  form.SetAcceptHandler([&ui, &azienda, &from, entries](Form& f) {
    const std::optional<Date> date = ParseDialogDate(f.Text("data"));
    if (!date) {
      ui.Stop(kBadStartDateMessage);
      return false;
    }
    const std::optional<int> code =
        schema::CheckedPickCode(ui, f.Text("azienda"), entries, "Codice Azienda");
    if (!code) return false;
    f.SetText("data", FormatDate(*date));
    azienda = *code;
    from = *date;
    return true;
  });
  return form;
}

bool ExportRegularityBase(db::Database& db, Ui& ui, int azienda, const Date& from,
                          const std::string& path, RegularityBaseCounts& counts) {
  counts = RegularityBaseCounts{};
  SectionWriter file;
  if (!file.Open(path)) {
    ui.Warning(CannotCreateMessage(path), "Esportazione base gestione regolarità");
    return false;
  }
  bool ok = false;
  {
    WaitScope wait(ui);
    ProgressScope progress(ui, "Predisposizione <etichetta>", ProgressScope::Cancellable{});
    ok = RegularityExport(db, progress, azienda, from, counts).Run(file);
  }
  ok = ok && file.Close();
  if (!ok) {
    counts = RegularityBaseCounts{};
    SayUnfinished(ui, kCancelledFileMessage, WriteFailedMessage(path));
  }
  return ok;
}

std::string RegularityBaseResultText(const RegularityBaseCounts& c) {
  return "Risultati della generazione della base dati per gestione regolarità:\n\n" +
         Format("%ld righe <fermate>\n", c.fermate) + Format("%ld righe <corse>\n", c.corse) +
         Format("%ld righe <orari>\n", c.orari) + Format("%ld righe <giorni>\n", c.giorni) +
         Format("%ld righe <progressive>\n", c.progressive);
}

bool ExportRegularityBaseCommand(db::Database& db, Ui& ui) {
  int azienda = 0;
  Date from;
  std::optional<std::vector<std::string>> entries = RegularityCompanyEntries(db);
  if (!entries) return false;  // the read's failure has been shown
  Form form = RegularityForm(ui, std::move(*entries), azienda, from);
  if (!ui.RunForm(form)) return false;
  const long stamp = static_cast<long>(from.day) * 1000000 + from.month * 10000 + from.year;
  const std::optional<std::string> path =
      ui.SaveFile(SaveSpec(kRegularityTitle, Format("REGRT_%d_%08ld", azienda, stamp)));
  if (!path) return false;
  RegularityBaseCounts counts;
  if (!ExportRegularityBase(db, ui, azienda, from, *path, counts)) return false;
  ui.Info(RegularityBaseResultText(counts));
  return true;
}

}  // namespace kvt::comms
