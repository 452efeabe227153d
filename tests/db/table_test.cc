#include "db/table.h"

#include <string>
#include <vector>

#include "db/selection.h"
#include "db/sql_types.h"
#include "support/engines.h"

namespace kvt::db {
namespace {

class TableTest : public kvt::test::EngineTest {
 protected:
  // A table shaped like the application's: key, text, date, double, flag.
  void CreateTable() {
    const Dialect& d = db().dialect();
    Exec("CREATE TABLE t (k INTEGER NOT NULL, nome" + d.ColumnType('A', 40) + " NULL, d" +
         d.ColumnType('D', 0) + " NULL, f" + d.ColumnType('F', 0) + " NULL, flag" +
         d.ColumnType('B', 0) + " NULL" + d.PrimaryKeyClause("t_codice", {"k"}) + ")");
  }
  void Insert(Table& t, const std::string& k, const std::string& column, const std::string& value) {
    ASSERT_TRUE(t.AddNew());
    ASSERT_TRUE(t.SetFieldText("k", k));
    EXPECT_TRUE(t.SetFieldText(column, value));
    ASSERT_TRUE(t.Update()) << ::testing::PrintToString(ui.Texts());
  }
  // Positions `t` on the row with key k by the lookup of the connection's method.
  bool Find(Table& t, int k) {
    if (db().IsDao()) {
      std::vector<std::string> keys{std::to_string(k)};
      return t.SetCurrentIndex("codice") && t.Seek(keys) == Fetch::Row;
    }
    return t.FindWhere("k = " + std::to_string(k)) == Fetch::Row;
  }
  std::string FieldOf(int k, const std::string& column) {
    Table t(&db(), "t");
    std::string out = "<none>";
    if (Find(t, k)) {
      EXPECT_TRUE(t.GetFieldText(column, out));
    }
    return out;
  }
  std::string DuplicateKeyText(int k) {
    if (!IsPostgres()) return "[SQLite]UNIQUE constraint failed: t.k (19)";
    return "ERROR: duplicate key value violates unique constraint \"t_codice\"\nDETAIL: Key "
           "(k)=(" +
           std::to_string(k) + ") already exists.;\nError while executing the query";
  }
};

TEST_P(TableTest, DateSentinelsAreStoredAsBoundsAndReadBackPerMethod) {
  CreateTable();
  {
    Table t(&db(), "t");
    Insert(t, "1", "d", "00/00/0000");
    Insert(t, "2", "d", "99/99/9999");
    Insert(t, "3", "d", "15/03/2010");
  }
  const Dialect& d = db().dialect();
  EXPECT_EQ(QueryInt("SELECT k FROM t WHERE d = " + d.DateLiteral(1, 1, 1600)), 1);
  EXPECT_EQ(QueryInt("SELECT k FROM t WHERE d = " + d.DateLiteral(31, 12, 2400)), 2);
  EXPECT_EQ(QueryInt("SELECT k FROM t WHERE d = " + d.DateLiteral(15, 3, 2010)), 3);
  // The file method maps the bounds back to the sentinels; ODBC shows the stored dates.
  EXPECT_EQ(FieldOf(1, "d"), db().IsDao() ? "00/00/0000" : "01/01/1600");
  EXPECT_EQ(FieldOf(2, "d"), db().IsDao() ? "99/99/9999" : "31/12/2400");
  EXPECT_EQ(FieldOf(3, "d"), "15/03/2010");
  EXPECT_TRUE(ui.messages.empty()) << ::testing::PrintToString(ui.Texts());
}

TEST_P(TableTest, MalformedDateStoresNothing) {
  CreateTable();
  {
    Table t(&db(), "t");
    ASSERT_TRUE(t.AddNew());
    EXPECT_TRUE(t.SetFieldText("k", "1"));
    EXPECT_FALSE(t.SetFieldText("d", "1/3/2010"));
    EXPECT_FALSE(t.SetFieldText("d", "31/02/2010"));
    EXPECT_TRUE(t.Update());
  }
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM t WHERE d IS NULL"), 1);
  if (db().IsDao()) {
    EXPECT_EQ(ui.Texts(),
              (std::vector<std::string>{"Errore campo (d) della tavola (t) <1/3/2010>\n\n"
                                        "Valore non valido per il tipo del campo.",
                                        "Errore campo (d) della tavola (t) <31/02/2010>\n\n"
                                        "Valore non valido per il tipo del campo."}));
  } else {
    EXPECT_TRUE(ui.messages.empty());
  }
}

TEST_P(TableTest, ConvertsNumbersTextsAndEmptyText) {
  CreateTable();
  {
    Table t(&db(), "t");
    ASSERT_TRUE(t.AddNew());
    EXPECT_TRUE(t.SetFieldText("k", "1"));
    EXPECT_TRUE(t.SetFieldText("f", "12,5"));
    EXPECT_TRUE(t.SetFieldText("nome", "Via Roma   "));
    EXPECT_TRUE(t.SetFieldText("flag", "1"));
    EXPECT_TRUE(t.SetFieldText("d", ""));
    ASSERT_TRUE(t.Update());
    Insert(t, "2", "f", "-0.25");
    Insert(t, "3", "nome", "");
  }
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM t WHERE f = 12.5 AND flag = 1"), 1);
  EXPECT_EQ(QueryInt("SELECT LENGTH(nome) FROM t WHERE k = 1"), 8);
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM t WHERE d IS NULL"), 3);
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM t WHERE nome IS NULL"), 2);
  // Text forms: ODBC "%20.4lf"; the file method "%020.4lf" with a decimal comma.
  EXPECT_EQ(FieldOf(1, "f"), db().IsDao() ? "000000000000012,5000" : "             12.5000");
  EXPECT_EQ(FieldOf(2, "f"), db().IsDao() ? "-00000000000000,2500" : "             -0.2500");
  EXPECT_EQ(FieldOf(1, "nome"), "Via Roma");
  EXPECT_EQ(FieldOf(1, "flag"), "1");
  EXPECT_EQ(FieldOf(1, "k"), "1");
  EXPECT_EQ(FieldOf(3, "nome"), "");
  if (!db().IsDao()) {  // "nan" and "inf" are not numbers: no NaN or infinity is stored
    {
      Table t(&db(), "t");
      Insert(t, "4", "f", "nan");
      Insert(t, "5", "f", "-inf");
    }
    EXPECT_EQ(FieldOf(4, "f"), "              0.0000");
    EXPECT_EQ(FieldOf(5, "f"), "              0.0000");
  }
  EXPECT_EQ(FieldOf(3, "f"), "");
  EXPECT_TRUE(ui.messages.empty()) << ::testing::PrintToString(ui.Texts());
}

TEST_P(TableTest, UnknownColumnIsANoOp) {
  CreateTable();
  {
    Table t(&db(), "t");
    ASSERT_TRUE(t.AddNew());
    EXPECT_TRUE(t.SetFieldText("k", "7"));
    EXPECT_FALSE(t.SetFieldText("nope", "1"));
    std::string out = "x";
    EXPECT_FALSE(t.GetFieldText("nope", out));
    EXPECT_EQ(out, "");
    EXPECT_TRUE(t.Update());
    EXPECT_EQ(t.RowsWritten(), 1);
  }
  EXPECT_EQ(QueryInt("SELECT k FROM t"), 7);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_P(TableTest, ColumnNamesMatchWhateverCaseTheEngineKeeps) {
  Exec(
      "CREATE TABLE u (azienda SMALLINT NOT NULL, ID INTEGER NOT NULL, PRIMARY KEY (azienda, ID))");
  {
    Table t(&db(), "u");
    ASSERT_TRUE(t.AddNew());
    EXPECT_TRUE(t.SetFieldText("azienda", "3"));
    EXPECT_TRUE(t.SetFieldText("ID", "42"));
    EXPECT_TRUE(t.Update());
  }
  EXPECT_EQ(QueryInt("SELECT ID FROM u WHERE azienda = 3"), 42);
}

TEST_P(TableTest, BulkTableDestroyedAfterThreeUpdatesWritesExactlyThree) {
  CreateTable();
  {
    Table t(&db(), "t", true);
    ASSERT_TRUE(t.IsOpen());
    for (int k = 1; k <= 3; ++k) {
      EXPECT_TRUE(t.AddNew());
      EXPECT_TRUE(t.SetFieldText("k", std::to_string(k)));
      ASSERT_TRUE(t.Update());
      EXPECT_EQ(t.RowsWritten(), 0);  // the block is not full: nothing sent yet
    }
    EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM t"), 0);
  }
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM t"), 3);
  EXPECT_TRUE(ui.messages.empty()) << ::testing::PrintToString(ui.Texts());
}

TEST_P(TableTest, BulkBlocksAreSentWhenFullAndFlushSendsTheRest) {
  CreateTable();
  Table t(&db(), "t", true);
  long written = 0;
  std::vector<long> sends;
  for (int k = 1; k <= 2530; ++k) {
    EXPECT_TRUE(t.AddNew());
    EXPECT_TRUE(t.SetFieldText("k", std::to_string(k)));
    EXPECT_TRUE(t.SetFieldText("nome", "n" + std::to_string(k)));
    EXPECT_TRUE(t.SetFieldText("d", "01/02/2003"));
    ASSERT_TRUE(t.Update());
    if (t.RowsWritten() > 0) sends.push_back(t.RowsWritten());
    written += t.RowsWritten();
  }
  ASSERT_TRUE(t.Flush());
  written += t.RowsWritten();
  const long tail = t.RowsWritten();
  EXPECT_TRUE(t.Flush());  // nothing left
  EXPECT_EQ(t.RowsWritten(), 0);
  EXPECT_EQ(written, 2530);
  // Blocks of at least 1000 rows on a server, 200 in a database file.
  EXPECT_EQ(sends, IsPostgres() ? std::vector<long>(2, 1000) : std::vector<long>(12, 200));
  EXPECT_EQ(tail, IsPostgres() ? 530 : 130);
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM t"), 2530);
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM t WHERE d = " + db().dialect().DateLiteral(1, 2, 2003)),
            2530);
  EXPECT_EQ(QueryInt("SELECT k FROM t WHERE nome = 'n529'"), 529);
}

// A refused row used to lose its whole block; now only the refused rows are missing, the
// count says so, and the block's refusal is reported once.
TEST_P(TableTest, RefusedRowsInABulkBlockLoseOnlyThemselves) {
  CreateTable();
  Exec("INSERT INTO t (k) VALUES (5)");
  {
    Table t(&db(), "t", true);
    for (int k = 1; k <= 10; ++k) {
      EXPECT_TRUE(t.AddNew());
      EXPECT_TRUE(t.SetFieldText("k", std::to_string(k)));
      EXPECT_TRUE(t.Update());
    }
    EXPECT_TRUE(t.Flush());  // rows were stored: the caller adds RowsWritten
    EXPECT_EQ(t.RowsWritten(), 9);
    EXPECT_TRUE(t.AddNew());  // a block whose every row is refused
    EXPECT_TRUE(t.SetFieldText("k", "5"));
    EXPECT_TRUE(t.Update());
    EXPECT_FALSE(t.Flush());
    EXPECT_EQ(t.RowsWritten(), 0);
  }
  // Inside a transaction already marked for rollback nothing is counted as stored, and with
  // no driver diagnostic the box says "????" alone.
  ASSERT_TRUE(db().Begin());
  ASSERT_TRUE(db().Begin());
  ASSERT_TRUE(db().Rollback());
  {
    Table t(&db(), "t", true);
    EXPECT_TRUE(t.AddNew());
    EXPECT_TRUE(t.SetFieldText("k", "11"));
    EXPECT_TRUE(t.Update());
    EXPECT_FALSE(t.Flush());
    EXPECT_EQ(t.RowsWritten(), 0);
  }
  db().Rollback();
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM t"), 10);
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{
                            "Errore scarico buffer tavola (t)\n\n - " + DuplicateKeyText(5),
                            "Errore scarico buffer tavola (t)\n\n - " + DuplicateKeyText(5),
                            "Errore scarico buffer tavola (t)\n\n????"}));
}

