#include "server/result_check.h"

#include "orb/dialogs.h"
#include "orb/server_result.h"
#include "rtl/exceptions.h"
#include "rtl/format.h"
#include "server/error_text.h"

#include <vector>

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

db::TField* FieldOfErrorReport(const rtl::Variant& result, const db::TClientDataSet& dataset) {
  if (!IsErrorReport(result)) return nullptr;
  const std::optional<DecodedError> decoded = DecodeErrorText(result[0].AsString());
  if (!decoded) return nullptr;
  const std::string& key = decoded->key;
  // Candidates by what the key is about, first present wins.
  std::vector<const char*> names;
  if (key == "INV_CAMPO" || key == "CAMPO_JA")
    names = {"CDITEMDW", "CDITEMDRILL", "CDITEMDIME", "CDDIMEDRILL"};
  else if (key == "J_FATO" || key == "NOME_DRILL_JA")
    names = {"NMITEMDW", "NMITEMDRILL"};
  else if (key == "J_DIME" || key == "NO_NUMBER" || key == "NO_DIME" || key == "INV_DIME" ||
           key == "DIME_DRILL_MENOR" || key == "DIME_DRILL_JA")
    names = {"NRSEQUEDIME"};
  else if (key == "NOT_TAB_DRILL" || key == "INV_TABELA")
    names = {"CDTABDRILL"};
  for (const char* name : names)
    if (db::TField* field = dataset.FindField(name)) return field;
  return nullptr;
}

bool IsChangedMeanwhile(const rtl::Variant& result) {
  if (orb::CheckResultServ(result, false, 0)) return false;
  return result[0].AsString() == kChangedMeanwhileText;
}

}  // namespace qmx00600
