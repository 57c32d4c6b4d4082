// Keeping the person's place in a list the screen reads again: the current
// row's key is noted before the reload and found again afterwards; a row that
// is gone gives way to the one now at its position (the nearest).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/client_dataset.h"
#include "rtl/variant.h"

namespace qmx00600 {

// The names of "A;B", as Locate takes several key fields.
std::vector<std::string> KeyFieldNames(std::string_view key_fields);

class KeptRow {
 public:
  // `key_fields` as for Locate ("A;B"). With `parent_field` set, the row is
  // kept only when the reload shows the same parent (the same table's facts,
  // say); a reload for another parent starts on its first row.
  KeptRow(db::TClientDataSet& dataset, std::string key_fields, std::string parent_field = {});

  // Back on the noted row, or the nearest; nothing when nothing was noted or
  // the parent differs. A move only when the row is not current already.
  void Restore(const std::string& parent = {});
  // Whether Restore found the noted row itself.
  bool Found() const { return found_; }

 private:
  db::TClientDataSet& dataset_;
  std::string key_fields_;
  std::vector<rtl::Variant> key_;
  std::string parent_;
  int recno_ = 0;
  bool found_ = false;
};

}  // namespace qmx00600