TEST_P(TableTest, RefusedRowsInsideATransactionKeepTheTransactionsOtherWork) {
  CreateTable();
  Exec("CREATE TABLE c (k INTEGER NOT NULL, tk INTEGER NOT NULL, PRIMARY KEY (k)" +
       db().dialect().ForeignKeyClause("c_t", {"tk"}, "t", {"k"}) + ")");
  ASSERT_TRUE(db().Begin());
  long stored = 0;
  {
    Table t(&db(), "t", true);
    for (int k = 1; k <= 30; ++k) {
      EXPECT_TRUE(t.AddNew());
      EXPECT_TRUE(t.SetFieldText("k", std::to_string(k == 20 ? 3 : k)));  // 20 repeats 3
      if (t.Update()) stored += t.RowsWritten();             // the importer's way of counting
    }
    if (t.Flush()) stored += t.RowsWritten();
  }
  long children = 0;
  {
    Table c(&db(), "c", true);
    for (int k = 1; k <= 6; ++k) {
      EXPECT_TRUE(c.AddNew());
      EXPECT_TRUE(c.SetFieldText("k", std::to_string(k)));
      // 2: no such parent; 4: NULL where NOT NULL is required.
      EXPECT_TRUE(c.SetFieldText("tk", k == 2 ? "999" : k == 4 ? "" : std::to_string(k)));
      if (c.Update()) children += c.RowsWritten();
    }
    if (c.Flush()) children += c.RowsWritten();
  }
  ASSERT_TRUE(db().Commit());
  EXPECT_EQ(stored, 29);
  EXPECT_EQ(children, 4);
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM t"), 29);
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM c"), 4);
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM c WHERE k IN (2, 4)"), 0);
  ASSERT_EQ(ui.messages.size(), 2u);  // once per failing block
  EXPECT_TRUE(ui.Texts()[0].starts_with("Errore aggiornamento tavola (t)\n\n - ") ||
              ui.Texts()[0].starts_with("Errore scarico buffer tavola (t)\n\n - "));
  EXPECT_NE(ui.Texts()[0].find(IsPostgres() ? "Key (k)=(3) already exists" : "UNIQUE"),
            std::string::npos);
  const std::string children_text = ui.Texts().back();
  EXPECT_TRUE(children_text.starts_with("Errore scarico buffer tavola (c)\n\n - "));
}

