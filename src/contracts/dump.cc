#include "contracts/dump.h"

#include <algorithm>
#include <compare>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "comms/counting.h"
#include "core/text.h"
#include "db/database.h"
#include "db/dialect.h"
#include "db/rows.h"
#include "db/selection.h"
#include "db/sql_types.h"
#include "db/table.h"
#include "platform/files.h"
#include "platform/ui.h"
#include "schema/pick_lists.h"

namespace kvt::contracts {

namespace {

constexpr std::string_view kFilter = "File di testo (*.txt)|*.txt|Tutti i files (*.*)|*.*||";

FileDialogSpec DumpChooser(std::string_view title) {
  FileDialogSpec spec;
  spec.title = std::string(title);
  spec.filter = std::string(kFilter);
  spec.defaultExt = "txt";
  spec.defaultName = "DUMP";
  return spec;
}

int SqlTypeOf(FieldKind kind) {
  switch (kind) {
    case FieldKind::Short:
      return db::kSqlSmallInt;
    case FieldKind::Long:
      return db::kSqlInteger;
    case FieldKind::Double:
      return db::kSqlDouble;
    case FieldKind::Flag:
      return db::kSqlBit;
    case FieldKind::Date:
      return db::kSqlTypeDate;
    default:
      return db::kSqlChar;
  }
}

// A company's object: (azienda, ID) or, for communications, (azienda, protoc).
struct Key {
  int azienda = 0;
  int32_t id = 0;
  auto operator<=>(const Key&) const = default;
};

// "a,b,c" of at most `limit` values from `it` on; advances `it`.
template <typename It, typename Get>
std::string IdList(It& it, It end, size_t limit, Get get) {
  std::string list;
  for (size_t n = 0; it != end && n < limit; ++it, ++n)
    list += (list.empty() ? "" : ",") + std::to_string(get(*it));
  return list;
}

constexpr size_t kChunk = 500;  // IDs per IN list

}  // namespace

// ---------------------------------------------------------------------------------------
// Export

std::optional<std::vector<std::string>> AuthorityEntries(db::Database& db) {
  return schema::ReadPickList(
      db, {schema::PickTable::Authorities, "corse", "corse.ente = regent.codice"});
}

Form ExportForm(Ui& ui, std::vector<std::string> entries, std::vector<int>& codes) {
  Form form{"Export Dump Contratti di Servizio"};
  form.AddMultiList("enti", "Enti", entries);
  form.AddButton("seleziona", "Seleziona tutti gli Enti", [](Form& f) {
    FormField& list = f.Field("enti");
    list.chosen.clear();
    for (size_t i = 0; i < list.entries.size(); ++i) list.chosen.push_back(static_cast<int>(i));
  });
  form.AddButton("pulisci", "Pulisci selezione Enti", [](Form& f) { f.Field("enti").chosen.clear(); });
  form.SetAcceptHandler([&ui, &codes, entries](Form& f) {
    const FormField& list = f.Field("enti");
    if (list.chosen.empty()) {
      ui.Stop(kNoAuthorityMessage);
      return false;
    }
    std::vector<int> chosen;
    for (int i : list.chosen) {
      const std::optional<int> code =
          i >= 0 && i < static_cast<int>(list.entries.size()) ? PickCode(list.entries[i], entries)
                                                              : std::nullopt;
      if (!code) {
        ui.Stop(kBadAuthorityListMessage);
        return false;
      }
      chosen.push_back(*code);
    }
    codes = chosen;
    return true;
  });
  return form;
}

namespace {

class Exporter {
 public:
  Exporter(db::Database& db, ProgressScope& progress, DumpWriter& writer,
           const std::vector<int>& authorities, DumpCounts& counts)
      : db_(db), progress_(progress), writer_(writer), counts_(counts) {
    for (int code : authorities) enti_ += (enti_.empty() ? "" : ",") + std::to_string(code);
  }

  bool Run();

