// Completing existing tables and relations from the dictionary (the file method's way of
// finishing a database made elsewhere), on both engines: rows survive, keys and mandatory
// columns are added, a relation that existing rows would break is refused with its count.
#include <gtest/gtest.h>

#include "db/catalog.h"
#include "db/database.h"
#include "schema/dictionary.h"
#include "schema/generator.h"
#include "schema/init.h"
#include "support/engines.h"

namespace kvt::schema {
namespace {

class UpdateFromDictionaryTest : public kvt::test::EngineTest {
 protected:
  // The dictionary alone, as in a file still to be completed.
  void WriteDictionaryOnly() {
    db::Transaction tx(db());
    ASSERT_TRUE(CreateSpecialTables(db()));
    ASSERT_TRUE(WriteDictionary(db()));
    ASSERT_TRUE(tx.Commit());
  }
};

TEST_P(UpdateFromDictionaryTest, CompletesTablesAndAddsTheRelationsTheRowsAllow) {
  WriteDictionaryOnly();
  Exec("CREATE TABLE lotti (ID SMALLINT NOT NULL)");
  Exec("INSERT INTO lotti (ID) VALUES (0)");
  Exec("INSERT INTO lotti (ID) VALUES (5)");
  Exec(
      "CREATE TABLE corse (azienda SMALLINT NOT NULL, ID INTEGER NOT NULL, lotto SMALLINT NOT "
      "NULL, PRIMARY KEY (azienda, ID))");
  Exec("INSERT INTO corse (azienda, ID, lotto) VALUES (101, 1, 5)");
  Exec("INSERT INTO corse (azienda, ID, lotto) VALUES (101, 2, 7)");

  EXPECT_TRUE(UpdateTableFromDictionary(db(), "lotti"));
  db::LiveTable lotti = db::ReadLiveTable(db(), "lotti");
  ASSERT_EQ(lotti.columns.size(), 2u);
  EXPECT_FALSE(lotti.columns[1].nullable);
  EXPECT_EQ(lotti.primaryKey.size(), 1u);
  EXPECT_EQ(Rows("SELECT ID, denom FROM lotti ORDER BY ID", 2),
            (std::vector<std::string>{"0|", "5|"}));  // the new mandatory text is empty

  // Trip 2 names lot 7, which does not exist: the relation is refused and nothing changes.
  EXPECT_FALSE(UpdateRelationsFromDictionary(db()));
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{
                            "Errore creazione relazione \"corse_lotto\"\n\n"
                            "Righe della tavola \"corse\" senza corrispondenza nella tavola "
                            "\"lotti\": 1"});
  EXPECT_EQ(ui.messages[0].caption, "Creazione relazioni");
  EXPECT_TRUE(db::ReadLiveTable(db(), "corse").foreignKeys.empty());
  ui.Clear();

  Exec("DELETE FROM corse WHERE ID = 2");
  EXPECT_TRUE(UpdateRelationsFromDictionary(db()));
  EXPECT_TRUE(ui.messages.empty());
  db::LiveTable corse = db::ReadLiveTable(db(), "corse");
  ASSERT_EQ(corse.foreignKeys.size(), 1u);
  EXPECT_EQ(corse.columns.size(), 3u);  // only the relation was added here
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM corse"), 1);
  EXPECT_FALSE(db().ExecuteSql("DELETE FROM lotti WHERE ID = 5"));
  EXPECT_TRUE(db().ExecuteSql("DELETE FROM lotti WHERE ID = 0")) << db().LastError().text;
  // The idx_ index the relation on `id` asks for, created once.
  bool idx = false;
  for (const db::LiveIndex& i : db::ReadLiveTable(db(), "lotti").indices) {
    idx = idx || i.name == "idx_corse_lotto";
  }
  EXPECT_TRUE(idx);
  EXPECT_TRUE(UpdateRelationsFromDictionary(db()));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_P(UpdateFromDictionaryTest, MissingTableIsCreatedAndUnknownTableRefused) {
  WriteDictionaryOnly();
  EXPECT_TRUE(UpdateTableFromDictionary(db(), "bacini"));
  EXPECT_EQ(db::ReadLiveTable(db(), "bacini").columns.size(), 2u);
  EXPECT_FALSE(UpdateTableFromDictionary(db(), "nessuna"));
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{"Errore inizializzazione tavola \"nessuna\""});
  EXPECT_EQ(ui.messages[0].caption, "Creazione Tavola \"nessuna\"");
}

KVT_INSTANTIATE_ENGINES(UpdateFromDictionaryTest);

}  // namespace
}  // namespace kvt::schema
