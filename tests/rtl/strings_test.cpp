#include "rtl/strings.h"

#include <gtest/gtest.h>

namespace rtl {
namespace {

TEST(Strings, UpperCaseTouchesAsciiOnly) {
  EXPECT_EQ(UpperCase("fato_vendas ção"), "FATO_VENDAS çãO");
  EXPECT_EQ(AnsiUpperCase("ação ÷"), "AÇÃO ÷");
  EXPECT_EQ(UpCase('z'), 'Z');
  EXPECT_EQ(UpCase('1'), '1');
}

TEST(Strings, TrimAndBlankRemoval) {
  EXPECT_EQ(Trim("  \t a b \r\n"), "a b");
  EXPECT_EQ(TrimLeft("  x "), "x ");
  EXPECT_EQ(TrimRight("  x "), "  x");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(RemoveBlanks(" fa to  v "), "fatov");
  EXPECT_EQ(ReplaceAll("a--b--", "--", "+"), "a+b+");
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
}

TEST(Strings, SameTextIgnoresCase) {
  EXPECT_TRUE(SameText("Fato", "FATO"));
  EXPECT_TRUE(SameText("ação", "AÇÃO"));
  EXPECT_FALSE(SameText("FATO1", "FATO"));
}

TEST(Strings, Utf8ValidationAndLength) {
  EXPECT_TRUE(IsValidUtf8("Dimensões"));
  EXPECT_TRUE(IsValidUtf8("abcdefghijklmnopqrstuvwxyz0123456789"));
  EXPECT_FALSE(IsValidUtf8("\xC3"));              // truncated
  EXPECT_FALSE(IsValidUtf8("abcdefgh\xC3("));     // bad continuation after the fast path
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
  EXPECT_EQ(Utf8Length("Dimensões"), 9u);
}

}  // namespace
}  // namespace rtl
