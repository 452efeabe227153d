#include "platform/scripted_ui.h"

#include <iostream>

#include "platform/form.h"

namespace kvt {

void ScriptedUi::QueueFormValues(std::map<std::string, std::string> values) {
  QueueForm([values = std::move(values)](Form& form) {
    for (const auto& [id, value] : values) form.SetFromText(id, value);
    return true;
  });
}

void ScriptedUi::QueueFormSteps(std::vector<FormStep> steps, bool ok) {
  QueueForm([steps = std::move(steps), ok](Form& form) {
    for (const auto& [id, value] : steps) {
      const bool press = value.empty() && form.Has(id) && form.Field(id).kind == FieldKind::Button;
      if (!(press ? form.Press(id) : form.SetFromText(id, value))) return false;
    }
    return ok;
  });
}

std::vector<std::string> ScriptedUi::Texts() const {
  std::vector<std::string> out;
  out.reserve(messages.size());
  for (const auto& m : messages) out.push_back(m.text);
  return out;
}

void ScriptedUi::Clear() {
  messages.clear();
  fileTitles.clear();
  fileDialogs.clear();
  formTitles.clear();
  progressCaptions.clear();
  progressTexts.clear();
  prints.clear();
  progressPhases.clear();
  lastProgress = -1;
}

MsgResult ScriptedUi::Message(MsgIcon icon, std::string_view text, std::string_view caption,
                              MsgButtons buttons) {
  MsgResult answer = MsgResult::Ok;
  if (buttons == MsgButtons::OkCancel) {
    if (!answers_.empty()) {
      answer = answers_.front();
      answers_.pop_front();
    } else {
      answer = defaultAnswer;
    }
  }
  if (echo) std::cerr << "[" << caption << "] " << text << "\n";
  messages.push_back({icon, std::string(text), std::string(caption), buttons, answer, std::string()});
  return answer;
}

std::optional<std::string> ScriptedUi::OpenFile(const FileDialogSpec& spec) {
  fileTitles.push_back(spec.title);
  fileDialogs.push_back(spec);
  if (files_.empty()) return std::nullopt;
  auto path = std::move(files_.front());
  files_.pop_front();
  return path;
}

std::optional<std::string> ScriptedUi::SaveFile(const FileDialogSpec& spec) {
  return OpenFile(spec);
}

void ScriptedUi::BeginWait(bool busyWindow) {
  ++waitDepth;
  if (waitDepth > maxWaitDepth) maxWaitDepth = waitDepth;
  if (busyWindow) busyWindowShown = true;
}

void ScriptedUi::EndWait() {
  if (waitDepth > 0) --waitDepth;
}

void ScriptedUi::ShowProgressText(std::string_view text) {
  progressTexts.emplace_back(text);
}

void ScriptedUi::CaptionShown(std::string_view caption) {
  progressCaptions.emplace_back(caption);
  if (!cancelAtCaption.empty() && (cancelAtCaption == "*" || cancelAtCaption == caption))
    cancelRequested = true;
}

void ScriptedUi::ProgressBegin(std::string_view caption) {
  CaptionShown(caption);
  lastProgress = 0;
}

void ScriptedUi::ProgressCaption(std::string_view caption) {
  CaptionShown(caption);
}

void ScriptedUi::SetCancellable(bool on) {
  cancellable = on;
  everCancellable = everCancellable || on;
}

void ScriptedUi::ProgressPhase(int phase, int phases) {
  progressPhases.push_back(std::to_string(phase) + "/" + std::to_string(phases));
}

MsgResult ScriptedUi::MessageWithDetail(MsgIcon icon, std::string_view text,
                                        std::string_view caption, MsgButtons buttons,
                                        std::string_view detail) {
  MsgResult answer = Message(icon, text, caption, buttons);
  messages.back().detail = detail;
  return answer;
}

void ScriptedUi::ProgressSet(int percent) {
  lastProgress = percent;
}

void ScriptedUi::ProgressEnd() {}

bool ScriptedUi::RunForm(Form& form) {
  formTitles.push_back(form.Title());
  while (!forms_.empty()) {
    FormFiller filler = std::move(forms_.front());
    forms_.pop_front();
    if (!filler(form)) return false;
    if (form.Accept()) return true;
  }
  return false;
}

bool ScriptedUi::PrintReport(Report& report, PrintMode mode) {
  if (printing_) {
    Info(kPrintBusyMessage);
    return false;
  }
  printing_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{printing_};
  if (printDialogCancels) return false;
  if (printerFails) {
    Stop(kPrinterOpenMessage);
    return false;
  }
  RecordedPrint print{report.Title(), mode, printLandscape, 0, nullptr};
  int w = printLandscape ? printPageHeight : printPageWidth;
  int h = printLandscape ? printPageWidth : printPageHeight;
  print.canvas = std::make_shared<RecordingCanvas>(w, h);
  print.pageCount = report.Layout(*print.canvas);
  if (print.pageCount <= 0) {
    Info(kNothingToPrintMessage);
    return false;
  }
  for (int page = 1; page <= print.pageCount; ++page) {
    print.canvas->BeginPage(page);
    report.DrawPage(*print.canvas, page);
  }
  prints.push_back(std::move(print));
  return true;
}

}  // namespace kvt
