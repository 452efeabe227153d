// Answering the window's dialogs from a test, as a user would, from the GUI thread's event
// loop. Every wait has a bound: a dialog that never comes, or never takes its answer,
// fails the test and is closed, instead of leaving the test run hanging.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>

#include <gtest/gtest.h>

namespace kvt::gui::test {

inline constexpr std::chrono::milliseconds kAnswerBound{30000};

// The dialog of type T shown now, looked for among the windows (the last one opened)
// rather than as the active modal widget: a window an earlier test left behind, or the
// platform's idea of activation, may hold that place.
template <class T>
T* Shown() {
  T* found = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* t = dynamic_cast<T*>(w); t && t->isVisible()) found = t;
  }
  return found;
}

// Closes every dialog still shown: what a test that gave up leaves behind.
inline void RejectEveryDialog() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible()) d->reject();
  }
}

// Types `path` in "Nome del file" and confirms. QFileDialog::selectFile leaves the name
// field alone while it has the keyboard focus (as it has as soon as the chooser is
// active), so a chooser answered that way would refuse the empty name and stay open.
inline void Choose(QFileDialog* chooser, const QString& path) {
  if (auto* name = chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
    name->setText(path);
  static_cast<QDialog*>(chooser)->accept();
}

// Calls `step` every 20 ms on the GUI thread while the object lives. After `bound` it
// records a failure, calls `giveUp` (to stop the work the test waits for) and closes the
// dialogs shown, at every further tick, until the test's wait returns.
class Watcher {
 public:
  explicit Watcher(std::function<void()> step, std::function<void()> giveUp = {},
                   std::chrono::milliseconds bound = kAnswerBound)
      : step_(std::move(step)), giveUp_(std::move(giveUp)) {
    deadline_.start();
    QObject::connect(&timer_, &QTimer::timeout, [this, bound] {
      if (deadline_.elapsed() < bound.count()) {
        step_();
        return;
      }
      if (!expired_) ADD_FAILURE() << "no answer within " << bound.count() << " ms";
      expired_ = true;
      if (giveUp_) giveUp_();
      RejectEveryDialog();
    });
    timer_.start(20);
  }
  bool expired() const { return expired_; }

 private:
  std::function<void()> step_, giveUp_;
  QElapsedTimer deadline_;
  QTimer timer_;
  bool expired_ = false;
};

// Runs `step` once on the dialog of type T as soon as it shows; gives up (a failure, the
// dialogs closed) after `bound`.
template <class T>
void WhenShown(std::function<void(T*)> step, std::chrono::milliseconds bound = kAnswerBound) {
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  auto poll = std::make_shared<std::function<void()>>();
  *poll = [poll, step, clock, bound] {
    if (T* w = Shown<T>()) {
      *poll = nullptr;  // the function held itself: let it go once it has run
      step(w);
      return;
    }
    if (clock->elapsed() >= bound.count()) {
      ADD_FAILURE() << "the dialog awaited did not show within " << bound.count() << " ms";
      *poll = nullptr;
      RejectEveryDialog();
      return;
    }
    QTimer::singleShot(10, *poll);
  };
  QTimer::singleShot(0, *poll);
}

}  // namespace kvt::gui::test
