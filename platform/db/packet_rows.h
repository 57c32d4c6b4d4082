// Internal to the dataset layer: encoding a packet straight from rows held
// elsewhere, so a dataset's Data() and Delta() need not copy every value into
// a Packet first.
#pragma once

#include <span>
#include <vector>

#include "db/packet.h"

namespace db::detail {

// One row to encode; a null vector pointer stands for an empty vector.
struct RowView {
  RowStatus status = RowStatus::kUnmodified;
  const std::vector<FieldValue>* values = nullptr;
  const std::vector<FieldValue>* old_values = nullptr;
};

// As EncodePacket, with the same checks.
std::vector<uint8_t> EncodeRows(PacketKind kind, const std::vector<PacketField>& fields,
                                std::span<const RowView> rows);

}  // namespace db::detail
