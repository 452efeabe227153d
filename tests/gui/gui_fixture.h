// One QApplication for the whole test program, on the offscreen platform unless told
// otherwise; a private settings file for the shell.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <filesystem>
#include <memory>

namespace kvt::gui::test {

inline QApplication& App() {
  static int argc = 1;
  static char name[] = "kvt_gui_tests";
  static char* argv[] = {name, nullptr};
  static std::unique_ptr<QApplication> app;
  if (!app) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    app = std::make_unique<QApplication>(argc, argv);
  }
  return *app;
}

class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    std::string tmpl = (std::filesystem::temp_directory_path() / "kvt-gui-XXXXXX").string();
    dir_ = mkdtemp(tmpl.data());
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

 private:
  std::string dir_;
};

}  // namespace kvt::gui::test
