// The schema layer's operations the shell runs, behind one small adapter so that the shell
// reads the same whatever their exact signatures.
#pragma once

#include <string>

namespace kvt {
class Ui;
namespace db {
class Database;
}
}  // namespace kvt

namespace kvt::app {

class Shell;

// A new database file with the whole schema and the seed rows; reports its own result
// (success or error box, caption "Creazione database"). True on success.
bool CreateDatabaseFile(Ui& ui, const std::string& path);

// Fills an empty ODBC data source; reports its own result. True on success.
bool InitialiseOdbcDatabase(db::Database& db);

// Completes a file produced by Ardelio (may reconnect the shell's database), then mends
// its route numbering. Both do nothing on other files.
void CompleteArdelio(Shell& shell);
void FixArdelioNumbering(db::Database& db);

}  // namespace kvt::app
