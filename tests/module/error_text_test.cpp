#include "server/error_text.h"

#include <gtest/gtest.h>

namespace qmx00600 {
namespace {

DecodedError D(std::string key, std::vector<std::string> args) {
  return {key, args};
}

TEST(ErrorText, ArgumentsAreSplitByTheKeysArity) {
  EXPECT_EQ(DecodeErrorText("INV_TABELAFATO_X"), D("INV_TABELA", {"FATO_X"}));
  EXPECT_EQ(DecodeErrorText("J_DIMEVALOR.FATO_VENDAS"), D("J_DIME", {"VALOR", "FATO_VENDAS"}));
  EXPECT_EQ(DecodeErrorText("NO_NUMBER"), D("NO_NUMBER", {}));
  EXPECT_EQ(DecodeErrorText("NO_DIMEqualquer resto"), D("NO_DIME", {}));
}

TEST(ErrorText, TwoArgumentsSplitAtTheFirstFullStopOnly) {
  EXPECT_EQ(DecodeErrorText("INV_CAMPOA.B.C"), D("INV_CAMPO", {"A", "B.C"}));
  EXPECT_EQ(DecodeErrorText("INV_DIME00001"), D("INV_DIME", {"", "00001"}));
  EXPECT_EQ(DecodeErrorText("DIME_DRILL_MENOR.F"), D("DIME_DRILL_MENOR", {"", "F"}));
}

TEST(ErrorText, KeysAreTriedInOrderAndCaseSensitively) {
  EXPECT_EQ(DecodeErrorText("DIME_DRILL_JA"), D("DIME_DRILL_JA", {}));
  EXPECT_EQ(DecodeErrorText("DIME_DRILL_MENORD.F"), D("DIME_DRILL_MENOR", {"D", "F"}));
  EXPECT_EQ(DecodeErrorText("inv_tabelaX"), std::nullopt);
  EXPECT_EQ(DecodeErrorText("O registro foi alterado por outro usuário."), std::nullopt);
  EXPECT_EQ(DecodeErrorText(""), std::nullopt);
  EXPECT_EQ(DecodeErrorText("J_DIM"), std::nullopt);
}

}  // namespace
}  // namespace qmx00600
