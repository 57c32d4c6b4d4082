// Small readings and stored forms of the row being edited, shared by the
// row checks of every list of the screen.
#pragma once

#include <string>
#include <string_view>

#include "db/client_dataset.h"
#include "db/data_source.h"

namespace qmx00600 {

// The dataset (or a dataset in `state`) has a row being edited or inserted.
bool Editing(db::TDataSetState state);
bool Editing(const db::TClientDataSet* ds);

// The field's value differs from the one last loaded or saved, letter case
// included (a new row's value always does).
bool ValueChanged(const db::TField* field);

// Upper case, every blank removed: the form codes and columns are stored in.
std::string StoredCode(std::string_view code);

// A number widened to the five characters it is stored in.
std::string StoredNumber(std::string_view number);

// A row being inserted through `detail` takes the code of the current row of
// `tables` (CDTABELADW, the list its table is on) into `code_field`; true
// when `detail` is inserting.
bool TakeTableCode(db::TDataSource* detail, std::string_view code_field,
                   const db::TClientDataSet* tables);

// TABELAS of a server's answer, or "" when the answer named no table (also
// when it was no packet at all, as for an error text the screen does not know).
std::string AffectedTables(const db::TClientDataSet& answer);

// The version (NRVERSAO) a server puts on the rows of its answer to an impact
// question, read from the first row whether or not `answer` declares the
// field; Empty when the answer carries none (an older server).
rtl::Variant AnswerVersion(const db::TClientDataSet& answer);

// The version (NRVERSAO) the server sent with the row of table `code` of a
// table list, or Empty when the list holds none.
rtl::Variant ListedVersion(const db::TClientDataSet& list, std::string_view code);

}  // namespace qmx00600
