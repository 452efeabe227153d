#include "contracts/dump_format.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "comms/kvt_format.h"
#include "core/checksum.h"
#include "core/text.h"
#include "schema/catalogue.h"

namespace kvt::contracts {

namespace {

constexpr std::string_view kStart = "<TB_START>";
constexpr std::string_view kEnd = "<TB_END><";

// The sections and their columns in file order; types come from the catalogue.
constexpr std::array<std::pair<std::string_view, std::string_view>, kDumpSections> kLayout = {{
    {"lotti", "ID denom"},
    {"bacini", "ID denom"},
    {"comuni", "ID denom provin istat bacino centro_x centro_y"},
    {"local", "ID denom istat nucleo abitanti centro_x centro_y"},
    {"proto", "azienda protoc p_data resple datini datfin primacom tipo azzera"},
    {"fermate", "azienda ID protoc denom ubicaz fermata comune local coord_x coord_y okcoord"},
    {"archi", "azienda ID protoc inizio fine lung"},
    {"tesitine", "azienda ID protoc codperc denom"},
    {"detitine", "azienda ID sub protoc arco dist"},
    {"corse",
     "azienda ID protoc codcorsa codlinea verso ente lung tempo ct_lung ct_tempo codperc capol_p "
     "hh_p mm_p capol_a hh_a mm_a v_media lotto mezzo prevcor nextcor"},
    {"orari", "azienda ID sub protoc fermata hh mm sosta primaria facolt nonferma"},
    {"mesi", "azienda ID protoc anno mese giorni"},
    {"giorni", "azienda ID protoc data giorno"},
}};

FieldKind KindOf(char letter, int size) {
  switch (letter) {
    case 'I':
      return FieldKind::Short;
    case 'L':
      return FieldKind::Long;
    case 'F':
      return FieldKind::Double;
    case 'B':
      return FieldKind::Flag;
    case 'D':
      return FieldKind::Date;
    default:
      return size == 1 ? FieldKind::Char : FieldKind::Text;
  }
}

std::array<DumpTable, kDumpSections> BuildTables() {
  std::array<DumpTable, kDumpSections> tables;
  for (int i = 0; i < kDumpSections; ++i) {
    const auto& [name, names] = kLayout[i];
    const schema::TableDef* def = schema::FindTableDef(name);
    DumpTable& t = tables[i];
    t.name = name;
    size_t at = 0;
    while (at <= names.size()) {
      size_t blank = names.find(' ', at);
      if (blank == std::string_view::npos) blank = names.size();
      const std::string_view column = names.substr(at, blank - at);
      at = blank + 1;
      DumpColumn c{column, FieldKind::Text, 0, true};
      if (def) {
        for (const schema::ColumnDef& d : def->columns) {
          if (EqualsNoCase(d.name, column)) c = {column, KindOf(d.letter, d.size), d.size, !d.mandatory};
        }
      }
      if (!t.header.empty()) t.header += '\t';
      t.header += column;
      t.columns.push_back(c);
    }
  }
  return tables;
}

bool Digits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// An optional minus and 1..maxDigits digits, within [low, high].
bool Integer(std::string_view s, size_t maxDigits, int64_t low, int64_t high) {
  std::string_view digits = s.starts_with('-') ? s.substr(1) : s;
  if (!Digits(digits) || digits.size() > maxDigits) return false;
  const int64_t v = LeadingInt(s);
  return v >= low && v <= high;
}

bool Decimal(std::string_view s) {
  if (s.size() > 330) return false;  // any finite double written with two decimals
  if (s.starts_with('-')) s.remove_prefix(1);
  const size_t point = s.find('.');
  if (point == std::string_view::npos) return Digits(s);
  return Digits(s.substr(0, point)) && Digits(s.substr(point + 1));
}

bool DateField(std::string_view s) {
  if (s.size() != 10 || s[2] != '/' || s[5] != '/') return false;
  if (!Digits(s.substr(0, 2)) || !Digits(s.substr(3, 2)) || !Digits(s.substr(6, 4))) return false;
  if (s == kNoLowerBound || s == kNoUpperBound) return true;
  const std::optional<Date> d = ParseDateByPosition(s);
  return d && IsValidDate(*d);
}

bool Printable(std::string_view s) {
  for (unsigned char c : s)
    if (c < 0x20 || c == 0x7f) return false;
  return true;
}

}  // namespace

const std::array<DumpTable, kDumpSections>& DumpTables() {
  static const std::array<DumpTable, kDumpSections> tables = BuildTables();
  return tables;
}

bool ValidField(const DumpColumn& column, std::string_view field) {
  if (field.empty()) {
    return column.nullable || column.kind == FieldKind::Text || column.kind == FieldKind::Char;
  }
  switch (column.kind) {
    case FieldKind::Short:
      return Integer(field, 5, -32768, 32767);
    case FieldKind::Long:
      return Integer(field, 10, INT32_MIN, INT32_MAX);
    case FieldKind::Double:
      return Decimal(field);
    case FieldKind::Text:
      return field.size() <= static_cast<size_t>(column.size) && Printable(field);
    case FieldKind::Char:
      return field.size() == 1 && Printable(field);
    case FieldKind::Flag:
      return field == "0" || field == "1";
    case FieldKind::Date:
      return DateField(field);
  }
  return false;
}

void AppendTextField(std::string& out, std::string_view utf8, int size) {
  std::string bytes = Utf8ToCp1252(TrimRight(utf8));
  for (char& c : bytes)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  if (size > 0 && bytes.size() > static_cast<size_t>(size)) bytes.resize(size);
  out += TrimRight(bytes);
}

// ---------------------------------------------------------------------------------------
// Walking a dump

namespace {

// Lines of the file or of bytes in memory, as LineReader gives them.
class Lines {
 public:
  virtual ~Lines() = default;
  virtual bool Next(std::string_view& record) = 0;
  virtual bool Failed() const = 0;
  virtual int64_t Offset() const = 0;
};

class FileLines : public Lines {
 public:
  explicit FileLines(comms::LineReader& reader) : reader_(reader) {}
  bool Next(std::string_view& record) override { return reader_.Next(record); }
  bool Failed() const override { return !reader_.Error().empty(); }
  int64_t Offset() const override { return reader_.Tell().offset; }