TEST_P(TableTest, DuplicateKeyOnUpdateShowsTheTableAndTheDriverText) {
  CreateTable();
  Table t(&db(), "t");
  Insert(t, "1", "nome", "a");
  ASSERT_TRUE(t.AddNew());
  EXPECT_TRUE(t.SetFieldText("k", "1"));
  EXPECT_FALSE(t.Update());
  EXPECT_EQ(t.RowsWritten(), 0);
  EXPECT_EQ(ui.Texts(),
            std::vector<std::string>{"Errore aggiornamento tavola (t)\n\n" + DuplicateKeyText(1)});
  ui.Clear();
  Insert(t, "2", "nome", "b");  // the table stays usable
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM t"), 2);
}

TEST_P(TableTest, KeyedLookupByTheMethodsOwnWayThenEdit) {
  CreateTable();
  Exec(db().dialect().CreateIndex("t_nome", "t", {"nome"}, false));
  {
    Table t(&db(), "t");
    Insert(t, "1", "nome", "uno");
    Insert(t, "2", "nome", "due");
    Insert(t, "3", "nome", "tre");
  }
  Table t(&db(), "t");
  std::vector<std::string> two{"2"};
  if (db().IsDao()) {
    EXPECT_EQ(t.FindWhere("k = 2"), Fetch::Error);  // not the lookup of this method
    ASSERT_TRUE(t.SetCurrentIndex("codice"));
    ASSERT_EQ(t.Seek(two), Fetch::Row);
    std::vector<std::string> missing{"9"};
    EXPECT_EQ(t.Seek(missing), Fetch::End);
    ASSERT_EQ(t.Seek(two), Fetch::Row);
  } else {
    EXPECT_TRUE(t.SetCurrentIndex("codice"));
    EXPECT_EQ(t.Seek(two), Fetch::Error);  // not the lookup of this method
    EXPECT_EQ(t.FindWhere("k = 9"), Fetch::End);
    ASSERT_EQ(t.FindWhere("k = 2"), Fetch::Row);
  }
  ASSERT_TRUE(t.Edit());
  EXPECT_TRUE(t.SetFieldText("nome", "DUE"));
  EXPECT_TRUE(t.SetFieldText("f", "2,75"));
  ASSERT_TRUE(t.Update());
  EXPECT_EQ(t.RowsWritten(), 1);
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM t WHERE nome = 'DUE' AND f = 2.75 AND k = 2"), 1);
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM t WHERE f IS NULL"), 2);
  std::string name;
  ASSERT_TRUE(t.GetFieldText("nome", name));
  EXPECT_EQ(name, "DUE");
  if (db().IsDao()) {  // another index of the table, by the generator's name for it
    ASSERT_TRUE(t.SetCurrentIndex("nome"));
    std::vector<std::string> tre{"tre"};
    ASSERT_EQ(t.Seek(tre), Fetch::Row);
    ASSERT_TRUE(t.GetFieldText("k", name));
    EXPECT_EQ(name, "3");
    EXPECT_FALSE(t.SetCurrentIndex("nope"));
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{"Errore selezione indice (nope) tavola (t)\n\n"
                                                   "'nope' non è un indice di questa tavola."});
  } else {
    EXPECT_TRUE(ui.messages.empty()) << ::testing::PrintToString(ui.Texts());
  }
}

