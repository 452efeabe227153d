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
#include "db/odbc.h"
#include "db/selection.h"
#include "db/sql_types.h"
#include "db/table.h"
#include "schema/init.h"
#include "support/engines.h"

namespace kvt::carto::test {

using Row = std::vector<std::pair<std::string, std::string>>;
using Strings = std::vector<std::string>;

inline Ring Square(double x0, double y0, double side) {
  return Ring({{x0, y0}, {x0 + side, y0}, {x0 + side, y0 + side}, {x0, y0 + side}, {x0, y0}});
}

class CartoDbTest : public kvt::test::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    if (IsPostgres()) {
      ASSERT_TRUE(schema::InitialiseDatabase(db()));
    } else {
      std::filesystem::remove(Target());
      ASSERT_TRUE(schema::CreateDatabase(ui, Target()));
      Reopen();
    }
    ASSERT_TRUE(db().IsConnected());
    ui.Clear();
  }

  void Insert(const std::string& table, const Row& row) {
    db::Table t(&db(), table);
    ASSERT_TRUE(t.AddNew());
    for (const auto& [column, value] : row) ASSERT_TRUE(t.SetFieldText(column, value)) << column;
    ASSERT_TRUE(t.Update()) << table << ": " << ::testing::PrintToString(ui.Texts());
  }

  void Municipality(int id, const std::string& name, const std::string& istat) {
    Insert("comuni", {{"ID", std::to_string(id)}, {"denom", name}, {"provin", "AQ"},
                      {"istat", istat}, {"bacino", "0"}, {"centro_x", "9"}, {"centro_y", "9"}});
  }
  void Locality(int id, const std::string& name, const std::string& istat, double x = 0,
                double y = 0) {
    Insert("local", {{"ID", std::to_string(id)}, {"denom", name}, {"istat", istat},
                     {"nucleo", "0"}, {"abitanti", "0"}, {"centro_x", CommaNumber(x)},
                     {"centro_y", CommaNumber(y)}});
  }
  // A protocol row of the company, for its stops and trips to hang on.
  void Protocol(int azienda) {
    Insert("proto", {{"azienda", std::to_string(azienda)}, {"protoc", "1"},
                     {"datini", "01/01/2010"}, {"datfin", "31/12/2010"}, {"primacom", "1"},
                     {"tipo", "P"}, {"azzera", "0"}});
  }
  // A stop; an empty coordinate stays NULL.
  void Stop(int azienda, long id, const std::string& name, const std::string& x,
            const std::string& y, int comune = 0, int local = 0, bool okcoord = false) {
    Insert("fermate", {{"azienda", std::to_string(azienda)}, {"ID", std::to_string(id)},
                       {"protoc", "1"}, {"denom", name}, {"ubicaz", "Lato " + name},
                       {"comune", std::to_string(comune)}, {"local", std::to_string(local)},
                       {"coord_x", x}, {"coord_y", y}, {"okcoord", okcoord ? "1" : "0"}});
  }
  void Boundary(const std::string& table, int id, int sub, int excl, const Ring& ring) {
    db::Table t(&db(), table);
    ASSERT_TRUE(StoreAreaRing(t, ui, id, sub, excl, ring, "Confine"));
  }

  // Rows of a query as "a|b|c", every column read as text.
  Strings Rows(const std::string& sql, int columns) {
    Strings rows;
    db::OdbcStatement stmt(*db().connection());
    EXPECT_TRUE(stmt.ExecDirect(sql)) << sql << "\n" << stmt.LastError().text;
    while (stmt.Fetch() == SQL_SUCCESS) {
      std::string row;
      for (int c = 1; c <= columns; ++c) {
        std::string value;
        bool isNull = false;
        EXPECT_TRUE(db::GetDataBytes(stmt, c, SQL_C_CHAR, value, isNull));
        while (!value.empty() && value.back() == ' ') value.pop_back();
        row += (c > 1 ? "|" : "") + (isNull ? std::string("NULL") : value);
      }
      rows.push_back(row);
    }
    return rows;
  }
};

}  // namespace kvt::carto::test
