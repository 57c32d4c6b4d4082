// TDBGrid: a data-aware grid over the dataset of a data source, one row per
// record and one column per TColumn, with the platform's standard editing.
//
// Keys (KeyDown for every key, then KeyPress for the character it produced;
// OnKeyDown and OnKeyPress see each first and may change or swallow it):
//   printable character  with dgEditing on an editable cell: puts the dataset
//                        in edit state (Edit on an empty one inserts) and
//                        types into the in-place editor, replacing its
//                        selection; an editor not yet shown opens with the
//                        character alone (the cell's text is replaced). A
//                        character that would make the text longer than the
//                        field is refused: the text stays and the observers
//                        hear TChange::EditorRefused (a renderer beeps).
//   Backspace (KeyPress) the selection, else the character before the caret.
//   Enter, F2            show the editor with the field's text, all of it
//                        selected; Enter on a shown editor writes it to the
//                        field and closes it.
//   Escape               a changed editor text is given up; an unchanged one
//                        cancels the row's edit or insert.
//   Insert               with dgEditing: inserts a row before the current one.
//   Up / Down            previous / next row, posting a modified row first (a
//                        post refused by BeforePost keeps the grid on the row,
//                        still in edit state); Down on the last row appends
//                        (dgEditing); Up in an untouched inserted row cancels it.
//   PageUp / PageDown    a page of rows; Ctrl+Home / Ctrl+End first / last row.
//                        At an end already reached, the keys towards it move
//                        nothing and raise no scroll (the dataset's rule).
//   Left / Right, Home / End  previous / next, first / last column. In a
//                        shown editor they move the caret (Shift: extending
//                        the selection); Left / Right first collapse a
//                        selection and leave the cell only from the caret at
//                        the text's start / end.
//   Delete, Ctrl+A       in a shown editor: delete the selection or the
//                        character after the caret; select the whole text.
//   Tab / Shift+Tab      with dgTabs: next / previous column, wrapping to the
//                        next / previous row (appending past the last row).
//   Ctrl+Delete          deletes the current row; with dgConfirmDelete only
//                        after "Excluir registro?" was answered Yes
//                        (mtConfirmation, Yes/No) through the user-interface
//                        service.
//
// Editor text reaches the field through TField::SetText (so set-text handlers
// run) before the grid changes column, before the row posts or moves, and
// when the focus leaves the grid. A column change writes the text, then fires
// OnColExit (which may throw: the grid stays on its column and the editor
// keeps its text), then moves and fires OnColEnter. Cell texts are the
// fields' DisplayText, the editor starts with Text.
//
// Leaving the grid (DoExit) with dgCancelOnExit cancels an inserted row
// nothing was typed into.
//
// Painting: Paint draws the title row, the indicator column and the visible
// rows; DrawCell draws one data cell (a renderer may paint cell by cell). A
// data cell is drawn with the dataset reading that row: default drawing fills
// it (highlight when selected) and writes the display text at (left+2, top+2),
// then OnDrawColumnCell runs with the canvas as left.
//
// Rows are addressed by record number (1-based, as RecNo), columns by their
// index in Columns().
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "db/data_source.h"
#include "vcl/canvas.h"
#include "vcl/control.h"
#include "vcl/grid_column.h"
#include "vcl/inplace_edit.h"

namespace vcl {

enum TDBGridOption : unsigned {
  dgEditing = 1 << 0,
  dgAlwaysShowEditor = 1 << 1,
  dgTitles = 1 << 2,
  dgIndicator = 1 << 3,
  dgColumnResize = 1 << 4,
  dgColLines = 1 << 5,
  dgRowLines = 1 << 6,
  dgTabs = 1 << 7,
  dgRowSelect = 1 << 8,
  dgAlwaysShowSelection = 1 << 9,
  dgConfirmDelete = 1 << 10,
  dgCancelOnExit = 1 << 11,
};
using TDBGridOptions = unsigned;
inline constexpr TDBGridOptions kDefaultGridOptions = dgEditing | dgTitles | dgIndicator |
                                                      dgColumnResize | dgColLines | dgRowLines |
                                                      dgTabs | dgConfirmDelete | dgCancelOnExit;

enum TGridDrawStateFlag : unsigned { gdSelected = 1, gdFocused = 2, gdFixed = 4 };
using TGridDrawState = unsigned;

using TDrawColumnCellEvent = std::function<void(
    rtl::TObject* sender, const TRect& rect, int data_col, TColumn* column, TGridDrawState state)>;
using TDBGridClickEvent = std::function<void(TColumn* column)>;

class TDBGrid : public TWinControl {
 public:
  explicit TDBGrid(rtl::TComponent* owner);
  ~TDBGrid() override;

  // -- Data.
  db::TDataSource* DataSource() const;
  void SetDataSource(db::TDataSource* source);
  db::TClientDataSet* DataSet() const;
  TDBGridColumns& Columns() { return columns_; }
  const TDBGridColumns& Columns() const { return columns_; }

  // -- Settings.
  TDBGridOptions Options() const { return options_; }
  // Taking dgEditing away closes the editor (its text is written first).
  void SetOptions(TDBGridOptions options);
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool read_only) { read_only_ = read_only; }
  bool DefaultDrawing() const { return default_drawing_; }
  void SetDefaultDrawing(bool on) { default_drawing_ = on; }
  TFont& TitleFont() { return title_font_; }
  int DefaultRowHeight() const { return row_height_; }
  void SetDefaultRowHeight(int height);

