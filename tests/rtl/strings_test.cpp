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

TEST(Strings, EscapeControlsKeepsEveryLineOneLineAndTheTerminalUntouched) {
  EXPECT_EQ(EscapeControls("Dimensões ✓"), "Dimensões ✓");
  EXPECT_EQ(EscapeControls("eva\n2026-01-01 forjada\r\t"), "eva\\n2026-01-01 forjada\\r\\t");
  EXPECT_EQ(EscapeControls("\x1b[31mvermelho\x7f"), "\\x1B[31mvermelho\\x7F");
  EXPECT_EQ(EscapeControls("\xC2\x85"
                           "a\xE2\x80\xAE"
                           "b\xE2\x80\xA8"),
            "\\x85a\\u202Eb\\u2028");
  // Bytes that are not UTF-8 are shown, not passed on; a backslash is doubled
  // so that an escape typed by the user cannot pass for one made here.
  EXPECT_EQ(EscapeControls("a\xFF\xC3(b"), "a\\xFF\\xC3(b");
  EXPECT_EQ(EscapeControls("c:\\n"), "c:\\\\n");
  EXPECT_EQ(EscapeControls(std::string("x\0y", 3)), "x\\x00y");
}

}  // namespace
}  // namespace rtl
