// Writes the seed corpora of the fuzz targets into DIR/<target>/: valid and nearly valid
// inputs made by the program's own writers (KvtWriter through kvtgen, the settings writer),
// plus a few hand-picked texts. Run it again after a format change:
//   build-fuzz/fuzz/kvt_fuzz_corpus fuzz/corpus
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "comms/kvt_format.h"
#include "fuzz_communications.h"
#include "platform/settings.h"

namespace kvt::fuzz {
namespace {

namespace fs = std::filesystem;
using comms::GeneratorOptions;
using comms::GenFault;

bool Put(const fs::path& file, std::string_view bytes) {
  fs::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::string Read(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Generate(const GeneratorOptions& o, const fs::path& file) {
  fs::create_directories(file.parent_path());
  const comms::GeneratorReport r = comms::GenerateCommunication(o, file.string());
  if (!r.ok) std::fprintf(stderr, "%s: %s\n", file.c_str(), r.error.c_str());
  return r.ok;
}

GeneratorOptions WithFault(GeneratorOptions o, GenFault fault) {
  o.fault = fault;
  return o;
}

// Communications: valid ones, a reference base, CRLF line ends, and one of each fault.
bool Communications(const fs::path& dir, bool againstDatabase) {
  const GeneratorOptions base = BaseCommunication();
  const GeneratorOptions next = FollowingCommunication();
  GeneratorOptions reference = base;
  reference.reference = true;
  bool ok = Generate(base, dir / "first.txt") && Generate(next, dir / "following.txt");
  const std::vector<std::pair<const char*, GenFault>> faults = {
      {"checksum.txt", GenFault::Checksum},
      {"protocol_checksum.txt", GenFault::ProtocolChecksum},
      {"wrong_count.txt", GenFault::WrongCount},
      {"missing_declarator.txt", GenFault::MissingDeclarator},
      {"bad_row.txt", GenFault::BadRow},
      {"long_text.txt", GenFault::LongText},
      {"bad_month.txt", GenFault::BadMonth},
      {"unknown_stop.txt", GenFault::UnknownStop},
      {"unknown_trip.txt", GenFault::UnknownTrip},
      {"duplicate_stop.txt", GenFault::DuplicateStop},
      {"unknown_company.txt", GenFault::UnknownCompany}};
  for (const auto& [name, fault] : faults) ok = ok && Generate(WithFault(next, fault), dir / name);
  if (againstDatabase) return ok;
  ok = ok && Generate(reference, dir / "reference.txt");
  std::string crlf;
  for (char c : Read(dir / "following.txt"))
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return ok && Put(dir / "crlf.txt", crlf);
}

// One row of every kind with values at their edges, each as the writer formats it.
bool Rows(const fs::path& dir) {
  std::string out;
  const auto row = [&out](const auto& r) {
    comms::AppendRow(out, r);
    out += '\n';
  };
  row(comms::ProtocolRow{false,
                         true,
                         'B',
                         true,
                         32767,
                         2147483647,
                         {29, 2, 2012},
                         {1, 1, 1600},
                         {31, 12, 2400},
                         "Ufficio Movimento \xe0"});
  row(comms::FermataRow{-1, "", "Piazza della Libert\xe0 e dell'Unit\xe0 d'It", "", 0, -1601000.125,
                        0});
  row(comms::ArcoRow{2147483647, -2147483647, 0, 123456789});
  row(comms::TestaItinerRow{7, "P-7", std::string_view("Linea\x80\x81", 7)});
  row(comms::RigaItinerRow{7, 1, 3, 0, 1, 2});
  comms::CorsaRow trip;
  trip.ID = 9;
  trip.codcorsa = "C 9";
  trip.codlinea = "L";
  trip.verso = 'R';
  trip.hh_p = 23;
  trip.mm_p = 59;
  trip.hh_a = 0;
  trip.mm_a = 5;
  trip.prevcor = 8;
  trip.mezzo = 'X';
  row(trip);
  row(comms::OrarioRow{9, 2, 4, 7, 5, 60, true, false, true});
  row(comms::GiorniRow{9, 2012, 2, (uint32_t{1} << 29) | (uint32_t{1} << 1)});
  return Put(dir / "rows.txt", out) && Put(dir / "times.txt", "1\t1\t1\t7.5\t0\t1\t0\t0\n");
}

bool SettingsTexts(const fs::path& dir) {
  Settings full;
  full.database = "/home/ada/dati\\KVTBASE.MDB";
  full.dsnOdbc = "kvt_pg";
  full.rowSzAlfa = 50;
  full.directory = "/home/ada/righe\nnuove\r";
  return Put(dir / "defaults.ini", SettingsFile::Render(Settings{})) &&
         Put(dir / "full.ini", SettingsFile::Render(full)) &&
         Put(dir / "hand_written.ini",
             "# a mano\r\n[software\\kvtbase\\kvtbase\\1.00]\r\n  database = C:\\dati\\x.mdb\r\n"
             "[Altro]\r\nRowSzAlfa=abc\r\n") &&
         Put(dir / "bad_number.ini",
             "[Software\\KVTBASE\\KVTBASE\\1.00]\nRowSzBlob=4294967296\n") &&
         Put(dir / "unterminated.ini", "[Software\\KVTBASE\n");
}

bool SeedLists(const fs::path& dir, const fs::path& source) {
  return Put(dir / "aziende.txt", Read(source / "src/schema/seed/aziende.txt")) &&
         Put(dir / "enti.txt", Read(source / "src/schema/seed/enti.txt")) &&
         Put(dir / "faults.txt", "7\tUno\n7 Due\n32768 Troppo\n12\n") &&
         Put(dir / "not_utf8.txt", "9 \xaa\n5 Citt\xe0\n");
}

bool Texts(const fs::path& dir) {
  return Put(dir / "utf8.txt", "Citt\xc3\xa0 \xe2\x82\xac \xe2\x80\x9cvirgolette\xe2\x80\x9d 12") &&
         Put(dir / "cp1252.txt", "Citt\xe0 \x80 \x93trattino\x94 \x81\x8d\x8f\x90\x9d") &&
         Put(dir / "numbers.txt", " -9223372036854775808,5") &&
         Put(dir / "huge_decimal.txt", "-1" + std::string(400, '0') + ",5") &&
         Put(dir / "invalid.txt", "\xc0\xaf \xed\xa0\x80 \xf4\x90\x80\x80 \xe2\x82");
}

bool DialogTexts(const fs::path& dir) {
  const std::vector<std::pair<const char*, const char*>> inputs = {
      {"date10.txt", "29/02/2012"}, {"date8.txt", "31.12.99"}, {"date_bad.txt", "29-02-2100"},
      {"time4.txt", "7.05"},        {"time5.txt", "23:59"},    {"time_bad.txt", "24,00"}};
  bool ok = true;
  for (const auto& [name, text] : inputs) ok = ok && Put(dir / name, text);
  return ok;
}

}  // namespace
}  // namespace kvt::fuzz

int main(int argc, char** argv) {
  using namespace kvt::fuzz;
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS_DIR (run from the source tree)\n", argv[0]);
    return 2;
  }
  const fs::path dir = argv[1];
  const fs::path source = fs::current_path();
  const bool ok = Communications(dir / "kvt_rows_fuzz", false) && Rows(dir / "kvt_rows_fuzz") &&
                  Communications(dir / "kvt_import_check_fuzz", true) &&
                  SettingsTexts(dir / "settings_fuzz") &&
                  SeedLists(dir / "seed_list_fuzz", source) && Texts(dir / "text_fuzz") &&
                  DialogTexts(dir / "dialog_fuzz");
  if (!ok) std::fprintf(stderr, "cannot write the corpus in %s\n", dir.c_str());
  return ok ? 0 : 1;
}
