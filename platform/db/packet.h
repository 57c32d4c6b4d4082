// Data and change packets: the binary form in which a client dataset's
// content and its pending changes travel to and from the application server.
// The layout is documented in docs/packets.md; client and server share this
// one encoder and decoder.
//
// A data packet holds the field definitions, every row and the pending change
// log (each row with its status and, where it was changed, its values as last
// loaded), so loading a data packet restores pending changes too. A change
// packet (delta) has the same layout, with only the rows that carry a change.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rtl/variant.h"

namespace db {

enum class PacketKind : uint8_t { kData = 1, kDelta = 2 };

// Status of one row in the change log.
enum class RowStatus : uint8_t {
  kUnmodified = 0,  // values as loaded
  kModified = 1,    // values = current, old_values = as loaded
  kInserted = 2,    // values = current, no old values
  kDeleted = 3,     // old_values = as loaded, no current values
};

struct PacketField {
  std::string name;  // unique within the packet, compared without regard to case
  int size = 0;      // maximum length in characters, 1 to 65535
  bool fixed_char = false;
  bool operator==(const PacketField&) const = default;
};

// A field value; nullopt is null.
using FieldValue = std::optional<std::string>;

struct PacketRow {
  RowStatus status = RowStatus::kUnmodified;
  std::vector<FieldValue> values;      // one per field, empty for kDeleted
  std::vector<FieldValue> old_values;  // one per field for kModified and kDeleted, else empty
  bool operator==(const PacketRow&) const = default;
};

struct Packet {
  PacketKind kind = PacketKind::kData;
  std::vector<PacketField> fields;
  std::vector<PacketRow> rows;
  bool operator==(const Packet&) const = default;

  // Index of a field by name (case-insensitive), or -1.
  int FieldIndex(std::string_view name) const;
};

// Limits the decoder enforces; a packet beyond them is refused.
inline constexpr uint32_t kMaxPacketFields = 1024;
inline constexpr uint32_t kMaxPacketRows = 10'000'000;
inline constexpr int kMaxFieldSize = 65535;

// Encodes a packet. Throws EPacketError when the packet breaks its own rules
// (a row with the wrong number of values, a value longer than its field, text
// that is not UTF-8), so a malformed packet is never produced.
std::vector<uint8_t> EncodePacket(const Packet& packet);

// Writes a data packet row by row, straight from values held elsewhere (a
// database's result), with the checks EncodePacket makes; what Finish gives
// is what EncodePacket would of the same packet. Each row takes exactly one
// value (or null) per field.
class DataPacketWriter {
 public:
  // Throws EPacketError when the fields break the packet's rules. `fields`
  // must outlive the writer.
  explicit DataPacketWriter(const std::vector<PacketField>& fields, size_t expected_bytes = 0);
  void BeginRow();
  // The next value of the current row.
  void Value(std::string_view text);
  void Null();
  std::vector<uint8_t> Finish();

 private:
  void EndRow();

  const std::vector<PacketField>& fields_;
  std::vector<uint8_t> out_;
  size_t rows_ = 0;
  size_t next_ = 0;  // the field of the current row's next value
  size_t row_count_at_ = 0;
};

// Decodes a packet, checking every length and count against the buffer.
// Truncated, oversized or inconsistent input throws EPacketError.
Packet DecodePacket(std::span<const uint8_t> bytes);

// The variant form (a byte array) in which packets travel as call arguments
// and results.
rtl::Variant PacketToVariant(const Packet& packet);
// Throws EPacketError when `v` is not a byte array holding a valid packet.
Packet PacketFromVariant(const rtl::Variant& v);

}  // namespace db
