// Change packets applied by every saving method of rdmEstrutura: packets that
// decode, with the fields of any dataset (or a part of them), rows of any
// status and values drawn towards what the database holds. Every packet must
// be applied whole or refused, never crash.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_session.h"

namespace {

struct Saver {
  const char* name;
  bool with_table;  // a second argument: the table code (or the key text)
};
constexpr Saver kSavers[] = {
    {"SetTabelas", false},     {"SetTabelaDrill", false}, {"SetFatos", true},
    {"SetDime", true},         {"SetFatosDrill", false},  {"SetDimeDrill", false},
    {"setDelManyDrill", true}, {"setDelDrillDw", true},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const Saver& s = kSavers[in.ConsumeIntegralInRange<size_t>(0, std::size(kSavers) - 1)];
  rtl::Variant packet;
  try {
    packet = db::PacketToVariant(fuzzing::MakePacket(in));
  } catch (const rtl::Exception&) {
    return 0;  // a packet the encoder refuses is no packet a client can send
  }
  std::vector<rtl::Variant> args{packet};
  if (s.with_table) {
    std::string table = fuzzing::Text(in);
    args.push_back(rtl::IsValidUtf8(table) ? rtl::Variant(table) : rtl::Variant());
  }
  fuzzing::Call(s.name, args);
  return 0;
}
