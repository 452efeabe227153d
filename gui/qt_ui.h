// The Ui of the Qt window: message boxes, file dialogs, wait cursor and busy window, the
// progress band of the main window and the progress dialog, forms as real dialogs.
//
// The busy window is repainted by a QTimer once a second. Commands run on the GUI thread,
// so the timer (like every repaint) is served whenever the command reports progress: each
// progress call lets Qt process its pending events, user input excluded.
#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <memory>

#include "platform/ui.h"

class QCoreApplication;
class QLabel;
class QProgressDialog;
class QWidget;

namespace kvt::gui {

class BusyWindow;

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
// whatever the desktop's language. False when the translations are not installed.
bool InstallItalianQtTexts(QCoreApplication& app);

// "Text|*.a;*.b|All|*.*||" as Qt name filters: "Text (*.a *.b)", "All (*)". Each keeps its
// description as written; the pattern part added for Qt is hidden in the dialog.
QStringList ConvertFilter(std::string_view filter);

class QtUi : public Ui {
 public:
  QtUi();
  ~QtUi() override;

  // The main window (parent of the dialogs) and its progress band; both may be null.
  void SetWindow(QWidget* window, QLabel* band);

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

 private:
  QWidget* Parent() const;
  std::optional<std::string> ChooseFile(const FileDialogSpec& spec, bool save);
  void Pump();

  QPointer<QWidget> window_;
  QPointer<QLabel> band_;
  QPointer<QProgressDialog> progress_;
  std::unique_ptr<BusyWindow> busy_;
  int waitDepth_ = 0;
  bool printing_ = false;   // the print view holds a report
  bool landscape_ = false;  // the orientation last chosen in a print dialog
};

}  // namespace kvt::gui
