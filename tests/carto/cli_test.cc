// The association commands run by the kvtbase executable, as a user types them, on both
// engines.
#include "carto_fixture.h"
#include "support/run_program.h"

#ifdef KVTBASE_EXE

namespace kvt::carto::test {
namespace {

using kvt::test::RunResult;
using kvt::test::ShellQuote;

class CartoCliTest : public CartoDbTest {
 protected:
  RunResult Kvtbase(const std::string& args) {
    const std::string dir = kvt::test::TempDir();
    const std::string where = IsPostgres() ? "--dsn " + ShellQuote(Target())
                                           : "--db " + ShellQuote(Target());
    return kvt::test::RunProgram(KVTBASE_EXE, args + " " + where, dir, dir + "/kvtbase.ini");
  }
};

TEST_P(CartoCliTest, AssociationsFromTheCommandLine) {
  Municipality(1, "L'Aquila", "066049");
  Municipality(2, "Pescara", "068028");
  Boundary("geocom", 1, 0, 0, Square(0, 0, 100));
  Boundary("geocom", 2, 0, 0, Square(50, 50, 100));
  Protocol(101);
  Protocol(102);
  Stop(101, 1, "Via per l'Aquila", "75", "75", 2);
  Stop(101, 2, "Mare", "140", "140");
  Stop(102, 1, "Via per l'Aquila", "5000", "5000", 2);
  db().Close();

  RunResult r = Kvtbase("geo-associate-municipality --yes");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.substr(r.out.find("INFORMAZIONE:")),
            "INFORMAZIONE: KVT-BASE2\n"
            "Risultati dell'assegnazione automatica dei Comuni di pertinenza alle fermate:\n\n"
            "3 Fermate analizzate.\n\n"
            "2 Fermate assegnate al Comune di pertinenza.\n\n"
            "1 Fermate per i quali non è identificabile il Comune\n");
  EXPECT_EQ(r.err, "");

  // The manual dialog from its fields: company, search, search button, stop, municipality,
  // "Assegna". Company 102's stop of the same ID is not touched.
  r = Kvtbase("associate-stop-municipality --azienda=0101 \"--ricerca=l'aquila\" --cerca "
              "--fermata=0000000001 --comune=0002 --assegna");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  Reopen();
  EXPECT_EQ(Rows("SELECT azienda, ID, comune FROM fermate ORDER BY azienda, ID", 3),
            (Strings{"101|1|2", "101|2|2", "102|1|0"}));
}

KVT_INSTANTIATE_ENGINES(CartoCliTest);

}  // namespace
}  // namespace kvt::carto::test

#endif
