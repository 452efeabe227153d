#include "platform/cli_ui.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/form.h"

namespace kvt {
namespace {

using Fields = std::map<std::string, std::string>;

struct CliRun {
  explicit CliRun(std::map<std::string, std::string> fields = {})
      : ui(Answers(fields), out, err, false) {}
  static CliAnswers Answers(std::map<std::string, std::string> fields) {
    CliAnswers a;
    a.fields = std::move(fields);
    return a;
  }
  std::ostringstream out, err;
  CliUi ui;
};

TEST(CliUiTest, OutcomeIsTheLastWordOfTheCommand) {
  CliRun r;
  EXPECT_EQ(r.ui.Outcome(), CliOutcome::Success);
  r.ui.Stop("no");
  EXPECT_EQ(r.ui.Outcome(), CliOutcome::Failed);
  r.ui.Info("Il bug è stato sanato.\n\n");  // a success after the refusal: ended well
  EXPECT_EQ(r.ui.Outcome(), CliOutcome::Success);
  EXPECT_FALSE(r.ui.Ask("Confermi sconnessione database ?"));
  EXPECT_EQ(r.ui.Outcome(), CliOutcome::Cancelled);
  r.ui.Warning("attenzione");
  EXPECT_EQ(r.ui.Outcome(), CliOutcome::Failed);
  EXPECT_EQ(r.out.str(),
            "INFORMAZIONE: KVT-BASE2\nIl bug è stato sanato.\n\n"
            "DOMANDA: KVT-BASE2\nConfermi sconnessione database ?\n"
            "-> Annulla (--yes per rispondere OK)\n");
  EXPECT_EQ(r.err.str(), "ERRORE: KVT-BASE2\nno\nATTENZIONE: KVT-BASE2\nattenzione\n");
}

// A form like the commands build; OK is refused while the size is empty or 0.
struct SampleForm {
  explicit SampleForm(Ui& ui) : form("Selezione DataSource") {
    form.AddList("datasource", "DSN:", {"kvt_pg", "altro"});
    form.AddEdit("rowset-ordinary", "RowsetSize (Dati Ordinari)", "25", 4);
    form.AddRadio("kind", "Tipo", {"Ordinario", "Gara"});
    form.AddCheck("all", "Tutte");
    form.AddButton("clear", "Azzera", [](Form& f) { f.SetText("rowset-ordinary", ""); });
    form.SetAcceptHandler([&ui](Form& f) {
      if (!f.Text("rowset-ordinary").empty() && f.Text("rowset-ordinary") != "0") return true;
      ui.Stop("Occorre indicare la dimensione del rowset per dati di tipo ordinario !!!");
      return false;
    });
  }
  Form form;
};

TEST(CliUiTest, FormsAreFilledFromOptionsAndRefusalsStayRefused) {
  CliRun good(Fields{{"datasource", "altro"}, {"kind", "Gara"}, {"all", "1"}, {"typo", "x"}});
  SampleForm a(good.ui);
  EXPECT_TRUE(good.ui.RunForm(a.form));
  EXPECT_EQ(a.form.Selected("datasource"), 1);
  EXPECT_EQ(a.form.Selected("kind"), 1);
  EXPECT_TRUE(a.form.Checked("all"));
  EXPECT_EQ(a.form.Text("rowset-ordinary"), "25");  // untouched fields keep their preset
  EXPECT_EQ(good.ui.UnusedFields(), std::vector<std::string>{"typo"});

  CliRun pressed(Fields{{"clear", ""}});  // the button empties the size: refused
  SampleForm b(pressed.ui);
  EXPECT_FALSE(pressed.ui.RunForm(b.form));
  EXPECT_EQ(pressed.err.str(),
            "ERRORE: KVT-BASE2\n"
            "Occorre indicare la dimensione del rowset per dati di tipo ordinario !!!\n");
  EXPECT_EQ(pressed.ui.Outcome(), CliOutcome::Failed);

  CliRun tooLong(Fields{{"rowset-ordinary", "12345"}});  // one more than the field takes
  SampleForm c(tooLong.ui);
  EXPECT_FALSE(tooLong.ui.RunForm(c.form));
  EXPECT_EQ(tooLong.err.str(),
            "Valore troppo lungo per --rowset-ordinary: al massimo 4 caratteri\n");

  CliRun badOption(Fields{{"rowset-ordinary", "àèìò"}, {"kind", "Speciale"}});
  SampleForm d(badOption.ui);  // four accented letters fit four characters; the option not
  EXPECT_FALSE(badOption.ui.RunForm(d.form));
  EXPECT_EQ(d.form.Text("rowset-ordinary"), "àèìò");
  EXPECT_EQ(badOption.err.str(), "Valore non valido per --kind: \"Speciale\"\n");
  EXPECT_EQ(badOption.ui.Outcome(), CliOutcome::Failed);
}

}  // namespace
}  // namespace kvt
