// kvtgen: writes a synthetic KvtTxt V2 communication. See GeneratorUsage().
#include <cstdio>
#include <string>
#include <vector>

#include "kvtgen/generator.h"

int main(int argc, char** argv) {
  using namespace kvt::comms;
  std::vector<std::string_view> args(argv + 1, argv + argc);
  for (std::string_view a : args) {
    if (a == "--help" || a == "-h") {
      std::fputs(GeneratorUsage().c_str(), stdout);
      return 0;
    }
  }
  GeneratorOptions options;
  std::string path, error;
  if (!ParseGeneratorArguments(args, options, path, error)) {
    std::fprintf(stderr, "kvtgen: %s\n%s", error.c_str(), GeneratorUsage().c_str());
    return 2;
  }
  const GeneratorReport report = GenerateCommunication(options, path);
  if (!report.ok) {
    std::fprintf(stderr, "kvtgen: %s\n", report.error.c_str());
    return 1;
  }
  std::printf("%s: %ld lines\n", path.c_str(), report.lines);
  for (Section s : kSections) {
    if (options.reference && s == Section::Giorni) break;
    std::printf("  <%s> %lld rows\n", SectionName(s).data(),
                static_cast<long long>(report.counts[s]));
  }
  std::printf("  running days %lld\n", static_cast<long long>(report.runningDays));
  if (report.fault) {
    std::printf("  fault at line %ld: %s\n", report.fault->line, report.fault->description.c_str());
  }
  return 0;
}
