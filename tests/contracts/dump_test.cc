// The contract dump: a service moved between the engines (SQLite -> PostgreSQL and back),
// the secondary import's duplicate check, and dumps that are corrupt or hostile.
#include "contracts/dump.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "comms/import_fixture.h"
#include "core/text.h"
#include "db/odbc.h"
#include "platform/cli_ui.h"
#include "schema/init.h"

namespace kvt::contracts::test {
namespace {

using comms::test::AddNetwork;
using comms::test::AddTrip;
using comms::test::Communication;
using comms::test::Month;
using comms::test::Plan;
using comms::test::ReadBytes;
using comms::test::WriteBytes;
using Strings = std::vector<std::string>;

constexpr int kDied = 42;

// Dies, as in a power cut, when the load has sent its last row but not committed.
class DyingUi : public ScriptedUi {
 public:
  void ProgressBegin(std::string_view caption) override { caption_ = caption; }
  void ProgressCaption(std::string_view caption) override { caption_ = caption; }
  void ProgressSet(int percent) override {
    if (caption_ == "Importazione del DUMP Contratti" && percent == 100) _exit(kDied);
  }

 private:
  std::string caption_;
};

// The columns of each section, for comparing tables row by row.
std::string ColumnList(DumpSection s) {
  std::string list;
  for (const DumpColumn& c : DumpTables()[s].columns)
    list += (list.empty() ? "" : ", ") + std::string(c.name);
  return list;
}
int ColumnCount(DumpSection s) {
  return static_cast<int>(DumpTables()[s].columns.size());
}

std::string Key(DumpSection s) {
  switch (s) {
    case kLotti:
    case kBacini:
    case kComuni:
    case kLocal:
      return "ID";
    case kProto:
      return "azienda, protoc";
    case kDetitine:
    case kOrari:
      return "azienda, ID, sub";
    case kMesi:
      return "azienda, ID, anno, mese, protoc";
    case kGiorni:
      return "azienda, ID, data";
    default:
      return "azienda, ID";
  }
}

// The dumps of these tests seed the fuzz target of the structure pass: with KVT_DUMP_SEEDS
// set, they are kept in that folder.
void Seed(const std::string& name, const std::string& bytes) {
  const char* dir = std::getenv("KVT_DUMP_SEEDS");
  if (!dir || !*dir) return;
  std::filesystem::create_directories(dir);
  WriteBytes(std::string(dir) + "/" + name, bytes);
}

class DumpTest : public comms::test::CommsDbTest {
 protected:
  void SetUp() override {
    CommsDbTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    if (!std::getenv("KVT_TEST_PG_DSN")) GTEST_SKIP() << "the other engine is PostgreSQL";
    Service();
    other_ = OtherDatabase();
    ASSERT_TRUE(other_ && other_->IsConnected());
    empty_ = Counts(*other_);
  }
  void TearDown() override {
    other_.reset();
    if (!otherPg_.empty()) {
      ScriptedUi quiet;
      auto maintenance =
          db::Database::ConnectOdbc(quiet, std::getenv("KVT_TEST_PG_DSN"), nullptr, 25, 1);
      EXPECT_TRUE(maintenance->ExecuteSql("DROP DATABASE IF EXISTS " + otherPg_ + " WITH (FORCE)"))
          << maintenance->LastError().text;
    }
    CommsDbTest::TearDown();
  }