TEST_P(TableTest, EditAndUpdateOutOfOrderAreRefusedWithAMessage) {
  CreateTable();
  Table t(&db(), "t");
  EXPECT_FALSE(t.Edit());
  EXPECT_FALSE(t.Update());
  EXPECT_EQ(ui.Texts(),
            (std::vector<std::string>{"Errore editing tavola (t)\n\nNessuna riga corrente.",
                                      "Errore aggiornamento tavola (t)\n\n"
                                      "Nessuna riga in inserimento o modifica."}));
  Table bulk(&db(), "t", true);
  EXPECT_FALSE(bulk.Edit());
}

TEST_P(TableTest, MissingTableOrDatabaseLeavesTheTableClosed) {
  Table t(&db(), "nope");
  EXPECT_FALSE(t.IsOpen());
  EXPECT_FALSE(t.AddNew());
  EXPECT_FALSE(t.SetFieldText("k", "1"));
  EXPECT_FALSE(t.Update());
  const std::string text = IsPostgres() ? "ERROR: relation \"nope\" does not exist;\nError while "
                                          "executing the query"
                                        : "[SQLite]no such table: nope (1)";
  EXPECT_EQ(ui.Texts(),
            std::vector<std::string>{"Errore in fase di apertura della tavola (nope)\n\n" + text});
  Table none(nullptr, "t", true);
  EXPECT_FALSE(none.IsOpen());
  EXPECT_FALSE(none.Flush());
}

