#include "platform/data_dir.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace kvt {

namespace fs = std::filesystem;

std::string DataDirFor(std::string_view exe, std::string_view buildCopy) {
  fs::path bin = fs::path(exe).parent_path();
  // An installed program never falls back on the build's copy: a data file missing from the
  // package must show as missing, not be found in a folder the user does not have.
  if (bin.filename() == "bin") return (bin.parent_path() / "share" / "kvtbase").string();
  return std::string(buildCopy);
}

std::string DataDir() {
  if (const char* dir = std::getenv("KVTBASE_DATA_DIR"); dir && *dir) return dir;
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return DataDirFor(ec ? std::string() : exe.string(), KVT_BUILD_DATA_DIR);
}

}  // namespace kvt
