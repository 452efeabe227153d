#include "schema/init.h"

#include <filesystem>
#include <memory>

#include "db/database.h"
#include "db/file_engine.h"
#include "platform/ui.h"
#include "schema/catalogue.h"
#include "schema/dictionary.h"
#include "schema/generator.h"
#include "schema/seed.h"
#include "schema/sql_text.h"

namespace kvt::schema {
namespace {

constexpr std::string_view kCreateCaption = "Creazione database";
constexpr std::string_view kInitCaption = "Inizializzazione database";

// Special tables, dictionary, tables and relations, seed rows: one transaction.
bool FillNewFile(db::Database& db) {
  db::Transaction tx(db);
  return CreateSpecialTables(db) && WriteDictionary(db) && CreateSchemaFromDictionary(db) &&
         WriteSeedRows(db) && tx.Commit();
}

}  // namespace

bool WriteDictionary(db::Database& db) {
  DictionaryWriter writer(db);
  return writer.IsOpen() && WriteCatalogue(writer);
}

bool CreateDatabase(Ui& ui, const std::string& path) {
  db::FileEngine files;
  if (!files.Create(path)) {
    ui.Stop(WithDriverText("Errore durante la creazione del database ", files.LastError().text),
            kCreateCaption);
    return false;
  }
  WaitScope wait(ui);
  bool ok = false;
  {
    std::unique_ptr<db::Database> db = db::Database::OpenFile(ui, path);
    ok = db && db->IsConnected() && FillNewFile(*db);
  }
  if (!ok) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);  // ours, and empty after the rollback
    ui.Stop(
        "Errore durante la creazione del database \n\n"
        "Il database " +
            path + " non è stato creato.",
        kCreateCaption);
    return false;
  }
  ui.Info("Il database " + path + " è stato creato con successo" + "\n\n", kCreateCaption);
  return true;
}

bool InitialiseDatabase(db::Database& db) {
  Ui& ui = db.ui();
  WaitScope wait(ui);
  db::Transaction tx(db);
  if (!CreateSpecialTables(db)) {
    ui.Stop(
        "Si sono verificati errori durante la creazione delle tavole\n"
        "primarie del database.\n\n"
        "Non risulta possibile inizializzare il database");
    return false;
  }
  if (!WriteDictionary(db) || !GenerateSchemaSql(db) || !WriteSeedRows(db) || !tx.Commit()) {
    ui.Stop("Si sono verificati errori durante l'inizializzazione del database \"" + db.Dsn() +
                "\".\n\nIl database non è stato modificato.",
            kInitCaption);
    return false;
  }
  ui.Info(
      "Le tavole del database \"" + db.Dsn() + "\" sono state inizializzate con successo" + "\n\n",
      kInitCaption);
  return true;
}

}  // namespace kvt::schema