  // -- Current cell.
  int SelectedIndex() const { return selected_; }
  // Moves to column `index` as the person would (text written, OnColExit,
  // OnColEnter); an invisible column is not chosen. Throws rtl::Exception for
  // an index out of range.
  void SetSelectedIndex(int index);
  void SelectColumn(int index) { SetSelectedIndex(index); }
  // The field of the selected column, or nullptr.
  db::TField* SelectedField() const;
  // Selects the column showing `field`; nothing when none does.
  void SetSelectedField(db::TField* field);
  // The current record number (RecNo), 0 when there is none.
  int Row() const;

  // -- In-place editor.
  bool EditorMode() const { return editor_mode_; }
  // Shows (with the field's text, all selected) or hides (writing the text
  // first) the editor; showing needs an editable cell.
  void SetEditorMode(bool on);
  const std::string& EditorText() const { return editor_.Text(); }
  // The editor's text, caret, selection and maximum length (the field's
  // size; none for a field with a set-text handler, which decides itself).
  const TInplaceEdit& Editor() const { return editor_; }
  // The person placed the caret or dragged a selection with the mouse in the
  // shown editor; positions in characters, clamped to the text.
  void SetEditorSelection(int anchor, int caret);
  // The person changed the editor's whole text (a renderer's line edit);
  // starts the edit as typing does.
  void SetEditorText(std::string text);
  // The editor text was changed since it was loaded from the field.
  bool EditorModified() const { return editor_modified_; }
  // Whether the selected cell can be edited now.
  bool CanEditCell() const;

  // -- The person's actions.
  void KeyDown(uint16_t key, TShiftState shift);
  // One character: a single byte, or one UTF-8 encoded character. OnKeyPress
  // sees Latin-1 characters as their code and others as '?' (kept when the
  // handler leaves the '?').
  void KeyPress(char key);
  void KeyPress(std::string_view utf8_char);
  // Mouse click on a data cell: takes the focus, moves to the record and the
  // column (posting and column events as with keys), then OnCellClick.
  void ClickCell(int recno, int col);
  // Mouse click on a column title: OnTitleClick.
  void ClickTitle(int col);
  // The ellipsis button of the selected cell: OnEditButtonClick, when the
  // selected column's button style is cbsEllipsis and the grid is not
  // read-only.
  void ClickEditButton();
  // A text of the selected column's pick list chosen from the drop-down: the
  // edit starts and the field gets the text through SetText. A text not in the
  // list throws rtl::Exception.
  void ChoosePickItem(std::string_view text);
  // The person dragged the right edge of a column title (dgColumnResize).
  void ResizeColumn(int col, int width);

  // -- Painting.
  int RowCount() const;  // records shown (0 when inactive)
  int TopRow() const { return top_row_; }
  // Rows that fit in the height (every row when the height is 0).
  int VisibleRowCount() const;
  // The cell's rectangle in grid coordinates; `recno` 0 is the title row.
  TRect CellRect(int recno, int col) const;
  std::string CellText(int recno, int col) const;
  TGridDrawState CellState(int recno, int col) const;
  void Paint(TCanvas& canvas);
  void DrawCell(TCanvas& canvas, int recno, int col, const TRect& rect);
  // The canvas being painted on while Paint or DrawCell runs, so that a
  // draw-column-cell handler can draw on it; nullptr outside painting.
  TCanvas* Canvas() const { return canvas_; }
  // Repaint request to the observers (TChange::DataState).
  void Invalidate();
  void Refresh() { Invalidate(); }

  void DoExit() override;

  // -- Events.
  TKeyEvent OnKeyDown;
  TKeyPressEvent OnKeyPress;
  TNotifyEvent OnColEnter, OnColExit, OnEditButtonClick;
  TDBGridClickEvent OnCellClick, OnTitleClick;
  TDrawColumnCellEvent OnDrawColumnCell;

 private:
  class Link;
  friend class Link;
  friend class TColumn;
  friend class TDBGridColumns;

  void MoveColumn(int index);
  void MoveToRecord(int recno);
  void TypeText(const std::string& text);
  bool BeginEdit();
  void WriteEditor();  // editor text into the field when modified
  void LoadEditor();   // field text into the editor, all selected
  int EditorLimit() const;
  // Runs one change of the editor's text (typing, deleting): starts the edit
  // first; `change` returns whether the text changed.
  void ChangeEditor(const std::function<bool()>& change);
  // Left / Right in a shown editor; true when the key leaves the cell.
  bool EditorArrow(bool right, bool extend);
  void HideEditor();
  void EnsureRowVisible();
  void ColumnsChanged();
  void AppendOrNext();
  void DeleteRow();
  int VisibleColumnAfter(int index, int step) const;
  void DrawTitles(TCanvas& canvas);
  void DefaultDrawCell(TCanvas& canvas, const TRect& rect, TColumn* column, TGridDrawState state);

  std::unique_ptr<Link> link_;
  TDBGridColumns columns_;
  TDBGridOptions options_ = kDefaultGridOptions;
  bool read_only_ = false;
  bool default_drawing_ = true;
  TFont title_font_;
  int row_height_ = 18;
  int selected_ = 0;
  int top_row_ = 1;
  bool editor_mode_ = false;
  bool editor_modified_ = false;
  TInplaceEdit editor_;
  bool in_col_exit_ = false;
  TCanvas* canvas_ = nullptr;
};

}  // namespace vcl