  // Authority 1: company 101's trips 1 and 2 (communication 2) on the network of its
  // communication 1, where stop 3 is only the end of an arc, stop 1 lies in municipality
  // 5 and locality 7 (of municipality 6, reached through the locality alone), stop 2 has no
  // position and trip 1 is in lot 1. Authority 2: company 102's trip 1 on its own network.
  void Service() {
    Exec("INSERT INTO bacini (ID, denom) VALUES (3, 'Bacino Tre'), (4, 'Bacino Quattro'), "
         "(9, 'Bacino Nove')");
    Exec("INSERT INTO comuni (ID, denom, provin, istat, bacino, centro_x, centro_y) VALUES "
         "(5, 'Città Cinque', 'VE', '000005', 3, 1.5, 2.25), "
         "(6, 'Comune Sei', 'VE', '000006', 4, 10, 20), "
         "(8, 'Comune Otto', 'VE', '000008', 9, 0, 0)");
    Exec("INSERT INTO local (ID, denom, istat, nucleo, abitanti, centro_x, centro_y) VALUES "
         "(7, 'Frazione Sette', '000006', 1, 120, 3.5, 4.5)");
    Exec("INSERT INTO lotti (ID, denom) VALUES (1, 'Lotto Nord'), (2, 'Lotto Sud')");
    Communication network = Plan(1);
    AddNetwork(network);
    network.stops.push_back({3, "F3", "Capolinea Est", "", 7, 1602000, 5002000});
    network.stops[0].local = 7;
    network.stops[1].coord_x = network.stops[1].coord_y = 0;
    network.arcs.push_back({2, 2, 3, 400});
    network.routeRows.push_back({1, 2, 2, 1250, 2, 3});
    ASSERT_TRUE(Import(Write(network, "network.txt")));
    Communication trips = Plan(2);
    trips.protocol.p_data = {2, 1, 2010};
    for (int32_t id : {1, 2}) {
      AddTrip(trips, id);
      trips.days.push_back(Month(id, 2010, 3, {1, 2, 3}));
    }
    ASSERT_TRUE(Import(Write(trips, "trips.txt")));
    Communication other = Plan(1);
    other.protocol.azienda = 102;
    AddNetwork(other);
    AddTrip(other, 1);
    other.trips[0].ente = 2;
    other.days.push_back(Month(1, 2010, 4, {5}));
    ASSERT_TRUE(Import(Write(other, "other.txt")));
    Exec("UPDATE fermate SET comune = 5 WHERE azienda = 101 AND ID = 1");
    Exec("UPDATE corse SET lotto = 1, v_media = 42.5 WHERE azienda = 101 AND ID = 1");
    ui.Clear();
  }

  // A database of the other engine, initialised as users initialise one.
  std::unique_ptr<db::Database> OtherDatabase() {
    if (IsPostgres()) {
      const std::string path = kvt::test::TempDir() + "/other.mdb";
      if (!schema::CreateDatabase(otherUi, path)) return nullptr;
      return db::Database::OpenFile(otherUi, path);
    }
    ScriptedUi quiet;
    auto maintenance =
        db::Database::ConnectOdbc(quiet, std::getenv("KVT_TEST_PG_DSN"), nullptr, 25, 1);
    otherPg_ = "kvt_dump" + std::to_string(getpid());
    // A leftover of an earlier run goes; none is fine.
    (void)maintenance->ExecuteSql("DROP DATABASE IF EXISTS " + otherPg_ + " WITH (FORCE)");
    if (!maintenance->ExecuteSql("CREATE DATABASE " + otherPg_)) return nullptr;
    auto db = db::Database::ConnectOdbc(
        otherUi, "DSN=" + std::string(std::getenv("KVT_TEST_PG_DSN")) + ";Database=" + otherPg_,
        nullptr, 25, 1);
    if (db && !schema::InitialiseDatabase(*db)) return nullptr;
    return db;
  }

  std::vector<long long> Counts(db::Database& d) {
    std::vector<long long> counts;
    for (const DumpTable& t : DumpTables())
      counts.push_back(std::stoll(kvt::test::QueryRows(d, "SELECT COUNT(*) FROM " + std::string(t.name), 1).at(0)));
    return counts;
  }

  std::string Export(const std::vector<std::string>& enti, const std::string& name) {
    const std::string path = kvt::test::TempDir() + "/" + name;
    ui.Clear();
    std::string chosen;
    for (const std::string& e : enti) chosen += (chosen.empty() ? "" : ";") + e;
    ui.QueueFormValues({{"enti", chosen}});
    ui.QueueFile(path);
    EXPECT_TRUE(ExportDumpCommand(db(), ui)) << ::testing::PrintToString(ui.Texts());
    return path;
  }

  bool Load(const std::string& path, bool secondary, bool keep = false) {
    EXPECT_TRUE(std::filesystem::exists(path));
    otherUi.Clear();
    otherUi.QueueFile(path);
    if (secondary) return SecondaryImportDumpCommand(*other_, otherUi);
    otherUi.QueueForm([keep](Form& f) {
      f.SetChecked("mantieni", keep);
      return true;
    });
    return ImportDumpCommand(*other_, otherUi);
  }

