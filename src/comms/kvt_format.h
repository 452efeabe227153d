// The KvtTxt V2 communication file: reading it line by line, recognising its tags and
// declarators, parsing every row kind with its legal/illegal verdict, and writing it.
//
// Bytes stay as they are on disk (Windows-1252): parsed text fields are views of the record
// and must be converted with Cp1252ToUtf8 before they reach the database. Checksums are
// those of core/checksum.h, computed on the records as read or as written.
//
// Parsers do not allocate: a parsed row holds views into the record it came from and is
// valid only as long as that record (for LineReader, until the next call of Next).
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "comms/section_writer.h"
#include "core/checksum.h"
#include "core/dates.h"
#include "core/file.h"

namespace kvt::comms {

// ---------------------------------------------------------------------------------------
// Reading lines

// Reads a file record by record through a large buffer; memory does not grow with the file
// (only with its longest line). A record is a line without its LF and without a CR before
// the LF. Not copyable; closes its file when destroyed.
class LineReader {
 public:
  // Where the next record starts: byte offset and the number the next record will have.
  struct Position {
    int64_t offset = 0;
    long line = 1;
  };

  // Longest record accepted; a longer one ends reading with an error.
  static constexpr size_t kMaxRecordBytes = size_t{16} << 20;

  LineReader();
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  bool Open(const std::string& path);  // false when the file cannot be opened
  void Close();
  bool IsOpen() const;

  // The next record; false at the end of the file or on a read error (see Error). The view
  // stays valid until the next call of Next, Seek or Close.
  bool Next(std::string_view& record);
  // 1-based number of the record last returned by Next (0 before the first).
  long LineNumber() const { return line_; }
  // Empty unless reading stopped on an error (an unreadable file, an over-long line).
  const std::string& Error() const { return error_; }

  Position Tell() const;
  bool Seek(const Position& position);
  bool Rewind() { return Seek(Position{}); }

 private:
  bool Fill();

