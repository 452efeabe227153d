// The contract statements from the command line: dialog fields as options, the dialog's
// refusals, the statement with nothing to print.
#include <sys/wait.h>

#include "comms/import_fixture.h"
#include "shell_fixture.h"

#ifdef KVTBASE_EXE

namespace kvt::app::test {
namespace {

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

class StatementCliTest : public ShellTest {
 protected:
  struct Result {
    int status = -1;
    std::string out, err;
  };
  Result Kvtbase(const std::string& args) {
    const std::string cmd = "cd " + Quote(Path("")) +
                            " && KVTBASE_SETTINGS=" + Quote(Path("kvtbase.ini")) + " " +
                            Quote(KVTBASE_EXE) + " " + args + " >" + Quote(Path("out")) + " 2>" +
                            Quote(Path("err")) + " </dev/null";
    const int rc = std::system(cmd.c_str());
    return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, ReadFile(Path("out")), ReadFile(Path("err"))};
  }
};

TEST_F(StatementCliTest, DialogFieldsAsOptions) {
  const std::string db = Path("contratti.mdb");
  ASSERT_EQ(Kvtbase("db-create " + Quote(db)).status, 0);
  auto c = comms::test::Plan(1);
  comms::test::AddNetwork(c);
  comms::test::AddTrip(c, 1);
  c.days = {comms::test::Month(1, 2010, 3, {15})};
  ASSERT_TRUE(comms::test::WriteCommunication(c, Path("piano.txt")));
  ASSERT_EQ(Kvtbase("import-kvt " + Quote(Path("piano.txt")) + " --db " + Quote(db)).status, 0);

  const std::string base = "contract-statement --db " + Quote(db) +
                           " --contesto='Piano di Esercizio (preventivo)' --azienda=0101";
  Result r = Kvtbase(base + " --inizio=31/02/2010 --fine=31/03/2010");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "ERRORE: KVT-BASE2\nATTENZIONE: la data di inizio periodo è espressa in un formato "
            "illegale.\n\nLe date devono essere espresse nella forma GG/MM/AAAA.\n\n");
  r = Kvtbase(base + " --azienda=0102 --inizio=01/03/2010 --fine=31/03/2010");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "ERRORE: KVT-BASE2\nATTENZIONE: Il Codice Azienda non è valido.\n\nOccorre "
            "selezionare un Codice Azienda presente nella lista.\n\n");
  r = Kvtbase("contract-statement-tender --db " + Quote(db) +
              " --tutti_enti --inizio=01/04/2010 --fine=30.04.10");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "INFORMAZIONE: KVT-BASE2\nNon ci sono dati da stampare !!!\n");
  r = Kvtbase(base + " --inizio=01/03/2010 --fine=31/03/2010 --regione=1");
  EXPECT_EQ(r.status, 2);
}

}  // namespace
}  // namespace kvt::app::test

#endif
