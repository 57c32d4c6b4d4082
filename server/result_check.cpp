#include "server/result_check.h"

#include "orb/dialogs.h"
#include "orb/server_result.h"
#include "rtl/exceptions.h"
#include "rtl/format.h"
#include "server/error_text.h"

namespace qmx00600 {

std::string ErrorMessageText(const std::string& text, const orb::TMessages& catalogue) {
  if (text.empty()) return kEmptyRefusalText;
  std::optional<DecodedError> decoded = DecodeErrorText(text);
  if (!decoded) return text;
  std::string message = catalogue.Msg(decoded->key);
  if (decoded->arguments.empty()) return message;
  return rtl::Format(message, decoded->arguments);
}

void HandleErrorMessage(const std::string& text, const orb::TMessages& catalogue) {
  orb::MensErro(ErrorMessageText(text, catalogue), true);
  // MensErro with abort always throws; should it ever return, the operation
  // still must not go on as if the call had succeeded.
  rtl::Abort();
}

rtl::Variant CheckOleContents(const rtl::Variant& result, const orb::TMessages& catalogue) {
  rtl::Variant copy = result;
  orb::CheckResultServ(copy, true, 0);
  if (copy.IsEmpty() || copy.IsNull()) return copy;
  if (copy.IsArray() && copy.Length() > 0) {
    const rtl::Variant first = copy[0];
    if (first.Type() == rtl::varOleStr) HandleErrorMessage(first.AsString(), catalogue);
  }
  return copy;
}

bool IsErrorReport(const rtl::Variant& result) {
  return result.IsArray() && result.Length() > 0 && result[0].Type() == rtl::varOleStr;
}

bool IsChangedMeanwhile(const rtl::Variant& result) {
  if (orb::CheckResultServ(result, false, 0)) return false;
  return result[0].AsString() == kChangedMeanwhileText;
}

}  // namespace qmx00600
