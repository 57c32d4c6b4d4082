#include "vcl/grid_column.h"

#include "db/client_dataset.h"
#include "rtl/strings.h"
#include "vcl/db_grid.h"

namespace vcl {

TColumnTitle::TColumnTitle(TColumn* column) : column_(column) {
  font_.OnChange = [this] { column_->Changed(); };
}

std::string TColumnTitle::Caption() const {
  if (caption_set_) return caption_;
  if (db::TField* field = column_->Field()) return field->DisplayLabel();
  return column_->FieldName();
}

void TColumnTitle::SetCaption(std::string caption) {
  caption_ = std::move(caption);
  caption_set_ = true;
  column_->Changed();
}

TColumn::TColumn(TDBGrid* grid) : grid_(grid), title_(this) {}

int TColumn::Index() const {
  const TDBGridColumns& columns = grid_->Columns();
  for (int i = 0; i < columns.Count(); ++i)
    if (columns.Items(i) == this) return i;
  return -1;
}

void TColumn::SetFieldName(std::string name) {
  if (name == field_name_) return;
  field_name_ = std::move(name);
  Changed();
  grid_->ColumnsChanged();
}

db::TField* TColumn::Field() const {
  db::TClientDataSet* ds = grid_->DataSet();
  if (!ds || field_name_.empty()) return nullptr;
  return ds->FindField(field_name_);
}

void TColumn::SetWidth(int width) {
  width = width < 0 ? 0 : width;
  if (width == width_) return;
  width_ = width;
  Changed();
}

void TColumn::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  Changed();
}

void TColumn::SetReadOnly(bool read_only) {
  read_only_ = read_only;
  Changed();
}

void TColumn::SetButtonStyle(TColumnButtonStyle style) {
  button_style_ = style;
  Changed();
}

void TColumn::SetPickList(std::vector<std::string> items) {
  pick_list_ = std::move(items);
  Changed();
}

void TColumn::SetColor(TColor color) {
  color_ = color;
  Changed();
}

bool TColumn::HasPickList() const {
  return button_style_ == TColumnButtonStyle::cbsAuto && !pick_list_.empty();
}

void TColumn::Changed() {
  NotifyChanged(grid_, TChange::Columns);
}

TColumn* TDBGridColumns::Add() {
  if (default_) {
    items_.clear();
    default_ = false;
  }
  items_.push_back(std::unique_ptr<TColumn>(new TColumn(grid_)));
  grid_->ColumnsChanged();
  return items_.back().get();
}

void TDBGridColumns::Clear() {
  items_.clear();
  default_ = true;
  RebuildDefault();
  grid_->ColumnsChanged();
}

TColumn* TDBGridColumns::FindByFieldName(std::string_view field_name) const {
  for (const auto& c : items_)
    if (rtl::SameText(c->FieldName(), field_name)) return c.get();
  return nullptr;
}

void TDBGridColumns::RebuildDefault() {
  if (!default_) return;
  std::vector<std::string> names;
  if (db::TClientDataSet* ds = grid_->DataSet())
    for (int i = 0; i < ds->FieldCount(); ++i)
      if (ds->Fields(i)->Visible()) names.push_back(ds->Fields(i)->FieldName());
  bool same = names.size() == items_.size();
  for (size_t i = 0; same && i < names.size(); ++i) same = items_[i]->FieldName() == names[i];
  if (same) return;
  items_.clear();
  for (std::string& name : names) {
    items_.push_back(std::unique_ptr<TColumn>(new TColumn(grid_)));
    items_.back()->field_name_ = std::move(name);
  }
}

}  // namespace vcl
