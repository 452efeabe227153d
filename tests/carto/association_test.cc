// Stops and the territory on a small map, on both engines: default positions, automatic
// association, municipality from locality, average speeds and the two manual dialogs.
#include "carto/association.h"

#include <gtest/gtest.h>

#include "carto_fixture.h"
#include "db/rows.h"
#include "platform/form.h"

namespace kvt::carto::test {
namespace {

class AssociationTest : public CartoDbTest {
 protected:
  // Municipalities 1 (square 0..100) and 2 (square 50..150) overlap on 50..100;
  // 3 is the square 300..400 with a hole 340..360. Localities 1 (in municipality 1, square
  // 0..30, centroid 15,15), 2 (municipality 2, centroid 0,0) and 3 (municipality 3,
  // centroid -5,10). Companies 101 and 102 both have a stop 1.
  void SetUp() override {
    CartoDbTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    Municipality(1, "L'Aquila", "066049");
    Municipality(2, "Pescara", "068028");
    Municipality(3, "Città Sant'Angelo", "068012");
    Boundary("geocom", 1, 0, 0, Square(0, 0, 100));
    Boundary("geocom", 2, 0, 0, Square(50, 50, 100));
    Boundary("geocom", 3, 0, 0, Square(300, 0, 100));
    Boundary("geocom", 3, 0, 1, Square(340, 40, 20));
    Locality(1, "Paganica", "066049", 15, 15);
    Locality(2, "Porta Nuova", "068028", 0, 0);
    Locality(3, "Frazione Isolata", "068012", -5, 10);
    Boundary("geoloc", 1, 0, 0, Square(0, 0, 30));
    Protocol(101);
    Protocol(102);
    ASSERT_TRUE(ui.messages.empty()) << ::testing::PrintToString(ui.Texts());
  }

  // "azienda|ID|a|b" of every stop, NULL as "NULL".
  Strings Stops(const std::string& a, const std::string& b) {
    return Rows("SELECT azienda, ID, " + a + ", " + b + " FROM fermate ORDER BY azienda, ID", 4);
  }
};

TEST_P(AssociationTest, AutomaticAssociationToMunicipalitiesAndLocalities) {
  Stop(101, 1, "Centro", "25", "25", 0, 0);
  Stop(101, 2, "Confine", "75,5", "75", 3);        // both contain it: the lower ID
  Stop(101, 3, "Stazione", "125", "125", 0, 3);
  Stop(101, 4, "Lago", "350", "50", 3);            // in municipality 3's hole
  Stop(101, 5, "Altrove", "1000", "1000", 2, 1);   // outside everything: loses its codes
  Stop(101, 6, "Senza posizione", "", "", 2, 1);   // not analysed
  Stop(102, 1, "Colle", "320", "10", 0, 0);

  ui.QueueAnswer(MsgResult::Cancel);
  AssociateStopsCommand(db(), ui, AreaKind::Municipalities);
  EXPECT_EQ(Stops("comune", "local").at(0), "101|1|0|0");  // Annulla: nothing changed

  ui.Clear();
  AssociateStopsCommand(db(), ui, AreaKind::Municipalities);
  EXPECT_EQ(Stops("comune", "local"),
            (Strings{"101|1|1|0", "101|2|1|0", "101|3|2|3", "101|4|0|0", "101|5|0|1",
                     "101|6|2|1", "102|1|3|0"}));
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[0].text,
            "La presente funzione associa ad ogni fermata il Comune corrispondente.\n\n"
            "La corrispondenza viene determinata sulla base del posizionamento indicato\n"
            "per la fermata (georeferenziazione)\n\n"
            "Intendi procedere?");
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::Question);
  EXPECT_EQ(ui.messages[1].text,
            "Risultati dell'assegnazione automatica dei Comuni di pertinenza alle fermate:\n\n"
            "6 Fermate analizzate.\n\n"
            "4 Fermate assegnate al Comune di pertinenza.\n\n"
            "2 Fermate per i quali non è identificabile il Comune");
  EXPECT_EQ(ui.messages[1].icon, MsgIcon::Information);

