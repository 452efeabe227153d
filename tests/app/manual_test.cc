// The manual page and the completion as written from the command table (cli/manual.h). The
// installed files are checked against the installed program by tests/package.
#include "cli/manual.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "app/commands.h"
#include "app/menu.h"
#include "cli/options.h"

namespace kvt::cli {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string Untroff(std::string text) {
  for (size_t i; (i = text.find("\\-")) != std::string::npos;) text.replace(i, 2, "-");
  return text;
}

TEST(ManualTest, TroffTextReadsAsWrittenWhateverItHolds) {
  EXPECT_EQ(Troff("Utilità > Calcola Velocità Medie"),
            "Utilit\\[u00E0] > Calcola Velocit\\[u00E0] Medie");
  EXPECT_EQ(Troff("db-create --db"), "db\\-create \\-\\-db");  // copied ids must work
  EXPECT_EQ(Troff("Software\\KVTBASE"), "Software\\eKVTBASE");
  EXPECT_EQ(Troff("\"Gestione\""), "\\(dqGestione\\(dq");
  // A line that would start with a dot or a quote is a request to troff, not text.
  EXPECT_EQ(Troff(".mdb"), "\\&.mdb");
  EXPECT_EQ(Troff("'a'\n.b\nc.d"), "\\&'a'\n\\&.b\nc.d");
  // Beyond the BMP; then bytes that are no UTF-8 (lone continuation, overlong, truncated).
  EXPECT_EQ(Troff("\xF0\x9F\x9A\x8C"), "\\[u1F68C]");
  EXPECT_EQ(Troff("a\x80"
                  "b\xC0\xAF"
                  "c\xE2\x82"),
            "a?b??c??");
}

TEST(ManualTest, ManPageListsEveryMenuCommandOnceAndSaysWhichAreMissing) {
  // A build with the database commands only: the others are listed as not yet there.
  app::Registry registry;
  app::RegisterDatabaseCommands(registry);
  std::ostringstream page;
  WriteManPage(registry, page);
  std::vector<std::string> lines = Lines(page.str());

  std::vector<std::string> listed;
  std::set<std::string> unavailable;
  bool inCommands = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    // Every line is plain ASCII, and a line starting with a dot is one of our requests.
    for (char c : line) ASSERT_LT(static_cast<unsigned char>(c), 0x80) << line;
    if (line[0] == '.') {
      static const std::set<std::string> requests = {".\\\"", ".TH", ".SH", ".SS", ".TP", ".B",
                                                     ".I",    ".BR", ".RI", ".br", ".PP", ".RS",
                                                     ".RE",   ".nf", ".fi", ".nh", ".ad", ".IP"};
      EXPECT_TRUE(requests.count(line.substr(0, line.find(' ')))) << line;
    }
    if (line.rfind(".SH", 0) == 0) inCommands = line == ".SH COMANDI";
    if (!inCommands || line != ".TP") continue;
    ASSERT_LT(i + 2, lines.size());
    ASSERT_EQ(lines[i + 1].rfind(".B ", 0), 0u) << lines[i + 1];
    std::string id = Untroff(lines[i + 1].substr(3));
    listed.push_back(id);
    EXPECT_EQ(lines[i + 2], Troff(app::MenuPathText(id)));
    if (i + 4 < lines.size() && lines[i + 4] == "(non ancora disponibile in questa versione)")
      unavailable.insert(id);
  }

  // Menu order, except the items of the bar itself, which close the list.
  std::vector<std::string> expected, bar;
  std::set<std::string> missing;
  for (const app::MenuCommand& c : app::MenuCommands()) {
    (c.path.size() == 1 ? bar : expected).push_back(c.id);
    if (!registry.Has(c.id)) missing.insert(c.id);
  }
  expected.insert(expected.end(), bar.begin(), bar.end());
  EXPECT_EQ(listed, expected);
  EXPECT_EQ(unavailable, missing);
  EXPECT_FALSE(unavailable.count("db-create"));
  EXPECT_TRUE(unavailable.count("export-sirla"));
  EXPECT_NE(page.str().find("\n.SS Menu Utilit\\[u00E0]\n"), std::string::npos);
}

TEST(ManualTest, OptionsAndExamplesAreThoseTheCommandLineTakes) {
  app::Registry registry;
  app::RegisterAllCommands(registry);
  std::ostringstream page;
  WriteManPage(registry, page);
  // Every option of every command, under it (its tag an indented paragraph).
  for (const std::string& id : registry.Ids()) {
    size_t at = page.str().find("\n.B " + Troff(id) + "\n");
    ASSERT_NE(at, std::string::npos) << id;
    size_t next = page.str().find("\n.TP\n", at);
    for (const app::Option& option : registry.FindCommand(id)->syntax.options) {
      size_t tag = page.str().find(".IP \"\\fB" + Troff("--" + option.name) + "\\fR", at);
      EXPECT_LT(tag, next) << id << " --" << option.name;
    }
  }
  // The short forms are those the parser takes.
  for (const app::Option& option : app::CommonOptions()) {
    for (const std::string& spelling : OptionSpellings(option)) {
      ParsedLine line;
      std::vector<std::string> args = {spelling};
      if (option.takesValue) args.push_back("x");
      EXPECT_EQ(ParseCommandLine(args, {}, &line), std::nullopt) << spelling;
      EXPECT_TRUE(line.yes || line.help || line.db || line.dsn || line.pdf || !line.files.empty())
          << spelling;
    }
  }
  // Every example is a command line the program accepts.
  for (const Example& example : Examples()) {
    std::istringstream words{std::string(example.line)};
    std::vector<std::string> args;
    for (std::string w; words >> w;) args.push_back(w);
    ASSERT_GE(args.size(), 2u);
    EXPECT_EQ(args[0], "kvtbase");
    const app::Command* command = registry.FindCommand(args[1]);
    ASSERT_NE(command, nullptr) << example.line;
    ParsedLine line;
    EXPECT_EQ(ParseCommandLine({args.begin() + 2, args.end()}, command->syntax, &line),
              std::nullopt)
        << example.line;
  }
}

}  // namespace
}  // namespace kvt::cli
