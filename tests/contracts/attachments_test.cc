// The contract attachments and the functional analysis, file by file, on small databases
// built through the import and worked out by hand.
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "contracts/attachments.h"
#include "contracts/dialog.h"
#include "platform/cli_ui.h"
#include "platform/files.h"
#include "statement_fixture.h"

namespace kvt::contracts::test {
namespace {

using comms::test::Month;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

// A trip of `Trip` with its own times.
comms::CorsaRow Timed(comms::CorsaRow r, int hhP, int mmP, int hhA, int mmA) {
  r.hh_p = hhP;
  r.mm_p = mmP;
  r.hh_a = hhA;
  r.mm_a = mmA;
  return r;
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  return names;
}

const std::string kHead101 =
    "Ente 1 Regione Velmora\nAzienda 101 Autolinee Velmoresi S.p.A.\n"
    "Periodo dal 01/01/2010 al 31/01/2010\n\n"
    "Distanze convenzionali dichiarate dall'Azienda\n\n";

class Attachments : public StatementTest {
 protected:
  void SetUp() override {
    StatementTest::SetUp();
    ForgetChoices();
  }
  void TearDown() override {
    ForgetChoices();
    StatementTest::TearDown();
  }

  // A fresh folder for one export.
  std::string Folder(const std::string& name) {
    const std::string folder = kvt::test::TempDir() + "/" + name;
    std::filesystem::create_directories(folder);
    return folder;
  }

  // Runs a command with the dialog's fields (January 2010, operating plan, everything)
  // and `path` for the chooser.
  bool Run(bool (*command)(Ui&, db::Database&), const std::string& path,
           std::map<std::string, std::string> fields = {}) {
    std::map<std::string, std::string> values = {{"contesto", "Piano di Esercizio (preventivo)"},
                                                 {"inizio", "01/01/2010"},
                                                 {"fine", "31/01/2010"}};
    for (auto& [k, v] : fields) values[k] = v;
    ui.Clear();
    ui.QueueFormValues(values);
    ui.QueueFile(path);
    return command(ui, db());
  }

