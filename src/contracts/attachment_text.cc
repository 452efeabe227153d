#include "contracts/attachment_text.h"

#include <cinttypes>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "comms/exports.h"
#include "core/text.h"
#include "db/selection.h"
#include "db/sql_types.h"
#include "platform/ui.h"

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

namespace {

bool ReadNames(db::Database& db, const char* table, std::map<int, std::string>& out) {
  db::Selection s(&db);
  s.AddColumn(table, "codice", db::kSqlSmallInt);
  s.AddColumn(table, "denom", db::kSqlChar);
  s.SetFrom(table);
  for (db::Fetch f = s.Open(); f != db::Fetch::End; f = s.MoveNext()) {
    if (f == db::Fetch::Error) return false;
    out[s.GetShort(0)] = std::string(TrimRight(s.GetText(1)));
  }
  return true;
}

void RemoveQuietly(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
}

}  // namespace

std::optional<ContractNames> ReadContractNames(db::Database& db) {
  ContractNames names;
  if (!ReadNames(db, "regent", names.authorities)) return std::nullopt;
  if (!ReadNames(db, "regazi", names.companies)) return std::nullopt;
  return names;
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

void AttachmentFile::Closer::operator()(std::FILE* f) const {
  if (f) std::fclose(f);
}

void AttachmentFile::Write(std::string_view text) {
  if (!file_) ok_ = false;  // written after Close: the file would lack this text
  if (!ok_) return;
  const std::string bytes = Utf8ToCp1252(text);
  ok_ = std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) == bytes.size();
}

void AttachmentFile::Close() {
  if (file_) ok_ = std::fclose(file_.release()) == 0 && ok_;
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
  auto file = std::make_unique<AttachmentFile>();
  file->path_ = (std::filesystem::path(folder_) / AttachmentFileName(kind, azienda, ente)).string();
  // A name of its own beside the final one (same folder, so that naming it is a rename),
  // created exclusively: neither a leftover of an earlier run nor a file of the user is
  // ever overwritten.
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    const std::string temp = file->path_ + Format(".%ld-%d.tmp", static_cast<long>(getpid()), attempt);
    fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) file->temp_ = temp;
    else if (errno != EEXIST) break;
  }
  if (fd >= 0) {
    file->file_.reset(fdopen(fd, "wb"));
    if (!file->file_) {
      close(fd);
      RemoveQuietly(file->temp_);
    }
  }
  if (!file->file_) {
    Abandon();
    ui_.Stop("Impossibile creare\n\n" + file->path_);
    return nullptr;
  }
  files_.push_back(std::move(file));
  return files_.back().get();
}

bool AttachmentFolder::Finish() {
  for (auto& f : files_) {
    f->Close();
    if (!f->ok_) {
      const std::string path = f->path_;
      Abandon();
      ui_.Stop(comms::ExportFailedMessage(path));
      return false;
    }
  }
  for (size_t i = 0; i < files_.size(); ++i) {
    std::error_code ec;
    std::filesystem::rename(files_[i]->temp_, files_[i]->path_, ec);
    if (ec) {
      // The files already named are taken back too: an export is whole or absent.
      for (size_t j = 0; j < i; ++j) RemoveQuietly(files_[j]->path_);
      const std::string path = files_[i]->path_;
      Abandon();
      ui_.Stop("Impossibile creare\n\n" + path);
      return false;
    }
  }
  finished_ = true;
  return true;
}

void AttachmentFolder::Abandon() {
  for (auto& f : files_) {
    f->file_.reset();
    RemoveQuietly(f->temp_);
  }
  files_.clear();
}

std::vector<std::string> AttachmentFolder::Names() const {
  std::vector<std::string> names;
  for (const auto& f : files_)
    names.push_back(std::filesystem::path(f->path_).filename().string());
  return names;
}

}  // namespace kvt::contracts
