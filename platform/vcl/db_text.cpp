#include "vcl/db_text.h"

#include "db/client_dataset.h"

namespace vcl {

// The label is repainted on anything that can change the text shown.
TDBText::TDBText(rtl::TComponent* owner)
    : TControl(owner),
      link_(std::make_unique<ControlDataLink>(this, TChange::Caption,
                                              ControlDataLink::kRecordValues)) {}

TDBText::~TDBText() = default;

void TDBText::SetDataField(std::string field_name) {
  if (field_name == data_field_) return;
  data_field_ = std::move(field_name);
  Changed(TChange::Caption);
}

db::TField* TDBText::Field() const {
  db::TClientDataSet* ds = link_->DataSet();
  if (!ds || data_field_.empty()) return nullptr;
  return ds->FindField(data_field_);
}

std::string TDBText::Text() const {
  db::TField* field = Field();
  if (!field || !link_->Active() || field->DataSet()->IsEmpty()) return {};
  return field->DisplayText();
}

}  // namespace vcl