 private:
  using RowFn = std::function<void(db::Selection&)>;

  // Selects the section's columns of `table` (a name of FROM) and calls `row` on each row.
  bool Select(DumpSection section, std::string_view from, const std::string& where,
              std::string_view groupBy, std::string_view orderBy, const RowFn& row);
  // The row as the dump writes it.
  void Format(DumpSection section, db::Selection& s, std::string& out) const;
  // Rows of the objects in `keys`, by company and chunks of IDs, in key order.
  bool SelectKeys(DumpSection section, std::string_view idColumn, const std::set<Key>& keys,
                  const RowFn& row);
  bool SelectIds(DumpSection section, const std::set<int>& ids, const RowFn& row);
  // Keeps the formatted row for writing later.
  RowFn Keep(DumpSection section, const RowFn& also = nullptr) {
    return [this, section, also](db::Selection& s) {
      std::string line;
      Format(section, s, line);
      kept_[section].push_back(std::move(line));
      if (also) also(s);
    };
  }
  int Column(DumpSection section, std::string_view name) const {
    const auto& columns = DumpTables()[section].columns;
    for (size_t i = 0; i < columns.size(); ++i)
      if (columns[i].name == name) return static_cast<int>(i);
    return -1;
  }
  void Protocol(DumpSection section, db::Selection& s) {
    protos_.insert({s.GetShort(Column(section, "azienda")), s.GetLong(Column(section, "protoc"))});
  }

  bool Collect();
  bool Spool(DumpSection section, std::string_view caption, std::string_view from,
             const std::string& where, std::string_view orderBy, const RowFn& also);
  bool CopySpooled(DumpSection section);
  bool WriteKept(DumpSection section);
  bool Stream(DumpSection section, std::string_view caption, std::string_view from,
              const std::string& where, std::string_view orderBy);

  db::Database& db_;
  ProgressScope& progress_;
  DumpWriter& writer_;
  DumpCounts& counts_;
  std::string enti_;
  std::set<int> lots_, basins_, municipalities_, localities_;
  std::set<Key> protos_, stops_, arcs_, routes_;
  std::map<DumpSection, std::vector<std::string>> kept_;
  long trips_ = 0;
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  struct Spooled {
    std::unique_ptr<std::FILE, Closer> file;
    long rows = 0;
    bool failed = false;
  };
  std::map<DumpSection, Spooled> spooled_;
};

bool Exporter::Select(DumpSection section, std::string_view from, const std::string& where,
                      std::string_view groupBy, std::string_view orderBy, const RowFn& row) {
  const DumpTable& table = DumpTables()[section];
  db::Selection s(&db_);
  for (const DumpColumn& c : table.columns) s.AddColumn(table.name, c.name, SqlTypeOf(c.kind));
  s.SetFrom(from);
  s.SetWhere(where);
  if (!groupBy.empty()) s.SetGroupBy(groupBy);
  if (!orderBy.empty()) s.SetOrderBy(orderBy);
  const db::Walk walk = db::ForEachRow(s, [&] {
    if (progress_.Stopped()) return false;
    row(s);
    return true;
  });
  return walk == db::Walk::End;
}

void Exporter::Format(DumpSection section, db::Selection& s, std::string& out) const {
  const auto& columns = DumpTables()[section].columns;
  out.clear();
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i > 0) out += '\t';
    const int c = static_cast<int>(i);
    // A missing value travels as an empty field and comes back missing.
    if (s.IsNull(c)) continue;
    switch (columns[i].kind) {
      case FieldKind::Short:
        out += std::to_string(s.GetShort(c));
        break;
      case FieldKind::Long:
        out += std::to_string(s.GetLong(c));
        break;
      case FieldKind::Double:
        out += kvt::Format("%1.2lf", s.GetDouble(c));
        break;
      case FieldKind::Flag:
        out += s.GetShort(c) != 0 ? '1' : '0';
        break;
      case FieldKind::Date:
        out += s.GetText(c);
        break;
      case FieldKind::Text:
      case FieldKind::Char:
        AppendTextField(out, s.GetText(c), columns[i].size);
        break;
    }
  }
}

