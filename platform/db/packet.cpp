#include "db/packet.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <unordered_set>

#include "db/errors.h"
#include "db/packet_rows.h"
#include "rtl/strings.h"

// Layout (docs/packets.md): all integers little-endian.
//   header  "QMXP" u16 version u8 kind u8 reserved(0)
//   u32 field count, then per field: u8 name length, name, u16 size, u8 flags
//   u32 row count, then per row: u8 status, then the value vectors the status
//   carries (values, then old values), each value a u32 byte length
//   (0xFFFFFFFF for null) followed by the bytes.
namespace db {
namespace {

constexpr uint8_t kMagic[4] = {'Q', 'M', 'X', 'P'};
constexpr uint16_t kVersion = 1;
constexpr uint32_t kNullLength = 0xFFFFFFFFu;
constexpr uint8_t kFixedCharFlag = 0x01;
constexpr size_t kMaxNameBytes = 255;
constexpr size_t kHeaderBytes = 8;
constexpr size_t kMinFieldBytes = 1 + 1 + 2 + 1;  // with a one-byte name

[[noreturn]] void Fail(const std::string& what) {
  throw EPacketError("Pacote de dados inválido: " + what);
}

bool HasValues(RowStatus s) {
  return s != RowStatus::kDeleted;
}
bool HasOldValues(RowStatus s) {
  return s == RowStatus::kModified || s == RowStatus::kDeleted;
}

bool ValidStatus(uint8_t s) {
  return s <= static_cast<uint8_t>(RowStatus::kDeleted);
}

constexpr size_t kNotSimple = static_cast<size_t>(-1);

// Counts the characters of text made only of ASCII and two-byte sequences
// (which covers Portuguese), in one pass that also proves it well-formed: a
// lead byte C2..DF with one continuation byte can be neither overlong nor a
// surrogate. Anything else gives kNotSimple and goes through the full check.
inline size_t CountSimpleUtf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  size_t chars = 0;
  while (p < end) {
    if (end - p >= 8) {
      uint64_t word;
      std::memcpy(&word, p, 8);
      uint64_t high = word & 0x8080808080808080ULL;
      if (high == 0) {
        p += 8;
        chars += 8;
        continue;
      }
      // Skip the ASCII bytes before the first one with its high bit set
      // (words are read little-endian).
      if constexpr (std::endian::native == std::endian::little) {
        size_t ascii = static_cast<size_t>(std::countr_zero(high)) / 8;
        p += ascii;
        chars += ascii;
      }
    }
    unsigned char c = *p;
    if (c < 0x80) {
      ++p;
    } else if (c >= 0xC2 && c <= 0xDF && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
      p += 2;
    } else {
      return kNotSimple;
    }
    ++chars;
  }
  return chars;
}

[[noreturn, gnu::noinline, gnu::cold]] void FailTooLong(const PacketField& field) {
  Fail("o valor do campo " + field.name + " excede o tamanho de " + std::to_string(field.size) +
       " caracteres");
}

[[noreturn, gnu::noinline, gnu::cold]] void FailNotUtf8(const PacketField& field) {
  Fail("o valor do campo " + field.name + " não é texto UTF-8 válido");
}

// Checks one value against its field: UTF-8 and at most `size` characters
// (a text of no more bytes than the size cannot have more characters).
inline void CheckValue(std::string_view text, const PacketField& field) {
  size_t chars = CountSimpleUtf8(text);
  if (chars == kNotSimple) {
    if (!rtl::IsValidUtf8(text)) FailNotUtf8(field);
    chars = rtl::Utf8Length(text);
  }
  if (chars > static_cast<size_t>(field.size)) FailTooLong(field);
}

void CheckFields(const std::vector<PacketField>& fields) {
  if (fields.size() > kMaxPacketFields) Fail("campos demais");
  // Every packet the server answers is checked, so the usual few fields are
  // compared pairwise instead of through a hashed set.
  constexpr size_t kPairwise = 16;
  std::vector<std::string> upper;
  std::unordered_set<std::string> seen;
  upper.reserve(std::min(fields.size(), kPairwise));
  for (const PacketField& f : fields) {
    if (f.name.empty()) Fail("nome de campo vazio");
    if (f.name.size() > kMaxNameBytes) Fail("nome de campo longo demais");
    if (!rtl::IsValidUtf8(f.name)) Fail("nome de campo não é texto UTF-8 válido");
    if (f.size < 1 || f.size > kMaxFieldSize) Fail("tamanho inválido no campo " + f.name);
    std::string name = rtl::AnsiUpperCase(f.name);
    const bool repeated = fields.size() <= kPairwise
                              ? std::find(upper.begin(), upper.end(), name) != upper.end()
                              : !seen.insert(name).second;
    if (repeated) Fail("campo repetido: " + f.name);
    if (fields.size() <= kPairwise) upper.push_back(std::move(name));
  }
}

size_t SizeOf(const std::vector<FieldValue>* v) {
  return v ? v->size() : 0;
}

void CheckRowShape(const detail::RowView& row, PacketKind kind, size_t field_count) {
  if (!ValidStatus(static_cast<uint8_t>(row.status))) Fail("situação de linha inválida");
  if (kind == PacketKind::kDelta && row.status == RowStatus::kUnmodified)
    Fail("pacote de alterações com linha sem alteração");
  size_t want_values = HasValues(row.status) ? field_count : 0;
  size_t want_old = HasOldValues(row.status) ? field_count : 0;
  if (SizeOf(row.values) != want_values || SizeOf(row.old_values) != want_old)
    Fail("número de valores da linha não confere com os campos");
}

size_t EncodedSize(const std::vector<FieldValue>* values) {
  size_t n = 0;
  if (values)
    for (const FieldValue& v : *values) n += 4 + (v ? v->size() : 0);
  return n;
}

// Writes into a buffer sized exactly beforehand.
class Writer {
 public:
  explicit Writer(size_t size) : out_(size), p_(out_.data()) {}
  void U8(uint8_t v) { *p_++ = v; }
  void U16(uint16_t v) {
    p_[0] = static_cast<uint8_t>(v);
    p_[1] = static_cast<uint8_t>(v >> 8);
    p_ += 2;
  }
  void U32(uint32_t v) {
    p_[0] = static_cast<uint8_t>(v);
    p_[1] = static_cast<uint8_t>(v >> 8);
    p_[2] = static_cast<uint8_t>(v >> 16);
    p_[3] = static_cast<uint8_t>(v >> 24);
    p_ += 4;
  }
  void Bytes(const void* p, size_t n) {
    if (n) std::memcpy(p_, p, n);
    p_ += n;
  }
  std::vector<uint8_t> Take() { return std::move(out_); }

