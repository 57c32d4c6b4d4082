// PacketReceiver: the rows of one read written straight into a data packet,
// laid on a field list by column name as MakePacket lays records (fields the
// entity lacks are null; empty values are null), without records or a
// db::Packet in between.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "appserver/storage/schema.h"
#include "appserver/storage/storage.h"
#include "db/packet.h"
#include "rtl/variant.h"

namespace appserver {

class PacketReceiver final : public RowReceiver {
 public:
  // `fields` must outlive the receiver.
  PacketReceiver(Entity entity, const std::vector<db::PacketField>& fields);
  void Row(std::span<const std::string_view> values) override;
  // The packet as a call's argument or result carries it.
  rtl::Variant Take();

 private:
  std::vector<int> source_;  // per field, the entity's column or -1
  db::DataPacketWriter writer_;
};

}  // namespace appserver
