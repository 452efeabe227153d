// Opening outside files for reading without being fooled by what is not a file.
//
// A named pipe blocks the open until someone writes to it, a device such as /dev/zero never
// ends, a folder opens but cannot be read: only a regular file is opened. The kind of file is
// checked on the open descriptor (opened without waiting), so that nothing can be swapped
// in between the check and the reading.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace kvt {

enum class FileCheck {
  Ok,
  Missing,     // no such file (or a folder on the way is missing)
  NotRegular,  // a folder, a pipe, a device, a socket
  Unreadable,  // exists but cannot be opened (permissions, ...)
  TooLarge,    // bigger than the reader accepts
};

// Opens `path` for binary reading when it is a regular file of at most `maxBytes` bytes
// (no limit when negative). Null otherwise, with the reason in `why`.
std::FILE* OpenRegularFile(const std::string& path, FileCheck* why = nullptr,
                           int64_t maxBytes = -1);

// The same check without keeping the file open.
FileCheck CheckRegularFile(const std::string& path);

// Creates or truncates `path` for binary writing. A named pipe nobody reads fails at once
// instead of blocking the program; a pipe or device that is read (a terminal, "/dev/stdout"
// in a pipeline) is written as the user asked. Null on failure, errno set.
std::FILE* OpenForWriting(const std::string& path);

}  // namespace kvt