  // Contract (1, 101) runs outward only; contract (2, 102) one trip of 1234.5 km.
  void LoadTwoContracts() {
    auto c = comms::test::Plan(1);
    AddStatementNetwork(c);
    c.trips = {Trip(1, "C1", "L1", 'A', 1, 1000, 10), Trip(2, "C2", "L2", 'A', 1, 2000, 10)};
    c.days = {Month(1, 2010, 1, {4}), Month(2, 2010, 1, {4, 5})};
    Load(c, "outward.txt");
    auto other = comms::test::Plan(1);
    other.protocol.azienda = 102;
    AddStatementNetwork(other);
    other.trips = {Trip(1, "K1", "900", 'R', 2, 1234500, 90)};
    other.days = {Month(1, 2010, 1, {11})};
    Load(other, "other.txt");
  }
};

// Contract (1, 101), January 2010. Line L1: four outward trips (given out of time order),
// one return, one circular (direction C); line L2: one trip declared with 0 minutes.
comms::test::Communication LinesNetwork() {
  auto c = comms::test::Plan(1);
  AddStatementNetwork(c);
  c.trips = {Timed(Trip(1, "C1", "L1", 'A', 1, 1000, 20), 7, 0, 7, 20),
             Timed(Trip(2, "C2", "L1", 'A', 1, 1000, 20), 6, 30, 6, 50),
             Timed(Trip(3, "C3", "L1", 'A', 1, 1500, 30), 8, 0, 8, 30),
             Timed(Trip(4, "C4", "L1", 'A', 1, 500, 5), 9, 0, 9, 5),
             Timed(Trip(5, "C5", "L1", 'R', 1, 2000, 40), 7, 30, 8, 10),
             Timed(Trip(6, "C6", "L1", 'C', 1, 750, 15), 10, 0, 10, 15),
             Timed(Trip(7, "C7", "L2", 'A', 1, 1200, 0), 12, 0, 12, 0)};
  c.days = {Month(1, 2010, 1, {4, 5}), Month(2, 2010, 1, {4}),   Month(3, 2010, 1, {4, 5, 6}),
            Month(4, 2010, 1, {4}),    Month(5, 2010, 1, {4, 5}), Month(6, 2010, 1, {4}),
            Month(7, 2010, 1, {4}),    Month(7, 2010, 2, {1})};
  return c;
}

TEST_P(Attachments, TotalsDetailsAndFunctionalAnalysisOfOneContract) {
  Load(LinesNetwork(), "lines.txt");
  const std::string folder = Folder("one");
  ASSERT_TRUE(Run(RunAttachmentCommand, folder + "/CONTRATTI.txt"));
  EXPECT_THAT(ui.formTitles, ElementsAre("Esportazione Allegati Contratti di Servizio"));
  ASSERT_EQ(ui.fileDialogs.size(), 1u);
  EXPECT_EQ(ui.fileDialogs[0].title, "Selezione cartella per esportazione files TXT");
  EXPECT_EQ(ui.fileDialogs[0].filter, "File TXT (*.txt)|*.txt|Tutti i files (*.*)|*.*||");
  EXPECT_EQ(ui.fileDialogs[0].defaultName, "CONTRATTI");
  EXPECT_THAT(ui.Texts(),
              ElementsAre("Esportazione terminata.\n\n2 files scritti nella cartella\n" + folder));
  EXPECT_THAT(FilesIn(folder), UnorderedElementsAre("TOT_A101_E1.TXT", "DET_A101_E1.TXT"));

  // The circular trip counts in L1's total and the contract's, in neither direction.
  EXPECT_EQ(comms::test::ReadBytes(folder + "/TOT_A101_E1.TXT"),
            "Legenda\tTotali Andata\tTotali Ritorno\tTotali Km\n" + kHead101 +
                "Totale Linea L1 \t8,00\t4,00\t12,75\n"
                "Totale Linea L2 \t1,20\t0,00\t1,20\n\n"
                "Totale Contratto\t\t\t13,95\n");
  // By departure within a direction; directions in the order of their letters.
  EXPECT_EQ(comms::test::ReadBytes(folder + "/DET_A101_E1.TXT"),
            "Legenda\tTotali Km\tCorsa\tGiorni\tKm\t\tCorsa\tGiorni\tKm\t\tCorsa\tGiorni\tKm\n" +
                kHead101 +
                "Linea L1 A\n"
                "\t\tp06:30 a06:50\t1\t1,00\t\tp07:00 a07:20\t2\t2,00\t\tp08:00 a08:30\t3\t4,50\n"
                "\t\tp09:00 a09:05\t1\t0,50\n"
                "Totale Linea L1 A\t8,00\n\n"
                "Linea L1 C\n\t\tp10:00 a10:15\t1\t0,75\nTotale Linea L1 C\t0,75\n\n"
                "Linea L1 R\n\t\tp07:30 a08:10\t2\t4,00\nTotale Linea L1 R\t4,00\n\n"
                "Linea L2 A\n\t\tp12:00 a12:00\t1\t1,20\nTotale Linea L2 A\t1,20\n\n"
                "Totale Contratto\t13,95\n");

  // L1 A: 8 km in 155 minutes, 3.0967 km/h, 7 runs of 4 trips; L2 runs in 0 minutes.
  const std::string analysis = Folder("analysis");
  ASSERT_TRUE(Run(RunFunctionalAnalysisCommand, analysis + "/ANALISI.txt"));
  EXPECT_THAT(ui.formTitles, ElementsAre("Esportazione Analisi Funzionale Contratti di Servizio"));
  EXPECT_EQ(ui.fileDialogs.at(0).defaultName, "ANALISI");
  EXPECT_THAT(FilesIn(analysis), ElementsAre("FNZ_A101_E1.TXT"));
  EXPECT_EQ(comms::test::ReadBytes(analysis + "/FNZ_A101_E1.TXT"),
            "Legenda\tTotale Km\tTotale Min\tVelComm Km/h\tTotale Corse\n" + kHead101 +
                "Totale Linea L1 A\t8,00\t155\t3,10\t7\n"
                "Totale Linea L1 C\t0,75\t15\t3,00\t1\n"
                "Totale Linea L1 R\t4,00\t80\t3,00\t2\n"
                "Totale Linea L2 A\t1,20\t0\t0,00\t1\n\n"
                "Totale Contratto\t13,95\t250\t3,35\t11\n");

  // Only the details, with drawn distances (no route is drawn: every figure 0).
  const std::string details = Folder("details");
  ASSERT_TRUE(Run(RunAttachmentCommand, details + "/X.txt",
                  {{"elaborazione", "Solo Dettagli"}, {"distanze", "Cartografiche"}}));
  EXPECT_THAT(FilesIn(details), ElementsAre("DET_A101_E1.TXT"));
  const std::string det = comms::test::ReadBytes(details + "/DET_A101_E1.TXT");
  EXPECT_NE(det.find("Distanze misurate su base cartografica\n\nLinea L1 A\n"
                     "\t\tp06:30 a06:50\t1\t0,00\t\t"),
            std::string::npos)
      << det;
}

TEST_P(Attachments, TwoContractsTwoFilesOfEachKindNamedByTheirCodes) {
  LoadTwoContracts();
  const std::string folder = Folder("two");
  // The command line names the folder itself.
  ASSERT_TRUE(Run(RunAttachmentCommand, folder, {{"tutti_enti", "1"}, {"tutte_aziende", "1"}}));
  EXPECT_THAT(FilesIn(folder), UnorderedElementsAre("TOT_A101_E1.TXT", "DET_A101_E1.TXT",
                                                    "TOT_A102_E2.TXT", "DET_A102_E2.TXT"));
  EXPECT_EQ(comms::test::ReadBytes(folder + "/TOT_A101_E1.TXT"),
            "Legenda\tTotali Andata\tTotali Ritorno\tTotali Km\n" + kHead101 +
                "Totale Linea L1 \t1,00\t0,00\t1,00\n"
                "Totale Linea L2 \t4,00\t0,00\t4,00\n\n"
                "Totale Contratto\t\t\t5,00\n");
  EXPECT_EQ(comms::test::ReadBytes(folder + "/TOT_A102_E2.TXT"),
            "Legenda\tTotali Andata\tTotali Ritorno\tTotali Km\n"
            "Ente 2 Provincia di Velmora\nAzienda 102 Trasporti Urbani di Velmora S.r.l.\n"
            "Periodo dal 01/01/2010 al 31/01/2010\n\n"
            "Distanze convenzionali dichiarate dall'Azienda\n\n"
            "Totale Linea 900 \t0,00\t1234,50\t1234,50\n\n"
            "Totale Contratto\t\t\t1234,50\n");
  const std::string det = comms::test::ReadBytes(folder + "/DET_A102_E2.TXT");
  EXPECT_NE(det.find("Linea 900 R\n\t\tp07:00 a07:10\t1\t1234,50\nTotale Linea 900 R\t1234,50\n\n"
                     "Totale Contratto\t1234,50\n"),
            std::string::npos)
      << det;

  // Nothing in the period: said, and no file.
  const std::string empty = Folder("empty");
  EXPECT_FALSE(Run(RunFunctionalAnalysisCommand, empty + "/A.txt",
                   {{"inizio", "01/03/2010"}, {"fine", "31/03/2010"}}));
  EXPECT_THAT(ui.Texts(), ElementsAre("Non ci sono dati da stampare !!!"));
  EXPECT_THAT(FilesIn(empty), IsEmpty());
}

TEST_P(Attachments, KilometresAgreeWithTheStatementOfTheSameParameters) {
  comms::GeneratorOptions o = Options();
  o.trips = 60;
  o.routes = 4;
  ASSERT_TRUE(Import(Generate(o, "generated.txt"))) << ::testing::PrintToString(ui.Texts());
  const std::map<std::string, std::string> period = {
      {"tutti_enti", "1"}, {"inizio", "15/02/2010"}, {"fine", "10/11/2010"}};

  // The statement's line and contract totals, per contract: "1/101 Totale Linea L1 A" ->
  // "km|minutes".
  StatementParams p = Params('P', "15/02/2010", "10/11/2010");
  p.azienda = kCompany;
  const auto rows = Extract(db(), ui, p, StatementKind::ByTrip);
  ASSERT_TRUE(rows.has_value());
  std::map<std::string, std::string> statement;
  std::set<std::string> contracts;
  for (const StatementRow& r : *rows) {
    if (r.kind == RowKind::Trip) continue;
    const std::string contract = Format("%d/%d ", r.ente, r.azienda);
    contracts.insert(contract);
    const std::string label = r.kind == RowKind::ContractTotal ? "Totale Contratto"
                                                                : "Totale Linea " + LineCodeText(r);
    statement[contract + label] = KmComma(r.totalMetres) + "|" + MinutesText(r.totalMinutes);
  }
  ASSERT_EQ(contracts.size(), 2u);  // two authorities
  ASSERT_GT(statement.size(), 4u);

  const std::string analysis = Folder("agree-fnz"), totals = Folder("agree-tot");
  ASSERT_TRUE(Run(RunFunctionalAnalysisCommand, analysis + "/A.txt", period));
  std::map<std::string, std::string> files;
  std::map<std::string, std::string> contractKm;
  for (int ente : {1, 2}) {
    const std::string contract = Format("%d/%d ", ente, kCompany);
    std::istringstream in(comms::test::ReadBytes(analysis + Format("/FNZ_A%d_E%d.TXT", kCompany, ente)));
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("Totale ", 0) != 0) continue;
      std::vector<std::string> f;
      std::istringstream cells(line);
      for (std::string cell; std::getline(cells, cell, '\t');) f.push_back(cell);
      ASSERT_EQ(f.size(), 5u) << line;
      files[contract + f[0]] = f[1] + "|" + f[2];
    }
    contractKm[contract] = files[contract + "Totale Contratto"];
  }
  EXPECT_EQ(files, statement);

