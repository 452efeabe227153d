// The communication file as the line reader sees it, and every record through every row
// parser. Properties: the records are the file's bytes (line ends aside) and Seek comes back
// to any of them; a row a parser accepts, written back, is accepted again with the same
// values (texts as the writer cleans them, coordinates to the written two decimals).
#include <cmath>
#include <string>
#include <vector>

#include "comms/kvt_format.h"
#include "fuzz_util.h"

namespace kvt::comms {
namespace {

using fuzz::Check;

std::string Clean(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  }
  return out;
}
char CleanChar(char c) {
  return (c == '\t' || c == '\r' || c == '\n' || c == '\0') ? ' ' : c;
}
bool SameCoordinate(double read, double again) {
  return std::isfinite(read) && std::isfinite(again) &&
         std::fabs(read - again) <= 0.005 + std::fabs(read) * 1e-12;
}

bool Same(const ProtocolRow& a, const ProtocolRow& b) {
  return a.primacom == b.primacom && a.tipo == b.tipo && a.azzera == b.azzera &&
         a.azienda == b.azienda && a.protoc == b.protoc && a.p_data == b.p_data &&
         a.datini == b.datini && a.datfin == b.datfin && Clean(a.resple) == b.resple;
}
bool Same(const FermataRow& a, const FermataRow& b) {
  return a.ID == b.ID && Clean(a.fermata) == b.fermata && Clean(a.denom) == b.denom &&
         Clean(a.ubicaz) == b.ubicaz && a.local == b.local &&
         SameCoordinate(a.coord_x, b.coord_x) && SameCoordinate(a.coord_y, b.coord_y);
}
bool Same(const ArcoRow& a, const ArcoRow& b) {
  return a.ID == b.ID && a.inizio == b.inizio && a.fine == b.fine && a.lung == b.lung;
}
bool Same(const TestaItinerRow& a, const TestaItinerRow& b) {
  return a.ID == b.ID && Clean(a.codperc) == b.codperc && Clean(a.denom) == b.denom;
}
bool Same(const RigaItinerRow& a, const RigaItinerRow& b) {
  return a.ID == b.ID && a.sub == b.sub && a.arco == b.arco && a.dist == b.dist &&
         a.inizio == b.inizio && a.fine == b.fine;
}
bool Same(const CorsaRow& a, const CorsaRow& b) {
  return a.ID == b.ID && Clean(a.codcorsa) == b.codcorsa && Clean(a.codlinea) == b.codlinea &&
         CleanChar(a.verso) == b.verso && a.ente == b.ente && Clean(a.percorso) == b.percorso &&
         a.codperc == b.codperc && a.capol_p == b.capol_p && a.hh_p == b.hh_p && a.mm_p == b.mm_p &&
         a.capol_a == b.capol_a && a.hh_a == b.hh_a && a.mm_a == b.mm_a && a.lung == b.lung &&
         a.tempo == b.tempo && a.ct_lung == b.ct_lung && a.ct_tempo == b.ct_tempo &&
         a.prevcor == b.prevcor && a.nextcor == b.nextcor && CleanChar(a.mezzo) == b.mezzo;
}
bool Same(const OrarioRow& a, const OrarioRow& b) {
  return a.ID == b.ID && a.sub == b.sub && a.fermata == b.fermata && a.hh == b.hh && a.mm == b.mm &&
         a.sosta == b.sosta && a.primaria == b.primaria && a.facolt == b.facolt &&
         a.nonferma == b.nonferma;
}
bool Same(const GiorniRow& a, const GiorniRow& b) {
  return a.ID == b.ID && a.anno == b.anno && a.mese == b.mese && a.days == b.days;
}

// A <giorni> row without any day is legal to read but is never written.
bool Writable(const GiorniRow& row) {
  return row.days != 0;
}
template <typename Row>
bool Writable(const Row&) {
  return true;
}

template <typename Row>
void RoundTrip(std::string_view record, const char* kind) {
  Row row;
  if (!ParseRow(record, row)) return;
  if constexpr (std::is_same_v<Row, FermataRow>) {
    Check(std::isfinite(row.coord_x) && std::isfinite(row.coord_y),
          "a stop row gives a coordinate that is not a finite number", record);
  }
  if (!Writable(row)) return;
  std::string written;
  AppendRow(written, row);
  Row again;
  Check(ParseRow(written, again), kind, written);
  Check(Same(row, again), kind, written);
}

void EveryParser(std::string_view record) {
  RoundTrip<ProtocolRow>(record, "protocol row written back differs");
  RoundTrip<FermataRow>(record, "stop row written back differs");
  RoundTrip<ArcoRow>(record, "arc row written back differs");
  RoundTrip<TestaItinerRow>(record, "route head written back differs");
  RoundTrip<RigaItinerRow>(record, "route row written back differs");
  RoundTrip<CorsaRow>(record, "trip row written back differs");
  RoundTrip<OrarioRow>(record, "timetable row written back differs");
  RoundTrip<GiorniRow>(record, "running-days row written back differs");
  for (Section s : kSections) {
    (void)TaggedNumber(record, OpenTag(s));
    (void)TaggedNumber(record, CloseTag(s));
    (void)TaggedNumber(record, Declarator(s));
  }
}

// The record read at `at` must be the file's bytes there, followed by a line end or the end.
void CheckRecord(std::string_view file, const LineReader::Position& at, std::string_view record) {
  const auto offset = static_cast<size_t>(at.offset);
  Check(offset <= file.size() && file.substr(offset, record.size()) == record,
        "a record is not the file's bytes at its offset", record);
  std::string_view rest = file.substr(offset + record.size());
  Check(rest.empty() || rest.starts_with("\n") || rest.starts_with("\r\n"),
        "a record does not end at a line end", record);
}

}  // namespace
}  // namespace kvt::comms

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kvt::comms;
  const std::string_view file = kvt::fuzz::AsText(data, size);
  LineReader reader;
  kvt::fuzz::Check(reader.Open(kvt::fuzz::WriteScratch("communication.txt", file)),
                   "the line reader cannot open its file");
  std::vector<std::pair<LineReader::Position, std::string>> records;
  std::string_view record;
  for (;;) {
    const LineReader::Position at = reader.Tell();
    if (!reader.Next(record)) break;
    kvt::fuzz::Check(reader.LineNumber() == at.line, "line numbers do not follow Tell");
    CheckRecord(file, at, record);
    EveryParser(record);
    records.emplace_back(at, std::string(record));
  }
  kvt::fuzz::Check(reader.Error().empty(), "reading a small file fails", reader.Error());
  // Back to a record chosen by the input itself: it reads the same, with the same number.
  if (!records.empty()) {
    const auto& [at, text] = records[size % records.size()];
    kvt::fuzz::Check(
        reader.Seek(at) && reader.Next(record) && record == text && reader.LineNumber() == at.line,
        "Seek does not come back to a record", text);
  }
  return 0;
}
