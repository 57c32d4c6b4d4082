// TColumn and TDBGridColumns: the columns of a data grid, each showing one
// field of the grid's dataset by name.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "vcl/graphics.h"

namespace db {
class TField;
}

namespace vcl {

class TDBGrid;
class TColumn;

// cbsAuto shows a drop-down when the column has a pick list; cbsEllipsis a
// button that raises the grid's OnEditButtonClick; cbsNone nothing.
enum class TColumnButtonStyle { cbsAuto, cbsEllipsis, cbsNone };

class TColumnTitle {
 public:
  // The caption set, or else the field's display label, or else the field name.
  std::string Caption() const;
  void SetCaption(std::string caption);
  TFont& Font() { return font_; }
  const TFont& Font() const { return font_; }

 private:
  friend class TColumn;
  explicit TColumnTitle(TColumn* column);
  TColumn* column_;
  std::string caption_;
  bool caption_set_ = false;
  TFont font_;
};

class TColumn {
 public:
  TColumn(const TColumn&) = delete;
  TColumn& operator=(const TColumn&) = delete;

  TDBGrid* Grid() const { return grid_; }
  int Index() const;

  const std::string& FieldName() const { return field_name_; }
  void SetFieldName(std::string name);
  // The field of the grid's dataset with this name (without regard to case),
  // or nullptr when there is none.
  db::TField* Field() const;

  int Width() const { return width_; }
  void SetWidth(int width);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool read_only);
  TColumnButtonStyle ButtonStyle() const { return button_style_; }
  void SetButtonStyle(TColumnButtonStyle style);
  const std::vector<std::string>& PickList() const { return pick_list_; }
  void SetPickList(std::vector<std::string> items);
  // Background of the column's cells; clDefault takes the grid's colour.
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TColumnTitle& Title() { return title_; }
  const TColumnTitle& Title() const { return title_; }
  // A drop-down of the pick list is offered (cbsAuto with a pick list).
  bool HasPickList() const;

 private:
  friend class TDBGridColumns;
  friend class TColumnTitle;
  explicit TColumn(TDBGrid* grid);
  void Changed();

  TDBGrid* grid_;
  std::string field_name_;
  int width_ = 64;
  bool visible_ = true;
  bool read_only_ = false;
  TColumnButtonStyle button_style_ = TColumnButtonStyle::cbsAuto;
  std::vector<std::string> pick_list_;
  TColor color_ = clDefault;
  TColumnTitle title_;
};

// The grid's column list. While no column was added by hand the grid makes one
// column per visible field of its dataset (default columns), rebuilt whenever
// the dataset or its fields change.
class TDBGridColumns {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  TColumn* Items(int index) const { return items_.at(index).get(); }
  TColumn* operator[](int index) const { return Items(index); }
  // A new column at the end; the list stops being the default one.
  TColumn* Add();
  void Clear();
  // True while the columns are the default ones.
  bool IsDefault() const { return default_; }
  // The first column showing `field_name` (without regard to case), or nullptr.
  TColumn* FindByFieldName(std::string_view field_name) const;

 private:
  friend class TDBGrid;
  explicit TDBGridColumns(TDBGrid* grid) : grid_(grid) {}
  void RebuildDefault();
  TDBGrid* grid_;
  std::vector<std::unique_ptr<TColumn>> items_;
  bool default_ = true;
};

}  // namespace vcl
