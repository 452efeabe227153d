// File helpers of the communication tests: bytes in and out, one record by its line number,
// a file in the test's own temporary folder.
#pragma once

#include <fstream>
#include <string>

#include "comms/kvt_format.h"
#include "support/engines.h"
#include "support/run_program.h"

namespace kvt::comms::test {

inline std::string ReadBytes(const std::string& path) {
  return kvt::test::ReadFile(path);
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
  explicit TempFile(const std::string& name) : path(kvt::test::TempDir() + "/" + name) {}
  std::string path;
};

}  // namespace kvt::comms::test
