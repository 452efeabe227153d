// The contract statements from the command line: dialog fields as options, the dialog's
// refusals, the statement with nothing to print.
#include "comms/import_fixture.h"
#include "shell_fixture.h"
#include "support/run_program.h"

#ifdef KVTBASE_EXE

namespace kvt::app::test {
namespace {

using kvt::test::RunResult;
const auto Quote = kvt::test::ShellQuote;

class StatementCliTest : public ShellTest {
 protected:
  RunResult Kvtbase(const std::string& args) {
    return kvt::test::RunProgram(KVTBASE_EXE, args, Path(""), Path("kvtbase.ini"));
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
  RunResult r = Kvtbase(base + " --inizio=31/02/2010 --fine=31/03/2010");
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
