#include "platform/files.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace kvt {
namespace {

namespace fs = std::filesystem;

class OutputFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "kvt-files-XXXXXX").string();
    dir_ = mkdtemp(tmpl.data());
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string PathOf(const std::string& name) const { return dir_ + "/" + name; }
  static std::string Read(const std::string& path) {
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
  }
  std::set<std::string> Entries() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.insert(e.path().filename().string());
    return names;
  }
  static bool Put(OutputFile& f, const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), f.get()) == text.size();
  }
  // Writes `text` unbuffered under a file size limit of 4 bytes: the write is refused as on
  // a full disk, while the close that follows succeeds.
  static bool PutOverLimit(OutputFile& f, const std::string& text) {
    std::setvbuf(f.get(), nullptr, _IONBF, 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 4;
    setrlimit(RLIMIT_FSIZE, &small);
    const bool written = Put(f, text);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    return written;
  }
  std::string dir_;
};

TEST_F(OutputFileTest, AReplacedFileChangesOnlyWhenCommitted) {
  const std::string path = PathOf("dati.txt");
  std::ofstream(path) << "vecchio\n";
  chmod(path.c_str(), 0640);
  {
    OutputFile f;
    ASSERT_TRUE(f.Open(path));
    ASSERT_TRUE(Put(f, "nuovo\n"));
    ASSERT_TRUE(f.Close());
    EXPECT_EQ(Read(path), "vecchio\n");  // closed, not yet named
  }  // abandoned: what was there stays, nothing beside it
  EXPECT_EQ(Read(path), "vecchio\n");
  EXPECT_EQ(Entries(), std::set<std::string>{"dati.txt"});

  // Through a link: the file it names is replaced, with its permissions; the link stays.
  const std::string link = PathOf("collegamento.txt");
  fs::create_symlink(path, link);
  OutputFile f;
  ASSERT_TRUE(f.Open(link));
  ASSERT_TRUE(Put(f, "nuovo\n"));
  ASSERT_TRUE(f.Commit());
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Read(path), "nuovo\n");
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(Entries(), (std::set<std::string>{"collegamento.txt", "dati.txt"}));
}

TEST_F(OutputFileTest, WhatIsNotARegularFileIsWrittenInPlaceOrRefused) {
  OutputFile f;
  errno = 0;
  EXPECT_FALSE(f.Open(dir_));
  EXPECT_EQ(errno, EISDIR);
  EXPECT_FALSE(f.Open(PathOf("manca/x.txt")));
  EXPECT_EQ(errno, ENOENT);

  // A pipe nobody reads fails at once; a device is written, not replaced (a device that
  // cannot take the bytes is tried by the commands' tests, as another user).
  const std::string pipe = PathOf("pipe");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_FALSE(f.Open(pipe));
  ASSERT_TRUE(f.Open("/dev/null"));
  ASSERT_TRUE(Put(f, "x"));
  EXPECT_TRUE(f.Commit());
  EXPECT_TRUE(fs::is_fifo(pipe));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_EQ(Entries(), std::set<std::string>{"pipe"});
}

// Two faults no command meets today, caught here: a write the stream refused, and a name
// given before the file is complete.
TEST_F(OutputFileTest, ARefusedWriteOrAnEarlyPublishLeavesTheFormerFile) {
  const std::string path = PathOf("dati.txt");
  std::ofstream(path) << "vecchio\n";
  {
    // Only the stream's error flag tells of the refused write.
    OutputFile f;
    ASSERT_TRUE(f.Open(path));
    EXPECT_FALSE(PutOverLimit(f, "nuovo contenuto\n"));
    EXPECT_FALSE(f.Commit());
  }
  EXPECT_EQ(Read(path), "vecchio\n");
  EXPECT_EQ(Entries(), std::set<std::string>{"dati.txt"});

  OutputFile f;
  ASSERT_TRUE(f.Open(path));
  ASSERT_TRUE(Put(f, "nuovo\n"));
  errno = 0;
  EXPECT_FALSE(f.Publish());  // still open: its bytes may not all be on disk
  EXPECT_EQ(errno, EBADF);
  EXPECT_EQ(Read(path), "vecchio\n");
  f.Discard();
  EXPECT_EQ(Entries(), std::set<std::string>{"dati.txt"});
}

