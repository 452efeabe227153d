#include "db/selection.h"

#include <string>
#include <vector>

#include "db/sql_types.h"
#include "db/table.h"
#include "support/engines.h"

namespace kvt::db {
namespace {

class SelectionTest : public kvt::test::EngineTest {
 protected:
  // corse(azienda, ID, lung, v_media, linea, datini) with `rows` rows: ID 1..rows.
  void CreateCorse(int rows) {
    const Dialect& d = db().dialect();
    Exec(
        "CREATE TABLE corse (azienda SMALLINT NOT NULL, ID INTEGER NOT NULL, lung INTEGER "
        "NULL, v_media" +
        d.ColumnType('F', 0) + " NULL, linea" + d.ColumnType('A', 10) + " NULL, datini" +
        d.ColumnType('D', 0) + " NULL" + d.PrimaryKeyClause("corse_codice", {"azienda", "ID"}) +
        ")");
    Table t(&db(), "corse", true);
    for (int id = 1; id <= rows; ++id) {
      EXPECT_TRUE(t.AddNew());
      EXPECT_TRUE(t.SetFieldText("azienda", "7"));
      EXPECT_TRUE(t.SetFieldText("ID", std::to_string(id)));
      EXPECT_TRUE(t.SetFieldText("lung", std::to_string(id * 100)));
      EXPECT_TRUE(t.SetFieldText("v_media", id % 2 ? "12,5" : ""));
      EXPECT_TRUE(t.SetFieldText("linea", "L" + std::to_string(id % 3)));
      EXPECT_TRUE(t.SetFieldText("datini", "15/03/2010"));
      EXPECT_TRUE(t.Update());
    }
  }
  void AddCorseColumns(Selection& s) {
    s.AddColumn("corse", "ID", kSqlInteger);
    s.AddColumn("corse", "lung", kSqlInteger);
    s.AddColumn("corse", "v_media", kSqlFloat);
    s.AddColumn("corse", "linea", kSqlChar);
    s.AddColumn("corse", "datini", kSqlDate);
    s.AddColumn("corse", "azienda", kSqlSmallInt);
    s.SetFrom("corse");
  }
};

TEST_P(SelectionTest, AssemblesTheSqlFromItsClauses) {
  CreateCorse(1);
  Exec("CREATE TABLE mesi (azienda SMALLINT NOT NULL, ID INTEGER NOT NULL, anno SMALLINT)");
  Selection s(&db());
  s.AddColumn("corse", "ID", kSqlInteger);
  s.AddColumn("mesi", "anno", kSqlSmallInt);
  s.SetFrom("corse LEFT JOIN mesi ON corse.ID = mesi.ID");
  s.SetWhere("corse.azienda = 7");
  s.SetGroupBy("corse.ID, mesi.anno");
  s.SetOrderBy("corse.ID");
  ASSERT_EQ(s.Open(), Fetch::Row);
  EXPECT_EQ(s.Sql(),
            "SELECT corse.ID, mesi.anno FROM corse LEFT JOIN mesi ON corse.ID = mesi.ID WHERE "
            "corse.azienda = 7 GROUP BY corse.ID, mesi.anno ORDER BY corse.ID ");
  EXPECT_EQ(s.GetLong(0), 1);
  EXPECT_TRUE(s.IsNull(1));
  s.SetWhere("corse.ID = 2");  // reuse runs the previous SQL, not the new clause
  EXPECT_EQ(s.Open(true), Fetch::Row);

  Selection plain(&db());
  plain.AddColumn("corse", "ID", kSqlInteger);
  plain.SetFrom("corse");
  ASSERT_EQ(plain.Open(), Fetch::Row);
  EXPECT_EQ(plain.Sql(), "SELECT corse.ID FROM corse ");

  Selection none(&db());
  none.SetFrom("corse");
  EXPECT_EQ(none.Open(), Fetch::Error);  // no columns: nothing to run, and no message
  EXPECT_EQ(none.Sql(), "");
  Selection noFrom(&db());
  noFrom.AddColumn("corse", "ID", kSqlInteger);
  EXPECT_EQ(noFrom.Open(), Fetch::Error);

  DeleteSelection del(&db());
  del.SetColumns("azienda");
  del.SetFrom("corse");
  del.SetWhere("azienda = 7");
  EXPECT_EQ(del.Open(), Fetch::Row);
  EXPECT_EQ(del.Sql(), "SELECT azienda FROM corse WHERE azienda = 7 ");

  EditSelection edit(&db());
  edit.AddColumn("corse", "lung", kSqlInteger);
  edit.SetFrom("corse");
  edit.SetWhere("azienda = 7");
  edit.SetOrderBy("lung");
  EXPECT_EQ(edit.Open(), Fetch::Row);
  EXPECT_EQ(edit.Sql(), "SELECT corse.lung FROM corse WHERE azienda = 7 ORDER BY lung ");
  EXPECT_TRUE(ui.messages.empty()) << ::testing::PrintToString(ui.Texts());
}

TEST_P(SelectionTest, DeliversEveryRowInOrderAcrossBlocks) {
  CreateCorse(60);
  Selection s(&db());
  AddCorseColumns(s);
  s.SetOrderBy("corse.ID");
  std::vector<int> ids;
  for (Fetch f = s.Open(); f == Fetch::Row; f = s.MoveNext()) {
    ids.push_back(s.GetLong(0));
    EXPECT_EQ(s.GetLong(1), s.GetLong(0) * 100);
  }
  ASSERT_EQ(ids.size(), 60u);
  for (int i = 0; i < 60; ++i) EXPECT_EQ(ids[static_cast<size_t>(i)], i + 1);
  EXPECT_FALSE(s.IsPositioned());
  EXPECT_EQ(s.MoveNext(), Fetch::End);
  EXPECT_EQ(s.GetLong(0), 0);  // not positioned: nothing to read

  ASSERT_EQ(s.Requery(), Fetch::Row);
  EXPECT_EQ(s.GetLong(0), 1);

  Selection empty(&db());
  AddCorseColumns(empty);
  empty.SetWhere("corse.ID > 1000");
  EXPECT_EQ(empty.Open(), Fetch::End);
  EXPECT_FALSE(empty.IsPositioned());
  EXPECT_TRUE(ui.messages.empty());
}

TEST_P(SelectionTest, ReadsValuesInTheTypeTheyWereListedWith) {
  CreateCorse(2);
  Selection s(&db());
  AddCorseColumns(s);
  s.SetOrderBy("corse.ID");
  ASSERT_EQ(s.Open(), Fetch::Row);
  EXPECT_EQ(s.GetDouble(2), 12.5);
  EXPECT_EQ(s.GetTextByName("corse.v_media"), "000000000000012,5000");
  EXPECT_EQ(s.GetTextByName("corse.ID"), "1");
  EXPECT_EQ(s.GetTextByName("corse.azienda"), "7");
  EXPECT_EQ(s.GetTextByName("corse.linea"), "L1");
  EXPECT_EQ(s.GetTextByName("corse.datini"), "15/03/2010");
  EXPECT_EQ(s.GetTextByName("corse.nope"), "");
  EXPECT_EQ(s.GetText(3), "L1");
  EXPECT_EQ(s.GetText(4), "15/03/2010");
  EXPECT_EQ(s.GetShort(5), 7);
  // A type mismatch gives 0 or the empty text, not the value.
  EXPECT_EQ(s.GetShort(0), 0);
  EXPECT_EQ(s.GetLong(5), 0);
  EXPECT_EQ(s.GetDouble(1), 0);
  EXPECT_EQ(s.GetText(0), "");
  ASSERT_EQ(s.MoveNext(), Fetch::Row);
  EXPECT_TRUE(s.IsNull(2));
  EXPECT_EQ(s.GetDouble(2), 0);
  EXPECT_EQ(s.GetTextByName("corse.v_media"), "0,0");
  Exec("UPDATE corse SET lung = NULL, linea = NULL, datini = NULL WHERE ID = 2");
  ASSERT_EQ(s.Requery(), Fetch::Row);
  ASSERT_EQ(s.MoveNext(), Fetch::Row);
  EXPECT_EQ(s.GetTextByName("corse.lung"), "0");
  EXPECT_EQ(s.GetTextByName("corse.linea"), "");
  EXPECT_EQ(s.GetTextByName("corse.datini"), "");
  EXPECT_EQ(s.GetText(4), "");
}

TEST_P(SelectionTest, DatesReadBackPerMethod) {
  CreateCorse(1);
  Exec("UPDATE corse SET datini = " + db().dialect().DateLiteral(1, 1, 1600));
  Selection s(&db());
  AddCorseColumns(s);
  ASSERT_EQ(s.Open(), Fetch::Row);
  EXPECT_EQ(s.GetText(4), db().IsDao() ? "00/00/0000" : "01/01/1600");
  EXPECT_EQ(s.GetTextByName("corse.datini"), db().IsDao() ? "00/00/0000" : "01/01/1600");
}

TEST_P(SelectionTest, ErrorsAreReportedWithTheDriverText) {
  CreateCorse(1);
  Selection s(&db());
  s.AddColumn("corse", "nope", kSqlInteger);
  s.SetFrom("corse");
  EXPECT_EQ(s.Open(), Fetch::Error);  // an error, not the end of the rows
  EXPECT_EQ(s.LastError().text, IsPostgres() ? "ERROR: column corse.nope does not exist;\n"
                                                "Error while executing the query"
                                              : "[SQLite]no such column: corse.nope (1)");
  EXPECT_FALSE(s.LastError().state.empty());
  if (IsPostgres()) {
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{
                              "Errore estrazione Select SQL\n\nERROR: column corse.nope does "
                              "not exist;\nError while executing the query"});
  } else {
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Warning);
    EXPECT_EQ(ui.messages[0].text,
              "Errore sintassi SQL\n\nSELECT corse.nope FROM corse \n\n[SQLite]no such column: "
              "corse.nope (1)");
  }
  ui.Clear();
  Selection odd(&db());
  odd.AddColumn("corse", "ID", 99);
  odd.AddColumn("corse", "lung", kSqlInteger);
  odd.SetFrom("corse");
  ASSERT_EQ(odd.Open(), Fetch::Row);
  EXPECT_EQ(odd.GetLong(1), 100);
  EXPECT_EQ(odd.GetTextByName("corse.ID"), "");
  EXPECT_EQ(ui.Texts(),
            std::vector<std::string>{"ATTENZIONE: tipo dati SQL (99) non riconosciuto.\n\n"
                                     "[Binding colonna fallito]\n"});
}

