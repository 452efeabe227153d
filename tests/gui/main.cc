// The QApplication lives for the whole test run and ends before Qt's own statics do; it
// speaks Italian as the program does.
#include <gtest/gtest.h>

#include <QApplication>

#include "gui/qt_ui.h"

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  kvt::gui::UseItalianDates();  // as the program does
  QApplication app(argc, argv);
  kvt::gui::InstallItalianQtTexts(app);  // as the program does
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