class OutputFileSetTest : public OutputFileTest {
 protected:
  // A set of a.txt, b.txt, c.txt with new texts; the former a.txt and c.txt are kept.
  std::map<std::string, std::string> Former() {
    const std::map<std::string, std::string> former = {{"a.txt", "A vecchio\n"},
                                                       {"c.txt", "C vecchio\n"}};
    for (const auto& [name, text] : former) std::ofstream(PathOf(name)) << text;
    chmod(PathOf("c.txt").c_str(), 0600);
    return former;
  }
  void Fill(OutputFileSet& set) {
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
      OutputFile* f = set.Add(PathOf(name));
      ASSERT_NE(f, nullptr);
      ASSERT_TRUE(Put(*f, std::string(name) + " nuovo\n"));
    }
  }
  std::map<std::string, std::string> Contents() const {
    std::map<std::string, std::string> contents;
    for (const std::string& name : Entries()) contents[name] = Read(PathOf(name));
    return contents;
  }
};

TEST_F(OutputFileSetTest, EveryFileTakesItsNameOrTheFormerFilesAreBack) {
  const std::map<std::string, std::string> former = Former();
  // Each rename in turn fails: what was there is back, byte for byte, and nothing else.
  for (int failing = 1; failing <= 3; ++failing) {
    OutputFileSet set;
    Fill(set);
    FailRenameForTests(failing, ENOSPC);
    errno = 0;
    EXPECT_FALSE(set.Commit()) << failing;
    EXPECT_EQ(errno, ENOSPC);
    EXPECT_EQ(set.FailedPath(), PathOf(std::string(1, static_cast<char>('a' + failing - 1)) + ".txt"));
    EXPECT_EQ(Contents(), former) << failing;
  }
  FailRenameForTests(0, 0);

  // A file that could not be written stops the set before any name changes.
  {
    OutputFileSet set;
    Fill(set);
    EXPECT_FALSE(PutOverLimit(set[1], "troppo lungo\n"));
    EXPECT_FALSE(set.Commit());
    EXPECT_EQ(set.FailedPath(), PathOf("b.txt"));
  }
  {
    OutputFileSet set;  // abandoned unpublished
    Fill(set);
    ASSERT_TRUE(set.Close());
  }
  EXPECT_EQ(Contents(), former);

  OutputFileSet set;
  Fill(set);
  ASSERT_TRUE(set.Commit());
  EXPECT_EQ(Contents(), (std::map<std::string, std::string>{
                            {"a.txt", "a.txt nuovo\n"}, {"b.txt", "b.txt nuovo\n"}, {"c.txt", "c.txt nuovo\n"}}));
  struct stat info {};
  ASSERT_EQ(stat(PathOf("c.txt").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
}

TEST_F(OutputFileSetTest, APipeInTheSetIsWrittenInPlaceAndNeverRemoved) {
  const std::string pipe = PathOf("pipe");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  const int reader = open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  std::map<std::string, std::string> former = Former();
  OutputFileSet set;
  OutputFile* piped = set.Add(pipe);
  ASSERT_NE(piped, nullptr);
  ASSERT_TRUE(Put(*piped, "x"));
  Fill(set);
  FailRenameForTests(3, EIO);
  EXPECT_FALSE(set.Commit());
  FailRenameForTests(0, 0);
  char got = 0;
  EXPECT_EQ(read(reader, &got, 1), 1);
  EXPECT_EQ(got, 'x');
  close(reader);
  EXPECT_TRUE(fs::is_fifo(pipe));
  fs::remove(pipe);
  EXPECT_EQ(Contents(), former);
}

}  // namespace
}  // namespace kvt
