#include "contracts/commands.h"

#include "contracts/dialog.h"
#include "contracts/report.h"
#include "platform/ui.h"

namespace kvt::contracts {

bool RunStatementCommand(Ui& ui, db::Database& db, StatementKind kind) {
  StatementParams params;
  Form form = StatementForm(ui, ReadDialogLists(db), params);
  if (!ui.RunForm(form)) return false;
  std::optional<std::vector<StatementRow>> rows = Extract(db, ui, params, kind);
  if (!rows) return false;
  if (rows->empty()) {
    ui.Info(kNoDataMessage);
    return false;
  }
  return PrintStatement(ui, db, std::move(*rows), params, kind);
}

}  // namespace kvt::contracts
