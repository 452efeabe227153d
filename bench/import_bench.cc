// Import benchmark: a generated communication of N timetable rows (default 1,000,000: 20,000
// trips of 50 passages running on most days of 2010, several million running days).
//
//  1. First pass alone: time, rows per second and peak memory (VmHWM), for the file and for
//     a file with the same trips and half the timetable rows: memory must not follow them.
//  2. The whole import through the command, on an SQLite file (file method) and on
//     PostgreSQL (ODBC method): time of every step and rows per second of every table.
//  3. In the same run, the engine's own bulk path for the same rows into the same schema
//     (SQLite C API, PostgreSQL COPY), table by table, and the ratios.
//
//   import_bench [--trips N] [--orari-per-trip K] [--rowset R] [--dsn DSN] [--pg CONNINFO]
//                [--dir DIR] [--only sqlite|pg|first]
//
// DSN defaults to $KVT_TEST_PG_DSN, CONNINFO to the server of scripts/start-postgres; without
// a DSN PostgreSQL is left out. scripts/bench import_bench runs it with a private server.
#include <libpq-fe.h>
#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench_util.h"
#include "comms/calendar.h"
#include "comms/import.h"
#include "core/text.h"
#include "db/database.h"
#include "kvtgen/generator.h"
#include "platform/scripted_ui.h"
#include "schema/init.h"

namespace {

using kvt::Date;
using kvt::bench::Seconds;
using namespace kvt::comms;

struct Options {
  int32_t trips = 20000;
  int32_t orariPerTrip = 50;
  unsigned rowset = 25;
  std::string dsn;
  std::string pgConnInfo;
  std::string dir;
  std::string only;
};

// The steps of the import as its progress captions name them, with when each began.
class TimingUi : public kvt::ScriptedUi {
 public:
  struct Step {
    std::string caption;
    double at = 0;
  };
  std::vector<Step> steps;

  void ProgressBegin(std::string_view caption) override { Mark(caption); }
  void ProgressCaption(std::string_view caption) override { Mark(caption); }
  void ProgressEnd() override { Mark("(end)"); }
  // Seconds from `caption` to the step after it.
  double Duration(std::string_view caption) const {
    for (size_t i = 0; i + 1 < steps.size(); ++i)
      if (steps[i].caption == caption) return steps[i + 1].at - steps[i].at;
    return 0;
  }

