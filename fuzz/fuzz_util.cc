#include "fuzz_util.h"

#include <filesystem>
#include <fstream>

namespace kvt::fuzz {
namespace {

class Scratch {
 public:
  Scratch() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kvt-fuzz.XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) Fail("cannot create a scratch directory", pattern);
    path_ = pattern;
  }
  ~Scratch() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

const std::string& ScratchDir() {
  static const Scratch scratch;
  return scratch.path();
}

std::string WriteScratch(const std::string& name, std::string_view bytes) {
  std::string path = ScratchDir() + "/" + name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) Fail("cannot write the scratch file", path);
  return path;
}

}  // namespace kvt::fuzz
