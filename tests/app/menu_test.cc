#include "app/menu.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "app/commands.h"

namespace kvt::app {
namespace {

void Render(const std::vector<MenuItem>& items, int depth, std::string& out) {
  for (const MenuItem& item : items) {
    out += std::string(depth * 2, ' ');
    if (item.kind == MenuItem::Kind::Separator) {
      out += "—\n";
    } else if (item.kind == MenuItem::Kind::Command) {
      out += item.caption + "\n";
    } else {
      out += item.caption + " >\n";
      Render(item.items, depth + 1, out);
    }
  }
}

// The whole menu bar as the users know it: every caption with its access letter, every
// separator and submenu, in order. A changed letter or a lost separator shows up here.
TEST(MenuTest, MenuBarIsTheOneUsersKnow) {
  std::string text;
  Render(MenuBar(), 0, text);
  EXPECT_EQ(text,
            "&Database >\n"
            "  Metodo &DAO/JET >\n"
            "    &Crea\n"
            "    &Connetti\n"
            "    &Sconnetti\n"
            "    —\n"
            "    &Ripara\n"
            "    &Duplica\n"
            "  Metodo &ODBC >\n"
            "    &Inizializza Database Vuoto\n"
            "    &Connetti\n"
            "&Import/Export >\n"
            "  &Comuni e Località >\n"
            "    Importa &Comuni\n"
            "    Importa &Località\n"
            "    —\n"
            "    Elimina C&omuni\n"
            "    Elimina Loc&alità\n"
            "  &Matrici e Bacini >\n"
            "    &Export Bacini\n"
            "    &Import Bacini\n"
            "    &Elimina Bacini\n"
            "  &Comunicazioni Aziendali >\n"
            "    &Import Comunicazione KvtTxt V2\n"
            "    &Situazione Comunicazioni\n"
            "    —\n"
            "    &Eliminazione Comunicazione\n"
            "    &Export Base Riferimento KvtTxt V2\n"
            "    —\n"
            "    Export Base Gestione &Regolarità\n"
            "    —\n"
            "    &Ripristina Giorni di Effettuazione Corse\n"
            "  &Import/Export Contratti >\n"
            "    &Export Contratti Servizio\n"
            "    &Import Contratti Servizio\n"
            "    &Import Secondario Contratti Servizio\n"
            "  &Export Supporti Cartografici >\n"
            "    Export ShapeFile &Fermate\n"
            "    Export ShapeFile &Itinerari (tratti)\n"
            "    Export &ShapeFile Itinerari (disegni)\n"
            "    Export ShapeFile &Archi\n"
            "  —\n"
            "  &Export Allegato Contrattuale\n"
            "  Export Analisi Funzionale\n"
            "  —\n"
            "  Export &Comunicazione KvtTxtV1\n"
            "  Export Cartografia &Sirla (Corvino)\n"
            "  —\n"
            "  Export Assegnazione &Lotti\n"
            "  Pulizia Assegnazione &Lotti\n"
            "  Import Assegnazione &Lotti\n"
            "  —\n"
            "  Export script &SQLite\n"
            "&Definizioni >\n"
            "  Tabella &Bacini\n"
            "  Associazione Comune B&acino\n"
            "  —\n"
            "  Editing &Lotti di Gara\n"
            "  &Assegnazione Lotti di Gara\n"
            "&Rubriche >\n"
            "  &Rubriche varie >\n"
            "    Rubrica &Comuni\n"
            "    Rubrica &Località\n"
            "    —\n"
            "    Rubrica Composizione &Bacini\n"
            "  &Fermate, percorsi ed orari >\n"
            "    Rubrica &Fermate\n"
            "    &Percorsi Linea\n"
            "    —\n"
            "    Orario &Fermata\n"
            "    Orario &Linea\n"
            "    —\n"
            "    Rubrica Servizi per L&ocalità\n"
            "    Rubrica Servizi per Co&mune\n"
            "  Contratti di &Servizio\n"
            "  Contratti di Servizio (&Gara)\n"
            "  &Profili di servizio >\n"
            "    Profilo Giornaliero (&Grafico)\n"
            "    Profilo Giornaliero (&Txt)\n"
            "    Profilo &Orario (Grafico)\n"
            "  —\n"
            "  Composizione &Lotti\n"
            "&Utilità >\n"
            "  Associazione Fermata &Comune\n"
            "  Associazione Fermata &Località\n"
            "  Assegnazione C&omune da Località\n"
            "  &Associazioni su base cartografica >\n"
            "    Associazione Fermata Co&mune\n"
            "    Associazione Fermata L&ocalità\n"
            "    —\n"
            "    &Georeferenziazione Fermate Default\n"
            "  —\n"
            "  &Calcola Velocità Medie\n"
            "  Export &Velocità Medie (txt/tab)\n"
            "  —\n"
            "  Estrazione &Polimetriche\n"
            "&Fine\n"
            "&?\n");
}

// Ids are what the command line and the registry use: one per leaf, none shared, all in
// kebab-case; every registered command is in the menu. The two "&Connetti" items differ.
TEST(MenuTest, EveryLeafHasItsOwnCommandId) {
  std::set<std::string> seen;
  std::regex kebab("[a-z0-9]+(-[a-z0-9]+)*");
  for (const MenuCommand& c : MenuCommands()) {
    EXPECT_TRUE(std::regex_match(c.id, kebab)) << c.id;
    EXPECT_TRUE(seen.insert(c.id).second) << "shared id " << c.id;
  }
  EXPECT_EQ(seen.size(), 65u);
  Registry r;
  RegisterAllCommands(r);
  for (const std::string& id : r.Ids()) EXPECT_TRUE(seen.count(id)) << id;
  EXPECT_EQ(MenuPathText("db-connect-file"), "Database > Metodo DAO/JET > Connetti");
  EXPECT_EQ(MenuPathText("odbc-connect"), "Database > Metodo ODBC > Connetti");
  EXPECT_EQ(MenuPathText("about"), "?");
  EXPECT_EQ(PlainCaption("Import && Export"), "Import & Export");
}

}  // namespace
}  // namespace kvt::app
