#include "contracts/profile_file.h"

#include "contracts/attachment_text.h"
#include "contracts/attachments.h"
#include "core/text.h"

namespace kvt::contracts {

FileDialogSpec ProfileFolderChooser() {
  return FolderChooser("PROFILI");
}

std::string ProfileFileText(const DailyProfile& profile, const ProfileParams& params,
                            const ContractNames& names) {
  std::string text = HeadText({kProfileLegend, profile.ente, profile.azienda, params.startDate,
                               params.endDate, std::nullopt},
                              names);
  Date d = profile.first;
  for (int64_t metres : profile.metres) {
    text += "\t" + WeekdayAbbreviation(d) + "\t" + FormatDate(d) + "\t" + KmComma(metres) + "\n";
    d = DayAfter(d);
  }
  text += "Totale Contratto " + KmComma(profile.TotalMetres()) + "\n\n";
  return text;
}

bool WriteProfileFiles(db::Database& db, Ui& ui, const std::vector<DailyProfile>& profiles,
                       const ProfileParams& params, const std::string& chosenPath,
                       std::string* done) {
  const std::optional<ContractNames> names = ReadContractNames(db);
  if (!names) return false;
  WaitScope wait(ui);
  ProgressScope progress(ui, "Scrittura Profili");
  AttachmentFolder folder(ui, chosenPath);
  for (size_t i = 0; i < profiles.size(); ++i) {
    const DailyProfile& p = profiles[i];
    AttachmentFile* file = folder.Create("PROF", p.azienda, p.ente);
    if (!file) return false;  // said, and nothing left
    file->Write(ProfileFileText(p, params, *names));
    file->Close();
    progress.Set(static_cast<long long>(i + 1), static_cast<long long>(profiles.size()));
  }
  if (!folder.Finish()) return false;
  if (done) *done = FinishedMessage(folder.Names().size(), folder.Folder());
  return true;
}

}  // namespace kvt::contracts
