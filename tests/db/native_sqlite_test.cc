// The SQLite fast path: selections and bulk blocks on the SQLite3 driver's own connection,
// through the SQLite library. Each test compares it with the ODBC path on the same file,
// which stays the reference for every value and every message.
#include "db/native_sqlite.h"

#include "db/driver_dates.h"

#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "core/text.h"
#include "db/file_engine.h"
#include "db/selection.h"
#include "db/sql_types.h"
#include "db/table.h"
#include "platform/scripted_ui.h"
#include "support/engines.h"

namespace kvt::db {
namespace {

// Connections opened while it lives stay on the ODBC path.
class OdbcPathOnly {
 public:
  OdbcPathOnly() { OverrideSqliteNative(false); }
  ~OdbcPathOnly() { OverrideSqliteNative(std::nullopt); }
};

bool IsNative(const Database& db) {
  return db.connection() && db.connection()->sqlite();
}

std::string Hex(const void* data, size_t size) {
  std::string out;
  AppendHex(out, std::string_view(static_cast<const char*>(data), size));
  return out;
}

// Every text the first column of `sql` yields, in order.
std::vector<std::string> QueryTexts(Database& db, const std::string& sql) {
  OdbcStatement stmt(*db.connection());
  std::vector<std::string> out;
  if (!stmt.ExecDirect(sql)) return {"error: " + stmt.LastError().text};
  while (stmt.Fetch() == SQL_SUCCESS) out.push_back(GetDataText(stmt, 1));
  return out;
}

// Under AddressSanitizer freed blocks wait in a quarantine before they are reused, so the
// resident peak says nothing about what a selection holds.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kQuarantinedHeap = true;
#elif defined(__has_feature)
constexpr bool kQuarantinedHeap = __has_feature(address_sanitizer);
#else
constexpr bool kQuarantinedHeap = false;
#endif

// Peak resident memory since the last reset, in KiB.
void ResetPeakMemory() {
  std::ofstream("/proc/self/clear_refs") << "5";
}
long PeakMemoryKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.starts_with("VmHWM:")) return std::atol(line.c_str() + 6);
  return 0;
}

const char* const kStored[] = {"i", "s", "f", "d", "ts", "a", "t", "b", "n"};
const int kReadTypes[] = {kSqlBit,         kSqlSmallInt, kSqlInteger,  kSqlDouble,   kSqlVarChar,
                          kSqlLongVarChar, kSqlDecimal,  kSqlTypeDate, kSqlTimestamp};

class NativeSqliteTest : public kvt::test::EngineTest {
 protected:
  std::unique_ptr<Database> ConnectOdbcPath() {
    OdbcPathOnly scope;
    return Connect();
  }
  void CreateValues(const std::string& table) {
    Exec("CREATE TABLE " + table +
         " (k INTEGER NOT NULL PRIMARY KEY, i INTEGER, s SMALLINT, f FLOAT, d DATE, ts "
         "TIMESTAMP, a VARCHAR(40), t TEXT, b BLOB, n DECIMAL(10,2))");
  }
  // Every column of table v holds `literal` in row k (each column's affinity applies).
  void InsertEverywhere(int k, const std::string& literal) {
    std::string sql = "INSERT INTO v VALUES (" + std::to_string(k);
    for (size_t c = 0; c < std::size(kStored); ++c) sql += ", " + literal;
    Exec(sql + ")");
  }
};

// One row as every typed read of the Selection sees it.
std::string DescribeRow(const Selection& s, int columns) {
  std::string row;
  for (int c = 0; c < columns; ++c) {
    const double d = s.GetDouble(c);
    std::vector<uint8_t> blob;
    const bool hasBlob = s.GetBlob(c, blob);
    row += (s.IsNull(c) ? "NULL " : "") + std::to_string(s.GetShort(c)) + " " +
           std::to_string(s.GetLong(c)) + " " + Hex(&d, sizeof d) + " [" + s.GetText(c) + "] " +
           (hasBlob ? Hex(blob.data(), blob.size()) : "-") + " | ";
  }
  for (const char* stored : kStored) row += s.GetTextByName(std::string("v.") + stored) + " | ";
  return row;
}

