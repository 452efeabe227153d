// The window tests run on the offscreen platform unless told otherwise (main.cc makes the
// one QApplication); each test gets a private folder.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

namespace kvt::gui::test {

class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (std::filesystem::temp_directory_path() / "kvt-gui-XXXXXX").string();
    dir_ = mkdtemp(tmpl.data());
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

 private:
  std::string dir_;
};

}  // namespace kvt::gui::test
