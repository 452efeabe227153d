// Long work run from the window: the event loop keeps turning, the progress window shows
// the step, the phase and the time, "Annulla" reaches the command only where it is
// offered; a refusal's detail is folded in its box; choosers remember their folders.
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include "app/commands.h"
#include "app/shell.h"
#include "gui/main_window.h"
#include "gui/progress_window.h"
#include "gui/qt_ui.h"
#include "gui/answer.h"
#include "support/engines.h"

namespace kvt::gui::test {
namespace {

using namespace std::chrono_literals;

class LongWorkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    shell_ = std::make_unique<app::Shell>(ui, SettingsFile(Path("kvtbase.ini")));
    window_ = std::make_unique<MainWindow>(*shell_, registry_, ui);
    ui.SetWindow(window_.get(), window_->band());
    window_->show();
  }
  void TearDown() override {
    window_.reset();
    shell_.reset();
  }
  static std::string Path(const std::string& name) { return kvt::test::TempDir() + "/" + name; }
  QString Text(const char* name) {
    auto* w = ui.progressWindow();
    auto* label = w ? w->findChild<QLabel*>(name) : nullptr;
    return label && label->isVisible() ? label->text() : QString();
  }

  QtUi ui;
  app::Registry registry_;
  std::unique_ptr<app::Shell> shell_;
  std::unique_ptr<MainWindow> window_;
};

