// The menu commands of this folder, as the application shell runs them: the Ui, the
// current database and, on the command line, what the user typed after the command.
//
//   import-kvt    "&Import Comunicazione KvtTxt V2"
//                 kvtbase import-kvt FILE [--report=PATH | --report PATH]
//                 With --report a refused communication's error report is saved at PATH
//                 without asking; without it the question is answered Annulla.
//   rebuild-days  "&Ripristina Giorni di Effettuazione Corse"
//                 kvtbase rebuild-days --azienda=CODE   (CODE as listed: "0101")
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kvt {
class Ui;
}
namespace kvt::db {
class Database;
}

namespace kvt::comms {

inline constexpr std::string_view kImportCommandId = "import-kvt";
inline constexpr std::string_view kRebuildCommandId = "rebuild-days";
// The import's option naming where a refused communication's report goes.
inline constexpr std::string_view kReportOption = "report";
// The field of the rebuild's company dialog.
inline constexpr std::string_view kCompanyField = "azienda";

// The command line after the command: positional arguments in order and the declared
// options given, by name (a flag given has the value "1").
struct CommandLine {
  std::vector<std::string> args;
  std::map<std::string, std::string> values;
};

// `commandLine` is null when the command runs from the window.
void RunImportCommand(Ui& ui, db::Database& db, const CommandLine* commandLine);
void RunRebuildCommand(Ui& ui, db::Database& db, const CommandLine* commandLine);

}  // namespace kvt::comms
