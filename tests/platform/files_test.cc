#include "platform/files.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
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

}  // namespace
}  // namespace kvt