bool Exporter::SelectKeys(DumpSection section, std::string_view idColumn,
                          const std::set<Key>& keys, const RowFn& row) {
  auto it = keys.begin();
  while (it != keys.end()) {
    const int azienda = it->azienda;
    auto end = it;
    while (end != keys.end() && end->azienda == azienda) ++end;
    while (it != end) {
      const std::string ids = IdList(it, end, kChunk, [](const Key& k) { return k.id; });
      const std::string id = std::string(idColumn);
      if (!Select(section, DumpTables()[section].name,
                  kvt::Format("azienda = %d AND ", azienda) + id + " IN (" + ids + ")", "",
                  "azienda, " + id + (section == kDetitine ? ", sub" : ""), row))
        return false;
    }
  }
  return true;
}

bool Exporter::SelectIds(DumpSection section, const std::set<int>& ids, const RowFn& row) {
  auto it = ids.begin();
  while (it != ids.end()) {
    const std::string list = IdList(it, ids.end(), kChunk, [](int v) { return v; });
    if (!Select(section, DumpTables()[section].name, "ID IN (" + list + ")", "", "ID", row))
      return false;
  }
  return true;
}

// Everything the trips name, and what that names in turn: lots, routes with their rows and
// arcs, the stops of timetables, arcs and termini, their municipalities and localities
// (and the municipalities of those localities), basins, and every communication any of
// these rows belongs to. Placeholder rows (ID 0) stay out: every database has its own.
bool Exporter::Collect() {
  const std::string trips = "corse.ente IN (" + enti_ + ")";
  progress_.Caption("Estrazione Lotti di Gara");
  {
    db::Selection s(&db_);
    for (const char* c : {"azienda", "ID", "protoc", "codperc", "capol_p", "capol_a", "lotto"})
      s.AddColumn("corse", c, std::string_view(c) == "azienda" || std::string_view(c) == "lotto"
                                  ? db::kSqlSmallInt
                                  : db::kSqlInteger);
    s.SetFrom("corse");
    s.SetWhere(trips);
    const db::Walk walk = db::ForEachRow(s, [&] {
      const int azienda = s.GetShort(0);
      ++trips_;
      protos_.insert({azienda, s.GetLong(2)});
      routes_.insert({azienda, s.GetLong(3)});
      stops_.insert({azienda, s.GetLong(4)});
      stops_.insert({azienda, s.GetLong(5)});
      if (s.GetShort(6) != 0) lots_.insert(s.GetShort(6));
    });
    if (walk != db::Walk::End) return false;
  }
  // Timetables, months and days, read once: spooled to temporary files in their final
  // form while their stops and communications are collected, copied into the dump after.
  const int fermata = Column(kOrari, "fermata");
  if (!Spool(kOrari, "Estrazione Orari", "corse, orari",
             trips + " AND orari.azienda = corse.azienda AND orari.ID = corse.ID",
             "corse.azienda, corse.ID, orari.sub",
             [&](db::Selection& s) { stops_.insert({s.GetShort(0), s.GetLong(fermata)}); }) ||
      !Spool(kMesi, "Estrazione Mesi effettuazione Corse", "corse, mesi",
             trips + " AND mesi.azienda = corse.azienda AND mesi.ID = corse.ID",
             "corse.azienda, corse.ID, mesi.anno, mesi.mese", nullptr) ||
      !Spool(kGiorni, "Estrazione Giorni Effettuazione Corse", "corse, giorni",
             trips + " AND giorni.azienda = corse.azienda AND giorni.ID = corse.ID",
             "corse.azienda, corse.ID, giorni.data", nullptr))
    return false;
  progress_.Caption("Estrazione Testa Percorsi");
  if (!SelectKeys(kTesitine, "ID", routes_, Keep(kTesitine, [this](db::Selection& s) {
                    Protocol(kTesitine, s);
                  })))
    return false;
  progress_.Caption("Estrazione Dettagli Percorsi");
  const int arco = Column(kDetitine, "arco");
  if (!SelectKeys(kDetitine, "ID", routes_, Keep(kDetitine, [this, arco](db::Selection& s) {
                    Protocol(kDetitine, s);
                    arcs_.insert({s.GetShort(0), s.GetLong(arco)});
                  })))
    return false;
  // detitine comes by route, then sub: the order of its key.
  progress_.Caption("Estrazione Archi");
  const int inizio = Column(kArchi, "inizio"), fine = Column(kArchi, "fine");
  if (!SelectKeys(kArchi, "ID", arcs_, Keep(kArchi, [&](db::Selection& s) {
                    Protocol(kArchi, s);
                    stops_.insert({s.GetShort(0), s.GetLong(inizio)});
                    stops_.insert({s.GetShort(0), s.GetLong(fine)});
                  })))
    return false;
  progress_.Caption("Estrazione Fermate");
  const int comune = Column(kFermate, "comune"), local = Column(kFermate, "local");
  if (!SelectKeys(kFermate, "ID", stops_, Keep(kFermate, [&](db::Selection& s) {
                    Protocol(kFermate, s);
                    if (s.GetShort(comune) != 0) municipalities_.insert(s.GetShort(comune));
                    if (s.GetShort(local) != 0) localities_.insert(s.GetShort(local));
                  })))
    return false;
  // The municipalities of the localities.
  for (auto it = localities_.begin(); it != localities_.end();) {
    const std::string list = IdList(it, localities_.end(), kChunk, [](int v) { return v; });
    db::Selection s(&db_);
    s.AddColumn("comuni", "ID", db::kSqlSmallInt);
    s.SetFrom("local, comuni");
    s.SetWhere("local.ID IN (" + list + ") AND local.istat = comuni.istat");
    s.SetOrderBy("comuni.ID");
    if (db::ForEachRow(s, [&] {
          if (s.GetShort(0) != 0) municipalities_.insert(s.GetShort(0));
        }) != db::Walk::End)
      return false;
  }
  progress_.Caption("Estrazione Comuni");
  const int bacino = Column(kComuni, "bacino");
  if (!SelectIds(kComuni, municipalities_, Keep(kComuni, [&](db::Selection& s) {
                   if (s.GetShort(bacino) != 0) basins_.insert(s.GetShort(bacino));
                 })))
    return false;
  progress_.Caption("Estrazione Località");
  if (!SelectIds(kLocal, localities_, Keep(kLocal))) return false;
  progress_.Caption("Estrazione Bacini");
  if (!SelectIds(kBacini, basins_, Keep(kBacini))) return false;
  progress_.Caption("Estrazione Lotti di Gara");
  if (!SelectIds(kLotti, lots_, Keep(kLotti))) return false;
  progress_.Caption("Estrazione Protocollo Comunicazioni");
  return SelectKeys(kProto, "protoc", protos_, Keep(kProto));
}

