// The row walker on both engines: every row, a stop, a read failing past the first block,
// an edit walk.
#include "db/rows.h"

#include <string>
#include <vector>

#include "db/selection.h"
#include "db/sql_types.h"
#include "db/table.h"
#include "support/engines.h"

namespace kvt::db {
namespace {

class RowsTest : public kvt::test::EngineTest {
 protected:
  // t(k, v): k 1..rows, v = k * 10; more rows than one block of any reader.
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    Exec("CREATE TABLE t (k INTEGER NOT NULL, v INTEGER NULL" +
         db().dialect().PrimaryKeyClause("t_codice", {"k"}) + ")");
    Table t(&db(), "t", true);
    for (int k = 1; k <= kRows; ++k) {
      ASSERT_TRUE(t.AddNew());
      ASSERT_TRUE(t.SetFieldText("k", std::to_string(k)));
      ASSERT_TRUE(t.SetFieldText("v", std::to_string(k * 10)));
      ASSERT_TRUE(t.Update());
    }
    ASSERT_TRUE(t.Flush());
  }
  static constexpr int kRows = 600;
};

TEST_P(RowsTest, WalkEndsAtTheEndAtAStopOrAtAFailedReadNeverTakenForTheEnd) {
  Selection s(&db());
  s.AddColumn("t", "k", kSqlInteger);
  s.SetFrom("t");
  s.SetOrderBy("k");
  long sum = 0, seen = 0;
  EXPECT_EQ(ForEachRow(s, [&] { sum += s.GetLong(0); }), Walk::End);
  EXPECT_EQ(sum, kRows * (kRows + 1) / 2);
  EXPECT_EQ(ForEachRow(s, [&] { return ++seen < 10; }), Walk::Stopped);
  EXPECT_EQ(seen, 10);
  EXPECT_TRUE(ui.messages.empty());

  // Past the first block, where the block reader reads from the driver again.
  seen = 0;
  FailReadAfterRowsForTesting(300);
  EXPECT_EQ(ForEachRow(s, [&] { ++seen; }), Walk::Error);
  EXPECT_EQ(seen, 300);
  EXPECT_EQ(s.MoveNext(), Fetch::End);  // the selection has ended
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{"Errore lettura riga successiva della select "
                                                 "corrente\n\nlettura interrotta (prova)"});

  ui.Clear();
  EditSelection e(&db());
  e.AddColumn("t", "v", kSqlInteger);
  e.SetFrom("t");
  e.SetWhere("k <= 5");
  FailReadAfterRowsForTesting(2);
  EXPECT_EQ(ForEachRow(e, [&] { return e.Edit() && e.SetFieldText("v", "0") && e.Update(); }),
            Walk::Error);
  EXPECT_EQ(ui.Texts().size(), 1u);
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM t WHERE v = 0"), 2);
  EXPECT_EQ(ForEachRow(e, [&] { return e.Edit() && e.SetFieldText("v", "0") && e.Update(); }),
            Walk::End);
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM t WHERE v = 0"), 5);
}

KVT_INSTANTIATE_ENGINES(RowsTest);

}  // namespace
}  // namespace kvt::db