// Every column of v read as every type (byte blocks too when `blobs`: the ODBC reader then
// reads a row at a time instead of in blocks).
std::vector<std::string> ReadAllWays(Database& db, bool blobs) {
  Selection s(&db);
  int columns = 0;
  for (const char* stored : kStored) {
    for (int type : kReadTypes) s.AddColumn("v", stored, type), ++columns;
    if (blobs) s.AddColumn("v", stored, kSqlLongVarBinary), ++columns;
  }
  s.SetFrom("v");
  s.SetOrderBy("v.k");
  std::vector<std::string> rows;
  for (Fetch f = s.Open(); f == Fetch::Row; f = s.MoveNext()) rows.push_back(DescribeRow(s, columns));
  return rows;
}

TEST_P(NativeSqliteTest, ReadsEveryValueAsTheDriverDoes) {
  CreateValues("v");
  const std::string longText = std::string(300, 'x') + "à";
  // clang-format off
  const std::vector<std::string> literals = {
      "NULL", "12", "-7", "12.7", "0.30000000000000004", "1e20", "3000000000",
      "9223372036854775807", "'12abc'", "'abc'", "''", "'  42'", "'0x1A'", "'010'",
      "'ab' || char(0) || 'cd'", "'2010-03-15'", "'2010-03-15 10:20:30'",
      "'2010-03-15 10:20:30.123'", "'2010-03-15 00:00:00.000'", "'20100315'", "20100315",
      "'15/03/2010'", "'03/15/2010'", "'2010-02-31'", "'2012-02-29'", "'2011-02-29'",
      "'10:20:30'", "2455271.5", "x'0041ff'", "x''", "'X''41'''", "'x'''", "'à'",
      "'  trailing  '", "'" + longText + "'", "'inf'", "1e400", "'-0'", "'+5'", "' 12.5'",
      "'12,5'", "'2010-3-5'", "'2010/03/15'", "'1600-01-01'", "'2400-12-31'", "'0000-00-00'",
      "'2010-03-15T10:20:30Z'", "0.1", "123456789012.345", "-1e-5", "'1.5e3'", "'nan'",
      "'2010-03-15 25:00:00'", "'  2010-03-15'", "'2010-03-15abc'"};
  // clang-format on
  for (size_t k = 0; k < literals.size(); ++k) InsertEverywhere(static_cast<int>(k), literals[k]);

  ASSERT_TRUE(IsNative(db()));
  auto odbc = ConnectOdbcPath();
  ASSERT_FALSE(IsNative(*odbc));
  for (const bool blobs : {false, true}) {
    const std::vector<std::string> native = ReadAllWays(db(), blobs);
    const std::vector<std::string> reference = ReadAllWays(*odbc, blobs);
    ASSERT_EQ(native.size(), literals.size());
    ASSERT_EQ(reference.size(), literals.size());
    for (size_t k = 0; k < literals.size(); ++k)
      EXPECT_EQ(native[k], reference[k]) << "stored " << literals[k] << (blobs ? ", blobs" : "");
  }
  EXPECT_TRUE(ui.messages.empty()) << ::testing::PrintToString(ui.Texts());

  // A few of those values spelled out: the driver's readings, not the stored ones.
  Selection s(&db());
  s.AddColumn("v", "f", kSqlDouble);
  s.AddColumn("v", "a", kSqlVarChar);
  s.AddColumn("v", "d", kSqlTypeDate);
  s.AddColumn("v", "i", kSqlInteger);
  s.SetFrom("v");
  s.SetWhere("v.k IN (4, 14, 34, 43, 19)");
  s.SetOrderBy("v.k");
  ASSERT_EQ(s.Open(), Fetch::Row);
  EXPECT_EQ(s.GetDouble(0), 0.3);  // 15 significant digits, as the library prints it
  ASSERT_EQ(s.MoveNext(), Fetch::Row);
  EXPECT_EQ(s.GetText(1), "ab");  // a text ends at its first NUL byte
  ASSERT_EQ(s.MoveNext(), Fetch::Row);
  EXPECT_TRUE(s.IsNull(2));  // "20100315" is no date for the driver
  EXPECT_EQ(s.GetLong(3), 20100315);
  ASSERT_EQ(s.MoveNext(), Fetch::Row);
  EXPECT_EQ(s.GetText(1), longText);
  ASSERT_EQ(s.MoveNext(), Fetch::Row);
  EXPECT_EQ(s.GetText(2), "00/00/0000");  // the lower bound shown as its sentinel
  EXPECT_EQ(s.MoveNext(), Fetch::End);
}

