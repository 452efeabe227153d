#include "platform/form.h"

#include <algorithm>
#include <cassert>
#include <charconv>

namespace kvt {

FormField& Form::Append(FieldKind kind, std::string id, std::string caption) {
  assert(id.empty() || !Has(id));
  FormField f;
  f.kind = kind;
  f.id = std::move(id);
  f.caption = std::move(caption);
  fields_.push_back(std::move(f));
  return fields_.back();
}

FormField& Form::AddGroup(std::string id, std::string caption) {
  return Append(FieldKind::GroupBegin, std::move(id), std::move(caption));
}

void Form::EndGroup() { Append(FieldKind::GroupEnd, "", ""); }

FormField& Form::AddList(std::string id, std::string caption, std::vector<std::string> entries,
                         int selected) {
  FormField& f = Append(FieldKind::List, std::move(id), std::move(caption));
  f.entries = std::move(entries);
  if (selected >= 0 && selected < static_cast<int>(f.entries.size())) {
    f.selected = selected;
    f.text = f.entries[selected];
  }
  return f;
}

FormField& Form::AddMultiList(std::string id, std::string caption,
                              std::vector<std::string> entries) {
  FormField& f = Append(FieldKind::MultiList, std::move(id), std::move(caption));
  f.entries = std::move(entries);
  return f;
}

FormField& Form::AddEdit(std::string id, std::string caption, std::string text, int maxLength) {
  FormField& f = Append(FieldKind::Edit, std::move(id), std::move(caption));
  f.text = std::move(text);
  f.maxLength = maxLength;
  return f;
}

FormField& Form::AddCheck(std::string id, std::string caption, bool checked) {
  FormField& f = Append(FieldKind::Check, std::move(id), std::move(caption));
  f.checked = checked;
  return f;
}

FormField& Form::AddRadio(std::string id, std::string caption, std::vector<std::string> options,
                          int selected) {
  FormField& f = Append(FieldKind::Radio, std::move(id), std::move(caption));
  f.entries = std::move(options);
  f.selected = selected;
  return f;
}

FormField& Form::AddLabel(std::string id, std::string text) {
  FormField& f = Append(FieldKind::Label, std::move(id), "");
  f.text = std::move(text);
  return f;
}

FormField& Form::AddButton(std::string id, std::string caption,
                           std::function<void(Form&)> onClick) {
  FormField& f = Append(FieldKind::Button, std::move(id), std::move(caption));
  f.onClick = std::move(onClick);
  return f;
}

bool Form::Has(std::string_view id) const {
  return std::any_of(fields_.begin(), fields_.end(),
                     [&](const FormField& f) { return !f.id.empty() && f.id == id; });
}

FormField& Form::Field(std::string_view id) {
  for (FormField& f : fields_)
    if (f.id == id) return f;
  assert(!"unknown form field");
  static FormField dummy;
  dummy = FormField{};
  return dummy;
}

const FormField& Form::Field(std::string_view id) const {
  return const_cast<Form*>(this)->Field(id);
}

void Form::SetText(std::string_view id, std::string text) {
  FormField& f = Field(id);
  f.text = std::move(text);
  if (f.kind == FieldKind::List) {
    auto it = std::find(f.entries.begin(), f.entries.end(), f.text);
    f.selected = it == f.entries.end() ? -1 : static_cast<int>(it - f.entries.begin());
  }
}

void Form::Select(std::string_view id, int index) {
  FormField& f = Field(id);
  if (index < 0 || index >= static_cast<int>(f.entries.size())) index = -1;
  f.selected = index;
  if (f.kind == FieldKind::List) f.text = index >= 0 ? f.entries[index] : std::string();
}

void Form::SetEntries(std::string_view id, std::vector<std::string> entries) {
  FormField& f = Field(id);
  f.entries = std::move(entries);
  f.chosen.clear();
  if (f.kind == FieldKind::List) {
    SetText(id, f.text);
  } else if (f.selected >= static_cast<int>(f.entries.size())) {
    f.selected = -1;
  }
}

namespace {

// An option given as its text, or as its 0-based index when no option has that text.
int FindOption(const std::vector<std::string>& options, std::string_view value) {
  for (size_t i = 0; i < options.size(); ++i)
    if (options[i] == value) return static_cast<int>(i);
  int index = -1;
  auto [p, ec] = std::from_chars(value.data(), value.data() + value.size(), index);
  if (ec != std::errc() || p != value.data() + value.size()) return -1;
  return index >= 0 && index < static_cast<int>(options.size()) ? index : -1;
}

}  // namespace

bool Form::SetFromText(std::string_view id, std::string_view value) {
  if (!Has(id)) return false;
  FormField& f = Field(id);
  switch (f.kind) {
    case FieldKind::List:
    case FieldKind::Edit:
    case FieldKind::Label:
      SetText(id, std::string(value));
      break;
    case FieldKind::Radio: {
      int i = FindOption(f.entries, value);
      if (i < 0) return false;
      f.selected = i;
      break;
    }
    case FieldKind::MultiList: {
      f.chosen.clear();
      size_t start = 0;
      while (start <= value.size()) {
        size_t end = value.find(';', start);
        if (end == std::string_view::npos) end = value.size();
        std::string_view item = value.substr(start, end - start);
        if (!item.empty()) {
          int i = FindOption(f.entries, item);
          if (i < 0) return false;
          f.chosen.push_back(i);
        }
        start = end + 1;
      }
      std::sort(f.chosen.begin(), f.chosen.end());
      f.chosen.erase(std::unique(f.chosen.begin(), f.chosen.end()), f.chosen.end());
      break;
    }
    case FieldKind::Check:
      if (value == "1" || value == "yes" || value == "true" || value == "si") {
        f.checked = true;
      } else if (value == "0" || value == "no" || value == "false") {
        f.checked = false;
      } else {
        return false;
      }
      break;
    default:
      return false;
  }
  if (f.onChange) f.onChange(*this);
  return true;
}

bool Form::Press(std::string_view id) {
  if (!Has(id)) return false;
  FormField& f = Field(id);
  if (f.kind != FieldKind::Button || !f.enabled || !f.onClick) return false;
  // The handler may refill the form: it runs from a copy of itself.
  const std::function<void(Form&)> onClick = f.onClick;
  onClick(*this);
  return true;
}

}  // namespace kvt
