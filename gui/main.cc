// kvtbase: with no argument the window; with a command, that command without a window
// (see cli/cli.h; printed reports become the --pdf file); with --screenshot FILE
// [--menu "Menu>Submenu" | --command ID] [--delay MS] [--after MS] [--file PATH]... the
// window, a menu opened or a command started (its file choosers answered with the given
// paths), and a picture of the screen taken --after MS later (700) saved to FILE.
#include <QApplication>
#include <QFileDialog>
#include <QIcon>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <clocale>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/shell.h"
#include "cli/cli.h"
#include "gui/main_window.h"
#include "gui/print_output.h"
#include "gui/qt_ui.h"

namespace {

struct Screenshot {
  QString file;
  QStringList menu;
  std::string command;  // run before the picture is taken (its dialog shows in it)
  int delayMs = 1500;
  int afterMs = 700;
  QStringList files;  // answers to the command's file choosers, in order
};

bool ParseMs(const std::string& text, int* out) {
  bool ok = false;
  *out = QString::fromStdString(text).toInt(&ok);
  return ok && *out >= 0;
}

std::optional<Screenshot> ParseScreenshot(const std::vector<std::string>& args) {
  Screenshot shot;
  for (size_t i = 2; i + 1 < args.size(); i += 2) {
    if (args[i] == "--menu") {
      shot.menu = QString::fromStdString(args[i + 1]).split(QLatin1Char('>'));
      for (QString& part : shot.menu) part = part.trimmed();
    } else if (args[i] == "--command") {
      shot.command = args[i + 1];
    } else if (args[i] == "--delay") {
      if (!ParseMs(args[i + 1], &shot.delayMs)) return std::nullopt;
    } else if (args[i] == "--after") {
      if (!ParseMs(args[i + 1], &shot.afterMs)) return std::nullopt;
    } else if (args[i] == "--file") {
      shot.files << QString::fromStdString(args[i + 1]);
    } else {
      return std::nullopt;
    }
  }
  if (args.size() < 2 || args.size() % 2 != 0) return std::nullopt;
  shot.file = QString::fromStdString(args[1]);
  return shot;
}

constexpr int kTitleBar = 24;

// Without a window manager windows have no frame and no title bar: draw them, so that the
// picture shows the captions as a desktop would.
void DrawFrame(QPainter& p, QWidget* w) {
  QRect r = w->frameGeometry();
  QRect bar(r.left() - 1, r.top() - kTitleBar, r.width() + 2, kTitleBar);
  p.fillRect(bar, QColor(0, 0, 128));
  p.setPen(Qt::white);
  p.drawText(bar.adjusted(8, 0, -8, 0), Qt::AlignVCenter | Qt::AlignLeft, w->windowTitle());
  p.setPen(QColor(0, 0, 128));
  p.drawRect(r.adjusted(-1, -1, 0, 0));
}

void DrawFrames(QPixmap& picture, QWidget* window) {
  QPainter p(&picture);
  DrawFrame(p, window);
  if (QWidget* dialog = QApplication::activeModalWidget()) DrawFrame(p, dialog);
}

// Answers each file chooser that opens with the next of `files`, as a user typing the path.
void AnswerChoosers(QObject* owner, QStringList files) {
  auto* timer = kvt::gui::MakeChild<QTimer>(owner);
  timer->setInterval(50);
  QPointer<QWidget> answered;
  QObject::connect(timer, &QTimer::timeout, timer, [timer, files, answered]() mutable {
    auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!chooser || chooser == answered || !chooser->isVisible() || files.isEmpty()) return;
    answered = chooser;
    chooser->selectFile(files.takeFirst());
    static_cast<QDialog*>(chooser)->accept();  // the dialog's own checks run
    if (files.isEmpty()) timer->stop();
  });
  timer->start();
}

