#pragma once

namespace db {

// States of a dataset.
enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };

}  // namespace db
