#include "platform/cli_ui.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/form.h"

namespace kvt {
namespace {

CliAnswers Yes() {
  CliAnswers a;
  a.yes = true;
  return a;
}
CliAnswers Files(std::deque<std::string> files) {
  CliAnswers a;
  a.files = std::move(files);
  return a;
}
CliAnswers Fields(std::map<std::string, std::string> fields) {
  CliAnswers a;
  a.fields = std::move(fields);
  return a;
}

struct CliRun {
  explicit CliRun(CliAnswers answers, bool progress = false)
      : ui(std::move(answers), out, err, progress) {}
  std::ostringstream out;
  std::ostringstream err;
  CliUi ui;
};

TEST(CliUiTest, MessagesArePrintedWhole) {
  CliRun r({});
  r.ui.Info("Il database /x.mdb è stato creato con successo\n\n", "Creazione database");
  r.ui.Stop("Errore in fase di apertura del database\n\nfile mancante");
  r.ui.Warning("Il bug verrà ora corretto.");
  EXPECT_EQ(r.out.str(),
            "INFORMAZIONE: Creazione database\n"
            "Il database /x.mdb è stato creato con successo\n\n");
  EXPECT_EQ(r.err.str(),
            "ERRORE: KVT-BASE2\n"
            "Errore in fase di apertura del database\n\nfile mancante\n"
            "ATTENZIONE: KVT-BASE2\n"
            "Il bug verrà ora corretto.\n");
}

TEST(CliUiTest, OutcomeSaysHowTheCommandEnded) {
  {
    CliRun r({});
    EXPECT_EQ(r.ui.Outcome(), CliOutcome::Success);
    r.ui.Stop("no");
    EXPECT_EQ(r.ui.Outcome(), CliOutcome::Failed);
    r.ui.Info("sanato");  // a success message after the refusal: the command recovered
    EXPECT_EQ(r.ui.Outcome(), CliOutcome::Success);
    r.ui.Warning("attenzione");
    EXPECT_EQ(r.ui.Outcome(), CliOutcome::Failed);
  }
  {
    CliRun r({});  // without --yes every question answers Annulla
    EXPECT_FALSE(r.ui.Ask("Confermi sconnessione database ?", "Sconnessione Database"));
    EXPECT_EQ(r.ui.Outcome(), CliOutcome::Cancelled);
    EXPECT_EQ(r.out.str(),
              "DOMANDA: Sconnessione Database\n"
              "Confermi sconnessione database ?\n"
              "-> Annulla (--yes per rispondere OK)\n");
  }
  {
    CliRun r(Yes());
    EXPECT_TRUE(r.ui.Ask("Confermi sconnessione database ?", "Sconnessione Database"));
    EXPECT_EQ(r.ui.Outcome(), CliOutcome::Success);
    EXPECT_EQ(r.out.str(),
              "DOMANDA: Sconnessione Database\nConfermi sconnessione database ?\n-> OK\n");
  }
}

TEST(CliUiTest, FileChoosersTakeTheGivenPathsInOrder) {
  std::string existing = std::filesystem::temp_directory_path() / "kvt-cli-ui-existing.mdb";
  std::ofstream(existing) << "x";
  CliRun r(Files({"/a.mdb", existing, existing}));
  FileDialogSpec spec{"Selezione del Database di origine", "A|*.a||", "MDB", "", true};
  EXPECT_EQ(r.ui.OpenFile(spec), "/a.mdb");
  // Replacing an existing file is a question like any other: Annulla without --yes.
  spec.title = "Selezione del Database di destinazione";
  EXPECT_EQ(r.ui.SaveFile(spec), std::nullopt);
  EXPECT_EQ(r.out.str(), "DOMANDA: Selezione del Database di destinazione\n" + existing +
                             " esiste già.\nSostituirlo?\n-> Annulla (--yes per rispondere OK)\n");
  spec.overwritePrompt = false;
  EXPECT_EQ(r.ui.SaveFile(spec), existing);
  EXPECT_EQ(r.ui.OpenFile(spec), std::nullopt);
  EXPECT_EQ(r.err.str(),
            "Nessun file indicato per \"Selezione del Database di destinazione\" "
            "(--file PERCORSO)\n");
  EXPECT_EQ(r.ui.Outcome(), CliOutcome::Cancelled);
  std::filesystem::remove(existing);
}

// A form like the commands build: a list, a limited edit field, a radio group, a check box
// and a button; the accept handler refuses a zero size.
struct SampleForm {
  explicit SampleForm(Ui& ui) : form("Selezione DataSource") {
    form.AddList("datasource", "DSN:", {"kvt_pg", "altro"});
    form.AddEdit("rowset-ordinary", "RowsetSize (Dati Ordinari)", "25", 4);
    form.AddRadio("kind", "Tipo", {"Ordinario", "Gara"});
    form.AddCheck("all", "Tutte");
    form.AddButton("clear", "Azzera", [](Form& f) { f.SetText("rowset-ordinary", ""); });
    form.SetAcceptHandler([&ui](Form& f) {
      if (f.Text("rowset-ordinary").empty() || f.Text("rowset-ordinary") == "0") {
        ui.Stop("Occorre indicare la dimensione del rowset per dati di tipo ordinario !!!");
        return false;
      }
      return true;
    });
  }
  Form form;
};

TEST(CliUiTest, FormsAreFilledFromOptionsAndRefusalsStayRefused) {
  {
    CliRun r(Fields({{"datasource", "altro"}, {"kind", "Gara"}, {"all", "1"}, {"typo", "x"}}));
    SampleForm f(r.ui);
    EXPECT_TRUE(r.ui.RunForm(f.form));
    EXPECT_EQ(f.form.Selected("datasource"), 1);
    EXPECT_EQ(f.form.Selected("kind"), 1);
    EXPECT_TRUE(f.form.Checked("all"));
    EXPECT_EQ(f.form.Text("rowset-ordinary"), "25");  // untouched fields keep their preset
    EXPECT_EQ(r.ui.UnusedFields(), std::vector<std::string>{"typo"});
    EXPECT_EQ(r.ui.Outcome(), CliOutcome::Success);
  }
  {
    CliRun r(Fields({{"clear", "1"}}));  // the button empties the field: refused
    SampleForm f(r.ui);
    EXPECT_FALSE(r.ui.RunForm(f.form));
    EXPECT_EQ(r.err.str(),
              "ERRORE: KVT-BASE2\n"
              "Occorre indicare la dimensione del rowset per dati di tipo ordinario !!!\n");
    EXPECT_EQ(r.ui.Outcome(), CliOutcome::Failed);
  }
  {
    CliRun r(Fields({{"rowset-ordinary", "12345"}}));  // one more than the field takes
    SampleForm f(r.ui);
    EXPECT_FALSE(r.ui.RunForm(f.form));
    EXPECT_EQ(r.err.str(), "Valore troppo lungo per --rowset-ordinary: al massimo 4 caratteri\n");
    EXPECT_EQ(r.ui.Outcome(), CliOutcome::Failed);
  }
  {
    CliRun r(Fields({{"rowset-ordinary", "àèìò"}, {"kind", "Speciale"}}));
    SampleForm f(r.ui);  // four accented letters fit four characters; the option does not
    EXPECT_FALSE(r.ui.RunForm(f.form));
    EXPECT_EQ(f.form.Text("rowset-ordinary"), "àèìò");
    EXPECT_EQ(r.err.str(), "Valore non valido per --kind: \"Speciale\"\n");
  }
}

TEST(CliUiTest, ProgressOnlyOnATerminal) {
  CliRun quiet({}, false);
  quiet.ui.ProgressBegin("Lettura");
  quiet.ui.ProgressSet(50);
  quiet.ui.ShowProgressText("riga 10");
  quiet.ui.ProgressEnd();
  EXPECT_EQ(quiet.err.str(), "");
  EXPECT_EQ(quiet.out.str(), "");

  CliRun shown({}, true);
  shown.ui.ProgressBegin("Lettura");
  shown.ui.ProgressSet(50);
  shown.ui.Info("fatto");  // a message first clears the progress line
  EXPECT_EQ(shown.err.str(), "\r\x1b[KLettura\r\x1b[KLettura 50%\r\x1b[K");
  EXPECT_EQ(shown.out.str(), "INFORMAZIONE: KVT-BASE2\nfatto\n");
}

}  // namespace
}  // namespace kvt
