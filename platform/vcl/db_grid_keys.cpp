// The grid's keyboard: what each key does once OnKeyDown / OnKeyPress let it
// through (the table is in db_grid.h).
#include <algorithm>

#include "db/client_dataset.h"
#include "rtl/exceptions.h"
#include "rtl/strings.h"
#include "vcl/db_grid.h"
#include "vcl/user_interface.h"

namespace vcl {

namespace {

std::string Latin1ToUtf8(unsigned char c) {
  if (c < 0x80) return std::string(1, static_cast<char>(c));
  return {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
}

// Splits well-formed UTF-8 into its characters, each with its code point.
std::vector<std::pair<std::string, uint32_t>> Characters(std::string_view text) {
  std::vector<std::pair<std::string, uint32_t>> out;
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    uint32_t cp = n == 1 ? lead : lead & (0x3F >> (n - 1));
    for (size_t k = 1; k < n; ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    out.emplace_back(std::string(text.substr(i, n)), cp);
    i += n;
  }
  return out;
}

bool Editing(const db::TClientDataSet* ds) {
  return ds->State() == db::TDataSetState::dsEdit || ds->State() == db::TDataSetState::dsInsert;
}

}  // namespace

int TDBGrid::VisibleColumnAfter(int index, int step) const {
  for (int i = index + step; i >= 0 && i < columns_.Count(); i += step)
    if (columns_[i]->Visible()) return i;
  return -1;
}

void TDBGrid::AppendOrNext() {
  db::TClientDataSet* ds = DataSet();
  // An untouched new row is not followed by another.
  if (ds->State() == db::TDataSetState::dsInsert && !ds->Modified() && !editor_modified_) {
    if (ds->RecNo() >= ds->RecordCount()) return;
    ds->Cancel();
    return;
  }
  WriteEditor();
  const int before = ds->RecNo();
  ds->Next();  // posts a modified row; a refusal throws and keeps the row
  const bool at_end = ds->Eof() || (ds->RecNo() == before && before >= ds->RecordCount());
  if (at_end && (options_ & dgEditing) && !read_only_) ds->Append();
}

void TDBGrid::DeleteRow() {
  db::TClientDataSet* ds = DataSet();
  if (read_only_ || (ds->IsEmpty() && !Editing(ds))) return;
  if ((options_ & dgConfirmDelete) &&
      UserInterface().ShowMessageDialog("Excluir registro?", TMsgDlgType::mtConfirmation,
                                        mbYes | mbNo, 0) != mrYes)
    return;
  HideEditor();
  ds->Delete();
}

void TDBGrid::KeyDown(uint16_t key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
  if (key == 0) return;
  const bool ctrl = shift & ssCtrl, with_shift = shift & ssShift;
  // Column keys work without data; the rest need an open dataset.
  switch (key) {
    case VK_LEFT:
    case VK_RIGHT:
      if (!editor_mode_ || EditorArrow(key == VK_RIGHT, with_shift))
        if (int next = VisibleColumnAfter(selected_, key == VK_LEFT ? -1 : 1); next >= 0)
          MoveColumn(next);
      return;
    case VK_HOME:
    case VK_END:
      if (ctrl) break;
      if (editor_mode_) {
        editor_.MoveTo(key == VK_HOME ? 0 : editor_.Length(), with_shift);
        NotifyChanged(this, TChange::Editor);
      } else {
        const int next =
            key == VK_HOME ? VisibleColumnAfter(-1, 1) : VisibleColumnAfter(columns_.Count(), -1);
        if (next >= 0) MoveColumn(next);
      }
      return;
    case 'A':
      if (ctrl && !with_shift && editor_mode_) {
        editor_.SelectAll();
        NotifyChanged(this, TChange::Editor);
      }
      return;
    default:
      break;
  }
  if (!DataSet() || !DataSet()->Active()) return;
  db::TClientDataSet* ds = DataSet();
  switch (key) {
    case VK_ESCAPE:
      if (editor_modified_) {
        LoadEditor();  // the typed text is given up, the row stays in edit
      } else if (Editing(ds)) {
        ds->Cancel();
      }
      HideEditor();
      break;
    case VK_RETURN:
      if (editor_mode_) {
        WriteEditor();
        HideEditor();
      } else {
        SetEditorMode(true);
      }
      break;
    case VK_F2:
      SetEditorMode(true);
      break;
    case VK_INSERT:
      if (!ctrl && !with_shift && (options_ & dgEditing) && !read_only_) {
        WriteEditor();
        ds->Insert();
      }
      break;
    case VK_DELETE:
      if (ctrl)
        DeleteRow();
      else if (editor_mode_)
        ChangeEditor([this] { return editor_.DeleteForward(); });
      break;
    case VK_UP:
      if (ds->State() == db::TDataSetState::dsInsert && !ds->Modified() && !editor_modified_) {
        HideEditor();
        ds->Cancel();
        break;
      }
      WriteEditor();
      ds->Prior();
      break;
    case VK_DOWN:
      AppendOrNext();
      break;
    case VK_PRIOR:
    case VK_NEXT: {
      if (ds->IsEmpty()) break;
      WriteEditor();
      const int page = std::max(VisibleRowCount(), 1);
      ds->MoveBy(key == VK_PRIOR ? -page : page);
      break;
    }
    case VK_HOME:
      WriteEditor();
      ds->First();
      break;
    case VK_END:
      WriteEditor();
      ds->Last();
      break;
    case VK_TAB: {
      if (!(options_ & dgTabs) || (shift & ssAlt)) break;
      const int step = with_shift ? -1 : 1;
      if (int next = VisibleColumnAfter(selected_, step); next >= 0) {
        MoveColumn(next);
        break;
      }
      // Past the last (first) column: the first (last) column of the next
      // (previous) row.
      const int wrap =
          with_shift ? VisibleColumnAfter(columns_.Count(), -1) : VisibleColumnAfter(-1, 1);
      if (with_shift && ds->RecNo() <= 1) break;
      if (wrap >= 0) MoveColumn(wrap);
      if (selected_ != wrap) break;  // the column exit refused
      if (with_shift) {
        WriteEditor();
        ds->Prior();
      } else {
        AppendOrNext();
      }
      break;
    }
    default:
      break;
  }
}

void TDBGrid::KeyPress(char key) {
  const std::string text = Latin1ToUtf8(static_cast<unsigned char>(key));
  KeyPress(std::string_view(text));
}

void TDBGrid::KeyPress(std::string_view utf8_char) {
  if (!rtl::IsValidUtf8(utf8_char)) throw rtl::Exception("O texto digitado não é UTF-8 válido");
  for (const auto& [original, cp] : Characters(utf8_char)) {
    const char shown = cp < 0x100 ? static_cast<char>(cp) : '?';
    char key = shown;
    if (OnKeyPress) OnKeyPress(this, key);
    if (key == '\0') continue;
    const auto code = static_cast<unsigned char>(key);
    if (code == VK_BACK) {
      if (editor_mode_) ChangeEditor([this] { return editor_.DeleteBackward(); });
      continue;
    }
    // Tab, Enter and Escape were acted on by KeyDown.
    if (code < 0x20 || code == 0x7F) continue;
    TypeText(key == shown && cp >= 0x100 ? original : Latin1ToUtf8(code));
  }
}

}  // namespace vcl