TEST_P(SelectionTest, EditSelectionOverTwoTablesDoesNotOpen) {
  CreateCorse(1);
  Exec("CREATE TABLE mesi (ID INTEGER NOT NULL, anno SMALLINT)");
  EditSelection edit(&db());
  edit.AddColumn("corse", "lung", kSqlInteger);
  edit.AddColumn("mesi", "anno", kSqlSmallInt);
  edit.SetFrom("corse, mesi");
  EXPECT_EQ(edit.Open(), Fetch::Error);
  EXPECT_EQ(edit.Sql(), "");
  EXPECT_FALSE(edit.IsPositioned());
  EXPECT_FALSE(edit.Edit());
  EXPECT_TRUE(ui.messages.empty());
}

// Byte blocks and decimals cannot be edited as text: an error box says so and the row keeps
// its value.
TEST_P(SelectionTest, EditSelectionRefusesTypesItDoesNotHandle) {
  const Dialect& d = db().dialect();
  Exec("CREATE TABLE geo (ID INTEGER NOT NULL PRIMARY KEY, coord" + d.ColumnType('O', 0) +
       " NULL, costo NUMERIC(8,2) NULL)");
  Exec("INSERT INTO geo (ID, costo) VALUES (1, 2.5)");
  EditSelection edit(&db());
  edit.AddColumn("geo", "coord", kSqlLongVarBinary);
  edit.AddColumn("geo", "costo", kSqlDecimal);
  edit.SetFrom("geo");
  ASSERT_EQ(edit.Open(), Fetch::Row);
  ASSERT_TRUE(edit.Edit());
  EXPECT_FALSE(edit.SetFieldText("coord", "0102"));
  std::vector<std::string> expected = {"VARBINARY NON GESTITO"};
  if (IsPostgres()) {  // SQLite reports a NUMERIC column as a plain text, which it edits
    EXPECT_FALSE(edit.SetFieldText("costo", "3,5"));
    expected.push_back("DECIMAL NON GESTITO");
  }
  EXPECT_TRUE(edit.Update());
  EXPECT_EQ(ui.Texts(), expected);
  for (const auto& m : ui.messages) EXPECT_EQ(m.icon, MsgIcon::Stop) << m.text;
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM geo WHERE coord IS NULL AND costo = 2.5"), 1);
}