 private:
  void Mark(std::string_view caption) { steps.push_back({std::string(caption), Now()}); }
  static double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
};

// ---------------------------------------------------------------------------------------
// The rows of each table, read from the file with the same parsers and conversions as the
// import, for the engines' own bulk paths.

class Sink {
 public:
  virtual ~Sink() = default;
  virtual void Int(int64_t v) = 0;
  virtual void Double(double v) = 0;
  virtual void Text(std::string_view utf8) = 0;
  virtual void Null() = 0;
  virtual void Day(const Date& d) = 0;  // a date column
  // A text as a Table stores it: "" is NULL, trailing blanks dropped, 1252 made UTF-8.
  void FileText(std::string_view bytes) {
    if (bytes.empty()) return Null();
    Text(kvt::Cp1252ToUtf8(kvt::TrimRight(bytes)));
  }
  void Coordinate(double c) {
    if (c == 0) return Null();
    Double(kvt::ParseDecimal(kvt::Format("%1.2lf", c)));
  }
};

struct Protocol {
  int32_t azienda = 0, protoc = 0;
};

void Emit(Sink& s, const Protocol& p, const FermataRow& r) {
  s.Int(r.ID), s.Int(p.azienda), s.Int(p.protoc), s.FileText(r.fermata), s.FileText(r.denom);
  s.FileText(r.ubicaz), s.Int(r.local), s.Int(0), s.Coordinate(r.coord_x);
  s.Coordinate(r.coord_y), s.Int(r.coord_x != 0 && r.coord_y != 0);
}
void Emit(Sink& s, const Protocol& p, const ArcoRow& r) {
  s.Int(p.azienda), s.Int(r.ID), s.Int(p.protoc), s.Int(r.inizio), s.Int(r.fine), s.Int(r.lung);
}
void Emit(Sink& s, const Protocol& p, const TestaItinerRow& r) {
  s.Int(p.azienda), s.Int(r.ID), s.Int(p.protoc), s.FileText(r.codperc), s.FileText(r.denom);
}
void Emit(Sink& s, const Protocol& p, const RigaItinerRow& r) {
  s.Int(p.azienda), s.Int(r.ID), s.Int(r.sub), s.Int(p.protoc), s.Int(r.arco), s.Int(r.dist);
}
void Emit(Sink& s, const Protocol& p, const CorsaRow& r) {
  s.Int(p.azienda), s.Int(r.ID), s.Int(p.protoc), s.FileText(r.codcorsa);
  s.FileText(r.codlinea), s.FileText(std::string_view(&r.verso, 1)), s.Int(r.ente);
  s.Int(r.codperc), s.Int(r.capol_p), s.Int(r.hh_p), s.Int(r.mm_p), s.Int(r.capol_a);
  s.Int(r.hh_a), s.Int(r.mm_a), s.Int(r.lung), s.Int(r.tempo), s.Int(r.ct_lung);
  s.Int(r.ct_tempo);
  r.prevcor ? s.Int(r.prevcor) : s.Null();
  r.nextcor ? s.Int(r.nextcor) : s.Null();
  s.FileText(std::string_view(&r.mezzo, 1)), s.Int(0);
}
void Emit(Sink& s, const Protocol& p, const OrarioRow& r) {
  s.Int(p.azienda), s.Int(r.ID), s.Int(r.sub), s.Int(p.protoc), s.Int(r.fermata), s.Int(r.hh);
  s.Int(r.mm), s.Int(r.sosta), s.Int(r.primaria), s.Int(r.facolt), s.Int(r.nonferma);
}
void Emit(Sink& s, const Protocol& p, const GiorniRow& r) {
  s.Int(p.azienda), s.Int(r.ID), s.Int(p.protoc), s.Int(r.anno), s.Int(r.mese);
  s.Text(DayString(r.days));
}

// One table's rows, pulled one at a time.
class RowSource {
 public:
  virtual ~RowSource() = default;
  long rows = 0;
  virtual void Next(Sink& sink) = 0;
};

// The rows of one section, read from its header on.
template <typename Row>
class SectionSource : public RowSource {
 public:
  SectionSource(const std::string& path, Section s, const Protocol& p) : protocol_(p) {
    reader_.Open(path);
    std::string_view record;
    while (reader_.Next(record))
      if (auto n = TaggedNumber(record, OpenTag(s))) {
        rows = static_cast<long>(*n);
        break;
      }
  }
  void Next(Sink& sink) override {
    std::string_view record;
    Row row;
    if (reader_.Next(record) && ParseRow(record, row)) Emit(sink, protocol_, row);
  }

 protected:
  LineReader reader_;
  Protocol protocol_;
};

// The running days of <giorni>: one row per existing day marked.
class DaySource : public SectionSource<GiorniRow> {
 public:
  DaySource(const std::string& path, const Protocol& p) : SectionSource(path, Section::Giorni, p) {
    const long months = rows;
    const LineReader::Position start = reader_.Tell();
    long days = 0;
    for (long m = 0; m < months && NextMonth(); ++m) days += marked_;
    rows = days;
    reader_.Seek(start);
    day_ = kDayStringLength + 1;
  }
  void Next(Sink& sink) override {
    for (;;) {
      while (day_ <= kDayStringLength) {
        const Date date{day_, month_.mese, month_.anno};
        if (!(month_.days & (uint32_t{1} << day_++)) || !kvt::IsValidDate(date)) continue;
        sink.Int(protocol_.azienda), sink.Int(month_.ID), sink.Int(protocol_.protoc);
        const char weekday = WeekdayCode(date);
        sink.Day(date), sink.Text(std::string_view(&weekday, 1));
        return;
      }
      if (!NextMonth()) return;
    }
  }

