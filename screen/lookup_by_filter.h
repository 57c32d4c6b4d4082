// Reading a name from an in-memory catalogue (the data marts, the dimension
// catalogue) by its code, through the catalogue dataset's filter, as the grids
// do at every paint of a code cell.
#pragma once

#include <string>
#include <string_view>

#include "db/client_dataset.h"

namespace qmx00600 {

// The filter expression `field = 'value'` with every quote of `value`
// doubled, so that any value is one literal and never ends the expression.
std::string EqualsFilter(std::string_view field, std::string_view value);

// The `name_field` of the row of `catalogue` whose `key_field` equals `key`,
// or the empty text when no row does or the dataset is not open. Filtered is
// switched on for the search; afterwards the filter text is empty and
// Filtered is as it was, also when the search fails.
std::string NameByFilter(db::TClientDataSet& catalogue, std::string_view key_field,
                         std::string_view key, std::string_view name_field);

// A look-up list opens on the value its field holds now: `look_up` is moved
// to the row whose `key_field` is `current` (a move only when found and not
// there already); an empty value or one not listed leaves it where it is.
void OpenOnCurrentValue(db::TClientDataSet& look_up, std::string_view key_field,
                        const std::string& current);

}  // namespace qmx00600
