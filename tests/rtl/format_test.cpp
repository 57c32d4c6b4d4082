#include "rtl/format.h"

#include <gtest/gtest.h>

#include "rtl/exceptions.h"

namespace rtl {
namespace {

TEST(Format, FillsBothPlaceholderFormsInOrder) {
  EXPECT_EQ(Format("O campo \"%s\" da tabela \"%s\"", {"CD", "FATO"}),
            "O campo \"CD\" da tabela \"FATO\"");
  EXPECT_EQ(Format("Tabela \"%S\" inválida.", {"X"}), "Tabela \"X\" inválida.");
  EXPECT_EQ(Format("%S e %s", {"a", "b"}), "a e b");
  EXPECT_EQ(Format("sem marcas", {"ignorado"}), "sem marcas");
  EXPECT_EQ(Format("100%%", {}), "100%");
}

TEST(Format, ArgumentsAreNotReinterpreted) {
  EXPECT_EQ(Format("[%s]", {"%s%S%%"}), "[%s%S%%]");
}

TEST(Format, MissingArgumentOrBadConversionIsAnError) {
  EXPECT_THROW(Format("%S e %S", {"um"}), EConvertError);
  EXPECT_THROW(Format("%d", {"1"}), EConvertError);
  EXPECT_THROW(Format("fim %", {}), EConvertError);
}

}  // namespace
}  // namespace rtl
