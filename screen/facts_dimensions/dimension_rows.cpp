// Dimensions of a fact table (cdsDime): the checks before a row is posted,
// the question before a changed number drops drill links, and saving every
// post and delete at once.
#include <functional>
#include <memory>

#include "orb/busy.h"
#include "orb/text.h"
#include "rtl/exceptions.h"
#include "rtl/format.h"
#include "rtl/strings.h"
#include "screen/estrutura.h"
#include "screen/lookup_by_filter.h"
#include "screen/row_values.h"

namespace qmx00600 {
namespace {

// Assigns only a value that differs, so that a row left as it was is not
// posted as modified and sent again.
void Store(db::TField* field, const std::string& value) {
  if (field->AsString() != value) field->SetAsString(value);
}

bool HasRecord(const db::TClientDataSet* ds) {
  return ds->Active() && !ds->IsEmpty();
}

// The tables of the affected-table list, each in double quotes, the last two
// joined by `and`, the others by commas; always beginning with a blank.
std::string QuotedTableList(db::TClientDataSet& tables, const std::string& and_text) {
  std::string list;
  const int count = tables.RecordCount();
  int i = 1;
  for (tables.First(); !tables.Eof(); tables.Next(), ++i) {
    list += " \"" + tables.FieldByName("TABELAS")->AsString() + "\"";
    if (i == count - 1)
      list += " " + and_text;
    else if (i != count)
      list += ",";
  }
  return list;
}

}  // namespace

void TfrmEstrutura::cdsDimeBeforePost(db::TDataSet*) {
  db::TField* column = cdsDime->FieldByName("CDITEMDIME");
  db::TField* number = cdsDime->FieldByName("NRSEQUEDIME");
  if (orb::EmptyString(column->AsString())) Reject(column, "CP_DEVE");
  if (orb::EmptyString(number->AsString())) Reject(number, "DM_DEVE");
  VD_Dime();
  VD_DimeDime(number);
  vd_incluirFatos();
}

void TfrmEstrutura::VD_Dime() {
  // Passed by reference to every call of this run: what the server writes
  // back is what the later calls send.
  rtl::Variant table(cdsTabelas->FieldByName("CDTABELADW")->AsString());
  db::TField* column = cdsDime->FieldByName("CDITEMDIME");
  db::TField* number = cdsDime->FieldByName("NRSEQUEDIME");
  auto check = [&](const std::string& column_value, const std::string& number_value) {
    orb::BusyScope busy(this, orb::kAviSearch, msgPadrao->Msg("GetValida"));
    cdsVdDime->SetData(Server().GetDimeFatosCheck(table, column_value, number_value, "VD_DIME"));
  };

  const db::TDataSetState state = dtsDime->State();
  if (state == db::TDataSetState::dsInsert) {
    Store(number, StoredNumber(number->AsString()));
    Store(column, StoredCode(column->AsString()));
    check(column->AsString(), number->AsString());
    if (!HasRecord(cdsVdDime)) return;
    if (cdsVdDime->FieldByName("CDITEMDIME")->AsString() == column->AsString())
      Reject(column, "CP_JCAD");
    if (cdsVdDime->FieldByName("NRSEQUEDIME")->AsString() == number->AsString())
      Reject(number, "DM_JCAD");
    return;
  }
  if (state != db::TDataSetState::dsEdit) return;

  if (ValueChanged(column)) Store(column, StoredCode(column->AsString()));
  if (ValueChanged(number)) Store(number, StoredNumber(number->AsString()));
  // Compared again: a value typed in another form of the saved one is no change.
  if (ValueChanged(number) && !orb::EmptyString(number->AsString())) {
    check("", number->AsString());
    if (HasRecord(cdsVdDime)) Reject(number, "DM_JCAD");
    auto affected = std::make_unique<db::TClientDataSet>(this);
    affected->SetData(Server().getVdUpdDimeDW(table, number->AsString()));
    if (HasRecord(affected.get())) {
      const char* key = affected->RecordCount() < 2 ? "INCONS_UPD_DIME1" : "INCONS_UPD_DIME2";
      const std::string list = QuotedTableList(*affected, msgPadrao->Msg("AND"));
      if (!AskWarning(rtl::Format(msgPadrao->Msg(key), {list}))) {
        affected.reset();
        cdsDime->Cancel();
        cdsTabelasAfterScroll(cdsTabelas);
        rtl::Abort();
      }
      orb::BusyScope busy(this, orb::kAviTransfer, msgPadrao->Msg("SetAtualiza"));
      Server().setDelManyDrill(affected->Data(), table);
    }
  }
  if (ValueChanged(column) && !orb::EmptyString(column->AsString())) {
    check(column->AsString(), "");
    if (HasRecord(cdsVdDime)) Reject(column, "CP_JCAD");
  }
}

void TfrmEstrutura::VD_DimeDime(db::TField* number) {
  // By the field's component name, as the datasets name their fields.
  const std::string name = rtl::AnsiUpperCase(number->DataSet()->Name() + number->FieldName());
  if (name.find("DRILL") != std::string::npos) {
    if (Editing(cdsDimeDrill)) Store(number, StoredNumber(number->AsString()));
  } else if (name.find("DIME") != std::string::npos) {
    if (Editing(cdsDime)) Store(number, StoredNumber(number->AsString()));
  }
  cdsDimeDime->SetFiltered(true);
  cdsDimeDime->SetFilter(EqualsFilter("NRSEQUEDIME", number->AsString()));
  const bool known = HasRecord(cdsDimeDime);
  cdsDimeDime->SetFilter("");
  if (!known) Reject(number, "DIME_NCAD");
}

void TfrmEstrutura::cdsDimeAfterPost(db::TDataSet*) {
  Save("cdsDimeAfterPost");
}

void TfrmEstrutura::cdsDimeAfterDelete(db::TDataSet*) {
  Save("cdsDimeAfterDelete");
}

}  // namespace qmx00600
