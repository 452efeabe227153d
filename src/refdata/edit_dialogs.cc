// The two list-and-field dialogs: the lots and the basins. The list's chosen entry fills the
// name; "Inserisci" ("Modifica" once an entry is chosen) and "Elimina" work while the dialog
// stays open; "Fine" and "Annulla" close it.
#include <functional>

#include "core/text.h"
#include "db/database.h"
#include "platform/form.h"
#include "platform/ui.h"
#include "refdata/basins.h"
#include "refdata/commands.h"
#include "refdata/lots.h"

namespace kvt::refdata {

namespace {

using Entries = std::function<std::optional<std::vector<std::string>>()>;

// Refills the list, clears the texts and forgets the choice.
void Reset(Form& form, const Entries& entries) {
  if (std::optional<std::vector<std::string>> e = entries()) form.SetEntries(kListField, *e);
  form.SetText(kListField, "");
  form.SetText(kNameField, "");
  form.Field(kSaveButton).caption = "Inserisci";
  form.SetEnabled(kDeleteButton, false);
}

void OnChoose(Form& form) {
  const FormField& list = form.Field(kListField);
  const bool chosen = list.selected >= 0;
  if (chosen) form.SetText(kNameField, list.text.size() > 7 ? list.text.substr(7) : "");
  form.Field(kSaveButton).caption = chosen ? "Modifica" : "Inserisci";
  form.SetEnabled(kDeleteButton, chosen);
}

// The chosen entry's code, when the list's text is an entry of it.
std::optional<int> ChosenEntry(const Form& form) {
  const FormField& list = form.Field(kListField);
  if (list.selected < 0) return std::nullopt;
  return PickCode(list.text, list.entries);
}

Form ListAndFieldForm(std::string title, std::string listCaption,
                      std::vector<std::string> entries) {
  Form form(std::move(title));
  form.okCaption = "Fine";
  form.cancelCaption = "Annulla";
  FormField& list = form.AddList(kListField, std::move(listCaption), std::move(entries));
  list.editable = true;
  list.listBox = true;
  list.onChange = OnChoose;
  form.AddEdit(kNameField, "Denominazione", "", 40);
  form.AddButton(kSaveButton, "Inserisci", nullptr);
  form.AddButton(kDeleteButton, "Elimina", nullptr).enabled = false;
  return form;
}

}  // namespace

bool RunEditLotsCommand(Ui& ui, db::Database& db) {
  std::optional<std::vector<std::string>> entries = LotEntries(db);
  if (!entries) return false;
  const Entries refill = [&db] { return LotEntries(db); };
  Form form = ListAndFieldForm("Editing Lotti di Gara", "Lista Lotti", std::move(*entries));
  form.Field(kSaveButton).onClick = [&db, &ui, refill](Form& f) {
    if (!SaveLot(db, ui, f.Text(kListField), f.Text(kNameField))) {
      if (Trim(f.Text(kNameField)).empty()) return;  // the name is asked for again
    }
    Reset(f, refill);
  };
  form.Field(kDeleteButton).onClick = [&db, &ui, refill](Form& f) {
    if (DeleteLot(db, ui, f.Text(kListField), f.Field(kListField).entries)) Reset(f, refill);
  };
  ui.RunForm(form);
  return true;
}

bool RunEditBasinsCommand(Ui& ui, db::Database& db) {
  std::optional<std::vector<std::string>> entries = BasinEntries(db);
  if (!entries) return false;
  const Entries refill = [&db] { return BasinEntries(db); };
  Form form = ListAndFieldForm("Tabella Bacini", "Lista Bacini", std::move(*entries));
  form.Field(kSaveButton).onClick = [&db, &ui, refill](Form& f) {
    if (Trim(f.Text(kNameField)).empty()) {
      ui.Stop(kBasinNameMissingMessage);
      return;
    }
    if (!SaveBasin(db, ui, ChosenEntry(f), f.Text(kNameField)) && ChosenEntry(f) == 0) return;
    Reset(f, refill);
  };
  form.Field(kDeleteButton).onClick = [&db, &ui, refill](Form& f) {
    const std::optional<int> chosen = ChosenEntry(f);
    if (!chosen || (!DeleteBasin(db, ui, *chosen) && *chosen == 0)) return;
    Reset(f, refill);  // also after a basin the database would not delete (still in use)
  };
  ui.RunForm(form);
  return true;
}

}  // namespace kvt::refdata