bool Exporter::Spool(DumpSection section, std::string_view caption, std::string_view from,
                     const std::string& where, std::string_view orderBy, const RowFn& also) {
  progress_.Caption(caption);
  Spooled& spool = spooled_[section];
  spool.file.reset(std::tmpfile());
  if (!spool.file) return false;
  std::string line;
  int lastCompany = -1;
  int32_t lastTrip = 0;
  long trips = 0;
  const bool ok = Select(section, from, where, "", orderBy, [&](db::Selection& s) {
    Format(section, s, line);
    line += '\n';
    if (std::fwrite(line.data(), 1, line.size(), spool.file.get()) != line.size()) spool.failed = true;
    ++spool.rows;
    Protocol(section, s);
    if (also) also(s);
    // Rows come trip by trip: the bar follows the trips.
    if (s.GetShort(0) != lastCompany || s.GetLong(1) != lastTrip) {
      lastCompany = s.GetShort(0);
      lastTrip = s.GetLong(1);
      progress_.Set(++trips, trips_);
    }
  });
  return ok && !spool.failed && std::fflush(spool.file.get()) == 0;
}

bool Exporter::CopySpooled(DumpSection section) {
  Spooled& spool = spooled_[section];
  writer_.Begin(section, spool.rows);
  std::rewind(spool.file.get());
  char* buffer = nullptr;
  size_t capacity = 0;
  long rows = 0;
  ssize_t length;
  while ((length = getline(&buffer, &capacity, spool.file.get())) > 0) {
    if ((rows & 0x3ff) == 0 && progress_.Stopped()) break;  // short: the export fails
    writer_.Row(std::string_view(buffer, static_cast<size_t>(length) - 1));
    ++rows;
  }
  std::free(buffer);
  writer_.End();
  spool.file.reset();
  counts_[section] = rows;
  return rows == spool.rows;
}

