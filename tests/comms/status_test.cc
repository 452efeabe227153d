// The status window and the deletion of a company's latest communication, on both engines.
#include "comms/status.h"

#include <gtest/gtest.h>

#include <sstream>

#include "comms/commands.h"
#include "core/text.h"
#include "import_fixture.h"
#include "platform/cli_ui.h"

namespace kvt::comms::test {
namespace {

using Strings = std::vector<std::string>;

class StatusTest : public CommsDbTest {
 protected:
  // Company 101: a generated first communication and a second one that uses its stops,
  // arcs and routes and adds its own.
  void ImportTwo() {
    GeneratorOptions first = Options(1);
    first.datini = {1, 1, 2010};
    first.datfin = {31, 3, 2010};
    ASSERT_TRUE(Import(Generate(first, "first.txt")));
    afterFirst_ = AllCounts();
    GeneratorOptions second = Following(first);
    second.datini = {1, 2, 2010};
    second.datfin = {28, 2, 2010};
    ASSERT_TRUE(Import(Generate(second, "second.txt")));
    ui.Clear();
  }

  // Every table the deletion touches, counted.
  std::vector<long long> AllCounts() {
    std::vector<long long> counts = TableCounts();
    for (const char* t : {"linkzone", "symday", "polferma", "geoitine"}) counts.push_back(Count(t));
    return counts;
  }

