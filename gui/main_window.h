// The main window: the title, the menu bar built from the menu table (items whose command
// is not registered are disabled), the current database in the middle and the progress
// band at the bottom. Closing the window asks the "&Fine" question, then disconnects and
// writes the settings.
#pragma once

#include <QMainWindow>
#include <functional>
#include <string>

#include "app/menu.h"

class QLabel;
class QMenu;

namespace kvt {
class Ui;
}
namespace kvt::app {
class Registry;
class Shell;
}  // namespace kvt::app

namespace kvt::gui {

class MainWindow : public QMainWindow {
 public:
  MainWindow(app::Shell& shell, const app::Registry& registry, Ui& ui);

  QLabel* band() const { return band_; }
  // Runs one command by id (what a menu item does), through RunWork.
  void RunCommand(const std::string& id);
  // Runs `work` on a worker thread and returns when it has ended; meanwhile the window
  // keeps painting and its menu is disabled. False (nothing run) while other work runs.
  bool RunWork(const std::function<void()>& work);
  bool busy() const { return busy_; }
  // Title and window contents after a change of connection; from any thread.
  void Refresh();
  // Ends the program without asking (start-up could not go on).
  void CloseWithoutAsking();
  // Opens a menu and, below it, submenus by their plain captions (for screenshots).
  bool OpenMenu(const QStringList& path);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenu();
  void AddItems(QMenu* menu, const std::vector<app::MenuItem>& items);
  QAction* MakeAction(const app::MenuItem& item, QObject* owner);

  app::Shell& shell_;
  const app::Registry& registry_;
  Ui& ui_;
  QLabel* database_ = nullptr;
  QLabel* band_ = nullptr;
  bool busy_ = false;
  bool closing_ = false;
  bool shutDown_ = false;
};

}  // namespace kvt::gui
