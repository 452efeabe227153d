// Any Form as a Qt dialog: group boxes, combo boxes, line edits with their length limit,
// check boxes, radio groups, labels and buttons, each widget named after its field id.
// OK runs the form's accept handler and keeps the dialog open when it refuses.
#pragma once

#include <QDialog>
#include <vector>

#include "platform/form.h"

class QButtonGroup;
class QFormLayout;
class QLabel;
class QPushButton;

namespace kvt::gui {

class FormDialog : public QDialog {
 public:
  FormDialog(Form& form, QWidget* parent);

  // The dialog's own OK button (for tests and the screenshot script).
  QPushButton* okButton() const { return ok_; }

 private:
  struct Slot {
    QWidget* widget = nullptr;
    QLabel* caption = nullptr;
    QButtonGroup* radios = nullptr;
  };

  void Build();
  Slot AddField(size_t index, std::vector<QFormLayout*>& stack);
  Slot MakeInput(size_t index);
  void Connect(size_t index);
  void Pull(size_t index);  // widget -> form
  void PushAll();           // form -> widgets
  void Push(size_t index);
  void Edited(size_t index);
  void Clicked(size_t index);
  void OkPressed();

  Form& form_;
  std::vector<Slot> slots_;
  QPushButton* ok_ = nullptr;
  bool pushing_ = false;
};

}  // namespace kvt::gui