 private:
  std::vector<uint8_t> out_;
  uint8_t* p_;
};

// Appends to a buffer that grows, for a packet written before its size is
// known (DataPacketWriter).
class Appender {
 public:
  explicit Appender(std::vector<uint8_t>& out) : out_(out) {}
  void U8(uint8_t v) { out_.push_back(v); }
  void U16(uint16_t v) {
    U8(static_cast<uint8_t>(v));
    U8(static_cast<uint8_t>(v >> 8));
  }
  void U32(uint32_t v) {
    U16(static_cast<uint16_t>(v));
    U16(static_cast<uint16_t>(v >> 16));
  }
  void Bytes(const void* p, size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    out_.insert(out_.end(), b, b + n);
  }

 private:
  std::vector<uint8_t>& out_;
};

// The packet's header up to, not including, its row count.
template <class Out>
void WriteHeader(Out& w, PacketKind kind, const std::vector<PacketField>& fields) {
  w.Bytes(kMagic, sizeof kMagic);
  w.U16(kVersion);
  w.U8(static_cast<uint8_t>(kind));
  w.U8(0);
  w.U32(static_cast<uint32_t>(fields.size()));
  for (const PacketField& f : fields) {
    w.U8(static_cast<uint8_t>(f.name.size()));
    w.Bytes(f.name.data(), f.name.size());
    w.U16(static_cast<uint16_t>(f.size));
    w.U8(f.fixed_char ? kFixedCharFlag : 0);
  }
}

class Reader {
 public:
  explicit Reader(std::span<const uint8_t> bytes) : p_(bytes.data()), end_(p_ + bytes.size()) {}
  size_t Remaining() const { return static_cast<size_t>(end_ - p_); }
  void Need(size_t n) const {
    if (Remaining() < n) Fail("pacote truncado");
  }
  uint8_t U8() {
    Need(1);
    return *p_++;
  }
  uint16_t U16() {
    Need(2);
    uint16_t v = static_cast<uint16_t>(p_[0] | (p_[1] << 8));
    p_ += 2;
    return v;
  }
  uint32_t U32() {
    Need(4);
    uint32_t v = static_cast<uint32_t>(p_[0]) | (static_cast<uint32_t>(p_[1]) << 8) |
                 (static_cast<uint32_t>(p_[2]) << 16) | (static_cast<uint32_t>(p_[3]) << 24);
    p_ += 4;
    return v;
  }
  std::string_view View(size_t n) {
    Need(n);
    std::string_view s(reinterpret_cast<const char*>(p_), n);
    p_ += n;
    return s;
  }
  std::string Text(size_t n) { return std::string(View(n)); }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};

void WriteValues(Writer& w, const std::vector<FieldValue>* values,
                 const std::vector<PacketField>& fields) {
  if (!values) return;
  for (size_t i = 0; i < values->size(); ++i) {
    const FieldValue& v = (*values)[i];
    if (!v) {
      w.U32(kNullLength);
      continue;
    }
    CheckValue(*v, fields[i]);
    w.U32(static_cast<uint32_t>(v->size()));
    w.Bytes(v->data(), v->size());
  }
}

void ReadValues(Reader& r, std::vector<FieldValue>& values,
                const std::vector<PacketField>& fields) {
  values.resize(fields.size());
  for (size_t i = 0; i < fields.size(); ++i) {
    uint32_t len = r.U32();
    if (len == kNullLength) continue;
    // A UTF-8 character takes at most four bytes.
    if (len > 4u * static_cast<uint32_t>(fields[i].size)) FailTooLong(fields[i]);
    std::string_view text = r.View(len);
    CheckValue(text, fields[i]);
    values[i].emplace(text);
  }
}

}  // namespace

