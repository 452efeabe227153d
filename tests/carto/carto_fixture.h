// A database with the full schema on each engine, and helpers to put municipalities,
// localities, boundaries, stops and trips in it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "carto/areas.h"
#include "core/text.h"
#include "db/selection.h"
#include "db/sql_types.h"
#include "db/table.h"
#include "support/schema_fixture.h"

namespace kvt::carto::test {

using kvt::test::Row;
using Strings = std::vector<std::string>;

inline Ring Square(double x0, double y0, double side) {
  return Ring({{x0, y0}, {x0 + side, y0}, {x0 + side, y0 + side}, {x0, y0 + side}, {x0, y0}});
}

class CartoDbTest : public kvt::test::SchemaTest {
 protected:
  void Municipality(int id, const std::string& name, const std::string& istat) {
    AddRow("comuni", {{"ID", std::to_string(id)}, {"denom", name}, {"provin", "AQ"},
                      {"istat", istat}, {"bacino", "0"}, {"centro_x", "9"}, {"centro_y", "9"}});
  }
  void Locality(int id, const std::string& name, const std::string& istat, double x = 0,
                double y = 0) {
    AddRow("local", {{"ID", std::to_string(id)}, {"denom", name}, {"istat", istat},
                     {"nucleo", "0"}, {"abitanti", "0"}, {"centro_x", CommaNumber(x)},
                     {"centro_y", CommaNumber(y)}});
  }
  // A protocol row of the company, for its stops and trips to hang on.
  void Protocol(int azienda) {
    AddRow("proto", {{"azienda", std::to_string(azienda)}, {"protoc", "1"},
                     {"datini", "01/01/2010"}, {"datfin", "31/12/2010"}, {"primacom", "1"},
                     {"tipo", "P"}, {"azzera", "0"}});
  }
  // A stop; an empty coordinate stays NULL.
  void Stop(int azienda, long id, const std::string& name, const std::string& x,
            const std::string& y, int comune = 0, int local = 0, bool okcoord = false) {
    AddRow("fermate", {{"azienda", std::to_string(azienda)}, {"ID", std::to_string(id)},
                       {"protoc", "1"}, {"denom", name}, {"ubicaz", "Lato " + name},
                       {"comune", std::to_string(comune)}, {"local", std::to_string(local)},
                       {"coord_x", x}, {"coord_y", y}, {"okcoord", okcoord ? "1" : "0"}});
  }
  void Boundary(const std::string& table, int id, int sub, int excl, const Ring& ring) {
    db::Table t(&db(), table);
    ASSERT_TRUE(StoreAreaRing(t, ui, id, sub, excl, ring, "Confine"));
  }
  // A boundary row whose point block does not hold the `punti` points it claims.
  void CorruptBoundary(const std::string& table, int id, int sub, const std::string& block) {
    db::Table t(&db(), table);
    ASSERT_TRUE(t.AddNew());
    for (auto [c, v] : Row{{"ID", std::to_string(id)}, {"sub", std::to_string(sub)}, {"excl", "0"},
                           {"punti", "10"}, {"minx", "0"}, {"miny", "0"}, {"maxx", "1000"},
                           {"maxy", "1000"}})
      ASSERT_TRUE(t.SetFieldText(c, v));
    ASSERT_TRUE(t.SetFieldBlob("coord", block.data(), block.size()));
    ASSERT_TRUE(t.Update());
  }
};

}  // namespace kvt::carto::test