TEST_P(SelectionTest, EditSelectionUpdatesEachRowByItsKey) {
  CreateCorse(40);
  EditSelection edit(&db());
  edit.AddColumn("corse", "lung", kSqlInteger);  // the key (azienda, ID) is not listed
  edit.AddColumn("corse", "v_media", kSqlFloat);
  edit.AddColumn("corse", "linea", kSqlChar);
  edit.SetFrom("corse");
  edit.SetWhere("linea = 'L1'");
  edit.SetOrderBy("lung");
  int seen = 0;
  for (Fetch f = edit.Open(); f == Fetch::Row; f = edit.MoveNext()) {
    std::string lung;
    ASSERT_TRUE(edit.GetFieldText("lung", lung));
    ASSERT_TRUE(edit.Edit());
    EXPECT_TRUE(edit.SetFieldText("v_media", lung + ",25"));
    EXPECT_TRUE(edit.SetFieldText("linea", "X  "));
    ASSERT_TRUE(edit.Update());
    ++seen;
  }
  EXPECT_EQ(seen, 14);
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM corse WHERE linea = 'X' AND v_media = lung + 0.25"), 14);
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM corse WHERE linea IN ('L0', 'L2')"), 26);
  EXPECT_TRUE(ui.messages.empty()) << ::testing::PrintToString(ui.Texts());
}

