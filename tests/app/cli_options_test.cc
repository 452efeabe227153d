// The command line read against the options each command declares.
#include <gtest/gtest.h>

#include "app/commands.h"
#include "cli/options.h"

namespace kvt::cli {
namespace {

class CommandLineParseTest : public ::testing::Test {
 protected:
  void SetUp() override { app::RegisterAllCommands(registry_); }

  // The line after `command`, read; the error text when refused ("" when accepted).
  std::string Parse(const std::string& command, std::vector<std::string> args) {
    line = ParsedLine{};
    const app::Command* c = registry_.FindCommand(command);
    EXPECT_NE(c, nullptr) << command;
    std::optional<std::string> error = ParseCommandLine(args, c->syntax, &line);
    return error.value_or("");
  }

  ParsedLine line;
  app::Registry registry_;
};

using Strings = std::vector<std::string>;
using Values = std::map<std::string, std::string>;

TEST_F(CommandLineParseTest, AnOptionAndItsValueAreOneUnitWhereverTheyStand) {
  // The report path before the communication was once read as a second communication.
  EXPECT_EQ(Parse("import-kvt", {"--report", "rep.txt", "comm.txt", "--db", "db.mdb", "--yes"}),
            "");
  EXPECT_EQ(line.options.values, (Values{{"report", "rep.txt"}}));
  EXPECT_EQ(line.options.args, Strings{"comm.txt"});
  EXPECT_EQ(line.files, Strings{"comm.txt"});
  EXPECT_EQ(line.db, "db.mdb");
  EXPECT_TRUE(line.yes);

  // "=" form; a value that looks like an option is still the value; the last one counts.
  EXPECT_EQ(Parse("import-kvt", {"--report=a=b.txt", "x.txt", "--report", "--yes"}), "");
  EXPECT_EQ(line.options.values, (Values{{"report", "--yes"}}));
  EXPECT_FALSE(line.yes);
  EXPECT_EQ(line.options.args, Strings{"x.txt"});

  // --file and operands feed the choosers in the order given.
  EXPECT_EQ(Parse("db-duplicate", {"a.mdb", "--file=b.mdb", "-y", "--dsn", "kvt_pg"}), "");
  EXPECT_EQ(line.files, (Strings{"a.mdb", "b.mdb"}));
  EXPECT_EQ(line.options.args, Strings{"a.mdb"});
  EXPECT_EQ(line.dsn, "kvt_pg");
  EXPECT_TRUE(line.yes);

  // --pdf is a common option: any command may print; it is not a dialog field.
  EXPECT_EQ(Parse("about", {"--pdf", "stampa.pdf"}), "");
  EXPECT_EQ(line.pdf, "stampa.pdf");
  EXPECT_TRUE(line.options.values.empty());
  EXPECT_TRUE(line.files.empty());

  // "--" ends the options: a file named like one, and "-" itself, are operands.
  EXPECT_EQ(Parse("import-kvt", {"-yh", "--", "--report", "-", "-y"}), "");
  EXPECT_EQ(line.files, (Strings{"--report", "-", "-y"}));
  EXPECT_TRUE(line.yes);
  EXPECT_TRUE(line.help);
  EXPECT_TRUE(line.options.values.empty());

  // Dialog fields are the command's declared options.
  EXPECT_EQ(Parse("odbc-connect", {"--datasource", "kvt pg", "--rowset-ordinary=50",
                                   "--rowset-blob", "1"}),
            "");
  EXPECT_EQ(line.options.values,
            (Values{{"datasource", "kvt pg"}, {"rowset-ordinary", "50"}, {"rowset-blob", "1"}}));
  EXPECT_EQ(Parse("rebuild-days", {"--azienda=0101"}), "");
  EXPECT_EQ(line.options.values, (Values{{"azienda", "0101"}}));
}

TEST_F(CommandLineParseTest, AWrongLineIsRefusedBeforeTheCommandRuns) {
  EXPECT_EQ(Parse("import-kvt", {"comm.txt", "--report"}),
            "L'opzione --report richiede un valore: --report=PERCORSO");
  EXPECT_EQ(Parse("about", {"--db"}), "L'opzione --db richiede un valore: --db=FILE");
  EXPECT_EQ(Parse("about", {"--db="}), "L'opzione --db richiede un valore: --db=FILE");
  EXPECT_EQ(Parse("about", {"--file", ""}),
            "L'opzione --file richiede un valore: --file=PERCORSO");
  // db-connect-file '' connected nothing, said nothing and exited 0.
  EXPECT_EQ(Parse("db-connect-file", {""}), "Percorso vuoto: indicare un file");
  EXPECT_EQ(Parse("db-connect-file", {"--", ""}), "Percorso vuoto: indicare un file");
  EXPECT_EQ(Parse("about", {"--pdf="}), "L'opzione --pdf richiede un valore: --pdf=FILE");
  EXPECT_EQ(Parse("about", {"--yes=no"}), "L'opzione --yes non accetta un valore: --yes=no");
  EXPECT_EQ(Parse("about", {"--colore=blu"}), "Opzione sconosciuta: --colore");
  // Another command's option, and an abbreviation, are unknown here.
  EXPECT_EQ(Parse("about", {"--report=x"}), "Opzione sconosciuta: --report");
  EXPECT_EQ(Parse("import-kvt", {"--rep=x", "c.txt"}), "Opzione sconosciuta: --rep");
  EXPECT_EQ(Parse("about", {"-yx"}), "Opzione sconosciuta: -x");
  EXPECT_EQ(Parse("about", {"--db", "a.mdb", "--dsn=kvt_pg"}),
            "Indicare --db oppure --dsn, non entrambi");
}

TEST_F(CommandLineParseTest, CommonOptionsMayComeBeforeTheCommand) {
  EXPECT_EQ(CommandPosition({"about"}), 0u);
  EXPECT_EQ(CommandPosition({"--db", "x.mdb", "-y", "--dsn=kvt_pg", "about", "--db", "y"}), 4u);
  EXPECT_EQ(CommandPosition({"--file", "--yes", "about"}), 2u);  // the value, whatever it is
  EXPECT_EQ(CommandPosition({"--colore", "about"}), 0u);  // unknown: taken as the command
  EXPECT_EQ(CommandPosition({"--db", "x.mdb"}), 2u);      // no command at all
  EXPECT_EQ(CommandPosition({"--db"}), 1u);
}

TEST_F(CommandLineParseTest, HelpListsTheCommandsOptions) {
  EXPECT_EQ(CommandHelp(*registry_.FindCommand("import-kvt")),
            "Uso: kvtbase import-kvt [opzioni] FILE\n"
            "Import/Export > Comunicazioni Aziendali > Import Comunicazione KvtTxt V2\n"
            "\n"
            "Opzioni del comando:\n"
            "  --report=PERCORSO         se la comunicazione è rifiutata, salva qui il report "
            "degli errori senza chiedere\n"
            "\n"
            "Opzioni comuni:\n"
            "  --db=FILE                 database da usare per questa esecuzione (file)\n"
            "  --dsn=NOME                database da usare per questa esecuzione (data source "
            "ODBC)\n"
            "  --yes                     risponde OK a ogni domanda\n"
            "  --file=PERCORSO           file per le finestre di scelta file (ripetibile)\n"
            "  --pdf=FILE                le stampe e le anteprime scritte in questo file PDF\n"
            "  --help                    mostra le opzioni del comando\n");
}

}  // namespace
}  // namespace kvt::cli
