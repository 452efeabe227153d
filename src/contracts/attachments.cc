#include "contracts/attachments.h"

#include <algorithm>

#include "contracts/dialog.h"
#include "core/text.h"
#include "platform/ui.h"

namespace kvt::contracts {

namespace {

bool SameContract(const StatementRow& a, const StatementRow& b) {
  return a.ente == b.ente && a.azienda == b.azienda;
}

bool SameLine(const StatementRow& a, const StatementRow& b) {
  return SameContract(a, b) && a.codlinea == b.codlinea;
}

bool SameDirection(const StatementRow& a, const StatementRow& b) {
  return SameLine(a, b) && a.verso == b.verso;
}

// The end of the run of rows from `begin` that `same` keeps together with the first.
template <typename Same>
size_t RunEnd(std::span<const StatementRow> rows, size_t begin, Same same) {
  size_t end = begin + 1;
  while (end < rows.size() && same(rows[begin], rows[end])) ++end;
  return end;
}

// "Totale Linea ..." lines end with an empty line after the contract's last one.
const char* LineEnd(bool lastOfContract) {
  return lastOfContract ? "\n\n" : "\n";
}

std::string DirectionText(char verso) {
  return std::string(1, verso);
}

}  // namespace

void AttachmentOrder(std::vector<StatementRow>& rows) {
  // The print order already groups the lines and directions the way the database orders
  // their codes; only the trips within a group change places. Equal times keep their print
  // order, which is by trip code and ID.
  const std::span<const StatementRow> all(rows);
  for (size_t begin = 0; begin < rows.size();) {
    const size_t end = RunEnd(all, begin, SameDirection);
    std::stable_sort(rows.begin() + begin, rows.begin() + end,
                     [](const StatementRow& a, const StatementRow& b) {
                       if (a.departure != b.departure) return a.departure < b.departure;
                       return a.arrival < b.arrival;
                     });
    begin = end;
  }
}

std::string TotalsText(std::span<const StatementRow> trips) {
  std::string text;
  int64_t contract = 0;
  for (size_t begin = 0; begin < trips.size();) {
    const size_t end = RunEnd(trips, begin, SameLine);
    int64_t outward = 0, back = 0, all = 0;
    for (size_t i = begin; i < end; ++i) {
      const int64_t metres = trips[i].PeriodMetres();
      if (trips[i].verso == 'A') outward += metres;
      if (trips[i].verso == 'R') back += metres;
      // Any other direction still runs and is paid: it counts in the line and the contract.
      all += metres;
    }
    contract += all;
    text += "Totale Linea " + trips[begin].codlinea + " \t" + KmComma(outward) + "\t" +
            KmComma(back) + "\t" + KmComma(all) + LineEnd(end == trips.size());
    begin = end;
  }
  text += "Totale Contratto\t\t\t" + KmComma(contract) + "\n";
  return text;
}

std::string DetailsText(std::span<const StatementRow> trips) {
  std::string text;
  int64_t contract = 0;
  for (size_t begin = 0; begin < trips.size();) {
    const size_t end = RunEnd(trips, begin, SameDirection);
    const StatementRow& first = trips[begin];
    text += "Linea " + first.codlinea + " " + DirectionText(first.verso) + "\n";
    int64_t line = 0;
    for (size_t i = begin; i < end; ++i) {
      const StatementRow& r = trips[i];
      text += Format("\t\tp%02d:%02d a%02d:%02d\t%d\t", r.departure / 60, r.departure % 60,
                     r.arrival / 60, r.arrival % 60, r.days) +
              KmComma(r.PeriodMetres());
      if ((i - begin) % 3 == 2) text += "\n";
      line += r.PeriodMetres();
    }
    if ((end - begin) % 3 != 0) text += "\n";
    text += "Totale Linea " + first.codlinea + " " + DirectionText(first.verso) + "\t" +
            KmComma(line) + "\n\n";
    contract += line;
    begin = end;
  }
  text += "Totale Contratto\t" + KmComma(contract) + "\n";
  return text;
}

namespace {

struct Figures {
  int64_t metres = 0;
  int64_t minutes = 0;
  int64_t runs = 0;

