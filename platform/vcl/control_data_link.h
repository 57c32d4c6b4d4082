// ControlDataLink: the data link of a data-aware control that only shows
// what the dataset holds (TDBNavigator, TDBText). It tells the control one
// change whenever the link is attached, opened or closed, the content
// changes or the current record moves, and, as the control asks, when a
// value of the record changes or the edit state does.
#pragma once

#include "db/data_source.h"
#include "vcl/control_observer.h"

namespace vcl {

class ControlDataLink : public db::TDataLink {
 public:
  // What the control follows beyond the link, the content and the cursor.
  enum Follow : unsigned {
    kRecordValues = 1 << 0,
    kEditState = 1 << 1,
  };

  ControlDataLink(rtl::TComponent* control, TChange change, unsigned follow)
      : control_(control), change_(change), follow_(follow) {}

  // Points the link at `source`, telling the control of the new data source
  // and of `change`; nothing happens when it already shows `source`.
  void Repoint(db::TDataSource* source) {
    if (source == DataSource()) return;
    SetDataSource(source);
    NotifyChanged(control_, TChange::DataSource);
    Tell();
  }

 protected:
  void ActiveChanged() override { Tell(); }
  void DataSetChanged() override { Tell(); }
  void DataSetScrolled() override { Tell(); }
  void RecordChanged(db::TField*) override {
    if (follow_ & kRecordValues) Tell();
  }
  void EditingChanged() override {
    if (follow_ & kEditState) Tell();
  }

 private:
  void Tell() { NotifyChanged(control_, change_); }

  rtl::TComponent* control_;
  const TChange change_;
  const unsigned follow_;
};

}  // namespace vcl
