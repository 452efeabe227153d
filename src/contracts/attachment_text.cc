#include "contracts/attachment_text.h"

#include <cinttypes>
#include <filesystem>
#include <system_error>

#include "comms/exports.h"
#include "core/text.h"
#include "platform/files.h"
#include "platform/ui.h"
#include "schema/pick_lists.h"

namespace kvt::contracts {

std::string KmComma(int64_t metres) {
  return CommaDecimal(KmText(metres));
}

std::string MinutesText(int64_t minutes) {
  return Format("%" PRId64, minutes);
}

std::string CountText(int64_t count) {
  return Format("%" PRId64, count);
}

std::string SpeedComma(int64_t metres, int64_t minutes) {
  // No time, no speed: a line of trips declared with 0 minutes would otherwise divide by 0.
  if (minutes <= 0) return "0,00";
  // Hundredths of km/h: metres / 1000 / minutes * 60 * 100 = 6 * metres / minutes, rounded
  // half away from zero in integers as the kilometres are.
  const bool negative = metres < 0;
  const uint64_t m = negative ? -static_cast<uint64_t>(metres) : static_cast<uint64_t>(metres);
  const uint64_t t = static_cast<uint64_t>(minutes);
  const uint64_t hundredths = (12 * m + t) / (2 * t);
  return Format("%s%" PRIu64 ",%02" PRIu64, negative && hundredths ? "-" : "", hundredths / 100,
                hundredths % 100);
}

std::string ContractNames::Authority(int ente) const {
  auto it = authorities.find(ente);
  return it == authorities.end() ? std::string() : it->second;
}

std::string ContractNames::Company(int azienda) const {
  auto it = companies.find(azienda);
  return it == companies.end() ? std::string() : it->second;
}

std::optional<ContractNames> ReadContractNames(db::Database& db) {
  auto authorities = schema::ReadPickNames(db, schema::PickTable::Authorities);
  if (!authorities) return std::nullopt;
  auto companies = schema::ReadPickNames(db, schema::PickTable::Companies);
  if (!companies) return std::nullopt;
  return ContractNames{std::move(*authorities), std::move(*companies)};
}

std::string HeadText(const FileHead& head, const ContractNames& names) {
  std::string text(head.legend);
  text += "Ente " + std::to_string(head.ente) + " " + names.Authority(head.ente) + "\n";
  text += "Azienda " + std::to_string(head.azienda) + " " + names.Company(head.azienda) + "\n";
  text += "Periodo dal " + head.startDate + " al " + head.endDate + "\n\n";
  if (head.distances) {
    text += *head.distances == DistanceType::Cartographic ? kCartographicDistancesLine
                                                          : kConventionalDistancesLine;
  }
  return text;
}

FileDialogSpec FolderChooser(std::string defaultName) {
  FileDialogSpec spec;
  spec.title = std::string(kFolderChooserTitle);
  spec.filter = std::string(kFolderChooserFilter);
  spec.defaultExt = "txt";
  spec.defaultName = std::move(defaultName);
  spec.overwritePrompt = false;
  spec.kind = FileKind::Export;
  return spec;
}

std::string AttachmentFileName(std::string_view kind, int azienda, int ente) {
  return std::string(kind) + Format("_A%d_E%d.TXT", azienda, ente);
}

void AttachmentFile::Write(std::string_view text) {
  if (closed_) ok_ = false;  // written after Close: the file would lack this text
  if (!ok_) return;
  const std::string bytes = Utf8ToCp1252(text);
  ok_ = std::fwrite(bytes.data(), 1, bytes.size(), file_->get()) == bytes.size();
}

void AttachmentFile::Close() {
  if (closed_) return;
  closed_ = true;
  ok_ = file_->Close() && ok_;
}

AttachmentFolder::AttachmentFolder(Ui& ui, const std::string& chosenPath) : ui_(ui) {
  // The command line may name the folder itself.
  std::error_code ec;
  if (std::filesystem::is_directory(chosenPath, ec)) {
    folder_ = chosenPath;
    return;
  }
  const std::filesystem::path parent = std::filesystem::path(chosenPath).parent_path();
  folder_ = parent.empty() ? std::string(".") : parent.string();
}

AttachmentFolder::~AttachmentFolder() {
  if (!finished_) Abandon();
}

AttachmentFile* AttachmentFolder::Create(std::string_view kind, int azienda, int ente) {
  const std::string path =
      (std::filesystem::path(folder_) / AttachmentFileName(kind, azienda, ente)).string();
  OutputFile* file = set_.Add(path);
  if (!file) {
    Abandon();
    ui_.Stop(CannotCreateMessage(path));
    return nullptr;
  }
  files_.push_back(std::unique_ptr<AttachmentFile>(new AttachmentFile(file)));
  return files_.back().get();
}

bool AttachmentFolder::Finish() {
  for (auto& f : files_) {
    f->Close();
    if (!f->ok_) {
      const std::string path = f->file_->path();
      Abandon();
      ui_.Stop(WriteFailedMessage(path));
      return false;
    }
  }
  if (!set_.Publish()) {
    const std::string path = set_.FailedPath();
    Abandon();
    ui_.Stop(CannotCreateMessage(path));
    return false;
  }
  finished_ = true;
  return true;
}

void AttachmentFolder::Abandon() {
  files_.clear();
  set_.Discard();
}

std::vector<std::string> AttachmentFolder::Names() const {
  std::vector<std::string> names;
  for (const auto& f : files_)
    names.push_back(std::filesystem::path(f->file_->path()).filename().string());
  return names;
}

}  // namespace kvt::contracts
