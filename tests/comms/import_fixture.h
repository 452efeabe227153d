// A database made ready for communications (full schema, seed companies 101.. and
// authorities 1..5) on each engine, with helpers to generate, import and count.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "comms/import.h"
#include "comms/kvt_format_test_util.h"
#include "db/odbc.h"
#include "kvtgen/generator.h"
#include "platform/scripted_ui.h"
#include "support/schema_fixture.h"

namespace kvt::comms::test {

inline constexpr int kCompany = 101;

// A communication spelled out row by row, written with KvtWriter (so that it always checks).
struct Communication {
  ProtocolRow protocol;
  std::vector<FermataRow> stops;
  std::vector<ArcoRow> arcs;
  std::vector<TestaItinerRow> routes;
  std::vector<RigaItinerRow> routeRows;
  std::vector<CorsaRow> trips;
  std::vector<OrarioRow> times;
  std::vector<GiorniRow> days;
};

// A plan ("P", integrating) of company 101 over 2010 with number `protoc`.
inline Communication Plan(int32_t protoc, Date from = {1, 1, 2010}, Date to = {31, 12, 2010}) {
  Communication c;
  c.protocol.primacom = protoc == 1;
  c.protocol.tipo = 'P';
  c.protocol.azienda = kCompany;
  c.protocol.protoc = protoc;
  c.protocol.p_data = from;
  c.protocol.datini = from;
  c.protocol.datfin = to;
  c.protocol.resple = "Ufficio Esercizio";
  return c;
}

// Stops 1 and 2, arc 1 between them and route 1 along it, for trips to run on.
inline void AddNetwork(Communication& c) {
  c.stops.push_back({1, "F1", "Piazza Roma", "Lato nord", 0, 1600000.5, 5000000.25});
  c.stops.push_back({2, "F2", "Via Mazzini", "", 0, 1601000, 5001000});
  c.arcs.push_back({1, 1, 2, 850});
  c.routes.push_back({1, "P1", "Piazza Roma - Via Mazzini"});
  c.routeRows.push_back({1, 1, 1, 850, 1, 2});
}

// A trip on route 1 from 7.00 to 7.10, with its two passages.
inline void AddTrip(Communication& c, int32_t id) {
  c.trips.push_back(
      {id, "C", "L1", 'A', 1, "P1", 1, 1, 7, 0, 2, 7, 10, 850, 10, 850, 10, 0, 0, 'U'});
  c.times.push_back({id, 1, 1, 7, 0, 0, true, false, false});
  c.times.push_back({id, 2, 2, 7, 10, 0, true, false, false});
}

// The <giorni> row of a trip in one month, from its day numbers.
inline GiorniRow Month(int32_t trip, int32_t year, int32_t month, std::vector<int> days) {
  GiorniRow g{trip, year, month, 0};
  for (int d : days) g.days |= uint32_t{1} << d;
  return g;
}

inline bool WriteCommunication(const Communication& c, const std::string& path) {
  SectionCounts n;
  n.rows = {static_cast<int64_t>(c.stops.size()),  static_cast<int64_t>(c.arcs.size()),
            static_cast<int64_t>(c.routes.size()), static_cast<int64_t>(c.routeRows.size()),
            static_cast<int64_t>(c.trips.size()),  static_cast<int64_t>(c.times.size()),
            static_cast<int64_t>(c.days.size())};
  KvtWriter w;
  if (!w.Open(path)) return false;
  w.WriteProtocol(c.protocol, n);
  const auto section = [&w](Section s, const auto& rows) {
    w.BeginSection(s);
    for (const auto& r : rows) w.Write(r);
    w.EndSection();
  };
  section(Section::Fermate, c.stops);
  section(Section::Archi, c.arcs);
  section(Section::TesteItiner, c.routes);
  section(Section::RigheItiner, c.routeRows);
  section(Section::Corse, c.trips);
  section(Section::Orari, c.times);
  section(Section::Giorni, c.days);
  return w.Close();
}

// The first pass's messages, as the error report lists them.
inline std::string Duplicate(long line, const std::string& object, long id) {
  return "RIGA " + std::to_string(line) + " Oggetto " + object + " duplicato (ID=" +
         std::to_string(id) + "). Non è possibile inserire un oggetto già presente.";
}
inline std::string Missing(long line, const std::string& object, long id) {
  return "RIGA " + std::to_string(line) + " Oggetto " + object + " inesistente (ID=" +
         std::to_string(id) + "). Non è possibile referenziare un oggetto assente.";
}
inline std::vector<std::string> Blocking(long line, const std::string& section,
                                         const std::string& text) {
  const std::string at = "RIGA " + std::to_string(line) + " ";
  return {at + "ERRORE BLOCCANTE: non è possibile leggere la sezione " + section, at + text};
}
inline std::vector<std::string> Illegal(long line, const std::string& tag) {
  return Blocking(line, tag, "\tla riga tipo " + tag + " ha un formato illegale");
}

// A Ui that runs an action when a step with a given caption begins: to break the database
// at that step, or to die there as in a power cut.
class StepUi : public ScriptedUi {
 public:
  std::map<std::string, std::function<void()>> at;
  void ProgressBegin(std::string_view caption) override { Run(caption); }
  void ProgressCaption(std::string_view caption) override { Run(caption); }

