// kvtbase: with no argument the window; with a command, that command without a window
// (see cli/cli.h); with --screenshot FILE [--menu "Menu>Submenu"] [--delay MS] the window,
// a menu opened, and a picture of the screen saved to FILE.
#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/shell.h"
#include "cli/cli.h"
#include "gui/main_window.h"
#include "gui/qt_ui.h"

namespace {

struct Screenshot {
  QString file;
  QStringList menu;
  int delayMs = 1500;
};

std::optional<Screenshot> ParseScreenshot(const std::vector<std::string>& args) {
  Screenshot shot;
  for (size_t i = 1; i + 1 < args.size(); i += 2) {
    if (args[i] == "--menu") {
      shot.menu = QString::fromStdString(args[i + 1]).split(QLatin1Char('>'));
      for (QString& part : shot.menu) part = part.trimmed();
    } else if (args[i] == "--delay") {
      shot.delayMs = std::stoi(args[i + 1]);
    } else {
      return std::nullopt;
    }
  }
  if (args.size() < 2 || args.size() % 2 != 0) return std::nullopt;
  shot.file = QString::fromStdString(args[1]);
  return shot;
}

void TakeScreenshot(kvt::gui::MainWindow& window, const Screenshot& shot) {
  if (!shot.menu.isEmpty() && !window.OpenMenu(shot.menu))
    std::cerr << "menu non trovato: " << shot.menu.join(QStringLiteral(" > ")).toStdString()
              << "\n";
  QTimer::singleShot(700, &window, [&window, shot] {
    QPixmap picture = window.screen()->grabWindow(0);
    if (picture.isNull()) picture = window.grab();
    if (!picture.save(shot.file, "PNG")) std::cerr << "impossibile salvare l'immagine\n";
    QCoreApplication::exit(0);
  });
}

int RunWindow(int argc, char** argv, const std::optional<Screenshot>& shot) {
  QApplication app(argc, argv);
  kvt::gui::QtUi ui;
  kvt::app::Shell shell(ui, kvt::SettingsFile(kvt::SettingsFile::DefaultPath()));
  kvt::app::Registry registry;
  kvt::app::RegisterAllCommands(registry);
  kvt::gui::MainWindow window(shell, registry, ui);
  ui.SetWindow(&window, window.band());
  shell.SetOnChange([&window] { window.Refresh(); });
  window.move(0, 0);
  window.show();
  int status = 0;
  QTimer::singleShot(0, &window, [&] {
    if (shell.Startup()) return;
    status = 1;
    window.CloseWithoutAsking();
  });
  if (shot)
    QTimer::singleShot(shot->delayMs, &window, [&window, &shot] { TakeScreenshot(window, *shot); });
  int loop = app.exec();
  return status != 0 ? status : loop;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return RunWindow(argc, argv, std::nullopt);
  if (args[0] != "--screenshot") return kvt::cli::Main(args, std::cout, std::cerr);
  std::optional<Screenshot> shot = ParseScreenshot(args);
  if (!shot) {
    std::cerr << "Uso: kvtbase --screenshot FILE.png [--menu \"Menu>Sottomenu\"] [--delay MS]\n";
    return 2;
  }
  return RunWindow(argc, argv, shot);
}