  // Every table of the other database (placeholders aside) against `where` of this one.
  void ExpectMoved(const std::map<DumpSection, std::string>& where) {
    for (int i = 0; i < kDumpSections; ++i) {
      const DumpSection s = static_cast<DumpSection>(i);
      const std::string table(DumpTables()[s].name);
      const std::string select = "SELECT " + ColumnList(s) + " FROM " + table;
      const bool reference = s == kLotti || s == kBacini || s == kComuni || s == kLocal;
      const std::string there = select + (reference ? " WHERE ID <> 0" : "") + " ORDER BY " + Key(s);
      const std::string here = select + " WHERE " + where.at(s) + " ORDER BY " + Key(s);
      EXPECT_EQ(kvt::test::QueryRows(*other_, there, ColumnCount(s)), kvt::test::QueryRows(db(), here, ColumnCount(s))) << table;
    }
  }

  ScriptedUi otherUi;
  std::unique_ptr<db::Database> other_;
  std::string otherPg_;
  std::vector<long long> empty_;
};

const std::map<DumpSection, std::string> kAuthority1 = {
    {kLotti, "ID = 1"},          {kBacini, "ID IN (3, 4)"},       {kComuni, "ID IN (5, 6)"},
    {kLocal, "ID = 7"},          {kProto, "azienda = 101"},       {kFermate, "azienda = 101"},
    {kArchi, "azienda = 101"},   {kTesitine, "azienda = 101"},    {kDetitine, "azienda = 101"},
    {kCorse, "azienda = 101"},   {kOrari, "azienda = 101"},       {kMesi, "azienda = 101"},
    {kGiorni, "azienda = 101"}};

TEST_P(DumpTest, ServiceOfOneAuthorityMovesToTheOtherEngineUnchanged) {
  EXPECT_EQ(AuthorityEntries(db()), (Strings{"0002 - Provincia di Velmora", "0001 - Regione Velmora"}));
  const std::string path = Export({"0001 - Regione Velmora"}, "dump1.txt");
  EXPECT_EQ(ui.formTitles, Strings{"Export Dump Contratti di Servizio"});
  ASSERT_EQ(ui.fileDialogs.size(), 1u);
  EXPECT_EQ(ui.fileDialogs[0].title, "Esportazione Dump Contratti di Servizio");
  EXPECT_EQ(ui.fileDialogs[0].defaultName, "DUMP");
  EXPECT_EQ(ui.Texts(), Strings{"Risultati dell'esportazione del DUMP:\n\n"
                                "Tavola Lotti: 1 righe\nTavola Bacini: 2 righe\n"
                                "Tavola Comuni: 2 righe\nTavola Località: 1 righe\n"
                                "Tavola Protocollo: 2 righe\nTavola Fermate: 3 righe\n"
                                "Tavola Archi: 2 righe\nTavola Testa Itinerari: 1 righe\n"
                                "Tavola Dettagli Itinerari: 2 righe\nTavola Corse: 2 righe\n"
                                "Tavola Orari: 4 righe\nTavola Mesi: 2 righe\n"
                                "Tavola Giorni: 6 righe\n"});
  // A missing position and speed travel as empty fields; lot 0 is nobody's to export.
  const std::string bytes = ReadBytes(path);
  EXPECT_NE(bytes.find("\n101\t2\t1\tVia Mazzini\t\tF2\t0\t0\t\t\t0\n"), std::string::npos);
  EXPECT_NE(bytes.find("<TB_START>lotti<1>\nID\tdenom\n1\tLotto Nord\n<TB_END><"), std::string::npos);
  EXPECT_NE(bytes.find("\tCitt\xe0 Cinque\t"), std::string::npos);

  ASSERT_TRUE(Load(path, false)) << ::testing::PrintToString(otherUi.Texts());
  EXPECT_EQ(otherUi.formTitles, Strings{"Import Dump Contratti di Servizio"});
  EXPECT_EQ(otherUi.Texts(), Strings{"Risultati dell'importazione del DUMP:\n\n"
                                     "Tavola lotti: Righe lette 1 / scritte 1\n"
                                     "Tavola bacini: Righe lette 2 / scritte 2\n"
                                     "Tavola comuni: Righe lette 2 / scritte 2\n"
                                     "Tavola local: Righe lette 1 / scritte 1\n"
                                     "Tavola proto: Righe lette 2 / scritte 2\n"
                                     "Tavola fermate: Righe lette 3 / scritte 3\n"
                                     "Tavola archi: Righe lette 2 / scritte 2\n"
                                     "Tavola tesitine: Righe lette 1 / scritte 1\n"
                                     "Tavola detitine: Righe lette 2 / scritte 2\n"
                                     "Tavola corse: Righe lette 2 / scritte 2\n"
                                     "Tavola orari: Righe lette 4 / scritte 4\n"
                                     "Tavola mesi: Righe lette 2 / scritte 2\n"
                                     "Tavola giorni: Righe lette 6 / scritte 6\n"});
  ExpectMoved(kAuthority1);

  // The same dump again: refused for duplication, nothing written.
  const std::vector<long long> loaded = Counts(*other_);
  EXPECT_FALSE(Load(path, true));
  EXPECT_EQ(otherUi.Texts(), Strings{std::string(kDuplicateMessage)});
  EXPECT_EQ(Counts(*other_), loaded);
  // And the primary import no longer: the database holds a service.
  otherUi.Clear();
  otherUi.QueueFormValues({{"mantieni", "1"}});
  EXPECT_FALSE(ImportDumpCommand(*other_, otherUi));
  EXPECT_EQ(otherUi.Texts(), Strings{std::string(kNotEmptyMessage)});
  EXPECT_TRUE(otherUi.fileDialogs.empty());

  // The other authority's service joins it through the secondary import.
  const std::string second = Export({"0002 - Provincia di Velmora"}, "dump2.txt");
  ASSERT_TRUE(Load(second, true)) << ::testing::PrintToString(otherUi.Texts());
  Seed("authority1.txt", bytes);
  Seed("authority2.txt", ReadBytes(second));
  std::map<DumpSection, std::string> both = kAuthority1;
  for (DumpSection s : {kProto, kFermate, kArchi, kTesitine, kDetitine, kCorse, kOrari, kMesi,
                        kGiorni})
    both[s] = "azienda IN (101, 102)";
  ExpectMoved(both);
}

TEST_P(DumpTest, ExportOrImportStoppedHalfWayWritesNothingAndSaysSo) {
  const std::string path = kvt::test::TempDir() + "/fermato.txt";
  std::ofstream(path) << "prima\n";
  ui.Clear();
  ui.QueueFormValues({{"enti", "0001 - Regione Velmora"}});
  ui.QueueFile(path);
  ui.cancelAtCaption = "Scrittura Orari, Mesi e Giorni";
  EXPECT_FALSE(ExportDumpCommand(db(), ui));
  EXPECT_EQ(ui.Texts(), Strings{std::string(kCancelledFileMessage)});
  EXPECT_EQ(ReadBytes(path), "prima\n");

  ui.cancelAtCaption.clear();
  ui.cancelRequested = false;
  const std::string dump = Export({"0001 - Regione Velmora"}, "dump.txt");
  otherUi.cancelAtCaption = "Importazione del DUMP Contratti";
  EXPECT_FALSE(Load(dump, /*secondary=*/false));
  EXPECT_EQ(otherUi.Texts(), Strings{std::string(kCancelledMessage)});
  EXPECT_EQ(Counts(*other_), empty_);
}

TEST_P(DumpTest, ExportDialogRefusesAnEmptyChoiceAndSelectsAll) {
  ui.QueueForm([](Form& f) { return true; });
  ui.QueueForm([](Form& f) {
    f.Field("enti").chosen = {7};
    return true;
  });
  ui.QueueForm([](Form& f) {
    f.Field("seleziona").onClick(f);
    EXPECT_EQ(f.Field("enti").chosen, (std::vector<int>{0, 1}));
    f.Field("pulisci").onClick(f);
    EXPECT_TRUE(f.Field("enti").chosen.empty());
    return false;
  });
  EXPECT_FALSE(ExportDumpCommand(db(), ui));
  EXPECT_EQ(ui.Texts(), (Strings{std::string(kNoAuthorityMessage),
                                 std::string(kBadAuthorityListMessage)}));
}

// The dump with `from` replaced by `to` in its text, the closing checksum of the section
// that holds it made right again when `resum`.
std::string Edited(const std::string& dump, const std::string& from, const std::string& to,
                   bool resum) {
  std::string bytes = dump;
  const size_t at = bytes.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at == std::string::npos) return bytes;
  bytes.replace(at, from.size(), to);
  if (!resum) return bytes;
  const size_t start = bytes.rfind("<TB_START>", at);
  const size_t header = bytes.find('\n', start) + 1;
  const size_t end = bytes.find("<TB_END><", at);
  RunningChecksum sum;
  for (size_t p = header; p < end;) {
    const size_t lf = bytes.find('\n', p);
    sum.Add(std::string_view(bytes).substr(p, lf - p));
    p = lf + 1;
  }
  const size_t close = bytes.find('\n', end);
  bytes.replace(end, close - end, "<TB_END><" + std::to_string(sum.Value()) + ">");
  return bytes;
}

TEST_P(DumpTest, CorruptOrHostileDumpIsRefusedWithNothingWritten) {
  const std::string dump = ReadBytes(Export({"0001 - Regione Velmora"}, "dump.txt"));
  const std::string removedRow = [&] {
    std::string b = dump;
    const size_t at = b.find("\n101\t1\t1\t2\t1\t7\t0\t");
    EXPECT_NE(at, std::string::npos);
    if (at != std::string::npos) b.erase(at, b.find('\n', at + 1) - at);
    return b;
  }();
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"one character changed", Edited(dump, "Lotto Nord", "Lotto Nors", false)},
      {"one row removed", removedRow},
      {"a table outside the thirteen",
       Edited(dump, "<TB_START>lotti<1>\nID\tdenom\n1\tLotto Nord\n",
              "<TB_START>regazi<1>\nID\tdenom\n1\tLotto Nord\n", true)},
      {"an unknown column", Edited(dump, "ID\tdenom\n1\tLotto Nord", "ID\tdenom; DROP TABLE corse\n1\tLotto Nord", true)},
      {"a key that is a condition", Edited(dump, "\n1\tLotto Nord\n", "\n1 OR 1=1\tLotto Nord\n", true)},
      {"a date that is not one", Edited(dump, "\t01/03/2010\t1\n", "\t20100301' OR '1'='1\t1\n", true)},
      {"a text too long", Edited(dump, "Lotto Nord", std::string(41, 'x'), true)},
      {"a section out of order",
       Edited(dump, "<TB_START>bacini<", "<TB_START>local<", true)},
      {"a file that ends inside a section", dump.substr(0, dump.find("<TB_START>giorni<") + 40)},
  };
  for (const auto& [what, bytes] : cases) {
    const std::string path = kvt::test::TempDir() + "/bad.txt";
    WriteBytes(path, bytes);
    if (what.starts_with("a key")) Seed("hostile_key.txt", bytes);
    if (what.starts_with("a table")) Seed("hostile_table.txt", bytes);
    for (bool secondary : {false, true}) {
      EXPECT_FALSE(Load(path, secondary)) << what;
      EXPECT_EQ(otherUi.Texts(), Strings{std::string(kCorruptMessage)}) << what;
      EXPECT_EQ(otherUi.messages.at(0).icon, MsgIcon::Stop) << what;
      EXPECT_EQ(Counts(*other_), empty_) << what;
    }
  }
  // An empty section is a section: the header's checksum alone.
  const std::string none = Edited(dump, "<TB_START>lotti<1>\nID\tdenom\n1\tLotto Nord\n<TB_END><",
                                  "<TB_START>lotti<0>\nID\tdenom\n<TB_END><", false);
  const size_t close = none.find("<TB_END><") + 9;
  std::string fixed = none;
  fixed.replace(close, none.find('>', close) - close, std::to_string(LineChecksum("ID\tdenom")));
  const std::string path = kvt::test::TempDir() + "/nolots.txt";
  WriteBytes(path, fixed);
  Seed("no_lots.txt", fixed);
  ASSERT_TRUE(Load(path, false)) << ::testing::PrintToString(otherUi.Texts());
  // The trip of lot 1 is refused by the database (no such lot): reported, not counted.
  EXPECT_NE(otherUi.Texts().back().find("Tavola corse: Righe lette 2 / scritte 1\n"),
            std::string::npos)
      << otherUi.Texts().back();
}

