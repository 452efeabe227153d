#include "gui/qt_ui.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>
#include "app/odbc_dialog.h"
#include "gui/answer.h"
#include "gui/form_dialog.h"
#include "gui/progress_window.h"
#include "platform/scripted_ui.h"

namespace kvt::gui::test {
namespace {

// Shows a box through the Ui, reads it while open (icon, caption, text, buttons), presses
// `press`, and adds the answer.
std::string RunBox(QtUi& ui, MsgIcon icon, MsgButtons buttons, QMessageBox::StandardButton press) {
  auto seen = std::make_shared<std::string>();
  WhenShown<QMessageBox>([seen, press](QMessageBox* box) {
    *seen = std::to_string(box->icon()) + "|" + box->windowTitle().toStdString() + "|" +
            box->text().toStdString();
    for (QAbstractButton* b : box->buttons()) *seen += "|" + b->text().toStdString();
    box->button(press)->click();
  });
  MsgResult answer =
      ui.Message(icon, "Confermi sconnessione database ?", "Sconnessione Database", buttons);
  return *seen + (answer == MsgResult::Ok ? " -> Ok" : " -> Cancel");
}

TEST(QtUiTest, MessageBoxesHaveTheirIconButtonsAndAnswer) {
  QtUi ui;
  const std::string text = "|Sconnessione Database|Confermi sconnessione database ?|";
  auto icon = [](QMessageBox::Icon i) { return std::to_string(i); };
  EXPECT_EQ(RunBox(ui, MsgIcon::Question, MsgButtons::OkCancel, QMessageBox::Cancel),
            icon(QMessageBox::Question) + text + "OK|Annulla -> Cancel");
  EXPECT_EQ(RunBox(ui, MsgIcon::Question, MsgButtons::OkCancel, QMessageBox::Ok),
            icon(QMessageBox::Question) + text + "OK|Annulla -> Ok");
  EXPECT_EQ(RunBox(ui, MsgIcon::Stop, MsgButtons::Ok, QMessageBox::Ok),
            icon(QMessageBox::Critical) + text + "OK -> Ok");
  EXPECT_EQ(RunBox(ui, MsgIcon::Warning, MsgButtons::Ok, QMessageBox::Ok),
            icon(QMessageBox::Warning) + text + "OK -> Ok");
}

// The file choosers and standard buttons of Qt read in Italian, like the rest.
TEST(QtUiTest, QtOwnTextsAreItalian) {
  QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  QFileDialog chooser(nullptr, QStringLiteral("Selezione del Database"));
  chooser.setOption(QFileDialog::DontUseNativeDialog);
  QStringList texts{buttons.button(QDialogButtonBox::Cancel)->text()};
  for (const char* name : {"lookInLabel", "fileNameLabel", "fileTypeLabel"})
    texts << chooser.findChild<QLabel*>(name)->text();
  EXPECT_EQ(texts.join("|").toStdString(), "Annulla|Cerca in:|&Nome del file:|File di tipo:");
}

TEST(FilterTest, WindowsFiltersBecomeQtFilters) {
  EXPECT_EQ(ConvertFilter("Database JET (*.mdb)|*.mdb|Tutti i files (*.*)|*.*||"),
            (QStringList{"Database JET (*.mdb) (*.mdb)", "Tutti i files (*.*) (*)"}));
  EXPECT_EQ(ConvertFilter("Testi|*.txt; *.TXT||"), QStringList{"Testi (*.txt *.TXT)"});
  EXPECT_EQ(ConvertFilter(""), QStringList{});
}

TEST(QtUiTest, ProgressBandBarAndWaitCursor) {
  QMainWindow window;
  QLabel band(&window);
  QtUi ui;
  ui.SetWindow(&window, &band);
  window.show();
  ui.ShowProgressText("Lettura riga 120 di 4000");
  EXPECT_EQ(band.text(), QStringLiteral("Lettura riga 120 di 4000"));
  EXPECT_TRUE(band.isVisibleTo(&window));
  ui.ShowProgressText("");
  EXPECT_FALSE(band.isVisibleTo(&window));

  ui.ProgressBegin("Importazione fermate");
  ProgressWindow* progress = ui.progressWindow();
  ASSERT_NE(progress, nullptr);
  auto* bar = progress->findChild<QProgressBar*>("progressBar");
  ui.ProgressSet(40);
  ui.ProgressCaption("Importazione corse");
  EXPECT_EQ(bar->value(), 40);
  EXPECT_EQ(progress->findChild<QLabel*>("progressCaption")->text(),
            QStringLiteral("Importazione corse"));
  EXPECT_FALSE(progress->findChild<QLabel*>("progressPhase")->isVisible());
  ui.ProgressSet(-1);  // no measure: the bar moves without a figure
  EXPECT_EQ(bar->maximum(), 0);
  ui.ProgressEnd();
  EXPECT_EQ(ui.progressWindow(), nullptr);
  EXPECT_FALSE(progress->isVisible());

  // Waits nest: the cursor and the busy window go only at the outermost end.
  auto busyShown = [] {
    auto all = QApplication::topLevelWidgets();
    return std::count_if(all.begin(), all.end(),
                         [](QWidget* w) { return w->isVisible() && w->windowType() == Qt::Tool; });
  };
  ui.BeginWait(true);
  ui.BeginWait(false);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  EXPECT_EQ(busyShown(), 1);
  ui.EndWait();
  EXPECT_NE(QApplication::overrideCursor(), nullptr);
  ui.EndWait();
  EXPECT_EQ(busyShown(), 0);
  ui.EndWait();  // one too many is harmless
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// The "Selezione DataSource" dialog as the window shows it: its fields, their limits, and
// the refusals that keep it open.
TEST(QtUiTest, DataSourceDialogShowsItsFieldsAndStaysOpenWhenRefused) {
  ScriptedUi messages;
  app::OdbcChoice choice;
  auto form = app::MakeOdbcForm(messages, {"kvt_pg", "archivio"}, &choice);
  FormDialog dialog(*form, nullptr);
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Selezione DataSource"));
  QStringList labels, buttons;
  for (QLabel* l : dialog.findChildren<QLabel*>()) labels << l->text();
  for (QPushButton* b : dialog.findChildren<QPushButton*>()) buttons << b->text();
  EXPECT_EQ(labels, (QStringList{"DSN:", "RowsetSize (Dati Ordinari)", "RowsetSize (Dati BLOB)"}));
  EXPECT_EQ(buttons, (QStringList{"OK", "Annulla"}));
  auto* dsn = dialog.findChild<QComboBox*>(app::kDsnField);
  auto* ordinary = dialog.findChild<QLineEdit*>(app::kRowsetOrdinaryField);
  ASSERT_TRUE(dsn && ordinary);
  EXPECT_EQ(dsn->count(), 2);
  EXPECT_EQ(dsn->currentText(), QString());  // nothing chosen until the user does
  EXPECT_EQ(ordinary->text(), QStringLiteral("25"));
  EXPECT_EQ(dialog.findChild<QLineEdit*>(app::kRowsetBlobField)->text(), QStringLiteral("1"));

  ordinary->clear();
  QTest::keyClicks(ordinary, "123456");  // held to four characters
  EXPECT_EQ(ordinary->text(), QStringLiteral("1234"));
  dialog.okButton()->click();  // no DSN chosen
  ordinary->clear();
  dialog.okButton()->click();
  EXPECT_EQ(messages.Texts(),
            (std::vector<std::string>{
                "Occorre specificare il DSN per potere effettuare la connessione ODBC.",
                "Occorre indicare la dimensione del rowset per dati di tipo ordinario !!!"}));
  EXPECT_TRUE(dialog.isVisible());

  QTest::keyClicks(ordinary, "40");
  dsn->setCurrentIndex(1);
  dialog.okButton()->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(choice.dsn, "archivio");
  EXPECT_EQ(choice.rowsetOrdinary, 40u);
  EXPECT_EQ(choice.rowsetBlob, 1u);
}

// The other kinds of field: a button's handler and a field's change handler reach the
// widgets at once; check box, radio group and label come back into the form.
TEST(QtUiTest, FormHandlersAndEveryKindOfField) {
  Form form("Prova");
  form.AddGroup("source", "Origine");
  form.AddEdit("size", "Dimensione", "25", 4);
  form.EndGroup();
  form.AddCheck("all", "Tutte le aziende");
  form.AddRadio("kind", "Contratto", {"Ordinario", "Gara"});
  form.AddLabel("note", "Scegliere");
  form.AddButton("zero", "Azzera", [](Form& f) {
    f.SetText("size", "0");
    f.SetEnabled("all", false);
  });
  form.Field("size").onChange = [](Form& f) { f.SetText("note", "Dimensione " + f.Text("size")); };
  FormDialog dialog(form, nullptr);
  dialog.show();
  auto* size = dialog.findChild<QLineEdit*>("size");
  auto* all = dialog.findChild<QCheckBox*>("all");
  auto* note = dialog.findChild<QLabel*>("note");
  ASSERT_TRUE(size && all && note);
  QTest::keyClicks(size, "9");
  EXPECT_EQ(note->text(), QStringLiteral("Dimensione 259"));
  dialog.findChild<QPushButton*>("zero")->click();
  EXPECT_EQ(size->text(), QStringLiteral("0"));
  EXPECT_FALSE(all->isEnabled());
  dialog.findChildren<QRadioButton*>()[1]->click();
  dialog.okButton()->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(form.Text("size"), "0");
  EXPECT_EQ(form.Selected("kind"), 1);
}

}  // namespace
}  // namespace kvt::gui::test
