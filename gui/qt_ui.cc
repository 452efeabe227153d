#include "gui/qt_ui.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QTranslator>

#include <QDir>
#include <QFileInfo>
#include <QThread>

#include "gui/form_dialog.h"
#include "gui/progress_window.h"

namespace kvt::gui {

// A small window that shows, while a long operation runs, how long it has been running.
class BusyWindow : public QWidget {
 public:
  BusyWindow() : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setFixedSize(320, 90);
    setAttribute(Qt::WA_ShowWithoutActivating);
    timer_.setInterval(1000);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { update(); });
  }

  void Start(QWidget* over) {
    clock_.start();
    if (over) move(over->geometry().center() - rect().center());
    show();
    raise();
    timer_.start();
  }
  void Stop() {
    timer_.stop();
    hide();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), QColor(0, 0, 128));
    p.setPen(Qt::white);
    QString text = QStringLiteral("Elaborazione in corso ...\n\n") +
                   ElapsedText(clock_.isValid() ? clock_.elapsed() : 0);
    p.drawText(rect(), Qt::AlignCenter, text);
  }

 private:
  QTimer timer_;
  QElapsedTimer clock_;
};

void UseItalianDates() {
  // Qt reads the environment once, at the first use of the system locale.
  const QByteArray previous = qgetenv("LC_TIME");
  const bool had = qEnvironmentVariableIsSet("LC_TIME");
  const QByteArray all = qgetenv("LC_ALL");
  qunsetenv("LC_ALL");
  qputenv("LC_TIME", "it_IT.UTF-8");
  (void)QLocale::system().name();
  if (had) {
    qputenv("LC_TIME", previous);
  } else {
    qunsetenv("LC_TIME");
  }
  if (!all.isNull()) qputenv("LC_ALL", all);
}

QString ElapsedText(qint64 milliseconds) {
  const qint64 s = milliseconds / 1000;
  return QStringLiteral("Tempo trascorso %1:%2")
      .arg(s / 60, 2, 10, QChar('0'))
      .arg(s % 60, 2, 10, QChar('0'));
}

bool InstallItalianQtTexts(QCoreApplication& app) {
  // Dates and names of the choosers; the numbers of files and SQL follow the C library's
  // locale, which the window keeps at "C".
  QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
  auto* translator = MakeChild<QTranslator>(&app);
  if (!translator->load(QLocale(QLocale::Italian, QLocale::Italy), QStringLiteral("qtbase"),
                        QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    return false;
  return QCoreApplication::installTranslator(translator);
}

QStringList ConvertFilter(std::string_view filter) {
  QStringList out;
  QStringList parts = ToQ(filter).split(QLatin1Char('|'));
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].isEmpty() && parts[i + 1].isEmpty()) break;
    QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& p : patterns) {
      p = p.trimmed();
      if (p == QLatin1String("*.*")) p = QStringLiteral("*");  // every file, dot or not
    }
    out << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
  }
  return out;
}

namespace {

// Message lines are composed to be read whole (the system line of "&?", a path): the box is
// made wide enough for its longest line, within reason, instead of wrapping it.
void WidenToLongestLine(QMessageBox& box) {
  auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
  if (!label) return;
  int widest = 0;
  for (const QString& line : box.text().split(QLatin1Char('\n')))
    widest = std::max(widest, label->fontMetrics().horizontalAdvance(line));
  label->setMinimumWidth(std::min(widest + 8, 760));
}

}  // namespace

std::string FolderKey(const FileDialogSpec& spec, bool save) {
  FileKind kind = spec.kind;
  if (kind == FileKind::Automatic) {
    QString ext = ToQ(spec.defaultExt).toLower();
    if (ext.endsWith(QLatin1String("mdb"))) {
      kind = FileKind::Database;
    } else {
      kind = save ? FileKind::Export : FileKind::Communication;
    }
  }
  switch (kind) {
    case FileKind::Communication:
      return "Comunicazioni";
    case FileKind::Report:
      return "Report";
    case FileKind::Database:
      return "Database";
    case FileKind::Export:
    case FileKind::Automatic:
      break;
  }
  return "Esportazioni";
}

QtUi::QtUi() : bridge_(std::make_unique<QObject>()) {}
QtUi::~QtUi() = default;

void QtUi::SetWindow(QWidget* window, QLabel* band) {
  window_ = window;
  band_ = band;
}

ProgressWindow* QtUi::progressWindow() const {
  return progress_.data();
}

QWidget* QtUi::Parent() const {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return window_.data();
}

// Records a change of progress; the GUI thread shows the latest state at its next turn
// (at once when the change is made there).
template <class Change>
void QtUi::Update(Change change) {
  bool post = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    change(state_);
    post = !pending_;
    pending_ = true;
  }
  if (QThread::currentThread() == bridge_->thread()) {
    Apply();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  } else if (post) {
    QMetaObject::invokeMethod(bridge_.get(), [this] { Apply(); }, Qt::QueuedConnection);
  }
}

void QtUi::Apply() {
  State s;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    s = state_;
    pending_ = false;
  }
  if (s.waitDepth > 0 && !cursorSet_) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    cursorSet_ = true;
  } else if (s.waitDepth == 0 && cursorSet_) {
    QApplication::restoreOverrideCursor();
    cursorSet_ = false;
  }
  const bool busy = s.waitDepth > 0 && s.busyWindow;
  if (busy && !(busy_ && busy_->isVisible())) {
    if (!busy_) busy_ = std::make_unique<BusyWindow>();
    busy_->Start(window_.data());
  } else if (!busy && busy_) {
    busy_->Stop();
  }
  if (band_ && s.band != bandShown_) {
    bandShown_ = s.band;
    band_->setText(ToQ(s.band));
    band_->setVisible(!s.band.empty());
  }
  if (s.progressOpen && !progress_) {
    progress_ = MakeChild<ProgressWindow>(Parent(), [this] { cancel_ = true; });
    progress_->show();
  } else if (!s.progressOpen && progress_) {
    progress_->hide();
    progress_->deleteLater();
    progress_ = nullptr;
  }
  if (progress_) {
    progress_->SetCaption(ToQ(s.caption));
    progress_->SetPercent(s.percent);
    progress_->SetPhase(s.phase, s.phases);
    progress_->SetCancellable(s.cancellable);
  }
}

