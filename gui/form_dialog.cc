#include "gui/form_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/qt_ui.h"

namespace kvt::gui {
namespace {

QStringList ToQList(const std::vector<std::string>& items) {
  QStringList out;
  for (const std::string& s : items) out << ToQ(s);
  return out;
}

bool SameEntries(QComboBox* combo, const std::vector<std::string>& entries) {
  if (combo->count() != static_cast<int>(entries.size())) return false;
  for (int i = 0; i < combo->count(); ++i)
    if (combo->itemText(i) != ToQ(entries[i])) return false;
  return true;
}

}  // namespace

FormDialog::FormDialog(Form& form, QWidget* parent) : QDialog(parent), form_(form) {
  setWindowTitle(ToQ(form.Title()));
  Build();
  PushAll();
}

void FormDialog::Build() {
  auto* top = MakeChild<QVBoxLayout>(this);
  auto* root = MakeChild<QFormLayout>();
  top->addLayout(root);
  std::vector<QFormLayout*> stack{root};
  slots_.resize(form_.Fields().size());
  for (size_t i = 0; i < slots_.size(); ++i) {
    slots_[i] = AddField(i, stack);
    Connect(i);
  }
  auto* buttons = MakeChild<QDialogButtonBox>(this);
  ok_ = buttons->addButton(ToQ(form_.okCaption), QDialogButtonBox::AcceptRole);
  buttons->addButton(ToQ(form_.cancelCaption), QDialogButtonBox::RejectRole);
  ok_->setDefault(true);
  top->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] { OkPressed(); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

FormDialog::Slot FormDialog::AddField(size_t index, std::vector<QFormLayout*>& stack) {
  const FormField& f = form_.Fields()[index];
  Slot slot;
  if (f.kind == FieldKind::GroupEnd) {
    if (stack.size() > 1) stack.pop_back();
    return slot;
  }
  if (f.kind == FieldKind::GroupBegin) {
    auto* box = MakeChild<QGroupBox>(ToQ(f.caption), this);
    stack.back()->addRow(box);
    stack.push_back(MakeChild<QFormLayout>(box));
    slot.widget = box;
    return slot;
  }
  slot = MakeInput(index);
  slot.widget->setObjectName(ToQ(f.id));
  bool captioned =
      f.kind == FieldKind::List || f.kind == FieldKind::Edit || f.kind == FieldKind::MultiList;
  if (captioned && !f.caption.empty()) {
    slot.caption = MakeChild<QLabel>(ToQ(f.caption), this);
    slot.caption->setBuddy(slot.widget);
    stack.back()->addRow(slot.caption, slot.widget);
  } else {
    stack.back()->addRow(slot.widget);
  }
  return slot;
}

FormDialog::Slot FormDialog::MakeInput(size_t index) {
  const FormField& f = form_.Fields()[index];
  Slot slot;
  switch (f.kind) {
    case FieldKind::List: {
      auto* combo = MakeChild<QComboBox>(this);
      combo->setEditable(f.editable);
      combo->setMinimumContentsLength(30);
      slot.widget = combo;
      break;
    }
    case FieldKind::MultiList: {
      auto* list = MakeChild<QListWidget>(this);
      list->setSelectionMode(QAbstractItemView::MultiSelection);
      slot.widget = list;
      break;
    }
    case FieldKind::Edit: {
      auto* edit = MakeChild<QLineEdit>(this);
      if (f.maxLength > 0) edit->setMaxLength(f.maxLength);
      slot.widget = edit;
      break;
    }
    case FieldKind::Check:
      slot.widget = MakeChild<QCheckBox>(ToQ(f.caption), this);
      break;
    case FieldKind::Radio: {
      auto* box = MakeChild<QGroupBox>(ToQ(f.caption), this);
      auto* layout = MakeChild<QVBoxLayout>(box);
      slot.radios = MakeChild<QButtonGroup>(box);
      for (size_t i = 0; i < f.entries.size(); ++i) {
        auto* radio = MakeChild<QRadioButton>(ToQ(f.entries[i]), box);
        slot.radios->addButton(radio, static_cast<int>(i));
        layout->addWidget(radio);
      }
      slot.widget = box;
      break;
    }
    case FieldKind::Button:
      slot.widget = MakeChild<QPushButton>(ToQ(f.caption), this);
      break;
    default:
      slot.widget = MakeChild<QLabel>(this);
      break;
  }
  return slot;
}

void FormDialog::Connect(size_t index) {
  QWidget* w = slots_[index].widget;
  auto edited = [this, index] { Edited(index); };
  if (auto* combo = qobject_cast<QComboBox*>(w)) {
    connect(combo, &QComboBox::currentIndexChanged, this, edited);
    if (combo->isEditable()) connect(combo, &QComboBox::editTextChanged, this, edited);
  } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    connect(edit, &QLineEdit::textEdited, this, edited);
  } else if (auto* check = qobject_cast<QCheckBox*>(w)) {
    connect(check, &QCheckBox::toggled, this, edited);
  } else if (auto* list = qobject_cast<QListWidget*>(w)) {
    connect(list, &QListWidget::itemSelectionChanged, this, edited);
  } else if (auto* button = qobject_cast<QPushButton*>(w)) {
    connect(button, &QPushButton::clicked, this, [this, index] { Clicked(index); });
  }
  if (QButtonGroup* radios = slots_[index].radios)
    connect(radios, &QButtonGroup::idToggled, this, edited);
}

void FormDialog::Pull(size_t index) {
  FormField& f = form_.Fields()[index];
  QWidget* w = slots_[index].widget;
  if (auto* combo = qobject_cast<QComboBox*>(w)) {
    if (combo->isEditable()) {
      form_.SetText(f.id, combo->currentText().toStdString());
    } else {
      form_.Select(f.id, combo->currentIndex());
    }
  } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    form_.SetText(f.id, edit->text().toStdString());
  } else if (auto* check = qobject_cast<QCheckBox*>(w)) {
    f.checked = check->isChecked();
  } else if (auto* list = qobject_cast<QListWidget*>(w)) {
    f.chosen.clear();
    for (int i = 0; i < list->count(); ++i)
      if (list->item(i)->isSelected()) f.chosen.push_back(i);
  } else if (slots_[index].radios) {
    f.selected = slots_[index].radios->checkedId();
  }
}

