#include "vcl/db_grid.h"

#include <algorithm>

#include "db/client_dataset.h"
#include "rtl/exceptions.h"
#include "rtl/strings.h"

namespace vcl {

namespace {

bool Editing(const db::TClientDataSet* ds) {
  return ds &&
         (ds->State() == db::TDataSetState::dsEdit || ds->State() == db::TDataSetState::dsInsert);
}

}  // namespace

// Follows the dataset: keeps the columns, the editor and the visible rows in
// step and writes pending editor text when the dataset asks for it.
class TDBGrid::Link : public db::TDataLink {
 public:
  explicit Link(TDBGrid* grid) : grid_(grid) {}

 protected:
  void ActiveChanged() override {
    grid_->columns_.RebuildDefault();
    grid_->HideEditor();
    grid_->top_row_ = 1;
    grid_->ColumnsChanged();
  }
  void DataSetChanged() override {
    if (grid_->columns_.IsDefault()) {
      const int before = grid_->columns_.Count();
      grid_->columns_.RebuildDefault();
      if (before != grid_->columns_.Count()) grid_->ColumnsChanged();
    }
    Follow();
  }
  void DataSetScrolled() override {
    Follow();
    NotifyChanged(grid_, TChange::Selection);
  }
  void RecordChanged(db::TField*) override { Follow(); }
  void EditingChanged() override {
    if (!Editing(DataSet())) grid_->HideEditor();
    grid_->Invalidate();
  }
  void UpdateData() override { grid_->WriteEditor(); }
  void FocusControl(db::TField* field, bool& handled) override {
    if (!field) return;
    bool shown = false;
    for (int i = 0; i < grid_->columns_.Count() && !shown; ++i)
      shown = grid_->columns_[i]->Field() == field && grid_->columns_[i]->Visible();
    if (!shown) return;
    grid_->SetSelectedField(field);
    if (grid_->SelectedField() != field || !grid_->CanFocus()) return;
    grid_->SetFocus();
    handled = true;
    if (grid_->CanEditCell()) grid_->SetEditorMode(true);
  }

