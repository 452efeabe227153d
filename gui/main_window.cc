#include "gui/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QCoreApplication>
#include <QEventLoop>
#include <QMenuBar>
#include <QThread>
#include <QVBoxLayout>

#include "app/commands.h"
#include "app/shell.h"
#include "gui/qt_ui.h"

namespace kvt::gui {
namespace {

// The action among `actions` whose caption, without access marks, is `caption`.
QAction* FindAction(const QList<QAction*>& actions, const QString& caption) {
  for (QAction* a : actions) {
    QString plain = ToQ(app::PlainCaption(a->text().toStdString()));
    if (!a->isSeparator() && (plain == caption || a->text() == caption)) return a;
  }
  return nullptr;
}

}  // namespace

MainWindow::MainWindow(app::Shell& shell, const app::Registry& registry, Ui& ui)
    : shell_(shell), registry_(registry), ui_(ui) {
  auto* central = MakeChild<QWidget>(this);
  auto* layout = MakeChild<QVBoxLayout>(central);
  layout->setContentsMargins(0, 0, 0, 0);
  database_ = MakeChild<QLabel>(central);
  database_->setObjectName(QStringLiteral("database"));
  database_->setAlignment(Qt::AlignCenter);
  database_->setWordWrap(true);
  database_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  band_ = MakeChild<QLabel>(central);
  band_->setObjectName(QStringLiteral("progressBand"));
  band_->setAlignment(Qt::AlignCenter);
  band_->setStyleSheet(QStringLiteral("background-color: #000080; color: white; padding: 4px;"));
  band_->hide();
  layout->addWidget(database_, 1);
  layout->addWidget(band_);
  setCentralWidget(central);
  BuildMenu();
  resize(900, 600);
  Refresh();
}

QAction* MainWindow::MakeAction(const app::MenuItem& item, QObject* owner) {
  auto* action = MakeChild<QAction>(ToQ(item.caption), owner);
  action->setObjectName(ToQ(item.command));
  action->setData(ToQ(item.command));
  action->setEnabled(registry_.Has(item.command));
  std::string id = item.command;
  connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
  return action;
}

void MainWindow::AddItems(QMenu* menu, const std::vector<app::MenuItem>& items) {
  for (const app::MenuItem& item : items) {
    switch (item.kind) {
      case app::MenuItem::Kind::Separator:
        menu->addSeparator();
        break;
      case app::MenuItem::Kind::Submenu:
        AddItems(menu->addMenu(ToQ(item.caption)), item.items);
        break;
      case app::MenuItem::Kind::Command:
        menu->addAction(MakeAction(item, menu));
        break;
    }
  }
}

void MainWindow::BuildMenu() {
  for (const app::MenuItem& item : app::MenuBar()) {
    if (item.kind == app::MenuItem::Kind::Submenu) {
      AddItems(menuBar()->addMenu(ToQ(item.caption)), item.items);
    } else if (item.kind == app::MenuItem::Kind::Command) {
      menuBar()->addAction(MakeAction(item, menuBar()));
    }
  }
}

bool MainWindow::RunWork(const std::function<void()>& work) {
  if (busy_) return false;
  busy_ = true;
  if (auto* qt = dynamic_cast<QtUi*>(&ui_)) qt->ResetCancel();
  menuBar()->setEnabled(false);
  QEventLoop loop;
  std::unique_ptr<QThread> worker(QThread::create(work));
  connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
  worker->start();
  loop.exec();
  // The program is being ended from outside while the work runs: it is asked to stop, and
  // its calls are still served until it has.
  if (!worker->isFinished()) {
    if (auto* qt = dynamic_cast<QtUi*>(&ui_)) qt->RequestCancel();
    while (!worker->wait(QDeadlineTimer(20))) QCoreApplication::processEvents();
  }
  worker->wait();  // "finished" is sent just before the thread has wholly ended
  menuBar()->setEnabled(true);
  busy_ = false;
  return true;
}

void MainWindow::RunCommand(const std::string& id) {
  const app::CommandFn* fn = registry_.Find(id);
  if (!fn) return;
  if (busy_) return;
  ui_.ShowProgressText("");  // what the last command left in the status line goes
  app::AppContext ctx{ui_, shell_, nullptr};
  if (!RunWork([&] { (*fn)(ctx); })) return;
  Refresh();
  if (shell_.exitRequested()) {
    closing_ = true;
    close();
  }
}

void MainWindow::Refresh() {
  if (QThread::currentThread() != thread()) {
    // The worker waits, so that the shell does not change while it is read.
    QMetaObject::invokeMethod(this, [this] { Refresh(); }, Qt::BlockingQueuedConnection);
    return;
  }
  setWindowTitle(ToQ(app::kMainTitle));
  database_->setText(ToQ("Database: " + shell_.DatabaseLine()));
}

void MainWindow::CloseWithoutAsking() {
  closing_ = true;
  close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (busy_) {  // the work ends first: stopped from its own window, or to its end
    event->ignore();
    return;
  }
  if (!closing_) {
    if (const app::CommandFn* exit = registry_.Find("exit")) {
      app::AppContext ctx{ui_, shell_, nullptr};
      (*exit)(ctx);
    }
    if (!shell_.exitRequested()) {
      event->ignore();
      return;
    }
    closing_ = true;
  }
  if (!shutDown_) {
    shutDown_ = true;
    shell_.Shutdown();
  }
  event->accept();
}

bool MainWindow::OpenMenu(const QStringList& path) {
  if (path.isEmpty()) return false;
  QAction* action = FindAction(menuBar()->actions(), path.first());
  if (!action || !action->menu()) return false;
  menuBar()->setActiveAction(action);
  QMenu* menu = action->menu();
  for (qsizetype i = 1; i < path.size(); ++i) {
    QAction* sub = FindAction(menu->actions(), path[i]);
    if (!sub) return false;
    menu->setActiveAction(sub);
    if (!sub->menu()) return true;
    sub->menu()->popup(menu->mapToGlobal(menu->actionGeometry(sub).topRight()));
    menu = sub->menu();
  }
  return true;
}

}  // namespace kvt::gui