  // Localities: a corrupt boundary row is reported and the others still count.
  CorruptBoundary("geoloc", 2, 0, "0123456789");
  ui.Clear();
  AssociateStopsCommand(db(), ui, AreaKind::Localities);
  EXPECT_EQ(Stops("comune", "local"),
            (Strings{"101|1|1|1", "101|2|1|0", "101|3|2|0", "101|4|0|0", "101|5|0|0",
                     "101|6|2|1", "102|1|3|0"}));
  EXPECT_EQ(ui.Texts(),
            (Strings{"La presente funzione associa ad ogni fermata la Località corrispondente.\n\n"
                     "La corrispondenza viene determinata sulla base del posizionamento "
                     "indicato\nper la fermata (georeferenziazione)\n\nIntendi procedere?",
                     "Confine Località 2/0/0 corrotto !!!",
                     "Risultati dell'assegnazione automatica della Località di pertinenza alle "
                     "fermate:\n\n"
                     "6 Fermate analizzate.\n\n"
                     "1 Fermate assegnate alla Località di pertinenza.\n\n"
                     "5 Fermate per i quali non è identificabile la Località"}));
}

TEST_P(AssociationTest, DefaultPositionsAndMunicipalityFromLocality) {
  Stop(101, 1, "Senza posizione", "", "", 0, 1);
  Stop(101, 2, "Bloccata", "1", "1", 0, 1, true);       // okcoord: never moved
  Stop(101, 3, "Centroide nullo", "", "", 1, 2);        // centroid 0,0: left alone
  Stop(101, 4, "Centroide negativo", "", "", 0, 3);     // centroid -5,10: left alone
  Stop(101, 5, "Senza località", "", "", 2, 0);         // not extracted
  Stop(101, 6, "Da spostare", "7", "7", 0, 1);          // overwritten

  DefaultGeoreferencing(db(), ui);
  EXPECT_EQ(Stops("coord_x", "coord_y"),
            (Strings{"101|1|15|15", "101|2|1|1", "101|3|NULL|NULL", "101|4|NULL|NULL",
                     "101|5|NULL|NULL", "101|6|15|15"}));
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[0].text,
            "Questa funzione opera come segue:\n\n"
            "1) Vengono estratte TUTTE le fermate di QUALSIASI AZIENDA purchè prive di "
            "georeferenziazione.\n"
            "2) Se la fermata risulta associata ad un LOCALITA' le verranno assegnate per "
            "default le\n"
            "     coordinate del CENTROIDE della LOCALITA'\n\n"
            "Intendi procedere con la georeferenziazione di default delle fermate ?");
  EXPECT_EQ(ui.messages[1].text,
            "Risultati della georeferenziazione fermate di default:\n\n"
            "Estratte 4 fermate non georeferenziate ma associate a località\n\n"
            "Georeferenziazione di default assegnata a 2 fermate");

  // Municipality from locality: 1 -> 1, 2 -> 2, 3 -> 3; a stop of locality 0 keeps its
  // code.
  ui.Clear();
  MunicipalityFromLocality(db(), ui);
  EXPECT_EQ(Stops("comune", "local"),
            (Strings{"101|1|1|1", "101|2|1|1", "101|3|2|2", "101|4|3|3", "101|5|2|0",
                     "101|6|1|1"}));
  EXPECT_EQ(ui.Texts(),
            (Strings{"ATTENZIONE: Questa funzione provvederà ad assegnare in automatico il "
                     "codice\nComune a tutte le fermate che risultano associate ad una "
                     "Località.\n\nConfermi l'elaborazione?",
                     "Sono state aggiornate 5 Fermate"}));
}

