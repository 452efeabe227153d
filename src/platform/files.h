// Opening outside files without being fooled by what is not a file.
//
// A named pipe blocks the open until someone writes to it, a device such as /dev/zero never
// ends, a folder opens but cannot be read: only a regular file is opened. The kind of file is
// checked on the open descriptor (opened without waiting), so that nothing can be swapped
// in between the check and the reading.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

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

// A file the program writes for the user, whole or not at all.
//
// A regular file, new or replacing one, is written under a name of its own beside it
// ("NAME.<pid>-<n>.tmp", created exclusively) and takes its name only at Publish: a write
// that fails, or work that stops, leaves what was there as it was and nothing else behind.
// What is not a regular file (a pipe, a terminal, a device such as /dev/stdout) is written
// in place, as the user asked, and is never replaced nor removed; a pipe nobody reads fails
// at once. A symbolic link is followed: the file it names is the one replaced.
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile() { Discard(); }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Opens `path` for binary writing. False with errno set (EISDIR for a folder).
  [[nodiscard]] bool Open(const std::string& path);
  std::FILE* get() const { return file_; }
  const std::string& path() const { return path_; }

  // Closes the file. False (errno set) when a write or the close failed; the file is then
  // discarded.
  [[nodiscard]] bool Close();
  // Gives the closed file its name. False (errno set) when it cannot be; then discarded.
  [[nodiscard]] bool Publish();
  // Close and Publish.
  [[nodiscard]] bool Commit() { return Close() && Publish(); }
  // Closes and removes what was written, if it was not published.
  void Discard();

 private:
  friend class OutputFileSet;

  std::FILE* file_ = nullptr;
  std::string path_;    // the name the user gave
  std::string target_;  // the file it names (a link followed)
  std::string temp_;    // empty when writing in place
  bool closed_ = false;
};

// Files the program writes for the user as one set (a shapefile's SHP, SHX and DBF, the
// files of an export folder): every one takes its name, or none does.
//
// Each file is an OutputFile, written under a name of its own. Publish renames them onto
// their names one after another; a file it replaces is first kept aside under a name of its
// own ("NAME.<pid>-<n>.old", a hard link, or the file itself moved when the folder allows
// no link) and dropped only when every rename has succeeded. When a step fails, or the set
// is discarded unpublished, every file that was there before is put back as it was and no
// new file is left. Pipes and devices are written in place, as OutputFile does, and never
// removed. A crash can leave ".tmp" files and, during Publish, part of the new set in
// place with the files it replaced beside it as ".old".
class OutputFileSet {
 public:
  OutputFileSet() = default;
  ~OutputFileSet() { Discard(); }
  OutputFileSet(const OutputFileSet&) = delete;
  OutputFileSet& operator=(const OutputFileSet&) = delete;

  // Opens one more file of the set (as OutputFile::Open); it may be closed on its own once
  // written. Null (errno set) when it cannot be opened: the set is otherwise unchanged.
  [[nodiscard]] OutputFile* Add(const std::string& path);
  size_t size() const { return files_.size(); }
  OutputFile& operator[](size_t i) const { return *files_[i]; }

  // Closes every file. False (errno set, FailedPath named) when one could not be written;
  // then the whole set is discarded.
  [[nodiscard]] bool Close();
  // Gives every closed file its name. False (errno set, FailedPath named) when one cannot
  // take it; then the files it replaced are back and the whole set is discarded.
  [[nodiscard]] bool Publish();
  [[nodiscard]] bool Commit() { return Close() && Publish(); }
  // Removes every file written and not published, and forgets them all.
  void Discard();

  // The user's name of the file that made Close or Publish fail.
  const std::string& FailedPath() const { return failed_; }

 private:
  bool Fail(const OutputFile& file);

  std::vector<std::unique_ptr<OutputFile>> files_;
  std::string failed_;
};

// Tests only: the `n`th rename of a finished file onto its name from now on (1 the next)
// fails with `error`, as a full or read-only folder would make it; 0 stops the fault.
void FailRenameForTests(int n, int error);

// The messages of a file the program could not open for writing, and of one begun but not
// finished (a database error, a full disk): nothing of it is left, a file that was there
// stays as it was.
std::string CannotCreateMessage(const std::string& path);
std::string WriteFailedMessage(const std::string& path);

}  // namespace kvt
