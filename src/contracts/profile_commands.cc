#include "contracts/profile_commands.h"

#include "contracts/dialog.h"
#include "contracts/profile.h"
#include "contracts/profile_dialog.h"
#include "contracts/profile_file.h"
#include "contracts/profile_report.h"
#include "platform/ui.h"

namespace kvt::contracts {

namespace {

// The dialog; false when the lists could not be read or the user cancelled.
bool AskParams(Ui& ui, db::Database& db, ProfileDialog kind, ProfileParams& params) {
  const std::optional<DialogLists> lists = ReadDialogLists(db);
  if (!lists) return false;
  Form form = ProfileForm(ui, *lists, kind, params);
  return ui.RunForm(form);
}

}  // namespace

bool RunProfileTextCommand(Ui& ui, db::Database& db) {
  ProfileParams params;
  if (!AskParams(ui, db, ProfileDialog::DailyText, params)) return false;
  const std::optional<std::string> path = ui.SaveFile(ProfileFolderChooser());
  if (!path) return false;
  std::optional<std::vector<DailyProfile>> profiles = ExtractDailyProfiles(db, ui, params);
  if (!HasData(ui, profiles, kCancelledFileMessage)) return false;
  std::string done;
  if (!WriteProfileFiles(db, ui, *profiles, params, *path, &done)) return false;
  ui.Info(done);
  return true;
}

bool RunDailyChartCommand(Ui& ui, db::Database& db) {
  ProfileParams params;
  if (!AskParams(ui, db, ProfileDialog::DailyChart, params)) return false;
  std::optional<std::vector<DailyProfile>> profiles = ExtractDailyProfiles(db, ui, params);
  if (!HasData(ui, profiles, kCancelledPrintMessage)) return false;
  return PrintDailyProfiles(ui, db, std::move(*profiles), params);
}

bool RunHourlyChartCommand(Ui& ui, db::Database& db) {
  ProfileParams params;
  if (!AskParams(ui, db, ProfileDialog::HourlyChart, params)) return false;
  std::optional<std::vector<HourlyProfile>> profiles = ExtractHourlyProfiles(db, ui, params);
  if (!HasData(ui, profiles, kCancelledPrintMessage)) return false;
  return PrintHourlyProfiles(ui, db, std::move(*profiles), params);
}

}  // namespace kvt::contracts