bool Exporter::WriteKept(DumpSection section) {
  const std::vector<std::string>& rows = kept_[section];
  writer_.Begin(section, static_cast<int64_t>(rows.size()));
  for (const std::string& row : rows) writer_.Row(row);
  writer_.End();
  counts_[section] = static_cast<long>(rows.size());
  return true;
}

bool Exporter::Stream(DumpSection section, std::string_view caption, std::string_view from,
                      const std::string& where, std::string_view orderBy) {
  progress_.Caption(caption);
  writer_.Begin(section, trips_);
  std::string line;
  long done = 0;
  const bool ok = Select(section, from, where, "", orderBy, [&](db::Selection& s) {
    Format(section, s, line);
    writer_.Row(line);
    progress_.Set(++done, trips_);
  });
  writer_.End();
  counts_[section] = done;
  return ok;
}

bool Exporter::Run() {
  if (!Collect()) return false;
  for (DumpSection s : {kLotti, kBacini, kComuni, kLocal, kProto, kFermate, kArchi, kTesitine,
                        kDetitine})
    WriteKept(s);
  const std::string trips = "corse.ente IN (" + enti_ + ")";
  if (!Stream(kCorse, "Estrazione Corse", "corse", trips, "corse.azienda, corse.ID")) return false;
  progress_.Caption("Scrittura Orari, Mesi e Giorni");
  return CopySpooled(kOrari) && CopySpooled(kMesi) && CopySpooled(kGiorni);
}

}  // namespace

bool ExportDump(db::Database& db, Ui& ui, const std::vector<int>& authorities,
                const std::string& path, DumpCounts& counts) {
  counts.fill(0);
  DumpWriter writer;
  if (!writer.Open(path)) {
    ui.Stop(CannotCreateMessage(path));
    return false;
  }
  bool ok = false;
  {
    WaitScope wait(ui);
    ProgressScope progress(ui, "Estrazione Lotti di Gara", ProgressScope::Cancellable{});
    ok = Exporter(db, progress, writer, authorities, counts).Run();
  }
  // A failed export leaves no file: the writer discards what it wrote unless closed whole.
  ok = ok && writer.Close();
  if (!ok) {
    counts.fill(0);
    SayUnfinished(ui, kCancelledFileMessage,
                  "ATTENZIONE: la scrittura del DUMP si è interrotta per un errore.\n\n" + path +
                      "\n\nIl file non è stato creato.");
  }
  return ok;
}

std::string ExportResultText(const DumpCounts& c) {
  static constexpr const char* kNames[kDumpSections] = {
      "Lotti", "Bacini", "Comuni", "Località", "Protocollo", "Fermate", "Archi",
      "Testa Itinerari", "Dettagli Itinerari", "Corse", "Orari", "Mesi", "Giorni"};
  std::string text = "Risultati dell'esportazione del DUMP:\n\n";
  for (int i = 0; i < kDumpSections; ++i) text += Format("Tavola %s: %ld righe\n", kNames[i], c[i]);
  return text;
}