 private:
  bool NextMonth() {
    std::string_view record;
    if (!reader_.Next(record) || !ParseRow(record, month_)) return false;
    day_ = 1;
    marked_ = 0;
    for (int d = 1; d <= kDayStringLength; ++d)
      if ((month_.days & (uint32_t{1} << d)) && kvt::IsValidDate(Date{d, month_.mese, month_.anno}))
        ++marked_;
    return true;
  }
  long marked_ = 0;
  int day_ = 1;
  GiorniRow month_;
};

struct TableLoad {
  std::string table;
  std::string columns;  // "a, b, c"
  int columnCount = 0;
  std::unique_ptr<RowSource> source;
};

std::vector<TableLoad> Loads(const std::string& path, const Protocol& p) {
  std::vector<TableLoad> loads;
  const auto add = [&](std::string table, std::string columns, RowSource* source) {
    const int n = static_cast<int>(std::count(columns.begin(), columns.end(), ',')) + 1;
    loads.push_back({std::move(table), std::move(columns), n, std::unique_ptr<RowSource>(source)});
  };
  add("fermate",
      "ID, azienda, protoc, fermata, denom, ubicaz, local, comune, coord_x, coord_y, okcoord",
      new SectionSource<FermataRow>(path, Section::Fermate, p));
  add("archi", "azienda, ID, protoc, inizio, fine, lung",
      new SectionSource<ArcoRow>(path, Section::Archi, p));
  add("tesitine", "azienda, ID, protoc, codperc, denom",
      new SectionSource<TestaItinerRow>(path, Section::TesteItiner, p));
  add("detitine", "azienda, ID, sub, protoc, arco, dist",
      new SectionSource<RigaItinerRow>(path, Section::RigheItiner, p));
  add("corse",
      "azienda, ID, protoc, codcorsa, codlinea, verso, ente, codperc, capol_p, hh_p, mm_p, "
      "capol_a, hh_a, mm_a, lung, tempo, ct_lung, ct_tempo, prevcor, nextcor, mezzo, lotto",
      new SectionSource<CorsaRow>(path, Section::Corse, p));
  add("orari", "azienda, ID, sub, protoc, fermata, hh, mm, sosta, primaria, facolt, nonferma",
      new SectionSource<OrarioRow>(path, Section::Orari, p));
  add("mesi", "azienda, ID, protoc, anno, mese, giorni",
      new SectionSource<GiorniRow>(path, Section::Giorni, p));
  add("giorni", "azienda, ID, protoc, data, giorno", new DaySource(path, p));
  return loads;
}

// The protocol row as the import writes it, through the engine's own SQL.
std::string ProtocolInsert(const GeneratorOptions& o) {
  const auto day = [](const Date& d) {
    return kvt::Format("'%04d-%02d-%02d'", d.year, d.month, d.day);
  };
  return kvt::Format(
      "INSERT INTO proto (azienda, protoc, p_data, datini, datfin, resple, primacom, tipo, azzera) "
      "VALUES (%d, %d, %s, %s, %s, 'Ufficio Esercizio', %d, '%c', %d)",
      o.azienda, o.protoc, day(o.p_data.value_or(o.datini)).c_str(), day(o.datini).c_str(),
      day(o.datfin).c_str(), o.primacom ? 1 : 0, o.tipo, o.azzera ? 1 : 0);
}

// "AAAA-MM-GG" without printf: the baselines must not pay for formatting the import avoids.
struct IsoDate {
  explicit IsoDate(const Date& d) {
    const int parts[3] = {d.year, d.month, d.day};
    char* p = buffer;
    for (int i = 0; i < 3; ++i) {
      const int width = i == 0 ? 4 : 2;
      for (int w = width - 1, v = parts[i]; w >= 0; --w, v /= 10)
        p[w] = static_cast<char>('0' + v % 10);
      p += width;
      if (i < 2) *p++ = '-';
    }
    text = std::string_view(buffer, 10);
  }
  char buffer[10];
  std::string_view text;
};

// ---------------------------------------------------------------------------------------
// SQLite

class SqliteSink : public Sink {
 public:
  sqlite3_stmt* stmt = nullptr;
  int column = 0;
  void Int(int64_t v) override { sqlite3_bind_int64(stmt, ++column, v); }
  void Double(double v) override { sqlite3_bind_double(stmt, ++column, v); }
  void Text(std::string_view t) override {
    sqlite3_bind_text(stmt, ++column, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
  }
  void Null() override { sqlite3_bind_null(stmt, ++column); }
  void Day(const Date& d) override { Text(IsoDate(d).text); }  // as the ODBC driver stores it
};

// ---------------------------------------------------------------------------------------
// PostgreSQL COPY (text format)

class CopySink : public Sink {
 public:
  std::string* out = nullptr;
  bool first = true;
  void Int(int64_t v) override {
    Sep();
    char digits[24];
    *out += std::string_view(digits, std::to_chars(digits, digits + sizeof digits, v).ptr);
  }
  void Double(double v) override { Sep(), *out += kvt::Format("%.17g", v); }
  void Text(std::string_view t) override {
    Sep();
    for (char c : t) {
      if (c == '\\' || c == '\t' || c == '\n' || c == '\r') *out += '\\';
      *out += c;
    }
  }
  void Null() override { Sep(), *out += "\\N"; }
  void Day(const Date& d) override { Sep(), *out += IsoDate(d).text; }

