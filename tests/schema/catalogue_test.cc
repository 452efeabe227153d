// The catalogue as transcribed: tables in creation order with their column counts, keys and
// second indices, type letters and sizes, and texts kept byte for byte (accents and the
// historical slips included). Lengths that the dictionary columns cannot hold are refused by
// the server when a database is initialised (init_test).
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "schema/catalogue.h"

namespace kvt::schema {
namespace {

TEST(Catalogue, HoldsEveryTableWithItsColumnsInCreationOrder) {
  const std::vector<std::pair<std::string_view, size_t>> expected = {
      {"bacini", 2},   {"regazi", 2},   {"regent", 2},   {"comuni", 7},  {"geocom", 9},
      {"local", 7},    {"geoloc", 9},   {"tipozona", 2}, {"zone", 6},    {"geozone", 10},
      {"linkzone", 5}, {"lotti", 2},    {"tesmat", 2},   {"detmat", 5},  {"tesmcm", 2},
      {"detmcm", 5},   {"tesmzn", 3},   {"detmzn", 6},   {"proto", 9},   {"fermate", 11},
      {"archi", 6},    {"tesitine", 5}, {"detitine", 6}, {"corse", 23},  {"orari", 11},
      {"giorni", 5},   {"mesi", 6},     {"linee", 4},    {"concors", 5}, {"conline", 4},
      {"conkal", 6},   {"conitine", 9}, {"geoitine", 8}, {"poli", 5},    {"polferma", 3},
      {"tesdir", 2},   {"detdir", 4},   {"symday", 4}};
  const std::vector<TableDef>& tables = ApplicationTables();
  ASSERT_EQ(tables.size(), 38u);
  size_t columns = 0;
  for (size_t i = 0; i < tables.size(); ++i) {
    EXPECT_EQ(tables[i].name, expected[i].first);
    EXPECT_EQ(tables[i].columns.size(), expected[i].second) << tables[i].name;
    columns += tables[i].columns.size();
    // Only texts have a size; byte blocks are never mandatory.
    for (const ColumnDef& c : tables[i].columns) {
      EXPECT_NE(std::string_view("ABDFILO").find(c.letter), std::string_view::npos) << c.name;
      EXPECT_EQ(c.letter == 'A', c.size > 0) << tables[i].name << "." << c.name;
      EXPECT_FALSE(c.letter == 'O' && c.mandatory) << tables[i].name;
    }
  }
  EXPECT_EQ(columns, 222u);
  EXPECT_EQ(ApplicationRelations().size(), 47u);
}

TEST(Catalogue, KeysAndSecondIndicesAreAsDefined) {
  std::map<std::string, std::string> second;  // table -> "name:primary:columns"
  for (const TableDef& t : ApplicationTables()) {
    ASSERT_FALSE(t.indices.empty()) << t.name;
    EXPECT_EQ(t.indices[0].name, "codice") << t.name;
    EXPECT_TRUE(t.indices[0].primaryKey) << t.name;
    ASSERT_LE(t.indices.size(), 2u) << t.name;
    if (t.indices.size() < 2) continue;
    const IndexDef& i = t.indices[1];
    std::string text = std::string(i.name) + ":" + (i.primaryKey ? "1" : "0") + ":";
    for (std::string_view c : i.columns) text += std::string(c) + ",";
    second[std::string(t.name)] = text;
  }
  std::map<std::string, std::string> expected = {
      {"comuni", "istat:1:istat,"},  {"linkzone", "inverso:1:azienda,fermata,tipo,zona,"},
      {"tesmzn", "cod2:1:ID,tipo,"}, {"detdir", "poli:1:polo,ID,"},
      {"polferma", "polo:0:ID,"},    {"symday", "data:0:tipo,data,"}};
  EXPECT_EQ(second, expected);
  EXPECT_EQ(FindTableDef("mesi")->indices[0].columns,
            (std::vector<std::string_view>{"azienda", "ID", "anno", "mese", "protoc"}));
  EXPECT_EQ(FindTableDef("nessuna"), nullptr);
}

TEST(Catalogue, KeepsTheTextsByteForByte) {
  const TableDef* local = FindTableDef("local");
  EXPECT_EQ(local->label, "Localit\xC3\xA0");
  EXPECT_EQ(local->columns[3].description,
            "Se vero indica un Nucleo abitato; altrimenti \xC3\xA8 un Centro Abitato");
  const ColumnDef& speed = FindTableDef("corse")->columns[18];
  EXPECT_EQ(speed.name, "v_media");
  EXPECT_EQ(speed.label, "Velocit\xC3\xA0 Media");
  EXPECT_FALSE(speed.mandatory);
  EXPECT_EQ(FindTableDef("corse")->columns[20].description,
            "U=busUrbano X=buseXtra W=tramWay F=Funicolare T=Treno N=Nave");
  EXPECT_EQ(FindTableDef("linkzone")->columns[3].description, "ID univoco della feramta");
  EXPECT_EQ(FindTableDef("tesdir")->columns[1].description,
            "Contiene la denominazione della Direttice");
  EXPECT_EQ(FindTableDef("conitine")->label, "detitine");
  EXPECT_EQ(FindTableDef("giorni")->columns[4].description,
            "Giorno della settimana (1=Lun/2=Mar/3=Mer/4=Gio/5=Ven/6=Sab/7=Dom");
  const ColumnDef& resple = FindTableDef("proto")->columns[3];
  EXPECT_EQ(resple.name, "resple");
  EXPECT_EQ(resple.size, 40);
  EXPECT_FALSE(resple.mandatory);
}

}  // namespace
}  // namespace kvt::schema