void FormDialog::Push(size_t index) {
  const FormField& f = form_.Fields()[index];
  QWidget* w = slots_[index].widget;
  if (!w) return;
  w->setEnabled(f.enabled);
  if (slots_[index].caption) slots_[index].caption->setEnabled(f.enabled);
  if (auto* combo = qobject_cast<QComboBox*>(w)) {
    if (!SameEntries(combo, f.entries)) {
      combo->clear();
      combo->addItems(ToQList(f.entries));
    }
    combo->setCurrentIndex(f.selected);
    if (combo->isEditable()) combo->setEditText(ToQ(f.text));
  } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    if (edit->text() != ToQ(f.text)) edit->setText(ToQ(f.text));
  } else if (auto* check = qobject_cast<QCheckBox*>(w)) {
    check->setChecked(f.checked);
  } else if (auto* list = qobject_cast<QListWidget*>(w)) {
    if (list->count() != static_cast<int>(f.entries.size())) {
      list->clear();
      list->addItems(ToQList(f.entries));
    }
    for (int i = 0; i < list->count(); ++i)
      list->item(i)->setSelected(std::count(f.chosen.begin(), f.chosen.end(), i) > 0);
  } else if (QButtonGroup* radios = slots_[index].radios) {
    if (QAbstractButton* b = radios->button(f.selected)) b->setChecked(true);
  } else if (auto* label = qobject_cast<QLabel*>(w); label && f.kind == FieldKind::Label) {
    label->setText(ToQ(f.text));
  }
}

void FormDialog::PushAll() {
  pushing_ = true;
  size_t n = std::min(slots_.size(), form_.Fields().size());
  for (size_t i = 0; i < n; ++i) Push(i);
  pushing_ = false;
}

void FormDialog::Edited(size_t index) {
  if (pushing_ || index >= form_.Fields().size()) return;
  Pull(index);
  if (auto onChange = form_.Fields()[index].onChange) onChange(form_);
  PushAll();
}

void FormDialog::Clicked(size_t index) {
  size_t n = std::min(slots_.size(), form_.Fields().size());
  for (size_t i = 0; i < n; ++i) Pull(i);
  if (auto onClick = form_.Fields()[index].onClick) onClick(form_);
  PushAll();
}

void FormDialog::OkPressed() {
  size_t n = std::min(slots_.size(), form_.Fields().size());
  for (size_t i = 0; i < n; ++i) Pull(i);
  if (form_.Accept()) {
    accept();
  } else {
    PushAll();
  }
}

}  // namespace kvt::gui