// The primary import goes only into a database without service: a single row in any table
// the check reads (a lot, basin, municipality or locality other than 0, a stop, an arc, a
// route, a route row, a trip, a timetable row, a running day) refuses it, and nothing is
// written.
TEST_P(DumpTest, PrimaryImportIsRefusedByASingleRowInAnyTableOfTheEmptinessCheck) {
  const std::string path = Export({"0001 - Regione Velmora"}, "dump.txt");
  // The other database's engine: a row of a table alone, whatever it refers to.
  ASSERT_TRUE(other_->ExecuteSql(IsPostgres() ? "PRAGMA foreign_keys = OFF"
                                              : "SET session_replication_role = replica"));
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"lotti", "(ID, denom) VALUES (5, 'Lotto Cinque')"},
      {"bacini", "(ID, denom) VALUES (5, 'Bacino Cinque')"},
      {"comuni",
       "(ID, denom, provin, istat, bacino, centro_x, centro_y) VALUES "
       "(5, 'Comune Cinque', 'VE', '000005', 0, 0, 0)"},
      {"local",
       "(ID, denom, istat, nucleo, abitanti, centro_x, centro_y) VALUES "
       "(5, 'Frazione Cinque', '000005', 0, 0, 0, 0)"},
      {"fermate",
       "(azienda, ID, protoc, denom, comune, local, okcoord) VALUES "
       "(101, 1, 1, 'Piazza', 0, 0, 0)"},
      {"archi", "(azienda, ID, protoc, inizio, fine, lung) VALUES (101, 1, 1, 1, 2, 100)"},
      {"tesitine", "(azienda, ID, protoc, codperc) VALUES (101, 1, 1, 'P1')"},
      {"detitine", "(azienda, ID, sub, protoc, arco, dist) VALUES (101, 1, 0, 1, 1, 0)"},
      {"corse",
       "(azienda, ID, protoc, codcorsa, codlinea, verso, ente, lung, tempo, ct_lung, "
       "ct_tempo, codperc, capol_p, hh_p, mm_p, capol_a, hh_a, mm_a, lotto, mezzo) "
       "VALUES (101, 1, 1, 'C1', 'L1', 'A', 1, 0, 0, 0, 0, 1, 1, 8, 0, 2, 9, 0, 0, 'B')"},
      {"orari",
       "(azienda, ID, sub, protoc, fermata, hh, mm, sosta, primaria, facolt, nonferma) "
       "VALUES (101, 1, 0, 1, 1, 8, 0, 0, 1, 0, 0)"},
      {"giorni", "(azienda, ID, protoc, data, giorno) VALUES (101, 1, 1, '2010-03-01', 'L')"},
  };
  for (const auto& [table, values] : rows) {
    ASSERT_TRUE(other_->ExecuteSql("INSERT INTO " + table + " " + values)) << table;
    const std::vector<long long> before = Counts(*other_);
    const bool reference = table == "bacini" || table == "comuni" || table == "local";
    for (bool keep : {false, true}) {
      if (keep && reference) continue;  // kept tables are not the import's to check
      otherUi.Clear();
      otherUi.QueueForm([keep](Form& f) {
        f.SetChecked("mantieni", keep);
        return true;
      });
      otherUi.QueueFile(path);
      EXPECT_FALSE(ImportDumpCommand(*other_, otherUi)) << table;
      EXPECT_EQ(otherUi.Texts(), Strings{std::string(kNotEmptyMessage)}) << table;
      EXPECT_TRUE(otherUi.fileDialogs.empty()) << table;
      EXPECT_EQ(Counts(*other_), before) << table;
    }
    ASSERT_TRUE(other_->ExecuteSql("DELETE FROM " + table + " WHERE " +
                                   (table == "lotti" || reference ? "ID = 5" : "azienda = 101")));
  }
  EXPECT_EQ(Counts(*other_), empty_);
}

