// The test every application-server result goes through before it is used,
// and the decoding of an error report into a message of the screen's
// catalogue.
//
// CheckOleContents: a result that is empty, null, a data packet or an array
// whose element 0 is not a text passes unchanged; an array whose element 0 is
// a text is an error report, handed to HandleErrorMessage.
//
// HandleErrorMessage shows the message through MensErro with abort, so it
// never returns normally: for a text that begins with one of the fourteen
// keys, the catalogue's text of that key filled with the key's arguments; for
// any other text, the server's text as it stands (a refusal is never taken
// for an answer); for an empty text, a fixed Portuguese message.
#pragma once

#include <string>

#include "orb/messages.h"
#include "rtl/variant.h"

namespace qmx00600 {

inline constexpr const char* kEmptyRefusalText =
    "O servidor recusou a operação sem informar o motivo.";

// The message shown for `text` (exposed for the tests of the decoding).
std::string ErrorMessageText(const std::string& text, const orb::TMessages& catalogue);

[[noreturn]] void HandleErrorMessage(const std::string& text, const orb::TMessages& catalogue);

rtl::Variant CheckOleContents(const rtl::Variant& result, const orb::TMessages& catalogue);

// Whether `result` is an error report (CheckOleContents would refuse it).
bool IsErrorReport(const rtl::Variant& result);

// Whether `result` is the error report of kChangedMeanwhileText, exactly.
bool IsChangedMeanwhile(const rtl::Variant& result);

}  // namespace qmx00600