 private:
  void Run(std::string_view caption) {
    auto found = at.find(std::string(caption));
    if (found != at.end()) found->second();
  }
};

class CommsDbTest : public kvt::test::SchemaTest {
 protected:
  // Runs `work` in a child process with its own connection and a Ui that dies at `caption`,
  // as in a power cut; true when the child died there.
  template <typename Work>
  bool DiesAt(const std::string& caption, Work work) {
    constexpr int kDied = 42;
    const pid_t pid = fork();
    if (pid == 0) {
      StepUi dying;
      dying.at[caption] = [] { _exit(kDied); };
      std::unique_ptr<db::Database> own = Connect();
      if (own && own->IsConnected()) work(*own, dying);
      _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == kDied;
  }

  // Default options: a small plan of company 101 over 2010.
  static GeneratorOptions Options(int32_t protoc = 1) {
    GeneratorOptions o;
    o.azienda = kCompany;
    o.protoc = protoc;
    o.stops = 12;
    o.routes = 2;
    o.routeRows = 4;
    o.trips = 6;
    o.authorities = {1, 2};
    return o;
  }

  // A second communication of the same company after `first`: 3 stops, 1 route and 2 trips of
  // its own, on the stops, arcs and routes of the first.
  static GeneratorOptions Following(const GeneratorOptions& first) {
    GeneratorOptions o = first;
    o.seed = 2;
    o.protoc = 2;
    o.primacom = false;
    o.stops = 3;
    o.routes = 1;
    o.trips = 2;
    o.idBase = 100;
    o.refStops = o.refArcs = first.stops;
    o.refRoutes = first.routes;
    return o;
  }

  std::string Generate(const GeneratorOptions& o, const std::string& name) {
    const std::string path = kvt::test::TempDir() + "/" + name;
    report = GenerateCommunication(o, path);
    EXPECT_TRUE(report.ok) << report.error;
    return path;
  }

  std::string Write(const Communication& c, const std::string& name) {
    const std::string path = kvt::test::TempDir() + "/" + name;
    EXPECT_TRUE(WriteCommunication(c, path));
    return path;
  }

  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = kvt::test::TempDir() + "/" + name;
    WriteBytes(path, bytes);
    return path;
  }

  // Runs the command on `path`; questions answered Cancel. The messages stay in `ui`.
  bool Import(const std::string& path) {
    ui.Clear();
    ui.defaultAnswer = MsgResult::Cancel;
    ui.QueueFile(path);
    return ImportCommunication(db(), ui);
  }

  // The error list of the first pass.
  std::vector<std::string> Errors(const std::string& path) {
    std::vector<std::string> errors;
    Validate(db(), ui, path, errors);
    return errors;
  }

  // The rows of every table a communication writes, counted (to tell "unchanged").
  std::vector<long long> TableCounts() {
    std::vector<long long> counts;
    for (const char* t :
         {"proto", "fermate", "archi", "tesitine", "detitine", "corse", "orari", "mesi", "giorni"})
      counts.push_back(Count(t));
    return counts;
  }

  long long Count(const std::string& table, const std::string& where = "") {
    return QueryInt("SELECT COUNT(*) FROM " + table + (where.empty() ? "" : " WHERE " + where));
  }
  GeneratorReport report;
};

}  // namespace kvt::comms::test
