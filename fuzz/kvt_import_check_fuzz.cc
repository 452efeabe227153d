// The first pass of the communication import on a fuzzed file, against a database prepared
// once per process: a new database file holding company 101's first communication, so that
// identifiers can be duplicates of stored objects or references to them. The first pass
// only reads the database. Properties: no crash; every fault is "RIGA <n> ..." with n a line
// of the file (or the one after its last, for what is missing at the end); a file is
// accepted only with no fault.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "comms/import.h"
#include "core/text.h"
#include "db/database.h"
#include "fuzz_communications.h"
#include "fuzz_util.h"
#include "platform/scripted_ui.h"
#include "schema/init.h"

namespace kvt::fuzz {
namespace {

struct Prepared {
  ScriptedUi ui;
  std::unique_ptr<db::Database> db;
};

std::unique_ptr<Prepared> Prepare() {
  auto p = std::make_unique<Prepared>();
  const std::string path = ScratchDir() + "/base.mdb";
  Check(schema::CreateDatabase(p->ui, path), "cannot create the database");
  p->db = db::Database::OpenFile(p->ui, path);
  Check(p->db && p->db->IsConnected(), "cannot open the database");
  const std::string first = ScratchDir() + "/first.txt";
  const comms::GeneratorReport made = comms::GenerateCommunication(BaseCommunication(), first);
  Check(made.ok, "cannot write the first communication", made.error);
  std::vector<std::string> errors;
  std::unique_ptr<comms::LineReader> reader = comms::Validate(*p->db, p->ui, first, errors);
  Check(reader != nullptr, "the first communication is refused",
        errors.empty() ? std::string_view{} : errors.front());
  comms::ImportSummary summary;
  Check(comms::Insert(*p->db, p->ui, *reader, summary), "the first communication is not stored");
  p->ui.Clear();
  return p;
}

Prepared& Database() {
  static std::unique_ptr<Prepared> prepared = Prepare();
  return *prepared;
}

long CountLines(std::string_view file) {
  long lines = 0;
  for (char c : file) lines += c == '\n';
  return lines + (!file.empty() && file.back() != '\n');
}

void CheckErrors(const std::vector<std::string>& errors, long lines) {
  for (const std::string& e : errors) {
    Check(e.starts_with("RIGA "), "a fault does not start with RIGA", e);
    const int64_t line = LeadingInt(std::string_view(e).substr(5));
    Check(line >= 1 && line <= lines + 1, "a fault names a line the file does not have", e);
  }
}

}  // namespace
}  // namespace kvt::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kvt::fuzz::Database();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kvt::fuzz;
  Prepared& p = Database();
  const std::string_view file = AsText(data, size);
  const std::string path = WriteScratch("communication.txt", file);
  std::vector<std::string> errors;
  std::unique_ptr<kvt::comms::LineReader> reader = kvt::comms::Validate(*p.db, p.ui, path, errors);
  Check((reader != nullptr) == errors.empty(), "accepted with faults, or refused without one");
  CheckErrors(errors, CountLines(file));
  if (!p.ui.messages.empty()) Fail("the first pass showed a message", p.ui.messages.front().text);
  p.ui.Clear();
  return 0;
}
