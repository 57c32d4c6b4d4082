#include "appserver/storage/packet_receiver.h"

namespace appserver {

PacketReceiver::PacketReceiver(Entity entity, const std::vector<db::PacketField>& fields)
    : source_(PacketColumns(entity, fields)), writer_(fields) {}

void PacketReceiver::Row(std::span<const std::string_view> values) {
  writer_.BeginRow();
  for (int c : source_) {
    if (c < 0 || values[static_cast<size_t>(c)].empty())
      writer_.Null();
    else
      writer_.Value(values[static_cast<size_t>(c)]);
  }
}

rtl::Variant PacketReceiver::Take() {
  return rtl::Variant::ByteArray(writer_.Finish());
}

}  // namespace appserver
