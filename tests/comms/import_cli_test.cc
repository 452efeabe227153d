// The two commands as the command line runs them: answers come from the options, the
// outcome (exit status) from what the command showed last.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "comms/commands.h"
#include "comms/import.h"
#include "import_fixture.h"
#include "platform/cli_ui.h"

namespace kvt::comms::test {
namespace {

class CommandLineTest : public CommsDbTest {
 protected:
  CliOutcome Run(void (*command)(Ui&, db::Database&, const CommandLine*), CliAnswers answers,
                 const CommandLine& line) {
    out.str("");
    err.str("");
    CliUi cli(std::move(answers), out, err, /*progressVisible=*/false);
    command(cli, db(), &line);
    return cli.Outcome();
  }

  std::ostringstream out, err;
};

TEST_P(CommandLineTest, RefusedImportSavesItsReportWhereAskedAndEndsInFailure) {
  GeneratorOptions o = Options();
  o.fault = GenFault::Checksum;
  const std::string path = Generate(o, "bad.txt");
  const std::string saved = kvt::test::TempDir() + "/report.txt";
  // kvtbase import-kvt FILE --report=PATH
  CommandLine line{{path}, {{"report", saved}}};
  EXPECT_EQ(Run(RunImportCommand, CliAnswers{false, {path}, {}}, line), CliOutcome::Failed);
  EXPECT_TRUE(std::filesystem::exists(saved));
  EXPECT_NE(err.str().find(std::string(kRefusedQuestion)), std::string::npos) << err.str();
  // The communication named as its report: refused, the communication kept byte for byte.
  const std::string before = ReadBytes(path);
  line = CommandLine{{path}, {{"report", path}}};
  EXPECT_EQ(Run(RunImportCommand, CliAnswers{false, {path}, {}}, line), CliOutcome::Failed);
  EXPECT_EQ(err.str(), "ERRORE: KVT-BASE2\n" + std::string(kRefusedQuestion) +
                           "\nERRORE: KVT-BASE2\n" +
                           std::string(kReportOverCommunicationMessage) + "\n");
  EXPECT_EQ(ReadBytes(path), before);
  // Without --report the question is answered Annulla: no report.
  std::filesystem::remove(saved);
  line = CommandLine{{path}, {}};
  EXPECT_NE(Run(RunImportCommand, CliAnswers{false, {path}, {}}, line), CliOutcome::Success);
  EXPECT_FALSE(std::filesystem::exists(saved));
  EXPECT_EQ(Count("proto"), 0);
}

TEST_P(CommandLineTest, ImportAndRebuildSucceedFromOptions) {
  const std::string path = Generate(Options(), "plan.txt");
  CommandLine line{{path}, {}};
  EXPECT_EQ(Run(RunImportCommand, CliAnswers{false, {path}, {}}, line), CliOutcome::Success)
      << err.str();
  EXPECT_NE(out.str().find("Orari: inserite 30 righe di 30\n"), std::string::npos) << out.str();
  const long long days = Count("giorni");
  ASSERT_GT(days, 0);
  Exec("DELETE FROM giorni");
  // kvtbase rebuild-days --azienda=0101
  line = CommandLine{{}, {{"azienda", "0101"}}};
  EXPECT_EQ(Run(RunRebuildCommand, CliAnswers{false, {}, line.values}, line), CliOutcome::Success)
      << err.str();
  EXPECT_EQ(Count("giorni"), days);
}

KVT_INSTANTIATE_ENGINES(CommandLineTest);

}  // namespace
}  // namespace kvt::comms::test
