#include "platform/cli_ui.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sstream>

#include "platform/form.h"

namespace kvt {
namespace {

using Fields = std::map<std::string, std::string>;

struct CliRun {
  explicit CliRun(Fields fields = {})
      : ui(CliAnswers{false, {}, std::move(fields)}, out, err, false) {}
  std::ostringstream out, err;
  CliUi ui;
};

// Exit statuses 0, 1 and 3 themselves are checked on real runs of kvtbase.
TEST(CliUiTest, OutcomeIsTheLastWordOfTheCommand) {
  CliRun r;
  r.ui.Stop("no");
  r.ui.Info("Il bug è stato sanato.\n\n");  // a success after the refusal: ended well
  EXPECT_EQ(r.ui.Outcome(), CliOutcome::Success);
  r.ui.Warning("attenzione");
  EXPECT_EQ(r.ui.Outcome(), CliOutcome::Failed);
  EXPECT_EQ(r.out.str(), "INFORMAZIONE: KVT-BASE2\nIl bug è stato sanato.\n\n");
  EXPECT_EQ(r.err.str(), "ERRORE: KVT-BASE2\nno\nATTENZIONE: KVT-BASE2\nattenzione\n");
}

// Ctrl-C asks the work to stop; a command that stops on it ends Cancelled (exit 3) even
// after its "annullata" information. A request nobody looked at changes nothing.
TEST(CliUiTest, InterruptStopsTheWorkAndEndsCancelled) {
  {
    CliRun r;
    std::raise(SIGINT);  // the handler of the run, not the default end of the program
    r.ui.Info("finito");
    EXPECT_EQ(r.ui.Outcome(), CliOutcome::Success);
    EXPECT_TRUE(r.ui.CancelRequested());
    r.ui.Info(kCancelledMessage);
    EXPECT_EQ(r.ui.Outcome(), CliOutcome::Cancelled);
  }
  CliRun next;  // a new run starts without the request
  EXPECT_FALSE(next.ui.CancelRequested());
  EXPECT_EQ(next.ui.Outcome(), CliOutcome::Success);
}

// OK is refused while the size is empty or 0.
Form SampleForm(Ui& ui) {
  Form form("Selezione DataSource");
  form.AddList("datasource", "DSN:", {"kvt_pg", "altro"});
  form.AddEdit("size", "RowsetSize (Dati Ordinari)", "25", 4);
  form.AddRadio("kind", "Tipo", {"Ordinario", "Gara"});
  form.AddCheck("all", "Tutte");
  form.AddButton("clear", "Azzera", [](Form& f) { f.SetText("size", ""); });
  form.SetAcceptHandler([&ui](Form& f) {
    if (!f.Text("size").empty() && f.Text("size") != "0") return true;
    ui.Stop("Occorre indicare la dimensione del rowset per dati di tipo ordinario !!!");
    return false;
  });
  return form;
}

TEST(CliUiTest, FormsAreFilledFromOptionsAndRefusalsStayRefused) {
  CliRun good(Fields{{"datasource", "altro"}, {"kind", "Gara"}, {"all", "1"}, {"typo", "x"}});
  Form a = SampleForm(good.ui);
  EXPECT_TRUE(good.ui.RunForm(a));
  EXPECT_EQ(a.Selected("datasource"), 1);
  EXPECT_EQ(a.Selected("kind"), 1);
  EXPECT_TRUE(a.Checked("all"));
  EXPECT_EQ(a.Text("size"), "25");  // untouched fields keep their preset
  EXPECT_EQ(good.ui.UnusedFields(), std::vector<std::string>{"typo"});

  CliRun pressed(Fields{{"clear", ""}});  // the button empties the size: refused
  Form b = SampleForm(pressed.ui);
  EXPECT_FALSE(pressed.ui.RunForm(b));
  EXPECT_EQ(pressed.err.str(),
            "ERRORE: KVT-BASE2\n"
            "Occorre indicare la dimensione del rowset per dati di tipo ordinario !!!\n");
  EXPECT_EQ(pressed.ui.Outcome(), CliOutcome::Failed);

  CliRun tooLong(Fields{{"size", "12345"}});  // one more than the field takes
  Form c = SampleForm(tooLong.ui);
  EXPECT_FALSE(tooLong.ui.RunForm(c));
  EXPECT_EQ(tooLong.err.str(), "Valore troppo lungo per --size: al massimo 4 caratteri\n");

  CliRun badOption(Fields{{"size", "àèìò"}, {"kind", "Speciale"}});
  Form d = SampleForm(badOption.ui);  // four accented letters fit four characters
  EXPECT_FALSE(badOption.ui.RunForm(d));
  EXPECT_EQ(d.Text("size"), "àèìò");
  EXPECT_EQ(badOption.err.str(), "Valore non valido per --kind: \"Speciale\"\n");
  EXPECT_EQ(badOption.ui.Outcome(), CliOutcome::Failed);
}

}  // namespace
}  // namespace kvt
