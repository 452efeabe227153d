// The Ui of the Qt window: message boxes, file dialogs, wait cursor and busy window, the
// progress band of the main window and the progress window, forms as real dialogs.
//
// Commands run on a worker thread (MainWindow::RunWork) while the GUI thread keeps
// painting. Each call is carried over to the GUI thread: questions, choosers and forms
// wait there for the user's answer; progress calls only record the new state, which the
// GUI thread shows at its next turn (so a command may report every row at no cost). Called
// on the GUI thread itself (start-up, the "&Fine" question) everything happens at once.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QThread>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>

#include "platform/ui.h"

class QCoreApplication;
class QLabel;
class QWidget;

namespace kvt::gui {

class BusyWindow;
class ProgressWindow;

// Qt widgets belong to their parent, which deletes them: the one place where we hand a
// new object over to Qt.
template <class T, class... Args>
T* MakeChild(Args&&... args) {
  return std::make_unique<T>(std::forward<Args>(args)...).release();
}

inline QString ToQ(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Qt's own texts (file dialogs, standard buttons) in Italian, like every text of ours,
// whatever the desktop's language; the default locale Italian too (dates in the choosers).
// False when the translations are not installed.
bool InstallItalianQtTexts(QCoreApplication& app);

// Before the QApplication: dates as Qt shows them from the system (the choosers' "Data di
// modifica") in Italian, whatever the desktop's language. The C library's locale is left
// to the user's environment.
void UseItalianDates();

// "Text|*.a;*.b|All|*.*||" as Qt name filters: "Text (*.a *.b)", "All (*)". Each keeps its
// description as written; the pattern part added for Qt is hidden in the dialog.
QStringList ConvertFilter(std::string_view filter);

// The key of the remembered folder for a chooser (see FileKind).
std::string FolderKey(const FileDialogSpec& spec, bool save);

// Caption of the elapsed time in the busy and progress windows, "Tempo trascorso 01:05".
QString ElapsedText(qint64 milliseconds);

class QtUi : public Ui {
 public:
  QtUi();
  ~QtUi() override;

  // The main window (parent of the dialogs) and its progress band; both may be null.
  void SetWindow(QWidget* window, QLabel* band);
  // Where the last folder of each kind of file is kept (the settings' own section); may be
  // null. Read and written on the GUI thread only.
  void SetFolderMemory(std::map<std::string, std::string>* folders) { folders_ = folders; }
  // A new command starts: an earlier request to stop is forgotten.
  void ResetCancel() { cancel_ = false; }
  // As "Annulla" does.
  void RequestCancel() { cancel_ = true; }
  // The progress window, when one is shown (tests, screenshots).
  ProgressWindow* progressWindow() const;

  MsgResult Message(MsgIcon icon, std::string_view text, std::string_view caption,
                    MsgButtons buttons) override;
  std::optional<std::string> OpenFile(const FileDialogSpec& spec) override;
  std::optional<std::string> SaveFile(const FileDialogSpec& spec) override;
  void BeginWait(bool busyWindow) override;
  void EndWait() override;
  void ShowProgressText(std::string_view text) override;
  void ProgressBegin(std::string_view caption) override;
  void ProgressCaption(std::string_view caption) override;
  void ProgressSet(int percent) override;
  void ProgressEnd() override;
  bool RunForm(Form& form) override;
  // The print view: print dialog, preview window, printing (print_view.cc).
  bool PrintReport(Report& report, PrintMode mode) override;

  void SetCancellable(bool cancellable) override;
  bool CancelRequested() override { return cancel_; }
  void ProgressPhase(int phase, int phases) override;
  MsgResult MessageWithDetail(MsgIcon icon, std::string_view text, std::string_view caption,
                              MsgButtons buttons, std::string_view detail) override;

  // Runs `f` on the GUI thread and waits for it (at once when already there). Every call
  // that shows a window goes through here.
  template <class F>
  void OnGui(F&& f) {
    if (QThread::currentThread() == bridge_->thread()) {
      f();
    } else {
      QMetaObject::invokeMethod(bridge_.get(), std::forward<F>(f), Qt::BlockingQueuedConnection);
    }
  }

 private:
  // What the progress calls asked for; shown by Apply on the GUI thread.
  struct State {
    int waitDepth = 0;
    bool busyWindow = false;
    std::string band;
    bool progressOpen = false;
    std::string caption;
    int percent = 0;
    int phase = 0, phases = 0;
    bool cancellable = false;
  };

  QWidget* Parent() const;
  std::optional<std::string> ChooseFile(const FileDialogSpec& spec, bool save);
  MsgResult ShowMessage(MsgIcon icon, std::string_view text, std::string_view caption,
                        MsgButtons buttons, std::string_view detail);
  template <class Change>
  void Update(Change change);
  void Apply();
  void ArrowCursor(bool on);

  QPointer<QWidget> window_;
  QPointer<QLabel> band_;
  QPointer<ProgressWindow> progress_;
  std::unique_ptr<QObject> bridge_;  // lives on the GUI thread: the target of our calls
  std::unique_ptr<BusyWindow> busy_;
  std::map<std::string, std::string>* folders_ = nullptr;
  std::atomic<bool> cancel_{false};

  std::mutex mutex_;
  State state_;
  bool pending_ = false;

  // GUI side: what is shown now.
  bool cursorSet_ = false;
  std::string bandShown_;

  // The print view (print_view.cc).
  bool printing_ = false;   // it holds a report
  bool landscape_ = false;  // the orientation last chosen in a print dialog
};

}  // namespace kvt::gui
