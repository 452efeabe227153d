// Shapefiles: the bytes we write, GDAL reading what we write, and our reader on files GDAL
// makes.
#include "carto/shapefile.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <cstring>
#include <sstream>

#include "core/text.h"

#include "support/engines.h"
#include "support/run_program.h"

namespace kvt::carto {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes ReadBytes(const std::string& path) {
  const std::string text = test::ReadFile(path);
  return Bytes(text.begin(), text.end());
}

int32_t Be32(const Bytes& b, size_t at) {
  return static_cast<int32_t>(uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 |
                              uint32_t{b[at + 2]} << 8 | b[at + 3]);
}
int32_t Le32(const Bytes& b, size_t at) {
  return static_cast<int32_t>(b[at] | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
                              uint32_t{b[at + 3]} << 24);
}
int Le16(const Bytes& b, size_t at) { return b[at] | b[at + 1] << 8; }
double LeDouble(const Bytes& b, size_t at) {
  uint64_t u = 0;
  for (int k = 0; k < 8; ++k) u |= uint64_t{b[at + static_cast<size_t>(k)]} << (8 * k);
  double v;
  std::memcpy(&v, &u, 8);
  return v;
}

// Standard output of a shell command; empty when it fails.
std::string Shell(const std::string& command) {
  std::string out;
  if (std::FILE* p = popen((command + " 2>&1").c_str(), "r")) {
    std::array<char, 4096> buf;
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
    if (pclose(p) != 0) ADD_FAILURE() << command << "\n" << out;
  }
  return out;
}

// When KVT_FUZZ_SEED_DIR is set (the fuzz corpus folder), a file set read or written here
// becomes a seed of the shapefile reader's fuzz target: lengths of the main file and the
// index (4 bytes each, little-endian), then the three files.
void KeepAsSeed(const std::string& base, const std::string& name) {
  const char* dir = std::getenv("KVT_FUZZ_SEED_DIR");
  if (!dir) return;
  auto find = [&](const char* up, const char* low) {
    return fs::exists(base + up) ? base + up : base + low;
  };
  const Bytes shp = ReadBytes(find(".SHP", ".shp")), shx = ReadBytes(find(".SHX", ".shx")),
              dbf = ReadBytes(find(".DBF", ".dbf"));
  fs::create_directories(std::string(dir) + "/shapefile_fuzz");
  std::ofstream out(std::string(dir) + "/shapefile_fuzz/" + name, std::ios::binary);
  for (uint32_t n : {static_cast<uint32_t>(shp.size()), static_cast<uint32_t>(shx.size())})
    for (int k = 0; k < 4; ++k) out.put(static_cast<char>(n >> (8 * k)));
  for (const Bytes* b : {&shp, &shx, &dbf})
    out.write(reinterpret_cast<const char*>(b->data()), static_cast<std::streamsize>(b->size()));
}

// A field's text without its blanks.
std::string Field(const ShapefileReader& r, const ShapeRecord& rec, std::string_view name) {
  return std::string(Trim(r.FieldText(rec, name)));
}

std::vector<DbfField> StopFields() {
  return {{"id", 'N', 9, 0, true}, {"denom", 'C', 40}, {"comune", 'N', 4, 0, true}};
}

TEST(ShapefileTest, PointFileBytes) {
  const std::string dir = test::TempDir();
  const std::string path = dir + "/fermate.SHP";
  ShapefileWriter w;
  ASSERT_TRUE(w.Open(path, kShapePoint, StopFields(), Date{5, 3, 2010}));
  ASSERT_TRUE(w.AddPoint({1600000.5, 5000000.25}, {"12", "Città  ", "-7"}));
  ASSERT_TRUE(w.AddPoint({1599000, 5001000.75}, {"123456789012", "Piazza Roma", "3"}));
  ASSERT_TRUE(w.Close());
  KeepAsSeed(dir + "/fermate", "points");

  const Bytes shp = ReadBytes(path), shx = ReadBytes(dir + "/fermate.SHX");
  ASSERT_EQ(shp.size(), 100u + 2 * 28);
  EXPECT_EQ(Be32(shp, 0), 9994);
  for (size_t at = 4; at < 24; at += 4) EXPECT_EQ(Be32(shp, at), 0);
  EXPECT_EQ(Be32(shp, 24), 78);
  EXPECT_EQ(Le32(shp, 28), 1000);
  EXPECT_EQ(Le32(shp, 32), 1);
  EXPECT_EQ(LeDouble(shp, 36), 1599000);
  EXPECT_EQ(LeDouble(shp, 44), 5000000.25);
  EXPECT_EQ(LeDouble(shp, 52), 1600000.5);
  EXPECT_EQ(LeDouble(shp, 60), 5001000.75);
  for (size_t at = 68; at < 100; at += 8) EXPECT_EQ(LeDouble(shp, at), 0);
  // Records: number and content length big-endian, then type, X, Y.
  EXPECT_EQ(Be32(shp, 100), 1);
  EXPECT_EQ(Be32(shp, 104), 10);
  EXPECT_EQ(Le32(shp, 108), 1);
  EXPECT_EQ(LeDouble(shp, 112), 1600000.5);
  EXPECT_EQ(LeDouble(shp, 120), 5000000.25);
  EXPECT_EQ(Be32(shp, 128), 2);
  // The index: same header but its own length, then offset and length of each record.
  ASSERT_EQ(shx.size(), 116u);
  EXPECT_EQ(Be32(shx, 24), 58);
  EXPECT_EQ(std::vector<uint8_t>(shx.begin() + 28, shx.begin() + 100),
            std::vector<uint8_t>(shp.begin() + 28, shp.begin() + 100));
  EXPECT_EQ(Be32(shx, 100), 50);
  EXPECT_EQ(Be32(shx, 104), 10);
  EXPECT_EQ(Be32(shx, 108), 64);
  EXPECT_EQ(Be32(shx, 112), 10);

  // The table: date 5 March 2010, 2 records, header 32 + 3 * 32 + 1, record 1 + 10 + 40 + 5.
  const Bytes dbf = ReadBytes(dir + "/fermate.DBF");
  ASSERT_EQ(dbf.size(), 129u + 2 * 56 + 1);
  EXPECT_EQ(Bytes(dbf.begin(), dbf.begin() + 4), (Bytes{0x03, 0x6E, 0x03, 0x05}));
  EXPECT_EQ(Le32(dbf, 4), 2);
  EXPECT_EQ(Le16(dbf, 8), 129);
  EXPECT_EQ(Le16(dbf, 10), 56);
  for (size_t at = 12; at < 32; ++at) EXPECT_EQ(dbf[at], 0) << at;
  // Descriptors: name upper case and zero-padded, type, width, decimals; all else zero.
  Bytes id(32, 0);
  id[0] = 'I', id[1] = 'D', id[11] = 'N', id[16] = 10;
  EXPECT_EQ(Bytes(dbf.begin() + 32, dbf.begin() + 64), id);
  EXPECT_EQ(std::string(dbf.begin() + 64, dbf.begin() + 70), std::string("DENOM\0", 6));
  EXPECT_EQ(dbf[64 + 11], 'C');
  EXPECT_EQ(dbf[64 + 16], 40);
  EXPECT_EQ(dbf[96 + 16], 5);
  EXPECT_EQ(dbf[128], 0x0D);
  // Numbers left-aligned, texts in Windows-1252 without their trailing blanks, a number too
  // long for its field cut.
  EXPECT_EQ(std::string(dbf.begin() + 129, dbf.begin() + 185),
            " 12        Citt\xE0" + std::string(35, ' ') + "-7   ");
  EXPECT_EQ(std::string(dbf.begin() + 185, dbf.begin() + 241),
            " 1234567890Piazza Roma" + std::string(29, ' ') + "3    ");
  EXPECT_EQ(dbf.back(), 0x1A);

  // Beside them, the code page and the projection.
  EXPECT_EQ(test::ReadFile(dir + "/fermate.CPG"), "1252");
  EXPECT_EQ(test::ReadFile(dir + "/fermate.PRJ"), kMonteMarioItaly1Wkt);
}

TEST(ShapefileTest, PolyLineFileBytesAndTwelveFieldTable) {
  const std::string dir = test::TempDir();
  std::vector<DbfField> fields;
  for (int i = 0; i < 12; ++i) fields.push_back({"campo" + std::to_string(i), 'N', 4, 0, true});
  ShapefileWriter w;
  ASSERT_TRUE(w.Open(dir + "/linee.shp", kShapePolyLine, fields, Date{31, 12, 2026}));
  Ring line({{10, 20}, {13, 24}, {13, 30}});
  ASSERT_TRUE(w.AddPolyLine(line, std::vector<std::string>(12, "1")));
  ASSERT_TRUE(w.Close());
  KeepAsSeed(dir + "/linee", "polyline");

  // The index and the table take the last three characters of the path as given.
  const Bytes shp = ReadBytes(dir + "/linee.shp");
  ASSERT_EQ(shp.size(), 100u + 104);
  EXPECT_EQ(Be32(shp, 24), 102);
  EXPECT_EQ(Le32(shp, 32), 3);
  EXPECT_EQ(Be32(shp, 104), 48);
  EXPECT_EQ(Le32(shp, 108), 3);
  EXPECT_EQ(LeDouble(shp, 112), 10);  // the line's box
  EXPECT_EQ(LeDouble(shp, 120), 20);
  EXPECT_EQ(LeDouble(shp, 128), 13);
  EXPECT_EQ(LeDouble(shp, 136), 30);
  EXPECT_EQ(Le32(shp, 144), 1);
  EXPECT_EQ(Le32(shp, 148), 3);
  EXPECT_EQ(Le32(shp, 152), 0);
  EXPECT_EQ(LeDouble(shp, 156), 10);
  EXPECT_EQ(LeDouble(shp, 196), 30);
  const Bytes dbf = ReadBytes(dir + "/linee.DBF");
  EXPECT_EQ(Le16(dbf, 8), 417);
  EXPECT_EQ(Le16(dbf, 10), 61);
  EXPECT_EQ(Bytes(dbf.begin(), dbf.begin() + 4), (Bytes{0x03, 126, 12, 31}));
  EXPECT_TRUE(fs::exists(dir + "/linee.SHX"));

  // A polyline past the old 64 KiB work buffer (5,000 points) is written whole.
  std::vector<Point> many;
  for (int i = 0; i < 5000; ++i) many.push_back({i * 1.0, i * 2.0});
  ShapefileWriter big;
  ASSERT_TRUE(big.Open(dir + "/lunga.SHP", kShapePolyLine, {{"id", 'N', 4, 0, true}}));
  ASSERT_TRUE(big.AddPolyLine(Ring(many), {"1"}));
  ASSERT_TRUE(big.Close());
  const Bytes bigShp = ReadBytes(dir + "/lunga.SHP");
  ASSERT_EQ(bigShp.size(), 100u + 8 + 48 + 16 * 5000);
  EXPECT_EQ(LeDouble(bigShp, bigShp.size() - 8), 9998);

  // A file that cannot be created ends the writing and leaves nothing behind.
  ShapefileWriter bad;
  fs::create_directory(dir + "/blocca.DBF");
  EXPECT_FALSE(bad.Open(dir + "/blocca.SHP", kShapePoint, StopFields()));
  EXPECT_FALSE(fs::exists(dir + "/blocca.SHP"));
  EXPECT_FALSE(fs::exists(dir + "/blocca.SHX"));
}

TEST(ShapefileTest, AFailedRenameLeavesTheFormerFilesByteForByte) {
  // The former SHP, DBF and PRJ of an earlier export; no SHX, no CPG.
  const std::string dir = test::TempDir();
  const std::map<std::string, std::string> former = {{"fermate.DBF", std::string("\x03old\0", 5)},
                                                     {"fermate.PRJ", "PROJCS[vecchio]"},
                                                     {"fermate.SHP", "vecchio SHP"}};
  for (const auto& [name, bytes] : former) std::ofstream(dir + "/" + name, std::ios::binary) << bytes;
  auto contents = [&dir] {
    std::map<std::string, std::string> found;
    for (const auto& e : fs::directory_iterator(dir))
      found[e.path().filename().string()] = test::ReadFile(e.path().string());
    return found;
  };
  auto write = [&dir] {
    ShapefileWriter w;
    return w.Open(dir + "/fermate.SHP", kShapePoint, StopFields()) &&
           w.AddPoint({1600000.5, 5000000.25}, {"12", "Piazza Roma", "3"}) && w.Close();
  };
  // SHP and SHX have taken their names when the DBF cannot: SHP is put back, SHX removed.
  FailRenameForTests(3, ENOSPC);
  EXPECT_FALSE(write());
  FailRenameForTests(0, 0);
  EXPECT_EQ(contents(), former);

  ASSERT_TRUE(write());
  const auto written = contents();
  EXPECT_EQ(written.size(), 5u);
  EXPECT_EQ(written.at("fermate.CPG"), "1252");
  EXPECT_EQ(written.at("fermate.SHP").size(), 128u);
}

TEST(ShapefileTest, GdalReadsWhatWeWrite) {
  const std::string dir = test::TempDir();
  {
    ShapefileWriter w;
    ASSERT_TRUE(w.Open(dir + "/fermate.SHP", kShapePoint, StopFields()));
    ASSERT_TRUE(w.AddPoint({1600000.5, 5000000.25}, {"12", "Località Sant'Anna", "-7"}));
    ASSERT_TRUE(w.AddPoint({1599000, 5001000.75}, {"13", "Forlì – Piazza Saffi", "3"}));
    ASSERT_TRUE(w.Close());
    ShapefileWriter l;
    ASSERT_TRUE(l.Open(dir + "/percorsi.SHP", kShapePolyLine, StopFields()));
    ASSERT_TRUE(l.AddPolyLine(Ring({{10, 20}, {13, 24}, {13, 30.5}}), {"1", "Cantù", "0"}));
    ASSERT_TRUE(l.Close());
  }
  const std::string points = Shell("ogrinfo -ro -al " + dir + "/fermate.SHP");
  EXPECT_NE(points.find("Geometry: Point"), std::string::npos) << points;
  EXPECT_NE(points.find("Feature Count: 2"), std::string::npos) << points;
  EXPECT_NE(points.find("ID[\"EPSG\",3003]]"), std::string::npos) << points;
  EXPECT_NE(points.find("Extent: (1599000.000000, 5000000.250000) - (1600000.500000, "
                        "5001000.750000)"),
            std::string::npos)
      << points;
  EXPECT_NE(points.find("ID (Integer64) = 12"), std::string::npos) << points;
  EXPECT_NE(points.find("DENOM (String) = Località Sant'Anna"), std::string::npos) << points;
  EXPECT_NE(points.find("COMUNE (Integer) = -7"), std::string::npos) << points;
  EXPECT_NE(points.find("POINT (1600000.5 5000000.25)"), std::string::npos) << points;
  // "–" has a Windows-1252 form (0x96): it comes back.
  EXPECT_NE(points.find("DENOM (String) = Forlì – Piazza Saffi"), std::string::npos) << points;
  EXPECT_NE(points.find("POINT (1599000.0 5001000.75)"), std::string::npos) << points;

  const std::string lines = Shell("ogrinfo -ro -al " + dir + "/percorsi.SHP");
  EXPECT_NE(lines.find("Geometry: Line String"), std::string::npos) << lines;
  EXPECT_NE(lines.find("DENOM (String) = Cantù"), std::string::npos) << lines;
  EXPECT_NE(lines.find("LINESTRING (10 20,13 24,13.0 30.5)"), std::string::npos) << lines;
}

// GDAL writes the file from a CSV with WKT geometries.
std::string MakeWithGdal(const std::string& dir, const std::string& name, const std::string& csv,
                         const std::string& options) {
  const std::string in = dir + "/" + name + ".csv";
  std::ofstream(in) << csv;
  Shell("ogr2ogr -f 'ESRI Shapefile' " + options + " " + dir + "/" + name + ".shp " + in);
  return dir + "/" + name;
}

TEST(ShapefileTest, ReadsPolygonsAndLinesMadeByGdal) {
  const std::string dir = test::TempDir();
  // Comune 1: a square with a hole; comune 2: two squares (one part each); accented names.
  const std::string base = MakeWithGdal(
      dir, "comuni",
      "WKT,ID,AREA,DENOM\n"
      "\"POLYGON ((0 0,0 10,10 10,10 0,0 0),(4 4,6 4,6 6,4 6,4 4))\",1,96.5,Città di Castello\n"
      "\"MULTIPOLYGON (((20 0,20 5,25 5,25 0,20 0)),((30 0,30 2,32 2,32 0,30 0)))\",2,29,Forlì\n",
      "-oo AUTODETECT_TYPE=YES -oo KEEP_GEOM_COLUMNS=NO -lco ENCODING=CP1252");
  KeepAsSeed(base, "polygons");
  // GDAL writes its real field as "N"; make it an "F" field, as other tools write it.
  {
    std::fstream dbf(base + ".dbf", std::ios::in | std::ios::out | std::ios::binary);
    Bytes head(32 * 4);
    dbf.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    ASSERT_EQ(std::string(head.begin() + 64, head.begin() + 68), "AREA");
    dbf.seekp(64 + 11);
    dbf.put('F');
  }
  ShapefileReader r;
  ASSERT_TRUE(r.Open(base));
  EXPECT_EQ(r.ShapeType(), kShapePolygon);
  EXPECT_EQ(r.IndexRecords(), 2);
  ASSERT_EQ(r.Fields().size(), 3u);
  EXPECT_EQ(r.Fields()[1].type, 'F');
  EXPECT_EQ(r.FieldIndex("denom"), 2);
  ShapeRecord rec;
  ASSERT_TRUE(r.Next(kShapePolygon, &rec));
  ASSERT_EQ(rec.parts.size(), 2u);
  EXPECT_EQ(rec.parts[0].Count(), 5);
  EXPECT_EQ(rec.parts[1].Count(), 5);
  // Shapefile rings: the outer one clockwise, the hole counter-clockwise.
  EXPECT_TRUE(IsClockwise(rec.parts[0]));
  EXPECT_FALSE(IsClockwise(rec.parts[1]));
  EXPECT_DOUBLE_EQ(rec.parts[1].GetBox().minx, 4);
  EXPECT_DOUBLE_EQ(rec.parts[1].GetBox().maxy, 6);
  EXPECT_EQ(Field(r, rec, "ID"), "1");
  EXPECT_EQ(Field(r, rec, "DENOM"), "Città di Castello");
  ASSERT_TRUE(r.Next(kShapePolygon, &rec));
  ASSERT_EQ(rec.parts.size(), 2u);
  EXPECT_DOUBLE_EQ(rec.parts[1].GetBox().maxx, 32);
  EXPECT_EQ(Field(r, rec, "DENOM"), "Forlì");
  EXPECT_FALSE(r.Next(kShapePolygon, &rec));
  EXPECT_EQ(r.BadRecords(), 0);

  // Three parts in one record: the rings' points add up to the record's; a UTF-8 table
  // (GDAL's default, with its .cpg) is read as UTF-8.
  const std::string lines = MakeWithGdal(
      dir, "percorsi",
      "WKT,NOME\n"
      "\"MULTILINESTRING ((0 0,1 1),(2 2,3 3,4 4),(5 5,6 6,7 7,8 8))\",Linea più lunga\n",
      "-oo KEEP_GEOM_COLUMNS=NO");
  KeepAsSeed(lines, "polylines");
  ShapefileReader l;
  ASSERT_TRUE(l.Open(lines));
  EXPECT_EQ(l.ShapeType(), kShapePolyLine);
  ASSERT_TRUE(l.Next(kShapePolyLine, &rec));
  ASSERT_EQ(rec.parts.size(), 3u);
  EXPECT_EQ(rec.parts[0].Count() + rec.parts[1].Count() + rec.parts[2].Count(), 9);
  EXPECT_EQ(rec.parts[2].Count(), 4);
  EXPECT_DOUBLE_EQ(rec.parts[2][3].x, 8);
  EXPECT_EQ(Field(l, rec, "nome"), "Linea più lunga");
  // A polyline file read for polygons yields no shape (and is no fault).
  ShapefileReader again;
  ASSERT_TRUE(again.Open(lines));
  bool bad = true;
  ASSERT_TRUE(again.Next(kShapePolygon, &rec, &bad));
  EXPECT_TRUE(rec.parts.empty());
  EXPECT_FALSE(bad);
}

// Our own point and polyline files, read back, then damaged.
TEST(ShapefileTest, ReaderRefusesCountsThatDoNotFitTheRecord) {
  const std::string dir = test::TempDir();
  {
    ShapefileWriter w;
    ASSERT_TRUE(w.Open(dir + "/l.SHP", kShapePolyLine, StopFields()));
    ASSERT_TRUE(w.AddPolyLine(Ring({{0, 0}, {1, 1}, {2, 0}}), {"1", "uno", "0"}));
    ASSERT_TRUE(w.AddPolyLine(Ring({{5, 5}, {6, 6}}), {"2", "due", "0"}));
    ASSERT_TRUE(w.Close());
  }
  auto patch = [&](size_t at, int32_t v) {
    std::fstream f(dir + "/l.SHP", std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(at));
    for (int k = 0; k < 4; ++k) f.put(static_cast<char>(static_cast<uint32_t>(v) >> (8 * k)));
  };
  auto read = [&](std::vector<int>* counts) {
    ShapefileReader r;
    if (!r.Open(dir + "/l")) return -1;
    ShapeRecord rec;
    bool bad;
    while (r.Next(kShapePolyLine, &rec, &bad)) counts->push_back(bad ? -1 : rec.parts[0].Count());
    return r.BadRecords();
  };
  std::vector<int> counts;
  EXPECT_EQ(read(&counts), 0);
  EXPECT_EQ(counts, (std::vector<int>{3, 2}));
  // First record (content at 108): 4 points claimed where 3 fit, then a huge part count,
  // then a part start beyond the points: each refused, the second record still read.
  for (auto [at, v] : {std::pair<size_t, int32_t>{108 + 40, 4}, {108 + 36, 0x7FFFFFFF},
                       {108 + 40, -1}}) {
    patch(at, v);
    counts.clear();
    EXPECT_EQ(read(&counts), 1) << at << " " << v;
    EXPECT_EQ(counts, (std::vector<int>{-1, 2})) << at << " " << v;
    patch(108 + 36, 1);
    patch(108 + 40, 3);
  }
  // Two parts in a record of three points whose second part starts at 7.
  patch(108 + 36, 2);
  patch(108 + 40, 2);  // 44 + 8 + 32 = 84 <= 96 bytes
  patch(108 + 48, 7);
  counts.clear();
  EXPECT_EQ(read(&counts), 1);
  EXPECT_EQ(counts, (std::vector<int>{-1, 2}));
}

}  // namespace
}  // namespace kvt::carto