int Packet::FieldIndex(std::string_view name) const {
  for (size_t i = 0; i < fields.size(); ++i)
    if (rtl::SameText(fields[i].name, name)) return static_cast<int>(i);
  return -1;
}

namespace {

// Encodes `count` rows, row_at(i) giving each as a RowView.
template <class RowAt>
std::vector<uint8_t> Encode(PacketKind kind, const std::vector<PacketField>& fields, size_t count,
                            RowAt row_at) {
  if (kind != PacketKind::kData && kind != PacketKind::kDelta) Fail("tipo de pacote desconhecido");
  CheckFields(fields);
  if (count > kMaxPacketRows) Fail("linhas demais");

  // Shapes are checked while sizing, so the writer never runs past its buffer.
  size_t size = kHeaderBytes + 8;
  for (const PacketField& f : fields) size += kMinFieldBytes - 1 + f.name.size();
  for (size_t i = 0; i < count; ++i) {
    detail::RowView row = row_at(i);
    CheckRowShape(row, kind, fields.size());
    size += 1 + EncodedSize(row.values) + EncodedSize(row.old_values);
  }

  Writer w(size);
  WriteHeader(w, kind, fields);
  w.U32(static_cast<uint32_t>(count));
  for (size_t i = 0; i < count; ++i) {
    detail::RowView row = row_at(i);
    w.U8(static_cast<uint8_t>(row.status));
    WriteValues(w, row.values, fields);
    WriteValues(w, row.old_values, fields);
  }
  return w.Take();
}

}  // namespace

namespace detail {

std::vector<uint8_t> EncodeRows(PacketKind kind, const std::vector<PacketField>& fields,
                                std::span<const RowView> rows) {
  return Encode(kind, fields, rows.size(), [rows](size_t i) { return rows[i]; });
}

}  // namespace detail

std::vector<uint8_t> EncodePacket(const Packet& packet) {
  const std::vector<PacketRow>& rows = packet.rows;
  return Encode(packet.kind, packet.fields, rows.size(), [&rows](size_t i) {
    return detail::RowView{rows[i].status, &rows[i].values, &rows[i].old_values};
  });
}

