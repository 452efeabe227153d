#include "platform/settings.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace kvt {
namespace {

namespace fs = std::filesystem;

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "kvt-settings-XXXXXX").string();
    dir_ = mkdtemp(tmpl.data());
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string PathOf(const std::string& name) const { return dir_ + "/" + name; }
  static void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }

  std::string dir_;
};

TEST_F(SettingsTest, EveryValueSurvivesSaveAndLoadIntoANewFolder) {
  Settings written;
  written.database = "/dati/trasporti/Velmora 2024\\bis\nseconda riga.mdb";
  written.dsnOdbc = "kvt_pg";
  written.rowSzAlfa = 4000000000u;
  written.rowSzBlob = 7;
  written.directory = "/opt/kvtbase/città";
  SettingsFile file(PathOf("nested/deeper/kvtbase.ini"));
  ASSERT_TRUE(file.Save(written));

  Settings read;
  EXPECT_EQ(file.Load(&read), SettingsLoad::Ok);
  EXPECT_EQ(read, written);
  // One line per value, under the program's key, so that a person can read and edit it.
  EXPECT_EQ(Read(file.Path()),
            "; KVT-BASE2 settings\n"
            "[Software\\KVTBASE\\KVTBASE\\1.00]\n"
            "Database=/dati/trasporti/Velmora 2024\\\\bis\\nseconda riga.mdb\n"
            "DsnOdbc=kvt_pg\n"
            "RowSzAlfa=4000000000\n"
            "RowSzBlob=7\n"
            "Directory=/opt/kvtbase/città\n");
  EXPECT_FALSE(fs::exists(file.Path() + ".tmp"));
}

TEST_F(SettingsTest, MissingFileIsAFirstStartWithDefaults) {
  Settings s;
  EXPECT_EQ(SettingsFile(PathOf("none.ini")).Load(&s), SettingsLoad::Missing);
  EXPECT_EQ(s, Settings{});
  EXPECT_EQ(s.rowSzAlfa, 25u);
  EXPECT_EQ(s.rowSzBlob, 1u);
  EXPECT_TRUE(s.database.empty() && s.dsnOdbc.empty() && s.directory.empty());
}

TEST_F(SettingsTest, HandWrittenFileIsReadLeniently) {
  // Other sections ignored, names in any case, CRLF line ends, blanks around names and
  // values, a lone backslash kept as written, values not given keep their defaults.
  Write(PathOf("hand.ini"),
        "# comment\r\n"
        "[Other]\r\n"
        "Database=/wrong.mdb\r\n"
        "[software\\kvtbase\\KVTBASE\\1.00]\r\n"
        "  database =  C:\\dati\\KVTBASE.MDB  \r\n"
        "ROWSZBLOB=3\r\n"
        "Unknown=whatever\r\n");
  Settings s;
  EXPECT_EQ(SettingsFile(PathOf("hand.ini")).Load(&s), SettingsLoad::Ok);
  EXPECT_EQ(s.database, "C:\\dati\\KVTBASE.MDB");
  EXPECT_EQ(s.rowSzBlob, 3u);
  EXPECT_EQ(s.rowSzAlfa, 25u);
  EXPECT_EQ(s.dsnOdbc, "");
}

TEST_F(SettingsTest, DamagedFileIsReportedAndKeptAsideAtTheNextSave) {
  const std::string damaged =
      "[Software\\KVTBASE\\KVTBASE\\1.00]\nDatabase=/a.mdb\nRowSzAlfa=abc\n";
  Write(PathOf("bad.ini"), damaged);
  SettingsFile file(PathOf("bad.ini"));
  Settings s;
  s.dsnOdbc = "untouched";
  std::string error;
  EXPECT_EQ(file.Load(&s, &error), SettingsLoad::Unreadable);
  EXPECT_EQ(error, PathOf("bad.ini") + ": line 3: RowSzAlfa: \"abc\" is not a number");
  EXPECT_EQ(s.dsnOdbc, "untouched");
  EXPECT_EQ(s.database, "");  // nothing of a damaged file is taken

  Write(PathOf("bad2.ini"), "[Software\\KVTBASE\\KVTBASE\\1.00]\njust some words\n");
  EXPECT_EQ(SettingsFile(PathOf("bad2.ini")).Load(&s, &error), SettingsLoad::Unreadable);
  EXPECT_EQ(error, PathOf("bad2.ini") + ": line 2: expected name=value");
  Write(PathOf("bad3.ini"), "[Software\\KVTBASE\n");
  EXPECT_EQ(SettingsFile(PathOf("bad3.ini")).Load(&s, &error), SettingsLoad::Unreadable);
  EXPECT_EQ(error, PathOf("bad3.ini") + ": line 1: unterminated section name");

  Settings fresh;
  fresh.database = "/b.mdb";
  ASSERT_TRUE(file.Save(fresh));
  EXPECT_EQ(Read(PathOf("bad.ini.bak")), damaged);
  Settings back;
  EXPECT_EQ(file.Load(&back), SettingsLoad::Ok);
  EXPECT_EQ(back.database, "/b.mdb");
}

TEST_F(SettingsTest, FileThatCannotBeReplacedIsNeverLost) {
  // A folder where the file should be: unreadable, and saving must fail rather than
  // destroy it.
  fs::create_directory(PathOf("dir.ini"));
  Write(PathOf("dir.ini/keep"), "x");
  SettingsFile file(PathOf("dir.ini"));
  Settings s;
  std::string error;
  EXPECT_EQ(file.Load(&s, &error), SettingsLoad::Unreadable);
  EXPECT_EQ(error, PathOf("dir.ini") + ": cannot be read");
  EXPECT_FALSE(file.Save(s, &error));
  EXPECT_EQ(Read(PathOf("dir.ini/keep")), "x");
}

TEST_F(SettingsTest, DefaultPathFollowsTheEnvironment) {
  std::string saved[3];
  const char* names[3] = {"KVTBASE_SETTINGS", "XDG_CONFIG_HOME", "HOME"};
  for (int i = 0; i < 3; ++i)
    if (const char* v = getenv(names[i])) saved[i] = v;

  setenv("KVTBASE_SETTINGS", "/tmp/x/test.ini", 1);
  setenv("XDG_CONFIG_HOME", "/xdg", 1);
  setenv("HOME", "/home/ada", 1);
  EXPECT_EQ(SettingsFile::DefaultPath(), "/tmp/x/test.ini");
  unsetenv("KVTBASE_SETTINGS");
  EXPECT_EQ(SettingsFile::DefaultPath(), "/xdg/kvtbase/kvtbase.ini");
  setenv("XDG_CONFIG_HOME", "", 1);
  EXPECT_EQ(SettingsFile::DefaultPath(), "/home/ada/.config/kvtbase/kvtbase.ini");

  for (int i = 0; i < 3; ++i) {
    if (saved[i].empty()) {
      unsetenv(names[i]);
    } else {
      setenv(names[i], saved[i].c_str(), 1);
    }
  }
}

}  // namespace
}  // namespace kvt
