// A dialog as data. A command builds a Form (fields with captions and values, buttons with
// handlers, an accept handler holding the checks), hands it to Ui::RunForm, and reads the
// values back. The Qt front end renders any Form as a real dialog; the scripted Ui of the
// tests and the command line fill it from given values. The checks therefore live with the
// command, once, and are tested without a window.
//
// Every field has an id, unique within the form: the command line takes it as an option
// name ("--dsn"), tests use it to fill the field.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kvt {

class Form;

enum class FieldKind {
  GroupBegin,  // a framed group; fields up to the matching GroupEnd belong to it
  GroupEnd,
  List,        // drop-down list of entries; its value is the chosen text
  MultiList,   // list where several rows may be chosen
  Edit,        // one-line edit field, at most maxLength characters (0: no limit)
  Check,       // check box
  Radio,       // group of exclusive options
  Label,       // read-only text
  Button,      // push button running a handler; the dialog stays open
};

struct FormField {
  FieldKind kind = FieldKind::Label;
  std::string id;
  std::string caption;
  std::string text;                  // List, Edit, Label: the current text
  std::vector<std::string> entries;  // List, MultiList, Radio: the choices in order
  std::vector<int> chosen;           // MultiList: chosen rows, ascending
  int selected = -1;                 // List, Radio: chosen index, -1 for none
  int maxLength = 0;                 // Edit: limit in characters, 0 for none
  bool editable = false;             // List: the user may type a text of his own
  bool checked = false;              // Check
  bool enabled = true;
  // List: shown open, as the list of a list-and-field dialog whose selection fills the
  // fields below it, rather than as a drop-down.
  bool listBox = false;
  std::function<void(Form&)> onClick;   // Button
  std::function<void(Form&)> onChange;  // any input field, after its value changed
};

class Form {
 public:
  explicit Form(std::string title) : title_(std::move(title)) {}

  const std::string& Title() const { return title_; }
  std::string okCaption = "OK";
  std::string cancelCaption = "Annulla";

  // Builders; each returns the new field so that callers may adjust it.
  FormField& AddGroup(std::string id, std::string caption);
  void EndGroup();
  FormField& AddList(std::string id, std::string caption, std::vector<std::string> entries,
                     int selected = -1);
  FormField& AddMultiList(std::string id, std::string caption, std::vector<std::string> entries);
  FormField& AddEdit(std::string id, std::string caption, std::string text, int maxLength = 0);
  FormField& AddCheck(std::string id, std::string caption, bool checked = false);
  FormField& AddRadio(std::string id, std::string caption, std::vector<std::string> options,
                      int selected = 0);
  FormField& AddLabel(std::string id, std::string text);
  FormField& AddButton(std::string id, std::string caption, std::function<void(Form&)> onClick);

  // Runs the checks when the user presses OK: return true to close the dialog, false to
  // keep it open (the handler has shown its message through the Ui).
  void SetAcceptHandler(std::function<bool(Form&)> handler) { accept_ = std::move(handler); }
  bool Accept() { return accept_ ? accept_(*this) : true; }
  // The handler set, so that a variant of a dialog can run its checks and then its own.
  const std::function<bool(Form&)>& AcceptHandler() const { return accept_; }

  // Field access by id; a missing id is a programming error (asserts, then a dummy field).
  FormField& Field(std::string_view id);
  const FormField& Field(std::string_view id) const;
  bool Has(std::string_view id) const;
  std::vector<FormField>& Fields() { return fields_; }
  const std::vector<FormField>& Fields() const { return fields_; }

  // Value helpers. For a List, Text() is the shown text: the chosen entry, or what was typed.
  const std::string& Text(std::string_view id) const { return Field(id).text; }
  void SetText(std::string_view id, std::string text);
  int Selected(std::string_view id) const { return Field(id).selected; }
  void Select(std::string_view id, int index);  // List/Radio; also sets a List's text
  bool Checked(std::string_view id) const { return Field(id).checked; }
  void SetChecked(std::string_view id, bool checked) { Field(id).checked = checked; }
  void SetEnabled(std::string_view id, bool enabled) { Field(id).enabled = enabled; }
  void SetEntries(std::string_view id, std::vector<std::string> entries);

  // Sets a field from a text the way a user would: a List takes the text (and selects the
  // entry equal to it, if any), a Radio or MultiList takes option texts or indices, a Check
  // takes 1/0/yes/no/true/false. Runs the field's onChange. False when the value is not
  // acceptable for the field (unknown option).
  bool SetFromText(std::string_view id, std::string_view value);

  // Presses the button `id` as a user would: runs its handler when it is enabled. False for
  // a field that is no button or is disabled. The dialogs that edit a table ("Inserisci",
  // "Elimina" beside a list and its fields) do their work here and stay open.
  bool Press(std::string_view id);

 private:
  FormField& Append(FieldKind kind, std::string id, std::string caption);

  std::string title_;
  std::vector<FormField> fields_;
  std::function<bool(Form&)> accept_;
};

}  // namespace kvt