TEST_P(SelectionTest, DeleteSelectionDeletesTheMatchingRows) {
  CreateCorse(60);
  DeleteSelection some(&db());
  some.SetColumns("azienda");
  some.SetFrom("corse");
  some.SetWhere("linea = 'L0'");
  long deleted = 0;
  for (Fetch f = some.Open(); f != Fetch::End; f = some.MoveNext()) {
    ASSERT_EQ(f, Fetch::Row);
    ASSERT_TRUE(some.DeleteRowset());
    deleted += some.RowsDeleted();
  }
  EXPECT_EQ(deleted, 20);
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM corse"), 40);
  EXPECT_EQ(some.Open(true), Fetch::End);  // nothing left to delete, and no error

  DeleteSelection all(&db());
  all.SetColumns("azienda");
  all.SetFrom("corse");
  ASSERT_EQ(all.Open(), Fetch::Row);
  ASSERT_TRUE(all.DeleteRowset());
  EXPECT_EQ(all.RowsDeleted(), 40);
  EXPECT_EQ(all.MoveNext(), Fetch::End);
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM corse"), 0);
  EXPECT_TRUE(ui.messages.empty());

  DeleteSelection missing(&db());
  missing.SetColumns("azienda");
  missing.SetFrom("corse_altrove");
  EXPECT_EQ(missing.Open(), Fetch::Error);
  ASSERT_EQ(ui.Texts().size(), 1u);
  EXPECT_EQ(ui.Texts()[0].rfind("Errore estrazione Select SQL\n\n", 0), 0u) << ui.Texts()[0];
}

// A selection is read while other objects write on the same connection, as the commands
// do: inserting into another table (whose blocks commit outside a transaction) and
// deleting rows found along the way.
TEST_P(SelectionTest, StaysReadableWhileOtherObjectsWrite) {
  const int rows = IsPostgres() ? 12000 : 3000;  // past psqlODBC's 10000-row cache
  CreateCorse(rows);
  Exec("CREATE TABLE copia (ID INTEGER NOT NULL PRIMARY KEY, lung INTEGER)");
  Exec("CREATE TABLE scarto (ID INTEGER NOT NULL PRIMARY KEY)");
  Exec("INSERT INTO scarto (ID) SELECT ID FROM corse");
  for (const bool inTransaction : {false, true}) {
    SCOPED_TRACE(inTransaction ? "inside a transaction" : "outside a transaction");
    Exec("DELETE FROM copia");
    if (inTransaction) {
      ASSERT_TRUE(db().Begin());
    }
    Selection s(&db());
    s.AddColumn("corse", "ID", kSqlInteger);
    s.AddColumn("corse", "lung", kSqlInteger);
    s.SetFrom("corse");
    s.SetOrderBy("corse.ID");
    int expected = 1;
    {
      Table copy(&db(), "copia", true);
      for (Fetch f = s.Open(); f == Fetch::Row; f = s.MoveNext(), ++expected) {
        ASSERT_EQ(s.GetLong(0), expected);
        EXPECT_TRUE(copy.AddNew());
        EXPECT_TRUE(copy.SetFieldText("ID", std::to_string(s.GetLong(0))));
        EXPECT_TRUE(copy.SetFieldText("lung", std::to_string(s.GetLong(1))));
        EXPECT_TRUE(copy.Update());
        if (s.GetLong(0) % 1000 != 0) continue;
        DeleteSelection del(&db());
        del.SetColumns("ID");
        del.SetFrom("scarto");
        del.SetWhere("ID = " + std::to_string(s.GetLong(0)));
        ASSERT_EQ(del.Open(), Fetch::Row);
        ASSERT_TRUE(del.DeleteRowset());
      }
    }
    if (inTransaction) {
      ASSERT_TRUE(db().Commit());
    }
    EXPECT_EQ(expected, rows + 1);
    EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM copia"), rows);
    EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM scarto"), rows - rows / 1000);
    Exec("INSERT INTO scarto (ID) SELECT ID FROM corse WHERE ID % 1000 = 0");
  }
  EXPECT_TRUE(ui.messages.empty()) << ::testing::PrintToString(ui.Texts());
}

KVT_INSTANTIATE_ENGINES(SelectionTest);

}  // namespace
}  // namespace kvt::db
