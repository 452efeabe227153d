#include "platform/data_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace kvt {
namespace {

TEST(DataDirTest, InstalledBesideTheProgramElseTheBuildsCopy) {
  EXPECT_EQ(DataDirFor("/usr/bin/kvtbase", "/w/build/share/kvtbase"), "/usr/share/kvtbase");
  // Any prefix: `cmake --install`, or a package unpacked into a test's root.
  EXPECT_EQ(DataDirFor("/tmp/root/usr/local/bin/kvtbase", "/w/build/share/kvtbase"),
            "/tmp/root/usr/local/share/kvtbase");
  EXPECT_EQ(DataDirFor("/w/build/gui/kvtbase", "/w/build/share/kvtbase"), "/w/build/share/kvtbase");
  EXPECT_EQ(DataDirFor("", "/w/build/share/kvtbase"), "/w/build/share/kvtbase");

  // This test program runs from the build: the copy holds the seed lists.
  unsetenv("KVTBASE_DATA_DIR");
  EXPECT_TRUE(std::filesystem::is_regular_file(DataDir() + "/aziende.txt")) << DataDir();
  EXPECT_TRUE(std::filesystem::is_regular_file(DataDir() + "/enti.txt")) << DataDir();
  setenv("KVTBASE_DATA_DIR", "/srv/kvt", 1);
  EXPECT_EQ(DataDir(), "/srv/kvt");
  unsetenv("KVTBASE_DATA_DIR");
}

}  // namespace
}  // namespace kvt
