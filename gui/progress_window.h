// The progress window of long work: the step's caption and bar, the whole job's phase and
// bar when it has phases, the time elapsed, and "Annulla" while the work can be stopped.
// Without "Annulla" it has no close button either, and Esc does nothing: work that cannot
// be stopped safely is not hidden as if it had been.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace kvt::gui {

class ProgressWindow : public QDialog {
 public:
  // `onCancel` runs (once) when the user asks to stop.
  ProgressWindow(QWidget* parent, std::function<void()> onCancel);

  void SetCaption(const QString& caption);
  // 0..100, or negative for work without a measure (the bar moves without a figure).
  void SetPercent(int percent);
  // Phase `phase` of `phases`; none when phases is 0.
  void SetPhase(int phase, int phases);
  void SetCancellable(bool cancellable);
  bool cancellable() const { return cancellable_; }

 protected:
  void reject() override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void RequestCancel();
  void ShowOverall();
  void Tick();

  std::function<void()> onCancel_;
  QLabel* caption_;
  QProgressBar* bar_;
  QLabel* phase_;
  QProgressBar* overall_;
  QLabel* elapsed_;
  QPushButton* cancel_;
  QElapsedTimer clock_;
  QTimer timer_;
  int percent_ = 0;
  int phaseNo_ = 0, phases_ = 0;
  bool cancellable_ = false;
  bool cancelled_ = false;
};

}  // namespace kvt::gui
