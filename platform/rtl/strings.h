// String helpers of the runtime. Text is UTF-8 throughout; "characters" are
// Unicode code points.
#pragma once

#include <string>
#include <string_view>

namespace rtl {

// Upper-cases the ASCII letters a to z only, as the runtime's UpperCase.
std::string UpperCase(std::string_view text);
// Upper-cases ASCII and the Latin-1 letters (à..þ), as the runtime's
// AnsiUpperCase; other characters are kept.
std::string AnsiUpperCase(std::string_view text);
// Upper-cases one character if it is a to z.
char UpCase(char c);

// Trim removes leading and trailing characters up to and including the blank
// (control characters and spaces), as the runtime's Trim.
std::string Trim(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);

// Every occurrence of `from` replaced by `to` (`from` must not be empty).
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);
// The text with every blank (space character) removed.
std::string RemoveBlanks(std::string_view text);

// Case-insensitive equality over AnsiUpperCase.
bool SameText(std::string_view a, std::string_view b);

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool IsValidUtf8(std::string_view text);
// Number of code points of well-formed UTF-8 text.
size_t Utf8Length(std::string_view text);

// The text made safe to print on one line of a terminal or a log: control
// characters (C0, DEL, C1), line and paragraph separators and the marks that
// reorder text on screen become \n, \t, \xHH or \uHHHH, bytes that are not
// UTF-8 become \xHH, and a backslash is doubled, so that nothing a user typed
// can move the cursor, colour the screen or pass for a line of its own.
// kKept leaves backslashes alone, for text whose backslashes are already
// escapes of its own (a JSON string).
enum class Backslashes { kDoubled, kKept };
std::string EscapeControls(std::string_view text, Backslashes backslashes = Backslashes::kDoubled);

}  // namespace rtl