// A value a column of the database cannot take refuses its row: the row is not stored
// without it, and the count says so.
TEST_P(DumpTest, ValueTheTableRefusesRefusesItsRowAndTheCountSaysSo) {
  // Trip 2's months hold a date; in the other database the months are dates.
  Exec("UPDATE mesi SET giorni = '01/03/2010' WHERE azienda = 101 AND ID = 2");
  const std::string path = Export({"0001 - Regione Velmora"}, "dump.txt");
  // A column that may be empty: a row stored without its value would not be refused there.
  ASSERT_TRUE(other_->ExecuteSql("ALTER TABLE mesi DROP COLUMN giorni"));
  ASSERT_TRUE(other_->ExecuteSql("ALTER TABLE mesi ADD COLUMN giorni DATE"));
  ASSERT_TRUE(Load(path, false)) << ::testing::PrintToString(otherUi.Texts());
  EXPECT_NE(otherUi.Texts().back().find("Tavola mesi: Righe lette 2 / scritte 1\n"),
            std::string::npos)
      << otherUi.Texts().back();
  EXPECT_EQ(kvt::test::QueryRows(*other_, "SELECT ID, giorni FROM mesi", 2),
            Strings{"2|2010-03-01"});
}

TEST_P(DumpTest, ImportThatDiesBeforeItsCommitLeavesTheDatabaseAsItWas) {
  const std::string path = Export({"0001 - Regione Velmora"}, "dump.txt");
  const std::string target = IsPostgres() ? "" : "DSN=" + std::string(std::getenv("KVT_TEST_PG_DSN")) +
                                                     ";Database=" + otherPg_;
  const std::string file = IsPostgres() ? kvt::test::TempDir() + "/other.mdb" : "";
  other_.reset();
  const pid_t pid = fork();
  if (pid == 0) {
    DyingUi dying;
    ScriptedUi quiet;
    std::unique_ptr<db::Database> own =
        file.empty() ? db::Database::ConnectOdbc(quiet, target, nullptr, 25, 1)
                     : db::Database::OpenFile(quiet, file);
    ImportCounts counts;
    if (own && own->IsConnected()) ImportDump(*own, dying, path, false, false, counts);
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == kDied);
  other_ = file.empty() ? db::Database::ConnectOdbc(otherUi, target, nullptr, 25, 1)
                        : db::Database::OpenFile(otherUi, file);
  ASSERT_TRUE(other_ && other_->IsConnected());
  EXPECT_EQ(Counts(*other_), empty_);
  // The same dump then loads whole.
  ASSERT_TRUE(Load(path, false));
  ExpectMoved(kAuthority1);
}

