// TField: one column of a client dataset, read and written through the
// dataset's current record.
//
// Every field of this system is a string field: its value is null or a UTF-8
// text of at most Size() characters. Assigning the empty text stores null.
// A value longer than the field, or text that is not UTF-8, is refused with
// EDatabaseError and the field keeps its value; a value is never cut.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "rtl/component.h"
#include "rtl/variant.h"

namespace db {

class TClientDataSet;

class TField : public rtl::TComponent {
 public:
  // get-text handler: fills `text`; `display_text` is true for display, false
  // for the in-place editor.
  using TGetTextEvent = std::function<void(TField* sender, std::string& text, bool display_text)>;
  using TSetTextEvent = std::function<void(TField* sender, const std::string& text)>;

  // Fields are created by their dataset (TClientDataSet::AddStringField or
  // when a packet is loaded into a dataset without field definitions).
  TField(TClientDataSet* dataset, std::string field_name, int size);

  const std::string& FieldName() const { return field_name_; }
  int Size() const { return size_; }
  TClientDataSet* DataSet() const { return dataset_; }
  // Position in the dataset's field list, from 0.
  int Index() const;

  // The column title; the field name when none was set.
  const std::string& DisplayLabel() const;
  void SetDisplayLabel(std::string label) { display_label_ = std::move(label); }
  bool Visible() const { return visible_; }
  void SetVisible(bool visible) { visible_ = visible; }
  bool FixedChar() const { return fixed_char_; }
  void SetFixedChar(bool fixed) { fixed_char_ = fixed; }

  // Value of the dataset's active record (the edit buffer while editing).
  bool IsNull() const;
  std::string AsString() const;  // "" for null
  rtl::Variant Value() const;    // Null or a string
  // Writing needs the dataset in edit or insert state (EDatabaseError
  // otherwise). Null, empty and "" store null; other kinds are converted to
  // text first.
  void SetAsString(std::string_view value);
  void SetValue(const rtl::Variant& value);

  // The value as last loaded or merged (Null for a row not yet saved), and the
  // current value. A field has changed when the two differ.
  rtl::Variant OldValue() const;
  rtl::Variant NewValue() const;

  // Text for the editor and for display: OnGetText when assigned, else
  // AsString().
  std::string Text() const;
  std::string DisplayText() const;
  // Assigns entered text: OnSetText when assigned, else SetAsString.
  void SetText(std::string_view text);

  // Asks the data-aware controls showing this field to take the focus on it
  // (a grid selects the field's column and focuses itself).
  void FocusControl();

  TGetTextEvent OnGetText;
  TSetTextEvent OnSetText;

 private:
  friend class TClientDataSet;
  TClientDataSet* dataset_;
  std::string field_name_;
  int size_;
  std::string display_label_;
  bool visible_ = true;
  bool fixed_char_ = false;
};

}  // namespace db