TEST_P(NativeSqliteTest, LongTextsComeWhole) {
  CreateValues("v");
  const std::string text = std::string(5000, 'y') + "fine";
  InsertEverywhere(1, "'" + text + "'");
  Selection s(&db());
  s.AddColumn("v", "a", kSqlVarChar);
  s.SetFrom("v");
  ASSERT_EQ(s.Open(), Fetch::Row);
  const std::string read = s.GetText(0);
  EXPECT_EQ(read.size(), text.size());
  EXPECT_TRUE(read == text);
}

// A block written by either path stores the same values, byte for byte, whether it goes as
// a full block or a partial one.
TEST_P(NativeSqliteTest, BulkBlocksStoreWhatTheOdbcPathStores) {
  CreateValues("w1");
  CreateValues("w2");
  auto odbc = ConnectOdbcPath();
  const std::string bytes("\0\x01\xff\x7f", 4);
  for (Database* target : {&db(), odbc.get()}) {
    Table t(target, target == &db() ? "w1" : "w2", true);
    ASSERT_TRUE(t.IsOpen());
    for (int k = 1; k <= 450; ++k) {  // two full blocks of 200 and a partial one
      EXPECT_TRUE(t.AddNew());
      EXPECT_TRUE(t.SetFieldText("k", std::to_string(k)));
      EXPECT_TRUE(t.SetFieldText("i", k % 7 ? std::to_string(k * 1000 - 7) : ""));
      EXPECT_TRUE(t.SetFieldText("s", std::to_string(k % 300)));
      EXPECT_TRUE(t.SetFieldText("f", k % 5 ? std::to_string(k) + ",125" : "0.30000000000000004"));
      const std::string date = k % 11 ? "1" + std::to_string(k % 9) + "/03/2010" : "00/00/0000";
      EXPECT_TRUE(t.SetFieldText("d", k % 13 ? date : "99/99/9999"));
      EXPECT_TRUE(t.SetFieldText("ts", date));
      EXPECT_TRUE(t.SetFieldText("a", k % 3 ? "Città d'Aosta " + std::to_string(k) + "   " : ""));
      EXPECT_TRUE(t.SetFieldText("t", std::string(260 + k % 40, 'z')));
      if (k % 4) {
        EXPECT_TRUE(t.SetFieldBlob("b", bytes.data(), bytes.size() - k % 4));
      }
      EXPECT_TRUE(t.SetFieldText("n", "12,50"));
      EXPECT_TRUE(t.Update());
    }
  }
  const std::string columns =
      "SELECT quote(k) || quote(i) || quote(s) || quote(f) || quote(d) || quote(ts) || "
      "quote(a) || quote(t) || quote(b) || quote(n) FROM ";
  const std::vector<std::string> native = QueryTexts(db(), columns + "w1 ORDER BY k");
  ASSERT_EQ(native.size(), 450u);
  EXPECT_EQ(native, QueryTexts(db(), columns + "w2 ORDER BY k"));
  // Dates as "YYYY-MM-DD", the sentinels as the bounds, timestamps with ".000", texts without
  // trailing blanks, doubles exact.
  EXPECT_EQ(QueryTexts(db(),
                       "SELECT quote(d) || ' ' || quote(ts) || ' ' || quote(a) || ' ' || "
                       "quote(f) FROM w1 WHERE k IN (11, 13, 15) ORDER BY k"),
            (std::vector<std::string>{
                "'1600-01-01' '1600-01-01 00:00:00.000' 'Città d''Aosta 11' 11.125",
                "'2400-12-31' '2010-03-14 00:00:00.000' 'Città d''Aosta 13' 13.125",
                "'2010-03-16' '2010-03-16 00:00:00.000' NULL 3.00000000000000044408e-01"}));
  EXPECT_TRUE(ui.messages.empty()) << ::testing::PrintToString(ui.Texts());
}

// The messages of a failed selection, as icon and text.
std::vector<std::string> Boxes(const ScriptedUi& ui) {
  std::vector<std::string> out;
  for (const auto& m : ui.messages)
    out.push_back((m.icon == MsgIcon::Warning ? "warning: " : "stop: ") + m.text);
  return out;
}