TEST_P(AssociationTest, AverageSpeedsFromMetresAndMinutes) {
  auto trip = [&](int id, int lung, int tempo) {
    AddRow("corse", {{"azienda", "101"}, {"ID", std::to_string(id)}, {"protoc", "1"},
                     {"codcorsa", "C" + std::to_string(id)}, {"codlinea", "L1"}, {"verso", "A"},
                     {"ente", "1"}, {"lung", std::to_string(lung)}, {"tempo", std::to_string(tempo)},
                     {"ct_lung", "0"}, {"ct_tempo", "0"}, {"codperc", "1"}, {"capol_p", "1"},
                     {"hh_p", "7"}, {"mm_p", "0"}, {"capol_a", "2"}, {"hh_a", "7"}, {"mm_a", "30"},
                     {"v_media", "12,5"}, {"lotto", "0"}, {"mezzo", "U"}});
  };
  trip(1, 15000, 30);
  trip(2, 10000, 0);  // no time: read, not updated
  trip(3, 45000, 90);
  trip(4, 1000, 7);   // 8.571... km/h, kept with two decimals
  ComputeAverageSpeeds(db(), ui);
  EXPECT_EQ(Rows("SELECT ROUND(v_media * 100) FROM corse ORDER BY ID", 1),
            (Strings{"3000", "1250", "3000", "857"}));
  EXPECT_EQ(ui.Texts(), (Strings{"Questa funzione calcola le velocità commerciali medie delle "
                                 "corse.\n\nIntendi calcolare le velocità medie?",
                                 "Risultati del calcolo delle velocità medie:\n\n"
                                 "\tCorse lette: 4\n\tCorse aggiornate: 3\n"}));
}

// Presses a button of the form as the user would.
void Press(Form& f, const char* id) { f.Field(id).onClick(f); }