TEST_P(DumpTest, CommandLineRunsTheExportAndTheImportFromOptions) {
  const std::string path = kvt::test::TempDir() + "/cli.txt";
  std::ostringstream out, err;
  {
    // kvtbase export-contracts --seleziona FILE
    CliUi cli(CliAnswers{false, {path}, {{"seleziona", "1"}}}, out, err, false);
    EXPECT_TRUE(ExportDumpCommand(db(), cli));
    EXPECT_EQ(cli.Outcome(), CliOutcome::Success) << err.str();
  }
  EXPECT_NE(out.str().find("Tavola Corse: 3 righe\n"), std::string::npos) << out.str();
  {
    // kvtbase import-contracts FILE
    CliUi cli(CliAnswers{false, {path}, {}}, out, err, false);
    EXPECT_TRUE(ImportDumpCommand(*other_, cli));
    EXPECT_EQ(cli.Outcome(), CliOutcome::Success) << err.str();
  }
  EXPECT_EQ(Counts(*other_)[kCorse], 3);
  {
    // kvtbase import-contracts-secondary FILE: the same rows again
    CliUi cli(CliAnswers{false, {path}, {}}, out, err, false);
    EXPECT_FALSE(SecondaryImportDumpCommand(*other_, cli));
    EXPECT_EQ(cli.Outcome(), CliOutcome::Failed);
  }
  EXPECT_NE(err.str().find(std::string(kDuplicateMessage)), std::string::npos) << err.str();
}

KVT_INSTANTIATE_ENGINES(DumpTest);

}  // namespace
}  // namespace kvt::contracts::test
