// The two commands as the command line runs them: answers come from the options, the
// outcome (exit status) from what the command showed last.
#include <gtest/gtest.h>

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