TEST_P(TableTest, ATableOnADisconnectedDatabaseDoesNothing) {
  CreateTable();
  {
    Table t(&db(), "t", true);
    EXPECT_TRUE(t.AddNew());
    EXPECT_TRUE(t.SetFieldText("k", "1"));
    EXPECT_TRUE(t.Update());
    db().Close();  // the shell disconnects: the pending row has nowhere to go
    EXPECT_FALSE(t.AddNew());
    EXPECT_FALSE(t.Flush());
  }
  Reopen();
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM t"), 0);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_P(TableTest, ByteBlocksRoundTripWholeWhateverTheBufferSize) {
  const Dialect& d = db().dialect();
  Exec("CREATE TABLE g (ID INTEGER NOT NULL, coord" + d.ColumnType('O', 0) + " NULL" +
       d.PrimaryKeyClause("g_codice", {"ID"}) + ")");
  std::string big(5000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 % 256);
  {
    Table t(&db(), "g", true, 16);  // a buffer smaller than the block must not cut it
    for (int id = 1; id <= 3; ++id) {
      EXPECT_TRUE(t.AddNew());
      EXPECT_TRUE(t.SetFieldText("ID", std::to_string(id)));
      if (id != 2) {
        EXPECT_TRUE(t.SetFieldBlob("coord", big.data(), big.size() - id));
      }
      EXPECT_TRUE(t.Update());
    }
  }
  {
    Table t(&db(), "g");
    ASSERT_TRUE(t.AddNew());
    EXPECT_TRUE(t.SetFieldText("ID", "4"));
    EXPECT_TRUE(t.SetFieldBlob("coord", "abc", 0));  // length 0: NULL
    EXPECT_TRUE(t.Update());
  }
  Selection s(&db());
  s.AddColumn("g", "ID", kSqlInteger);
  s.AddColumn("g", "coord", kSqlLongVarBinary);
  s.SetFrom("g");
  s.SetOrderBy("g.ID");
  std::vector<size_t> sizes;
  for (Fetch f = s.Open(false, 16); f == Fetch::Row; f = s.MoveNext()) {
    std::vector<uint8_t> bytes;
    const bool present = s.GetBlob(1, bytes);
    sizes.push_back(present ? bytes.size() : 0);
    if (present) {
      EXPECT_EQ(std::string(bytes.begin(), bytes.end()), big.substr(0, bytes.size()));
    }
    EXPECT_EQ(present, !s.IsNull(1));
  }
  EXPECT_EQ(sizes, (std::vector<size_t>{4999, 0, 4997, 0}));
  EXPECT_TRUE(ui.messages.empty()) << ::testing::PrintToString(ui.Texts());
}