TEST_F(LongWorkTest, WindowKeepsTurningWhileACommandWorksAndCannotBeClosedUnderIt) {
  std::thread::id worker;
  registry_.Add("long", [&worker](app::AppContext& ctx) {
    worker = std::this_thread::get_id();
    WaitScope wait(ctx.ui);
    ProgressScope progress(ctx.ui, "Lavoro senza interruzione");
    for (int i = 0; i < 50; ++i) {
      std::this_thread::sleep_for(10ms);
      progress.Set(i + 1, 50);
    }
  });
  int ticks = 0, paints = 0;
  bool closable = true, cancelShown = true, stillThere = true, menuOff = false;
  QString caption;
  Watcher watch([&] {
    ++ticks;
    window_->update();
    window_->repaint();
    ++paints;
    ProgressWindow* w = ui.progressWindow();
    if (!w || !w->isVisible()) return;
    caption = w->findChild<QLabel*>("progressCaption")->text();
    closable = w->windowFlags().testFlag(Qt::WindowCloseButtonHint);
    cancelShown = w->findChild<QPushButton*>("progressCancel")->isVisible();
    menuOff = !window_->menuBar()->isEnabled();
    w->close();  // refused: the work cannot be stopped
    stillThere = w->isVisible();
    window_->close();  // refused too while the work runs
  });
  window_->RunCommand("long");
  EXPECT_NE(worker, std::this_thread::get_id());
  EXPECT_GE(ticks, 10);  // 500 ms of work: the timer kept firing on the GUI thread
  EXPECT_EQ(caption, QStringLiteral("Lavoro senza interruzione"));
  EXPECT_FALSE(closable);
  EXPECT_FALSE(cancelShown);
  EXPECT_TRUE(stillThere);
  EXPECT_TRUE(menuOff);
  EXPECT_TRUE(window_->isVisible());
  EXPECT_TRUE(window_->menuBar()->isEnabled());
  EXPECT_EQ(ui.progressWindow(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(LongWorkTest, AnnullaStopsTheCommandThatOffersItAndItsAnswerFollows) {
  bool stopped = false;
  registry_.Add("stoppable", [&stopped](app::AppContext& ctx) {
    {
      ProgressScope progress(ctx.ui, "Inserimento Corse", 2, 5, /*cancellable=*/true);
      for (int i = 0; i < 1000 && !stopped; ++i) {
        progress.Set(i % 100, 100);
        stopped = progress.Stopped();
        std::this_thread::sleep_for(5ms);
      }
    }
    if (stopped) ctx.ui.Info(kCancelledMessage);
  });
  QString phase, answer, elapsed;
  int overall = -1;
  Watcher watch([&] {
    if (auto* box = Shown<QMessageBox>()) {
      answer = box->text();
      box->accept();
      return;
    }
    ProgressWindow* w = ui.progressWindow();
    if (!w || !w->isVisible() || !w->cancellable()) return;
    phase = Text("progressPhase");
    elapsed = Text("progressElapsed");
    overall = w->findChild<QProgressBar*>("progressOverall")->value();
    auto* cancel = w->findChild<QPushButton*>("progressCancel");
    if (cancel->isVisible() && cancel->isEnabled()) cancel->click();
  });
  window_->RunCommand("stoppable");
  EXPECT_TRUE(stopped);
  EXPECT_EQ(phase, QStringLiteral("Fase 2 di 5"));
  EXPECT_GE(overall, 20);  // phase 1 of 5 done
  EXPECT_LT(overall, 40);
  EXPECT_EQ(elapsed, QStringLiteral("Tempo trascorso 00:00"));
  EXPECT_EQ(answer, QStringLiteral("Operazione annullata: il database non è stato modificato."));
  // The next command starts without the request.
  stopped = false;
  registry_.Add("check", [&stopped](app::AppContext& ctx) { stopped = ctx.ui.CancelRequested(); });
  window_->RunCommand("check");
  EXPECT_FALSE(stopped);
}

TEST_F(LongWorkTest, RefusalDetailIsFoldedInTheBoxAndTheQuestionKeepsItsText) {
  QString text, detail;
  Watcher watch([&] {
    auto* box = Shown<QMessageBox>();
    if (!box) return;
    text = box->text();
    detail = box->detailedText();
    box->button(QMessageBox::Cancel)->click();
  });
  MsgResult answer = MsgResult::Ok;
  window_->RunWork([&] {
    answer = ui.MessageWithDetail(MsgIcon::Stop, "Vuoi salvare il report ?", kAppCaption,
                                  MsgButtons::OkCancel, "RIGA 3 Oggetto <fermata>\n...");
  });
  EXPECT_EQ(answer, MsgResult::Cancel);
  EXPECT_EQ(text, QStringLiteral("Vuoi salvare il report ?"));
  EXPECT_EQ(detail, QStringLiteral("RIGA 3 Oggetto <fermata>\n..."));
}

// The status line keeps what a command left there (the report just saved) until the next
// command starts.
TEST_F(LongWorkTest, StatusLineKeepsTheLastWordUntilTheNextCommand) {
  registry_.Add("saved", [](app::AppContext& ctx) {
    ctx.ui.ShowProgressText("Report degli errori salvato in /tmp/ERRORI.TXT");
  });
  registry_.Add("other", [](app::AppContext&) {});
  window_->RunCommand("saved");
  EXPECT_EQ(window_->band()->text(), QStringLiteral("Report degli errori salvato in /tmp/ERRORI.TXT"));
  EXPECT_TRUE(window_->band()->isVisible());
  window_->RunCommand("other");
  EXPECT_FALSE(window_->band()->isVisible());
}

// Opens a chooser through a fresh program (shell and Ui on the settings file), notes the
// folder it opens in and picks `pick` (or cancels), then ends the program.
QString ChooseAndRestart(const std::string& ini, const FileDialogSpec& spec, QString pick) {
  QtUi ui;
  app::Shell shell(ui, SettingsFile(ini));
  shell.LoadSettings();
  ui.SetFolderMemory(&shell.settings().folders);
  QString openedIn;
  Watcher watch([&] {
    QFileDialog* chooser = Shown<QFileDialog>();
    if (!chooser) return;
    if (openedIn.isEmpty()) openedIn = chooser->directory().absolutePath();
    if (pick.isEmpty()) {
      static_cast<QDialog*>(chooser)->reject();
    } else {
      Choose(chooser, pick);
    }
  });
  ui.OpenFile(spec);
  shell.Shutdown();
  return openedIn;
}

TEST(FolderMemoryTest, ChoosersOpenWhereTheirKindWasLastChosenAfterARestart) {
  const std::string dir = kvt::test::TempDir();
  const std::string batch = dir + "/lotto";
  std::filesystem::create_directories(batch);
  std::ofstream(batch + "/c1.txt") << "x";
  const std::string ini = dir + "/folders.ini";
  const std::string key =
      "; KVT-BASE2 settings\n[Software\\KVTBASE\\KVTBASE\\1.00]\nDatabase=\nDsnOdbc=\n"
      "RowSzAlfa=25\nRowSzBlob=1\nDirectory=/srv/kvt\n";
  std::ofstream(ini) << key;
  FileDialogSpec communication;
  communication.title = "Importazione";
  communication.filter = "File di testo (*.txt)|*.txt||";
  communication.defaultExt = "TXT";
  ChooseAndRestart(ini, communication, QString::fromStdString(batch + "/c1.txt"));
  // Next run: the communication chooser opens in the batch folder, a database chooser does
  // not, and a folder asked for explicitly wins.
  EXPECT_EQ(ChooseAndRestart(ini, communication, {}).toStdString(), batch);
  FileDialogSpec database = communication;
  database.defaultExt = "MDB";
  EXPECT_EQ(ChooseAndRestart(ini, database, {}), QDir::currentPath());
  FileDialogSpec report = communication;
  report.kind = FileKind::Report;
  report.folder = dir;
  EXPECT_EQ(ChooseAndRestart(ini, report, {}).toStdString(), dir);
  std::ifstream in(ini);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, key + "\n[KVT-BASE2 Cartelle]\nComunicazioni=" + batch + "\n");
}

// A chooser that never gets its answer fails the test that waits for it, and is closed:
// the run goes on instead of hanging.
void ChooserLeftUnanswered() {
  QtUi ui;
  Watcher idle([] {}, {}, 200ms);
  FileDialogSpec spec;
  spec.title = "Importazione";
  EXPECT_EQ(ui.OpenFile(spec), std::nullopt);
  EXPECT_TRUE(idle.expired());
}

TEST(FolderMemoryTest, AnUnansweredChooserFailsInsteadOfHanging) {
  EXPECT_NONFATAL_FAILURE(ChooserLeftUnanswered(), "no answer within 200 ms");
  EXPECT_EQ(Shown<QFileDialog>(), nullptr);
}

TEST(FolderMemoryTest, KindsOfFileByTheirChooser) {
  FileDialogSpec spec;
  spec.defaultExt = "MDB";
  EXPECT_EQ(FolderKey(spec, true), "Database");
  spec.defaultExt = "TXT";
  EXPECT_EQ(FolderKey(spec, false), "Comunicazioni");
  EXPECT_EQ(FolderKey(spec, true), "Esportazioni");
  spec.kind = FileKind::Report;
  EXPECT_EQ(FolderKey(spec, true), "Report");
}

// The choosers' dates ("7 dic", not "7 Dec") follow the system locale as Qt sees it,
// everything else of Qt the default one; the C library's numbers stay C.
TEST(LocaleTest, DatesOfTheWindowAreItalian) {
  const QDate day(2026, 12, 7);
  EXPECT_EQ(QLocale::system().toString(day, QLocale::ShortFormat), QStringLiteral("07/12/26"));
  EXPECT_EQ(QLocale().toString(day, QStringLiteral("d MMM yyyy")), QStringLiteral("7 dic 2026"));
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%.1f", 1.5);
  EXPECT_STREQ(buffer, "1.5");
}

}  // namespace
}  // namespace kvt::gui::test
