// File helpers of the communication tests: bytes in and out, one record by its line number,
// a temporary file that removes itself.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "comms/kvt_format.h"

namespace kvt::comms::test {

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The record at a 1-based line number, without its terminator.
inline std::string LineOf(const std::string& path, long line) {
  LineReader reader;
  std::string_view rec;
  if (!reader.Open(path)) return {};
  while (reader.Next(rec)) {
    if (reader.LineNumber() == line) return std::string(rec);
  }
  return {};
}

struct TempFile {
  explicit TempFile(const std::string& name) {
    const char* dir = std::getenv("TMPDIR");
    path = std::string(dir ? dir : "/tmp") + "/kvt_" + std::to_string(::getpid()) + "_" + name;
  }
  ~TempFile() { std::remove(path.c_str()); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  std::string path;
};

}  // namespace kvt::comms::test