void TakeScreenshot(kvt::gui::MainWindow& window, const Screenshot& shot) {
  if (!shot.files.isEmpty()) AnswerChoosers(&window, shot.files);
  if (!shot.command.empty()) {
    // The picture is taken from inside the command's own dialog loop.
    QTimer::singleShot(0, &window, [&window, shot] { window.RunCommand(shot.command); });
  } else if (!shot.menu.isEmpty() && !window.OpenMenu(shot.menu))
    std::cerr << "menu non trovato: " << shot.menu.join(QStringLiteral(" > ")).toStdString()
              << "\n";
  QTimer::singleShot(shot.afterMs, &window, [&window, shot] {
    QPixmap picture = window.screen()->grabWindow(0);
    if (picture.isNull()) picture = window.grab();
    DrawFrames(picture, &window);
    if (!picture.save(shot.file, "PNG")) std::cerr << "impossibile salvare l'immagine\n";
    QCoreApplication::exit(0);
  });
}

int RunWindow(int argc, char** argv, const std::optional<Screenshot>& shot) {
  kvt::gui::UseItalianDates();
  QApplication app(argc, argv);
  // The desktop entry and icon installed with the program (dist/): the desktop matches the
  // window to its menu entry, and the window shows the icon where the theme has it.
  QApplication::setDesktopFileName(QStringLiteral("kvtbase"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("kvtbase")));
  // QApplication adopts the user's locale; numbers in files, SQL and messages are always
  // written and read with a decimal point, so the C conventions must stay in force.
  std::setlocale(LC_NUMERIC, "C");
  kvt::gui::InstallItalianQtTexts(app);
  kvt::gui::QtUi ui;
  kvt::app::Shell shell(ui, kvt::SettingsFile(kvt::SettingsFile::DefaultPath()));
  kvt::app::Registry registry;
  kvt::app::RegisterAllCommands(registry);
  kvt::gui::MainWindow window(shell, registry, ui);
  ui.SetWindow(&window, window.band());
  ui.SetFolderMemory(&shell.settings().folders);
  shell.SetOnChange([&window] { window.Refresh(); });
  window.move(0, shot ? kTitleBar : 0);  // room for the drawn title bar
  window.show();
  int status = 0;
  QTimer::singleShot(0, &window, [&] {
    bool started = false;
    window.RunWork([&] { started = shell.Startup(); });
    if (started) return;
    status = 1;
    window.CloseWithoutAsking();
  });
  if (shot)
    QTimer::singleShot(shot->delayMs, &window, [&window, &shot] { TakeScreenshot(window, *shot); });
  int loop = app.exec();
  return status != 0 ? status : loop;
}

// One command without a window. A report it prints is drawn by Qt into the --pdf file; Qt
// starts only then, on the offscreen platform: no window is ever shown, so no display is
// needed.
int RunCommand(char** argv, const std::vector<std::string>& args) {
  int qtArgc = 1;
  std::unique_ptr<QGuiApplication> app;
  auto writer = [&](kvt::Report& report, const std::string& path) {
    if (!QCoreApplication::instance()) {
      qputenv("QT_QPA_PLATFORM", "offscreen");
      // Qt's own notices (a missing runtime folder, ...) mean nothing to the user of a
      // command; only its errors are let through.
      qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
        if (type == QtCriticalMsg || type == QtFatalMsg) std::cerr << msg.toStdString() << "\n";
      });
      app = std::make_unique<QGuiApplication>(qtArgc, argv);
      std::setlocale(LC_NUMERIC, "C");  // as in RunWindow
    }
    return kvt::gui::WriteDefaultPdf(report, path);
  };
  return kvt::cli::Main(args, std::cout, std::cerr, writer);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return RunWindow(argc, argv, std::nullopt);
  if (args[0] != "--screenshot") return RunCommand(argv, args);
  std::optional<Screenshot> shot = ParseScreenshot(args);
  if (!shot) {
    std::cerr << "Uso: kvtbase --screenshot FILE.png [--menu \"Menu>Sottomenu\" | --command ID]"
                 " [--delay MS] [--after MS] [--file PERCORSO]...\n";
    return 2;
  }
  return RunWindow(argc, argv, shot);
}