 private:
  // The editor shows the current field's text unless the person changed it.
  void Follow() {
    if (grid_->editor_mode_ && !grid_->editor_modified_) grid_->LoadEditor();
    grid_->EnsureRowVisible();
    grid_->Invalidate();
  }
  TDBGrid* grid_;
};

TDBGrid::TDBGrid(rtl::TComponent* owner)
    : TWinControl(owner), link_(std::make_unique<Link>(this)), columns_(this) {
  SetTabStop(true);
  SetColor(clWindow);
  title_font_.OnChange = [this] { Changed(TChange::Columns); };
}

TDBGrid::~TDBGrid() = default;

db::TDataSource* TDBGrid::DataSource() const {
  return link_->DataSource();
}

void TDBGrid::SetDataSource(db::TDataSource* source) {
  if (source == link_->DataSource()) return;
  WriteEditor();  // typed text reaches the old dataset's row, not the void
  HideEditor();
  link_->SetDataSource(source);
  columns_.RebuildDefault();
  top_row_ = 1;
  Changed(TChange::DataSource);
  ColumnsChanged();
}

db::TClientDataSet* TDBGrid::DataSet() const {
  return link_->DataSet();
}

void TDBGrid::SetOptions(TDBGridOptions options) {
  if (options == options_) return;
  options_ = options;
  Changed(TChange::Columns);
  Invalidate();
  if (!(options_ & dgEditing) && editor_mode_) SetEditorMode(false);
}

void TDBGrid::SetDefaultRowHeight(int height) {
  row_height_ = std::clamp(height, 1, 1000);
  Invalidate();
}

void TDBGrid::ColumnsChanged() {
  if (selected_ >= columns_.Count()) selected_ = std::max(columns_.Count() - 1, 0);
  if (editor_mode_ && !CanEditCell()) HideEditor();
  Changed(TChange::Columns);
  Invalidate();
}

db::TField* TDBGrid::SelectedField() const {
  if (selected_ < 0 || selected_ >= columns_.Count()) return nullptr;
  return columns_[selected_]->Field();
}

void TDBGrid::SetSelectedIndex(int index) {
  MoveColumn(index);
}

void TDBGrid::SetSelectedField(db::TField* field) {
  if (!field) return;
  for (int i = 0; i < columns_.Count(); ++i)
    if (columns_[i]->Field() == field && columns_[i]->Visible()) {
      MoveColumn(i);
      return;
    }
}

int TDBGrid::Row() const {
  db::TClientDataSet* ds = DataSet();
  return ds && ds->Active() ? ds->RecNo() : 0;
}

void TDBGrid::MoveColumn(int index) {
  if (index < 0 || index >= columns_.Count()) throw rtl::Exception("Coluna fora dos limites");
  if (index == selected_ || !columns_[index]->Visible()) return;
  WriteEditor();
  const int old = selected_;
  // A column exit that moves the column itself (a check focusing another
  // field) ends this move; its own moves run no second exit.
  if (!in_col_exit_) {
    in_col_exit_ = true;
    struct Reset {
      bool& flag;
      ~Reset() { flag = false; }
    } reset{in_col_exit_};
    if (OnColExit) OnColExit(this);
    if (selected_ != old) return;
  }
  selected_ = index;
  if (editor_mode_) {
    if (CanEditCell())
      LoadEditor();
    else
      HideEditor();
  }
  NotifyChanged(this, TChange::Selection);
  Invalidate();
  if (OnColEnter) OnColEnter(this);
}

void TDBGrid::MoveToRecord(int recno) {
  db::TClientDataSet* ds = DataSet();
  if (!ds || !ds->Active()) return;
  if (recno < 1 || recno > ds->RecordCount()) throw rtl::Exception("Linha fora dos limites");
  if (recno == ds->RecNo()) return;
  WriteEditor();
  ds->SetRecNo(recno);
}

bool TDBGrid::CanEditCell() const {
  if (!(options_ & dgEditing) || read_only_ || !link_->Active()) return false;
  if (selected_ < 0 || selected_ >= columns_.Count()) return false;
  const TColumn* column = columns_[selected_];
  return !column->ReadOnly() && column->Field() != nullptr;
}

bool TDBGrid::BeginEdit() {
  if (!CanEditCell()) return false;
  db::TClientDataSet* ds = DataSet();
  if (!Editing(ds)) {
    // Entering edit state reloads an untouched editor; the caret and the
    // selection the person set stay where they were.
    const TInplaceEdit before = editor_;
    ds->Edit();
    if (editor_mode_ && editor_.Text() == before.Text()) editor_ = before;
  }
  return Editing(ds);
}

int TDBGrid::EditorLimit() const {
  const db::TField* field = SelectedField();
  // A field with its own set-text handler takes texts of any length and
  // decides itself.
  return field && !field->OnSetText ? field->Size() : 0;
}

void TDBGrid::LoadEditor() {
  db::TField* field = SelectedField();
  db::TClientDataSet* ds = DataSet();
  editor_.Load(field && ds && ds->Active() && (!ds->IsEmpty() || Editing(ds)) ? field->Text()
                                                                              : std::string());
  editor_.SetMaxLength(EditorLimit());
  editor_modified_ = false;
  NotifyChanged(this, TChange::Editor);
}

void TDBGrid::ChangeEditor(const std::function<bool()>& change) {
  if (!BeginEdit()) return;
  if (!editor_mode_) {
    // An editor opened by typing starts empty: the cell's text is replaced.
    editor_mode_ = true;
    editor_.Load(std::string());
    editor_.SetMaxLength(EditorLimit());
    NotifyChanged(this, TChange::Editor);
  }
  if (!change()) return;
  editor_modified_ = true;
  NotifyChanged(this, TChange::Editor);
}

void TDBGrid::SetEditorSelection(int anchor, int caret) {
  if (!editor_mode_) return;
  editor_.Select(anchor, caret);
  NotifyChanged(this, TChange::Editor);
}

bool TDBGrid::EditorArrow(bool right, bool extend) {
  if (extend) {
    editor_.MoveTo(editor_.Caret() + (right ? 1 : -1), true);
  } else if (editor_.HasSelection()) {
    const int start = editor_.SelStart();
    editor_.MoveTo(right ? start + editor_.SelLength() : start, false);
  } else if (editor_.Caret() == (right ? editor_.Length() : 0)) {
    return true;
  } else {
    editor_.MoveTo(editor_.Caret() + (right ? 1 : -1), false);
  }
  NotifyChanged(this, TChange::Editor);
  return false;
}

void TDBGrid::HideEditor() {
  if (!editor_mode_ && !editor_modified_) return;
  editor_mode_ = false;
  editor_modified_ = false;
  NotifyChanged(this, TChange::Editor);
}

void TDBGrid::WriteEditor() {
  if (!editor_modified_) return;
  db::TField* field = SelectedField();
  db::TClientDataSet* ds = DataSet();
  if (!field || !Editing(ds)) {
    editor_modified_ = false;
    return;
  }
  field->SetText(editor_.Text());  // a refusal keeps the text in the editor
  editor_modified_ = false;
}

void TDBGrid::SetEditorMode(bool on) {
  if (on) {
    if (editor_mode_ || !CanEditCell()) return;
    editor_mode_ = true;
    LoadEditor();
    return;
  }
  if (!editor_mode_) return;
  WriteEditor();
  HideEditor();
}

void TDBGrid::SetEditorText(std::string text) {
  if (!rtl::IsValidUtf8(text)) throw rtl::Exception("O texto digitado não é UTF-8 válido");
  if (!BeginEdit()) return;
  editor_mode_ = true;
  editor_.Replace(std::move(text));
  editor_.SetMaxLength(EditorLimit());
  editor_modified_ = true;
  NotifyChanged(this, TChange::Editor);
}

void TDBGrid::TypeText(const std::string& text) {
  bool refused = false;
  ChangeEditor([&] { return !(refused = !editor_.Insert(text)); });
  // Never silently: the renderer tells the person the field is full.
  if (refused) NotifyChanged(this, TChange::EditorRefused);
}

void TDBGrid::ClickCell(int recno, int col) {
  if (col < 0 || col >= columns_.Count()) throw rtl::Exception("Coluna fora dos limites");
  if (!Focused() && CanFocus()) SetFocus();
  MoveToRecord(recno);
  if (col != selected_) MoveColumn(col);
  if (OnCellClick) OnCellClick(columns_[col]);
}

void TDBGrid::ClickTitle(int col) {
  if (col < 0 || col >= columns_.Count()) throw rtl::Exception("Coluna fora dos limites");
  if (!(options_ & dgTitles)) return;
  if (OnTitleClick) OnTitleClick(columns_[col]);
}

void TDBGrid::ClickEditButton() {
  // A read-only grid shows no editor, so no button to pick a value with.
  if (read_only_) return;
  if (selected_ < 0 || selected_ >= columns_.Count()) return;
  if (columns_[selected_]->ButtonStyle() != TColumnButtonStyle::cbsEllipsis) return;
  if (OnEditButtonClick) OnEditButtonClick(this);
}

void TDBGrid::ChoosePickItem(std::string_view text) {
  if (selected_ < 0 || selected_ >= columns_.Count() || !columns_[selected_]->HasPickList())
    throw rtl::Exception("A coluna não oferece lista de opções");
  const auto& items = columns_[selected_]->PickList();
  if (std::find(items.begin(), items.end(), text) == items.end())
    throw rtl::Exception("Opção fora da lista: " + std::string(text));
  if (!BeginEdit()) return;
  editor_mode_ = true;
  editor_.Replace(std::string(text));
  editor_modified_ = true;
  NotifyChanged(this, TChange::Editor);
  WriteEditor();
  LoadEditor();
}

void TDBGrid::ResizeColumn(int col, int width) {
  if (col < 0 || col >= columns_.Count()) throw rtl::Exception("Coluna fora dos limites");
  if (options_ & dgColumnResize) columns_[col]->SetWidth(width);
}

void TDBGrid::DoExit() {
  db::TClientDataSet* ds = DataSet();
  if (link_->Active()) {
    if ((options_ & dgCancelOnExit) && ds->State() == db::TDataSetState::dsInsert &&
        !ds->Modified() && !editor_modified_) {
      HideEditor();
      ds->Cancel();
    } else {
      WriteEditor();
    }
  }
  TWinControl::DoExit();
}

void TDBGrid::Invalidate() {
  NotifyChanged(this, TChange::DataState);
}

}  // namespace vcl
