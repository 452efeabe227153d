#include "gui/qt_ui.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "gui/form_dialog.h"
#include "gui_fixture.h"
#include "platform/form.h"
#include "platform/scripted_ui.h"

namespace kvt::gui::test {
namespace {

// Shows a box through the Ui, reads it while open, presses `press`.
std::vector<std::string> RunBox(QtUi& ui, MsgIcon icon, MsgButtons buttons,
                                QMessageBox::StandardButton press, MsgResult* answer) {
  auto seen = std::make_shared<std::vector<std::string>>();
  QTimer::singleShot(0, [seen, press] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    *seen = {std::to_string(box->icon()), box->windowTitle().toStdString(),
             box->text().toStdString()};
    for (QAbstractButton* b : box->buttons()) seen->push_back(b->text().toStdString());
    box->button(press)->click();
  });
  *answer = ui.Message(icon, "Confermi sconnessione database ?", "Sconnessione Database", buttons);
  return *seen;
}

TEST_F(GuiTest, MessageBoxesHaveTheirIconButtonsAndAnswer) {
  QtUi ui;
  MsgResult answer;
  const std::string question = std::to_string(QMessageBox::Question);
  std::vector<std::string> seen =
      RunBox(ui, MsgIcon::Question, MsgButtons::OkCancel, QMessageBox::Cancel, &answer);
  EXPECT_EQ(answer, MsgResult::Cancel);
  EXPECT_EQ(seen, (std::vector<std::string>{question, "Sconnessione Database",
                                            "Confermi sconnessione database ?", "OK", "Annulla"}));
  RunBox(ui, MsgIcon::Question, MsgButtons::OkCancel, QMessageBox::Ok, &answer);
  EXPECT_EQ(answer, MsgResult::Ok);
  seen = RunBox(ui, MsgIcon::Stop, MsgButtons::Ok, QMessageBox::Ok, &answer);
  EXPECT_EQ(seen[0], std::to_string(QMessageBox::Critical));
  EXPECT_EQ(seen.size(), 4u);  // OK alone
  seen = RunBox(ui, MsgIcon::Warning, MsgButtons::Ok, QMessageBox::Ok, &answer);
  EXPECT_EQ(seen[0], std::to_string(QMessageBox::Warning));
}

TEST(FilterTest, WindowsFiltersBecomeQtFilters) {
  EXPECT_EQ(ConvertFilter("Database JET (*.mdb)|*.mdb|Tutti i files (*.*)|*.*||"),
            (QStringList{"Database JET (*.mdb) (*.mdb)", "Tutti i files (*.*) (*)"}));
  EXPECT_EQ(ConvertFilter("Testi|*.txt; *.TXT||"), QStringList{"Testi (*.txt *.TXT)"});
  EXPECT_EQ(ConvertFilter("Testo|*.txt||"), QStringList{"Testo (*.txt)"});
  EXPECT_EQ(ConvertFilter(""), QStringList{});
}

TEST_F(GuiTest, ProgressBandBarAndWaitCursor) {
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
  auto* bar = window.findChild<QProgressDialog*>();
  ASSERT_NE(bar, nullptr);
  ui.ProgressSet(40);
  ui.ProgressCaption("Importazione corse");
  EXPECT_EQ(bar->value(), 40);
  EXPECT_EQ(bar->labelText(), QStringLiteral("Importazione corse"));
  ui.ProgressEnd();
  EXPECT_FALSE(bar->isVisible());

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

// A form of every kind of field; OK is refused while the size is 0.
struct SampleForm {
  explicit SampleForm(Ui& ui) : form("Selezione DataSource") {
    form.AddGroup("source", "Origine");
    form.AddList("dsn", "&DSN:", {"kvt_pg", "archivio"});
    form.AddEdit("size", "RowsetSize (Dati Ordinari)", "25", 4);
    form.EndGroup();
    form.AddCheck("all", "Tutte le aziende");
    form.AddRadio("kind", "Contratto", {"Ordinario", "Gara"});
    form.AddLabel("note", "Scegliere il DSN");
    form.AddButton("zero", "Azzera", [](Form& f) {
      f.SetText("size", "0");
      f.SetText("note", "Azzerato");
      f.SetEnabled("all", false);
    });
    form.Field("size").onChange = [](Form& f) {
      f.SetText("note", "Dimensione " + f.Text("size"));
    };
    form.SetAcceptHandler([&ui](Form& f) {
      if (f.Text("size") != "0") return true;
      ui.Stop("Occorre indicare la dimensione del rowset per dati di tipo ordinario !!!");
      return false;
    });
  }
  Form form;
};

TEST_F(GuiTest, FormsBecomeDialogsThatStayOpenWhenRefused) {
  ScriptedUi messages;
  SampleForm sample(messages);
  FormDialog dialog(sample.form, nullptr);
  dialog.show();

  auto* dsn = dialog.findChild<QComboBox*>("dsn");
  auto* size = dialog.findChild<QLineEdit*>("size");
  auto* all = dialog.findChild<QCheckBox*>("all");
  auto* note = dialog.findChild<QLabel*>("note");
  auto* zero = dialog.findChild<QPushButton*>("zero");
  ASSERT_TRUE(dsn && size && all && note && zero);
  EXPECT_EQ(dsn->count(), 2);

  // Typing is held to the field's length; every change reaches the form at once.
  size->clear();
  QTest::keyClicks(size, "123456");
  EXPECT_EQ(size->text(), QStringLiteral("1234"));
  EXPECT_EQ(note->text(), QStringLiteral("Dimensione 1234"));

  // A button's handler changes other fields, and the dialog shows it.
  zero->click();
  EXPECT_EQ(size->text(), QStringLiteral("0"));
  EXPECT_EQ(note->text(), QStringLiteral("Azzerato"));
  EXPECT_FALSE(all->isEnabled());

  dialog.okButton()->click();
  EXPECT_EQ(messages.Texts(),
            std::vector<std::string>{"Occorre indicare la dimensione del rowset per dati di tipo "
                                     "ordinario !!!"});
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_NE(dialog.result(), QDialog::Accepted);

  dsn->setCurrentIndex(1);
  size->clear();
  QTest::keyClicks(size, "40");
  dialog.findChildren<QRadioButton*>()[1]->click();
  dialog.okButton()->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(sample.form.Text("dsn"), "archivio");
  EXPECT_EQ(sample.form.Text("size"), "40");
  EXPECT_EQ(sample.form.Selected("kind"), 1);
  EXPECT_EQ(messages.messages.size(), 1u);
}

}  // namespace
}  // namespace kvt::gui::test
