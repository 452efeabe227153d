#include "carto/shapefile.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "core/text.h"

namespace kvt::carto {

const char kMonteMarioItaly1Wkt[] =
    "PROJCS[\"Monte_Mario_Italy_1\",GEOGCS[\"GCS_Monte_Mario\",DATUM[\"D_Monte_Mario\","
    "SPHEROID[\"International_1924\",6378388.0,297.0]],PRIMEM[\"Greenwich\",0.0],"
    "UNIT[\"Degree\",0.0174532925199433]],PROJECTION[\"Transverse_Mercator\"],"
    "PARAMETER[\"False_Easting\",1500000.0],PARAMETER[\"False_Northing\",0.0],"
    "PARAMETER[\"Central_Meridian\",9.0],PARAMETER[\"Scale_Factor\",0.9996],"
    "PARAMETER[\"Latitude_Of_Origin\",0.0],UNIT[\"Meter\",1.0]]";

namespace {

// One routine per width and byte order, at a byte position of a buffer.
void PutBe32(uint8_t* p, int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  p[0] = static_cast<uint8_t>(u >> 24);
  p[1] = static_cast<uint8_t>(u >> 16);
  p[2] = static_cast<uint8_t>(u >> 8);
  p[3] = static_cast<uint8_t>(u);
}
void PutLe16(uint8_t* p, int v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void PutLe32(uint8_t* p, int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  for (int k = 0; k < 4; ++k) p[k] = static_cast<uint8_t>(u >> (8 * k));
}
void PutLeDouble(uint8_t* p, double v) {
  uint64_t u;
  std::memcpy(&u, &v, 8);
  for (int k = 0; k < 8; ++k) p[k] = static_cast<uint8_t>(u >> (8 * k));
}
int32_t GetBe32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 24 |
                              static_cast<uint32_t>(p[1]) << 16 |
                              static_cast<uint32_t>(p[2]) << 8 | p[3]);
}
int GetLe16(const uint8_t* p) { return p[0] | p[1] << 8; }
int32_t GetLe32(const uint8_t* p) {
  uint32_t u = 0;
  for (int k = 0; k < 4; ++k) u |= static_cast<uint32_t>(p[k]) << (8 * k);
  return static_cast<int32_t>(u);
}
double GetLeDouble(const uint8_t* p) {
  uint64_t u = 0;
  for (int k = 0; k < 8; ++k) u |= static_cast<uint64_t>(p[k]) << (8 * k);
  double v;
  std::memcpy(&v, &u, 8);
  return v;
}

// The 100-byte header of the main file and of the index.
std::vector<uint8_t> MainHeader(int64_t words, int shapeType, const Box& box) {
  std::vector<uint8_t> h(100, 0);
  PutBe32(&h[0], 9994);
  PutBe32(&h[24], static_cast<int32_t>(words));
  PutLe32(&h[28], 1000);
  PutLe32(&h[32], shapeType);
  const bool none = box.IsEmpty();
  PutLeDouble(&h[36], none ? 0 : box.minx);
  PutLeDouble(&h[44], none ? 0 : box.miny);
  PutLeDouble(&h[52], none ? 0 : box.maxx);
  PutLeDouble(&h[60], none ? 0 : box.maxy);
  return h;
}

bool ReadExactly(std::FILE* f, void* data, size_t size) {
  return size == 0 || std::fread(data, 1, size, f) == size;
}

int64_t FileSize(std::FILE* f) {
  if (std::fseek(f, 0, SEEK_END) != 0) return -1;
  const long size = std::ftell(f);
  return size < 0 ? -1 : size;
}

// "<base>.<EXT>", else "<base>.<ext>", else any spelling of the extension in the folder.
std::optional<std::string> FindAnyCase(const std::string& base, std::string_view ext) {
  namespace fs = std::filesystem;
  std::error_code ec;
  for (const std::string& candidate : {base + "." + std::string(ext), [&] {
         std::string lower = base + ".";
         for (char c : ext) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
         return lower;
       }()}) {
    if (fs::is_regular_file(candidate, ec)) return candidate;
  }
  const fs::path b(base);
  const fs::path dir = b.has_parent_path() ? b.parent_path() : fs::path(".");
  const std::string want = b.filename().string() + "." + std::string(ext);
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (EqualsNoCase(it->path().filename().string(), want) && it->is_regular_file(ec))
      return it->path().string();
  }
  return std::nullopt;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Writer

std::string ShapefileWriter::SiblingPath(const std::string& path, std::string_view ext) {
  if (path.size() < 3) return path + std::string(ext);
  return path.substr(0, path.size() - 3) + std::string(ext);
}

ShapefileWriter::~ShapefileWriter() {
  if (shp_ || shx_ || dbf_) {
    ok_ = false;
    Close();
  }
}

void ShapefileWriter::Fail() { ok_ = false; }

bool ShapefileWriter::WriteAll(std::FILE* f, const void* data, size_t size) {
  if (!ok_) return false;
  if (size && std::fwrite(data, 1, size, f) != size) Fail();
  return ok_;
}

bool ShapefileWriter::Open(const std::string& path, int shapeType, std::vector<DbfField> fields,
                           std::optional<Date> date) {
  if (shp_ || shx_ || dbf_) return false;
  path_ = path;
  shapeType_ = shapeType;
  fields_ = std::move(fields);
  date_ = date ? *date : Today();
  shpWords_ = shxWords_ = 50;
  box_ = Box::Empty();
  records_ = 0;
  files_.Discard();
  ok_ = shapeType == kShapePoint || shapeType == kShapePolyLine;
  // The DBF header holds a field's width in one byte and the header and record lengths in
  // two.
  recordLength_ = 1;
  for (DbfField& f : fields_) {
    f.width = f.Length();
    f.offset = recordLength_ - 1;
    recordLength_ += f.width;
    if (f.width <= 0 || f.width > 255) ok_ = false;
  }
  if (recordLength_ > 65535 || 32 + 32 * fields_.size() + 1 > 65535) ok_ = false;
  if (!ok_) return false;

  auto create = [this](const std::string& p) -> std::FILE* {
    if (OutputFile* f = files_.Add(p)) return f->get();
    ok_ = false;
    return nullptr;
  };
  shp_ = create(path);
  if (ok_) shx_ = create(SiblingPath(path, "SHX"));
  if (ok_) dbf_ = create(SiblingPath(path, "DBF"));
  for (auto [ext, text] : {std::pair<const char*, const char*>{"CPG", "1252"},
                           std::pair<const char*, const char*>{"PRJ", kMonteMarioItaly1Wkt}}) {
    if (!ok_) break;
    if (std::FILE* f = create(SiblingPath(path, ext))) WriteAll(f, text, std::strlen(text));
  }
  if (!ok_) {
    Close();
    return false;
  }
  const std::vector<uint8_t> zero(100, 0);
  WriteAll(shp_, zero.data(), 100);
  WriteAll(shx_, zero.data(), 100);
  WriteAll(dbf_, zero.data(), 32);
  for (const DbfField& f : fields_) {
    uint8_t d[32] = {};
    for (size_t k = 0; k < f.name.size() && k < 10; ++k)
      d[k] = static_cast<uint8_t>(std::toupper(static_cast<unsigned char>(f.name[k])));
    d[11] = static_cast<uint8_t>(f.type);
    d[16] = static_cast<uint8_t>(f.width);
    d[17] = static_cast<uint8_t>(f.decimals);
    WriteAll(dbf_, d, 32);
  }
  const uint8_t end = 0x0D;
  WriteAll(dbf_, &end, 1);
  if (!ok_) Close();
  return ok_;
}

bool ShapefileWriter::WriteRecord(const std::vector<uint8_t>& content, const Box& box,
                                  const std::vector<std::string>& values) {
  if (!ok_ || !shp_) return false;
  const int64_t words = static_cast<int64_t>(content.size() / 2);
  // Lengths and offsets are 32-bit counts of 16-bit words.
  if (shpWords_ + 4 + words > INT32_MAX || values.size() != fields_.size()) {
    Fail();
    return false;
  }
  uint8_t head[8];
  PutBe32(head, static_cast<int32_t>(shpWords_));
  PutBe32(head + 4, static_cast<int32_t>(words));
  WriteAll(shx_, head, 8);
  shxWords_ += 4;
  PutBe32(head, records_ + 1);
  WriteAll(shp_, head, 8);
  WriteAll(shp_, content.data(), content.size());
  shpWords_ += 4 + words;
  if (!box.IsEmpty()) {
    box_.Widen({box.minx, box.miny});
    box_.Widen({box.maxx, box.maxy});
  }
  std::string record(static_cast<size_t>(recordLength_), ' ');
  for (size_t i = 0; i < fields_.size(); ++i) {
    const DbfField& f = fields_[i];
    std::string bytes = f.type == 'C' ? Utf8ToCp1252(values[i]) : std::string(Trim(values[i]));
    std::string_view v = TrimRight(bytes);
    v = v.substr(0, static_cast<size_t>(f.width));
    std::memcpy(&record[static_cast<size_t>(1 + f.offset)], v.data(), v.size());
  }
  WriteAll(dbf_, record.data(), record.size());
  if (ok_) ++records_;
  return ok_;
}

bool ShapefileWriter::AddPoint(Point p, const std::vector<std::string>& values) {
  if (shapeType_ != kShapePoint) return false;
  std::vector<uint8_t> c(20);
  PutLe32(&c[0], kShapePoint);
  PutLeDouble(&c[4], p.x);
  PutLeDouble(&c[12], p.y);
  return WriteRecord(c, Box{p.x, p.y, p.x, p.y}, values);
}

bool ShapefileWriter::AddPolyLine(const Ring& line, const std::vector<std::string>& values) {
  if (shapeType_ != kShapePolyLine) return false;
  const size_t n = static_cast<size_t>(line.Count());
  std::vector<uint8_t> c(48 + 16 * n);
  const Box& b = line.GetBox();
  const bool none = b.IsEmpty();
  PutLe32(&c[0], kShapePolyLine);
  PutLeDouble(&c[4], none ? 0 : b.minx);
  PutLeDouble(&c[12], none ? 0 : b.miny);
  PutLeDouble(&c[20], none ? 0 : b.maxx);
  PutLeDouble(&c[28], none ? 0 : b.maxy);
  PutLe32(&c[36], 1);
  PutLe32(&c[40], static_cast<int32_t>(n));
  PutLe32(&c[44], 0);
  for (size_t i = 0; i < n; ++i) {
    PutLeDouble(&c[48 + 16 * i], line.Points()[i].x);
    PutLeDouble(&c[56 + 16 * i], line.Points()[i].y);
  }
  return WriteRecord(c, b, values);
}

bool ShapefileWriter::Close() {
  if (ok_ && shp_ && shx_ && dbf_) {
    std::vector<uint8_t> h = MainHeader(shpWords_, shapeType_, box_);
    if (std::fseek(shp_, 0, SEEK_SET) != 0) Fail();
    WriteAll(shp_, h.data(), h.size());
    h = MainHeader(shxWords_, shapeType_, box_);
    if (std::fseek(shx_, 0, SEEK_SET) != 0) Fail();
    WriteAll(shx_, h.data(), h.size());
    const uint8_t eof = 0x1A;
    WriteAll(dbf_, &eof, 1);
    uint8_t d[32] = {};
    d[0] = 3;
    d[1] = static_cast<uint8_t>(date_.year - 1900);
    d[2] = static_cast<uint8_t>(date_.month);
    d[3] = static_cast<uint8_t>(date_.day);
    PutLe32(&d[4], records_);
    PutLe16(&d[8], static_cast<int>(32 + 32 * fields_.size() + 1));
    PutLe16(&d[10], recordLength_);
    if (std::fseek(dbf_, 0, SEEK_SET) != 0) Fail();
    WriteAll(dbf_, d, 32);
  }
  shp_ = shx_ = dbf_ = nullptr;
  // All the files or none: nothing half-written takes a name, no former file is lost.
  ok_ = ok_ && files_.Commit();
  files_.Discard();
  const bool result = ok_;
  ok_ = false;
  return result;
}

// ---------------------------------------------------------------------------------------------
// Reader

ShapefileReader::~ShapefileReader() { CloseAll(); }

void ShapefileReader::CloseAll() {
  for (std::FILE** f : {&shp_, &shx_, &dbf_}) {
    if (*f) std::fclose(*f);
    *f = nullptr;
  }
}

bool ShapefileReader::Open(const std::string& base) {
  CloseAll();
  const auto shp = FindAnyCase(base, "SHP");
  const auto shx = FindAnyCase(base, "SHX");
  const auto dbf = FindAnyCase(base, "DBF");
  if (!shp || !shx || !dbf) return false;
  std::FILE* a = std::fopen(shp->c_str(), "rb");
  std::FILE* b = a ? std::fopen(shx->c_str(), "rb") : nullptr;
  std::FILE* c = b ? std::fopen(dbf->c_str(), "rb") : nullptr;
  if (!c) {
    if (a) std::fclose(a);
    if (b) std::fclose(b);
    return false;
  }
  // A code page file naming UTF-8 (GDAL writes one by default) makes the texts UTF-8.
  bool utf8 = false;
  if (const auto cpg = FindAnyCase(base, "CPG")) {
    if (std::FILE* f = std::fopen(cpg->c_str(), "rb")) {
      char text[32] = {};
      const size_t n = std::fread(text, 1, sizeof text - 1, f);
      std::fclose(f);
      const std::string_view name = Trim(std::string_view(text, n));
      utf8 = EqualsNoCase(name, "UTF-8") || EqualsNoCase(name, "UTF8") || name == "65001";
    }
  }
  return Open(a, b, c, utf8);
}

bool ShapefileReader::Open(std::FILE* shp, std::FILE* shx, std::FILE* dbf, bool utf8) {
  CloseAll();
  shp_ = shp;
  shx_ = shx;
  dbf_ = dbf;
  utf8_ = utf8;
  fields_.clear();
  next_ = 0;
  shpPos_ = 100;
  badRecords_ = 0;
  indexRecords_ = 0;
  if (!shp_ || !shx_ || !dbf_ || !ReadHeaders()) {
    CloseAll();
    return false;
  }
  return true;
}

bool ShapefileReader::ReadHeaders() {
  uint8_t h[100];
  shpSize_ = FileSize(shp_);
  if (std::fseek(shp_, 0, SEEK_SET) != 0 || !ReadExactly(shp_, h, 100) || GetBe32(h) != 9994)
    return false;
  shapeType_ = GetLe32(&h[32]);

  if (!ReadExactly(shx_, h, 100) || GetBe32(h) != 9994) return false;
  const int64_t indexEnd = int64_t{GetBe32(&h[24])} * 2;
  for (int64_t pos = 100; pos < indexEnd; pos += 8) {
    uint8_t rec[8];
    if (!ReadExactly(shx_, rec, 8)) return false;
    if (indexRecords_ == INT32_MAX) return false;
    ++indexRecords_;
  }

  uint8_t d[32];
  if (!ReadExactly(dbf_, d, 32) || d[0] != 3) return false;
  headerLength_ = GetLe16(&d[8]);
  recordLength_ = GetLe16(&d[10]);
  int offset = 0;
  for (int pos = 32; pos < headerLength_ - 1; pos += 32) {
    if (!ReadExactly(dbf_, d, 32)) return false;
    if (d[0] == 0x0D) break;  // the header's end mark comes early
    DbfField f;
    for (int k = 0; k < 11 && d[k]; ++k)
      f.name += static_cast<char>(std::toupper(static_cast<unsigned char>(d[k])));
    f.type = static_cast<char>(d[11]);
    f.width = d[16];
    f.decimals = d[17];
    f.digits = f.type == 'N' && f.decimals > 0 ? f.width - f.decimals - 1 : f.width;
    f.offset = offset;
    offset += f.width;
    fields_.push_back(std::move(f));
  }
  // Every field must lie inside the record: a table that says otherwise is not read.
  return offset + 1 <= recordLength_;
}

int ShapefileReader::FieldIndex(std::string_view name) const {
  for (size_t i = 0; i < fields_.size(); ++i)
    if (EqualsNoCase(fields_[i].name, name)) return static_cast<int>(i);
  return -1;
}

bool ShapefileReader::Next(int acceptType, ShapeRecord* out, bool* bad) {
  if (bad) *bad = false;
  *out = ShapeRecord();
  if (!shp_ || next_ >= indexRecords_) return false;
  uint8_t head[8];
  if (std::fseek(shp_, static_cast<long>(shpPos_), SEEK_SET) != 0 || !ReadExactly(shp_, head, 8))
    return false;
  const int64_t length = int64_t{GetBe32(&head[4])} * 2;
  // A record that claims more than the file holds is a short read: the reading ends.
  if (length < 0 || shpPos_ + 8 + length > shpSize_) return false;
  content_.resize(static_cast<size_t>(length));
  if (!ReadExactly(shp_, content_.data(), content_.size())) return false;
  shpPos_ += 8 + length;

  if (std::fseek(dbf_, static_cast<long>(headerLength_ + int64_t{next_} * recordLength_),
                 SEEK_SET) == 0) {
    out->dbf.resize(static_cast<size_t>(recordLength_));
    if (!ReadExactly(dbf_, out->dbf.data(), out->dbf.size())) out->dbf.clear();
  }
  ++next_;

  auto refuse = [&] {
    ++badRecords_;
    if (bad) *bad = true;
    out->parts.clear();
    return true;
  };
  if (length < 4) {
    out->shapeType = kShapeNull;
    return acceptType == kShapeNull ? true : refuse();
  }
  const uint8_t* c = content_.data();
  out->shapeType = GetLe32(c);
  if (out->shapeType != acceptType) return true;
  if (acceptType == kShapePoint) {
    if (length < 20) return refuse();
    out->parts.push_back(Ring({{GetLeDouble(c + 4), GetLeDouble(c + 12)}}));
    return true;
  }
  if (acceptType != kShapePolyLine && acceptType != kShapePolygon) return true;
  if (length < 44) return refuse();
  const int64_t parts = GetLe32(c + 36), points = GetLe32(c + 40);
  if (parts < 0 || points < 0 || 44 + 4 * parts + 16 * points > length) return refuse();
  const uint8_t* starts = c + 44;
  const uint8_t* xy = starts + 4 * parts;
  for (int64_t i = 0; i < parts; ++i) {
    const int64_t begin = i == 0 ? 0 : GetLe32(starts + 4 * i);
    const int64_t end = i + 1 < parts ? GetLe32(starts + 4 * (i + 1)) : points;
    if (begin < 0 || end < begin || end > points) return refuse();
    std::vector<Point> pts(static_cast<size_t>(end - begin));
    for (int64_t k = begin; k < end; ++k)
      pts[static_cast<size_t>(k - begin)] = {GetLeDouble(xy + 16 * k), GetLeDouble(xy + 16 * k + 8)};
    out->parts.push_back(Ring(std::move(pts)));
  }
  return true;
}

std::string ShapefileReader::FieldText(const ShapeRecord& record, int index) const {
  if (index < 0 || index >= static_cast<int>(fields_.size())) return "";
  const DbfField& f = fields_[static_cast<size_t>(index)];
  const size_t at = static_cast<size_t>(1 + f.offset);
  if (at + static_cast<size_t>(f.width) > record.dbf.size()) return "";
  const std::string_view bytes(record.dbf.data() + at, static_cast<size_t>(f.width));
  if (utf8_ && IsValidUtf8(bytes)) return std::string(bytes);
  return Cp1252ToUtf8(bytes);
}

std::string ShapefileReader::FieldText(const ShapeRecord& record, std::string_view name) const {
  return FieldText(record, FieldIndex(name));
}

}  // namespace kvt::carto
