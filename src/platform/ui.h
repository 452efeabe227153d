// The desktop as the program logic sees it. Every user-visible effect (message boxes,
// file choosers, wait cursor, progress) goes through one Ui, so that the same command runs
// under the Qt window, on the command line and in tests with a scripted stand-in.
//
// Contract: a Ui is used from one thread only (the one running the command; the window
// carries each call over to its own thread). Texts are UTF-8; "\n" is a line break.
#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

namespace kvt {

class Form;

enum class MsgIcon { Information, Stop, Warning, Question };
enum class MsgButtons { Ok, OkCancel };
enum class MsgResult { Ok, Cancel };

// Caption used when a message names none.
inline constexpr std::string_view kAppCaption = "KVT-BASE2";

// Kinds of file whose last folder the window remembers. Automatic: a database when the
// default extension is MDB, else a communication for an open chooser and an export for a
// save chooser.
enum class FileKind { Automatic, Communication, Report, Database, Export };

// An open or save file chooser. The filter has the form "Text|*.txt|All|*.*||": pairs of a
// description and a pattern list, ended by an empty pair.
struct FileDialogSpec {
  std::string title;
  std::string filter;
  std::string defaultExt;   // appended when the typed name has no extension, e.g. "TXT"
  std::string defaultName;  // proposed file name, may be empty
  bool overwritePrompt = true;  // save choosers only: ask before replacing a file
  // Where the chooser opens. Empty: the folder last used for this kind of file.
  std::string folder;
  FileKind kind = FileKind::Automatic;
};

class Report;          // platform/report.h
enum class PrintMode;  // platform/report.h

class Ui {
 public:
  virtual ~Ui() = default;

  // A message box. Returns Ok for an Ok-only box once it is dismissed.
  virtual MsgResult Message(MsgIcon icon, std::string_view text, std::string_view caption,
                            MsgButtons buttons) = 0;

  // Paths chosen by the user, or nothing when the chooser was cancelled.
  virtual std::optional<std::string> OpenFile(const FileDialogSpec& spec) = 0;
  virtual std::optional<std::string> SaveFile(const FileDialogSpec& spec) = 0;

  // Wait cursor; with busyWindow also the busy window, repainted once a second until
  // EndWait. Calls nest: only the outermost EndWait restores the cursor.
  virtual void BeginWait(bool busyWindow) = 0;
  virtual void EndWait() = 0;

  // One line of progress text in the band at the bottom of the main window.
  virtual void ShowProgressText(std::string_view text) = 0;

  // Progress bar 0..100 with a caption naming the current step.
  virtual void ProgressBegin(std::string_view caption) = 0;
  virtual void ProgressCaption(std::string_view caption) = 0;
  virtual void ProgressSet(int percent) = 0;
  virtual void ProgressEnd() = 0;

  // Shows a modal dialog. Returns true when it was closed by OK (its accept handler, if
  // any, agreed), false when cancelled.
  virtual bool RunForm(Form& form) = 0;

  // --- Long work: stopping it, its overall progress, folded detail (all optional) ---

  // Whether the work now running can be stopped with nothing changed: the progress window
  // offers "Annulla" only while it can. A request lasts until the command ends.
  virtual void SetCancellable(bool cancellable) { (void)cancellable; }
  // True once the user asked to stop ("Annulla", Ctrl-C on the command line). Commands
  // check it once per row or block of rows while cancellable, then roll back.
  virtual bool CancelRequested() { return false; }
  // The whole job as numbered phases: phase `phase` (from 1) of `phases` is the one the
  // current caption and bar describe. A negative ProgressSet means "no measure".
  virtual void ProgressPhase(int phase, int phases) { (void)phase, (void)phases; }
  // A message box with a longer text folded under it ("Mostra dettagli..."). Without a
  // place for it the detail is left out.
  virtual MsgResult MessageWithDetail(MsgIcon icon, std::string_view text,
                                      std::string_view caption, MsgButtons buttons,
                                      std::string_view detail) {
    (void)detail;
    return Message(icon, text, caption, buttons);
  }

  // --- Printing ---------------------------------------------------------------------------
  // Prints or previews a report: the print dialog (one copy, pages from 1), then Layout on
  // the chosen printer's page and DrawPage for every page printed or shown. The preview
  // window stays open until the user closes it; the report must outlive the call only.
  // False, after its message, when the view is already printing ("E' impossibile associare
  // la stampa !!!\n") or the printer cannot be opened; false, silently, when the user
  // cancels the print dialog. True when the pages were printed or previewed.
  virtual bool PrintReport(Report& report, PrintMode mode) = 0;
  // ----------------------------------------------------------------------------------------

