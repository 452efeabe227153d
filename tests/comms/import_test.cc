// The communication import on both engines: what is refused and with which messages, what
// is written and how, and how the running days of earlier communications are replaced.
#include "comms/import.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <regex>
#include <sstream>

#include "core/text.h"
#include "import_fixture.h"
#include "platform/scripted_ui.h"

namespace kvt::comms::test {
namespace {

using Strings = std::vector<std::string>;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The summary as the user reads it; counts of the "inserite" lines as (written, read).
std::string Summary(std::vector<std::pair<long, long>> rows, long deleted) {
  const char* names[] = {"Protocollo", "Fermate", "Archi", "Teste Itinerari", "Righe Itinerari",
                         "Corse",      "Orari",   "Mesi",  "Giorni"};
  std::string text = "Risultati dell'acquisizione della Comunicazione Aziendale:\n\n";
  for (size_t i = 0; i < rows.size(); ++i) {
    text += std::string(names[i]) + ": inserite " + std::to_string(rows[i].first) + " righe di " +
            std::to_string(rows[i].second) + "\n";
  }
  return text + "Giorni: eliminate " + std::to_string(deleted) + " righe precedenti obsolete\n";
}

class ImportTest : public CommsDbTest {};

TEST_P(ImportTest, GeneratedCommunicationIsWrittenWithTheExactSummaryAndAdvice) {
  GeneratorOptions o = Options();
  o.seed = 7;
  o.accentShare = 50;
  const std::string path = Generate(o, "plan.txt");
  const SectionCounts n = report.counts;
  ASSERT_TRUE(Import(path));
  const long days = static_cast<long>(report.runningDays);
  const auto all = [](int64_t rows) { return std::pair<long, long>(rows, rows); };
  EXPECT_EQ(ui.Texts(), (Strings{Summary({{1, 1},
                                          all(n[Section::Fermate]),
                                          all(n[Section::Archi]),
                                          all(n[Section::TesteItiner]),
                                          all(n[Section::RigheItiner]),
                                          all(n[Section::Corse]),
                                          all(n[Section::Orari]),
                                          all(n[Section::Giorni]),
                                          {days, days}},
                                         0),
                                 std::string(kImportAdvice)}));
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::Information);
  EXPECT_EQ(ui.messages[1].icon, MsgIcon::Information);
  EXPECT_EQ(TableCounts(), (std::vector<long long>{1, n[Section::Fermate], n[Section::Archi],
                                                   n[Section::TesteItiner], n[Section::RigheItiner],
                                                   n[Section::Corse], n[Section::Orari],
                                                   n[Section::Giorni], days}));
  // Every stop name arrived as UTF-8, accented letters included.
  EXPECT_GT(Count("fermate", "denom LIKE '%à%' OR denom LIKE '%ù%' OR denom LIKE '%è%'"), 0);
  EXPECT_EQ(Count("fermate", "comune = 0 AND azienda = 101 AND protoc = 1"), n[Section::Fermate]);
  EXPECT_EQ(Count("corse", "lotto = 0"), n[Section::Corse]);
  // Every step under its caption, in order; <corse> is read twice.
  EXPECT_EQ(ui.progressCaptions, (Strings{"Recupero Protocollo Comunicazione KvtTxt V2",
                                          "Recupero Aziende TPL",
                                          "Recupero Enti Contrattuali",
                                          "Recupero Protocollo Comunicazioni Precedenti",
                                          "Recupero Fermate Precedenti",
                                          "Recupero Archi Precedenti",
                                          "Recupero Percorsi Precedenti",
                                          "Recupero Corse Precedenti",
                                          "Importazione <fermate>",
                                          "Importazione <archi>",
                                          "Importazione <teste_itiner>",
                                          "Importazione <righe_itiner>",
                                          "Importazione <corse>",
                                          "Importazione <corse>",
                                          "Importazione <orari>",
                                          "Importazione <giorni>",
                                          "Inserimento Protocollo Comunicazione",
                                          "Inserimento Fermate",
                                          "Inserimento Archi",
                                          "Inserimento Teste Percorsi",
                                          "Inserimento Dettagli Percorsi",
                                          "Inserimento Corse",
                                          "Inserimento Orari",
                                          "Inserimento Periodi Effettuazione",
                                          "Pulizia Giorni Effettuazione Obsoleti",
                                          "Inserimento Giorni Effettuazione"}));
}

TEST_P(ImportTest, RefusedFilesGetTheirMessagesAtTheirLinesAndWriteNothing) {
  // Without the FERMATE declarator, line 3 holds ARCHI.
  const std::string good = ReadBytes(Generate(Options(), "plan.txt"));
  std::string bad = good;
  bad.erase(good.find("FERMATE\t"), good.find("ARCHI\t") - good.find("FERMATE\t"));
  const std::string path = Write("no_fermate.txt", bad);
  EXPECT_EQ(Errors(path), Blocking(3, "<protocollo>", "\tmanca il dichiaratore FERMATE"));
  EXPECT_FALSE(Import(path));
  EXPECT_EQ(ui.Texts(), Strings{std::string(kRefusedQuestion)});
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::Stop);
  EXPECT_EQ(ui.messages[0].buttons, MsgButtons::OkCancel);

