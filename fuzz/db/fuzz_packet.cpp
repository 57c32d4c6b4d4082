// Feeds arbitrary bytes to the packet decoder and, when they decode, checks
// that the packet re-encodes to the same bytes and loads into a dataset.
#include <cstdint>
#include <cstdlib>

#include "db/client_dataset.h"
#include "db/errors.h"
#include "db/packet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  db::Packet packet;
  try {
    packet = db::DecodePacket(std::span(data, size));
  } catch (const db::EPacketError&) {
    return 0;
  }
  std::vector<uint8_t> again = db::EncodePacket(packet);
  if (again.size() != size || !std::equal(again.begin(), again.end(), data)) std::abort();
  db::TClientDataSet ds(nullptr);
  ds.SetData(db::PacketToVariant(packet));
  if (db::DecodePacket(ds.Data().Bytes()).rows.size() != packet.rows.size()) std::abort();
  ds.CancelUpdates();
  ds.MergeChangeLog();
  return 0;
}
