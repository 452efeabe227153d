// The program's settings and the file that keeps them between runs.
//
// The values live under one key, "Software\KVTBASE\KVTBASE\1.00", in a per-user INI file:
// $KVTBASE_SETTINGS when set, else $XDG_CONFIG_HOME/kvtbase/kvtbase.ini, else
// ~/.config/kvtbase/kvtbase.ini. A missing file is a first start (defaults); a file that
// exists but cannot be read or understood is reported as Unreadable, and its contents are
// kept aside (".bak") before the next save replaces it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace kvt {

inline constexpr std::string_view kSettingsKey = "Software\\KVTBASE\\KVTBASE\\1.00";
// Our own section, after the key: the last folder of each kind of file the choosers saw.
inline constexpr std::string_view kFoldersSection = "KVT-BASE2 Cartelle";
inline constexpr uint32_t kDefaultRowSzAlfa = 25;
inline constexpr uint32_t kDefaultRowSzBlob = 1;

struct Settings {
  std::string database;                    // `Database`: path of the database file (file method)
  std::string dsnOdbc;                     // `DsnOdbc`: ODBC data source name
  uint32_t rowSzAlfa = kDefaultRowSzAlfa;  // `RowSzAlfa`: rowset size, ordinary data
  uint32_t rowSzBlob = kDefaultRowSzBlob;  // `RowSzBlob`: rowset size, BLOB data
  std::string directory;  // `Directory`: where the first start creates its database
  // Section kFoldersSection: kind of file ("Comunicazioni", "Report", "Database",
  // "Esportazioni") -> the folder its chooser last returned a file from.
  std::map<std::string, std::string> folders;

  bool operator==(const Settings&) const = default;
};

enum class SettingsLoad { Ok, Missing, Unreadable };

class SettingsFile {
 public:
  explicit SettingsFile(std::string path) : path_(std::move(path)) {}

  // Where the settings of this user live (see above).
  static std::string DefaultPath();

  const std::string& Path() const { return path_; }

  // Reads the values into `out`. Values absent from the file keep what `out` holds; on
  // Unreadable `out` is left untouched and `error` (when given) says why.
  SettingsLoad Load(Settings* out, std::string* error = nullptr);

  // Writes every value, creating the folder when needed; the file is replaced atomically.
  // An existing file that the last Load found unreadable is first renamed to Path()+".bak".
  bool Save(const Settings& values, std::string* error = nullptr);

  // The file's text for these values, and its reading (for Load/Save and their tests).
  static std::string Render(const Settings& values);
  static bool Parse(std::string_view text, Settings* out, std::string* error);

 private:
  std::string path_;
  bool keepAside_ = false;
};

}  // namespace kvt
