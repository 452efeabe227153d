// Commands that write a file the user names, when that file cannot be written whole: each
// says why, exits 1, and leaves what was there as it was. A device or a pipe is written in
// place and never replaced nor removed.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <numeric>
#include <set>

#include "comms/import_fixture.h"
#include "shell_fixture.h"
#include "support/run_program.h"

#ifdef KVTBASE_EXE

namespace kvt::app::test {
namespace {

using kvt::test::ReadFile;
using kvt::test::RunResult;
const auto Quote = kvt::test::ShellQuote;

std::set<std::string> Entries(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    names.insert(e.path().filename().string());
  return names;
}

TEST(OutputFiles, AFailedWriteLeavesWhatWasThereAndNothingElse) {
  // As another user: a fault here must not be able to replace /dev/full on the machine.
  const std::string dir = kvt::test::SharedTempDir("kvt-out");
  ASSERT_FALSE(dir.empty());
  const kvt::test::AnotherUser user = kvt::test::AsAnotherUser(KVTBASE_EXE, dir);
  const std::string& as = user.prefix;
  const auto At = [&dir](const std::string& name) { return dir + "/" + name; };
  const auto Kvtbase = [&](const std::string& args, const std::string& prefix) {
    return kvt::test::RunProgram(user.exe, args, dir, At("kvtbase.ini"), prefix);
  };

  const std::string db = At("kvt.mdb");
  ASSERT_EQ(Kvtbase("db-create " + Quote(db), "").status, 0);
  auto c = comms::test::Plan(1);
  comms::test::AddNetwork(c);
  comms::test::AddTrip(c, 1);
  std::vector<int> march(31);
  std::iota(march.begin(), march.end(), 1);
  c.days = {comms::test::Month(1, 2010, 3, march)};  // enough rows for every file to pass 512 bytes
  ASSERT_TRUE(comms::test::WriteCommunication(c, At("piano.txt")));
  ASSERT_EQ(Kvtbase("import-kvt " + Quote(At("piano.txt")) + " --db " + Quote(db), "").status, 0);
  std::filesystem::create_directory(At("dest"));
  for (const char* f : {"kvt.mdb", "kvtbase.ini", "dest", "out", "err"}) chmod(At(f).c_str(), 0777);
  ASSERT_EQ(mkfifo(At("pipe").c_str(), 0666), 0);
  chmod(At("pipe").c_str(), 0666);

  const std::string period = " --inizio=01/03/2010 --fine=31/03/2010";
  const std::string plan = " --contesto='Piano di Esercizio (preventivo)' --azienda=0101";
  const auto Interrupted = [](const std::string& what, const std::string& path) {
    return "ERRORE: KVT-BASE2\nATTENZIONE: la scrittura del " + what +
           " si è interrotta per un errore.\n\n" + path + "\n\nIl file non è stato creato.\n";
  };
  const std::string printer =
      "ERRORE: KVT-BASE2\nNon è possibile aprire la stampante.\n\n"
      "Verificare l'impostazione della stampante associata\n"
      "all'applicazione e riprovare successivamente.\n";
  struct Command {
    std::function<std::string(const std::string&)> args;  // for a destination path
    std::function<std::string(const std::string&)> cut;   // its message when the write is cut
  };
  const Command commands[] = {
      {[&](const std::string& p) {
         return "export-reference-base --yes --comunicazione='0101 - 000001' " + Quote(p);
       },
       [&](const std::string& p) { return Interrupted("file", p); }},
      {[&](const std::string& p) {
         return "export-regularity-base --yes --azienda=0101 --data=01/03/2010 " + Quote(p);
       },
       [&](const std::string& p) { return Interrupted("file", p); }},
      {[&](const std::string& p) { return "export-contracts --yes --seleziona " + Quote(p); },
       [&](const std::string& p) { return Interrupted("DUMP", p); }},
      {[&](const std::string& p) {
         return "contract-statement" + plan + period + " --uscita=Stampa --pdf " + Quote(p);
       },
       [&](const std::string& p) {
         return "Impossibile scrivere il file " + p + ": File too large\n" + printer;
       }},
  };
  // The file size limit cuts every write past 512 bytes; the signal it sends is ignored, so
  // the write fails as on a full disk.
  const std::string cutShort = as + " sh -c 'trap \"\" XFSZ; ulimit -f 1; exec \"$0\" \"$@\"'";
  const std::string before = "prima\n";
  for (const Command& cmd : commands) {
    const std::string old = At("dest/vecchio.txt");
    std::ofstream(old) << before;
    chmod(old.c_str(), 0666);
    RunResult r = Kvtbase(cmd.args(old) + " --db " + Quote(db), cutShort);
    EXPECT_EQ(r.status, 1) << cmd.args(old);
    EXPECT_NE(r.err.find(cmd.cut(old)), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(old), before);
    EXPECT_EQ(Entries(At("dest")), std::set<std::string>{"vecchio.txt"});

    // A device that cannot take the bytes, a pipe nobody reads: refused at once, kept.
    r = Kvtbase(cmd.args("/dev/full") + " --db " + Quote(db), as);
    EXPECT_EQ(r.status, 1) << r.err;
    r = Kvtbase(cmd.args(At("pipe")) + " --db " + Quote(db), as);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(std::filesystem::is_fifo(At("pipe")));
  }
  struct stat full {};
  ASSERT_EQ(stat("/dev/full", &full), 0);
  EXPECT_TRUE(S_ISCHR(full.st_mode));

  // The contract attachments, files of fixed names in a folder: one there before stays. They
  // are short, so no byte may be written (nor the message: only the status is seen).
  const std::string tot = At("dest/TOT_A101_E1.TXT");
  std::ofstream(tot) << before;
  chmod(tot.c_str(), 0666);
  RunResult r = Kvtbase("export-attachment" + plan + period + " --ente=0001 --db " + Quote(db) +
                            " " + Quote(At("dest/x.txt")),
                        as + " sh -c 'trap \"\" XFSZ; ulimit -f 0; exec \"$0\" \"$@\"'");
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(ReadFile(tot), before);
  EXPECT_EQ(Entries(At("dest")), (std::set<std::string>{"TOT_A101_E1.TXT", "vecchio.txt"}));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kvt::app::test

#endif