TEST_P(AssociationTest, ManualMunicipalityDialogSearchesSafelyAndUpdatesOnlyItsCompany) {
  Stop(101, 1, "Via per l'Aquila", "", "");
  Stop(101, 2, "Bivio 100% Sud", "", "");
  Stop(101, 3, "Bivio 100 Nord", "", "");
  Stop(101, 4, "Laquila Bassa", "", "");
  Stop(101, 5, "Bivio 100x Est", "", "");
  Stop(102, 1, "Via per l'Aquila", "", "");
  const std::string invalidCompany =
      "ATTENZIONE: Il Codice Azienda non è valido.\n\n"
      "Occorre selezionare un Codice Azienda presente nella lista.\n\n"
      "La ricerca della fermata non può essere effettuata.";
  const std::string closing = "L'associazione tra Fermata e Comune non può essere effettuata.";
  std::vector<Strings> hits;
  ui.QueueForm([&](Form& f) {
    // The companies that own stops, once each.
    const Strings& companies = f.Field(field::kCompany).entries;
    EXPECT_EQ(companies.size(), 2u);
    EXPECT_EQ(companies.at(0).rfind("0101 - ", 0), 0u);
    EXPECT_EQ(companies.at(1).rfind("0102 - ", 0), 0u);
    Press(f, field::kSearchButton);  // no company
    f.SetFromText(field::kCompany, "0103");
    Press(f, field::kSearchButton);  // not a company with stops
    f.SetFromText(field::kCompany, f.Field(field::kCompany).entries[0]);
    Press(f, field::kSearchButton);  // no text
    f.SetFromText(field::kSearch, "Stazione");
    Press(f, field::kSearchButton);  // no hit
    f.SetFromText(field::kSearch, "l'Aquila");
    Press(f, field::kSearchButton);
    hits.push_back(f.Field(field::kStop).entries);
    EXPECT_FALSE(f.Field(field::kCompany).enabled);
    EXPECT_EQ(f.Text(field::kLocation), "Lato Via per l'Aquila");
    EXPECT_EQ(f.Text(field::kStopMunicipality), "0000 - *** comune non assegnato ***");
    Press(f, field::kNewSearch);
    EXPECT_TRUE(f.Field(field::kCompany).enabled);
    f.SetFromText(field::kSearch, "100%");
    Press(f, field::kSearchButton);
    hits.push_back(f.Field(field::kStop).entries);
    Press(f, field::kNewSearch);
    f.SetFromText(field::kSearch, "l'aquila");
    Press(f, field::kSearchButton);
    // Checks of "Assegna": the stop, then the municipality.
    f.SetFromText(field::kStop, "12345");
    Press(f, field::kAssign);
    f.SetFromText(field::kStop, "0000000001 - Via per l'Aquila");
    f.SetFromText(field::kMunicipality, "0099");
    Press(f, field::kAssign);
    // The filter narrows the list; the chosen code is then assigned.
    f.SetFromText(field::kMunicipalityFilter, "città");
    EXPECT_EQ(f.Field(field::kMunicipality).entries, (Strings{"0003 - Città Sant'Angelo"}));
    f.SetFromText(field::kMunicipality, "0003 - Città Sant'Angelo");
    Press(f, field::kAssign);
    EXPECT_EQ(f.Text(field::kStopMunicipality), "0003 - Città Sant'Angelo");
    return true;
  });
  ManualAssociationCommand(db(), ui, AreaKind::Municipalities);
  ASSERT_EQ(hits.size(), 2u);
  EXPECT_EQ(hits[0], (Strings{"0000000001 - Via per l'Aquila"}));
  EXPECT_EQ(hits[1], (Strings{"0000000002 - Bivio 100% Sud"}));
  EXPECT_EQ(ui.formTitles, (Strings{"Associazione Fermata Comune"}));
  EXPECT_EQ(ui.Texts(),
            (Strings{invalidCompany, invalidCompany,
                     "ATTENZIONE: Non è stato specificato l'oggetto della ricerca.\n\n"
                     "La ricerca della fermata non può essere effettuata.",
                     "ATTENZIONE: Non è stata identificata nessuna fermata che soddisfi\n"
                     "i criteri di ricerca impostati",
                     "ATTENZIONE: Il Codice Fermata non è valido.\n\n"
                     "Occorre selezionare un Codice Fermata presente nella lista.\n\n" + closing,
                     "ATTENZIONE: Il Codice Comune non è valido.\n\n"
                     "Occorre selezionare un Codice Comune presente nella lista.\n\n" + closing}));
  for (const auto& m : ui.messages) EXPECT_EQ(m.icon, MsgIcon::Stop) << m.text;
  // Only company 101's stop 1 changed.
  EXPECT_EQ(Stops("comune", "local"),
            (Strings{"101|1|3|0", "101|2|0|0", "101|3|0|0", "101|4|0|0", "101|5|0|0",
                     "102|1|0|0"}));
}

// The stop is found by company and ID: the row of the company inserted second changes, not
// the first company's stop of the same ID, which a lookup by ID alone would find first.
TEST_P(AssociationTest, ManualAssignmentToTheSecondCompanysStopChangesOnlyItsRow) {
  Stop(101, 1, "Piazza Duomo", "", "");
  Stop(102, 1, "Piazza Duomo", "", "");
  ui.QueueForm([&](Form& f) {
    f.SetFromText(field::kCompany, "0102");
    f.SetFromText(field::kSearch, "duomo");
    Press(f, field::kSearchButton);
    f.SetFromText(field::kMunicipality, "0002 - Pescara");
    Press(f, field::kAssign);
    EXPECT_EQ(f.Text(field::kStopMunicipality), "0002 - Pescara");
    return true;
  });
  ManualAssociationCommand(db(), ui, AreaKind::Municipalities);
  EXPECT_TRUE(ui.messages.empty()) << ::testing::PrintToString(ui.Texts());
  EXPECT_EQ(Stops("comune", "local"), (Strings{"101|1|0|0", "102|1|2|0"}));
}

