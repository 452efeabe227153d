// The commands of the "&Database" menu, "&Fine" and "&?".
#include <filesystem>
#include <optional>

#include "app/commands.h"
#include "app/odbc_dialog.h"
#include "app/schema_hooks.h"
#include "app/shell.h"
#include "app/version.h"
#include "db/database.h"
#include "db/file_engine.h"
#include "platform/files.h"
#include "platform/form.h"
#include "platform/ui.h"

namespace kvt::app {
namespace {

namespace fs = std::filesystem;

// Our files are the embedded engine's; the filter stays the one users know. A file of
// another name is reached through "Tutti i files".
constexpr std::string_view kJetFilter = "Database JET (*.mdb)|*.mdb|Tutti i files (*.*)|*.*||";

FileDialogSpec JetDialog(std::string title, bool overwritePrompt = true) {
  FileDialogSpec spec;
  spec.title = std::move(title);
  spec.filter = kJetFilter;
  spec.defaultExt = "MDB";
  spec.overwritePrompt = overwritePrompt;
  return spec;
}

// The progress window of a repair or a compaction: the step as its caption, the share of
// bytes written on the bar and, in figures, in the band; "Annulla" stops it.
class FileWork {
 public:
  FileWork(Ui& ui, db::FileStep first, std::string check, std::string copy)
      : ui_(ui),
        check_(std::move(check)),
        copy_(std::move(copy)),
        shown_(first),
        scope_(ui, first == db::FileStep::Check ? check_ : copy_, 0, 0, /*cancellable=*/true) {
    ui_.ProgressSet(-1);
  }
  ~FileWork() { ui_.ShowProgressText(""); }

  db::FileProgress Callback() {
    return [this](db::FileStep step, long long done, long long total) {
      if (step != shown_) {
        scope_.Caption(step == db::FileStep::Check ? check_ : copy_);
        shown_ = step;
      }
      if (total > 0) {
        done = std::min(done, total);
        scope_.Set(done, total);
        constexpr long long kMB = 1024 * 1024;
        ui_.ShowProgressText(std::to_string(done / kMB) + " MB scritti su " +
                             std::to_string((total + kMB - 1) / kMB) + " MB");
      } else {
        ui_.ProgressSet(-1);
        ui_.ShowProgressText("");
      }
      return !scope_.Stopped();
    };
  }
  bool Stopped() const { return scope_.Stopped(); }

 private:
  Ui& ui_;
  std::string check_, copy_;
  db::FileStep shown_;
  ProgressScope scope_;
};

// Whether two paths name the same file (the second may not exist yet).
bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  if (fs::exists(a, ec) && fs::exists(b, ec)) return fs::equivalent(a, b, ec);
  return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec);
}

// Why a database file to be read cannot be, or "" when it can: the engine would wait forever
// on a named pipe and read a device without end.
std::string SourceProblem(const std::string& path) {
  switch (CheckRegularFile(path)) {
    case FileCheck::Ok:
    case FileCheck::TooLarge:
      return {};
    case FileCheck::Missing:
      return "Impossibile trovare il file '" + path + "'.";
    case FileCheck::NotRegular:
      return "'" + path + "' non è un file di database.";
    case FileCheck::Unreadable:
      break;
  }
  return "Impossibile leggere il file '" + path + "'.";
}

// The path of the connected database file, empty when none.
std::string ConnectedFile(const Shell& shell) {
  const db::Database* current = shell.database();
  return current && current->IsDao() ? shell.settings().database : std::string();
}

void CreateCommand(AppContext& ctx) {
  // The engine refuses an existing file, so asking to replace one would mislead.
  auto path = ctx.ui.SaveFile(JetDialog("Creazione Nuovo Database", false));
  if (!path) return;
  WaitScope wait(ctx.ui, /*busyWindow=*/true);
  CreateDatabaseFile(ctx.ui, *path);
}

void ConnectFileCommand(AppContext& ctx) {
  auto path = ctx.ui.OpenFile(JetDialog("Selezione del Database"));
  if (!path) return;
  ctx.shell.ConnectFile(*path);
}

void DisconnectCommand(AppContext& ctx) {
  if (ctx.ui.Ask("Confermi sconnessione database ?", "Sconnessione Database"))
    ctx.shell.ForgetDatabase();
  ctx.shell.Changed();
}

