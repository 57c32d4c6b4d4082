// Refusal: a business rule turned a call down. The remote object answers it
// as an error report, a one-element variant array holding the text; every
// write of the call is rolled back first.
//
// Keyed texts are what the client decodes into its own messages: the key,
// then its arguments — one argument follows the key directly, two are joined
// by a full stop. Plain texts (no key) are for refusals the client has no
// message for; they never begin with a key.
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace appserver {

class Refusal : public std::exception {
 public:
  explicit Refusal(std::string text) : text_(std::move(text)) {}
  const std::string& Text() const { return text_; }
  const char* what() const noexcept override { return text_.c_str(); }

 private:
  std::string text_;
};

// The fourteen keys.
namespace key {
inline constexpr std::string_view kJDime = "J_DIME";                     // field.table
inline constexpr std::string_view kJFato = "J_FATO";                     // field.table
inline constexpr std::string_view kInvTabela = "INV_TABELA";             // table
inline constexpr std::string_view kInvCampo = "INV_CAMPO";               // field.table
inline constexpr std::string_view kNoNumber = "NO_NUMBER";               // -
inline constexpr std::string_view kNoDime = "NO_DIME";                   // -
inline constexpr std::string_view kNotTabDrill = "NOT_TAB_DRILL";        // table
inline constexpr std::string_view kSemFato = "SEM_FATO";                 // table
inline constexpr std::string_view kSemDime = "SEM_DIME";                 // table
inline constexpr std::string_view kDimeDrillMenor = "DIME_DRILL_MENOR";  // drill.table
inline constexpr std::string_view kCampoJa = "CAMPO_JA";                 // -
inline constexpr std::string_view kNomeDrillJa = "NOME_DRILL_JA";        // -
inline constexpr std::string_view kInvDime = "INV_DIME";                 // dimension.table
inline constexpr std::string_view kDimeDrillJa = "DIME_DRILL_JA";        // -

// Every key the server sends, for the test that holds the copies together.
inline constexpr std::string_view kAll[] = {
    kJDime,   kJFato,   kInvTabela,      kInvCampo, kNoNumber,    kNoDime,  kNotTabDrill,
    kSemFato, kSemDime, kDimeDrillMenor, kCampoJa,  kNomeDrillJa, kInvDime, kDimeDrillJa};
}  // namespace key

inline Refusal Refuse(std::string_view k) {
  return Refusal(std::string(k));
}
inline Refusal Refuse(std::string_view k, std::string_view arg) {
  return Refusal(std::string(k) + std::string(arg));
}
inline Refusal Refuse(std::string_view k, std::string_view first, std::string_view second) {
  return Refusal(std::string(k) + std::string(first) + "." + std::string(second));
}

// The text of an optimistic update that found the row changed or gone.
inline constexpr const char* kChangedMeanwhile =
    "O registro foi alterado ou excluído por outro usuário desde que foi lido. "
    "Recarregue os dados e tente de novo.";

}  // namespace appserver
