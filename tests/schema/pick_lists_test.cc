// The pick lists of the coded tables, on both engines: which rows, in which order, in which
// form; a list read half-way is no list.
#include "schema/pick_lists.h"

#include <gtest/gtest.h>

#include "db/rows.h"
#include "support/schema_fixture.h"

namespace kvt::schema {
namespace {

using Strings = std::vector<std::string>;

class PickListTest : public kvt::test::SchemaTest {
 protected:
  void Protocol(int azienda, int protoc, const char* tipo) {
    AddRow("proto", {{"azienda", std::to_string(azienda)},
                     {"protoc", std::to_string(protoc)},
                     {"datini", "01/01/2010"},
                     {"datfin", "31/12/2010"},
                     {"primacom", "1"},
                     {"tipo", tipo},
                     {"azzera", "0"}});
  }
};

TEST_P(PickListTest, ListsTheJoinedRowsOnceEachInTheirOrderAndForm) {
  // A company whose name ties with 101's, and a name stored with trailing blanks.
  Exec("INSERT INTO regazi (codice, denom) VALUES (99, 'Autolinee Velmoresi S.p.A.')");
  Exec("UPDATE regazi SET denom = 'Trasporti Urbani di Velmora S.r.l.   ' WHERE codice = 102");
  Protocol(102, 1, "P");
  Protocol(101, 1, "P");
  Protocol(101, 2, "A");
  Protocol(99, 1, "P");
  Protocol(103, 1, "B");
  const PickListQuery plans{PickTable::Companies, "proto",
                            "(proto.tipo = 'P' OR proto.tipo = 'A') AND "
                            "proto.azienda = regazi.codice"};
  EXPECT_EQ(ReadPickList(db(), plans),
            (Strings{"0099 - Autolinee Velmoresi S.p.A.", "0101 - Autolinee Velmoresi S.p.A.",
                     "0102 - Trasporti Urbani di Velmora S.r.l."}));
  PickListQuery byCode = plans;
  byCode.order = PickOrder::ByCode;
  byCode.where = "proto.azienda = regazi.codice";
  EXPECT_EQ(ReadPickList(db(), byCode),
            (Strings{"0099 - Autolinee Velmoresi S.p.A.", "0101 - Autolinee Velmoresi S.p.A.",
                     "0102 - Trasporti Urbani di Velmora S.r.l.",
                     "0103 - Ferrovie Regionali del Velmora S.p.A."}));

  for (const auto& [id, name, provin] : {std::tuple{7, "Velmora", "VE"},
                                         {3, "Arcole", "VE"},
                                         {12, "Castelvere", "CV"},
                                         {8, "Bosco", "C"}}) {
    AddRow("comuni", {{"ID", std::to_string(id)},
                      {"denom", name},
                      {"provin", provin},
                      {"istat", "0000" + std::to_string(id)},
                      {"bacino", "0"},
                      {"centro_x", "0"},
                      {"centro_y", "0"}});
  }
  EXPECT_EQ(ReadPickList(db(), {PickTable::Municipalities, "", "comuni.ID > 0",
                                PickOrder::ByProvinceAndName, true}),
            (Strings{"0008 - C  - Bosco", "0012 - CV - Castelvere", "0003 - VE - Arcole",
                     "0007 - VE - Velmora"}));
  EXPECT_EQ(ReadPickList(db(), {PickTable::Municipalities}),
            (Strings{"0000 - *** comune non assegnato ***", "0003 - Arcole", "0008 - Bosco",
                     "0012 - Castelvere", "0007 - Velmora"}));

  const auto names = ReadPickNames(db(), PickTable::Companies);
  ASSERT_TRUE(names);
  EXPECT_EQ(names->at(99), "Autolinee Velmoresi S.p.A.");
  EXPECT_EQ(names->at(104), "Navigazione Lago di Castelvere");
  EXPECT_EQ(names->at(102), "Trasporti Urbani di Velmora S.r.l.");
  EXPECT_TRUE(ui.messages.empty()) << ::testing::PrintToString(ui.Texts());
}

// A read that fails after some rows gives no list, and no names, only its message.
TEST_P(PickListTest, AListReadHalfWayIsNoList) {
  const Strings failed = {
      "Errore lettura riga successiva della select corrente\n\nlettura interrotta (prova)"};
  db::FailReadAfterRowsForTesting(2);
  EXPECT_EQ(ReadPickList(db(), {PickTable::Authorities}), std::nullopt);
  EXPECT_EQ(ui.Texts(), failed);
  ui.Clear();
  db::FailReadAfterRowsForTesting(3);
  EXPECT_EQ(ReadPickNames(db(), PickTable::Companies), std::nullopt);
  EXPECT_EQ(ui.Texts(), failed);
  ui.Clear();
  EXPECT_EQ(ReadPickList(db(), {PickTable::Authorities})->size(), 5u);  // once, then gone
  EXPECT_TRUE(ui.messages.empty());
}

KVT_INSTANTIATE_ENGINES(PickListTest);

}  // namespace
}  // namespace kvt::schema
