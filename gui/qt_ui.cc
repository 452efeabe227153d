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
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QTranslator>

#include "gui/form_dialog.h"

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
    qint64 s = clock_.isValid() ? clock_.elapsed() / 1000 : 0;
    QString text = QStringLiteral("Elaborazione in corso ...\n\nTempo trascorso %1:%2")
                       .arg(s / 60, 2, 10, QChar('0'))
                       .arg(s % 60, 2, 10, QChar('0'));
    p.drawText(rect(), Qt::AlignCenter, text);
  }

 private:
  QTimer timer_;
  QElapsedTimer clock_;
};

bool InstallItalianQtTexts(QCoreApplication& app) {
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

QtUi::QtUi() = default;
QtUi::~QtUi() = default;

void QtUi::SetWindow(QWidget* window, QLabel* band) {
  window_ = window;
  band_ = band;
}

QWidget* QtUi::Parent() const {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return window_.data();
}

void QtUi::Pump() {
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

MsgResult QtUi::Message(MsgIcon icon, std::string_view text, std::string_view caption,
                        MsgButtons buttons) {
  static constexpr QMessageBox::Icon kIcons[] = {QMessageBox::Information, QMessageBox::Critical,
                                                 QMessageBox::Warning, QMessageBox::Question};
  QMessageBox box(kIcons[static_cast<int>(icon)], ToQ(caption), ToQ(text), QMessageBox::Ok,
                  Parent());
  if (buttons == MsgButtons::OkCancel) {
    box.addButton(QMessageBox::Cancel)->setText(QStringLiteral("Annulla"));
    box.setDefaultButton(QMessageBox::Ok);
  }
  WidenToLongestLine(box);
  // The box takes the ordinary cursor even inside a long operation.
  if (waitDepth_ > 0) QApplication::setOverrideCursor(Qt::ArrowCursor);
  int answer = box.exec();
  if (waitDepth_ > 0) QApplication::restoreOverrideCursor();
  return answer == QMessageBox::Ok ? MsgResult::Ok : MsgResult::Cancel;
}

std::optional<std::string> QtUi::ChooseFile(const FileDialogSpec& spec, bool save) {
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
  if (!spec.defaultName.empty()) dialog.selectFile(ToQ(spec.defaultName));
  if (waitDepth_ > 0) QApplication::setOverrideCursor(Qt::ArrowCursor);
  bool chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
  if (waitDepth_ > 0) QApplication::restoreOverrideCursor();
  if (!chosen) return std::nullopt;
  return QFile::encodeName(dialog.selectedFiles().first()).toStdString();
}

std::optional<std::string> QtUi::OpenFile(const FileDialogSpec& spec) {
  return ChooseFile(spec, false);
}

std::optional<std::string> QtUi::SaveFile(const FileDialogSpec& spec) {
  return ChooseFile(spec, true);
}

void QtUi::BeginWait(bool busyWindow) {
  if (waitDepth_++ == 0) QApplication::setOverrideCursor(Qt::WaitCursor);
  if (busyWindow && !(busy_ && busy_->isVisible())) {
    if (!busy_) busy_ = std::make_unique<BusyWindow>();
    busy_->Start(window_.data());
  }
  Pump();
}

void QtUi::EndWait() {
  if (waitDepth_ == 0) return;
  if (--waitDepth_ > 0) return;
  if (busy_) busy_->Stop();
  QApplication::restoreOverrideCursor();
}

void QtUi::ShowProgressText(std::string_view text) {
  if (!band_) return;
  band_->setText(ToQ(text));
  band_->setVisible(!text.empty());
  band_->repaint();
  Pump();
}

void QtUi::ProgressBegin(std::string_view caption) {
  ProgressEnd();
  progress_ = MakeChild<QProgressDialog>(ToQ(caption), QString(), 0, 100, Parent());
  progress_->setWindowTitle(ToQ(kAppCaption));
  progress_->setWindowModality(Qt::WindowModal);
  progress_->setMinimumDuration(0);
  progress_->setAutoClose(false);
  progress_->setAutoReset(false);
  progress_->setValue(0);
  progress_->show();
  Pump();
}

void QtUi::ProgressCaption(std::string_view caption) {
  if (!progress_) return;
  progress_->setLabelText(ToQ(caption));
  Pump();
}

void QtUi::ProgressSet(int percent) {
  if (!progress_) return;
  progress_->setValue(std::clamp(percent, 0, 100));
  Pump();
}

void QtUi::ProgressEnd() {
  if (!progress_) return;
  progress_->hide();
  progress_->deleteLater();
  progress_ = nullptr;
}

bool QtUi::RunForm(Form& form) {
  FormDialog dialog(form, Parent());
  if (waitDepth_ > 0) QApplication::setOverrideCursor(Qt::ArrowCursor);
  bool ok = dialog.exec() == QDialog::Accepted;
  if (waitDepth_ > 0) QApplication::restoreOverrideCursor();
  return ok;
}

}  // namespace kvt::gui
