#include "server/error_text.h"

namespace qmx00600 {

const std::vector<ErrorKey>& ErrorKeys() {
  // The order matters: DIME_DRILL_MENOR is tried before DIME_DRILL_JA.
  static const std::vector<ErrorKey> keys = {
      {"J_DIME", 2},    {"J_FATO", 2},           {"INV_TABELA", 1},    {"INV_CAMPO", 2},
      {"NO_NUMBER", 0}, {"NO_DIME", 0},          {"NOT_TAB_DRILL", 1}, {"SEM_FATO", 1},
      {"SEM_DIME", 1},  {"DIME_DRILL_MENOR", 2}, {"CAMPO_JA", 0},      {"NOME_DRILL_JA", 0},
      {"INV_DIME", 2},  {"DIME_DRILL_JA", 0},
  };
  return keys;
}

std::optional<DecodedError> DecodeErrorText(std::string_view text) {
  for (const ErrorKey& k : ErrorKeys()) {
    if (text.substr(0, k.key.size()) != k.key) continue;
    std::string_view rest = text.substr(k.key.size());
    DecodedError e{std::string(k.key), {}};
    if (k.arguments == 1) {
      e.arguments.emplace_back(rest);
    } else if (k.arguments == 2) {
      size_t dot = rest.find('.');
      if (dot == std::string_view::npos) {
        e.arguments = {std::string(), std::string(rest)};
      } else {
        e.arguments = {std::string(rest.substr(0, dot)), std::string(rest.substr(dot + 1))};
      }
    }
    return e;
  }
  return std::nullopt;
}

}  // namespace qmx00600
