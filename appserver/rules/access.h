// What a role may do with rdmEstrutura: a leitor may call every method that
// only reads, and is refused every method that writes and the consent that
// drops drill links (getVdDelDrill with its listing flag false).
#pragma once

#include <string_view>
#include <vector>

#include "rtl/variant.h"

namespace appserver {

// The text a leitor reads when refused, as an error report carries it.
inline constexpr const char* kReadOnlyText =
    "Sua conta tem acesso somente de leitura (leitor): você pode consultar a estrutura, mas "
    "não alterá-la. Nada foi gravado. Peça a quem administra o servidor o papel de editor.";

// Whether `method` called with `args` may change the structure. A call whose
// arguments do not say (malformed) counts as writing.
bool Writes(std::string_view method, const std::vector<rtl::Variant>& args);

}  // namespace appserver
