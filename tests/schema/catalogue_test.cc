// The catalogue as transcribed: its keys and second indices, type letters and sizes,
// and texts kept byte for byte (accents and the historical slips included). Lengths that the
// dictionary columns cannot hold are refused by the server when a database is initialised.
#include <gtest/gtest.h>

#include <string>

#include "schema/catalogue.h"

namespace kvt::schema {
namespace {

TEST(Catalogue, HoldsEveryTableWithWellFormedColumns) {
  for (const TableDef& t : ApplicationTables()) {
    // Only texts have a size; byte blocks are never mandatory.
    for (const ColumnDef& c : t.columns) {
      EXPECT_NE(std::string_view("ABDFILO").find(c.letter), std::string_view::npos) << c.name;
      EXPECT_EQ(c.letter == 'A', c.size > 0) << t.name << "." << c.name;
      EXPECT_FALSE(c.letter == 'O' && c.mandatory) << t.name;
    }
  }
}

// Every table's key is its "codice" index; the months of the running days are keyed by
// company, trip, year, month and communication.
TEST(Catalogue, KeysAreTheCodiceIndices) {
  for (const TableDef& t : ApplicationTables()) {
    ASSERT_FALSE(t.indices.empty()) << t.name;
    EXPECT_EQ(t.indices[0].name, "codice") << t.name;
    EXPECT_TRUE(t.indices[0].primaryKey) << t.name;
    EXPECT_LE(t.indices.size(), 2u) << t.name;
  }
  EXPECT_EQ(FindTableDef("mesi")->indices[0].columns,
            (std::vector<std::string_view>{"azienda", "ID", "anno", "mese", "protoc"}));
  EXPECT_EQ(FindTableDef("nessuna"), nullptr);
}

// The accented texts are UTF-8 as written, and the historical slips are kept.
TEST(Catalogue, KeepsTheTextsByteForByte) {
  EXPECT_EQ(FindTableDef("local")->label, "Localit\xC3\xA0");
  EXPECT_EQ(FindTableDef("linkzone")->columns[3].description, "ID univoco della feramta");
  EXPECT_EQ(FindTableDef("conitine")->label, "detitine");
}

}  // namespace
}  // namespace kvt::schema