  void Add(const StatementRow& r) {
    metres += r.PeriodMetres();
    minutes += r.PeriodMinutes();
    runs += r.days;
  }
  std::string Text() const {
    return KmComma(metres) + "\t" + MinutesText(minutes) + "\t" + SpeedComma(metres, minutes) +
           "\t" + CountText(runs);
  }
};

}  // namespace

std::string FunctionalText(std::span<const StatementRow> trips) {
  std::string text;
  Figures contract;
  for (size_t begin = 0; begin < trips.size();) {
    const size_t end = RunEnd(trips, begin, SameDirection);
    Figures line;
    for (size_t i = begin; i < end; ++i) line.Add(trips[i]);
    contract.metres += line.metres;
    contract.minutes += line.minutes;
    contract.runs += line.runs;
    text += "Totale Linea " + trips[begin].codlinea + " " + DirectionText(trips[begin].verso) +
            "\t" + line.Text() + LineEnd(end == trips.size());
    begin = end;
  }
  text += "Totale Contratto\t" + contract.Text() + "\n";
  return text;
}

std::string FinishedMessage(size_t files, const std::string& folder) {
  return Format("Esportazione terminata.\n\n%zu files scritti nella cartella\n", files) + folder;
}

bool WriteContractFiles(Ui& ui, const ContractNames& names, const StatementParams& params,
                        std::span<const StatementRow> trips, AttachmentKinds kinds,
                        const std::string& path, std::string* done) {
  struct Kind {
    bool chosen;
    const char* name;
    std::string_view legend;
    std::string (*body)(std::span<const StatementRow>);
  };
  const Kind all[] = {{kinds.totals, "TOT", kTotalsLegend, TotalsText},
                      {kinds.details, "DET", kDetailsLegend, DetailsText},
                      {kinds.functional, "FNZ", kFunctionalLegend, FunctionalText}};
  WaitScope wait(ui);
  ProgressScope progress(ui, "Scrittura Allegati");
  AttachmentFolder folder(ui, path);
  for (size_t begin = 0; begin < trips.size();) {
    const size_t end = RunEnd(trips, begin, SameContract);
    const std::span<const StatementRow> contract = trips.subspan(begin, end - begin);
    const FileHead head{{}, contract.front().ente, contract.front().azienda, params.startDate,
                        params.endDate, params.distance};
    for (const Kind& k : all) {
      if (!k.chosen) continue;
      AttachmentFile* file = folder.Create(k.name, head.azienda, head.ente);
      if (!file) return false;  // said, and nothing left
      FileHead own = head;
      own.legend = k.legend;
      file->Write(HeadText(own, names));
      file->Write(k.body(contract));
      file->Close();
    }
    progress.Set(static_cast<long long>(end), static_cast<long long>(trips.size()));
    begin = end;
  }
  if (!folder.Finish()) return false;
  if (done) *done = FinishedMessage(folder.Names().size(), folder.Folder());
  return true;
}

namespace {

bool RunExport(Ui& ui, db::Database& db, bool attachments) {
  StatementParams params;
  int processing = static_cast<int>(Processing::TotalsAndDetails);
  const std::optional<DialogLists> lists = ReadDialogLists(db);
  if (!lists) return false;
  Form form = StatementForm(ui, *lists, params,
                            attachments ? AttachmentLayout() : FunctionalLayout(), &processing);
  if (!ui.RunForm(form)) return false;
  const std::optional<std::string> path =
      ui.SaveFile(FolderChooser(attachments ? "CONTRATTI" : "ANALISI"));
  if (!path) return false;

  // No terminus names: the files do not show them.
  params.detail = DetailLevel::Synthetic;
  std::optional<std::vector<StatementRow>> trips =
      ExtractTrips(db, ui, params, StatementKind::ByTrip);
  if (!HasData(ui, trips, kCancelledFileMessage)) return false;
  AttachmentOrder(*trips);
  const std::optional<ContractNames> names = ReadContractNames(db);
  if (!names) return false;

  AttachmentKinds kinds;
  if (attachments) {
    kinds.totals = processing != static_cast<int>(Processing::DetailsOnly);
    kinds.details = processing != static_cast<int>(Processing::TotalsOnly);
  } else {
    kinds.functional = true;
  }
  std::string done;
  if (!WriteContractFiles(ui, *names, params, *trips, kinds, *path, &done)) return false;
  ui.Info(done);
  return true;
}

}  // namespace

bool RunAttachmentCommand(Ui& ui, db::Database& db) {
  return RunExport(ui, db, true);
}

bool RunFunctionalAnalysisCommand(Ui& ui, db::Database& db) {
  return RunExport(ui, db, false);
}

}  // namespace kvt::contracts