bool ExportDumpCommand(db::Database& db, Ui& ui) {
  std::vector<int> codes;
  std::optional<std::vector<std::string>> entries = AuthorityEntries(db);
  if (!entries) return false;  // the read's failure has been shown
  Form form = ExportForm(ui, std::move(*entries), codes);
  if (!ui.RunForm(form)) return false;
  FileDialogSpec spec = DumpChooser("Esportazione Dump Contratti di Servizio");
  spec.overwritePrompt = true;
  const std::optional<std::string> path = ui.SaveFile(spec);
  if (!path) return false;
  DumpCounts counts;
  if (!ExportDump(db, ui, codes, *path, counts)) return false;
  ui.Info(ExportResultText(counts));
  return true;
}

// ---------------------------------------------------------------------------------------
// Import

bool IsEmptyOfService(db::Database& db, bool keepReference) {
  struct Check {
    const char* table;
    const char* where;
    bool reference;
  };
  constexpr Check kChecks[] = {
      {"lotti", "ID <> 0", false},  {"bacini", "ID <> 0", true},  {"comuni", "ID <> 0", true},
      {"local", "ID <> 0", true},   {"fermate", "", false},       {"archi", "", false},
      {"tesitine", "", false},      {"detitine", "", false},      {"corse", "", false},
      {"orari", "", false},         {"giorni", "", false}};
  for (const Check& c : kChecks) {
    if (c.reference && keepReference) continue;
    const std::string column = std::string(c.table) == "lotti" || c.reference ? "ID" : "azienda";
    const std::optional<long> n = comms::CountRows(db, c.table, column, c.table, c.where);
    if (!n || *n > 0) return false;
  }
  return true;
}

namespace {

bool Reference(DumpSection s) {
  return s == kBacini || s == kComuni || s == kLocal;
}

class ProgressVisitor : public DumpVisitor {
 public:
  explicit ProgressVisitor(ProgressScope& progress) : progress_(progress) {}
  bool Progress(int64_t offset, int64_t total) override {
    progress_.Set(offset, total);
    return !progress_.Stopped();
  }

 private:
  ProgressScope& progress_;
};

// Looks up the key of every row (but basins, municipalities and localities) in the
// database, many rows a query. Keys are read from fields the walk has checked as numbers
// and dates, and written back as numbers and the engine's date literals.
class DuplicateFinder : public ProgressVisitor {
 public:
  DuplicateFinder(db::Database& db, ProgressScope& progress) : ProgressVisitor(progress), db_(db) {}

