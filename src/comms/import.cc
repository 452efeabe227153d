// The import command: choosing the file, the two passes, the summary and advice, and the
// refusal dialogue with its error report.
#include "comms/import.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include "core/dates.h"
#include "core/file.h"
#include "core/text.h"
#include "platform/files.h"
#include "platform/ui.h"

namespace kvt::comms {

namespace {

std::string InsertedLine(std::string_view table, const ImportCount& count) {
  return Format("%.*s: inserite %ld righe di %ld\n", static_cast<int>(table.size()), table.data(),
                count.written, count.read);
}

// The imported file's full name: a report read later, elsewhere, must still tell which file.
std::string FullName(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::absolute(path, ec);
  return ec ? path : full.string();
}

bool WriteText(std::FILE* f, std::string_view utf8) {
  const std::string bytes = Utf8ToCp1252(utf8);
  return std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
}

}  // namespace

std::string ReportHead(const std::vector<std::string>& errors, size_t lines) {
  std::string head;
  size_t taken = 0;
  for (const std::string& message : errors) {
    size_t from = 0;
    while (from <= message.size()) {
      size_t end = message.find('\n', from);
      if (end == std::string::npos) end = message.size();
      if (taken == lines) return head + "...";
      head.append(message, from, end - from).push_back('\n');
      ++taken;
      from = end + 1;
    }
  }
  if (!head.empty()) head.pop_back();
  return head;
}

std::string SummaryText(const ImportSummary& s) {
  return "Risultati dell'acquisizione della Comunicazione Aziendale:\n\n" +
         InsertedLine("Protocollo", s.proto) + InsertedLine("Fermate", s.fermate) +
         InsertedLine("Archi", s.archi) + InsertedLine("Teste Itinerari", s.tesitine) +
         InsertedLine("Righe Itinerari", s.detitine) + InsertedLine("Corse", s.corse) +
         InsertedLine("Orari", s.orari) + InsertedLine("Mesi", s.mesi) +
         InsertedLine("Giorni", s.giorni) +
         Format("Giorni: eliminate %ld righe precedenti obsolete\n", s.giorniDeleted);
}

bool WriteErrorReport(const std::string& reportPath, const std::string& importedPath,
                      const std::vector<std::string>& errors) {
  OutputFile file;
  if (!file.Open(reportPath)) return false;
  const std::string rule(83, '=');
  bool ok = WriteText(file.get(), NowStamp() + "\n" + rule + "\n" +
                                      "Errori Riscontrati durante l'importazione del file " +
                                      FullName(importedPath) + "\n" + rule + "\n\n");
  for (const std::string& message : errors) ok = ok && WriteText(file.get(), message + "\n");
  // A report cut short by a full disk is a failure, not a saved report.
  return ok && file.Commit();
}

void Report(Ui& ui, const std::string& path, const std::vector<std::string>& errors,
            const std::optional<std::string>& reportPath) {
  std::optional<std::string> target = reportPath;
  if (target) {
    ui.Stop(kRefusedQuestion);
  } else {
    // The reasons one click away, so that a single fault can be read without a file.
    if (ui.MessageWithDetail(MsgIcon::Stop, kRefusedQuestion, kAppCaption, MsgButtons::OkCancel,
                             ReportHead(errors, kReportHeadLines)) != MsgResult::Ok) {
      return;
    }
    FileDialogSpec spec;
    spec.title = "Salvataggio Errori Importazione KvtTxt V2";
    spec.filter = kTextFileFilter;
    spec.defaultExt = "TXT";
    spec.defaultName = "ERRORI_KVT_TXT_V2";
    spec.overwritePrompt = true;
    spec.kind = FileKind::Report;
    spec.folder = std::filesystem::path(FullName(path)).parent_path().string();
    target = ui.SaveFile(spec);
    if (!target) return;
  }
  // The communication is the user's only copy: a report never replaces it.
  std::error_code ec;
  if (std::filesystem::equivalent(*target, path, ec)) {
    ui.Stop(kReportOverCommunicationMessage);
    return;
  }
  if (!WriteErrorReport(*target, path, errors)) {
    ui.Stop(kReportFailedMessage);
  } else if (!reportPath) {
    ui.ShowProgressText(std::string(kReportSavedText) + *target);
  }
}

bool ImportCommunication(db::Database& db, Ui& ui, const std::optional<std::string>& reportPath) {
  FileDialogSpec spec;
  spec.title = "Importazione Comunicazione Aziendale KvtTxt V2";
  spec.filter = kTextFileFilter;
  spec.defaultExt = "TXT";
  spec.overwritePrompt = false;
  spec.kind = FileKind::Communication;
  const std::optional<std::string> path = ui.OpenFile(spec);
  if (!path) return false;
  std::vector<std::string> errors;
  bool databaseFailed = false;
  CheckedState checked;
  std::unique_ptr<LineReader> reader = Validate(db, ui, *path, errors, &databaseFailed, &checked);
  if (!reader && databaseFailed) {
    ui.Stop(kImportAbortedMessage);
    return false;
  }
  if (!reader) {
    if (!ui.CancelRequested()) Report(ui, *path, errors, reportPath);
    return false;
  }
  ImportSummary summary;
  if (!Insert(db, ui, *reader, summary, &checked)) return false;
  ui.Info(SummaryText(summary));
  ui.Info(kImportAdvice);
  return true;
}

}  // namespace kvt::comms
