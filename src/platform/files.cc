#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

#include "core/text.h"

namespace kvt {

namespace {

std::atomic<int> renamesBeforeFault{0};
std::atomic<int> renameFault{0};

// rename(2), unless a test asked this one to fail.
int RenameOntoName(const std::string& from, const std::string& to) {
  if (renamesBeforeFault.load() > 0 && renamesBeforeFault.fetch_sub(1) == 1) {
    errno = renameFault.load();
    return -1;
  }
  return rename(from.c_str(), to.c_str());
}

// Makes "BASE.<pid>-<n>SUFFIX" with `make` for the first n not taken (make fails with
// EEXIST while it is). False, errno set, when none could be made.
template <typename Make>
bool MakeOwnName(const std::string& base, const char* suffix, std::string& name, Make make) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string candidate =
        base + Format(".%ld-%d%s", static_cast<long>(getpid()), attempt, suffix);
    if (make(candidate)) {
      name = candidate;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  errno = EEXIST;
  return false;
}

}  // namespace

void FailRenameForTests(int n, int error) {
  renameFault = error;
  renamesBeforeFault = n;
}

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
  if (!MakeOwnName(target_, ".tmp", temp_, [&fd](const std::string& temp) {
        fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
        return fd >= 0;
      })) {
    return false;
  }
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
  if (RenameOntoName(temp_, target_) != 0) {
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

namespace {

// A file of a set on its way to its name, and the file it replaces kept aside.
struct Kept {
  std::string target;
  std::string aside;     // empty: there was no file
  bool moved = false;    // the former file itself was moved aside (no hard link possible)
  bool renamed = false;  // the new file has taken the name
};

// Keeps the file at `k.target` aside under a name of its own: a hard link, so that the name
// never goes missing, or, where the folder allows no link, the file itself moved.
bool SetAside(Kept& k) {
  struct stat info {};
  if (lstat(k.target.c_str(), &info) != 0) return errno == ENOENT;
  const auto linked = [&k](const std::string& aside) {
    return link(k.target.c_str(), aside.c_str()) == 0;
  };
  if (MakeOwnName(k.target, ".old", k.aside, linked)) return true;
  if (errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK) return false;
  k.moved = MakeOwnName(k.target, ".old", k.aside, [&k](const std::string& aside) {
    struct stat taken {};
    if (lstat(aside.c_str(), &taken) == 0) {
      errno = EEXIST;
      return false;
    }
    return rename(k.target.c_str(), aside.c_str()) == 0;
  });
  return k.moved;
}

// Undoes a publication half-way, last file first. A former file that cannot take its name
// back stays under its aside name rather than being lost.
void PutBack(const std::vector<Kept>& kept) {
  const int error = errno;
  for (auto k = kept.rbegin(); k != kept.rend(); ++k) {
    if (k->aside.empty()) {
      if (k->renamed) unlink(k->target.c_str());
    } else if (k->renamed || k->moved) {
      (void)rename(k->aside.c_str(), k->target.c_str());
    } else {
      unlink(k->aside.c_str());  // a link: the former file never left its name
    }
  }
  errno = error;
}

}  // namespace

OutputFile* OutputFileSet::Add(const std::string& path) {
  auto file = std::make_unique<OutputFile>();
  if (!file->Open(path)) return nullptr;
  files_.push_back(std::move(file));
  return files_.back().get();
}

bool OutputFileSet::Close() {
  failed_.clear();
  for (auto& f : files_)
    if (!f->Close()) return Fail(*f);
  return true;
}

bool OutputFileSet::Publish() {
  failed_.clear();
  std::vector<OutputFile*> pending;
  for (auto& f : files_) {
    if (!f->closed_) {
      errno = EBADF;
      return Fail(*f);
    }
    if (!f->temp_.empty()) pending.push_back(f.get());
  }
  std::vector<Kept> kept;
  for (size_t i = 0; i < pending.size(); ++i) {
    OutputFile& f = *pending[i];
    kept.push_back({f.target_});
    // The last rename keeps nothing aside: once it is done nothing can fail any more.
    const bool last = i + 1 == pending.size();
    if (!(last || SetAside(kept.back())) || RenameOntoName(f.temp_, f.target_) != 0) {
      PutBack(kept);
      return Fail(f);
    }
    kept.back().renamed = true;
    f.temp_.clear();
  }
  for (const Kept& k : kept)
    if (!k.aside.empty()) unlink(k.aside.c_str());
  return true;
}

void OutputFileSet::Discard() {
  for (auto& f : files_) f->Discard();
  files_.clear();
}

bool OutputFileSet::Fail(const OutputFile& file) {
  failed_ = file.path();
  const int error = errno;
  Discard();
  errno = error;
  return false;
}

FileCheck CheckRegularFile(const std::string& path) {
  FileCheck why = FileCheck::Ok;
  if (std::FILE* f = OpenRegularFile(path, &why)) std::fclose(f);
  return why;
}

std::string CannotCreateMessage(const std::string& path) {
  return "Impossibile creare\n\n" + path;
}

std::string WriteFailedMessage(const std::string& path) {
  return "ATTENZIONE: la scrittura del file si è interrotta per un errore.\n\n" + path +
         "\n\nIl file non è stato creato.";
}

}  // namespace kvt
