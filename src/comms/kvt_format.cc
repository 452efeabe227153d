#include "comms/kvt_format.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "core/text.h"
#include "platform/files.h"

namespace kvt::comms {

// ---------------------------------------------------------------------------------------
// LineReader

namespace {
constexpr size_t kReadBufferBytes = size_t{1} << 20;
}

LineReader::LineReader() = default;
LineReader::~LineReader() = default;

bool LineReader::Open(const std::string& path) {
  Close();
  // The reader must be able to go back, and a pipe would block the open itself: only a
  // regular file will do.
  file_.reset(OpenRegularFile(path));
  if (!file_) return false;
  buffer_.resize(kReadBufferBytes);
  return true;
}

void LineReader::Close() {
  file_.reset();
  buffer_.clear();
  buffer_.shrink_to_fit();
  begin_ = end_ = 0;
  bufferOffset_ = 0;
  eof_ = false;
  line_ = 0;
  error_.clear();
}

bool LineReader::IsOpen() const {
  return file_ != nullptr;
}

// Moves the unread bytes to the front and reads more; false when nothing could be added.
bool LineReader::Fill() {
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    bufferOffset_ += static_cast<int64_t>(begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  if (end_ == buffer_.size()) {
    if (buffer_.size() >= kMaxRecordBytes) {
      error_ = Format("line %ld is longer than %zu bytes", line_ + 1, kMaxRecordBytes);
      return false;
    }
    buffer_.resize(std::min(buffer_.size() * 2, kMaxRecordBytes));
  }
  const size_t got = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_.get());
  end_ += got;
  if (got == 0) {
    if (std::ferror(file_.get())) error_ = "read error";
    eof_ = true;
    return false;
  }
  return true;
}

bool LineReader::Next(std::string_view& record) {
  if (!file_ || !error_.empty()) return false;
  for (;;) {
    const char* start = buffer_.data() + begin_;
    const void* lf = std::memchr(start, '\n', end_ - begin_);
    if (lf != nullptr) {
      size_t length = static_cast<const char*>(lf) - start;
      begin_ += length + 1;
      if (length > 0 && start[length - 1] == '\r') --length;
      record = std::string_view(start, length);
      ++line_;
      return true;
    }
    if (eof_ || !Fill()) {
      if (!error_.empty() || begin_ == end_) return false;
      // The last record of a file that does not end with LF.
      record = std::string_view(buffer_.data() + begin_, end_ - begin_);
      begin_ = end_;
      ++line_;
      return true;
    }
  }
}

LineReader::Position LineReader::Tell() const {
  return Position{bufferOffset_ + static_cast<int64_t>(begin_), line_ + 1};
}

bool LineReader::Seek(const Position& position) {
  if (!file_) return false;
  std::clearerr(file_.get());
  if (fseeko(file_.get(), static_cast<off_t>(position.offset), SEEK_SET) != 0) return false;
  begin_ = end_ = 0;
  bufferOffset_ = position.offset;
  eof_ = false;
  line_ = position.line - 1;
  error_.clear();
  buffer_.resize(kReadBufferBytes);
  return true;
}

// ---------------------------------------------------------------------------------------
// Tags

namespace {
struct SectionText {
  std::string_view name, open, close, declarator;
};
constexpr SectionText kSectionText[kSectionCount] = {
    {"fermate", "<fermate>", "</fermate>", "FERMATE\t"},
    {"archi", "<archi>", "</archi>", "ARCHI\t"},
    {"teste_itiner", "<teste_itiner>", "</teste_itiner>", "TESTEITINER\t"},
    {"righe_itiner", "<righe_itiner>", "</righe_itiner>", "RIGHEITINER\t"},
    {"corse", "<corse>", "</corse>", "CORSE\t"},
    {"orari", "<orari>", "</orari>", "ORARI\t"},
    {"giorni", "<giorni>", "</giorni>", "GIORNI\t"},
};
const SectionText& TextOf(Section s) {
  return kSectionText[static_cast<int>(s)];
}
}  // namespace

std::string_view SectionName(Section s) {
  return TextOf(s).name;
}
std::string_view OpenTag(Section s) {
  return TextOf(s).open;
}
std::string_view CloseTag(Section s) {
  return TextOf(s).close;
}
std::string_view Declarator(Section s) {
  return TextOf(s).declarator;
}

std::optional<int64_t> TaggedNumber(std::string_view record, std::string_view tag) {
  if (!record.starts_with(tag)) return std::nullopt;
  return LeadingInt(record.substr(tag.size()));
}

// ---------------------------------------------------------------------------------------
// Parsing

namespace {

constexpr size_t kMaxFields = 34;  // a <giorni> row with 31 days
using Fields = std::array<std::string_view, kMaxFields>;

// Splits at TABs; returns the number of fields of the record (only the first kMaxFields are
// kept, which is enough to tell that a longer record is illegal).
size_t Split(std::string_view record, Fields& fields) {
  // A NUL byte is in no text a communication carries, and the checksum does not see it
  // (it adds 0): the record is illegal, never a name cut short.
  if (std::memchr(record.data(), '\0', record.size())) return 0;
  size_t count = 0;
  const char* p = record.data();
  const char* end = p + record.size();
  for (;;) {
    const char* tab = static_cast<const char*>(std::memchr(p, '\t', end - p));
    const char* stop = tab ? tab : end;
    if (count < kMaxFields) fields[count] = std::string_view(p, stop - p);
    ++count;
    if (!tab) return count;
    p = tab + 1;
  }
}

int32_t Int(std::string_view field) {
  const int64_t v = LeadingInt(field);
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// The numbers of one row, read by the leading-integer rule. A number its column cannot hold
// (INTEGER or SMALLINT) makes the row illegal (`fit` false): stored cut to the column's
// limit, two different identifiers would become one.
class Numbers {
 public:
  int32_t Int(std::string_view field) { return Read(field, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()); }
  int32_t Small(std::string_view field) { return Read(field, std::numeric_limits<int16_t>::min(),
                                                      std::numeric_limits<int16_t>::max()); }
  // "HH.MM": hours from the first two characters, minutes from the fourth on.
  void Time(std::string_view field, int32_t& hours, int32_t& minutes) {
    hours = Small(field.substr(0, 2));
    minutes = field.size() > 3 ? Small(field.substr(3)) : 0;
  }
  bool fit = true;

 private:
  int32_t Read(std::string_view field, int64_t lowest, int64_t highest) {
    const int64_t v = LeadingInt(field);
    if (v < lowest || v > highest) {
      fit = false;
      return 0;
    }
    return static_cast<int32_t>(v);
  }
};

char FirstChar(std::string_view field) {
  return field.empty() ? ' ' : field[0];
}
bool Flag(std::string_view field) {
  return FirstChar(field) != '0';
}

constexpr std::string_view kBlank = " ";
std::string_view Code(std::string_view field) {
  return field.empty() ? kBlank : field;
}

bool IsSn(std::string_view field) {
  return FirstChar(field) == 'S' || FirstChar(field) == 'N';
}
bool IsType(char c) {
  return c == 'B' || c == 'P' || c == 'A' || c == 'I';
}

bool DateField(std::string_view field, Date& out) {
  auto d = ParseDateByPosition(field);
  if (!d || !IsValidDate(*d)) return false;
  out = *d;
  return true;
}

}  // namespace

void ParseTimeField(std::string_view field, int32_t& hours, int32_t& minutes) {
  hours = Int(field.substr(0, 2));
  minutes = field.size() > 3 ? Int(field.substr(3)) : 0;
}

namespace {

bool ParseProtocol(std::string_view record, ProtocolRow& out, bool reference) {
  Fields f;
  if (Split(record, f) != 9) return false;
  const bool firstOk = reference ? f[0] == "R" : IsSn(f[0]);
  if (!firstOk || !IsSn(f[2]) || !IsType(FirstChar(f[1]))) return false;
  if (f[8].size() > kMaxResple) return false;
  if (!DateField(f[5], out.p_data) || !DateField(f[6], out.datini) ||
      !DateField(f[7], out.datfin) || DayNumber(out.datfin) < DayNumber(out.datini)) {
    return false;
  }
  Numbers n;
  out.reference = reference;
  out.primacom = f[0][0] == 'S';
  out.tipo = f[1][0];
  out.azzera = f[2][0] == 'S';
  out.azienda = n.Small(f[3]);
  out.protoc = n.Int(f[4]);
  out.resple = f[8];
  return n.fit;
}

}  // namespace

bool ParseRow(std::string_view record, ProtocolRow& out) {
  return ParseProtocol(record, out, false);
}

bool ParseReferenceRow(std::string_view record, ProtocolRow& out) {
  return ParseProtocol(record, out, true);
}

bool ParseRow(std::string_view record, FermataRow& out) {
  Fields f;
  if (Split(record, f) != 7) return false;
  if (f[1].size() > kMaxStopCode || f[2].size() > kMaxStopName || f[3].size() > kMaxStopPlace) {
    return false;
  }
  Numbers n;
  out.ID = n.Int(f[0]);
  out.fermata = Code(f[1]);
  out.denom = f[2];
  out.ubicaz = f[3];
  out.local = n.Small(f[4]);
  out.coord_x = ParseDecimal(f[5]);
  out.coord_y = ParseDecimal(f[6]);
  return n.fit;
}

bool ParseRow(std::string_view record, ArcoRow& out) {
  Fields f;
  if (Split(record, f) != 4) return false;
  Numbers n;
  out.ID = n.Int(f[0]);
  out.inizio = n.Int(f[1]);
  out.fine = n.Int(f[2]);
  out.lung = n.Int(f[3]);
  return n.fit;
}

bool ParseRow(std::string_view record, TestaItinerRow& out) {
  Fields f;
  if (Split(record, f) != 3) return false;
  if (f[1].size() > kMaxRouteCode || f[2].size() > kMaxRouteName) return false;
  Numbers n;
  out.ID = n.Int(f[0]);
  out.codperc = Code(f[1]);
  out.denom = f[2];
  return n.fit;
}

bool ParseRow(std::string_view record, RigaItinerRow& out) {
  Fields f;
  if (Split(record, f) != 6) return false;
  Numbers n;
  out.ID = n.Int(f[0]);
  out.sub = n.Small(f[1]);
  out.arco = n.Int(f[2]);
  out.dist = n.Int(f[3]);
  out.inizio = n.Int(f[4]);
  out.fine = n.Int(f[5]);
  return n.fit;
}

bool ParseRow(std::string_view record, CorsaRow& out) {
  Fields f;
  if (Split(record, f) != 18) return false;
  if (f[1].size() > kMaxTripCode || f[2].size() > kMaxLineCode || f[5].size() > kMaxRouteCode) {
    return false;
  }
  Numbers n;
  out.ID = n.Int(f[0]);
  out.codcorsa = Code(f[1]);
  out.codlinea = Code(f[2]);
  out.verso = FirstChar(f[3]);
  out.ente = n.Small(f[4]);
  out.percorso = Code(f[5]);
  out.codperc = n.Int(f[6]);
  out.capol_p = n.Int(f[7]);
  n.Time(f[8], out.hh_p, out.mm_p);
  out.capol_a = n.Int(f[9]);
  n.Time(f[10], out.hh_a, out.mm_a);
  out.lung = n.Int(f[11]);
  out.tempo = n.Small(f[12]);
  out.ct_lung = n.Int(f[13]);
  out.ct_tempo = n.Small(f[14]);
  out.prevcor = n.Int(f[15]);
  out.nextcor = n.Int(f[16]);
  out.mezzo = FirstChar(f[17]);
  return n.fit;
}

bool ParseRow(std::string_view record, OrarioRow& out) {
  Fields f;
  if (Split(record, f) != 8) return false;
  Numbers n;
  out.ID = n.Int(f[0]);
  out.sub = n.Small(f[1]);
  out.fermata = n.Int(f[2]);
  n.Time(f[3], out.hh, out.mm);
  out.sosta = n.Small(f[4]);
  out.primaria = Flag(f[5]);
  out.facolt = Flag(f[6]);
  out.nonferma = Flag(f[7]);
  return n.fit;
}

bool ParseRow(std::string_view record, GiorniRow& out) {
  Fields f;
  const size_t count = Split(record, f);
  if (count < 4 || count > kMaxFields) return false;
  Numbers n;
  out.mese = n.Small(f[2]);
  if (out.mese < 1 || out.mese > 12) return false;
  out.ID = n.Int(f[0]);
  out.anno = n.Small(f[1]);
  // A day the month does not have (30 February) marks nothing, like a day outside 1..31:
  // the month string keeps "N" there.
  const int64_t lastDay = DaysInMonth(out.mese, out.anno);
  out.days = 0;
  for (size_t i = 3; i < count; ++i) {
    const int64_t day = LeadingInt(f[i]);
    if (day >= 1 && day <= lastDay) out.days |= uint32_t{1} << day;
  }
  return n.fit;
}

// ---------------------------------------------------------------------------------------
// Formatting

namespace {

void Tab(std::string& out) {
  out += '\t';
}

// A text field as it can travel: no TAB or line end inside, at most `limit` characters.
void AppendText(std::string& out, std::string_view text, size_t limit) {
  text = text.substr(0, limit);
  for (char c : text) out += (c == '\t' || c == '\r' || c == '\n') ? ' ' : c;
}

void AppendTime(std::string& out, int32_t hours, int32_t minutes) {
  if (hours >= 0 && hours < 10) out += '0';
  AppendInt(out, hours);
  out += '.';
  if (minutes >= 0 && minutes < 10) out += '0';
  AppendInt(out, minutes);
}

void AppendChar(std::string& out, char c) {
  if (c != '\t' && c != '\r' && c != '\n' && c != '\0') out += c;
}

void AppendFields(std::string& out, std::initializer_list<int64_t> values) {
  bool first = true;
  for (int64_t v : values) {
    if (!first) Tab(out);
    first = false;
    AppendInt(out, v);
  }
}

}  // namespace

void AppendRow(std::string& out, const ProtocolRow& row) {
  out += row.reference ? 'R' : (row.primacom ? 'S' : 'N');
  Tab(out);
  AppendChar(out, row.tipo);
  Tab(out);
  out += row.azzera ? 'S' : 'N';
  Tab(out);
  AppendFields(out, {row.azienda, row.protoc});
  for (const Date* d : {&row.p_data, &row.datini, &row.datfin}) {
    Tab(out);
    out += FormatDate(*d);
  }
  Tab(out);
  AppendText(out, row.resple, kMaxResple);
}

void AppendRow(std::string& out, const FermataRow& row) {
  AppendInt(out, row.ID);
  Tab(out);
  AppendText(out, row.fermata, kMaxStopCode);
  Tab(out);
  AppendText(out, row.denom, kMaxStopName);
  Tab(out);
  AppendText(out, row.ubicaz, kMaxStopPlace);
  Tab(out);
  AppendInt(out, row.local);
  Tab(out);
  out += Format("%1.2lf", row.coord_x);
  Tab(out);
  out += Format("%1.2lf", row.coord_y);
}

void AppendRow(std::string& out, const ArcoRow& row) {
  AppendFields(out, {row.ID, row.inizio, row.fine, row.lung});
}

void AppendRow(std::string& out, const TestaItinerRow& row) {
  AppendInt(out, row.ID);
  Tab(out);
  AppendText(out, row.codperc, kMaxRouteCode);
  Tab(out);
  AppendText(out, row.denom, kMaxRouteName);
}

void AppendRow(std::string& out, const RigaItinerRow& row) {
  AppendFields(out, {row.ID, row.sub, row.arco, row.dist, row.inizio, row.fine});
}

void AppendRow(std::string& out, const CorsaRow& row) {
  AppendInt(out, row.ID);
  Tab(out);
  AppendText(out, row.codcorsa, kMaxTripCode);
  Tab(out);
  AppendText(out, row.codlinea, kMaxLineCode);
  Tab(out);
  AppendChar(out, row.verso);
  Tab(out);
  AppendInt(out, row.ente);
  Tab(out);
  AppendText(out, row.percorso, kMaxRouteCode);
  Tab(out);
  AppendFields(out, {row.codperc, row.capol_p});
  Tab(out);
  AppendTime(out, row.hh_p, row.mm_p);
  Tab(out);
  AppendInt(out, row.capol_a);
  Tab(out);
  AppendTime(out, row.hh_a, row.mm_a);
  Tab(out);
  AppendFields(out, {row.lung, row.tempo, row.ct_lung, row.ct_tempo});
  Tab(out);
  if (row.prevcor != 0) AppendInt(out, row.prevcor);
  Tab(out);
  if (row.nextcor != 0) AppendInt(out, row.nextcor);
  Tab(out);
  if (row.mezzo != ' ') AppendChar(out, row.mezzo);
}

void AppendRow(std::string& out, const OrarioRow& row) {
  AppendFields(out, {row.ID, row.sub, row.fermata});
  Tab(out);
  AppendTime(out, row.hh, row.mm);
  Tab(out);
  AppendInt(out, row.sosta);
  for (bool flag : {row.primaria, row.facolt, row.nonferma}) {
    Tab(out);
    out += flag ? '1' : '0';
  }
}

void AppendRow(std::string& out, const GiorniRow& row) {
  AppendFields(out, {row.ID, row.anno, row.mese});
  for (int day = 1; day <= 31; ++day) {
    if (row.days & (uint32_t{1} << day)) {
      Tab(out);
      AppendInt(out, day);
    }
  }
}

// ---------------------------------------------------------------------------------------
// KvtWriter

KvtWriter::KvtWriter() = default;
KvtWriter::~KvtWriter() = default;

bool KvtWriter::Open(const std::string& path) {
  const bool opened = out_.Open(path);
  path_ = path;
  error_.clear();
  declared_ = SectionCounts{};
  reference_ = protocolWritten_ = false;
  nextSection_ = 0;
  current_.reset();
  if (!opened) error_ = "cannot create " + path;
  return opened;
}

void KvtWriter::Fail(const std::string& text) {
  if (error_.empty()) error_ = text;
}

// The first fault found is the one reported: an order or count fault is caught before the
// section writer sees it, so what is left for it is a line that could not be written.
void KvtWriter::Check() {
  if (!out_.IsOpen()) Fail("the file is not open");
  else if (!out_.Good()) Fail("cannot write " + path_);
}

void KvtWriter::Row(std::string_view record) {
  out_.Row(record);
  Check();
}

void KvtWriter::WriteProtocol(const ProtocolRow& row, const SectionCounts& counts) {
  if (protocolWritten_) return Fail("protocol section written twice");
  if (!IsType(row.tipo)) Fail(Format("communication type '%c' unknown", row.tipo));
  if (!IsValidDate(row.p_data) || !IsValidDate(row.datini) || !IsValidDate(row.datfin) ||
      DayNumber(row.datfin) < DayNumber(row.datini)) {
    Fail("protocol dates are not a valid period");
  }
  protocolWritten_ = true;
  reference_ = row.reference;
  declared_ = counts;
  scratch_.assign(kProtocolOpen);
  scratch_ += '1';
  out_.Begin(scratch_);
  Check();
  scratch_.clear();
  AppendRow(scratch_, row);
  Row(scratch_);
  for (Section s : kSections) {
    if (s == Section::Giorni && reference_) break;
    scratch_.assign(Declarator(s));
    if (faults_.blankDeclarator == s) scratch_.back() = ' ';
    AppendInt(scratch_, counts[s]);
    Row(scratch_);
  }
  out_.End(kProtocolClose, {}, faults_.protocolChecksum ? faults_.checksumDelta : 0);
  Check();
}

void KvtWriter::BeginSection(Section s) {
  const int expected = reference_ ? kSectionCount - 1 : kSectionCount;
  if (!protocolWritten_ || current_ || nextSection_ >= expected ||
      static_cast<int>(s) != nextSection_) {
    Fail(Format("section <%s> out of order", SectionName(s).data()));
  }
  current_ = s;
  ++nextSection_;
  int64_t count = declared_[s];
  if (faults_.countSection == s) count += faults_.countDelta;
  scratch_.assign(OpenTag(s));
  AppendInt(scratch_, count);
  out_.Begin(scratch_, declared_[s]);
  Check();
}

bool KvtWriter::InSection(Section s) {
  if (current_ == s) return true;
  Fail(Format("row of <%s> outside its section", SectionName(s).data()));
  return false;
}

void KvtWriter::Write(const FermataRow& row) {
  if (!InSection(Section::Fermate)) return;
  scratch_.clear();
  AppendRow(scratch_, row);
  Row(scratch_);
}

void KvtWriter::Write(const ArcoRow& row) {
  if (!InSection(Section::Archi)) return;
  scratch_.clear();
  AppendRow(scratch_, row);
  Row(scratch_);
}

void KvtWriter::Write(const TestaItinerRow& row) {
  if (!InSection(Section::TesteItiner)) return;
  scratch_.clear();
  AppendRow(scratch_, row);
  Row(scratch_);
}

void KvtWriter::Write(const RigaItinerRow& row) {
  if (!InSection(Section::RigheItiner)) return;
  scratch_.clear();
  AppendRow(scratch_, row);
  Row(scratch_);
}

void KvtWriter::Write(const CorsaRow& row) {
  if (!InSection(Section::Corse)) return;
  scratch_.clear();
  AppendRow(scratch_, row);
  Row(scratch_);
}

void KvtWriter::Write(const OrarioRow& row) {
  if (!InSection(Section::Orari)) return;
  scratch_.clear();
  AppendRow(scratch_, row);
  Row(scratch_);
}

void KvtWriter::Write(const GiorniRow& row) {
  if (!InSection(Section::Giorni)) return;
  if (row.mese < 1 || row.mese > 12 || (row.days & ~uint32_t{1}) == 0) {
    Fail(Format("<giorni> row of trip %d has no valid month or no day", row.ID));
  }
  scratch_.clear();
  AppendRow(scratch_, row);
  Row(scratch_);
}

void KvtWriter::WriteRawRow(std::string_view record) {
  if (!current_) return Fail("row outside any section");
  Row(record);
}

void KvtWriter::EndSection() {
  if (!current_) return Fail("section closed twice");
  const Section s = *current_;
  if (out_.Rows() != declared_[s]) {
    Fail(Format("<%s> has %lld rows, %lld declared", SectionName(s).data(),
                static_cast<long long>(out_.Rows()), static_cast<long long>(declared_[s])));
  }
  out_.End(CloseTag(s), {}, faults_.checksumSection == s ? faults_.checksumDelta : 0);
  Check();
  current_.reset();
}

bool KvtWriter::Close() {
  const int expected = reference_ ? kSectionCount - 1 : kSectionCount;
  if (current_ || nextSection_ != expected) Fail("the file ends before its last section");
  if (!error_.empty()) out_.Fail();
  if (!out_.Close()) Fail("cannot write " + path_);
  return error_.empty();
}

}  // namespace kvt::comms
