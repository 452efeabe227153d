// Helpers shared by the fuzz targets: a scratch file for readers that take a path, and a
// check that stops the run with a message (libFuzzer then saves the input that caused it).
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace kvt::fuzz {

// Prints what went wrong and aborts: a broken property is a crash for libFuzzer.
[[noreturn]] inline void Fail(const char* what, std::string_view detail = {}) {
  std::fprintf(stderr, "PROPERTY BROKEN: %s\n%.*s\n", what, static_cast<int>(detail.size()),
               detail.data());
  std::fflush(stderr);
  std::abort();
}

inline void Check(bool ok, const char* what, std::string_view detail = {}) {
  if (!ok) Fail(what, detail);
}

// A directory of this process under $TMPDIR (or /tmp), removed at exit.
const std::string& ScratchDir();

// Writes `bytes` to a file of the scratch directory and returns its path (the same path on
// every call with the same name: one file per target, rewritten for every input).
std::string WriteScratch(const std::string& name, std::string_view bytes);

inline std::string_view AsText(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

}  // namespace kvt::fuzz
