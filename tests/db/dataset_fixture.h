// Shared helpers of the dataset tests: a table-like dataset and a recorder of
// every event, state change and link notification in the order they happen.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/client_dataset.h"
#include "db/data_source.h"
#include "db/packet.h"

namespace db::testing {

inline const char* StateName(TDataSetState s) {
  switch (s) {
    case TDataSetState::dsInactive:
      return "inactive";
    case TDataSetState::dsBrowse:
      return "browse";
    case TDataSetState::dsEdit:
      return "edit";
    case TDataSetState::dsInsert:
      return "insert";
  }
  return "?";
}

// Declares CDTABELADW 30, NMTABELADW 30, IDDRILLDOWN 1 (fixed, hidden).
inline void DeclareTableFields(TClientDataSet& ds) {
  ds.AddStringField("CDTABELADW", 30, "Código");
  ds.AddStringField("NMTABELADW", 30, "Nome");
  ds.AddStringField("IDDRILLDOWN", 1, "", false, true);
}

// A data packet of those three fields holding `rows` unmodified rows.
inline rtl::Variant TablePacket(const std::vector<std::vector<std::string>>& rows) {
  Packet p;
  p.fields = {{"CDTABELADW", 30, false}, {"NMTABELADW", 30, false}, {"IDDRILLDOWN", 1, true}};
  for (const auto& r : rows) {
    PacketRow row;
    for (const auto& v : r) row.values.push_back(v.empty() ? FieldValue() : FieldValue(v));
    p.rows.push_back(row);
  }
  return PacketToVariant(p);
}

class RecordingLink : public TDataLink {
 public:
  explicit RecordingLink(std::vector<std::string>* log) : log_(log) {}
  bool take_focus = false;
  TField* focused = nullptr;

 protected:
  void ActiveChanged() override { log_->push_back("link:active"); }
  void DataSetChanged() override { log_->push_back("link:changed"); }
  void DataSetScrolled() override { log_->push_back("link:scrolled"); }
  void RecordChanged(TField* f) override {
    log_->push_back(std::string("link:record:") + (f ? f->FieldName() : "*"));
  }
  void EditingChanged() override { log_->push_back("link:editing"); }
  void UpdateData() override { log_->push_back("link:update"); }
  void FocusControl(TField* f, bool& handled) override {
    focused = f;
    handled = take_focus;
  }

 private:
  std::vector<std::string>* log_;
};

// Records dataset events and the data source's state changes into `log`.
inline void RecordEvents(TClientDataSet& ds, TDataSource& src, std::vector<std::string>& log) {
  auto rec = [&log](const char* name) { return [&log, name](TDataSet*) { log.push_back(name); }; };
  ds.BeforeOpen = rec("BeforeOpen");
  ds.AfterOpen = rec("AfterOpen");
  ds.BeforeClose = rec("BeforeClose");
  ds.AfterClose = rec("AfterClose");
  ds.BeforeInsert = rec("BeforeInsert");
  ds.AfterInsert = rec("AfterInsert");
  ds.BeforeEdit = rec("BeforeEdit");
  ds.AfterEdit = rec("AfterEdit");
  ds.BeforePost = rec("BeforePost");
  ds.AfterPost = rec("AfterPost");
  ds.BeforeCancel = rec("BeforeCancel");
  ds.AfterCancel = rec("AfterCancel");
  ds.BeforeDelete = rec("BeforeDelete");
  ds.AfterDelete = rec("AfterDelete");
  ds.BeforeScroll = rec("BeforeScroll");
  ds.AfterScroll = rec("AfterScroll");
  ds.OnNewRecord = rec("OnNewRecord");
  src.OnStateChange = [&log, &src](rtl::TObject*) {
    log.push_back(std::string("state:") + StateName(src.State()));
  };
}

// A table-like dataset behind a data source, with a recording link on it.
class LinkedTableTest : public ::testing::Test {
 protected:
  LinkedTableTest() : ds(nullptr), src(nullptr), link(&log) {
    DeclareTableFields(ds);
    src.SetDataSet(&ds);
    link.SetDataSource(&src);
  }

  std::vector<std::string> log;
  TClientDataSet ds;
  TDataSource src;
  RecordingLink link;
};

}  // namespace db::testing
