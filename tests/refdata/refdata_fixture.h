// A schema database with a few trips, municipalities and basins for the reference-data tests.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

#include "core/text.h"
#include "support/schema_fixture.h"

namespace kvt::test {

class RefdataTest : public SchemaTest {
 protected:
  void AddProtocol(int azienda) {
    AddRow("proto", {{"azienda", std::to_string(azienda)},
                     {"protoc", "1"},
                     {"datini", "01/01/2024"},
                     {"datfin", "31/12/2024"},
                     {"primacom", "1"},
                     {"tipo", "B"},
                     {"azzera", "0"}});
  }
  void AddTrip(int azienda, long id, const std::string& line, int lot = 0) {
    AddRow("corse", {{"azienda", std::to_string(azienda)},
                     {"ID", std::to_string(id)},
                     {"protoc", "1"},
                     {"codcorsa", "C" + std::to_string(id)},
                     {"codlinea", line},
                     {"verso", "A"},
                     {"ente", "1"},
                     {"lung", "1000"},
                     {"tempo", "10"},
                     {"ct_lung", "1000"},
                     {"ct_tempo", "10"},
                     {"codperc", "1"},
                     {"capol_p", "1"},
                     {"hh_p", "8"},
                     {"mm_p", "0"},
                     {"capol_a", "2"},
                     {"hh_a", "8"},
                     {"mm_a", "10"},
                     {"lotto", std::to_string(lot)},
                     {"mezzo", "X"}});
  }
  void AddLot(int id, const std::string& name) {
    AddRow("lotti", {{"ID", std::to_string(id)}, {"denom", name}});
  }
  void AddBasin(int id, const std::string& name) {
    AddRow("bacini", {{"ID", std::to_string(id)}, {"denom", name}});
  }
  void AddMunicipality(int id, const std::string& name, const std::string& provin,
                       const std::string& istat, int basin = 0) {
    AddRow("comuni", {{"ID", std::to_string(id)},
                      {"denom", name},
                      {"provin", provin},
                      {"istat", istat},
                      {"bacino", std::to_string(basin)},
                      {"centro_x", "0"},
                      {"centro_y", "0"}});
  }
  void AddLocality(int id, const std::string& name, const std::string& istat) {
    AddRow("local", {{"ID", std::to_string(id)},
                     {"denom", name},
                     {"istat", istat},
                     {"nucleo", "0"},
                     {"abitanti", "10"},
                     {"centro_x", "0"},
                     {"centro_y", "0"}});
  }
  void AddStop(int azienda, long id, int comune, int local) {
    AddRow("fermate", {{"azienda", std::to_string(azienda)},
                       {"ID", std::to_string(id)},
                       {"protoc", "1"},
                       {"denom", "Fermata " + std::to_string(id)},
                       {"comune", std::to_string(comune)},
                       {"local", std::to_string(local)},
                       {"okcoord", "0"}});
  }

  std::string FilePath(const std::string& name) { return TempDir() + "/" + name; }
  static std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  // The messages of the Ui and forget them.
  std::vector<std::string> TakeMessages() {
    std::vector<std::string> texts = ui.Texts();
    ui.Clear();
    return texts;
  }
};

}  // namespace kvt::test
