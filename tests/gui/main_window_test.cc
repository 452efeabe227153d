#include "gui/main_window.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <filesystem>

#include "app/commands.h"
#include "app/shell.h"
#include "gui/qt_ui.h"
#include "platform/scripted_ui.h"
#include "support/engines.h"

namespace kvt::gui::test {
namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    shell_ = std::make_unique<app::Shell>(ui, SettingsFile(Path("kvtbase.ini")));
    app::RegisterAllCommands(registry_);
    window_ = std::make_unique<MainWindow>(*shell_, registry_, ui);
  }
  void TearDown() override {
    window_.reset();
    shell_.reset();
  }
  static std::string Path(const std::string& name) { return kvt::test::TempDir() + "/" + name; }

  // Compares one level of the Qt menu with the table, recursively.
  void ExpectSame(const QList<QAction*>& actions, const std::vector<app::MenuItem>& items,
                  const std::string& where) {
    ASSERT_EQ(actions.size(), static_cast<qsizetype>(items.size())) << where;
    for (size_t i = 0; i < items.size(); ++i) {
      const app::MenuItem& item = items[i];
      QAction* a = actions[static_cast<qsizetype>(i)];
      std::string at = where + " > " + item.caption;
      if (item.kind == app::MenuItem::Kind::Separator) {
        EXPECT_TRUE(a->isSeparator()) << at;
        continue;
      }
      EXPECT_EQ(a->text().toStdString(), item.caption) << at;  // "&" marks the access letter
      if (item.kind == app::MenuItem::Kind::Submenu) {
        ASSERT_NE(a->menu(), nullptr) << at;
        ExpectSame(a->menu()->actions(), item.items, at);
      } else {
        EXPECT_EQ(a->menu(), nullptr) << at;
        EXPECT_EQ(a->objectName().toStdString(), item.command) << at;
        EXPECT_EQ(a->isEnabled(), registry_.Has(item.command)) << at;
      }
    }
  }

  QAction* Action(const char* id) { return window_->findChild<QAction*>(QString(id)); }

  ScriptedUi ui;
  std::unique_ptr<app::Shell> shell_;
  app::Registry registry_;
  std::unique_ptr<MainWindow> window_;
};

TEST_F(MainWindowTest, MenuBarIsBuiltFromTheTable) {
  EXPECT_EQ(window_->windowTitle().toStdString(),
            "KVT-BASE2 - \"Gestione Trasvia - Regione Velmora\"");
  // Also: "&Fine" and "&?" are actions of the menu bar itself, not menus.
  ExpectSame(window_->menuBar()->actions(), app::MenuBar(), "menu bar");
}

TEST_F(MainWindowTest, MenuItemsRunTheirCommandAndTheWindowFollows) {
  EXPECT_EQ(window_->findChild<QLabel*>("database")->text().toStdString(), "Database: Nessuno");
  Action("about")->trigger();
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, shell_->AboutText());

  // The two "&Connetti" items are different commands: a file chooser, a dialog.
  ui.Clear();
  Action("db-connect-file")->trigger();
  Action("odbc-connect")->trigger();
  EXPECT_EQ(ui.fileTitles, std::vector<std::string>{"Selezione del Database"});
  EXPECT_EQ(ui.formTitles, std::vector<std::string>{"Selezione DataSource"});

  // A new database made and connected from the menu shows in the window.
  const std::string path = Path("menu.mdb");
  ui.QueueFile(path);
  Action("db-create")->trigger();
  ui.QueueFile(path);
  Action("db-connect-file")->trigger();
  EXPECT_EQ(window_->findChild<QLabel*>("database")->text().toStdString(),
            "Database: " + shell_->DatabaseLine());
  EXPECT_NE(shell_->DatabaseLine().find(path), std::string::npos);
}

TEST_F(MainWindowTest, ClosingAsksAndThenWritesTheSettings) {
  window_->show();
  ui.QueueAnswer(MsgResult::Cancel);
  EXPECT_FALSE(window_->close());
  EXPECT_TRUE(window_->isVisible());
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{"E' stata richiesta l'uscita da KVT-BASE2.\n\n"
                                                 "Intendi veramente uscire dal programma ?"});
  EXPECT_FALSE(std::filesystem::exists(Path("kvtbase.ini")));
  ui.QueueAnswer(MsgResult::Ok);  // "&Fine" from the menu closes the same way
  Action("exit")->trigger();
  EXPECT_FALSE(window_->isVisible());
  EXPECT_TRUE(std::filesystem::exists(Path("kvtbase.ini")));
}

}  // namespace
}  // namespace kvt::gui::test
