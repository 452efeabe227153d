#include "app/menu.h"

namespace kvt::app {
namespace {

using Kind = MenuItem::Kind;

MenuItem Cmd(std::string caption, std::string id) {
  return {Kind::Command, std::move(caption), std::move(id), {}};
}
MenuItem Sub(std::string caption, std::vector<MenuItem> items) {
  return {Kind::Submenu, std::move(caption), "", std::move(items)};
}
MenuItem Sep() {
  return {Kind::Separator, "", "", {}};
}

// One menu item a line, as the menu reads.
// clang-format off
MenuItem DatabaseMenu() {
  return Sub("&Database", {
      Sub("Metodo &DAO/JET", {
          Cmd("&Crea", "db-create"),
          Cmd("&Connetti", "db-connect-file"),
          Cmd("&Sconnetti", "db-disconnect"),
          Sep(),
          Cmd("&Ripara", "db-repair"),
          Cmd("&Duplica", "db-duplicate"),
      }),
      Sub("Metodo &ODBC", {
          Cmd("&Inizializza Database Vuoto", "odbc-init"),
          Cmd("&Connetti", "odbc-connect"),
      }),
  });
}

MenuItem ImportExportMenu() {
  return Sub("&Import/Export", {
      Sub("&Comuni e Località", {
          Cmd("Importa &Comuni", "import-municipalities"),
          Cmd("Importa &Località", "import-localities"),
          Sep(),
          Cmd("Elimina C&omuni", "delete-municipalities"),
          Cmd("Elimina Loc&alità", "delete-localities"),
      }),
      Sub("&Matrici e Bacini", {
          Cmd("&Export Bacini", "export-basins"),
          Cmd("&Import Bacini", "import-basins"),
          Cmd("&Elimina Bacini", "delete-basins"),
      }),
      Sub("&Comunicazioni Aziendali", {
          Cmd("&Import Comunicazione KvtTxt V2", "import-kvt"),
          Cmd("&Situazione Comunicazioni", "comms-status"),
          Sep(),
          Cmd("&Eliminazione Comunicazione", "comms-delete"),
          Cmd("&Export Base Riferimento KvtTxt V2", "export-reference-base"),
          Sep(),
          Cmd("Export Base Gestione &Regolarità", "export-regularity-base"),
          Sep(),
          Cmd("&Ripristina Giorni di Effettuazione Corse", "rebuild-days"),
      }),
      Sub("&Import/Export Contratti", {
          Cmd("&Export Contratti Servizio", "export-contracts"),
          Cmd("&Import Contratti Servizio", "import-contracts"),
          Cmd("&Import Secondario Contratti Servizio", "import-contracts-secondary"),
      }),
      Sub("&Export Supporti Cartografici", {
          Cmd("Export ShapeFile &Fermate", "export-shp-stops"),
          Cmd("Export ShapeFile &Itinerari (tratti)", "export-shp-route-segments"),
          Cmd("Export &ShapeFile Itinerari (disegni)", "export-shp-route-drawings"),
          Cmd("Export ShapeFile &Archi", "export-shp-arcs"),
      }),
      Sep(),
      Cmd("&Export Allegato Contrattuale", "export-attachment"),
      Cmd("Export Analisi Funzionale", "export-functional-analysis"),
      Sep(),
      Cmd("Export &Comunicazione KvtTxtV1", "export-kvt-v1"),
      Cmd("Export Cartografia &Sirla (Corvino)", "export-sirla"),
      Sep(),
      Cmd("Export Assegnazione &Lotti", "export-lot-assignment"),
      Cmd("Pulizia Assegnazione &Lotti", "clear-lot-assignment"),
      Cmd("Import Assegnazione &Lotti", "import-lot-assignment"),
      Sep(),
      Cmd("Export script &SQLite", "export-sqlite"),
  });
}

MenuItem DefinitionsMenu() {
  return Sub("&Definizioni", {
      Cmd("Tabella &Bacini", "edit-basins"),
      Cmd("Associazione Comune B&acino", "assign-municipality-basin"),
      Sep(),
      Cmd("Editing &Lotti di Gara", "edit-lots"),
      Cmd("&Assegnazione Lotti di Gara", "assign-lots"),
  });
}

MenuItem DirectoriesMenu() {
  return Sub("&Rubriche", {
      Sub("&Rubriche varie", {
          Cmd("Rubrica &Comuni", "dir-municipalities"),
          Cmd("Rubrica &Località", "dir-localities"),
          Sep(),
          Cmd("Rubrica Composizione &Bacini", "dir-basins"),
      }),
      Sub("&Fermate, percorsi ed orari", {
          Cmd("Rubrica &Fermate", "dir-stops"),
          Cmd("&Percorsi Linea", "dir-line-routes"),
          Sep(),
          Cmd("Orario &Fermata", "timetable-stop"),
          Cmd("Orario &Linea", "timetable-line"),
          Sep(),
          Cmd("Rubrica Servizi per L&ocalità", "services-locality"),
          Cmd("Rubrica Servizi per Co&mune", "services-municipality"),
      }),
      Cmd("Contratti di &Servizio", "contract-statement"),
      Cmd("Contratti di Servizio (&Gara)", "contract-statement-tender"),
      Sub("&Profili di servizio", {
          Cmd("Profilo Giornaliero (&Grafico)", "profile-daily-chart"),
          Cmd("Profilo Giornaliero (&Txt)", "profile-daily-txt"),
          Cmd("Profilo &Orario (Grafico)", "profile-hourly-chart"),
      }),
      Sep(),
      Cmd("Composizione &Lotti", "dir-lots"),
  });
}

MenuItem UtilitiesMenu() {
  return Sub("&Utilità", {
      Cmd("Associazione Fermata &Comune", "associate-stop-municipality"),
      Cmd("Associazione Fermata &Località", "associate-stop-locality"),
      Cmd("Assegnazione C&omune da Località", "municipality-from-locality"),
      Sub("&Associazioni su base cartografica", {
          Cmd("Associazione Fermata Co&mune", "geo-associate-municipality"),
          Cmd("Associazione Fermata L&ocalità", "geo-associate-locality"),
          Sep(),
          Cmd("&Georeferenziazione Fermate Default", "geo-default-coordinates"),
      }),
      Sep(),
      Cmd("&Calcola Velocità Medie", "compute-speeds"),
      Cmd("Export &Velocità Medie (txt/tab)", "export-speeds"),
      Sep(),
      Cmd("Estrazione &Polimetriche", "distance-tables"),
  });
}
// clang-format on

void CollectCommands(const std::vector<MenuItem>& items, std::vector<std::string>& path,
                     std::vector<MenuCommand>& out) {
  for (const MenuItem& item : items) {
    if (item.kind == Kind::Separator) continue;
    path.push_back(item.caption);
    if (item.kind == Kind::Command) out.push_back({item.command, path});
    CollectCommands(item.items, path, out);
    path.pop_back();
  }
}

}  // namespace

const std::vector<MenuItem>& MenuBar() {
  static const std::vector<MenuItem> bar = {
      DatabaseMenu(),  ImportExportMenu(),   DefinitionsMenu(),  DirectoriesMenu(),
      UtilitiesMenu(), Cmd("&Fine", "exit"), Cmd("&?", "about"),
  };
  return bar;
}

std::string PlainCaption(std::string_view caption) {
  std::string out;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size())
      ++i;
    else if (caption[i] == '&')
      continue;
    out += caption[i];
  }
  return out;
}

std::vector<MenuCommand> MenuCommands() {
  std::vector<MenuCommand> out;
  std::vector<std::string> path;
  CollectCommands(MenuBar(), path, out);
  return out;
}

std::string MenuPathText(std::string_view id) {
  for (const MenuCommand& c : MenuCommands()) {
    if (c.id != id) continue;
    std::string text;
    for (const std::string& caption : c.path) {
      if (!text.empty()) text += " > ";
      text += PlainCaption(caption);
    }
    return text;
  }
  return "";
}

}  // namespace kvt::app
