// A Ui without a window: it records every message and progress step and answers from a
// script. Tests assert on what it recorded; a test that expects no message asserts that the
// record is empty.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/recording_canvas.h"
#include "platform/report.h"
#include "platform/ui.h"

namespace kvt {

// One report handed to PrintReport and laid out: every page drawn, in order, on its canvas
// (RecordingCanvas::PageCalls(n) gives page n).
struct RecordedPrint {
  std::string title;
  PrintMode mode = PrintMode::Preview;
  bool landscape = false;
  int pageCount = 0;
  std::shared_ptr<RecordingCanvas> canvas;
};

struct RecordedMessage {
  MsgIcon icon;
  std::string text;
  std::string caption;
  MsgButtons buttons;
  MsgResult answer;
  std::string detail;  // the folded text of MessageWithDetail
};

class ScriptedUi : public Ui {
 public:
  // --- script ---
  // Answers to questions (OK/Cancel boxes), consumed in order; when none is left the
  // default answer is given.
  void QueueAnswer(MsgResult r) { answers_.push_back(r); }
  MsgResult defaultAnswer = MsgResult::Ok;
  // Paths for the file choosers, consumed in order (open and save alike); nothing queued
  // or an empty optional means the chooser was cancelled.
  void QueueFile(std::optional<std::string> path) { files_.push_back(std::move(path)); }
  // A form filler: sets fields and returns true for OK, false for Cancel. Fillers are
  // consumed in order; the same form gets the next filler when its accept handler keeps it
  // open. With no filler left the form is cancelled.
  using FormFiller = std::function<bool(Form&)>;
  void QueueForm(FormFiller filler) { forms_.push_back(std::move(filler)); }
  // Convenience: set these field values (by id, as a user would) and press OK.
  void QueueFormValues(std::map<std::string, std::string> values);
  // Convenience for dialogs that work while open: each step sets a field (id, value) or,
  // for a button with an empty value, presses it; then OK (`ok`) or Cancel. A step that
  // cannot be done fails the filler with the form left open, as a Cancel.
  using FormStep = std::pair<std::string, std::string>;
  void QueueFormSteps(std::vector<FormStep> steps, bool ok = true);

  // The print dialog: cancelled, or a printer that cannot be opened; else the page it hands
  // out (device units, as a 600 dpi printer's A4 printable area; landscape swaps the two).
  bool printDialogCancels = false;
  bool printerFails = false;
  bool printLandscape = false;
  int printPageWidth = 4800;
  int printPageHeight = 6800;

  // Asks to stop as the progress caption `cancelAtCaption` is shown (as a user pressing
  // "Annulla" there would), or at once when set to "*".
  std::string cancelAtCaption;
  bool cancelRequested = false;

  // --- record ---
  std::vector<RecordedMessage> messages;
  std::vector<std::string> fileTitles;      // titles of the choosers shown
  std::vector<FileDialogSpec> fileDialogs;  // the choosers shown, whole
  std::vector<std::string> formTitles;      // titles of the forms shown
  std::vector<std::string> progressCaptions;
  std::vector<std::string> progressTexts;  // ShowProgressText lines
  std::vector<std::string> progressPhases;  // "phase/phases", as announced
  int lastProgress = -1;
  bool cancellable = false;         // "Annulla" on offer now
  bool everCancellable = false;     // ... at some time
  int waitDepth = 0;
  int maxWaitDepth = 0;
  bool busyWindowShown = false;
  std::vector<RecordedPrint> prints;  // reports laid out and drawn, in order
  // When set, every message is also written to stderr (handy while writing a test).
  bool echo = false;

  // Texts of the recorded messages, in order.
  std::vector<std::string> Texts() const;
  void Clear();

  // --- Ui ---
  MsgResult Message(MsgIcon icon, std::string_view text, std::string_view caption,
                    MsgButtons buttons) override;
  std::optional<std::string> OpenFile(const FileDialogSpec& spec) override;
  std::optional<std::string> SaveFile(const FileDialogSpec& spec) override;
  void BeginWait(bool busyWindow) override;
  void EndWait() override;
  void ShowProgressText(std::string_view text) override;
  void ProgressBegin(std::string_view caption) override;
  void ProgressCaption(std::string_view caption) override;
  void ProgressSet(int percent) override;
  void ProgressEnd() override;
  bool RunForm(Form& form) override;
  bool PrintReport(Report& report, PrintMode mode) override;
  void SetCancellable(bool on) override;
  bool CancelRequested() override { return cancelRequested; }
  void ProgressPhase(int phase, int phases) override;
  MsgResult MessageWithDetail(MsgIcon icon, std::string_view text, std::string_view caption,
                              MsgButtons buttons, std::string_view detail) override;

 private:
  void CaptionShown(std::string_view caption);

  std::deque<MsgResult> answers_;
  std::deque<std::optional<std::string>> files_;
  std::deque<FormFiller> forms_;
  bool printing_ = false;
};

}  // namespace kvt