TEST_P(NativeSqliteTest, FailedSelectionsSayWhatTheOdbcPathSays) {
  CreateValues("v");
  InsertEverywhere(1, "'X''4'''");  // not hexadecimal: no byte block
  InsertEverywhere(2, "2");
  auto odbc = ConnectOdbcPath();
  auto run = [&](Database& target) {
    ui.Clear();
    Selection column(&target);
    column.AddColumn("v", "nope", kSqlInteger);
    column.SetFrom("v");
    EXPECT_EQ(column.Open(), Fetch::Error);
    EXPECT_EQ(column.Requery(), Fetch::Error);
    Selection table(&target);
    table.AddColumn("nope", "k", kSqlInteger);
    table.SetFrom("nope");
    EXPECT_EQ(table.Open(), Fetch::Error);
    Selection syntax(&target);
    syntax.AddColumn("v", "k", kSqlInteger);
    syntax.SetFrom("v");
    syntax.SetWhere("v.k =");
    EXPECT_EQ(syntax.Open(), Fetch::Error);
    Selection overflow(&target);  // fails while stepping, not while compiling
    overflow.AddColumn("v", "k", kSqlInteger);
    overflow.SetFrom("v");
    overflow.SetWhere("abs(v.k - 9223372036854775807 - 2) > 0");
    EXPECT_EQ(overflow.Open(), Fetch::Error);
    Selection bytes(&target);
    bytes.AddColumn("v", "a", kSqlLongVarBinary);
    bytes.SetFrom("v");
    bytes.SetOrderBy("v.k");
    EXPECT_EQ(bytes.Open(), Fetch::Error);
    EXPECT_FALSE(bytes.IsPositioned());
    return Boxes(ui);
  };
  const std::vector<std::string> native = run(db());
  EXPECT_EQ(native, run(*odbc));
  EXPECT_EQ(
      native,
      (std::vector<std::string>{
          "warning: Errore sintassi SQL\n\nSELECT v.nope FROM v \n\n[SQLite]no such column: "
          "v.nope (1)",
          "stop: Errore posizionamento sulle prima riga della select corrente\n\n[SQLite]no "
          "such column: v.nope (1)",
          "warning: Errore sintassi SQL\n\nSELECT nope.k FROM nope \n\n[SQLite]no such table: "
          "nope (1)",
          "warning: Errore sintassi SQL\n\nSELECT v.k FROM v WHERE v.k = \n\n[SQLite]incomplete "
          "input (1)",
          "warning: Errore sintassi SQL\n\nSELECT v.k FROM v WHERE abs(v.k - 9223372036854775807 "
          "- 2) > 0 \n\n[SQLite]integer overflow (1)",
          "warning: Errore sintassi SQL\n\nSELECT v.a FROM v ORDER BY v.k \n\n[SQLite]"
          "conversion error"}));
}

// The driver reads ahead a block of rows, and a row that fails loses the rows of its block
// read before it; here each row comes as it is stepped, and the failure is reported where
// it happens.
TEST_P(NativeSqliteTest, ARowThatFailsKeepsTheRowsBeforeIt) {
  Exec("CREATE TABLE v (k INTEGER PRIMARY KEY)");
  Exec("INSERT INTO v VALUES (1), (2), (3), (4)");
  Selection s(&db());
  s.AddColumn("v", "k", kSqlInteger);
  s.SetFrom("v");
  s.SetWhere("abs(v.k - 9223372036854775807 - 2) > 0");  // overflows at k = 1
  s.SetOrderBy("v.k DESC");
  std::vector<int> read;
  for (Fetch f = s.Open(); f == Fetch::Row; f = s.MoveNext()) read.push_back(s.GetLong(0));
  EXPECT_EQ(read, (std::vector<int>{4, 3, 2}));
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{"Errore lettura riga successiva della select "
                                                 "corrente\n\n[SQLite]integer overflow (1)"});
}