  ASSERT_TRUE(Run(RunAttachmentCommand, totals + "/T.txt",
                  {{"tutti_enti", "1"}, {"inizio", "15/02/2010"}, {"fine", "10/11/2010"},
                   {"elaborazione", "Solo Totali"}}));
  EXPECT_THAT(FilesIn(totals), UnorderedElementsAre("TOT_A101_E1.TXT", "TOT_A101_E2.TXT"));
  for (int ente : {1, 2}) {
    const std::string contract = Format("%d/%d ", ente, kCompany);
    const std::string tot = comms::test::ReadBytes(totals + Format("/TOT_A%d_E%d.TXT", kCompany, ente));
    const std::string km = contractKm[contract].substr(0, contractKm[contract].find('|'));
    EXPECT_NE(tot.find("\n\nTotale Contratto\t\t\t" + km + "\n"), std::string::npos) << tot;
  }
}

TEST_P(Attachments, AFolderThatCannotBeWrittenOrAStopLeavesNoFileAndFails) {
  Load(LinesNetwork(), "lines.txt");
  // kvtbase export-attachment --contesto=... MISSING/CONTRATTI.txt
  const std::string missing = kvt::test::TempDir() + "/missing/CONTRATTI.txt";
  std::map<std::string, std::string> fields = {{"contesto", "Piano di Esercizio (preventivo)"},
                                               {"inizio", "01/01/2010"},
                                               {"fine", "31/01/2010"}};
  std::ostringstream out, err;
  {
    CliUi cli(CliAnswers{false, {missing}, fields}, out, err, false);
    EXPECT_FALSE(RunAttachmentCommand(cli, db()));
    EXPECT_EQ(cli.Outcome(), CliOutcome::Failed);
  }
  EXPECT_EQ(err.str(), "ERRORE: KVT-BASE2\nImpossibile creare\n\n" + kvt::test::TempDir() +
                           "/missing/TOT_A101_E1.TXT\n");
  EXPECT_FALSE(std::filesystem::exists(kvt::test::TempDir() + "/missing"));

  // A folder where the second file cannot take its name (a folder of that name is in the
  // way): the first file, already named, is taken back too.
  const std::string folder = Folder("blocked");
  std::filesystem::create_directory(folder + "/DET_A101_E1.TXT");
  EXPECT_FALSE(Run(RunAttachmentCommand, folder + "/CONTRATTI.txt"));
  EXPECT_THAT(ui.Texts(), ElementsAre("Impossibile creare\n\n" + folder + "/DET_A101_E1.TXT"));
  EXPECT_THAT(FilesIn(folder), ElementsAre("DET_A101_E1.TXT"));
  EXPECT_TRUE(std::filesystem::is_empty(folder + "/DET_A101_E1.TXT"));

  // Stopped by the user while the running days are counted: nothing written, and said.
  const std::string stopped = Folder("stopped");
  ui.cancelAtCaption = "Conteggio Giorni di Effettuazione";
  EXPECT_FALSE(Run(RunAttachmentCommand, stopped + "/CONTRATTI.txt"));
  EXPECT_THAT(ui.Texts(), ElementsAre(std::string(kCancelledFileMessage)));
  EXPECT_TRUE(std::filesystem::is_empty(stopped));
}

