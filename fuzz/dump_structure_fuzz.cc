// The structure pass of the contract dump import on a fuzzed file. Properties: the walk
// calls the visitor with the thirteen sections in order and only rows whose every field
// its column accepts; a file accepted whole, written again with DumpWriter, is accepted
// again with the same rows (file and memory readers agree on it too).
#include <string>
#include <vector>

#include "contracts/dump_format.h"
#include "fuzz_util.h"

namespace kvt::contracts {
namespace {

using fuzz::Check;

class Recorder : public DumpVisitor {
 public:
  bool Begin(DumpSection section, int64_t rows) override {
    Check(section == static_cast<int>(sections.size()), "sections out of order");
    sections.push_back({section, rows, {}});
    return true;
  }
  bool Row(DumpSection section, const std::vector<std::string_view>& fields) override {
    const DumpTable& table = DumpTables()[section];
    Check(fields.size() == table.columns.size(), "a row with the wrong number of fields");
    std::string row;
    for (size_t i = 0; i < fields.size(); ++i) {
      Check(ValidField(table.columns[i], fields[i]), "a field its column refuses", fields[i]);
      row += (i ? "\t" : "") + std::string(fields[i]);
    }
    sections.back().rows.push_back(row);
    return true;
  }
  bool End(DumpSection section) override {
    Check(static_cast<int64_t>(sections.back().rows.size()) == sections.back().declared,
          "a section ended with other than its declared rows");
    return true;
  }

  struct Section {
    DumpSection section;
    int64_t declared;
    std::vector<std::string> rows;
  };
  std::vector<Section> sections;
};

}  // namespace
}  // namespace kvt::contracts

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kvt::contracts;
  using kvt::fuzz::Check;
  const std::string_view bytes = kvt::fuzz::AsText(data, size);
  Recorder memory;
  const DumpWalk walk = WalkDumpBytes(bytes, memory);
  Check(walk == DumpWalk::Ok || walk == DumpWalk::Corrupt, "a walk over bytes stopped otherwise");
  const std::string path = kvt::fuzz::WriteScratch("dump.txt", bytes);
  Recorder file;
  Check(WalkDump(path, file) == walk, "file and memory readers disagree");
  if (walk != DumpWalk::Ok) return 0;
  Check(memory.sections.size() == kDumpSections, "accepted without every section");
  const std::string again = kvt::fuzz::ScratchDir() + "/again.txt";
  DumpWriter writer;
  Check(writer.Open(again), "cannot write the scratch dump");
  for (const Recorder::Section& s : memory.sections) {
    writer.Begin(s.section, s.declared);
    for (const std::string& row : s.rows) writer.Row(row);
    writer.End();
  }
  Check(writer.Close(), "the writer refused what the reader accepted");
  Recorder back;
  Check(WalkDump(again, back) == DumpWalk::Ok, "a written dump is refused");
  for (size_t i = 0; i < back.sections.size(); ++i)
    Check(back.sections[i].rows == memory.sections[i].rows, "rows changed on the way back");
  return 0;
}
