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
#include <functional>

#include "gui/form_dialog.h"
#include "gui_fixture.h"
#include "platform/form.h"
#include "platform/scripted_ui.h"

namespace kvt::gui::test {
namespace {

// What a message box showed, read while it is open, and the button pressed to close it.
struct SeenBox {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  std::string title;
  std::string text;
  std::vector<std::string> buttons;
};

// Shows a box through the Ui and reports what it looked like.
SeenBox RunBox(QtUi& ui, MsgIcon icon, MsgButtons buttons, QMessageBox::StandardButton press,
               MsgResult* answer) {
  auto seen = std::make_shared<SeenBox>();
  QTimer::singleShot(0, [seen, press] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    seen->icon = box->icon();
    seen->title = box->windowTitle().toStdString();
    seen->text = box->text().toStdString();
    for (QAbstractButton* b : box->buttons()) seen->buttons.push_back(b->text().toStdString());
    std::sort(seen->buttons.begin(), seen->buttons.end());
    box->button(press)->click();
  });
  *answer = ui.Message(icon, "Confermi sconnessione database ?", "Sconnessione Database", buttons);
  return *seen;
}

TEST_F(GuiTest, MessageBoxesHaveTheirIconButtonsAndAnswer) {
  QtUi ui;
  MsgResult answer;
  SeenBox q = RunBox(ui, MsgIcon::Question, MsgButtons::OkCancel, QMessageBox::Cancel, &answer);
  EXPECT_EQ(answer, MsgResult::Cancel);
  EXPECT_EQ(q.icon, QMessageBox::Question);
  EXPECT_EQ(q.title, "Sconnessione Database");
  EXPECT_EQ(q.text, "Confermi sconnessione database ?");
  EXPECT_EQ(q.buttons, (std::vector<std::string>{"Annulla", "OK"}));

  q = RunBox(ui, MsgIcon::Question, MsgButtons::OkCancel, QMessageBox::Ok, &answer);
  EXPECT_EQ(answer, MsgResult::Ok);

  SeenBox stop = RunBox(ui, MsgIcon::Stop, MsgButtons::Ok, QMessageBox::Ok, &answer);
  EXPECT_EQ(stop.icon, QMessageBox::Critical);
  EXPECT_EQ(stop.buttons, std::vector<std::string>{"OK"});
  EXPECT_EQ(RunBox(ui, MsgIcon::Warning, MsgButtons::Ok, QMessageBox::Ok, &answer).icon,
            QMessageBox::Warning);
  EXPECT_EQ(RunBox(ui, MsgIcon::Information, MsgButtons::Ok, QMessageBox::Ok, &answer).icon,
            QMessageBox::Information);
}

TEST(FilterTest, WindowsFiltersBecomeQtFilters) {
  EXPECT_EQ(ConvertFilter("Database JET (*.mdb)|*.mdb;*.db|Tutti i files (*.*)|*.*||"),
            (QStringList{"Database JET (*.mdb) (*.mdb *.db)", "Tutti i files (*.*) (*)"}));
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
  EXPECT_EQ(bar->labelText(), QStringLiteral("Importazione fermate"));
  ui.ProgressSet(40);
  ui.ProgressCaption("Importazione corse");
  EXPECT_EQ(bar->value(), 40);
  EXPECT_EQ(bar->labelText(), QStringLiteral("Importazione corse"));
  ui.ProgressEnd();
  EXPECT_FALSE(bar->isVisible());

  // Waits nest: the cursor comes back only at the outermost end; the busy window goes too.
  ui.BeginWait(true);
  ui.BeginWait(false);
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  auto busyShown = [] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible() && (w->windowFlags() & Qt::Tool) == Qt::Tool &&
          !qobject_cast<QProgressDialog*>(w))
        return true;
    return false;
  };
  EXPECT_TRUE(busyShown());
  ui.EndWait();
  EXPECT_NE(QApplication::overrideCursor(), nullptr);
  ui.EndWait();
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_FALSE(busyShown());
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
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Selezione DataSource"));

  auto* dsn = dialog.findChild<QComboBox*>("dsn");
  auto* size = dialog.findChild<QLineEdit*>("size");
  auto* all = dialog.findChild<QCheckBox*>("all");
  auto* note = dialog.findChild<QLabel*>("note");
  auto* zero = dialog.findChild<QPushButton*>("zero");
  ASSERT_TRUE(dsn && size && all && note && zero);
  EXPECT_EQ(dsn->count(), 2);
  EXPECT_EQ(dsn->currentIndex(), -1);
  EXPECT_EQ(size->text(), QStringLiteral("25"));
  EXPECT_EQ(note->text(), QStringLiteral("Scegliere il DSN"));

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