  UniqueFile file_;
  std::vector<char> buffer_;
  size_t begin_ = 0;          // first unread byte in buffer_
  size_t end_ = 0;            // one past the last valid byte in buffer_
  int64_t bufferOffset_ = 0;  // file offset of buffer_[0]
  bool eof_ = false;
  long line_ = 0;
  std::string error_;
};

// ---------------------------------------------------------------------------------------
// Sections, tags and declarators

enum class Section { Fermate, Archi, TesteItiner, RigheItiner, Corse, Orari, Giorni };
inline constexpr int kSectionCount = 7;
inline constexpr std::array<Section, kSectionCount> kSections = {
    Section::Fermate, Section::Archi, Section::TesteItiner, Section::RigheItiner,
    Section::Corse,   Section::Orari, Section::Giorni};

inline constexpr std::string_view kProtocolOpen = "<protocollo>";
inline constexpr std::string_view kProtocolClose = "</protocollo>";

// "fermate", "archi", "teste_itiner", "righe_itiner", "corse", "orari", "giorni".
std::string_view SectionName(Section s);
// "<fermate>" ... and "</fermate>" ...
std::string_view OpenTag(Section s);
std::string_view CloseTag(Section s);
// "FERMATE\t", "ARCHI\t", "TESTEITINER\t", "RIGHEITINER\t", "CORSE\t", "ORARI\t", "GIORNI\t".
std::string_view Declarator(Section s);

// When `record` begins (case-sensitively) with `tag`, the number read from the character
// right after it by the leading-integer rule (no digits: 0). Nothing otherwise.
std::optional<int64_t> TaggedNumber(std::string_view record, std::string_view tag);

// Row counts of the seven sections, indexed by Section.
struct SectionCounts {
  std::array<int64_t, kSectionCount> rows{};
  int64_t& operator[](Section s) { return rows[static_cast<int>(s)]; }
  int64_t operator[](Section s) const { return rows[static_cast<int>(s)]; }
};

// ---------------------------------------------------------------------------------------
// Rows. Field names are the columns they fill. Numbers follow the leading-integer rule and
// are clamped to 32 bits; text views are the fields as read (1252 bytes); an empty code
// field reads as one blank. One-character fields hold the field's first character, ' ' when
// the field is empty.

// Text limits, in characters (one byte each in Windows-1252).
inline constexpr size_t kMaxResple = 40;
inline constexpr size_t kMaxStopCode = 10;
inline constexpr size_t kMaxStopName = 40;
inline constexpr size_t kMaxStopPlace = 40;
inline constexpr size_t kMaxRouteCode = 20;
inline constexpr size_t kMaxRouteName = 120;
inline constexpr size_t kMaxTripCode = 20;
inline constexpr size_t kMaxLineCode = 10;

// The protocol row. Written with `primacom` as "S"/"N", or with "R" in a reference base.
struct ProtocolRow {
  bool reference = false;  // first field "R" (reference base) instead of the S/N flag
  bool primacom = false;
  char tipo = 'P';  // 'B', 'P', 'A' or 'I'
  bool azzera = false;
  int32_t azienda = 0;
  int32_t protoc = 0;
  Date p_data, datini, datfin;
  std::string_view resple;
};

struct FermataRow {
  int32_t ID = 0;
  std::string_view fermata;  // stop code
  std::string_view denom;
  std::string_view ubicaz;
  int32_t local = 0;
  double coord_x = 0;  // 0: no coordinate
  double coord_y = 0;
};

struct ArcoRow {
  int32_t ID = 0;
  int32_t inizio = 0;
  int32_t fine = 0;
  int32_t lung = 0;
};

struct TestaItinerRow {
  int32_t ID = 0;
  std::string_view codperc;
  std::string_view denom;
};

struct RigaItinerRow {
  int32_t ID = 0;
  int32_t sub = 0;
  int32_t arco = 0;
  int32_t dist = 0;
  int32_t inizio = 0;  // the arc's ends, repeated for readers of the file; not stored
  int32_t fine = 0;
};

struct CorsaRow {
  int32_t ID = 0;
  std::string_view codcorsa;
  std::string_view codlinea;
  char verso = ' ';
  int32_t ente = 0;
  std::string_view percorso;  // the route's code, carried for readers; not stored
  int32_t codperc = 0;        // the route ID
  int32_t capol_p = 0;
  int32_t hh_p = 0, mm_p = 0;
  int32_t capol_a = 0;
  int32_t hh_a = 0, mm_a = 0;
  int32_t lung = 0;
  int32_t tempo = 0;
  int32_t ct_lung = 0;
  int32_t ct_tempo = 0;
  int32_t prevcor = 0;  // 0: none (stored empty)
  int32_t nextcor = 0;
  char mezzo = ' ';
};

struct OrarioRow {
  int32_t ID = 0;
  int32_t sub = 0;
  int32_t fermata = 0;
  int32_t hh = 0, mm = 0;
  int32_t sosta = 0;
  bool primaria = false;
  bool facolt = false;
  bool nonferma = false;
};

// A <giorni> row: the days of one month on which a trip runs, as a bit set (bit d for day
// d, 1..31; numbers outside 1..31 mark nothing).
struct GiorniRow {
  int32_t ID = 0;
  int32_t anno = 0;
  int32_t mese = 0;
  uint32_t days = 0;
};

// Parsers: true when the record is a legal row of its kind, with `out` filled; false for an
// illegal format (out is then unspecified). The protocol row is also illegal when a date is
// not a real calendar date or the period ends before it begins: such a row could not be
// stored, nor would its running days mean anything.
bool ParseRow(std::string_view record, ProtocolRow& out);
bool ParseRow(std::string_view record, FermataRow& out);
bool ParseRow(std::string_view record, ArcoRow& out);
bool ParseRow(std::string_view record, TestaItinerRow& out);
bool ParseRow(std::string_view record, RigaItinerRow& out);
bool ParseRow(std::string_view record, CorsaRow& out);
bool ParseRow(std::string_view record, OrarioRow& out);
bool ParseRow(std::string_view record, GiorniRow& out);

// The protocol row of a reference base: "R" in the first field, otherwise as ParseRow.
bool ParseReferenceRow(std::string_view record, ProtocolRow& out);

// A time field "HH.MM" read by position: hours from the first two characters, any third
// character, minutes from the fourth on.
void ParseTimeField(std::string_view field, int32_t& hours, int32_t& minutes);

// ---------------------------------------------------------------------------------------
// Formatting rows (TAB-separated, no LF). Text fields are written as given (1252 bytes),
// with TAB, CR and LF replaced by blanks and cut to their limit, so that the row stays
// legal. `prevcor`/`nextcor` of 0 and a blank `mezzo` are written as empty fields.

void AppendRow(std::string& out, const ProtocolRow& row);
void AppendRow(std::string& out, const FermataRow& row);
void AppendRow(std::string& out, const ArcoRow& row);
void AppendRow(std::string& out, const TestaItinerRow& row);
void AppendRow(std::string& out, const RigaItinerRow& row);
void AppendRow(std::string& out, const CorsaRow& row);
void AppendRow(std::string& out, const OrarioRow& row);
void AppendRow(std::string& out, const GiorniRow& row);

// ---------------------------------------------------------------------------------------
// Writing files

// Deliberately wrong output, only for producing faulty test inputs.
struct WriterFaults {
  // Section whose header carries its declared count plus `countDelta`.
  std::optional<Section> countSection;
  int64_t countDelta = 1;
  // Section whose closing line (or, when `protocolChecksum`, the protocol closing line)
  // carries its checksum plus `checksumDelta`.
  std::optional<Section> checksumSection;
  bool protocolChecksum = false;
  int32_t checksumDelta = 1;
  // Declarator written with a blank instead of its TAB.
  std::optional<Section> blankDeclarator;
};

// Writes a communication (or a reference base, when the protocol row has `reference`):
//   WriteProtocol(row, counts);
//   for each section in order: BeginSection(s); Write(row)...; EndSection();
//   Close();
// Every typed row is written legal; Close() is true only when the file was written in full
// and every section got exactly its declared rows in the right order, so that a file
// reported as written always checks; otherwise the file is not written (one it would have
// replaced stays as it was). LF line ends.
class KvtWriter {
 public:
  KvtWriter();
  ~KvtWriter();
  KvtWriter(const KvtWriter&) = delete;
  KvtWriter& operator=(const KvtWriter&) = delete;