  // A file that ends early misses its closing line; an empty one misses everything.
  std::string cut = good.substr(0, good.rfind("</giorni>"));
  const long last = static_cast<long>(std::count(cut.begin(), cut.end(), '\n')) + 1;
  EXPECT_EQ(Errors(Write("cut.txt", cut)),
            Blocking(last, "<giorni>", "\tmanca la dichiarazione di chiusura </giorni>"));
  EXPECT_EQ(Errors(Write("empty.txt", "")),
            Blocking(1, "<protocollo>", "\tmanca l'intestazione della sezione <protocollo>"));
  EXPECT_EQ(Errors(Write("two.txt", "<protocollo>2\n")),
            Blocking(1, "<protocollo>",
                     "\til numero di righe della sezione <protocollo> non è pari a 1"));
  // A reference base ("R" for the first flag) is not a communication.
  GeneratorOptions o = Options();
  o.reference = true;
  EXPECT_EQ(Errors(Generate(o, "base.txt")), Illegal(2, "<protocollo>"));
  EXPECT_EQ(TableCounts(), (std::vector<long long>{0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_P(ImportTest, EveryPlantedFaultIsReportedAtTheLineTheGeneratorGives) {
  const auto illegal = [](const std::string& tag) {
    return std::pair<std::string, std::string>{tag,
                                               "\tla riga tipo " + tag + " ha un formato illegale"};
  };
  const std::vector<std::pair<GenFault, std::pair<std::string, std::string>>> structural = {
      {GenFault::Checksum, {"<orari>", "\til CHECKSUM è errato"}},
      {GenFault::ProtocolChecksum, {"<protocollo>", "\til CHECKSUM è errato"}},
      {GenFault::WrongCount,
       {"<orari>",
        "\til numero di righe della sezione <orari> differisce da quanto dichiarato in "
        "<protocollo>"}},
      {GenFault::MissingDeclarator, {"<protocollo>", "\tmanca il dichiaratore FERMATE"}},
      {GenFault::BadRow, illegal("<corse>")},
      {GenFault::LongText, illegal("<fermate>")},
      {GenFault::BadMonth, illegal("<giorni>")}};
  for (const auto& [fault, texts] : structural) {
    GeneratorOptions o = Options();
    o.fault = fault;
    const std::string path = Generate(o, "fault.txt");
    EXPECT_EQ(Errors(path), Blocking(report.fault->line, texts.first, texts.second))
        << report.fault->description;
  }
  GeneratorOptions o = Options();
  o.fault = GenFault::BadRow;
  o.faultSection = Section::Giorni;
  o.faultRow = 0;
  const std::string badDays = Generate(o, "fault.txt");
  EXPECT_EQ(Errors(badDays), Illegal(report.fault->line, "<giorni>"));

  const std::pair<GenFault, std::string> references[] = {{GenFault::UnknownStop, "<fermate>"},
                                                         {GenFault::UnknownRoute, "<teste_itiner>"},
                                                         {GenFault::UnknownTrip, "<corse>"}};
  for (const auto& [fault, object] : references) {
    o = Options();
    o.fault = fault;
    const std::string path = Generate(o, "fault.txt");
    EXPECT_EQ(Errors(path), Strings{Missing(report.fault->line, object, 2100000000)});
  }
  o = Options();
  o.fault = GenFault::UnknownCompany;
  EXPECT_EQ(Errors(Generate(o, "unknown.txt")),
            (Strings{"RIGA 10 sezione <protocollo>; l'azienda comunicante è sconosciuta al sistema",
                     Missing(10, "<azienda>", 9999)}));

  // A stop repeated inside the file is a duplicate at its second line: the database would
  // keep only the first and report the communication acquired.
  o = Options();
  o.fault = GenFault::DuplicateStop;
  const std::string twice = Generate(o, "twice.txt");
  const long id = std::stol(report.fault->description.substr(std::string("stop ").size()));
  EXPECT_EQ(Errors(twice), Strings{Duplicate(report.fault->line, "<fermata>", id)});
  EXPECT_FALSE(Import(twice));
  EXPECT_EQ(Count("fermate"), 0);
}

TEST_P(ImportTest, LaterCommunicationsBuildOnEarlierOnesButCannotRepeatThem) {
  const std::string path = Generate(Options(), "plan.txt");
  ASSERT_TRUE(Import(path));
  const std::vector<long long> before = TableCounts();
  const Strings errors = Errors(path);
  ASSERT_GE(errors.size(), 2u);
  EXPECT_EQ(errors[0], "RIGA 10 sezione <protocollo>; la comunicazione esiste già");
  EXPECT_EQ(errors[1], Duplicate(10, "<protocollo>", 1));
  const auto count = [&](const std::string& object) {
    return std::count_if(errors.begin(), errors.end(), [&](const std::string& e) {
      return e.find("Oggetto " + object + " duplicato") != std::string::npos;
    });
  };
  // Every stop, arc, route and trip, and nothing else.
  EXPECT_EQ(count("<fermata>"), 12);
  EXPECT_EQ(count("<archi>"), 12);
  EXPECT_EQ(count("<teste_itiner>"), 2);
  EXPECT_EQ(count("<corse>"), 6);
  EXPECT_EQ(errors.size(), 2u + 12 + 12 + 2 + 6);
  // The first stop is on line 12 (after the protocol section and the <fermate> header).
  EXPECT_EQ(errors[2], Duplicate(12, "<fermata>", 1));
  EXPECT_FALSE(Import(path));
  EXPECT_EQ(TableCounts(), before);

  // New objects on the earlier network, and running days for the earlier trips: accepted.
  GeneratorOptions next = Options(2);
  next.idBase = 1000;
  next.refStops = next.refArcs = 12;
  next.refRoutes = 2;
  next.refTrips = 6;
  next.stops = 4;
  next.arcs = 6;
  next.routes = 0;
  next.trips = 3;
  const std::string second = Generate(next, "second.txt");
  EXPECT_EQ(Errors(second), Strings{});
  ASSERT_TRUE(Import(second));
  EXPECT_EQ(Count("corse"), 6 + 3);
  // One of the first trips brought again is refused, and only that.
  next.protoc = 3;
  next.idBase = 2000;
  next.fault = GenFault::DuplicateTrip;
  const std::string third = Generate(next, "third.txt");
  EXPECT_EQ(Errors(third), Strings{Duplicate(report.fault->line, "<corse>", 1)});
}

TEST_P(ImportTest, IdentifierFaultsAreAllCollectedWithTheTestedIdentifier) {
  Communication c = Plan(1);
  AddNetwork(c);
  AddTrip(c, 1);
  c.stops[1].local = 77;    // no such locality
  c.arcs[0].fine = 5;       // no such stop
  c.routeRows[0].arco = 9;  // no such arc
  c.trips[0].ente = 99;     // no such authority
  c.trips[0].nextcor = 42;  // no such trip (found on the second reading)
  c.times[1].ID = 3;        // no such trip
  c.days.push_back(Month(8, 2010, 1, {4}));
  const Strings errors = Errors(Write(c, "faults.txt"));
  // Lines: 12-13 stops, 16 arc, 19 route head, 22 route row, 25 trip (read twice: the next
  // trip is checked on the second reading), 28-29 passages, 32 month.
  EXPECT_EQ(errors, (Strings{Missing(13, "<localita>", 77), Missing(16, "<fermate>", 5),
                             Missing(22, "<archi>", 9), Missing(25, "<ente>", 99),
                             Missing(25, "<corse>", 42), Missing(29, "<corse>", 3),
                             Missing(32, "<corse>", 8)}));
}

TEST_P(ImportTest, ColumnsAreFilledFromTheirFieldsAsWritten) {
  Communication c = Plan(1);
  AddNetwork(c);
  c.stops.push_back({3, "", "Stazione FS", "Piazzale", 0, 0, 0});
  c.stops.push_back({4, "F4", "Piazza Libert\xE0", "", 0, 12.5, 0});
  c.routes.push_back({2, "", "Citt\xE0 - Porto"});
  AddTrip(c, 1);
  AddTrip(c, 2);
  c.trips[0].nextcor = 2;
  c.trips[1].prevcor = 1;
  c.trips[1].codcorsa = "";
  c.trips[1].verso = 'R';
  c.trips[1].hh_p = 23;
  c.trips[1].mm_p = 5;
  c.trips[1].mezzo = '\xC8';  // a mode letter outside ASCII arrives as UTF-8
  c.times[3].nonferma = true;
  c.days.push_back(Month(1, 2010, 2, {1, 28, 29, 30, 31}));  // 2010 was not a leap year
  ASSERT_TRUE(Import(Write(c, "columns.txt")));
  // A coordinate of 0 is none, and the stop's coordinates are then not fixed.
  EXPECT_EQ(
      Rows("SELECT ID, okcoord, fermata, denom, ubicaz, CAST(coord_x * 100 AS INTEGER), "
           "CAST(coord_y * 100 AS INTEGER) FROM fermate ORDER BY ID",
           7),
      (Strings{"1|1|F1|Piazza Roma|Lato nord|160000050|500000025",
               "2|1|F2|Via Mazzini|NULL|160100000|500100000", "3|0||Stazione FS|Piazzale|NULL|NULL",
               "4|0|F4|Piazza Libertà|NULL|1250|NULL"}));
  EXPECT_EQ(Rows("SELECT ID, codperc, denom FROM tesitine ORDER BY ID", 3),
            (Strings{"1|P1|Piazza Roma - Via Mazzini", "2||Città - Porto"}));
  EXPECT_EQ(
      Rows("SELECT ID, codcorsa, codlinea, verso, ente, codperc, capol_p, hh_p, mm_p, "
           "capol_a, lung, prevcor, nextcor, mezzo, lotto FROM corse ORDER BY ID",
           15),
      (Strings{"1|C|L1|A|1|1|1|7|0|2|850|NULL|2|U|0", "2||L1|R|1|1|1|23|5|2|850|1|NULL|È|0"}));
  EXPECT_EQ(Rows("SELECT ID, sub, fermata, hh, mm, primaria, facolt, nonferma FROM orari "
                 "WHERE ID = 2 ORDER BY sub",
                 8),
            (Strings{"2|1|1|7|0|1|0|0", "2|2|2|7|10|1|0|1"}));
  // Days that February 2010 did not have mark nothing: "N" past the month's end, as
  // everything that counts the month string expects.
  EXPECT_EQ(Rows("SELECT ID, protoc, anno, mese, giorni FROM mesi", 5),
            Strings{"1|1|2010|2|S" + std::string(26, 'N') + "SNNN"});
  EXPECT_EQ(ui.Texts().at(0),
            Summary({{1, 1}, {4, 4}, {1, 1}, {2, 2}, {1, 1}, {2, 2}, {4, 4}, {1, 1}, {2, 2}}, 0));
  EXPECT_EQ(Rows("SELECT ID, protoc, giorno FROM giorni ORDER BY data", 3),
            (Strings{"1|1|1", "1|1|7"}));  // Monday 1 and Sunday 28 February 2010
}

TEST_P(ImportTest, AnHypothesisKeepsItsMonthsButTouchesNoRunningDay) {
  Communication plan = Plan(1);
  AddNetwork(plan);
  AddTrip(plan, 1);
  plan.days.push_back(Month(1, 2010, 3, {1, 2, 3}));
  ASSERT_TRUE(Import(Write(plan, "plan.txt")));
  Communication idea = Plan(2);
  idea.protocol.tipo = 'I';
  idea.protocol.azzera = true;
  idea.stops.push_back({10, "F10", "Via Garibaldi", "", 0, 0, 0});
  idea.arcs.push_back({10, 2, 10, 400});  // starts at stop 2 of the plan
  idea.days.push_back(Month(1, 2010, 3, {10, 11}));
  const std::string path = Write(idea, "idea.txt");
  EXPECT_EQ(Errors(path), Strings{});
  ASSERT_TRUE(Import(path));
  EXPECT_EQ(ui.Texts().at(0),
            Summary({{1, 1}, {1, 1}, {1, 1}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {1, 1}, {0, 0}}, 0));
  EXPECT_EQ(Rows("SELECT protoc, inizio, fine, lung FROM archi WHERE ID = 10", 4),
            Strings{"2|2|10|400"});
  EXPECT_EQ(Count("mesi"), 2);
  EXPECT_EQ(Rows("SELECT protoc FROM giorni ORDER BY data", 1), (Strings{"1", "1", "1"}));
}

// A value a column of the database cannot take refuses its row, never a row stored without
// it: here the months' day strings in a database whose month column holds dates.
TEST_P(ImportTest, ValueTheTableRefusesRefusesItsRowAndTheSummarySaysSo) {
  Exec("ALTER TABLE mesi DROP COLUMN giorni");
  Exec("ALTER TABLE mesi ADD COLUMN giorni DATE");
  Communication plan = Plan(1);
  AddNetwork(plan);
  AddTrip(plan, 1);
  plan.days.push_back(Month(1, 2010, 3, {1, 2, 3}));
  ASSERT_TRUE(Import(Write(plan, "plan.txt")));
  const Strings texts = ui.Texts();
  EXPECT_NE(
      std::find(
          texts.begin(), texts.end(),
          Summary({{1, 1}, {2, 2}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {2, 2}, {0, 1}, {3, 3}}, 0)),
      texts.end())
      << ::testing::PrintToString(texts);
  EXPECT_EQ(Count("mesi"), 0);
}

// Company 101 runs trips 1-3 every day from 1 December 2009 to 31 January 2011; company 102
// runs trip 1 on the same days.
class ReplaceTest : public ImportTest {
 protected:
  void SetUp() override {
    ImportTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    for (int company : {101, 102}) {
      Communication c = Plan(1, {1, 12, 2009}, {31, 1, 2011});
      c.protocol.azienda = company;
      AddNetwork(c);
      for (int32_t trip = 1; trip <= (company == 101 ? 3 : 1); ++trip) {
        AddTrip(c, trip);
        for (int ym = 2009 * 12 + 11; ym <= 2011 * 12; ++ym) {
          std::vector<int> all(static_cast<size_t>(DaysInMonth(ym % 12 + 1, ym / 12)));
          std::iota(all.begin(), all.end(), 1);
          c.days.push_back(Month(trip, ym / 12, ym % 12 + 1, all));
        }
      }
      ASSERT_TRUE(Import(Write(c, "base" + std::to_string(company) + ".txt")));
    }
    ASSERT_EQ(Count("giorni", "azienda = 101"), 3 * (31 + 365 + 31));
  }

  // A plan of company 101 over 2010 that runs trip `trip` on 5 and 6 May 2010.
  Communication Replacement(bool azzera, int32_t trip) {
    Communication c = Plan(2);
    c.protocol.azzera = azzera;
    if (trip > 3) {
      AddTrip(c, trip);
    }
    c.days.push_back(Month(trip, 2010, 5, {5, 6}));
    return c;
  }
};

TEST_P(ReplaceTest, ReplacingPlanDeletesEveryDayOfTheCompanyInItsPeriod) {
  ASSERT_TRUE(Import(Write(Replacement(true, 4), "replace.txt")));
  EXPECT_EQ(
      ui.Texts().at(0),
      Summary({{1, 1}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {1, 1}, {2, 2}, {1, 1}, {2, 2}}, 3 * 365));
  // Trips 1-3 keep December 2009 and January 2011 only: both ends of the period went.
  EXPECT_EQ(Count("giorni", "azienda = 101 AND ID <= 3"), 3 * (31 + 31));
  EXPECT_EQ(Rows("SELECT ID, protoc FROM giorni WHERE azienda = 101 AND ID = 4", 2),
            (Strings{"4|2", "4|2"}));
  for (int trip = 1; trip <= 3; ++trip) {
    EXPECT_EQ(Count("giorni", "azienda = 101 AND ID = " + std::to_string(trip) +
                                  " AND data = " + db().dialect().DateLiteral(31, 12, 2009)),
              1);
    EXPECT_EQ(Count("giorni", "azienda = 101 AND ID = " + std::to_string(trip) +
                                  " AND data = " + db().dialect().DateLiteral(1, 1, 2011)),
              1);
  }
  EXPECT_EQ(Count("giorni", "azienda = 102"), 31 + 365 + 31);
}

TEST_P(ReplaceTest, IntegratingPlanDeletesOnlyTheDaysOfItsOwnTrips) {
  ASSERT_TRUE(Import(Write(Replacement(false, 2), "integrate.txt")));
  EXPECT_EQ(ui.Texts().at(0),
            Summary({{1, 1}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {1, 1}, {2, 2}}, 365));
  EXPECT_EQ(Count("giorni", "azienda = 101 AND ID = 2"), 31 + 2 + 31);
  EXPECT_EQ(Count("giorni", "azienda = 101 AND ID = 1"), 31 + 365 + 31);
  EXPECT_EQ(Count("giorni", "azienda = 101 AND ID = 3"), 31 + 365 + 31);
  EXPECT_EQ(Count("giorni", "azienda = 102"), 31 + 365 + 31);
}

TEST_P(ImportTest, ErrorReportHoldsTheDateTheFileNameAndEveryMessageInWindows1252) {
  GeneratorOptions o = Options();
  o.fault = GenFault::UnknownStop;
  const std::string path = Generate(o, "unknown_stop.txt");
  const std::string saved = kvt::test::TempDir() + "/ERRORI.TXT";
  const auto refuse = [&](const std::string& file, MsgResult answer, const std::string& report) {
    ui.Clear();
    ui.QueueFile(file);
    ui.QueueAnswer(answer);
    ui.QueueFile(report);
    EXPECT_FALSE(ImportCommunication(db(), ui));
    return Lines(ReadBytes(report));
  };
  Strings lines = refuse(path, MsgResult::Ok, saved);
  EXPECT_EQ(ui.Texts(), Strings{std::string(kRefusedQuestion)});
  ASSERT_EQ(ui.fileDialogs.size(), 2u);
  for (const FileDialogSpec& chooser : ui.fileDialogs) {
    EXPECT_EQ(chooser.filter, "File di testo (*.txt)|*.txt|Tutti i files (*.*)|*.*||");
    EXPECT_EQ(chooser.defaultExt, "TXT");
  }
  EXPECT_EQ(ui.fileDialogs[0].title, "Importazione Comunicazione Aziendale KvtTxt V2");
  EXPECT_EQ(ui.fileDialogs[1].title, "Salvataggio Errori Importazione KvtTxt V2");
  EXPECT_EQ(ui.fileDialogs[1].defaultName, "ERRORI_KVT_TXT_V2");
  EXPECT_TRUE(ui.fileDialogs[1].overwritePrompt);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(\d\d/\d\d/\d{4} \d\d\.\d\d:\d\d)")))
      << lines[0];
  EXPECT_EQ(lines[1], std::string(83, '='));
  EXPECT_EQ(lines[2], "Errori Riscontrati durante l'importazione del file " + path);
  EXPECT_EQ(lines[3], std::string(83, '='));
  EXPECT_EQ(lines[4], "");
  EXPECT_EQ(lines[5], Utf8ToCp1252(Missing(report.fault->line, "<fermate>", 2100000000)));
  EXPECT_NE(lines[5].find("\xE8 possibile"), std::string::npos);  // "è" as one 1252 byte

  // A file that cannot be opened still offers its (empty) report.
  const std::string missing = kvt::test::TempDir() + "/missing.txt";
  lines = refuse(missing, MsgResult::Ok, saved);
  EXPECT_EQ(ui.Texts(), (Strings{std::string(kCannotOpenMessage), std::string(kRefusedQuestion)}));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[2], "Errori Riscontrati durante l'importazione del file " + missing);
  // A report that cannot be written says so; Cancel at the question shows no chooser.
  refuse(path, MsgResult::Ok, kvt::test::TempDir() + "/no/such/folder/report.txt");
  EXPECT_EQ(ui.Texts(),
            (Strings{std::string(kRefusedQuestion), std::string(kReportFailedMessage)}));
  refuse(path, MsgResult::Cancel, saved);
  EXPECT_EQ(ui.fileTitles.size(), 1u);
  // A file named relative to the working folder is reported by its full name.
  ASSERT_TRUE(WriteErrorReport(saved, "rel/plan.txt", {}));
  EXPECT_EQ(Lines(ReadBytes(saved))[2],
            "Errori Riscontrati durante l'importazione del file " +
                (std::filesystem::current_path() / "rel/plan.txt").string());
}

KVT_INSTANTIATE_ENGINES(ImportTest);
KVT_INSTANTIATE_ENGINES(ReplaceTest);

}  // namespace
}  // namespace kvt::comms::test