  // Conveniences over Message().
  void Info(std::string_view text, std::string_view caption = kAppCaption) {
    Message(MsgIcon::Information, text, caption, MsgButtons::Ok);
  }
  void Stop(std::string_view text, std::string_view caption = kAppCaption) {
    Message(MsgIcon::Stop, text, caption, MsgButtons::Ok);
  }
  void Warning(std::string_view text, std::string_view caption = kAppCaption) {
    Message(MsgIcon::Warning, text, caption, MsgButtons::Ok);
  }
  // Question with OK and Cancel; true on OK.
  bool Ask(std::string_view text, std::string_view caption = kAppCaption) {
    return Message(MsgIcon::Question, text, caption, MsgButtons::OkCancel) == MsgResult::Ok;
  }
};

// Wait cursor for the lifetime of the object.
class WaitScope {
 public:
  explicit WaitScope(Ui& ui, bool busyWindow = false) : ui_(ui) { ui_.BeginWait(busyWindow); }
  ~WaitScope() { ui_.EndWait(); }
  WaitScope(const WaitScope&) = delete;
  WaitScope& operator=(const WaitScope&) = delete;

 private:
  Ui& ui_;
};

// Progress bar for the lifetime of the object. Set() takes done/total and shows the integer
// part of 100 * done / total, repainting only when the percentage changes.
//
// With `phases` the job is numbered: the first caption is phase `phase`, and each Caption()
// is the next one. With `cancellable` the user may stop it while the scope lasts; Stopped()
// says when they did.
class ProgressScope {
 public:
  ProgressScope(Ui& ui, std::string_view caption) : ui_(ui) { ui_.ProgressBegin(caption); }
  // Work the user may stop ("Annulla" in the window, Ctrl-C on the command line): the work
  // asks Stopped() as it goes.
  struct Cancellable {};
  ProgressScope(Ui& ui, std::string_view caption, Cancellable)
      : ProgressScope(ui, caption, 0, 0, /*cancellable=*/true) {}
  ProgressScope(Ui& ui, std::string_view caption, int phase, int phases, bool cancellable)
      : ui_(ui), phase_(phase), phases_(phases), cancellable_(cancellable) {
    ui_.ProgressBegin(caption);
    if (phases_ > 0) ui_.ProgressPhase(phase_, phases_);
    if (cancellable_) ui_.SetCancellable(true);
  }
  ~ProgressScope() {
    if (cancellable_) ui_.SetCancellable(false);
    ui_.ProgressEnd();
  }
  ProgressScope(const ProgressScope&) = delete;
  ProgressScope& operator=(const ProgressScope&) = delete;

  void Caption(std::string_view caption) {
    ui_.ProgressCaption(caption);
    last_ = -1;
    if (phases_ > 0) ui_.ProgressPhase(phase_ = std::min(phase_ + 1, phases_), phases_);
  }
  // Fewer phases than announced (a job that turns out to skip its last ones).
  void SetPhases(int phases) {
    phases_ = phases;
    if (phases_ > 0) ui_.ProgressPhase(phase_ = std::min(phase_, phases_), phases_);
  }
  bool Stopped() const { return cancellable_ && ui_.CancelRequested(); }
  void Set(long long done, long long total) {
    int percent = total > 0 ? static_cast<int>(100 * done / total) : 0;
    if (percent != last_) {
      last_ = percent;
      ui_.ProgressSet(percent);
    }
  }

 private:
  Ui& ui_;
  int last_ = -1;
  int phase_ = 0;
  int phases_ = 0;
  bool cancellable_ = false;
};

// Said after a stopped job, once everything it did is undone.
inline constexpr std::string_view kCancelledMessage =
    "Operazione annullata: il database non è stato modificato.";
inline constexpr std::string_view kCancelledFileMessage =
    "Operazione annullata: nessun file è stato scritto.";
inline constexpr std::string_view kCancelledPrintMessage =
    "Operazione annullata: nulla è stato stampato.";

// Says why work did not finish: the user stopped it (`cancelled`, as information) or it
// failed (`failure`, as an error).
inline void SayUnfinished(Ui& ui, std::string_view cancelled, std::string_view failure) {
  if (ui.CancelRequested()) {
    ui.Info(cancelled);
  } else {
    ui.Stop(failure);
  }
}

}  // namespace kvt
