#include "contracts/commands.h"

#include "contracts/dialog.h"
#include "contracts/report.h"
#include "platform/ui.h"

namespace kvt::contracts {

bool RunStatementCommand(Ui& ui, db::Database& db, StatementKind kind,
                         PageOrientation orientation) {
  StatementParams params;
  const std::optional<DialogLists> lists = ReadDialogLists(db);
  if (!lists) return false;
  Form form = StatementForm(ui, *lists, params);
  if (!ui.RunForm(form)) return false;
  std::optional<std::vector<StatementRow>> rows = Extract(db, ui, params, kind);
  if (!HasData(ui, rows, kCancelledPrintMessage)) return false;
  return PrintStatement(ui, db, std::move(*rows), params, kind, orientation);
}

}  // namespace kvt::contracts
