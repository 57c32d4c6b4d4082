// Where the cursor goes when the server refuses a posted row: the field its
// message is about, so the person corrects it without looking for it.
#include <array>
#include <optional>
#include <string_view>
#include <utility>

#include "screen/estrutura.h"
#include "server/error_text.h"
#include "vcl/db_grid.h"

namespace qmx00600 {

namespace {

// The fields each refusal is about, by list: the first one the list has.
// Refusals about the whole table (SEM_FATO, SEM_DIME of a drill table) name
// the drill link, the only field of the row they depend on.
struct RefusalFields {
  std::string_view key;
  std::array<std::string_view, 4> fields;
};

constexpr RefusalFields kRefusalFields[] = {
    {"J_DIME", {"CDITEMDW", "CDITEMDIME", "CDITEMDRILL", "CDDIMEDRILL"}},
    {"J_FATO", {"CDITEMDW", "CDITEMDIME", "CDITEMDRILL", "CDDIMEDRILL"}},
    {"INV_CAMPO", {"CDITEMDW", "CDITEMDIME", "CDITEMDRILL", "CDDIMEDRILL"}},
    {"CAMPO_JA", {"CDITEMDW", "CDITEMDIME", "CDITEMDRILL", "CDDIMEDRILL"}},
    {"NO_NUMBER", {"CDITEMDW", "CDITEMDRILL"}},
    {"NO_DIME", {"CDITEMDIME", "CDDIMEDRILL"}},
    {"NOME_DRILL_JA", {"NMITEMDW", "NMITEMDRILL"}},
    {"INV_DIME", {"NRSEQUEDIME"}},
    {"DIME_DRILL_JA", {"NRSEQUEDIME"}},
    {"INV_TABELA", {"CDTABELADW"}},
    {"NOT_TAB_DRILL", {"CDTABDRILL"}},
    {"DIME_DRILL_MENOR", {"CDTABDRILL"}},
    {"SEM_FATO", {"CDTABDRILL"}},
    {"SEM_DIME", {"CDTABDRILL"}},
};

db::TField* FieldRefused(db::TClientDataSet& dataset, const std::string& text) {
  const std::optional<DecodedError> decoded = DecodeErrorText(text);
  if (!decoded) return nullptr;
  for (const RefusalFields& entry : kRefusalFields) {
    if (entry.key != decoded->key) continue;
    for (std::string_view name : entry.fields)
      if (!name.empty())
        if (db::TField* field = dataset.FindField(name)) return field;
  }
  return nullptr;
}

}  // namespace

void TfrmEstrutura::FocusRefusedField(db::TClientDataSet* dataset, const std::string& text) {
  db::TField* field = FieldRefused(*dataset, text);
  if (field == nullptr) return;
  for (int i = 0; i < ComponentCount(); ++i) {
    auto* grid = dynamic_cast<vcl::TDBGrid*>(Components(i));
    if (grid == nullptr || grid->DataSet() != dataset) continue;
    // The row's values were all checked before it was posted; leaving the
    // current column must not check it again and raise a second message.
    struct KeepExit {
      vcl::TDBGrid* grid;
      vcl::TNotifyEvent exit = std::exchange(grid->OnColExit, nullptr);
      ~KeepExit() { grid->OnColExit = std::move(exit); }
    } keep{grid};
    grid->SetSelectedField(field);
    if (grid->SelectedField() != field || !grid->CanFocus()) return;
    grid->SetFocus();
    if (grid->CanEditCell()) grid->SetEditorMode(true);
    return;
  }
}

}  // namespace qmx00600
