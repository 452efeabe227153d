// Writing a file of this folder through OutputFile, whole or not at all (internal).
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "platform/ui.h"

namespace kvt::refdata {

// The whole of a regular file of at most `maxBytes` bytes; nothing when it is missing, not a
// regular file (a folder, a pipe, a device), unreadable or larger.
std::optional<std::string> ReadWholeFile(const std::string& path, int64_t maxBytes);

// After work rolled back by its transaction: a stop by the user is confirmed (a failure has
// been shown by the database layer already).
void SayIfStopped(Ui& ui);

// Bytes into an open OutputFile; the first failed write is remembered, and Finish gives the
// file its name only when every write went through (otherwise nothing is left).
class FileSink {
 public:
  explicit FileSink(OutputFile& file) : file_(file) {}
  void Write(std::string_view bytes) {
    ok_ = ok_ && std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) == bytes.size();
  }
  bool Finish() {
    if (ok_ && file_.Commit()) return true;
    file_.Discard();
    return false;
  }

 private:
  OutputFile& file_;
  bool ok_ = true;
};

}  // namespace kvt::refdata
