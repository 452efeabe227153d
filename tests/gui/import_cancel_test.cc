// "Annulla" pressed in the real progress window during the second pass of an import, on
// both engines: the tables are as before and the box says so.
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>
#include "app/commands.h"
#include "app/shell.h"
#include "comms/import_fixture.h"
#include "gui/main_window.h"
#include "gui/progress_window.h"
#include "gui/qt_ui.h"
#include "gui/answer.h"

namespace kvt::gui::test {
namespace {

// The window's Ui, with one step made slow: at `caption` the work waits (up to 10 s) for
// the user's "Annulla", as a large step would give them time to press it.
class SlowStep : public Ui {
 public:
  SlowStep(QtUi& ui, std::string caption) : ui_(ui), caption_(std::move(caption)) {}
  MsgResult Message(MsgIcon i, std::string_view t, std::string_view c, MsgButtons b) override {
    return ui_.Message(i, t, c, b);
  }
  std::optional<std::string> OpenFile(const FileDialogSpec& s) override { return ui_.OpenFile(s); }
  std::optional<std::string> SaveFile(const FileDialogSpec& s) override { return ui_.SaveFile(s); }
  void BeginWait(bool busy) override { ui_.BeginWait(busy); }
  void EndWait() override { ui_.EndWait(); }
  void ShowProgressText(std::string_view t) override { ui_.ShowProgressText(t); }
  void ProgressBegin(std::string_view c) override { ui_.ProgressBegin(c); }
  void ProgressCaption(std::string_view c) override {
    ui_.ProgressCaption(c);
    if (c != caption_) return;
    for (int i = 0; i < 1000 && !ui_.CancelRequested(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  void ProgressSet(int p) override { ui_.ProgressSet(p); }
  void ProgressEnd() override { ui_.ProgressEnd(); }
  bool RunForm(Form& f) override { return ui_.RunForm(f); }
  void SetCancellable(bool c) override { ui_.SetCancellable(c); }
  bool CancelRequested() override { return ui_.CancelRequested(); }
  void ProgressPhase(int p, int n) override { ui_.ProgressPhase(p, n); }
  bool PrintReport(Report& r, PrintMode m) override { return ui_.PrintReport(r, m); }

 private:
  QtUi& ui_;
  std::string caption_;
};

class ImportCancelTest : public comms::test::CommsDbTest {};

TEST_P(ImportCancelTest, AnnullaInTheSecondPassLeavesEveryTableAsItWas) {
  ASSERT_TRUE(Import(Generate(Options(1), "first.txt")));
  comms::GeneratorOptions o = Options(2);
  o.primacom = false;
  o.azzera = true;
  o.idBase = 1000;
  o.refTrips = 2;
  const std::string second = Generate(o, "second.txt");
  const std::vector<long long> before = TableCounts();

  QtUi qt;
  app::Shell shell(qt, SettingsFile(kvt::test::TempDir() + "/gui.ini"));
  app::Registry registry;
  SlowStep slow(qt, "Inserimento Orari");
  registry.Add("import", [&](app::AppContext&) { comms::ImportCommunication(db(), slow); });
  MainWindow window(shell, registry, qt);
  qt.SetWindow(&window, window.band());
  window.show();
  QString caption, answer;
  Watcher watch(
      [&] {
        if (auto* chooser = Shown<QFileDialog>()) {
          Choose(chooser, QString::fromStdString(second));
        } else if (auto* box = Shown<QMessageBox>()) {
          answer = box->text();
          box->accept();
        } else if (ProgressWindow* w = qt.progressWindow()) {
          auto* cancel = w->findChild<QPushButton*>("progressCancel");
          caption = w->findChild<QLabel*>("progressCaption")->text();
          if (caption == QStringLiteral("Inserimento Orari") && cancel->isVisible() &&
              cancel->isEnabled())
            cancel->click();
        }
      },
      [&] { qt.RequestCancel(); });
  window.RunCommand("import");
  EXPECT_EQ(caption, QStringLiteral("Inserimento Orari"));
  EXPECT_EQ(answer.toStdString(), kCancelledMessage);
  EXPECT_EQ(TableCounts(), before);
}

KVT_INSTANTIATE_ENGINES(ImportCancelTest);

}  // namespace
}  // namespace kvt::gui::test
