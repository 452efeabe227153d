#include "platform/settings.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "core/text.h"

namespace kvt {
namespace {

namespace fs = std::filesystem;

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

// Values are one line each: line breaks and the backslash itself are escaped. Any other
// backslash reads as itself, so a hand-written "C:\dati" survives.
std::string Escape(std::string_view v) {
  std::string out;
  for (char c : v) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out += c;
    }
  }
  return out;
}

std::string Unescape(std::string_view v) {
  std::string out;
  for (size_t i = 0; i < v.size(); ++i) {
    char c = v[i];
    if (c == '\\' && i + 1 < v.size()) {
      char n = v[i + 1];
      if (n == '\\' || n == 'n' || n == 'r') {
        out += n == 'n' ? '\n' : n == 'r' ? '\r' : '\\';
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}

bool ParseNumber(std::string_view v, uint32_t* out) {
  if (v.empty()) return false;
  uint32_t n = 0;
  auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
  if (ec != std::errc() || p != v.data() + v.size()) return false;
  *out = n;
  return true;
}

// One "name=value" line of our section into `out`; unknown names are ignored.
bool ApplyValue(std::string_view name, std::string_view value, Settings* out, std::string* error) {
  if (EqualsNoCase(name, "Database")) {
    out->database = Unescape(value);
  } else if (EqualsNoCase(name, "DsnOdbc")) {
    out->dsnOdbc = Unescape(value);
  } else if (EqualsNoCase(name, "Directory")) {
    out->directory = Unescape(value);
  } else if (EqualsNoCase(name, "RowSzAlfa") || EqualsNoCase(name, "RowSzBlob")) {
    uint32_t* target = EqualsNoCase(name, "RowSzAlfa") ? &out->rowSzAlfa : &out->rowSzBlob;
    if (!ParseNumber(value, target)) {
      *error = std::string(name) + ": \"" + std::string(value) + "\" is not a number";
      return false;
    }
  }
  return true;
}

}  // namespace

std::string SettingsFile::DefaultPath() {
  if (const char* p = std::getenv("KVTBASE_SETTINGS"); p && *p) return p;
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x)
    return std::string(x) + "/kvtbase/kvtbase.ini";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : ".") + "/.config/kvtbase/kvtbase.ini";
}

std::string SettingsFile::Render(const Settings& v) {
  std::ostringstream out;
  out << "; KVT-BASE2 settings\n"
      << "[" << kSettingsKey << "]\n"
      << "Database=" << Escape(v.database) << "\n"
      << "DsnOdbc=" << Escape(v.dsnOdbc) << "\n"
      << "RowSzAlfa=" << v.rowSzAlfa << "\n"
      << "RowSzBlob=" << v.rowSzBlob << "\n"
      << "Directory=" << Escape(v.directory) << "\n";
  if (!v.folders.empty()) {
    out << "\n[" << kFoldersSection << "]\n";
    for (const auto& [kind, folder] : v.folders) out << kind << "=" << Escape(folder) << "\n";
  }
  return out.str();
}

bool SettingsFile::Parse(std::string_view text, Settings* out, std::string* error) {
  Settings parsed = *out;
  bool inKey = false, inFolders = false;
  int lineNo = 0;
  std::string why;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = TrimBlanks(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++lineNo;
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      if (line.back() != ']') {
        why = "unterminated section name";
      } else {
        const std::string_view name = TrimBlanks(line.substr(1, line.size() - 2));
        inKey = EqualsNoCase(name, kSettingsKey);
        inFolders = EqualsNoCase(name, kFoldersSection);
        continue;
      }
    } else if (size_t eq = line.find('='); eq == std::string_view::npos || eq == 0) {
      why = "expected name=value";
    } else if (inFolders) {
      const std::string_view folder = TrimBlanks(line.substr(eq + 1));
      if (!folder.empty())
        parsed.folders[std::string(TrimBlanks(line.substr(0, eq)))] = Unescape(folder);
      continue;
    } else if (!inKey || ApplyValue(TrimBlanks(line.substr(0, eq)), TrimBlanks(line.substr(eq + 1)),
                                    &parsed, &why)) {
      continue;
    }
    if (error) *error = "line " + std::to_string(lineNo) + ": " + why;
    return false;
  }
  *out = parsed;
  return true;
}

SettingsLoad SettingsFile::Load(Settings* out, std::string* error) {
  keepAside_ = false;
  std::error_code ec;
  if (!fs::exists(path_, ec) && !ec) return SettingsLoad::Missing;
  std::ifstream in(path_, std::ios::binary);
  std::ostringstream text;
  if (in) text << in.rdbuf();
  std::string why;
  if (ec || !in || fs::is_directory(path_, ec) || in.bad()) {
    why = path_ + ": cannot be read";
  } else if (Parse(text.str(), out, &why)) {
    return SettingsLoad::Ok;
  } else {
    why = path_ + ": " + why;
  }
  keepAside_ = true;
  if (error) *error = why;
  return SettingsLoad::Unreadable;
}

bool SettingsFile::Save(const Settings& values, std::string* error) {
  std::error_code ec;
  fs::path file(path_);
  if (file.has_parent_path()) fs::create_directories(file.parent_path(), ec);
  if (keepAside_ && fs::exists(file, ec) && !fs::is_directory(file, ec)) {
    fs::rename(file, path_ + ".bak", ec);
    if (ec) {  // never replace a file we could not keep aside
      if (error) *error = path_ + ": " + ec.message();
      return false;
    }
    keepAside_ = false;
  }
  std::string tmp = path_ + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out << Render(values);
    out.flush();
    if (!out) {
      if (error) *error = tmp + ": " + std::strerror(errno);
      fs::remove(tmp, ec);
      return false;
    }
  }
  fs::rename(tmp, file, ec);
  if (ec) {
    if (error) *error = path_ + ": " + ec.message();
    fs::remove(tmp, ec);
    return false;
  }
  return true;
}

}  // namespace kvt