TEST_P(TableTest, TextsWithAccentsApostrophesAndEuroRoundTrip) {
  CreateTable();
  const std::string name = "Città d'Aosta – 5 €";
  const std::string odd = "\"Via\" {Roma}, 5\\6 NULL";  // quotes, braces, comma, backslash
  {
    Table bulk(&db(), "t", true);
    for (int k = 1; k <= 4; ++k) {
      EXPECT_TRUE(bulk.AddNew());
      EXPECT_TRUE(bulk.SetFieldText("k", std::to_string(k)));
      EXPECT_TRUE(bulk.SetFieldText("nome", k == 1 ? name : k == 3 ? odd : k == 4 ? "NULL" : ""));
      EXPECT_TRUE(bulk.Update());
    }
  }
  {
    Table t(&db(), "t");
    Insert(t, "5", "nome", name);
  }
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM t WHERE nome = " + SqlQuote(name)), 2);
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM t WHERE nome = " + SqlQuote(odd)), 1);
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM t WHERE nome = 'NULL'"), 1);
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM t WHERE nome IS NULL"), 1);
  EXPECT_EQ(QueryInt("SELECT LENGTH(nome) FROM t WHERE k = 1"), 19);  // characters
  EXPECT_EQ(FieldOf(1, "nome"), name);
  EXPECT_EQ(FieldOf(3, "nome"), odd);
  EXPECT_EQ(FieldOf(5, "nome"), name);
  Selection s(&db());
  s.AddColumn("t", "nome", kSqlVarChar);
  s.SetFrom("t");
  s.SetWhere(db().dialect().Contains("t.nome", "D'AOSTA"));
  ASSERT_EQ(s.Open(), Fetch::Row);
  EXPECT_EQ(s.GetText(0), name);
}

