// Text helpers of the host library, for codes typed by the user.
//
// "Blank" means a space or a control character (as rtl::Trim), so a value of
// tabs or line breaks alone counts as not filled in like one of spaces.
#pragma once

#include <string>
#include <string_view>

namespace orb {

// True when the text is empty or holds blanks only.
bool EmptyString(std::string_view text);

// The text without leading and trailing blanks.
std::string AllTrim(std::string_view text);

// The stored form of a code of `width` characters: the text without leading
// and trailing blanks and, when what remains is made of the digits 0-9 only
// and is shorter than `width`, left-padded with zeros to `width` ("12" -> "00012"
// for width 5). Any other text is only trimmed, and nothing is ever cut: a
// value longer than `width` stays as it is, so that storing it fails with the
// field's own message instead of silently becoming another code. Empty and
// blank text gives "". A width below 1 leaves the trimmed text alone.
std::string Ajusta(std::string_view text, int width);

// Options of Replace, combined with |.
enum TReplaceFlag : unsigned {
  rfReplaceAll = 0,  // every occurrence (the default)
  rfIgnoreCase = 1,  // letters compared as by rtl::AnsiUpperCase
  rfFirstOnly = 2,   // the first occurrence only
};
using TReplaceFlags = unsigned;

// `text` with the occurrences of `find` replaced by `replacement`, scanning
// left to right without re-reading replaced text. An empty `find` changes
// nothing. Replace(" ", code, "", 0) removes every space of a code.
std::string Replace(std::string_view find, std::string_view text, std::string_view replacement,
                    TReplaceFlags flags);

}  // namespace orb
