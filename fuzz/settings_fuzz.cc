// The settings file reader. Properties: a text that reads is written back (Render) as a
// text that reads to the same values; values written from any settings read back the same,
// as long as they do not begin or end with a blank (the reader trims, as INI readers do).
#include <string>

#include "fuzz_util.h"
#include "platform/settings.h"

namespace kvt::fuzz {
namespace {

std::string Describe(const Settings& s) {
  return "Database=[" + s.database + "] DsnOdbc=[" + s.dsnOdbc +
         "] RowSzAlfa=" + std::to_string(s.rowSzAlfa) +
         " RowSzBlob=" + std::to_string(s.rowSzBlob) + " Directory=[" + s.directory + "]";
}

void CheckReadsBack(const Settings& values, const char* what) {
  const std::string text = SettingsFile::Render(values);
  Settings again;
  std::string error;
  Check(SettingsFile::Parse(text, &again, &error), what, error + "\n" + text);
  Check(again == values, what, Describe(values) + "\n" + Describe(again));
}

// The input cut into three texts and two numbers.
Settings FromBytes(std::string_view bytes) {
  Settings s;
  std::string* texts[] = {&s.database, &s.dsnOdbc, &s.directory};
  for (std::string* t : texts) {
    const size_t cut = bytes.find('\0');
    *t = std::string(bytes.substr(0, cut));
    bytes.remove_prefix(cut == std::string_view::npos ? bytes.size() : cut + 1);
  }
  uint32_t numbers[2] = {};
  for (uint32_t& n : numbers) {
    for (int i = 0; i < 4 && !bytes.empty(); ++i, bytes.remove_prefix(1))
      n = (n << 8) | static_cast<unsigned char>(bytes.front());
  }
  s.rowSzAlfa = numbers[0];
  s.rowSzBlob = numbers[1];
  return s;
}

bool Blank(char c) {
  return c == ' ' || c == '\t';
}
bool Trimmed(const std::string& t) {
  return t.empty() || (!Blank(t.front()) && !Blank(t.back()));
}

}  // namespace
}  // namespace kvt::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kvt::fuzz;
  const std::string_view text = AsText(data, size);
  kvt::Settings read;
  std::string error;
  if (kvt::SettingsFile::Parse(text, &read, &error)) {
    CheckReadsBack(read, "settings read from a file do not survive being written again");
  } else {
    Check(!error.empty(), "a settings text is refused without a reason");
  }
  const kvt::Settings made = FromBytes(text);
  if (Trimmed(made.database) && Trimmed(made.dsnOdbc) && Trimmed(made.directory))
    CheckReadsBack(made, "settings written to a file do not read back the same");
  return 0;
}