// Every column type the schema uses, written once a row at a time and once in a bulk block:
// both rows store the same values and read back the same through a Selection (in blocks,
// and a row at a time for byte blocks) and through a Table.
TEST_P(TableTest, EveryTypeStoresAndReadsTheSameWhicheverWayItIsWritten) {
  const Dialect& d = db().dialect();
  const bool decimal = db().IsDao();  // the ODBC forms do not handle DECIMAL
  Exec("CREATE TABLE e (k INTEGER NOT NULL, b" + d.ColumnType('B', 0) + ", i" +
       d.ColumnType('I', 0) + ", l" + d.ColumnType('L', 0) + ", f" + d.ColumnType('F', 0) +
       ", d" + d.ColumnType('D', 0) + ", ts TIMESTAMP, a" + d.ColumnType('A', 40) + ", m" +
       d.ColumnType('M', 0) + ", o" + d.ColumnType('O', 0) +
       (decimal ? ", n" + d.ColumnType('N', 0) : std::string()) +
       d.PrimaryKeyClause("e_codice", {"k"}) + ")");
  const std::string memo = std::string(300, 'm') + " \"Via\" {Roma}, 5\\6 – €";
  const std::string bytes("\0\x01\xff\"\\{,}", 8);
  const std::vector<std::pair<std::string, std::string>> texts = {
      {"b", "1"},           {"i", "-7"},         {"l", "2000000000"},       {"f", "12,5"},
      {"d", "15/03/2010"}, {"ts", "00/00/0000"}, {"a", "Città d'Aosta  "}, {"m", memo}};
  auto fill = [&](Table& t, int k) {
    ASSERT_TRUE(t.AddNew());
    EXPECT_TRUE(t.SetFieldText("k", std::to_string(k)));
    for (const auto& [column, text] : texts) EXPECT_TRUE(t.SetFieldText(column, text)) << column;
    EXPECT_TRUE(t.SetFieldBlob("o", bytes.data(), bytes.size()));
    if (decimal) {
      EXPECT_TRUE(t.SetFieldText("n", "12,50"));
    }
    ASSERT_TRUE(t.Update());
  };
  {
    Table single(&db(), "e");
    fill(single, 1);
  }
  {
    Table bulk(&db(), "e", true, 4);  // a byte-block buffer smaller than the value
    fill(bulk, 2);
  }
  ASSERT_TRUE(ui.messages.empty()) << ::testing::PrintToString(ui.Texts());
  std::vector<std::string> columns = {"b", "i", "l", "f", "d", "ts", "a", "m", "o"};
  if (decimal) columns.push_back("n");
  for (const std::string& c : columns)
    EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM e x, e y WHERE x.k = 1 AND y.k = 2 AND x." + c +
                       " = y." + c),
              1)
        << "column " << c << " stored differently";

  const int types[] = {kSqlSmallInt, kSqlSmallInt, kSqlInteger,     kSqlDouble,
                       kSqlTypeDate, kSqlTimestamp, kSqlVarChar,    kSqlLongVarChar};
  Selection s(&db());
  for (size_t c = 0; c < texts.size(); ++c) s.AddColumn("e", texts[c].first, types[c]);
  s.SetFrom("e");
  s.SetOrderBy("e.k");
  const std::vector<std::string> expected = {
      "1",          "-7", "2000000000", "000000000000012,5000", "15/03/2010",
      db().IsDao() ? "00/00/0000" : "01/01/1600", "Città d'Aosta", memo};
  int rows = 0;
  for (Fetch f = s.Open(); f != Fetch::End; f = s.MoveNext(), ++rows) {
    ASSERT_EQ(f, Fetch::Row);
    for (size_t c = 0; c < texts.size(); ++c)
      EXPECT_EQ(s.GetTextByName("e." + texts[c].first), expected[c]) << texts[c].first;
  }
  EXPECT_EQ(rows, 2);

  Selection blobs(&db());
  blobs.AddColumn("e", "o", kSqlLongVarBinary);
  blobs.AddColumn("e", "d", kSqlTypeDate);
  blobs.SetFrom("e");
  rows = 0;
  for (Fetch f = blobs.Open(); f != Fetch::End; f = blobs.MoveNext(), ++rows) {
    ASSERT_EQ(f, Fetch::Row);
    std::vector<uint8_t> read;
    EXPECT_TRUE(blobs.GetBlob(0, read));
    EXPECT_EQ(std::string(read.begin(), read.end()), bytes);
    EXPECT_EQ(blobs.GetText(1), "15/03/2010");
  }
  EXPECT_EQ(rows, 2);

  for (int k = 1; k <= 2; ++k) {
    Table t(&db(), "e");
    ASSERT_TRUE(Find(t, k));
    std::string out;
    EXPECT_TRUE(t.GetFieldText("l", out) && out == "2000000000") << out;
    EXPECT_TRUE(t.GetFieldText("ts", out) && out == expected[5]) << out;
    EXPECT_TRUE(t.GetFieldText("a", out) && out == "Città d'Aosta") << out;
    EXPECT_TRUE(t.GetFieldText("f", out) &&
                out == (db().IsDao() ? "000000000000012,5000" : "             12.5000"))
        << out;
  }
  EXPECT_TRUE(ui.messages.empty()) << ::testing::PrintToString(ui.Texts());
}

TEST_P(TableTest, TypesTheOdbcFormsDoNotHandleSaySo) {
  if (!IsPostgres()) GTEST_SKIP() << "SQLite reports DECIMAL and TEXT as plain texts";
  Exec("CREATE TABLE n (k INTEGER NOT NULL PRIMARY KEY, amount DECIMAL(10,2), memo TEXT)");
  Exec("INSERT INTO n VALUES (1, 12.50, 'nota')");
  Table t(&db(), "n");
  ASSERT_EQ(t.FindWhere("k = 1"), Fetch::Row);
  ASSERT_TRUE(t.Edit());
  EXPECT_FALSE(t.SetFieldText("amount", "3,5"));
  std::string out;
  EXPECT_TRUE(t.GetFieldText("memo", out));
  EXPECT_EQ(out, "");
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{"DECIMAL NON GESTITO", "TIPO (-1) ???"}));
}

KVT_INSTANTIATE_ENGINES(TableTest);

}  // namespace
}  // namespace kvt::db
