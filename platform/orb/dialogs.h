// Errors, look-ups and searches of the host library, all shown through the
// installed user-interface service (vcl::UserInterface()).
#pragma once

#include <string>

namespace db {
class TClientDataSet;
class TDataSource;
}  // namespace db

namespace orb {

// Shows `text` as an error. With `abort` true it then throws rtl::EAbort, the
// silent abort, which abandons the post, column exit or command in progress
// without a second message; with `abort` false it returns normally.
void MensErro(const std::string& text, bool abort);

// Look-up dialog over the data source's dataset, titled `title`. True when
// the person chose a row. With `position` true the dataset is left on the
// chosen row; with it false the dataset is moved back to the row it was on
// (the answer still says whether a row was chosen). `multi_select` asks for
// choosing several rows, which this library does not offer: true is refused
// with rtl::Exception before anything is shown. A data source without a
// dataset, or with a closed one, has nothing to choose: false, nothing shown.
bool Pesquisar(db::TDataSource& source, const std::string& title, bool multi_select, bool position);

// Search dialog over a dataset; true when a row was found, which is then the
// current row. A closed dataset has nothing to search: false, nothing shown.
bool Procura(db::TClientDataSet& dataset);

}  // namespace orb
