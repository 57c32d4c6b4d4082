// Finding a text typed by the person in a column of a dataset, as the host's
// search dialog does: anywhere in the value, without regard to letter case or
// accents ("numero" finds "Número inteiro").
#pragma once

#include <string>
#include <string_view>

namespace db {
class TClientDataSet;
}

namespace orb {

// The form texts are compared in: upper case, the accented Latin-1 letters
// as their plain letter (Ç as C, Ñ as N); other characters kept.
std::string SearchKey(std::string_view text);

struct TextHit {
  int recno = 0;         // 1-based row found, 0 when none
  bool wrapped = false;  // found only by going on from the first row
};

// The first row, from `from` (1-based) to the last and then from the first
// on, whose `field` shows `text` (as the grids show it). Reads the rows
// without moving the dataset. An empty text, a closed dataset or an unknown
// field finds nothing.
TextHit FindText(db::TClientDataSet& dataset, std::string_view field, std::string_view text,
                 int from);

}  // namespace orb
