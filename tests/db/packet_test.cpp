#include "db/packet.h"

#include <gtest/gtest.h>

#include "db/errors.h"

namespace db {
namespace {

Packet SamplePacket(PacketKind kind = PacketKind::kData) {
  Packet p;
  p.kind = kind;
  p.fields = {{"CDTABELADW", 30, false}, {"NMTABELADW", 30, false}, {"IDDRILLDOWN", 1, true}};
  if (kind == PacketKind::kData)
    p.rows.push_back({RowStatus::kUnmodified, {"VENDAS", "Vendas", "N"}, {}});
  p.rows.push_back(
      {RowStatus::kModified, {"ESTOQUE", "Estoque ação", "N"}, {"ESTOQUE", std::nullopt, "N"}});
  p.rows.push_back(
      {RowStatus::kInserted, {"CLIENTES", std::string("Ünïcode çãé"), std::nullopt}, {}});
  p.rows.push_back({RowStatus::kDeleted, {}, {"ANTIGA", "Tabela antiga", "S"}});
  return p;
}

TEST(Packet, RoundTripsEveryStatusAndNulls) {
  for (PacketKind kind : {PacketKind::kData, PacketKind::kDelta}) {
    Packet p = SamplePacket(kind);
    EXPECT_EQ(DecodePacket(EncodePacket(p)), p);
    EXPECT_EQ(PacketFromVariant(PacketToVariant(p)), p);
  }
}

// The row-by-row writer gives EncodePacket's bytes and refuses what it refuses.
TEST(Packet, WriterWritesWhatTheEncoderWrites) {
  Packet p;
  p.fields = {{"CDTABELADW", 30, false}, {"NMTABELADW", 30, false}, {"IDDRILLDOWN", 1, true}};
  p.rows.push_back({RowStatus::kUnmodified, {"VENDAS", "Vendas ação", std::nullopt}, {}});
  p.rows.push_back({RowStatus::kUnmodified, {"ESTOQUE", "", "N"}, {}});
  DataPacketWriter w(p.fields);
  for (const PacketRow& row : p.rows) {
    w.BeginRow();
    for (const FieldValue& v : row.values) v ? w.Value(*v) : w.Null();
  }
  EXPECT_EQ(w.Finish(), EncodePacket(p));
  EXPECT_EQ(DataPacketWriter(p.fields).Finish(),
            EncodePacket(Packet{PacketKind::kData, p.fields, {}}));

  DataPacketWriter too_long(p.fields);
  too_long.BeginRow();
  too_long.Value("A");
  too_long.Value("B");
  EXPECT_THROW(too_long.Value("NN"), EPacketError);
  DataPacketWriter short_row(p.fields);
  short_row.BeginRow();
  short_row.Value("A");
  EXPECT_THROW(short_row.Finish(), EPacketError);
  DataPacketWriter bad_utf8(p.fields);
  bad_utf8.BeginRow();
  EXPECT_THROW(bad_utf8.Value("\xC3"), EPacketError);
  EXPECT_THROW(DataPacketWriter({{"A", 1, false}, {"a", 1, false}}), EPacketError);
}

TEST(Packet, TravelsAsAByteArrayWhoseFirstElementIsAByte) {
  rtl::Variant v = PacketToVariant(SamplePacket());
  ASSERT_TRUE(v.IsByteArray());
  EXPECT_EQ(v[0].Type(), rtl::varByte);
}

TEST(Packet, EmptyTextIsKeptApartFromNull) {
  Packet p;
  p.fields = {{"A", 3, false}};
  p.rows.push_back({RowStatus::kUnmodified, {std::string()}, {}});
  p.rows.push_back({RowStatus::kUnmodified, {std::nullopt}, {}});
  EXPECT_EQ(DecodePacket(EncodePacket(p)), p);
}

TEST(Packet, SizeCountsCharactersNotBytes) {
  Packet p;
  p.fields = {{"NM", 5, false}};
  p.rows.push_back({RowStatus::kUnmodified, {"ãçéõü"}, {}});  // 5 characters, 10 bytes
  EXPECT_EQ(DecodePacket(EncodePacket(p)), p);
  p.rows[0].values[0] = "ãçéõüa";
  EXPECT_THROW(EncodePacket(p), EPacketError);
}

TEST(Packet, CharacterCountAndValidationAcrossWordBoundaries) {
  auto fits = [](const std::string& v, int size) {
    Packet p;
    p.fields = {{"A", size, false}};
    p.rows.push_back({RowStatus::kUnmodified, {v}, {}});
    return DecodePacket(EncodePacket(p)) == p;
  };
  EXPECT_TRUE(fits("ab\xF0\x9F\x98\x80", 3));  // four-byte character
  for (const char* bad : {"abcdefg\xC3", "abcdefg\xC3(", "\xC0\x80", "\xC1\xBF", "abc\xE2\x82",
                          "\xED\xA0\x80xxxxxxx", "\xF4\x90\x80\x80", "\x80"}) {
    EXPECT_THROW(fits(bad, 30), EPacketError) << bad;
  }
}

TEST(Packet, EncoderRefusesBrokenPackets) {
  auto refused = [](auto mutate) {
    Packet p = SamplePacket();
    mutate(p);
    EXPECT_THROW(EncodePacket(p), EPacketError);
  };
  refused([](Packet& p) { p.rows[0].values.pop_back(); });
  refused([](Packet& p) { p.rows[1].old_values.clear(); });
  refused([](Packet& p) { p.rows[2].old_values = p.rows[2].values; });
  refused([](Packet& p) { p.rows[3].values = p.rows[3].old_values; });
  refused([](Packet& p) { p.rows[0].values[0] = std::string("\xC3\x28"); });
  refused([](Packet& p) { p.rows[0].values[2] = "NN"; });
  refused([](Packet& p) { p.fields[1].name = "cdtabeladw"; });
  refused([](Packet& p) { p.fields[0].name = ""; });
  refused([](Packet& p) { p.fields[0].size = 0; });
  refused([](Packet& p) { p.fields[0].size = 70000; });
  refused([](Packet& p) { p.rows[0].status = static_cast<RowStatus>(7); });
  refused([](Packet& p) { p.kind = PacketKind::kDelta; });  // an unmodified row in a delta
}

TEST(Packet, EveryTruncationIsRefused) {
  std::vector<uint8_t> bytes = EncodePacket(SamplePacket());
  for (size_t n = 0; n < bytes.size(); ++n)
    EXPECT_THROW(DecodePacket(std::span(bytes.data(), n)), EPacketError) << "prefix " << n;
}

TEST(Packet, TrailingBytesAreRefused) {
  std::vector<uint8_t> bytes = EncodePacket(SamplePacket());
  bytes.push_back(0);
  EXPECT_THROW(DecodePacket(bytes), EPacketError);
}

// Offsets in the encoding of a packet of one field "A" (size 3), one row.
constexpr size_t kFieldCountAt = 8, kNameLenAt = 12, kSizeAt = 14, kFlagsAt = 16, kRowCountAt = 17,
                 kStatusAt = 21, kValueLenAt = 22;

std::vector<uint8_t> OneRow(std::string value) {
  Packet p;
  p.fields = {{"A", 3, false}};
  p.rows.push_back({RowStatus::kUnmodified, {value}, {}});
  return EncodePacket(p);
}

void PutU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

TEST(Packet, LayoutMatchesTheDocumentedOffsets) {
  std::vector<uint8_t> b = OneRow("ab");
  std::vector<uint8_t> want = {'Q', 'M', 'X', 'P', 1, 0,   1,  0,  // magic, version, kind, reserved
                               1,   0,   0,   0,                   // one field
                               1,   'A', 3,   0,   0,              // name, size 3, flags
                               1,   0,   0,   0,                   // one row
                               0,   2,   0,   0,   0, 'a', 'b'};   // unmodified, "ab"
  EXPECT_EQ(b, want);
  EXPECT_EQ(b[kSizeAt], 3);
  EXPECT_EQ(b[kStatusAt], 0);
}

TEST(Packet, CountsClaimingMoreThanTheBufferHoldsAreRefusedAtOnce) {
  for (uint32_t count : {2u, 1000u, 0xFFFFFFFFu, kMaxPacketRows}) {
    std::vector<uint8_t> b = OneRow("ab");
    PutU32(b, kRowCountAt, count);
    EXPECT_THROW(DecodePacket(b), EPacketError) << count;
    b = OneRow("ab");
    PutU32(b, kFieldCountAt, count);
    EXPECT_THROW(DecodePacket(b), EPacketError) << count;
  }
  std::vector<uint8_t> b = OneRow("ab");
  PutU32(b, kValueLenAt, 3);  // one byte more than present
  EXPECT_THROW(DecodePacket(b), EPacketError);
  PutU32(b, kValueLenAt, 0xFFFFFFFEu);
  EXPECT_THROW(DecodePacket(b), EPacketError);
}

TEST(Packet, MalformedContentIsRefused) {
  auto refused = [](std::vector<uint8_t> b) { EXPECT_THROW(DecodePacket(b), EPacketError); };
  std::vector<uint8_t> good = OneRow("ab");
  ASSERT_NO_THROW(DecodePacket(good));
  auto with = [&](size_t at, uint8_t v) {
    std::vector<uint8_t> b = good;
    b[at] = v;
    return b;
  };
  refused(with(0, 'X'));                        // magic
  refused(with(4, 2));                          // version
  refused(with(6, 3));                          // kind
  refused(with(7, 1));                          // reserved
  refused(with(kNameLenAt, 0));                 // empty field name
  refused(with(kSizeAt, 0));                    // size 0
  refused(with(kFlagsAt, 4));                   // unknown field flag
  refused(with(kStatusAt, 4));                  // status
  refused(with(6, 2));                          // delta with an unmodified row
  EXPECT_THROW(OneRow("a\xC3"), EPacketError);  // cut UTF-8 sequence
}

TEST(Packet, InvalidUtf8AndOversizedValuesFromTheWireAreRefused) {
  std::vector<uint8_t> b = OneRow("abc");
  b[kValueLenAt + 4] = 0xC0;  // overlong lead byte
  EXPECT_THROW(DecodePacket(b), EPacketError);
  b = OneRow("abc");
  b[kSizeAt] = 2;  // field now smaller than the value
  EXPECT_THROW(DecodePacket(b), EPacketError);
  Packet p;
  p.fields = {{"A", 1, false}, {"a", 1, false}};
  EXPECT_THROW(EncodePacket(p), EPacketError);
}

TEST(Packet, FromVariantNeedsAByteArray) {
  EXPECT_THROW(PacketFromVariant(rtl::Variant("texto")), EPacketError);
  EXPECT_THROW(PacketFromVariant(rtl::Variant::Null()), EPacketError);
  EXPECT_THROW(PacketFromVariant(rtl::VarArrayOf({1, 2})), EPacketError);
}

TEST(Packet, FieldIndexIgnoresCase) {
  Packet p = SamplePacket();
  EXPECT_EQ(p.FieldIndex("nmtabeladw"), 1);
  EXPECT_EQ(p.FieldIndex("NADA"), -1);
}

}  // namespace
}  // namespace db