  bool Begin(DumpSection section, int64_t) override {
    const auto& columns = DumpTables()[section].columns;
    keys_.clear();
    for (std::string_view name : KeyColumns(section)) {
      for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i].name == name) keys_.push_back(static_cast<int>(i));
    }
    return true;
  }
  bool Row(DumpSection section, const std::vector<std::string_view>& fields) override {
    if (Reference(section)) return true;
    const DumpTable& table = DumpTables()[section];
    std::string condition;
    for (int k : keys_) {
      const DumpColumn& column = table.columns[k];
      condition += condition.empty() ? "" : " AND ";
      condition += std::string(column.name) + " = ";
      if (column.kind == FieldKind::Date) {
        const std::string_view f = fields[k];
        Date d = f == kNoLowerBound   ? kLowerBoundDate
                 : f == kNoUpperBound ? kUpperBoundDate
                                      : ParseDateByPosition(f).value_or(kLowerBoundDate);
        condition += db_.dialect().DateLiteral(d.day, d.month, d.year);
      } else {
        condition += std::to_string(LeadingInt(fields[k]));
      }
    }
    pending_ += (pending_.empty() ? "(" : " OR (") + condition + ")";
    if (++rows_ < kBatch) return true;
    return Flush(section);
  }
  bool End(DumpSection section) override { return Flush(section); }

  bool duplicate = false;
  bool failed = false;

 private:
  static constexpr int kBatch = 200;

  static std::vector<std::string_view> KeyColumns(DumpSection s) {
    switch (s) {
      case kLotti:
        return {"ID"};
      case kProto:
        return {"azienda", "protoc"};
      case kDetitine:
      case kOrari:
        return {"azienda", "ID", "sub"};
      case kGiorni:
        return {"azienda", "ID", "data"};
      case kMesi:
        return {"azienda", "ID", "anno", "mese", "protoc"};
      default:
        return {"azienda", "ID"};
    }
  }

  bool Flush(DumpSection section) {
    if (pending_.empty()) return true;
    const DumpTable& table = DumpTables()[section];
    db::Selection s(&db_);
    s.AddColumn(table.name, table.columns[keys_[0]].name, SqlTypeOf(table.columns[keys_[0]].kind));
    s.SetFrom(table.name);
    s.SetWhere(pending_);
    pending_.clear();
    rows_ = 0;
    const db::Fetch f = s.Open();
    duplicate = f == db::Fetch::Row;
    failed = f == db::Fetch::Error;
    return !duplicate && !failed;
  }

  db::Database& db_;
  std::vector<int> keys_;
  std::string pending_;
  int rows_ = 0;
};

// Writes every row of the loaded sections through bulk Tables.
class Loader : public ProgressVisitor {
 public:
  Loader(db::Database& db, ProgressScope& progress, bool keepReference, ImportCounts& counts)
      : ProgressVisitor(progress), db_(db), keepReference_(keepReference), counts_(counts) {}

  bool Begin(DumpSection section, int64_t) override {
    table_.reset();
    if (keepReference_ && Reference(section)) return true;
    const DumpTable& dump = DumpTables()[section];
    table_ = std::make_unique<db::Table>(&db_, dump.name, /*bulk=*/true);
    if (!table_->IsOpen()) return false;
    columns_.clear();
    for (const DumpColumn& c : dump.columns) {
      columns_.push_back(table_->ColumnIndex(c.name));
      if (columns_.back() < 0) return false;
    }
    counts_.loaded[section] = true;
    return true;
  }
  bool Row(DumpSection section, const std::vector<std::string_view>& fields) override {
    if (!table_) return true;
    ++counts_.read[section];
    // A bulk table only fails this when unusable, and then its Update fails too.
    (void)table_->AddNew();
    // A value the column cannot take refuses the row (never a row stored without it): its
    // slot stays open and the next row's AddNew clears it.
    if (!SetFields(section, fields)) return db_.IsConnected();
    // A refused row loses only itself; a failed database ends the import (rolled back).
    const bool sent = table_->Update();
    counts_.written[section] += table_->RowsWritten();
    return sent || table_->LastError().RowRefused();
  }
  bool End(DumpSection section) override {
    if (!table_) return true;
    const bool sent = table_->Flush();
    counts_.written[section] += table_->RowsWritten();
    const bool refused = table_->LastError().RowRefused();
    table_.reset();
    return sent || refused;
  }

 private:
  // False at the first value the table refuses (reported by the Table).
  bool SetFields(DumpSection section, const std::vector<std::string_view>& fields) {
    const auto& columns = DumpTables()[section].columns;
    for (size_t i = 0; i < fields.size(); ++i) {
      const bool text = columns[i].kind == FieldKind::Text || columns[i].kind == FieldKind::Char;
      if (text) scratch_ = Cp1252ToUtf8(fields[i]);
      if (!table_->SetFieldText(columns_[i], text ? std::string_view(scratch_) : fields[i]))
        return false;
    }
    return true;
  }

  db::Database& db_;
  bool keepReference_;
  ImportCounts& counts_;
  std::unique_ptr<db::Table> table_;
  std::vector<int> columns_;
  std::string scratch_;
};

}  // namespace

