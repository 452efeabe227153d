// Operations on database files of the embedded engine (the file method's stand-in for the
// JET engine): create, check the kind of a file, repair, compact into a copy, version.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "db/diagnostic.h"

namespace kvt::db {

// What a long file operation is doing, for its progress window.
enum class FileStep { Check, Copy };
// Called now and then (a few times a second at most) during a repair or a compaction with
// the step, the bytes written so far and the bytes expected (0 when there is no measure).
// Returning false stops the operation: it fails with kFileStopped, every file as it was.
using FileProgress = std::function<bool(FileStep step, long long done, long long total)>;
inline constexpr std::string_view kFileStopped = "interrupted";

// True when the file is a Microsoft Access (JET/ACE) file, which this engine cannot open.
bool IsAccessFile(std::string_view path);

// Creates, repairs and compacts files. Each operation returns true on success; on failure
// LastError() keeps why: `text` is the engine's description or the program's own ("Il file
// '...' esiste già.", kFileStopped when the progress callback stopped it), `native` the
// SQLite result code when the engine failed. The caller shows `text` under its own wording.
class FileEngine {
 public:
  // A new, empty database file. Fails when the file exists.
  [[nodiscard]] bool Create(std::string_view path);
  // Checks the file and rebuilds it in place when damaged (never loses readable rows).
  [[nodiscard]] bool Repair(std::string_view path, const FileProgress& progress = {});
  // A compacted, checked copy of `source` at `destination` (replaced if present).
  [[nodiscard]] bool Compact(std::string_view source, std::string_view destination,
                             const FileProgress& progress = {});
  const Diagnostic& LastError() const { return error_; }

 private:
  Diagnostic error_;
};

// Short version text of the engine, shown as " (Jet " + version + ")".
std::string EngineVersion();

}  // namespace kvt::db