// Two selections read side by side each stream: neither is loaded whole.
TEST_P(NativeSqliteTest, InterleavedSelectionsStreamWithoutGrowing) {
  constexpr int kRows = 300000;
  Exec("CREATE TABLE big (k INTEGER PRIMARY KEY, a INTEGER, c VARCHAR(20), d DATE, f FLOAT)");
  // (The driver does not run a statement that begins with WITH: the rows come from a
  // subquery.)
  Exec(
      "INSERT INTO big SELECT x, x % 7, 'riga numero ' || x, '2010-03-15', x / 4.0 FROM (WITH "
      "RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < " +
      std::to_string(kRows) + ") SELECT x FROM n)");
  auto open = [&](Selection& s, const char* order) {
    s.AddColumn("big", "k", kSqlInteger);
    s.AddColumn("big", "a", kSqlSmallInt);
    s.AddColumn("big", "c", kSqlVarChar);
    s.AddColumn("big", "d", kSqlTypeDate);
    s.AddColumn("big", "f", kSqlDouble);
    s.SetFrom("big");
    s.SetOrderBy(order);
    return s.Open();
  };
  auto check = [](const Selection& s, int k, int& bad) {
    if (s.GetLong(0) != k || s.GetShort(1) != k % 7 || s.GetDouble(4) != k / 4.0 ||
        s.GetText(3) != "15/03/2010" ||
        (k % 1000 == 0 && s.GetText(2) != "riga numero " + std::to_string(k)))
      ++bad;
  };
  ResetPeakMemory();
  const long before = PeakMemoryKiB();
  Selection up(&db()), down(&db());
  bool upOk = open(up, "big.k") == Fetch::Row, downOk = open(down, "big.k DESC") == Fetch::Row;
  int upRows = 0, downRows = 0, bad = 0;
  while (upOk || downOk) {
    if (upOk) check(up, ++upRows, bad), upOk = up.MoveNext() == Fetch::Row;
    if (downOk) check(down, kRows - downRows++, bad), downOk = down.MoveNext() == Fetch::Row;
  }
  EXPECT_EQ(upRows, kRows);
  EXPECT_EQ(downRows, kRows);
  EXPECT_EQ(bad, 0);
  if (!kQuarantinedHeap) {
    EXPECT_LT(PeakMemoryKiB() - before, 16 * 1024) << "KiB at start: " << before;
  }
  EXPECT_TRUE(ui.messages.empty()) << ::testing::PrintToString(ui.Texts());
}

// Rows written natively belong to the transaction the driver began: a refusal costs its
// row only, the foreign keys the driver enforces are enforced, and a rollback takes it all.
TEST_P(NativeSqliteTest, BulkRowsJoinTheDriversTransaction) {
  Exec("CREATE TABLE p (k INTEGER PRIMARY KEY)");
  Exec("CREATE TABLE c (k INTEGER PRIMARY KEY, p INTEGER NOT NULL REFERENCES p (k))");
  auto odbc = ConnectOdbcPath();
  for (Database* target : {&db(), odbc.get()}) {
    SCOPED_TRACE(target == &db() ? "native" : "ODBC");
    ui.Clear();
    ASSERT_TRUE(target->Begin());
    ASSERT_TRUE(target->ExecuteSql("INSERT INTO p VALUES (1)"));
    Selection parents(target);  // sees the row not yet committed
    parents.AddColumn("p", "k", kSqlInteger);
    parents.SetFrom("p");
    ASSERT_EQ(parents.Open(), Fetch::Row);
    EXPECT_EQ(parents.GetLong(0), 1);
    long stored = 0;
    {
      Table c(target, "c", true);
      for (int k = 1; k <= 250; ++k) {  // a full block of 200, then a partial one
        EXPECT_TRUE(c.AddNew());
        EXPECT_TRUE(c.SetFieldText("k", std::to_string(k == 220 ? 1 : k)));  // 220 repeats 1
        EXPECT_TRUE(c.SetFieldText("p", k == 7 ? "99" : "1"));  // 7 has no parent
        if (c.Update()) stored += c.RowsWritten();
      }
      if (c.Flush()) stored += c.RowsWritten();
    }
    EXPECT_EQ(stored, 248);
    EXPECT_EQ(QueryTexts(*target, "SELECT COUNT(*) FROM c"), std::vector<std::string>{"248"});
    ASSERT_TRUE(target->Rollback());
    EXPECT_EQ(QueryTexts(*target, "SELECT COUNT(*) FROM p"), std::vector<std::string>{"0"});
    EXPECT_EQ(QueryTexts(*target, "SELECT COUNT(*) FROM c"), std::vector<std::string>{"0"});
    EXPECT_EQ(ui.Texts(), (std::vector<std::string>{
                              "Errore aggiornamento tavola (c)\n\n - [SQLite]FOREIGN KEY "
                              "constraint failed (19)",
                              "Errore scarico buffer tavola (c)\n\n - [SQLite]UNIQUE constraint "
                              "failed: c.k (19)"}));
  }
}