bool ImportDump(db::Database& db, Ui& ui, const std::string& path, bool keepReference,
                bool secondary, ImportCounts& counts) {
  counts = ImportCounts{};
  WaitScope wait(ui);
  DumpWalk walk;
  {
    ProgressScope progress(ui, "Controllo del DUMP Contratti", ProgressScope::Cancellable{});
    ProgressVisitor check(progress);
    walk = WalkDump(path, check);
  }
  if (walk == DumpWalk::Stopped) {
    ui.Info(kCancelledMessage);
    return false;
  }
  if (walk == DumpWalk::Unreadable) {
    ui.Stop("Impossibile aprire\n\n" + path);
    return false;
  }
  if (walk != DumpWalk::Ok) {
    ui.Stop(kCorruptMessage);
    return false;
  }
  if (secondary) {
    ProgressScope progress(ui, "Verifica del DUMP Contratti", ProgressScope::Cancellable{});
    DuplicateFinder finder(db, progress);
    walk = WalkDump(path, finder);
    if (progress.Stopped()) {
      ui.Info(kCancelledMessage);
      return false;
    }
    if (finder.duplicate) {
      ui.Stop(kDuplicateMessage);
      return false;
    }
    if (walk != DumpWalk::Ok) {
      ui.Stop(kImportAbortedMessage);
      return false;
    }
  }
  bool done = false;
  {
    ProgressScope progress(ui, "Importazione del DUMP Contratti", ProgressScope::Cancellable{});
    db::Transaction transaction(db);
    Loader loader(db, progress, keepReference || secondary, counts);
    done = db.InTransaction() && WalkDump(path, loader) == DumpWalk::Ok && transaction.Commit();
  }
  if (!done) {
    counts = ImportCounts{};
    SayUnfinished(ui, kCancelledMessage, kImportAbortedMessage);
  }
  return done;
}

std::string ImportResultText(const ImportCounts& c) {
  std::string text = "Risultati dell'importazione del DUMP:\n\n";
  for (int i = 0; i < kDumpSections; ++i) {
    if (!c.loaded[i]) continue;
    const std::string_view name = DumpTables()[i].name;
    text += Format("Tavola %.*s: Righe lette %ld / scritte %ld\n", static_cast<int>(name.size()),
                   name.data(), c.read[i], c.written[i]);
  }
  return text;
}

bool ImportDumpCommand(db::Database& db, Ui& ui) {
  Form form{"Import Dump Contratti di Servizio"};
  form.AddCheck("mantieni", "Non modifico le tavole Località, Comuni e Bacini");
  form.AddLabel("nota",
                "Spuntare la casella quando il database corrente contiene già località, comuni "
                "e bacini; lasciarla vuota su un database vuoto.");
  if (!ui.RunForm(form)) return false;
  const bool keep = form.Checked("mantieni");
  if (!IsEmptyOfService(db, keep)) {
    ui.Stop(kNotEmptyMessage);
    return false;
  }
  FileDialogSpec spec = DumpChooser("Importazione Dump Contratti di Servizio");
  spec.overwritePrompt = false;
  const std::optional<std::string> path = ui.OpenFile(spec);
  if (!path) return false;
  ImportCounts counts;
  if (!ImportDump(db, ui, *path, keep, false, counts)) return false;
  ui.Info(ImportResultText(counts));
  return true;
}

bool SecondaryImportDumpCommand(db::Database& db, Ui& ui) {
  FileDialogSpec spec = DumpChooser("Importazione Dump Contratti di Servizio");
  spec.overwritePrompt = false;
  const std::optional<std::string> path = ui.OpenFile(spec);
  if (!path) return false;
  ImportCounts counts;
  if (!ImportDump(db, ui, *path, true, true, counts)) return false;
  ui.Info(ImportResultText(counts));
  return true;
}

}  // namespace kvt::contracts
