// What the contract text files (totals, trips, functional analysis, daily profile) share:
// their number texts, their common head, and the folder of files they are written into.
//
// The files are tab-separated texts for a spreadsheet, one per contract (authority and
// company) and kind, named "KIND_A<company>_E<authority>.TXT", in Windows-1252, with a
// decimal comma in every number.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "contracts/statement.h"
#include "platform/files.h"
#include "platform/ui.h"
namespace kvt::db {
class Database;
}

namespace kvt::contracts {

// --- Number texts (decimal comma) ---

// Kilometres from whole metres, "%1.2lf" rounded half up exactly as the statements print
// them (KmText), with a comma: 1234500 m -> "1234,50".
std::string KmComma(int64_t metres);
// Whole minutes, "%1.0lf": "75".
std::string MinutesText(int64_t minutes);
// A plain count, "%1.0lf": "12".
std::string CountText(int64_t count);
// Commercial speed in km/h from metres and minutes, "%1.2lf" rounded half up, with a comma.
// No minutes gives "0,00" (never an infinity).
std::string SpeedComma(int64_t metres, int64_t minutes);

// --- The common head ---

// The names of the authorities (`regent`) and companies (`regazi`), trailing blanks removed.
struct ContractNames {
  std::map<int, std::string> authorities;
  std::map<int, std::string> companies;

  // The name of a code; empty when the table has no such row.
  std::string Authority(int ente) const;
  std::string Company(int azienda) const;
};
// Nothing when the database failed (the error has been shown).
std::optional<ContractNames> ReadContractNames(db::Database& db);

struct FileHead {
  std::string_view legend;  // the kind's legend line, with its "\n"
  int ente = 0;
  int azienda = 0;
  std::string startDate;  // "GG/MM/AAAA", as in the dialog
  std::string endDate;
  // The distances line; none for the daily profile.
  std::optional<DistanceType> distances;
};

// The legend, "Ente %d %s\n", "Azienda %d %s\n", "Periodo dal %s al %s\n\n" and, when
// given, the distances line followed by an empty line. UTF-8 (the files convert).
std::string HeadText(const FileHead& head, const ContractNames& names);

inline constexpr std::string_view kConventionalDistancesLine =
    "Distanze convenzionali dichiarate dall'Azienda\n\n";
inline constexpr std::string_view kCartographicDistancesLine =
    "Distanze misurate su base cartografica\n\n";

// --- The folder of files ---

// The save chooser that picks the folder: only the folder of the chosen path is used.
inline constexpr std::string_view kFolderChooserTitle =
    "Selezione cartella per esportazione files TXT";
inline constexpr std::string_view kFolderChooserFilter =
    "File TXT (*.txt)|*.txt|Tutti i files (*.*)|*.*||";
// The chooser with its title and filter, offering `defaultName` ("CONTRATTI", "ANALISI",
// "PROFILI"); it does not ask before "replacing" the chosen name, which is not written.
FileDialogSpec FolderChooser(std::string defaultName);

// "TOT_A%d_E%d.TXT": the company code first, then the authority.
std::string AttachmentFileName(std::string_view kind, int azienda, int ente);

// One file of a folder being written; texts are UTF-8 and written in Windows-1252.
class AttachmentFile {
 public:
  void Write(std::string_view text);
  // Closes the file once its text is complete, so that an export of many contracts does
  // not hold every file open; Finish closes whatever is still open.
  void Close();

 private:
  friend class AttachmentFolder;
  explicit AttachmentFile(OutputFile* file) : file_(file) {}

  OutputFile* file_;  // of the folder's set, named when the folder is finished
  bool closed_ = false;
  bool ok_ = true;
};

// The files of one export, created in the folder of the path the user chose. They are
// written under temporary names and take their own names together only when the whole
// export has succeeded: a failed or abandoned export leaves none of its files behind, and
// the files of the same names that were there before as they were.
class AttachmentFolder {
 public:
  // `chosenPath`: the path from the folder chooser; only its folder is used (the path
  // itself when it is a folder).
  AttachmentFolder(Ui& ui, const std::string& chosenPath);
  ~AttachmentFolder();  // an unfinished export is abandoned
  AttachmentFolder(const AttachmentFolder&) = delete;
  AttachmentFolder& operator=(const AttachmentFolder&) = delete;

  // Creates the file "KIND_A%d_E%d.TXT". Null when it cannot be created: "Impossibile
  // creare\n\n" + its path has been shown and everything written so far removed.
  AttachmentFile* Create(std::string_view kind, int azienda, int ente);
  // Closes every file and gives each its name. False, after the message, when a file could
  // not be written or named; then nothing of the export is left, and what it would have
  // replaced is back.
  bool Finish();
  // Removes every file written (when the export stops half-way).
  void Abandon();

  const std::string& Folder() const { return folder_; }
  // The files' names, in the order created.
  std::vector<std::string> Names() const;

 private:
  Ui& ui_;
  std::string folder_;
  OutputFileSet set_;
  std::vector<std::unique_ptr<AttachmentFile>> files_;
  bool finished_ = false;
};

}  // namespace kvt::contracts