// A block with more values than one statement takes goes in as several statements; a
// refusal in one of them costs its row only.
TEST_P(NativeSqliteTest, BlocksWiderThanAStatementGoInPieces) {
  Exec("CREATE TABLE c (k INTEGER PRIMARY KEY, p INTEGER)");
  sqlite3_limit(db().connection()->sqlite()->db(), SQLITE_LIMIT_VARIABLE_NUMBER, 45);
  long stored = 0;
  {
    Table c(&db(), "c", true);
    for (int k = 1; k <= 250; ++k) {  // blocks of 200 rows, statements of 22
      EXPECT_TRUE(c.AddNew());
      EXPECT_TRUE(c.SetFieldText("k", std::to_string(k == 100 ? 7 : k)));
      EXPECT_TRUE(c.SetFieldText("p", std::to_string(k * 2)));
      if (c.Update()) stored += c.RowsWritten();
    }
    if (c.Flush()) stored += c.RowsWritten();
  }
  EXPECT_EQ(stored, 249);
  EXPECT_EQ(QueryTexts(db(), "SELECT COUNT(*) || ' ' || SUM(k) || ' ' || SUM(p) FROM c"),
            std::vector<std::string>{"249 31275 62550"});
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{"Errore aggiornamento tavola (c)\n\n - "
                                                 "[SQLite]UNIQUE constraint failed: c.k (19)"});
}

// Each connection gets its own SQLite connection, however many are open, and never one the
// file engine opens for itself; a closed connection leaves nothing that still uses it.
TEST_P(NativeSqliteTest, EachConnectionReadsItsOwnFileUntilItCloses) {
  std::vector<std::string> paths;
  std::vector<std::unique_ptr<Database>> open;
  for (int i = 0; i < 3; ++i) {
    paths.push_back(kvt::test::TempDir() + "/own" + std::to_string(i) + ".db");
    ASSERT_TRUE(FileEngine().Create(paths.back()));
    open.push_back(Database::OpenFile(ui, paths.back()));
    ASSERT_TRUE(IsNative(*open.back()));
    ASSERT_TRUE(open.back()->ExecuteSql("CREATE TABLE o (k INTEGER)"));
    ASSERT_TRUE(open.back()->ExecuteSql("INSERT INTO o VALUES (" + std::to_string(i) + ")"));
  }
  FileEngine files;
  ASSERT_TRUE(files.Compact(paths[0], paths[0] + ".copy"));
  ASSERT_TRUE(files.Repair(paths[0] + ".copy"));
  for (int round = 0; round < 2; ++round) {
    for (size_t i = 0; i < paths.size(); ++i) {
      SCOPED_TRACE(paths[i]);
      if (round == 1) open[i] = Database::OpenFile(ui, paths[i]);
      Database& each = *open[i];
      EXPECT_EQ(sqlite3_db_filename(each.connection()->sqlite()->db(), "main"), paths[i]);
      Selection s(&each);
      s.AddColumn("o", "k", kSqlInteger);
      s.SetFrom("o");
      ASSERT_EQ(s.Open(), Fetch::Row);
      EXPECT_EQ(s.GetLong(0), static_cast<int>(i));
    }
  }
  Selection left(open[0].get());
  left.AddColumn("o", "k", kSqlInteger);
  left.SetFrom("o");
  ASSERT_EQ(left.Open(), Fetch::Row);
  open[0]->Close();  // the selection must not step the closed connection
  EXPECT_EQ(left.MoveNext(), Fetch::Error);  // not the end of the rows
  EXPECT_EQ(left.GetLong(0), 0);
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{
                            "Errore lettura riga successiva della select corrente\n\n????"});

  setenv("KVT_SQLITE_NATIVE", "0", 1);
  EXPECT_FALSE(IsNative(*Database::OpenFile(ui, paths[1])));
  unsetenv("KVT_SQLITE_NATIVE");
  EXPECT_TRUE(IsNative(*Database::OpenFile(ui, paths[1])));
}

