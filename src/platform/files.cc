#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kvt {

std::FILE* OpenRegularFile(const std::string& path, FileCheck* why, int64_t maxBytes) {
  FileCheck result = FileCheck::Ok;
  std::FILE* file = nullptr;
  // O_NONBLOCK: opening a pipe must not wait for a writer; O_NOCTTY: a terminal device
  // must not become ours.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  struct stat info {};
  if (fd < 0) {
    result = errno == ENOENT || errno == ENOTDIR ? FileCheck::Missing : FileCheck::Unreadable;
  } else if (fstat(fd, &info) != 0) {
    result = FileCheck::Unreadable;
  } else if (!S_ISREG(info.st_mode)) {
    result = FileCheck::NotRegular;
  } else if (maxBytes >= 0 && info.st_size > maxBytes) {
    result = FileCheck::TooLarge;
  } else {
    const int flags = fcntl(fd, F_GETFL);
    if (flags == -1 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1 ||
        !(file = fdopen(fd, "rb"))) {
      result = FileCheck::Unreadable;
    }
  }
  if (!file && fd >= 0) close(fd);
  if (why) *why = result;
  return file;
}

std::FILE* OpenForWriting(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                      0666);
  if (fd < 0) return nullptr;
  const int flags = fcntl(fd, F_GETFL);
  std::FILE* file = nullptr;
  if (flags != -1 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != -1) file = fdopen(fd, "wb");
  if (!file) {
    const int error = errno;
    close(fd);
    errno = error;
  }
  return file;
}

FileCheck CheckRegularFile(const std::string& path) {
  FileCheck why = FileCheck::Ok;
  if (std::FILE* f = OpenRegularFile(path, &why)) std::fclose(f);
  return why;
}

}  // namespace kvt
