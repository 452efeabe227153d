#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "core/text.h"

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

bool OutputFile::Open(const std::string& path) {
  Discard();
  path_ = path;
  target_ = path;
  temp_.clear();
  closed_ = false;
  struct stat info {};
  if (stat(path.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) {
      errno = EISDIR;
      return false;
    }
    if (!S_ISREG(info.st_mode)) {
      file_ = OpenForWriting(path);
      return file_ != nullptr;
    }
    // Replace the file a link names, not the link.
    if (char* real = realpath(path.c_str(), nullptr)) {
      target_ = real;
      std::free(real);
    }
  } else if (errno != ENOENT) {
    return false;
  }
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    const std::string temp = target_ + Format(".%ld-%d.tmp", static_cast<long>(getpid()), attempt);
    fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd >= 0) temp_ = temp;
    else if (errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  // The replacement keeps the permissions of the file it replaces.
  if (info.st_mode != 0) (void)fchmod(fd, info.st_mode & 07777);
  file_ = fdopen(fd, "wb");
  if (!file_) {
    const int error = errno;
    close(fd);
    unlink(temp_.c_str());
    temp_.clear();
    errno = error;
    return false;
  }
  return true;
}

bool OutputFile::Close() {
  if (closed_) return true;
  if (!file_) {
    errno = EBADF;
    return false;
  }
  const bool failed = std::ferror(file_) != 0;
  const int closeFailed = std::fclose(file_);
  const int error = errno;
  file_ = nullptr;
  closed_ = true;
  if (failed || closeFailed != 0) {
    Discard();
    errno = failed && closeFailed == 0 ? EIO : error;
    return false;
  }
  return true;
}

bool OutputFile::Publish() {
  if (!closed_) {
    errno = EBADF;
    return false;
  }
  if (temp_.empty()) return true;  // written in place
  if (rename(temp_.c_str(), target_.c_str()) != 0) {
    const int error = errno;
    Discard();
    errno = error;
    return false;
  }
  temp_.clear();
  return true;
}

void OutputFile::Discard() {
  const int error = errno;
  if (file_) std::fclose(file_);
  file_ = nullptr;
  if (!temp_.empty()) unlink(temp_.c_str());
  temp_.clear();
  closed_ = false;
  errno = error;
}

FileCheck CheckRegularFile(const std::string& path) {
  FileCheck why = FileCheck::Ok;
  if (std::FILE* f = OpenRegularFile(path, &why)) std::fclose(f);
  return why;
}

}  // namespace kvt