 private:
  void Sep() {
    if (!first) *out += '\t';
    first = false;
  }
};

// ---------------------------------------------------------------------------------------

struct Figures {
  std::map<std::string, double> seconds;  // per table
  std::map<std::string, long> rows;
  double total = 0;
};

Figures NativeSqlite(const std::string& file, const std::string& path, const GeneratorOptions& g) {
  Figures f;
  sqlite3* db = nullptr;
  sqlite3_open(file.c_str(), &db);
  std::unique_ptr<sqlite3, decltype(&sqlite3_close)> guard(db, sqlite3_close);
  sqlite3_exec(db, "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr);
  const Protocol p{g.azienda, g.protoc};
  f.total = Seconds([&] {
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_exec(db, ProtocolInsert(g).c_str(), nullptr, nullptr, nullptr);
    for (TableLoad& load : Loads(path, p)) {
      std::string markers;
      for (int c = 0; c < load.columnCount; ++c) markers += c ? ",?" : "?";
      SqliteSink sink;
      const std::string sql =
          "INSERT INTO " + load.table + " (" + load.columns + ") VALUES (" + markers + ")";
      f.rows[load.table] = load.source->rows;
      f.seconds[load.table] = Seconds([&] {
        if (!kvt::bench::SqliteInsertRows(db, sql, load.source->rows,
                                          [&](long, sqlite3_stmt* stmt) {
                                            sink.stmt = stmt;
                                            sink.column = 0;
                                            load.source->Next(sink);
                                          }))
          std::printf("  native %s FAILED: %s\n", load.table.c_str(), sqlite3_errmsg(db));
      });
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  });
  return f;
}

Figures NativeCopy(PGconn* pg, const std::string& path, const GeneratorOptions& g) {
  Figures f;
  const Protocol p{g.azienda, g.protoc};
  f.total = Seconds([&] {
    PQclear(PQexec(pg, "BEGIN"));
    PQclear(PQexec(pg, ProtocolInsert(g).c_str()));
    for (TableLoad& load : Loads(path, p)) {
      CopySink sink;
      f.rows[load.table] = load.source->rows;
      f.seconds[load.table] = Seconds([&] {
        if (!kvt::bench::CopyRows(pg, "COPY " + load.table + " (" + load.columns + ") FROM STDIN",
                                  load.source->rows, [&](long, std::string& out) {
                                    sink.out = &out;
                                    sink.first = true;
                                    load.source->Next(sink);
                                    out += '\n';
                                  }))
          std::printf("  COPY %s FAILED: %s", load.table.c_str(), PQerrorMessage(pg));
      });
    }
    PQclear(PQexec(pg, "COMMIT"));
  });
  return f;
}

// ---------------------------------------------------------------------------------------

const std::vector<std::pair<std::string, std::string>> kSteps = {
    {"fermate", "Inserimento Fermate"},
    {"archi", "Inserimento Archi"},
    {"tesitine", "Inserimento Teste Percorsi"},
    {"detitine", "Inserimento Dettagli Percorsi"},
    {"corse", "Inserimento Corse"},
    {"orari", "Inserimento Orari"},
    {"mesi", "Inserimento Periodi Effettuazione"},
    {"giorni", "Inserimento Giorni Effettuazione"}};

// Imports `path` through the command and compares every table with `native`.
void ImportAndCompare(kvt::db::Database& db, const std::string& path, const Figures& native) {
  TimingUi ui;
  ui.QueueFile(path);
  double firstPass = 0, total = 0;
  total = Seconds([&] { kvt::comms::ImportCommunication(db, ui, std::nullopt); });
  for (size_t i = 0; i < ui.steps.size(); ++i)
    if (ui.steps[i].caption == "Inserimento Protocollo Comunicazione")
      firstPass = ui.steps[i].at - ui.steps[0].at;
  const double secondPass = total - firstPass;
  for (const std::string& t : ui.Texts())
    if (t.starts_with("Risultati") || t.starts_with("Errore") || t.starts_with("ATTENZIONE: l'"))
      std::printf("%s\n", t.c_str());
  std::printf("  %-46s %15s %10s  %7s   %s\n", "step", "rows", "rows/s", "time",
              "native rows/s, ratio");
  double nativeSum = 0;
  for (const auto& [table, caption] : kSteps) {
    const long rows = native.rows.at(table);
    const double s = ui.Duration(caption), n = native.seconds.at(table);
    nativeSum += n;
    std::printf("  %-46s %9ld rows %10.0f rows/s  %7.2f s   %9.0f, x%.2f\n", caption.c_str(), rows,
                s > 0 ? rows / s : 0.0, s, n > 0 ? rows / n : 0.0, n > 0 ? s / n : 0.0);
  }
  std::printf("  %-46s %7.2f s\n", "Pulizia Giorni Effettuazione Obsoleti",
              ui.Duration("Pulizia Giorni Effettuazione Obsoleti"));
  std::printf("  first pass %.2f s, second pass %.2f s, whole import %.2f s\n", firstPass,
              secondPass, total);
  std::printf(
      "  native bulk load of the same rows %.2f s (tables %.2f s): second pass x%.2f "
      "(goal <= 3)\n",
      native.total, nativeSum, secondPass / native.total);
}

long RowsOf(const GeneratorReport& r) {
  long rows = 1;
  for (int64_t n : r.counts.rows) rows += static_cast<long>(n);
  return rows + static_cast<long>(r.counts[Section::Corse]);  // trips are read twice
}

void FirstPass(const std::string& dbFile, const std::string& path, const GeneratorReport& r,
               const char* what) {
  kvt::ScriptedUi ui;
  auto db = kvt::db::Database::OpenFile(ui, dbFile);
  std::vector<std::string> errors;
  kvt::bench::ResetPeakMemory();
  const double before = kvt::bench::PeakMemoryMiB();
  std::unique_ptr<LineReader> reader;
  const double s = Seconds([&] { reader = Validate(*db, ui, path, errors); });
  const long rows = RowsOf(r);
  std::printf(
      "  first pass, %-34s %9ld rows %10.0f rows/s  %7.2f s  VmHWM %.1f MiB (before "
      "%.1f)%s\n",
      what, rows, rows / s, s, kvt::bench::PeakMemoryMiB(), before,
      errors.empty() ? "" : "  REFUSED");
}

GeneratorOptions Generation(const Options& o, int32_t orariPerTrip) {
  GeneratorOptions g;
  g.azienda = 101;
  g.protoc = 1;
  g.trips = o.trips;
  g.routes = 400;
  g.routeRows = orariPerTrip - 1;
  g.stops = 5000;
  g.arcs = 6000;
  g.authorities = {1, 2, 3};
  return g;
}

std::string NewSqliteDatabase(const std::string& file) {
  std::filesystem::remove(file);
  kvt::ScriptedUi ui;
  if (!kvt::schema::CreateDatabase(ui, file)) std::printf("  cannot create %s\n", file.c_str());
  return file;
}

void BenchSqlite(const Options& o, const std::string& path, const GeneratorOptions& g) {
  std::printf("\nSQLite, file method\n");
  const Figures native = NativeSqlite(NewSqliteDatabase(o.dir + "/native.db"), path, g);
  kvt::ScriptedUi ui;
  auto db = kvt::db::Database::OpenFile(ui, NewSqliteDatabase(o.dir + "/import.db"));
  ImportAndCompare(*db, path, native);
}

// A new database on the server, initialised with the application schema.
std::unique_ptr<kvt::db::Database> NewPgDatabase(kvt::Ui& ui, const Options& o,
                                                 const std::string& name) {
  auto maintenance = kvt::db::Database::ConnectOdbc(ui, o.dsn, nullptr, o.rowset, 1);
  (void)maintenance->ExecuteSql("DROP DATABASE IF EXISTS " + name + " WITH (FORCE)");
  if (!maintenance->ExecuteSql("CREATE DATABASE " + name))
    std::printf("  %s\n", maintenance->LastError().text.c_str());
  auto db = kvt::db::Database::ConnectOdbc(ui, "DSN=" + o.dsn + ";Database=" + name, nullptr,
                                           o.rowset, 1);
  kvt::schema::InitialiseDatabase(*db);
  return db;
}

// Where the server's time goes on `giorni`: the same rows copied inside the server into a
// bare table, one with the primary key, and one with the key and the relation to `corse`.
void ServerShare(PGconn* pg) {
  const char* kinds[][2] = {
      {"heap only", "CREATE TABLE kvt_share (LIKE giorni)"},
      {"with the primary key", "CREATE TABLE kvt_share (LIKE giorni INCLUDING ALL)"},
      {"with the key and giorni_corse",
       "CREATE TABLE kvt_share (LIKE giorni INCLUDING ALL, FOREIGN KEY (azienda, id) "
       "REFERENCES corse (azienda, id))"}};
  std::printf("  the server alone, INSERT ... SELECT of the giorni rows:\n");
  for (const auto& [what, create] : kinds) {
    PQclear(PQexec(pg, create));
    const double s =
        Seconds([&] { PQclear(PQexec(pg, "INSERT INTO kvt_share SELECT * FROM giorni")); });
    PQclear(PQexec(pg, "DROP TABLE kvt_share"));
    std::printf("    %-44s %7.2f s\n", what, s);
  }
}

void BenchPostgres(const Options& o, const std::string& path, const GeneratorOptions& g) {
  kvt::ScriptedUi ui;
  std::printf("\nPostgreSQL, ODBC method, rowset %u\n", o.rowset);
  NewPgDatabase(ui, o, "kvt_bench_native").reset();
  PGconn* pg = PQconnectdb((o.pgConnInfo + " dbname=kvt_bench_native").c_str());
  std::unique_ptr<PGconn, decltype(&PQfinish)> guard(pg, PQfinish);
  if (PQstatus(pg) != CONNECTION_OK) return (void)std::printf("  libpq: %s", PQerrorMessage(pg));
  const Figures native = NativeCopy(pg, path, g);
  auto db = NewPgDatabase(ui, o, "kvt_bench_import");
  ImportAndCompare(*db, path, native);
  ServerShare(pg);
}

Options Parse(int argc, char** argv) {
  Options o;
  if (const char* dsn = std::getenv("KVT_TEST_PG_DSN")) o.dsn = dsn;
  o.pgConnInfo = "host=127.0.0.1 user=postgres";
  if (const char* port = std::getenv("KVT_TEST_PG_PORT"))
    o.pgConnInfo += std::string(" port=") + port;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i], value = argv[i + 1];
    if (key == "--trips") o.trips = std::atoi(value.c_str());
    if (key == "--orari-per-trip") o.orariPerTrip = std::atoi(value.c_str());
    if (key == "--rowset") o.rowset = static_cast<unsigned>(std::atoi(value.c_str()));
    if (key == "--dsn") o.dsn = value;
    if (key == "--pg") o.pgConnInfo = value;
    if (key == "--dir") o.dir = value;
    if (key == "--only") o.only = value;
  }
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  Options o = Parse(argc, argv);
  const kvt::bench::WorkDir work(o.dir, "kvt-import-bench");
  if (work.path.empty()) return 1;
  o.dir = work.path;
  const GeneratorOptions full = Generation(o, o.orariPerTrip);
  const GeneratorOptions half = Generation(o, o.orariPerTrip / 2);
  const std::string path = o.dir + "/full.txt", halfPath = o.dir + "/half.txt";
  GeneratorReport report, halfReport;
  const double gen = Seconds([&] { report = GenerateCommunication(full, path); });
  halfReport = GenerateCommunication(half, halfPath);
  std::printf(
      "Communication: %ld trips, %ld timetable rows, %ld months, %ld running days, "
      "%.0f MiB (generated in %.1f s)\n",
      static_cast<long>(report.counts[Section::Corse]),
      static_cast<long>(report.counts[Section::Orari]),
      static_cast<long>(report.counts[Section::Giorni]), static_cast<long>(report.runningDays),
      std::filesystem::file_size(path) / 1048576.0, gen);

  const std::string checkDb = NewSqliteDatabase(o.dir + "/check.db");
  std::printf("\nFirst pass (goal >= 1,000,000 rows/s, memory flat in the timetable rows)\n");
  FirstPass(checkDb, halfPath, halfReport, "half the timetable rows");
  FirstPass(checkDb, path, report, "the whole file");

  if (o.only.empty() || o.only == "sqlite") BenchSqlite(o, path, full);
  if ((o.only.empty() || o.only == "pg") && !o.dsn.empty()) BenchPostgres(o, path, full);
  if (o.dsn.empty()) std::printf("\nPostgreSQL left out: no --dsn and no KVT_TEST_PG_DSN\n");
  return 0;
}