Packet DecodePacket(std::span<const uint8_t> bytes) {
  Reader r(bytes);
  if (bytes.size() < kHeaderBytes) Fail("pacote truncado");
  if (std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) Fail("assinatura desconhecida");
  r.Text(sizeof kMagic);
  uint16_t version = r.U16();
  if (version != kVersion) Fail("versão " + std::to_string(version) + " não suportada");
  uint8_t kind = r.U8();
  if (kind != static_cast<uint8_t>(PacketKind::kData) &&
      kind != static_cast<uint8_t>(PacketKind::kDelta))
    Fail("tipo de pacote desconhecido");
  if (r.U8() != 0) Fail("cabeçalho com bits reservados");

  Packet packet;
  packet.kind = static_cast<PacketKind>(kind);
  uint32_t field_count = r.U32();
  if (field_count > kMaxPacketFields) Fail("campos demais");
  if (field_count > r.Remaining() / kMinFieldBytes) Fail("pacote truncado");
  packet.fields.resize(field_count);
  for (PacketField& f : packet.fields) {
    uint8_t name_len = r.U8();
    f.name = r.Text(name_len);
    f.size = r.U16();
    uint8_t flags = r.U8();
    if ((flags & ~kFixedCharFlag) != 0) Fail("atributos de campo desconhecidos");
    f.fixed_char = (flags & kFixedCharFlag) != 0;
  }
  CheckFields(packet.fields);

  uint32_t row_count = r.U32();
  if (row_count > kMaxPacketRows) Fail("linhas demais");
  // Every row holds its status and at least one value vector.
  size_t min_row = 1 + 4 * static_cast<size_t>(field_count);
  if (row_count > r.Remaining() / min_row) Fail("pacote truncado");
  packet.rows.resize(row_count);
  for (PacketRow& row : packet.rows) {
    uint8_t status = r.U8();
    if (!ValidStatus(status)) Fail("situação de linha inválida");
    row.status = static_cast<RowStatus>(status);
    if (packet.kind == PacketKind::kDelta && row.status == RowStatus::kUnmodified)
      Fail("pacote de alterações com linha sem alteração");
    if (HasValues(row.status)) ReadValues(r, row.values, packet.fields);
    if (HasOldValues(row.status)) ReadValues(r, row.old_values, packet.fields);
  }
  if (r.Remaining() != 0) Fail("bytes a mais depois do fim");
  return packet;
}

DataPacketWriter::DataPacketWriter(const std::vector<PacketField>& fields, size_t expected_bytes)
    : fields_(fields) {
  CheckFields(fields);
  out_.reserve(std::max(expected_bytes, kHeaderBytes + 8 + fields.size() * 16));
  Appender w(out_);
  WriteHeader(w, PacketKind::kData, fields);
  row_count_at_ = out_.size();
  w.U32(0);  // the row count, set by Finish
}

void DataPacketWriter::EndRow() {
  if (rows_ > 0 && next_ != fields_.size())
    Fail("número de valores da linha não confere com os campos");
}

void DataPacketWriter::BeginRow() {
  EndRow();
  if (rows_ == kMaxPacketRows) Fail("linhas demais");
  ++rows_;
  next_ = 0;
  out_.push_back(static_cast<uint8_t>(RowStatus::kUnmodified));
}

void DataPacketWriter::Value(std::string_view text) {
  if (rows_ == 0 || next_ == fields_.size())
    Fail("número de valores da linha não confere com os campos");
  CheckValue(text, fields_[next_++]);
  Appender w(out_);
  w.U32(static_cast<uint32_t>(text.size()));
  w.Bytes(text.data(), text.size());
}

void DataPacketWriter::Null() {
  if (rows_ == 0 || next_ == fields_.size())
    Fail("número de valores da linha não confere com os campos");
  ++next_;
  Appender(out_).U32(kNullLength);
}

std::vector<uint8_t> DataPacketWriter::Finish() {
  EndRow();
  const auto n = static_cast<uint32_t>(rows_);
  for (int i = 0; i < 4; ++i) out_[row_count_at_ + i] = static_cast<uint8_t>(n >> (8 * i));
  return std::move(out_);
}

rtl::Variant PacketToVariant(const Packet& packet) {
  return rtl::Variant::ByteArray(EncodePacket(packet));
}

Packet PacketFromVariant(const rtl::Variant& v) {
  if (!v.IsByteArray()) throw EPacketError("Pacote de dados inválido: o valor não é um pacote");
  return DecodePacket(v.Bytes());
}

}  // namespace db
