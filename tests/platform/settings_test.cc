#include "platform/settings.h"

#include <gtest/gtest.h>
#include <stdlib.h>

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
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
  }
  std::string dir_;
};

TEST_F(SettingsTest, EveryValueSurvivesSaveAndLoad) {
  Settings s;
  EXPECT_EQ(SettingsFile(PathOf("none.ini")).Load(&s), SettingsLoad::Missing);
  EXPECT_EQ(s, (Settings{"", "", 25, 1, "", {}}));  // a first start: the defaults

  Settings written{"/dati/Velmora 2024\\bis\nseconda riga.mdb", "kvt_pg", 4000000000u, 7,
                   "/opt/kvtbase/città", {}};
  SettingsFile file(PathOf("nested/deeper/kvtbase.ini"));  // folders made on the way
  ASSERT_TRUE(file.Save(written));
  Settings read;
  EXPECT_EQ(file.Load(&read), SettingsLoad::Ok);
  EXPECT_EQ(read, written);
  EXPECT_EQ(Read(file.Path()),
            "; KVT-BASE2 settings\n"
            "[Software\\KVTBASE\\KVTBASE\\1.00]\n"
            "Database=/dati/Velmora 2024\\\\bis\\nseconda riga.mdb\n"
            "DsnOdbc=kvt_pg\n"
            "RowSzAlfa=4000000000\n"
            "RowSzBlob=7\n"
            "Directory=/opt/kvtbase/città\n");

  // By hand: other sections ignored, names in any case, CRLF, blanks, a lone backslash
  // kept, values not given keep their defaults.
  Write(PathOf("hand.ini"),
        "# comment\r\n[Other]\r\nDatabase=/wrong.mdb\r\n[software\\kvtbase\\KVTBASE\\1.00]\r\n"
        "  database =  C:\\dati\\KVTBASE.MDB  \r\nROWSZBLOB=3\r\nUnknown=x\r\n");
  s = Settings{};
  EXPECT_EQ(SettingsFile(PathOf("hand.ini")).Load(&s), SettingsLoad::Ok);
  EXPECT_EQ(s, (Settings{"C:\\dati\\KVTBASE.MDB", "", 25, 3, "", {}}));
}

// The choosers' folders go in a section of their own after the key, whose lines stay
// exactly as they were; a hand-edited file keeps them apart from the key's values.
TEST_F(SettingsTest, RememberedFoldersLiveInTheirOwnSectionAndLeaveTheKeyAlone) {
  Settings plain{"/dati/KVTBASE.MDB", "", 25, 1, "/dati", {}};
  Settings withFolders = plain;
  withFolders.folders = {{"Comunicazioni", "/scambio/lotto 3"}, {"Report", "C:\\report"}};
  const std::string key = SettingsFile::Render(plain);
  EXPECT_EQ(SettingsFile::Render(withFolders),
            key + "\n[KVT-BASE2 Cartelle]\nComunicazioni=/scambio/lotto 3\nReport=C:\\\\report\n");
  SettingsFile file(PathOf("kvtbase.ini"));
  ASSERT_TRUE(file.Save(withFolders));
  Settings read;
  EXPECT_EQ(file.Load(&read), SettingsLoad::Ok);
  EXPECT_EQ(read, withFolders);

  // A folder-named value inside the key is not a folder; a key value in the folders'
  // section does not reach the key.
  Write(PathOf("hand.ini"),
        "[KVT-BASE2 Cartelle]\nDatabase=/non/questo.mdb\nEsportazioni=/export\n"
        "[Software\\KVTBASE\\KVTBASE\\1.00]\nDatabase=/dati/KVTBASE.MDB\nReport=/no\n");
  Settings hand;
  EXPECT_EQ(SettingsFile(PathOf("hand.ini")).Load(&hand), SettingsLoad::Ok);
  EXPECT_EQ(hand.database, "/dati/KVTBASE.MDB");
  EXPECT_EQ(hand.folders, (std::map<std::string, std::string>{{"Database", "/non/questo.mdb"},
                                                              {"Esportazioni", "/export"}}));
}

TEST_F(SettingsTest, DamagedFileIsReportedAndNeverLost) {
  const std::string damaged =
      "[Software\\KVTBASE\\KVTBASE\\1.00]\nDatabase=/a.mdb\nRowSzAlfa=abc\n";
  Write(PathOf("bad.ini"), damaged);
  SettingsFile file(PathOf("bad.ini"));
  Settings s;
  EXPECT_EQ(file.Load(&s), SettingsLoad::Unreadable);
  EXPECT_EQ(s, Settings{});  // nothing of a damaged file is taken
  Write(PathOf("bad2.ini"), "[Software\\KVTBASE\\KVTBASE\\1.00]\njust words\n");
  EXPECT_EQ(SettingsFile(PathOf("bad2.ini")).Load(&s), SettingsLoad::Unreadable);

  // The next save keeps the damaged file aside.
  ASSERT_TRUE(file.Save(Settings{"/b.mdb", "", 25, 1, "", {}}));
  EXPECT_EQ(Read(PathOf("bad.ini.bak")), damaged);
  EXPECT_EQ(file.Load(&s), SettingsLoad::Ok);
  EXPECT_EQ(s.database, "/b.mdb");

  // A folder where the file should be: unreadable, and saving fails rather than destroy it.
  fs::create_directory(PathOf("dir.ini"));
  Write(PathOf("dir.ini/keep"), "x");
  SettingsFile folder(PathOf("dir.ini"));
  EXPECT_EQ(folder.Load(&s), SettingsLoad::Unreadable);
  EXPECT_FALSE(folder.Save(s));
  EXPECT_EQ(Read(PathOf("dir.ini/keep")), "x");
}

}  // namespace
}  // namespace kvt
