#include "db/selection.h"
#include "db/sql_types.h"
#include "db/table.h"
#include "support/engines.h"

namespace kvt::db {
namespace {
class SmokeTest : public kvt::test::EngineTest {};
TEST_P(SmokeTest, WritesAndReads) {
  Exec("CREATE TABLE t (k INTEGER NOT NULL, nome VARCHAR(40), d DATE, f FLOAT, PRIMARY KEY (k))");
  {
    Table t(&db(), "t", true);
    ASSERT_TRUE(t.IsOpen());
    for (int i = 0; i < 60; ++i) {
      t.AddNew();
      t.SetFieldText("k", std::to_string(i));
      t.SetFieldText("nome", "Città d'Aosta €  ");
      t.SetFieldText("d", "00/00/0000");
      t.SetFieldText("f", "12,5");
      t.Update();
    }
  }
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM t"), 60);
  Selection s(&db());
  s.AddColumn("t", "k", kSqlInteger);
  s.AddColumn("t", "nome", kSqlVarChar);
  s.AddColumn("t", "d", kSqlDate);
  s.AddColumn("t", "f", kSqlFloat);
  s.SetFrom("t");
  s.SetOrderBy("t.k");
  int n = 0;
  for (bool ok = s.Open(); ok; ok = s.MoveNext()) {
    EXPECT_EQ(s.GetLong(0), n);
    EXPECT_EQ(s.GetText(1), "Città d'Aosta €");
    EXPECT_EQ(s.GetTextByName("t.f"), "000000000000012,5000");
    ++n;
  }
  EXPECT_EQ(n, 60);
  EXPECT_EQ(s.GetText(2), "");
  EXPECT_TRUE(ui.messages.empty()) << ::testing::PrintToString(ui.Texts());
}
KVT_INSTANTIATE_ENGINES(SmokeTest);
}  // namespace
}  // namespace kvt::db
