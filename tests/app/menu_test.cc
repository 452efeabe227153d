#include "app/menu.h"

#include <gtest/gtest.h>

#include <set>

#include "app/commands.h"

namespace kvt::app {
namespace {

// One line a menu: its path, then its entries in order ("—" a separator, " >" a submenu).
void Render(const std::vector<MenuItem>& items, const std::string& path, std::string& out) {
  std::string line = path + ":";
  for (const MenuItem& item : items) {
    line += line.back() == ':' ? " " : " | ";
    if (item.kind == MenuItem::Kind::Separator) line += "—";
    if (item.kind != MenuItem::Kind::Separator) line += item.caption;
    if (item.kind == MenuItem::Kind::Submenu) line += " >";
  }
  out += line + "\n";
  for (const MenuItem& item : items) {
    if (item.kind != MenuItem::Kind::Submenu) continue;
    Render(item.items, path == "menu bar" ? item.caption : path + " > " + item.caption, out);
  }
}

// The whole menu bar as the users know it: every caption with its access letter, every
// separator and submenu, in order. A changed letter or a lost separator shows up here.
TEST(MenuTest, MenuBarIsTheOneUsersKnow) {
  std::string text;
  Render(MenuBar(), "menu bar", text);
  EXPECT_EQ(
      text,
      "menu bar: &Database > | &Import/Export > | &Definizioni > | &Rubriche > | &Utilità >"
      " | &Fine | &?\n"
      "&Database: Metodo &DAO/JET > | Metodo &ODBC >\n"
      "&Database > Metodo &DAO/JET: &Crea | &Connetti | &Sconnetti | — | &Ripara | &Duplica\n"
      "&Database > Metodo &ODBC: &Inizializza Database Vuoto | &Connetti\n"
      "&Import/Export: &Comuni e Località > | &Matrici e Bacini > | &Comunicazioni Aziendali >"
      " | &Import/Export Contratti > | &Export Supporti Cartografici > | —"
      " | &Export Allegato Contrattuale | Export Analisi Funzionale | —"
      " | Export &Comunicazione KvtTxtV1 | Export Cartografia &Sirla (Corvino) | —"
      " | Export Assegnazione &Lotti | Pulizia Assegnazione &Lotti | Import Assegnazione &Lotti"
      " | — | Export script &SQLite\n"
      "&Import/Export > &Comuni e Località: Importa &Comuni | Importa &Località | —"
      " | Elimina C&omuni | Elimina Loc&alità\n"
      "&Import/Export > &Matrici e Bacini: &Export Bacini | &Import Bacini | &Elimina Bacini\n"
      "&Import/Export > &Comunicazioni Aziendali: &Import Comunicazione KvtTxt V2"
      " | &Situazione Comunicazioni | — | &Eliminazione Comunicazione"
      " | &Export Base Riferimento KvtTxt V2 | — | Export Base Gestione &Regolarità | —"
      " | &Ripristina Giorni di Effettuazione Corse\n"
      "&Import/Export > &Import/Export Contratti: &Export Contratti Servizio"
      " | &Import Contratti Servizio | &Import Secondario Contratti Servizio\n"
      "&Import/Export > &Export Supporti Cartografici: Export ShapeFile &Fermate"
      " | Export ShapeFile &Itinerari (tratti) | Export &ShapeFile Itinerari (disegni)"
      " | Export ShapeFile &Archi\n"
      "&Definizioni: Tabella &Bacini | Associazione Comune B&acino | — | Editing &Lotti di Gara"
      " | &Assegnazione Lotti di Gara\n"
      "&Rubriche: &Rubriche varie > | &Fermate, percorsi ed orari > | Contratti di &Servizio"
      " | Contratti di Servizio (&Gara) | &Profili di servizio > | — | Composizione &Lotti\n"
      "&Rubriche > &Rubriche varie: Rubrica &Comuni | Rubrica &Località | —"
      " | Rubrica Composizione &Bacini\n"
      "&Rubriche > &Fermate, percorsi ed orari: Rubrica &Fermate | &Percorsi Linea | —"
      " | Orario &Fermata | Orario &Linea | — | Rubrica Servizi per L&ocalità"
      " | Rubrica Servizi per Co&mune\n"
      "&Rubriche > &Profili di servizio: Profilo Giornaliero (&Grafico)"
      " | Profilo Giornaliero (&Txt) | Profilo &Orario (Grafico)\n"
      "&Utilità: Associazione Fermata &Comune | Associazione Fermata &Località"
      " | Assegnazione C&omune da Località | &Associazioni su base cartografica > | —"
      " | &Calcola Velocità Medie | Export &Velocità Medie (txt/tab) | —"
      " | Estrazione &Polimetriche\n"
      "&Utilità > &Associazioni su base cartografica: Associazione Fermata Co&mune"
      " | Associazione Fermata L&ocalità | — | &Georeferenziazione Fermate Default\n");
}

// One id per leaf (the command line and the registry go by it), and every registered
// command reachable from the menu.
TEST(MenuTest, EveryLeafHasItsOwnCommandId) {
  std::set<std::string> seen;
  for (const MenuCommand& c : MenuCommands()) EXPECT_TRUE(seen.insert(c.id).second) << c.id;
  EXPECT_EQ(seen.size(), 65u);
  Registry r;
  RegisterAllCommands(r);
  for (const std::string& id : r.Ids()) EXPECT_TRUE(seen.count(id)) << id;
  EXPECT_EQ(MenuPathText("about"), "?");
}

}  // namespace
}  // namespace kvt::app
