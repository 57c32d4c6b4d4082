#include "vcl/db_text.h"

#include "db/client_dataset.h"

namespace vcl {

// Follows the dataset and repaints the label on anything that can change the
// text shown.
class TDBText::Link : public db::TDataLink {
 public:
  explicit Link(TDBText* owner) : owner_(owner) {}

 protected:
  void ActiveChanged() override { Tell(); }
  void DataSetChanged() override { Tell(); }
  void DataSetScrolled() override { Tell(); }
  void RecordChanged(db::TField*) override { Tell(); }

 private:
  void Tell() { NotifyChanged(owner_, TChange::Caption); }
  TDBText* owner_;
};

TDBText::TDBText(rtl::TComponent* owner) : TControl(owner), link_(std::make_unique<Link>(this)) {}

TDBText::~TDBText() = default;

db::TDataSource* TDBText::DataSource() const {
  return link_->DataSource();
}

void TDBText::SetDataSource(db::TDataSource* source) {
  if (source == link_->DataSource()) return;
  link_->SetDataSource(source);
  Changed(TChange::DataSource);
  Changed(TChange::Caption);
}

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