void RepairCommand(AppContext& ctx) {
  auto path = ctx.ui.OpenFile(JetDialog("Riparazione del Database"));
  if (!path) return;
  constexpr std::string_view caption = "Riparazione database";
  WaitScope wait(ctx.ui);
  // The file is rebuilt in place: our own connection to it must not stay open meanwhile.
  std::string connected = ConnectedFile(ctx.shell);
  bool reconnect = !connected.empty() && SameFile(connected, *path);
  if (reconnect) ctx.shell.Disconnect();
  std::string error = SourceProblem(*path);
  bool ok = false, stopped = false;
  if (error.empty()) {
    FileWork work(ctx.ui, db::FileStep::Check, "Verifica dell'integrità del database",
                  "Ricostruzione del database");
    db::FileEngine files;
    ok = files.Repair(*path, work.Callback());
    stopped = !ok && work.Stopped();
    if (!ok) error = files.LastError().text;
  }
  if (stopped) {
    ctx.ui.Info(kCancelledMessage, caption);
  } else if (ok) {
    ctx.ui.Info("Il database " + *path + " è stato riparato con successo\n\n", caption);
  } else {
    ctx.ui.Stop("Errore durante la riparazione del database\n\n" + error, caption);
  }
  if (reconnect) {
    ctx.shell.Connect();
    ctx.shell.Changed();
  }
}

// A destination that would destroy the source or the open database is refused.
bool DuplicateTargetOk(AppContext& ctx, const std::string& source, const std::string& target) {
  constexpr std::string_view caption = "Duplicazione database";
  std::string why;
  std::error_code ec;
  if (SameFile(source, target)) {
    why = "Il database di destinazione coincide con quello di origine.";
  } else if (fs::is_directory(target, ec)) {
    why = "Il database di destinazione è una cartella.";
  } else if (std::string open = ConnectedFile(ctx.shell); !open.empty() && SameFile(open, target)) {
    why = "Il database di destinazione è quello correntemente connesso.";
  }
  if (why.empty()) return true;
  ctx.ui.Stop("Errore durante la duplicazione del database\n\n" + why, caption);
  return false;
}

void DuplicateCommand(AppContext& ctx) {
  auto source = ctx.ui.OpenFile(JetDialog("Selezione del Database di origine"));
  if (!source) return;
  auto target = ctx.ui.SaveFile(JetDialog("Selezione del Database di destinazione"));
  if (!target || !DuplicateTargetOk(ctx, *source, *target)) return;
  constexpr std::string_view caption = "Duplicazione database";
  WaitScope wait(ctx.ui);
  std::string error = SourceProblem(*source);
  bool ok = false, stopped = false;
  if (error.empty()) {
    FileWork work(ctx.ui, db::FileStep::Copy, "Verifica del database duplicato",
                  "Duplicazione del database");
    db::FileEngine files;
    ok = files.Compact(*source, *target, work.Callback());
    stopped = !ok && work.Stopped();
    if (!ok) error = files.LastError().text;
  }
  if (stopped) {
    ctx.ui.Info(kCancelledFileMessage, caption);
    return;
  }
  if (!ok) {
    ctx.ui.Stop("Errore durante la duplicazione del database\n\n" + error, caption);
    return;
  }
  ctx.ui.Info("Il database " + *source + " è stato duplicato in " + *target + "\n\n", caption);
}

void InitialiseCommand(AppContext& ctx) {
  db::Database* current = ctx.db();
  if (!current || !current->IsOdbc()) {
    ctx.ui.Stop(
        "Occorre essere connessi ad un database con il Metodo ODBC\n"
        "per poterlo inizializzare.",
        "Inizializzazione database");
    return;
  }
  WaitScope wait(ctx.ui, /*busyWindow=*/true);
  InitialiseOdbcDatabase(*current);
}

void ExitCommand(AppContext& ctx) {
  if (ctx.ui.Ask("E' stata richiesta l'uscita da KVT-BASE2.\n\n"
                 "Intendi veramente uscire dal programma ?"))
    ctx.shell.RequestExit();
}

void AboutCommand(AppContext& ctx) {
  ctx.ui.Info(ctx.shell.AboutText(), kAboutCaption);
}

}  // namespace

void RegisterDatabaseCommands(Registry& r) {
  r.Add("db-create", CreateCommand, {.operands = "FILE"});
  r.Add("db-connect-file", ConnectFileCommand, {.operands = "FILE"});
  r.Add("db-disconnect", DisconnectCommand);
  r.Add("db-repair", RepairCommand, {.operands = "FILE"});
  r.Add("db-duplicate", DuplicateCommand, {.operands = "ORIGINE DESTINAZIONE"});
  r.Add("odbc-init", InitialiseCommand);
  r.Add("odbc-connect", OdbcConnectCommand,
        {.options = {Option::Value(kDsnField, "NOME", "il data source ODBC (DSN)"),
                     Option::Value(kRowsetOrdinaryField, "N",
                                   "RowsetSize per i dati di tipo ordinario"),
                     Option::Value(kRowsetBlobField, "N", "RowsetSize per i dati di tipo BLOB")}});
  r.Add("exit", ExitCommand);
  r.Add("about", AboutCommand);
}

}  // namespace kvt::app
