// An open C file owned by a unique_ptr: closed when dropped. A writer that must know whether
// its last bytes reached the disk closes it itself (std::fclose(file.release())) and checks.
#pragma once

#include <cstdio>
#include <memory>

namespace kvt {

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace kvt
