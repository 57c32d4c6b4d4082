// The screen's sixteen client datasets and ten data sources, as data: each
// dataset's fields in order with their size, label, visibility and fixed
// width, and which dataset each data source shows.
#pragma once

#include <string_view>
#include <vector>

#include "model/components.h"

namespace qmx00600 {

struct FieldDef {
  std::string_view name;
  int size;
  std::string_view label;  // empty: the field name is the title
  bool hidden = false;
  bool fixed = false;
};

struct DataSetDef {
  std::string_view name;
  db::TClientDataSet* EstruturaComponents::*member;
  std::vector<FieldDef> fields;
  bool filtered = false;
  std::string_view index_name = {};  // the stored index definition's name, or empty
};

struct DataSourceDef {
  std::string_view name;
  db::TDataSource* EstruturaComponents::*member;  // nullptr for the base's dtsPadrao
  std::string_view dataset;
};

const std::vector<DataSetDef>& DataSetDefs();
const std::vector<DataSourceDef>& DataSourceDefs();

// Creates the datasets (closed, fields declared) and the data sources, owned
// by `owner`, into `c`; `dtsPadrao` is the base screen's, pointed at
// cdsTabelas.
void BuildDataSets(rtl::TComponent* owner, db::TDataSource* dtsPadrao, EstruturaComponents& c);

}  // namespace qmx00600
