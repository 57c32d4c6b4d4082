// TDBText: a label that shows the display text of one field of the current
// record of its data source. Both the data source and the field name may be
// changed at any time; the text follows the dataset as it moves or changes.
#pragma once

#include <memory>
#include <string>

#include "db/data_source.h"
#include "vcl/control.h"
#include "vcl/control_data_link.h"

namespace vcl {

class TDBText : public TControl {
 public:
  explicit TDBText(rtl::TComponent* owner);
  ~TDBText() override;

  db::TDataSource* DataSource() const { return link_->DataSource(); }
  void SetDataSource(db::TDataSource* source) { link_->Repoint(source); }
  const std::string& DataField() const { return data_field_; }
  void SetDataField(std::string field_name);
  // The field named by DataField in the data source's dataset, or nullptr.
  db::TField* Field() const;
  // The field's display text; empty without a field or when the dataset is
  // closed or empty.
  std::string Text() const;

 private:
  std::unique_ptr<ControlDataLink> link_;
  std::string data_field_;
};

}  // namespace vcl