 private:
  comms::LineReader& reader_;
};

class ByteLines : public Lines {
 public:
  explicit ByteLines(std::string_view bytes) : bytes_(bytes) {}
  bool Next(std::string_view& record) override {
    if (at_ >= bytes_.size()) return false;
    size_t lf = bytes_.find('\n', at_);
    if (lf == std::string_view::npos) lf = bytes_.size();
    size_t length = lf - at_;
    if (lf < bytes_.size() && length > 0 && bytes_[lf - 1] == '\r') --length;
    record = bytes_.substr(at_, length);
    at_ = lf + 1;
    return true;
  }
  bool Failed() const override { return false; }
  int64_t Offset() const override { return static_cast<int64_t>(std::min(at_, bytes_.size())); }

 private:
  std::string_view bytes_;
  size_t at_ = 0;
};

// "<TB_START>name<count>" exactly; the count, or -1.
int64_t OpeningCount(std::string_view line, std::string_view name) {
  if (!line.starts_with(kStart)) return -1;
  line.remove_prefix(kStart.size());
  if (!line.starts_with(name)) return -1;
  line.remove_prefix(name.size());
  if (line.size() < 3 || line.front() != '<' || line.back() != '>') return -1;
  const std::string_view digits = line.substr(1, line.size() - 2);
  if (!Digits(digits) || digits.size() > 12) return -1;
  return LeadingInt(digits);
}

// "<TB_END><checksum>" exactly: its number, or nothing.
std::optional<int64_t> ClosingChecksum(std::string_view line) {
  line.remove_prefix(kEnd.size());
  if (line.size() < 2 || line.back() != '>') return std::nullopt;
  const std::string_view number = line.substr(0, line.size() - 1);
  if (!Integer(number, 10, INT32_MIN, INT32_MAX)) return std::nullopt;
  return LeadingInt(number);
}

DumpWalk Walk(Lines& lines, int64_t total, DumpVisitor& visitor) {
  const auto& tables = DumpTables();
  std::vector<std::string_view> fields;
  std::string_view line;
  int next = 0;
  long count = 0;
  while (lines.Next(line)) {
    if ((++count & 0x3ff) == 0 && !visitor.Progress(lines.Offset(), total))
      return DumpWalk::Stopped;
    if (line.empty()) continue;  // between sections only; a row is never empty
    if (next == kDumpSections) return DumpWalk::Corrupt;
    const DumpTable& table = tables[next];
    const DumpSection section = static_cast<DumpSection>(next);
    const int64_t declared = OpeningCount(line, table.name);
    if (declared < 0) return DumpWalk::Corrupt;
    if (!lines.Next(line) || line != table.header) return DumpWalk::Corrupt;
    RunningChecksum checksum;
    checksum.Add(line);
    if (!visitor.Begin(section, declared)) return DumpWalk::Stopped;
    int64_t rows = 0;
    for (;;) {
      if (!lines.Next(line)) return DumpWalk::Corrupt;
      if ((++count & 0x3ff) == 0 && !visitor.Progress(lines.Offset(), total))
        return DumpWalk::Stopped;
      if (line.starts_with(kEnd)) {
        const std::optional<int64_t> sum = ClosingChecksum(line);
        if (!sum || *sum != checksum.Value() || rows != declared) return DumpWalk::Corrupt;
        break;
      }
      if (++rows > declared) return DumpWalk::Corrupt;
      fields.clear();
      size_t at = 0;
      for (;;) {
        const size_t tab = line.find('\t', at);
        fields.push_back(line.substr(at, tab == std::string_view::npos ? line.npos : tab - at));
        if (tab == std::string_view::npos || fields.size() > table.columns.size()) break;
        at = tab + 1;
      }
      if (fields.size() != table.columns.size()) return DumpWalk::Corrupt;
      for (size_t i = 0; i < fields.size(); ++i)
        if (!ValidField(table.columns[i], fields[i])) return DumpWalk::Corrupt;
      checksum.Add(line);
      if (!visitor.Row(section, fields)) return DumpWalk::Stopped;
    }
    if (!visitor.End(section)) return DumpWalk::Stopped;
    ++next;
  }
  if (lines.Failed() || next != kDumpSections) return DumpWalk::Corrupt;
  return visitor.Progress(total, total) ? DumpWalk::Ok : DumpWalk::Stopped;
}

}  // namespace

DumpWalk WalkDump(const std::string& path, DumpVisitor& visitor) {
  comms::LineReader reader;
  if (!reader.Open(path)) return DumpWalk::Unreadable;
  struct stat info {};
  const int64_t total = stat(path.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_size) : 0;
  FileLines lines(reader);
  return Walk(lines, total, visitor);
}

DumpWalk WalkDumpBytes(std::string_view bytes, DumpVisitor& visitor) {
  ByteLines lines(bytes);
  return Walk(lines, static_cast<int64_t>(bytes.size()), visitor);
}

// ---------------------------------------------------------------------------------------
// DumpWriter

DumpWriter::DumpWriter() = default;
DumpWriter::~DumpWriter() = default;

bool DumpWriter::Open(const std::string& path) {
  next_ = 0;
  return out_.Open(path);
}

void DumpWriter::Begin(DumpSection section, int64_t rows) {
  if (section != next_) out_.Fail();
  const DumpTable& table = DumpTables()[section];
  out_.Begin(std::string(kStart) + std::string(table.name) +
                 Format("<%lld>", static_cast<long long>(rows)),
             rows);
  out_.SummedLine(table.header);
}

void DumpWriter::Row(std::string_view record) { out_.Row(record); }

void DumpWriter::End() {
  ++next_;
  out_.End(kEnd, ">");
}

bool DumpWriter::Close() {
  if (next_ != kDumpSections) out_.Fail();
  return out_.Close();
}

}  // namespace kvt::contracts