// A read that fails half-way through a list is said, and the part read is never offered as
// the whole list: the dialog does not open on a short company or municipality list, and a
// stop search cut short lists nothing and can be run again.
TEST_P(AssociationTest, ManualDialogOffersNothingFromAListOrSearchCutShort) {
  for (long id : {1, 2, 3}) Stop(101, id, "Bivio " + std::to_string(id), "", "");
  Stop(102, 1, "Bivio Alto", "", "");
  const Strings readFailed = {
      "Errore lettura riga successiva della select corrente\n\nlettura interrotta (prova)"};
  // The two companies (rows 1 and 2), then the first municipality (row 3).
  for (int rows : {1, 3}) {
    ui.Clear();
    db::FailReadAfterRowsForTesting(rows);
    ManualAssociationCommand(db(), ui, AreaKind::Municipalities);
    EXPECT_TRUE(ui.formTitles.empty()) << rows;
    EXPECT_EQ(ui.Texts(), readFailed) << rows;
  }
  ui.Clear();
  Strings afterFailure;
  ui.QueueForm([&](Form& f) {
    f.SetFromText(field::kCompany, "0101");
    f.SetFromText(field::kSearch, "bivio");
    db::FailReadAfterRowsForTesting(1);
    Press(f, field::kSearchButton);
    afterFailure = f.Field(field::kStop).entries;
    EXPECT_TRUE(f.Field(field::kSearchButton).enabled);
    EXPECT_EQ(f.Text(field::kLocation), "");
    Press(f, field::kSearchButton);
    EXPECT_EQ(f.Field(field::kStop).entries.size(), 3u);
    return true;
  });
  ManualAssociationCommand(db(), ui, AreaKind::Municipalities);
  EXPECT_EQ(afterFailure, Strings{});
  EXPECT_EQ(ui.Texts(), readFailed);
}

TEST_P(AssociationTest, ManualLocalityDialog) {
  Stop(102, 7, "Paganica Chiesa", "", "", 1, 0);
  ui.QueueForm([&](Form& f) {
    f.SetFromText(field::kCompany, "0102");
    f.SetFromText(field::kSearch, "chiesa");
    Press(f, field::kSearchButton);
    Press(f, field::kLocalitySearchButton);  // no text
    f.SetFromText(field::kLocalitySearch, "zzz");
    Press(f, field::kLocalitySearchButton);  // no hit
    f.SetFromText(field::kLocalitySearch, "PAGAN");
    Press(f, field::kLocalitySearchButton);
    EXPECT_EQ(f.Field(field::kLocality).entries,
              (Strings{"0001 - Paganica - AQ - L'Aquila"}));
    f.SetFromText(field::kLocality, "Paganica");  // not a code
    Press(f, field::kAssign);
    f.SetFromText(field::kLocality, "0001 - Paganica - AQ - L'Aquila");
    Press(f, field::kAssign);
    EXPECT_EQ(f.Text(field::kStopLocality), "0001 - Paganica");
    return true;
  });
  ManualAssociationCommand(db(), ui, AreaKind::Localities);
  EXPECT_EQ(ui.Texts(),
            (Strings{"ATTENZIONE: Non è stato specificato l'oggetto della ricerca.\n\n"
                     "La ricerca della località non può essere effettuata.",
                     "ATTENZIONE: Non è stata identificata nessuna località che soddisfi\n"
                     "i criteri di ricerca impostati",
                     "ATTENZIONE: Il Codice Località non è valido.\n\n"
                     "Occorre selezionare un Codice Località presente nella lista.\n\n"
                     "L'associazione tra Fermata e Località non può essere effettuata."}));
  EXPECT_EQ(Stops("comune", "local"), (Strings{"102|7|1|1"}));
}

KVT_INSTANTIATE_ENGINES(AssociationTest);

}  // namespace
}  // namespace kvt::carto::test