  std::vector<long long> afterFirst_;
};

TEST_P(StatusTest, ListsShowTheCompaniesTheirCommunicationsAndTheProtocolInWords) {
  ImportTwo();
  Communication other = Plan(7);
  other.protocol.azienda = 102;
  other.protocol.tipo = 'I';
  other.protocol.azzera = true;
  other.protocol.resple = "Sig.ra Ros\xe0";
  ASSERT_TRUE(Import(Write(other, "other.txt")));
  // A type letter this program never writes, as older databases may hold.
  Exec("UPDATE proto SET tipo = 'X' WHERE azienda = 101 AND protoc = 2");
  const std::string name102 = Rows("SELECT denom FROM regazi WHERE codice = 102", 1).at(0);
  ui.Clear();

  ui.QueueForm([&](Form& f) {
    EXPECT_EQ(f.Title(), "Situazione Comunicazioni Aziendali");
    EXPECT_EQ(f.Field("azienda").entries,
              (Strings{"0101 - Autolinee Velmoresi S.p.A.", "0102 - " + name102}));
    EXPECT_TRUE(f.Field("comunicazioni").entries.empty());
    EXPECT_TRUE(f.SetFromText("azienda", "0101 - Autolinee Velmoresi S.p.A."));
    EXPECT_EQ(f.Field("comunicazioni").entries,
              (Strings{"1 P del 01/01/2010 [dal 01/01/2010 al 31/03/2010]",
                       "2 X del 01/02/2010 [dal 01/02/2010 al 28/02/2010]"}));
    EXPECT_TRUE(f.SetFromText("comunicazioni", f.Field("comunicazioni").entries.at(1)));
    EXPECT_TRUE(f.SetFromText("azienda", "0102 - " + name102));
    EXPECT_TRUE(f.SetFromText("comunicazioni", "7"));  // as the command line gives it
    return true;
  });
  CommunicationStatusCommand(db(), ui);
  EXPECT_EQ(ui.Texts(),
            (Strings{"Comunicazione n.ro 2 del 01/02/2010\n\n"
                     "Responsabile: Ufficio Esercizio\n"
                     "Modo: Comunicazione Incrementale\n"
                     "Contenuto: Sconosciuto\n"
                     "Integra le comunicazioni precedenti\n\n"
                     "Periodo di validità: dal 01/02/2010 al 28/02/2010\n",
                     "Comunicazione n.ro 7 del 01/01/2010\n\n"
                     "Responsabile: Sig.ra Rosà\n"
                     "Modo: Comunicazione Incrementale\n"
                     "Contenuto: Ipotesi Progettuale\n"
                     "Sostituisce qualsiasi comunicazione precedente\n\n"
                     "Periodo di validità: dal 01/01/2010 al 31/12/2010\n"}));
  EXPECT_EQ(ui.messages.at(0).icon, MsgIcon::Information);
}

TEST_P(StatusTest, ChooserOffersTheLatestOfEachCompanyEvenWhenTwoShareAName) {
  // 101 sends 1 and 3, 102 (renamed as 101) sends 2 in between: ordered by name and number
  // alone, 101's rows would be split by 102's and its communication 1 offered as latest.
  Exec("UPDATE regazi SET denom = 'Autolinee Velmoresi S.p.A.' WHERE codice = 102");
  for (auto [company, protoc] : {std::pair{101, 1}, {102, 2}, {101, 3}}) {
    Communication c = Plan(protoc);
    c.protocol.azienda = company;
    c.protocol.p_data = {protoc, 1, 2010};
    ASSERT_TRUE(Import(Write(c, Format("c%d.txt", protoc))));
  }
  const Strings entries = LatestCommunicationEntries(db()).value();
  EXPECT_EQ(entries, (Strings{"0101 - 000003 - P del 03/01/2010 Autolinee Velmoresi S.p.A.",
                              "0102 - 000002 - P del 02/01/2010 Autolinee Velmoresi S.p.A."}));

  // Texts that do not name a listed communication keep the chooser open, with the message.
  const std::string invalid =
      "ATTENZIONE: Il Codice Comunicazione non è valido.\n\n"
      "Occorre selezionare un Codice Comunicazione presente nella lista.\n\n";
  ui.Clear();
  for (const char* typed : {"0101 - 000001", "101 - 000003", "0103 - 000003", "0102 - 000003"})
    ui.QueueFormValues({{"comunicazione", typed}});
  ui.QueueForm([](Form&) { return false; });
  const std::vector<long long> before = TableCounts();
  EXPECT_FALSE(DeleteCommunicationCommand(db(), ui));
  EXPECT_EQ(ui.Texts(), Strings(4, invalid));
  EXPECT_EQ(ui.formTitles, Strings{"Eliminazione Comunicazione"});
  // Annulla at the question deletes nothing either.
  ui.Clear();
  ui.QueueFormValues({{"comunicazione", "0102 - 000002"}});
  ui.QueueAnswer(MsgResult::Cancel);
  EXPECT_FALSE(DeleteCommunicationCommand(db(), ui));
  EXPECT_EQ(ui.Texts(), Strings{std::string(kDeletionQuestion)});
  EXPECT_EQ(TableCounts(), before);
}

TEST_P(StatusTest, DeletionRemovesExactlyTheLatestCommunicationAndTheCompanyWideRows) {
  ImportTwo();
  // Rows of the other tables: a route geometry of each communication, a zoning link of a
  // stop of each, the company's simulation day and stop-pole rows.
  Exec("INSERT INTO tipozona (tipo, denom) VALUES (1, 'Zone')");
  Exec("INSERT INTO zone (tipo, ID, denom, abitanti, centro_x, centro_y) "
       "VALUES (1, 1, 'Centro', 0, 0, 0)");
  Exec("INSERT INTO linkzone (tipo, zona, azienda, fermata, protoc) VALUES (1, 1, 101, 1, 1)");
  Exec("INSERT INTO linkzone (tipo, zona, azienda, fermata, protoc) VALUES (1, 1, 101, 101, 2)");
  for (int route : {1, 101})
    Exec(Format("INSERT INTO geoitine (azienda, ID, punti, minx, miny, maxx, maxy) "
                "VALUES (101, %d, 0, 0, 0, 0, 0)",
                route));
  Exec("INSERT INTO poli (ID, denom, ubicaz, minimo, massimo) VALUES (1, 'Polo', '', 0, 0)");
  Exec("INSERT INTO polferma (ID, azienda, ferma) VALUES (1, 101, 1)");
  Exec("INSERT INTO symday (tipo, azienda, ID, data) VALUES ('P', 101, 1, " +
       db().dialect().DateLiteral(1, 1, 2010) + ")");
  std::vector<long long> expected = afterFirst_;
  expected.resize(9);
  expected.insert(expected.end(), {1, 0, 0, 1});  // linkzone, symday, polferma, geoitine
  const std::vector<long long> before = AllCounts();

  ui.QueueFormValues({{"comunicazione", LatestCommunicationEntries(db()).value().at(0)}});
  ui.defaultAnswer = MsgResult::Ok;
  ASSERT_TRUE(DeleteCommunicationCommand(db(), ui));
  EXPECT_EQ(AllCounts(), expected);
  EXPECT_EQ(Count("proto", "protoc = 2"), 0);
  ASSERT_EQ(ui.Texts().size(), 3u);
  EXPECT_EQ(ui.Texts()[0], kDeletionQuestion);
  EXPECT_EQ(ui.Texts()[1],
            Format("Risultati dell'eliminazione delle Comunicazione Aziendale:\n\n"
                   "Eliminate 1 righe protocollo\n"
                   "Eliminate %lld righe fermate\n"
                   "Eliminate %lld righe archi\n"
                   "Eliminate 1 righe teste percorso\n"
                   "Eliminate %lld righe dettagli percorso\n"
                   "Eliminate 1 geometrie percorso\n"
                   "Eliminate 2 righe corse\n"
                   "Eliminate %lld righe orari\n"
                   "Eliminate %lld righe mesi effettuazione\n"
                   "Eliminate %lld righe giorni effettuazione\n"
                   "Eliminate 1 righe giorni simulazione\n"
                   "Eliminate 1 righe fermate x poli direttrice\n"
                   "Eliminate 1 righe legami tra fermate e zonizzazioni\n\n",
                   before[1] - afterFirst_[1], before[2] - afterFirst_[2],
                   before[4] - afterFirst_[4], before[6] - afterFirst_[6],
                   before[7] - afterFirst_[7], before[8] - afterFirst_[8]));
  EXPECT_EQ(ui.Texts()[2], kDeletionAdvice);
  EXPECT_EQ(ui.messages[1].icon, MsgIcon::Information);
  // The one before is now the latest, and can go in its turn.
  EXPECT_EQ(LatestCommunicationEntries(db()),
            Strings{"0101 - 000001 - P del 01/01/2010 Autolinee Velmoresi S.p.A."});
  ui.Clear();
  ui.QueueFormValues({{"comunicazione", "0101 - 000001"}});
  ui.defaultAnswer = MsgResult::Ok;
  ASSERT_TRUE(DeleteCommunicationCommand(db(), ui));
  EXPECT_EQ(AllCounts(), std::vector<long long>(13, 0));
  EXPECT_TRUE(LatestCommunicationEntries(db()).value().empty());
}

TEST_P(StatusTest, ListsTheDatabaseCannotReadEndTheCommandsInsteadOfShowingNone) {
  ImportTwo();
  const std::vector<long long> before = AllCounts();
  Exec("ALTER TABLE regazi RENAME TO regazi_away");
  EXPECT_EQ(StatusCompanyEntries(db()), std::nullopt);
  EXPECT_EQ(LatestCommunicationEntries(db()), std::nullopt);
  ui.Clear();
  ui.QueueFormValues({{"comunicazione", "0101 - 000002"}});
  ui.defaultAnswer = MsgResult::Ok;
  EXPECT_FALSE(DeleteCommunicationCommand(db(), ui));
  Exec("ALTER TABLE regazi_away RENAME TO regazi");
  // The read's failure is shown, and no chooser opens on a list that only looks empty.
  EXPECT_FALSE(ui.Texts().empty());
  EXPECT_TRUE(ui.formTitles.empty());
  for (const std::string& text : ui.Texts())
    EXPECT_NE(text, PickInvalidMessage("Codice Comunicazione"));
  EXPECT_EQ(AllCounts(), before);
  EXPECT_EQ(StatusCommunicationEntries(db(), 101).value().size(), 2u);
}

TEST_P(StatusTest, DeletionThatFailsOrDiesHalfWayLeavesEverything) {
  ImportTwo();
  const std::vector<long long> before = AllCounts();
  // The route heads cannot be read: trips and timetables are gone by then.
  Exec("ALTER TABLE tesitine RENAME TO tesitine_away");
  DeletionCounts counts;
  EXPECT_FALSE(DeleteCommunication(db(), ui, {101, 2}, counts));
  ASSERT_FALSE(ui.Texts().empty());
  EXPECT_EQ(ui.Texts().back(), kDeletionAbortedMessage);
  Exec("ALTER TABLE tesitine_away RENAME TO tesitine");
  EXPECT_EQ(AllCounts(), before);

  for (const char* step : {"Eliminazione Corse", "Eliminazione Protocollo"}) {
    EXPECT_TRUE(DiesAt(step, [&](db::Database& own, StepUi& dying) {
      (void)DeleteCommunication(own, dying, {101, 2}, counts);
    })) << step;
    EXPECT_EQ(AllCounts(), before) << step;
  }
}

TEST_P(StatusTest, CommandLineDeletesOnlyWithYes) {
  ImportTwo();
  std::ostringstream out, err;
  const CommandLine line{{}, {}};
  {
    // kvtbase comms-delete --comunicazione="0101 - 000002": the question is answered Annulla
    CliUi cli(CliAnswers{false, {}, {{"comunicazione", "0101 - 000002"}}}, out, err, false);
    RunDeleteCommand(cli, db(), &line);
    EXPECT_EQ(cli.Outcome(), CliOutcome::Cancelled);
  }
  EXPECT_EQ(Count("proto"), 2);
  {
    CliUi cli(CliAnswers{true, {}, {{"comunicazione", "0101 - 000002"}}}, out, err, false);
    RunDeleteCommand(cli, db(), &line);
    EXPECT_EQ(cli.Outcome(), CliOutcome::Success) << err.str();
  }
  EXPECT_EQ(Count("proto"), 1);
  EXPECT_NE(out.str().find("Eliminate 1 righe protocollo\n"), std::string::npos) << out.str();
}

KVT_INSTANTIATE_ENGINES(StatusTest);

}  // namespace
}  // namespace kvt::comms::test
