#include "contracts/profile_dialog.h"

#include "comms/in_force.h"
#include "core/dates.h"
#include "core/text.h"
#include "platform/ui.h"

namespace kvt::contracts {

namespace {

std::string& RememberedReferenceDate() {
  static std::string date;
  return date;
}

int ContextPosition(char letter) {
  if (letter == 'I') return 2;
  if (letter == 'P') return 1;
  return 0;
}

// A list with its "all" box, as in the statement dialog: the box ticked disables the list,
// choosing an entry unticks it.
void AddChoice(Form& form, const char* id, const char* caption, const char* allId,
               const char* allCaption, const std::vector<std::string>& entries, int code) {
  FormField& list = form.AddList(id, caption, entries);
  list.editable = true;
  if (code >= 0) {
    const std::string prefix = Format("%04d", code);
    for (size_t i = 0; i < entries.size(); ++i)
      if (entries[i].starts_with(prefix)) {
        form.Select(id, static_cast<int>(i));
        break;
      }
  }
  list.onChange = [id, allId](Form& f) {
    if (f.Text(id).empty()) return;
    f.SetChecked(allId, false);
    f.SetEnabled(id, true);
  };
  FormField& all = form.AddCheck(allId, allCaption, code < 0);
  all.onChange = [id, allId](Form& f) { f.SetEnabled(id, !f.Checked(allId)); };
  form.SetEnabled(id, code >= 0);
}

std::optional<int> ChosenCode(const Form& f, const char* id, const char* allId,
                              const std::vector<std::string>& entries) {
  if (f.Checked(allId)) return -1;
  return PickCode(f.Text(id), entries);
}

std::string_view TitleOf(ProfileDialog kind) {
  switch (kind) {
    case ProfileDialog::DailyText:
      return kProfileTxtDialogTitle;
    case ProfileDialog::DailyChart:
      return kDailyDialogTitle;
    case ProfileDialog::HourlyChart:
      return kHourlyDialogTitle;
  }
  return kDailyDialogTitle;
}

}  // namespace

void ForgetReferenceDate() {
  RememberedReferenceDate().clear();
}

Form ProfileForm(Ui& ui, const DialogLists& lists, ProfileDialog kind, ProfileParams& params) {
  const RememberedChoices& r = Remembered();
  const int year = Today().year;
  Form form{std::string(TitleOf(kind))};
  form.AddList("contesto", std::string(comms::kContextCaption), comms::ContextEntries(),
               ContextPosition(r.context));
  AddChoice(form, "ente", "Ente", "tutti_enti", "Tutti", lists.authorities, r.ente);
  AddChoice(form, "azienda", "Azienda", "tutte_aziende", "Tutte", lists.companies, r.azienda);
  if (kind != ProfileDialog::DailyText)
    form.AddRadio("uscita", "Uscita", {"Anteprima di stampa", "Stampa"}, 0);
  if (kind == ProfileDialog::HourlyChart) {
    const std::string& date = RememberedReferenceDate();
    form.AddEdit("data", "Data ", date.empty() ? FormatDate(Today()) : date, 10);
  } else {
    form.AddEdit("inizio", "Periodo dal",
                 r.startDate.empty() ? FormatDate(Date{1, 1, year}) : r.startDate, 10);
    form.AddEdit("fine", "al", r.endDate.empty() ? FormatDate(Date{31, 12, year}) : r.endDate, 10);
  }

  form.SetAcceptHandler([&ui, &params, lists, kind](Form& f) {
    const std::optional<char> context = comms::ContextLetter(f.Selected("contesto"));
    if (!context) {
      ui.Stop(comms::ContextInvalidMessage());
      return false;
    }
    const std::optional<int> ente = ChosenCode(f, "ente", "tutti_enti", lists.authorities);
    if (!ente) {
      ui.Stop(PickInvalidMessage("Codice Ente"));
      return false;
    }
    const std::optional<int> azienda = ChosenCode(f, "azienda", "tutte_aziende", lists.companies);
    if (!azienda) {
      ui.Stop(PickInvalidMessage("Codice Azienda"));
      return false;
    }
    ProfileParams chosen = params;
    if (kind == ProfileDialog::HourlyChart) {
      const std::optional<Date> date = ParseDialogDate(f.Text("data"));
      if (!date) {
        ui.Stop(kBadReferenceDate);
        return false;
      }
      chosen.date = FormatDate(*date);
      f.SetText("data", chosen.date);
    } else {
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
      chosen.startDate = FormatDate(*start);
      chosen.endDate = FormatDate(*end);
      f.SetText("inizio", chosen.startDate);
      f.SetText("fine", chosen.endDate);
    }
    chosen.context = *context;
    chosen.ente = *ente;
    chosen.azienda = *azienda;
    if (kind != ProfileDialog::DailyText)
      chosen.output = f.Selected("uscita") == 1 ? OutputKind::Print : OutputKind::Preview;
    params = chosen;
    RememberedChoices& keep = Remembered();
    keep.context = params.context;
    keep.ente = params.ente;
    keep.azienda = params.azienda;
    if (kind == ProfileDialog::HourlyChart) {
      RememberedReferenceDate() = params.date;
    } else {
      keep.startDate = params.startDate;
      keep.endDate = params.endDate;
    }
    return true;
  });
  return form;
}

}  // namespace kvt::contracts