void QtUi::ArrowCursor(bool on) {
  // A box or a chooser takes the ordinary cursor even inside a long operation.
  if (!cursorSet_) return;
  if (on) {
    QApplication::setOverrideCursor(Qt::ArrowCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

MsgResult QtUi::ShowMessage(MsgIcon icon, std::string_view text, std::string_view caption,
                            MsgButtons buttons, std::string_view detail) {
  static constexpr QMessageBox::Icon kIcons[] = {QMessageBox::Information, QMessageBox::Critical,
                                                 QMessageBox::Warning, QMessageBox::Question};
  MsgResult result = MsgResult::Ok;
  OnGui([&] {
    QMessageBox box(kIcons[static_cast<int>(icon)], ToQ(caption), ToQ(text), QMessageBox::Ok,
                    Parent());
    if (buttons == MsgButtons::OkCancel) {
      box.addButton(QMessageBox::Cancel)->setText(QStringLiteral("Annulla"));
      box.setDefaultButton(QMessageBox::Ok);
    }
    if (!detail.empty()) box.setDetailedText(ToQ(detail));
    WidenToLongestLine(box);
    ArrowCursor(true);
    int answer = box.exec();
    ArrowCursor(false);
    result = answer == QMessageBox::Ok ? MsgResult::Ok : MsgResult::Cancel;
  });
  return result;
}

MsgResult QtUi::Message(MsgIcon icon, std::string_view text, std::string_view caption,
                        MsgButtons buttons) {
  return ShowMessage(icon, text, caption, buttons, {});
}

MsgResult QtUi::MessageWithDetail(MsgIcon icon, std::string_view text, std::string_view caption,
                                  MsgButtons buttons, std::string_view detail) {
  return ShowMessage(icon, text, caption, buttons, detail);
}

std::optional<std::string> QtUi::ChooseFile(const FileDialogSpec& spec, bool save) {
  std::optional<std::string> chosen;
  OnGui([&] {
    QFileDialog dialog(Parent(), ToQ(spec.title));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    if (!spec.overwritePrompt) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    QStringList filters = ConvertFilter(spec.filter);
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    QString ext = ToQ(spec.defaultExt);
    while (ext.startsWith(QLatin1Char('*')) || ext.startsWith(QLatin1Char('.'))) ext.remove(0, 1);
    if (!ext.isEmpty()) dialog.setDefaultSuffix(ext);
    // The folder asked for, else the one this kind of file came from last time.
    const std::string key = FolderKey(spec, save);
    QString folder = ToQ(spec.folder);
    if (folder.isEmpty() && folders_) {
      auto it = folders_->find(key);
      if (it != folders_->end()) folder = ToQ(it->second);
    }
    // Nothing known: where the program was started (not the folder of another kind).
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) folder = QDir::currentPath();
    dialog.setDirectory(folder);
    if (!spec.defaultName.empty()) dialog.selectFile(ToQ(spec.defaultName));
    ArrowCursor(true);
    bool accepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    ArrowCursor(false);
    if (!accepted) return;
    const QString file = dialog.selectedFiles().first();
    if (folders_) (*folders_)[key] = QFileInfo(file).absolutePath().toStdString();
    chosen = QFile::encodeName(file).toStdString();
  });
  return chosen;
}

std::optional<std::string> QtUi::OpenFile(const FileDialogSpec& spec) {
  return ChooseFile(spec, false);
}

std::optional<std::string> QtUi::SaveFile(const FileDialogSpec& spec) {
  return ChooseFile(spec, true);
}

bool QtUi::RunForm(Form& form) {
  bool ok = false;
  OnGui([&] {
    FormDialog dialog(form, Parent());
    ArrowCursor(true);
    ok = dialog.exec() == QDialog::Accepted;
    ArrowCursor(false);
  });
  return ok;
}

void QtUi::BeginWait(bool busyWindow) {
  Update([busyWindow](State& s) {
    ++s.waitDepth;
    s.busyWindow = s.busyWindow || busyWindow;
  });
}

void QtUi::EndWait() {
  Update([](State& s) {
    if (s.waitDepth == 0) return;
    if (--s.waitDepth == 0) s.busyWindow = false;
  });
}

void QtUi::ShowProgressText(std::string_view text) {
  Update([text](State& s) { s.band = text; });
}

void QtUi::ProgressBegin(std::string_view caption) {
  Update([caption](State& s) {
    s.progressOpen = true;
    s.caption = caption;
    s.percent = 0;
    s.phase = s.phases = 0;
    s.cancellable = false;
  });
}

void QtUi::ProgressCaption(std::string_view caption) {
  Update([caption](State& s) { s.caption = caption; });
}

void QtUi::ProgressSet(int percent) {
  Update([percent](State& s) { s.percent = percent; });
}

void QtUi::ProgressEnd() {
  Update([](State& s) {
    s.progressOpen = false;
    s.phase = s.phases = 0;
  });
}

void QtUi::SetCancellable(bool cancellable) {
  Update([cancellable](State& s) { s.cancellable = cancellable; });
}

void QtUi::ProgressPhase(int phase, int phases) {
  Update([phase, phases](State& s) {
    s.phase = phase;
    s.phases = phases;
  });
}

}  // namespace kvt::gui