// The dates of odd texts: the driver's own reading of each, fraction and time included.
TEST_P(NativeSqliteTest, DatesAreReadAsTheDriverReadsThem) {
  // clang-format off
  const std::vector<std::string> texts = {
      "2010-03-15", "2010-3-5", "2010/03/15", "03/15/2010", "15/03/2010", "13/13/2010",
      "2010-02-30", "2010-13-01", "2000-02-29", "1900-02-29", "2012-02-29", "0000-01-01",
      "99999-01-01", "2010--03-15", " 2010-03-15", "x2010-03-15y", "2010-03-15abc",
      "2010-03-15 10:20:30", "2010-03-15 10:20:30.5", "2010-03-15 10:20:30.123",
      "2010-03-15 10:20:30.123456", "2010-03-15 10:20:30.123456789",
      "2010-03-15 10:20:30.123456789012", "2010-03-15 10:20:30 5", "10:20:30 2010-03-15",
      "10:20:30", "10:20:30 pm", "2010-03-15 12:30:00 am", "2010-03-15 01:30:00 PM",
      "2010-03-15 11:30:00pm", "2010-03-15 25:00:00", "2010-03-15 10:61:00",
      "2010-03-15T10:20:30Z", "2010-03-15T10:20:30.5Z", "2010-03-15T10:20:30.5+01:30",
      "2010-03-01T00:10:00.0+01:00", "2010-12-31T23:30:00.0-01:00", "2010-03-15T10:20:30+01:00",
      "20100315102030", "201003151020301", "20100315102030123456789", "20101315102030",
      "20100315", "12", "1.5", "-7", "abc", "", "1.0e+20", "2455271.5", "X'0041FF'",
      "2010-03-15 10:20:30 extra 5"};
  // clang-format on
  Exec("CREATE TABLE dt (k INTEGER PRIMARY KEY, ts TIMESTAMP)");
  for (size_t k = 0; k < texts.size(); ++k)
    Exec("INSERT INTO dt VALUES (" + std::to_string(k) + ", " + SqlQuote(texts[k]) + ")");
  auto odbc = ConnectOdbcPath();
  OdbcStatement stmt(*odbc->connection());
  ASSERT_TRUE(stmt.ExecDirect("SELECT ts, ts FROM dt ORDER BY k"));
  auto describe = [](bool read, const SQL_TIMESTAMP_STRUCT& t) {
    if (!read) return std::string("NULL");
    return std::to_string(t.year) + "-" + std::to_string(t.month) + "-" + std::to_string(t.day) +
           " " + std::to_string(t.hour) + ":" + std::to_string(t.minute) + ":" +
           std::to_string(t.second) + "." + std::to_string(t.fraction);
  };
  std::vector<std::string> driver, ours;
  while (stmt.Fetch() == SQL_SUCCESS) {
    SQL_TIMESTAMP_STRUCT t{};
    SQLLEN indicator = 0;
    ASSERT_TRUE(
        stmt.Check(SQLGetData(stmt.handle(), 1, SQL_C_TYPE_TIMESTAMP, &t, sizeof t, &indicator)));
    driver.push_back(describe(indicator != SQL_NULL_DATA, t));
    const std::string stored = GetDataText(stmt, 2);  // the text the driver read from
    ours.push_back(describe(ReadDriverTimestamp(stored, t), t));
  }
  ASSERT_EQ(driver.size(), texts.size());
  for (size_t k = 0; k < texts.size(); ++k) EXPECT_EQ(ours[k], driver[k]) << texts[k];
  EXPECT_EQ(ours[3], "2010-3-15 0:0:0.0");              // MM/DD/YYYY
  EXPECT_EQ(ours[35], "2010-2-28 23:10:0.0");           // back to UTC, across the month
  EXPECT_EQ(ours[36], "2011-1-1 0:30:0.0");             // and across the year
  EXPECT_EQ(ours[39], "2010-3-15 10:20:30.100000000");  // packed digits
  EXPECT_EQ(ours[42], "NULL");                          // YYYYMMDD is no date
  // Texts the driver reads past the end of: as if more NUL bytes followed.
  SQL_TIMESTAMP_STRUCT t{};
  EXPECT_FALSE(ReadDriverTimestamp("10:20", t));
  EXPECT_FALSE(ReadDriverTimestamp("2010-03", t));
  ASSERT_TRUE(ReadDriverTimestamp("2010-03-15 10:20", t));
  EXPECT_EQ(describe(true, t), "2010-3-15 10:20:0.0");
}

INSTANTIATE_TEST_SUITE_P(Engines, NativeSqliteTest,
                         ::testing::Values(::kvt::test::TestEngine::Sqlite),
                         ::kvt::test::EngineName);

}  // namespace
}  // namespace kvt::db
