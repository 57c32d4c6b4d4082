#include "rtl/variant.h"

#include <gtest/gtest.h>

#include "rtl/exceptions.h"

namespace rtl {
namespace {

TEST(Variant, KindsReportTheirTypeCodes) {
  EXPECT_EQ(VarType(Variant()), varEmpty);
  EXPECT_EQ(VarType(Variant::Null()), varNull);
  EXPECT_EQ(VarType(Variant(true)), varBoolean);
  EXPECT_EQ(VarType(Variant(42)), varInteger);
  EXPECT_EQ(VarType(Variant("texto")), varOleStr);
  EXPECT_EQ(VarType(Variant::Array({})), varArray | varVariant);
  EXPECT_EQ(VarType(Variant::ByteArray({1, 2})), varArray | varByte);
  EXPECT_TRUE(VarIsArray(Variant::ByteArray({})));
  EXPECT_FALSE(VarIsArray(Variant("x")));
}

TEST(Variant, ArraysAreIndexedFromZeroAndCopiedByValue) {
  Variant a = VarArrayOf({Variant("ERRO"), Variant(7)});
  EXPECT_EQ(VarArrayLowBound(a), 0);
  EXPECT_EQ(VarArrayHighBound(a), 1);
  EXPECT_EQ(VarType(a[0]), varOleStr);
  EXPECT_EQ(a[1].AsInteger(), 7);
  Variant b = a;
  b.Items()[0] = Variant("outro");
  EXPECT_EQ(a[0].AsString(), "ERRO");
  EXPECT_THROW(a[2], EVariantError);
  EXPECT_THROW(Variant("x")[0], EVariantError);
}

TEST(Variant, ByteArrayElementsAreBytes) {
  // A data packet is a byte array: its first element must not look like text.
  Variant packet = Variant::ByteArray({0x51, 0x4D});
  EXPECT_EQ(VarType(packet[0]), varByte);
  EXPECT_EQ(packet[0].AsInteger(), 0x51);
  EXPECT_EQ(packet.Bytes().size(), 2u);
}

TEST(Variant, ConversionsFollowTheRuntime) {
  EXPECT_EQ(Variant().AsString(), "");
  EXPECT_EQ(Variant::Null().AsString(), "");
  EXPECT_EQ(Variant(true).AsString(), "True");
  EXPECT_EQ(Variant(-12).AsString(), "-12");
  EXPECT_EQ(Variant("2160").AsInteger(), 2160);
  EXPECT_THROW(Variant("21a").AsInteger(), EConvertError);
  EXPECT_THROW(Variant("").AsInteger(), EConvertError);
  EXPECT_THROW(Variant::Array({}).AsString(), EVariantError);
  EXPECT_TRUE(Variant("True").AsBoolean());
  EXPECT_THROW(Variant("talvez").AsBoolean(), EConvertError);
}

TEST(Variant, EqualityComparesKindAndValue) {
  EXPECT_EQ(Variant("1"), Variant("1"));
  EXPECT_FALSE(Variant("1") == Variant(1));
  EXPECT_FALSE(Variant() == Variant::Null());
  EXPECT_EQ(VarArrayOf({Variant(1), Variant("a")}), VarArrayOf({Variant(1), Variant("a")}));
}

}  // namespace
}  // namespace rtl
