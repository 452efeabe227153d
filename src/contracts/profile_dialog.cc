#include "contracts/profile_dialog.h"

#include <memory>

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
  if (kind != ProfileDialog::HourlyChart) {
    // The statement dialog without lot, distances and detail level.
    FormLayout layout;
    layout.title = std::string(TitleOf(kind));
    layout.lot = false;
    layout.distances = false;
    layout.detail = false;
    layout.output = kind == ProfileDialog::DailyChart;
    auto statement = std::make_shared<StatementParams>();
    Form form = StatementForm(ui, lists, *statement, layout);
    form.SetAcceptHandler([accept = form.AcceptHandler(), statement, &params](Form& f) {
      if (accept && !accept(f)) return false;
      params.context = statement->context;
      params.ente = statement->ente;
      params.azienda = statement->azienda;
      params.startDate = statement->startDate;
      params.endDate = statement->endDate;
      params.output = statement->output;
      return true;
    });
    return form;
  }

  Form form{std::string(kHourlyDialogTitle)};
  AddContractFields(form, lists);
  form.AddRadio("uscita", "Uscita", {"Anteprima di stampa", "Stampa"}, 0);
  const std::string& date = RememberedReferenceDate();
  form.AddEdit("data", "Data ", date.empty() ? FormatDate(Today()) : date, 10);

  form.SetAcceptHandler([&ui, &params, lists](Form& f) {
    const std::optional<ContractChoice> contract = CheckContractFields(ui, f, lists);
    if (!contract) return false;
    const std::optional<Date> date = ParseDialogDate(f.Text("data"));
    if (!date) {
      ui.Stop(kBadReferenceDate);
      return false;
    }
    params.context = contract->context;
    params.ente = contract->ente;
    params.azienda = contract->azienda;
    params.date = FormatDate(*date);
    params.output = f.Selected("uscita") == 1 ? OutputKind::Print : OutputKind::Preview;
    f.SetText("data", params.date);
    RememberedChoices& keep = Remembered();
    keep.context = params.context;
    keep.ente = params.ente;
    keep.azienda = params.azienda;
    RememberedReferenceDate() = params.date;
    return true;
  });
  return form;
}

}  // namespace kvt::contracts
