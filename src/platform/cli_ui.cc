#include "platform/cli_ui.h"

#include <atomic>
#include <csignal>
#include <filesystem>
#include <ostream>

#include "platform/form.h"

namespace kvt {
namespace {

// Characters (code points) of a UTF-8 text: an edit field's limit counts these.
size_t CharCount(std::string_view text) {
  size_t n = 0;
  for (unsigned char c : text)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

std::atomic<bool> gCancel{false};
struct sigaction gPrevious {};

extern "C" void OnInterrupt(int) {
  gCancel.store(true);
}

}  // namespace

CliUi::CliUi(CliAnswers answers, std::ostream& out, std::ostream& err, bool progressVisible)
    : answers_(std::move(answers)), out_(out), err_(err), progressVisible_(progressVisible) {
  gCancel.store(false);
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;  // the second Ctrl-C is the default one: the end
  handlerInstalled_ = sigaction(SIGINT, &action, &gPrevious) == 0;
}

CliUi::~CliUi() {
  if (handlerInstalled_) sigaction(SIGINT, &gPrevious, nullptr);
}

void CliUi::RequestCancel() {
  gCancel.store(true);
}

bool CliUi::CancelRequested() {
  if (!gCancel.load()) return false;
  cancelSeen_ = true;
  return true;
}

const char* CliUi::IconWord(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::Information:
      return "INFORMAZIONE";
    case MsgIcon::Stop:
      return "ERRORE";
    case MsgIcon::Warning:
      return "ATTENZIONE";
    case MsgIcon::Question:
      return "DOMANDA";
  }
  return "";
}

CliOutcome CliUi::Outcome() const {
  if (cancelSeen_) return CliOutcome::Cancelled;
  if (failed_) return CliOutcome::Failed;
  if (cancelled_) return CliOutcome::Cancelled;
  return CliOutcome::Success;
}

std::vector<std::string> CliUi::UnusedFields() const {
  std::vector<std::string> unused;
  for (const auto& [id, value] : answers_.fields)
    if (!usedFields_.count(id)) unused.push_back(id);
  return unused;
}

MsgResult CliUi::Message(MsgIcon icon, std::string_view text, std::string_view caption,
                         MsgButtons buttons) {
  if (progressOpen_) ProgressEnd();
  bool bad = icon == MsgIcon::Stop || icon == MsgIcon::Warning;
  std::ostream& os = bad ? err_ : out_;
  os << IconWord(icon) << ": " << caption << "\n" << text;
  if (text.empty() || text.back() != '\n') os << "\n";
  MsgResult answer = MsgResult::Ok;
  if (buttons == MsgButtons::OkCancel) {
    answer = answers_.yes ? MsgResult::Ok : MsgResult::Cancel;
    os << (answers_.yes ? "-> OK\n" : "-> Annulla (--yes per rispondere OK)\n");
    if (answer == MsgResult::Cancel) cancelled_ = true;
  }
  os.flush();
  if (bad) failed_ = true;
  // A success message after a refusal means the command recovered and ended well.
  if (icon == MsgIcon::Information) failed_ = cancelled_ = false;
  return answer;
}

std::optional<std::string> CliUi::OpenFile(const FileDialogSpec& spec) {
  if (answers_.files.empty()) {
    err_ << "Nessun file indicato per \"" << spec.title << "\" (--file PERCORSO)\n";
    cancelled_ = true;
    return std::nullopt;
  }
  std::string path = std::move(answers_.files.front());
  answers_.files.pop_front();
  return path;
}

std::optional<std::string> CliUi::SaveFile(const FileDialogSpec& spec) {
  std::optional<std::string> path = OpenFile(spec);
  std::error_code ec;
  if (path && spec.overwritePrompt && std::filesystem::exists(*path, ec)) {
    if (!Ask(*path + " esiste già.\nSostituirlo?", spec.title)) return std::nullopt;
  }
  return path;
}

void CliUi::ProgressLine(std::string_view text) {
  if (!progressVisible_) return;
  err_ << "\r\x1b[K" << text;
  err_.flush();
  progressOpen_ = true;
}

void CliUi::ShowProgressText(std::string_view text) {
  ProgressLine(text);
}

void CliUi::ProgressBegin(std::string_view caption) {
  progressCaption_ = caption;
  ProgressLine(progressCaption_);
}

void CliUi::ProgressCaption(std::string_view caption) {
  progressCaption_ = caption;
  ProgressLine(progressCaption_);
}

void CliUi::ProgressSet(int percent) {
  if (percent < 0) return ProgressLine(progressCaption_ + " ...");
  ProgressLine(progressCaption_ + " " + std::to_string(percent) + "%");
}

void CliUi::ProgressEnd() {
  if (progressOpen_ && progressVisible_) err_ << "\r\x1b[K";
  err_.flush();
  progressOpen_ = false;
}

bool CliUi::FillForm(Form& form) {
  // By index: a handler may change the form's fields while we walk them.
  for (size_t i = 0; i < form.Fields().size(); ++i) {
    std::string id = form.Fields()[i].id;
    auto it = id.empty() ? answers_.fields.end() : answers_.fields.find(id);
    if (it == answers_.fields.end()) continue;
    usedFields_.insert(id);
    if (form.Fields()[i].kind == FieldKind::Button) {
      if (auto click = form.Fields()[i].onClick) click(form);
      continue;
    }
    int limit = form.Fields()[i].kind == FieldKind::Edit ? form.Fields()[i].maxLength : 0;
    if (limit > 0 && CharCount(it->second) > static_cast<size_t>(limit)) {
      err_ << "Valore troppo lungo per --" << id << ": al massimo " << limit << " caratteri\n";
      return false;
    }
    if (!form.SetFromText(id, it->second)) {
      err_ << "Valore non valido per --" << id << ": \"" << it->second << "\"\n";
      return false;
    }
  }
  return true;
}

bool CliUi::RunForm(Form& form) {
  if (!FillForm(form)) {
    failed_ = true;
    return false;
  }
  if (!form.Accept()) {
    failed_ = true;  // its stop message has been printed
    return false;
  }
  return true;
}

bool CliUi::PrintReport(Report& report, PrintMode mode) {
  if (printing_) {
    Info(kPrintBusyMessage);
    return false;
  }
  printing_ = true;
  printAsked_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{printing_};
  if (!answers_.pdf || answers_.pdf->empty()) {
    err_ << "Nessun file indicato per la stampa (--pdf FILE)\n";
    Stop(kPrinterOpenMessage);
    return false;
  }
  if (!pdfWriter_) {
    err_ << "Stampa in PDF non disponibile: kvtbase costruito senza Qt\n";
    Stop(kPrinterOpenMessage);
    return false;
  }
  PdfResult result = pdfWriter_(report, *answers_.pdf);
  if (!result.ok) {
    if (!result.error.empty()) err_ << result.error << "\n";
    Stop(kPrinterOpenMessage);
    return false;
  }
  if (result.pages <= 0) {
    Info(kNothingToPrintMessage);
    return false;
  }
  if (progressOpen_) ProgressEnd();
  out_ << "PDF scritto: " << *answers_.pdf << " (" << result.pages
       << (result.pages == 1 ? " pagina)\n" : " pagine)\n");
  out_.flush();
  return true;
}

}  // namespace kvt
