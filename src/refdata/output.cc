#include "refdata/output.h"

namespace kvt::refdata {

std::optional<std::string> ReadWholeFile(const std::string& path, int64_t maxBytes) {
  std::FILE* f = OpenRegularFile(path, nullptr, maxBytes);
  if (!f) return std::nullopt;
  std::string bytes;
  std::string buffer(65536, '\0');
  size_t n = 0;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0) bytes.append(buffer, 0, n);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) return std::nullopt;
  return bytes;
}

void SayIfStopped(Ui& ui) {
  if (ui.CancelRequested()) ui.Info(kCancelledMessage);
}

}  // namespace kvt::refdata
