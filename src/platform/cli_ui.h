// A Ui for the command line: messages are printed, questions and dialogs are answered from
// the options the user gave.
//
//  - A message prints a header line "<WORD>: <caption>" (INFORMAZIONE, ERRORE, ATTENZIONE,
//    DOMANDA) and then its text as it stands. Information and questions go to `out`, stop
//    and warning boxes to `err`.
//  - Questions answer OK with `yes`, Annulla without it; the answer is printed.
//  - File choosers take the given paths in order, literally (no default extension). A save
//    chooser over an existing file asks the overwrite question like any other question.
//  - A form takes its field values from `fields` (field id -> text, as a user would type
//    it; a button field given by id is pressed). A form whose checks refuse stays refused:
//    there is nobody to correct it.
//  - Progress is written to `err` only when `progressVisible` (stderr is a terminal).
//  - A printed report becomes the PDF file named by `pdf` (--pdf FILE), written by the
//    PdfWriter the front end supplies (the Qt one); preview and print alike. Without a file
//    or a writer the printer cannot be opened.
//  - Ctrl-C (SIGINT) asks the running work to stop, as "Annulla" does in the window; a
//    command that stops on it ends Cancelled. A second Ctrl-C ends the program at once.
#pragma once

#include <deque>
#include <functional>
#include <iosfwd>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/report.h"
#include "platform/ui.h"

namespace kvt {

struct CliAnswers {
  bool yes = false;
  std::deque<std::string> files;
  std::map<std::string, std::string> fields;
  std::optional<std::string> pdf = std::nullopt;  // where printed reports go
};

// Lays a report out on the page of a PDF file, draws every page and writes the file whole
// (nothing is left behind on failure). `pages` is the report's page count: 0 means nothing
// was written because there was nothing to print.
struct PdfResult {
  bool ok = false;
  int pages = 0;
  std::string error;  // why the file could not be written
};
using PdfWriter = std::function<PdfResult(Report& report, const std::string& path)>;

// How a command run ended, as the exit status tells it.
enum class CliOutcome {
  Success = 0,    // finished; no stop/warning box, or a success message came after it
  Failed = 1,     // ended in refusal or error (a stop/warning box was its last word)
  Usage = 2,      // the command line itself was wrong (set by the front end)
  Cancelled = 3,  // a question answered Annulla, a chooser without a file, a cancelled form,
                  // work stopped by Ctrl-C
};

class CliUi : public Ui {
 public:
  CliUi(CliAnswers answers, std::ostream& out, std::ostream& err, bool progressVisible);
  ~CliUi() override;
  CliUi(const CliUi&) = delete;
  CliUi& operator=(const CliUi&) = delete;

  void SetPdfWriter(PdfWriter writer) { pdfWriter_ = std::move(writer); }

  CliOutcome Outcome() const;
  // Forgets what was shown so far: the outcome is then that of what follows (the command,
  // after the warnings of the start).
  void ResetOutcome() { failed_ = cancelled_ = false; }
  // Field options that no form asked for (probably mistyped).
  std::vector<std::string> UnusedFields() const;
  // Whether the command asked to print (PrintReport was called).
  bool PrintAsked() const { return printAsked_; }

  MsgResult Message(MsgIcon icon, std::string_view text, std::string_view caption,
                    MsgButtons buttons) override;
  std::optional<std::string> OpenFile(const FileDialogSpec& spec) override;
  std::optional<std::string> SaveFile(const FileDialogSpec& spec) override;
  void BeginWait(bool busyWindow) override {}
  void EndWait() override {}
  void ShowProgressText(std::string_view text) override;
  void ProgressBegin(std::string_view caption) override;
  void ProgressCaption(std::string_view caption) override;
  void ProgressSet(int percent) override;
  void ProgressEnd() override;
  bool RunForm(Form& form) override;
  bool PrintReport(Report& report, PrintMode mode) override;
  bool CancelRequested() override;

  // What the SIGINT handler does (also for tests, which cannot press Ctrl-C).
  static void RequestCancel();

  static const char* IconWord(MsgIcon icon);

 private:
  bool FillForm(Form& form);
  void ProgressLine(std::string_view text);

  CliAnswers answers_;
  std::ostream& out_;
  std::ostream& err_;
  bool progressVisible_;
  bool failed_ = false;
  bool cancelled_ = false;
  bool progressOpen_ = false;
  bool cancelSeen_ = false;  // the command saw the request to stop (and stopped)
  bool handlerInstalled_ = false;
  std::string progressCaption_;
  std::set<std::string> usedFields_;
  PdfWriter pdfWriter_;
  bool printing_ = false;
  bool printAsked_ = false;
};

}  // namespace kvt
