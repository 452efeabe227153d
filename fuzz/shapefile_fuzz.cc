// The shapefile reader on any bytes: the input is the main file's and the index's lengths
// (4 bytes each, little-endian) followed by the three files. Besides no crash and no
// undefined behaviour: every field lies inside the record, no more records come than the
// index has, a record accepted as good has parts whose points all came from the record.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "carto/shapefile.h"

namespace {

[[noreturn]] void Broken(const char* what) {
  std::fprintf(stderr, "PROPERTY BROKEN: %s\n", what);
  std::abort();
}

// A stream over a copy of the bytes (fmemopen needs at least one byte).
std::FILE* Stream(std::vector<uint8_t>& bytes) {
  if (bytes.empty()) return nullptr;
  return fmemopen(bytes.data(), bytes.size(), "rb");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  uint32_t lengths[2];
  for (int k = 0; k < 2; ++k)
    lengths[k] = static_cast<uint32_t>(data[4 * k]) | static_cast<uint32_t>(data[4 * k + 1]) << 8 |
                 static_cast<uint32_t>(data[4 * k + 2]) << 16 |
                 static_cast<uint32_t>(data[4 * k + 3]) << 24;
  size -= 8;
  data += 8;
  const size_t shpLen = lengths[0] < size ? lengths[0] : size;
  const size_t shxLen = lengths[1] < size - shpLen ? lengths[1] : size - shpLen;
  std::vector<uint8_t> shp(data, data + shpLen), shx(data + shpLen, data + shpLen + shxLen),
      dbf(data + shpLen + shxLen, data + size);
  std::FILE* a = Stream(shp);
  std::FILE* b = Stream(shx);
  std::FILE* c = Stream(dbf);
  if (!a || !b || !c) {
    for (std::FILE* f : {a, b, c})
      if (f) std::fclose(f);
    return 0;
  }
  kvt::carto::ShapefileReader r;
  if (!r.Open(a, b, c, (lengths[1] >> 31) != 0)) return 0;
  size_t recordLength = 1;
  for (const auto& f : r.Fields()) {
    if (f.width < 0 || f.offset < 0) Broken("negative field width or offset");
    recordLength += static_cast<size_t>(f.width);
  }
  const int accept = r.ShapeType() == kvt::carto::kShapePolyLine ? kvt::carto::kShapePolyLine
                                                                   : kvt::carto::kShapePolygon;
  kvt::carto::ShapeRecord rec;
  int records = 0;
  bool bad = false;
  while (r.Next(accept, &rec, &bad)) {
    if (++records > r.IndexRecords()) Broken("more records than the index has");
    size_t points = 0;
    for (const auto& part : rec.parts) points += static_cast<size_t>(part.Count());
    // Each point took 16 bytes of a record the file really held.
    if (points * 16 > shp.size()) Broken("more points than the main file can hold");
    if (bad && !rec.parts.empty()) Broken("a refused record has parts");
    if (!rec.dbf.empty() && rec.dbf.size() < recordLength) Broken("fields beyond the record");
    for (int i = 0; i < static_cast<int>(r.Fields().size()); ++i) (void)r.FieldText(rec, i);
  }
  return 0;
}
