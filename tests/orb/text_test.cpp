#include "orb/text.h"

#include <gtest/gtest.h>

namespace orb {
namespace {

TEST(EmptyString, BlanksAloneCountAsEmpty) {
  EXPECT_TRUE(EmptyString(""));
  EXPECT_TRUE(EmptyString("   "));
  EXPECT_TRUE(EmptyString(" \t\r\n"));
  EXPECT_FALSE(EmptyString(" a "));
  EXPECT_FALSE(EmptyString("0"));
  EXPECT_FALSE(EmptyString("\xC2\xA0"));  // a no-break space is a character, not a blank
}

TEST(AllTrim, RemovesLeadingAndTrailingBlanksOnly) {
  EXPECT_EQ(AllTrim("  ab c \t"), "ab c");
  EXPECT_EQ(AllTrim(""), "");
  EXPECT_EQ(AllTrim("   "), "");
  EXPECT_EQ(AllTrim("ção "), "ção");
}

TEST(Ajusta, DigitsArePaddedWithZerosToTheWidth) {
  EXPECT_EQ(Ajusta("12", 5), "00012");
  EXPECT_EQ(Ajusta(" 12 ", 5), "00012");
  EXPECT_EQ(Ajusta("00012", 5), "00012");
  EXPECT_EQ(Ajusta("0", 5), "00000");
  EXPECT_EQ(Ajusta("12345", 5), "12345");
}

TEST(Ajusta, OtherTextIsOnlyTrimmedAndNothingIsEverCut) {
  EXPECT_EQ(Ajusta("VEN", 5), "VEN");
  EXPECT_EQ(Ajusta(" A1 ", 5), "A1");
  EXPECT_EQ(Ajusta("-12", 5), "-12");
  EXPECT_EQ(Ajusta("1 2", 5), "1 2");
  EXPECT_EQ(Ajusta("123456", 5), "123456");
  EXPECT_EQ(Ajusta("", 5), "");
  EXPECT_EQ(Ajusta("   ", 5), "");
  EXPECT_EQ(Ajusta("12", 0), "12");
  EXPECT_EQ(Ajusta("12", -3), "12");
}

TEST(Replace, ReplacesEveryOccurrenceByDefault) {
  EXPECT_EQ(Replace(" ", " ab c d ", "", 0), "abcd");
  EXPECT_EQ(Replace("aa", "aaaaa", "b", rfReplaceAll), "bba");  // replaced text is not re-read
  EXPECT_EQ(Replace("x", "abc", "y", 0), "abc");
  EXPECT_EQ(Replace("", "abc", "y", 0), "abc");
  EXPECT_EQ(Replace("a", "", "y", 0), "");
  EXPECT_EQ(Replace("a", "banana", "ä", 0), "bänänä");
}

TEST(Replace, FlagsSelectCaseAndTheFirstOccurrence) {
  EXPECT_EQ(Replace("ab", "AB ab aB", "-", 0), "AB - aB");
  EXPECT_EQ(Replace("ab", "AB ab aB", "-", rfIgnoreCase), "- - -");
  EXPECT_EQ(Replace("ção", "AÇÃO ação", "x", rfIgnoreCase), "Ax ax");
  EXPECT_EQ(Replace("a", "banana", "o", rfFirstOnly), "bonana");
  EXPECT_EQ(Replace("N", "banana", "o", rfFirstOnly | rfIgnoreCase), "baoana");
}

}  // namespace
}  // namespace orb
