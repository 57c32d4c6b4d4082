// Decoding of the error texts the application server sends in error reports.
//
// An error text begins with one of fourteen keys, compared case-sensitively
// in a fixed order (the first match wins), immediately followed by the key's
// arguments: none, one (the whole rest), or two (split at the first full
// stop; without a full stop the first is empty and the second the whole rest).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qmx00600 {

struct ErrorKey {
  std::string_view key;
  int arguments;  // 0, 1 or 2
};

// The fourteen keys in the order they are tried.
const std::vector<ErrorKey>& ErrorKeys();

struct DecodedError {
  std::string key;
  std::vector<std::string> arguments;
  bool operator==(const DecodedError&) const = default;
};

// The key and arguments of `text`, or nullopt when it begins with no key.
std::optional<DecodedError> DecodeErrorText(std::string_view text);

// The plain text (no key) of the server's refusal of an update or delete whose
// row changed or went since the screen read it. A save recognises it by this
// exact text and recovers on its own; the server keeps the same text.
inline constexpr std::string_view kChangedMeanwhileText =
    "O registro foi alterado ou excluído por outro usuário desde que foi lido. "
    "Recarregue os dados e tente de novo.";

}  // namespace qmx00600
