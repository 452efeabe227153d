// The contract dump file: thirteen table sections in a fixed order, each
//
//   <TB_START>table<rows>
//   column names, TAB-separated
//   rows, TAB-separated, fields in the order of the header
//   <TB_END><checksum>          (running checksum of the header and the rows)
//
// Windows-1252 on disk, LF line ends (a CR before the LF is ignored on reading). A dump is a
// file from outside: the reader accepts only the known sections with their known columns in
// their order, and checks every field against its column (numbers, dates, flags, lengths),
// so that nothing a file holds can change a statement built from it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "comms/section_writer.h"
#include "core/dates.h"

namespace kvt::contracts {

// How a field travels, from the column's type letter.
enum class FieldKind {
  Short,   // I: SMALLINT
  Long,    // L: INTEGER
  Double,  // F: "%1.2lf", empty for none
  Text,    // A of more than one character: at most `size` characters
  Char,    // A(1): one character
  Flag,    // B: "0" or "1"
  Date,    // D: "GG/MM/AAAA" (or the no-bound sentinels), empty for none
};

struct DumpColumn {
  std::string_view name;
  FieldKind kind;
  int size;       // characters, for Text and Char
  bool nullable;  // an empty field stands for a missing value
};

struct DumpTable {
  std::string_view name;
  std::vector<DumpColumn> columns;
  std::string header;  // the header line: the column names joined by TAB
};

inline constexpr int kDumpSections = 13;
enum DumpSection {
  kLotti, kBacini, kComuni, kLocal, kProto, kFermate, kArchi, kTesitine, kDetitine, kCorse,
  kOrari, kMesi, kGiorni
};

// The thirteen sections in file order, with their columns (types from the catalogue).
const std::array<DumpTable, kDumpSections>& DumpTables();

// Whether `field` is a legal value of `column` (an empty field only where nullable).
bool ValidField(const DumpColumn& column, std::string_view field);

// The field of a selected value, as the export writes it. Texts are UTF-8 from the
// database: written in Windows-1252, trailing blanks removed, TAB and line ends as blanks,
// cut to the column's size.
void AppendTextField(std::string& out, std::string_view utf8, int size);

// Walks a dump file from its first line, checking everything, and calls the visitor for
// each section and row. Stops at the first fault (false). The views passed to the visitor
// are valid during the call only.
class DumpVisitor {
 public:
  virtual ~DumpVisitor() = default;
  // A section begins (its header checked). False stops the walk.
  virtual bool Begin(DumpSection section, int64_t rows) { return true; }
  // One checked row: one field per column of the section.
  virtual bool Row(DumpSection section, const std::vector<std::string_view>& fields) {
    return true;
  }
  // The section's count and checksum checked.
  virtual bool End(DumpSection section) { return true; }
  // Bytes read so far, of `total`. False stops the walk (the user stopped the work).
  virtual bool Progress(int64_t offset, int64_t total) { return true; }
};

// Outcome of a walk: Ok, Unreadable (the file cannot be opened), Corrupt (any fault of the
// structure or of a field), Stopped (the visitor said stop).
enum class DumpWalk { Ok, Unreadable, Corrupt, Stopped };

DumpWalk WalkDump(const std::string& path, DumpVisitor& visitor);
// The same over bytes in memory (the fuzz target).
DumpWalk WalkDumpBytes(std::string_view bytes, DumpVisitor& visitor);

// Writes a dump. Begin(section, rows) ... Row(fields) ... End(); every section in order.
// Close() is true only when every section came with exactly its declared rows and the file
// was written in full; otherwise the file is not written (one it would have replaced stays
// as it was).
class DumpWriter {
 public:
  DumpWriter();
  ~DumpWriter();
  bool Open(const std::string& path);
  void Begin(DumpSection section, int64_t rows);
  // One row already formatted (fields joined by TAB, Windows-1252).
  void Row(std::string_view record);
  void End();
  bool Close();

 private:
  comms::SectionWriter out_;
  int next_ = 0;
};

}  // namespace kvt::contracts
