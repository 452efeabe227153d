#include "contracts/dialog.h"

#include "comms/in_force.h"
#include "core/dates.h"
#include "core/text.h"
#include "platform/ui.h"
#include "schema/pick_lists.h"

namespace kvt::contracts {

namespace {

// The entries of `table` that trips refer to through `join`. Nothing when the database
// failed (the error has been shown).
std::optional<std::vector<std::string>> ListOf(db::Database& db, schema::PickTable table,
                                               const char* join) {
  return schema::ReadPickList(db, {table, "corse", join});
}

int ContextPosition(char letter) {
  if (letter == 'I') return 2;
  if (letter == 'P') return 1;
  return 0;
}

void AddChoice(Form& form, const char* id, const char* caption, const char* allId,
               const char* allCaption, const std::vector<std::string>& entries, int code) {
  FormField& list = form.AddList(id, caption, entries);
  list.editable = true;
  if (code >= 0) {
    const std::string prefix = Format("%04d", code);
    for (size_t i = 0; i < entries.size(); ++i) {
      if (entries[i].compare(0, prefix.size(), prefix) == 0) {
        form.Select(id, static_cast<int>(i));
        break;
      }
    }
  }
  // Choosing an entry means that one, not all (the command line fills the list first).
  list.onChange = [id, allId](Form& f) {
    if (f.Text(id).empty()) return;
    f.SetChecked(allId, false);
    f.SetEnabled(id, true);
  };
  FormField& all = form.AddCheck(allId, allCaption, code < 0);
  all.onChange = [id, allId](Form& f) { f.SetEnabled(id, !f.Checked(allId)); };
  form.SetEnabled(id, code >= 0);
}

// -1 for "all"; nothing, said, when the entry is not one of the list.
std::optional<int> ChosenCode(Ui& ui, const Form& f, const char* id, const char* allId,
                              const std::vector<std::string>& entries, std::string_view what) {
  if (f.Checked(allId)) return -1;
  return schema::CheckedPickCode(ui, f.Text(id), entries, what);
}

std::string YearDate(int day, int month) {
  return FormatDate(Date{day, month, Today().year});
}

}  // namespace

void AddContractFields(Form& form, const DialogLists& lists) {
  const RememberedChoices& r = Remembered();
  form.AddList("contesto", std::string(comms::kContextCaption), comms::ContextEntries(),
               ContextPosition(r.context));
  AddChoice(form, "ente", "Ente", "tutti_enti", "Tutti", lists.authorities, r.ente);
  AddChoice(form, "azienda", "Azienda", "tutte_aziende", "Tutte", lists.companies, r.azienda);
}

std::optional<ContractChoice> CheckContractFields(Ui& ui, const Form& f,
                                                  const DialogLists& lists) {
  const std::optional<char> context = comms::ContextLetter(f.Selected("contesto"));
  if (!context) {
    ui.Stop(comms::ContextInvalidMessage());
    return std::nullopt;
  }
  const std::optional<int> ente =
      ChosenCode(ui, f, "ente", "tutti_enti", lists.authorities, "Codice Ente");
  if (!ente) return std::nullopt;
  const std::optional<int> azienda =
      ChosenCode(ui, f, "azienda", "tutte_aziende", lists.companies, "Codice Azienda");
  if (!azienda) return std::nullopt;
  return ContractChoice{*context, *ente, *azienda};
}

RememberedChoices& Remembered() {
  static RememberedChoices choices;
  return choices;
}

void ForgetChoices() {
  Remembered() = RememberedChoices{};
}

std::optional<DialogLists> ReadDialogLists(db::Database& db) {
  auto authorities = ListOf(db, schema::PickTable::Authorities, "regent.codice = corse.ente");
  if (!authorities) return std::nullopt;
  auto companies = ListOf(db, schema::PickTable::Companies, "regazi.codice = corse.azienda");
  if (!companies) return std::nullopt;
  auto lots = ListOf(db, schema::PickTable::Lots, "lotti.ID = corse.lotto");
  if (!lots) return std::nullopt;
  return DialogLists{std::move(*authorities), std::move(*companies), std::move(*lots)};
}

FormLayout AttachmentLayout() {
  FormLayout layout;
  layout.title = std::string(kAttachmentTitle);
  layout.output = false;
  layout.detail = false;
  layout.processing = {"Solo Totali", "Solo Dettagli", "Totali e Dettagli"};
  return layout;
}

FormLayout FunctionalLayout() {
  FormLayout layout;
  layout.title = std::string(kFunctionalTitle);
  layout.output = false;
  layout.detail = false;
  return layout;
}

Form StatementForm(Ui& ui, const DialogLists& lists, StatementParams& params,
                   const FormLayout& layout, int* processing) {
  const RememberedChoices& r = Remembered();
  Form form{layout.title};
  AddContractFields(form, lists);
  if (layout.lot) AddChoice(form, "lotto", "Lotto di Gara", "tutti_lotti", "Tutti", lists.lots, -1);
  if (layout.distances) form.AddRadio("distanze", "Distanze", {"Convenzionali", "Cartografiche"}, 0);
  if (layout.output) form.AddRadio("uscita", "Uscita", {"Anteprima di stampa", "Stampa"}, 0);
  if (layout.detail) {
    form.AddRadio("dettaglio", "Livello di dettaglio",
                  {"Analitico (tutte le corse)", "Sintetico (solo totali linea)"}, 1);
  }
  if (!layout.processing.empty()) {
    form.AddRadio("elaborazione", "Tipo Elaborazione", layout.processing,
                  static_cast<int>(layout.processing.size()) - 1);
  }
  form.AddEdit("inizio", "Periodo dal", r.startDate.empty() ? YearDate(1, 1) : r.startDate, 10);
  form.AddEdit("fine", "al", r.endDate.empty() ? YearDate(31, 12) : r.endDate, 10);

  form.SetAcceptHandler([&ui, &params, lists, layout, processing](Form& f) {
    const std::optional<ContractChoice> contract = CheckContractFields(ui, f, lists);
    if (!contract) return false;
    const std::optional<int> lotto =
        layout.lot ? ChosenCode(ui, f, "lotto", "tutti_lotti", lists.lots, "Lotto di Gara")
                   : params.lotto;
    if (!lotto) return false;
    const std::optional<Date> start = ParseDialogDate(f.Text("inizio"));
    if (!start) {
      ui.Stop(kBadStartDate);
      return false;
    }
    const std::optional<Date> end = ParseDialogDate(f.Text("fine"));
    if (!end) {
      ui.Stop(kBadEndDate);
      return false;
    }
    params.context = contract->context;
    params.ente = contract->ente;
    params.azienda = contract->azienda;
    params.lotto = *lotto;
    params.startDate = FormatDate(*start);
    params.endDate = FormatDate(*end);
    f.SetText("inizio", params.startDate);
    f.SetText("fine", params.endDate);
    if (layout.distances) {
      params.distance =
          f.Selected("distanze") == 1 ? DistanceType::Cartographic : DistanceType::Conventional;
    }
    if (layout.output)
      params.output = f.Selected("uscita") == 1 ? OutputKind::Print : OutputKind::Preview;
    if (layout.detail) {
      params.detail =
          f.Selected("dettaglio") == 0 ? DetailLevel::Analytic : DetailLevel::Synthetic;
    }
    if (processing && !layout.processing.empty()) *processing = f.Selected("elaborazione");
    RememberedChoices& keep = Remembered();
    keep.context = params.context;
    keep.ente = params.ente;
    keep.azienda = params.azienda;
    keep.startDate = params.startDate;
    keep.endDate = params.endDate;
    return true;
  });
  return form;
}

}  // namespace kvt::contracts
