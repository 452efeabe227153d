#include "gui/progress_window.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/qt_ui.h"

namespace kvt::gui {

ProgressWindow::ProgressWindow(QWidget* parent, std::function<void()> onCancel)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      onCancel_(std::move(onCancel)) {
  setObjectName(QStringLiteral("progressWindow"));
  setWindowTitle(ToQ(kAppCaption));
  setWindowModality(Qt::WindowModal);
  auto* layout = MakeChild<QVBoxLayout>(this);
  caption_ = MakeChild<QLabel>(this);
  caption_->setObjectName(QStringLiteral("progressCaption"));
  bar_ = MakeChild<QProgressBar>(this);
  bar_->setObjectName(QStringLiteral("progressBar"));
  bar_->setRange(0, 100);
  phase_ = MakeChild<QLabel>(this);
  phase_->setObjectName(QStringLiteral("progressPhase"));
  overall_ = MakeChild<QProgressBar>(this);
  overall_->setObjectName(QStringLiteral("progressOverall"));
  overall_->setRange(0, 100);
  auto* bottom = MakeChild<QHBoxLayout>();
  elapsed_ = MakeChild<QLabel>(this);
  elapsed_->setObjectName(QStringLiteral("progressElapsed"));
  cancel_ = MakeChild<QPushButton>(QStringLiteral("Annulla"), this);
  cancel_->setObjectName(QStringLiteral("progressCancel"));
  cancel_->setAutoDefault(false);
  bottom->addWidget(elapsed_, 1);
  bottom->addWidget(cancel_);
  layout->addWidget(caption_);
  layout->addWidget(bar_);
  layout->addWidget(phase_);
  layout->addWidget(overall_);
  layout->addLayout(bottom);
  phase_->hide();
  overall_->hide();
  cancel_->hide();
  setMinimumWidth(420);
  connect(cancel_, &QPushButton::clicked, this, [this] { RequestCancel(); });
  clock_.start();
  timer_.setInterval(1000);
  connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
  timer_.start();
  Tick();
}

void ProgressWindow::Tick() {
  if (!cancelled_) elapsed_->setText(ElapsedText(clock_.elapsed()));
}

void ProgressWindow::SetCaption(const QString& caption) {
  caption_->setText(caption);
}

void ProgressWindow::SetPercent(int percent) {
  percent_ = std::min(percent, 100);
  if (percent_ < 0) {
    bar_->setRange(0, 0);
  } else {
    bar_->setRange(0, 100);
    bar_->setValue(percent_);
  }
  ShowOverall();
}

void ProgressWindow::SetPhase(int phase, int phases) {
  phaseNo_ = phase;
  phases_ = phases;
  phase_->setVisible(phases > 0);
  overall_->setVisible(phases > 0);
  ShowOverall();
}

void ProgressWindow::ShowOverall() {
  if (phases_ <= 0) return;
  const int phase = std::clamp(phaseNo_, 1, phases_);
  phase_->setText(QStringLiteral("Fase %1 di %2").arg(phase).arg(phases_));
  overall_->setValue(((phase - 1) * 100 + std::max(percent_, 0)) / phases_);
}

void ProgressWindow::SetCancellable(bool cancellable) {
  if (cancellable == cancellable_) return;
  cancellable_ = cancellable;
  cancel_->setVisible(cancellable && !cancelled_);
  const bool shown = isVisible();
  setWindowFlag(Qt::WindowCloseButtonHint, cancellable);
  if (shown) show();  // a change of flags hides the window
}

void ProgressWindow::RequestCancel() {
  if (!cancellable_ || cancelled_) return;
  cancelled_ = true;
  cancel_->setEnabled(false);
  elapsed_->setText(QStringLiteral("Annullamento in corso ..."));
  if (onCancel_) onCancel_();
}

void ProgressWindow::reject() {
  RequestCancel();  // Esc: the window stays until the work has stopped
}

void ProgressWindow::closeEvent(QCloseEvent* event) {
  RequestCancel();
  event->ignore();
}

}  // namespace kvt::gui