  // Starts a new file (a writer may be used again after Close).
  bool Open(const std::string& path);
  void SetFaults(const WriterFaults& faults) { faults_ = faults; }

  // The protocol section. A reference base has no GIORNI declarator and no <giorni>.
  void WriteProtocol(const ProtocolRow& row, const SectionCounts& counts);
  void BeginSection(Section s);
  void Write(const FermataRow& row);
  void Write(const ArcoRow& row);
  void Write(const TestaItinerRow& row);
  void Write(const RigaItinerRow& row);
  void Write(const CorsaRow& row);
  void Write(const OrarioRow& row);
  void Write(const GiorniRow& row);  // needs a month 1..12 and at least one day
  // A row written exactly as given (counted and checksummed like any row).
  void WriteRawRow(std::string_view record);
  void EndSection();
  // Flushes and closes; false when anything went wrong (see Error).
  bool Close();

  long LinesWritten() const { return out_.LinesWritten(); }
  const std::string& Error() const { return error_; }

 private:
  void Row(std::string_view record);
  void Check();
  bool InSection(Section s);
  void Fail(const std::string& text);

  SectionWriter out_;
  std::string path_;
  std::string scratch_;
  WriterFaults faults_;
  SectionCounts declared_;
  bool reference_ = false;
  bool protocolWritten_ = false;
  int nextSection_ = 0;             // index of the section expected next
  std::optional<Section> current_;  // the open section
  std::string error_;
};

}  // namespace kvt::comms
