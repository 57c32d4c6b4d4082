// TDataSource and TDataLink: how data-aware controls follow a dataset.
//
// A data source joins one dataset to any number of data links (grids,
// navigators, labels). The dataset tells its data sources of every change; a
// data source passes each on to its links and raises OnStateChange on every
// state change of its dataset (and when it is pointed at another dataset).
#pragma once

#include <functional>
#include <vector>

#include "db/dataset_state.h"
#include "rtl/component.h"

namespace db {

class TClientDataSet;
class TDataSource;
class TField;

using TNotifyEvent = std::function<void(rtl::TObject* sender)>;

// Base of every data-aware control's link to a data source. All notifications
// run on the caller's thread, synchronously, in the order the dataset raises
// them.
class TDataLink {
 public:
  TDataLink() = default;
  virtual ~TDataLink();
  TDataLink(const TDataLink&) = delete;
  TDataLink& operator=(const TDataLink&) = delete;

  TDataSource* DataSource() const { return source_; }
  void SetDataSource(TDataSource* source);
  // The data source's dataset, or nullptr.
  TClientDataSet* DataSet() const;
  bool Active() const;  // the dataset exists and is open

 protected:
  friend class TDataSource;
  // The link was attached to or detached from a dataset, or it opened or closed.
  virtual void ActiveChanged() {}
  // The dataset's content changed as a whole (load, insert, delete, post,
  // cancel, filter, merge, cancel of updates).
  virtual void DataSetChanged() {}
  // The current record moved.
  virtual void DataSetScrolled() {}
  // A value of the current record changed; `field` is nullptr for the record.
  virtual void RecordChanged(TField* /*field*/) {}
  // The dataset entered or left edit or insert state.
  virtual void EditingChanged() {}
  // Just before a post: write any pending editor text into the record.
  virtual void UpdateData() {}
  // TField::FocusControl; set `handled` when this link took the focus.
  virtual void FocusControl(TField* /*field*/, bool& /*handled*/) {}

 private:
  TDataSource* source_ = nullptr;
};

class TDataSource : public rtl::TComponent {
 public:
  explicit TDataSource(rtl::TComponent* owner);
  ~TDataSource() override;

  TClientDataSet* DataSet() const { return dataset_; }
  void SetDataSet(TClientDataSet* dataset);
  // The dataset's state, dsInactive without a dataset.
  TDataSetState State() const;

  // Raised on every state change of the dataset, with this data source as sender.
  TNotifyEvent OnStateChange;
  // Raised when the current record or a value of it changed; field is nullptr
  // for the record as a whole.
  std::function<void(rtl::TObject* sender, TField* field)> OnDataChange;

  const std::vector<TDataLink*>& Links() const { return links_; }

 protected:
  void Notification(rtl::TComponent* component, rtl::TOperation operation) override;

 private:
  friend class TDataLink;
  friend class TClientDataSet;
  // Called by the dataset.
  void NotifyStateChanged();
  void NotifyActiveChanged();
  void NotifyDataSetChanged();
  void NotifyScrolled();
  void NotifyRecordChanged(TField* field);
  void NotifyUpdateData();
  bool NotifyFocusControl(TField* field);

  TClientDataSet* dataset_ = nullptr;
  std::vector<TDataLink*> links_;
  TDataSetState last_state_ = TDataSetState::dsInactive;
};

}  // namespace db
