// ESRI shapefiles, coded here byte by byte: a main file (.SHP), its index (.SHX) and a
// dBASE III table (.DBF) with one attribute record per shape.
//
// Written: point (1) and polyline (3) files, polylines always with one part; beside the
// three files a .CPG naming the table's code page (1252) and a .PRJ with the projected
// system of the coordinates (Monte Mario / Italy zone 1, EPSG 3003), so that other tools
// read names and positions right. DBF numbers are written left-aligned, texts in
// Windows-1252.
//
// Read: polygon (5) and polyline (3) files. Every count and length taken from a file is
// checked against the record that holds it: a record whose parts and points do not fit its
// content is refused (counted in BadRecords), never read beyond.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "carto/geometry.h"
#include "core/dates.h"
#include "platform/files.h"

namespace kvt::carto {

inline constexpr int kShapeNull = 0;
inline constexpr int kShapePoint = 1;
inline constexpr int kShapePolyLine = 3;
inline constexpr int kShapePolygon = 5;

// The projection file written beside every shapefile (ESRI WKT of EPSG 3003).
extern const char kMonteMarioItaly1Wkt[];

// One DBF column. Text ('C'): `digits` is its width. Number ('N'): digits, plus
// decimals + 1 when decimals are present, plus 1 for the sign when `sign`.
struct DbfField {
  std::string name;  // at most 10 characters, upper case on disk
  char type = 'C';
  int digits = 0;
  int decimals = 0;
  bool sign = false;
  // Set by the writer and the reader: bytes on disk, and the place in the record after the
  // deletion flag.
  int width = 0;
  int offset = 0;

  int Length() const {
    if (type != 'N') return digits;
    return digits + (decimals > 0 ? decimals + 1 : 0) + (sign ? 1 : 0);
  }
};

// Writes a point or polyline shapefile. The caller gives the main file's path; the index and
// the table take that path with its last three characters replaced by "SHX" and "DBF" (the
// code page and projection files by "CPG" and "PRJ"). Files are replaced, together, when
// Close succeeds; when it fails, the files that were there are as they were.
//
// On any failure (a file that cannot be created or written, a field list the DBF header
// cannot describe) the writer returns false from then on and Close leaves the files that
// were there as they were.
class ShapefileWriter {
 public:
  ShapefileWriter() = default;
  ~ShapefileWriter();
  ShapefileWriter(const ShapefileWriter&) = delete;
  ShapefileWriter& operator=(const ShapefileWriter&) = delete;

  // shapeType: kShapePoint or kShapePolyLine. `date` is written in the DBF header (today
  // when not given).
  bool Open(const std::string& path, int shapeType, std::vector<DbfField> fields,
            std::optional<Date> date = std::nullopt);
  // One record; `values` are the field texts in field order (UTF-8; numbers as decimal
  // text). Texts lose trailing blanks and are cut to the field's width.
  bool AddPoint(Point p, const std::vector<std::string>& values);
  bool AddPolyLine(const Ring& line, const std::vector<std::string>& values);
  // Final headers; true when all three files were written whole.
  bool Close();

  int Records() const { return records_; }
  // The three paths (main, index, table) for a main-file path.
  static std::string SiblingPath(const std::string& path, std::string_view ext);

 private:
  bool WriteRecord(const std::vector<uint8_t>& content, const Box& box,
                   const std::vector<std::string>& values);
  bool WriteAll(std::FILE* f, const void* data, size_t size);
  void Fail();

  std::string path_;
  OutputFileSet files_;  // every file created, named together at Close
  std::FILE* shp_ = nullptr;
  std::FILE* shx_ = nullptr;
  std::FILE* dbf_ = nullptr;
  int shapeType_ = 0;
  std::vector<DbfField> fields_;
  int recordLength_ = 1;
  Date date_;
  int64_t shpWords_ = 50, shxWords_ = 50;
  Box box_ = Box::Empty();
  int records_ = 0;
  bool ok_ = false;
};

// One record read: its shape type and parts (rings, boxes computed from their points), and
// its DBF record.
struct ShapeRecord {
  int shapeType = kShapeNull;
  std::vector<Ring> parts;
  std::string dbf;  // the DBF record's bytes, deletion flag first
};

class ShapefileReader {
 public:
  ShapefileReader() = default;
  ~ShapefileReader();
  ShapefileReader(const ShapefileReader&) = delete;
  ShapefileReader& operator=(const ShapefileReader&) = delete;

  // Opens "<base>.SHP", ".SHX" and ".DBF" (any case of the extension) and reads the headers.
  // False, with nothing read, when a file is missing or a header is short or wrong (file
  // code 9994, DBF version 3, descriptors within the header, record long enough for them).
  bool Open(const std::string& base);
  // The same on three open streams, which the reader then owns and closes (fuzzing reads
  // from memory). `utf8`: the table's texts are UTF-8.
  bool Open(std::FILE* shp, std::FILE* shx, std::FILE* dbf, bool utf8 = false);
  int ShapeType() const { return shapeType_; }
  int IndexRecords() const { return indexRecords_; }
  const std::vector<DbfField>& Fields() const { return fields_; }
  // Position of the field called `name` (compared in upper case), or -1.
  int FieldIndex(std::string_view name) const;

  // The next record. False when every index record has been read or the file ends early.
  // A record whose type is not `acceptType` comes back with no parts; one whose counts do
  // not fit its content comes back with no parts and `bad` set (and is counted).
  bool Next(int acceptType, ShapeRecord* out, bool* bad = nullptr);
  int BadRecords() const { return badRecords_; }

  // The text of field `index` in a record read by Next, as UTF-8 (the table's bytes taken as
  // Windows-1252, or as UTF-8 when a .CPG beside it says so), untrimmed. Empty when the
  // record is shorter than the field.
  std::string FieldText(const ShapeRecord& record, int index) const;
  std::string FieldText(const ShapeRecord& record, std::string_view name) const;

 private:
  bool ReadHeaders();
  void CloseAll();

  std::FILE* shp_ = nullptr;
  std::FILE* shx_ = nullptr;
  std::FILE* dbf_ = nullptr;
  int shapeType_ = 0;
  int indexRecords_ = 0;
  int headerLength_ = 0;
  int recordLength_ = 0;
  bool utf8_ = false;
  std::vector<DbfField> fields_;
  int next_ = 0;
  int64_t shpPos_ = 100;
  int64_t shpSize_ = 0;
  int badRecords_ = 0;
  std::vector<uint8_t> content_;
};

}  // namespace kvt::carto