TEST_P(Attachments, AFailedRenameLeavesTheFormerFilesByteForByte) {
  LoadTwoContracts();
  // The user's files of an earlier export, and one of their own.
  const std::string folder = Folder("former");
  const std::map<std::string, std::string> former = {{"DET_A102_E2.TXT", "dettagli di prima\n"},
                                                     {"NOTE.TXT", "appunti\n"},
                                                     {"TOT_A101_E1.TXT", "totali di prima\n"}};
  for (const auto& [name, text] : former) std::ofstream(folder + "/" + name) << text;
  auto contents = [&folder] {
    std::map<std::string, std::string> found;
    for (const std::string& name : FilesIn(folder))
      found[name] = comms::test::ReadBytes(folder + "/" + name);
    return found;
  };
  // Two files have taken their names when the third cannot.
  FailRenameForTests(3, ENOSPC);
  EXPECT_FALSE(Run(RunAttachmentCommand, folder, {{"tutti_enti", "1"}, {"tutte_aziende", "1"}}));
  FailRenameForTests(0, 0);
  EXPECT_THAT(ui.Texts(), ElementsAre("Impossibile creare\n\n" + folder + "/TOT_A102_E2.TXT"));
  EXPECT_EQ(contents(), former);

  ASSERT_TRUE(Run(RunAttachmentCommand, folder, {{"tutti_enti", "1"}, {"tutte_aziende", "1"}}));
  const auto written = contents();
  EXPECT_EQ(written.size(), 5u);
  EXPECT_EQ(written.at("NOTE.TXT"), "appunti\n");
  EXPECT_EQ(written.at("TOT_A101_E1.TXT").rfind("Legenda\tTotali Andata", 0), 0u);
}

KVT_INSTANTIATE_ENGINES(Attachments);

}  // namespace
}  // namespace kvt::contracts::test
