// The "Selezione DataSource" dialog of the ODBC connect command.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/form.h"

namespace kvt {
class Ui;
}

namespace kvt::app {

// Field ids, for the command line: --datasource=NAME --rowset-ordinary=N --rowset-blob=N.
inline constexpr const char* kDsnField = "datasource";
inline constexpr const char* kRowsetOrdinaryField = "rowset-ordinary";
inline constexpr const char* kRowsetBlobField = "rowset-blob";

struct OdbcChoice {
  std::string dsn;
  std::string driverName;  // the DSN's driver description, empty when not registered
  unsigned rowsetOrdinary = 0;
  unsigned rowsetBlob = 0;
};

// The dialog over these data source names. Its accept handler runs the checks in order
// (ordinary size, BLOB size, DSN) and fills `choice` when they pass.
std::unique_ptr<Form> MakeOdbcForm(Ui& ui, std::vector<std::string> dataSources,
                                   OdbcChoice* choice);

struct AppContext;
// The command "Metodo &ODBC" -> "&Connetti".
void OdbcConnectCommand(AppContext& ctx);

// A rowset size as typed: its leading number when positive, else 0 (refused).
unsigned ParseRowsetSize(const std::string& text);

}  // namespace kvt::app
