// Any method of rdmEstrutura, with any number and kind of arguments, on a
// real SQLite session: every call must end in an answer, a refusal or a call
// failure, never in a crash or an escaped fault.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_session.h"

namespace {

struct MethodArgs {
  const char* name;
  int count;
};
constexpr MethodArgs kMethods[] = {
    {"GetInicial", 0},
    {"GetDimeFatos", 6},
    {"SetTabelas", 1},
    {"GetTabelas", 2},
    {"SetFatos", 2},
    {"SetDime", 2},
    {"GetFields", 2},
    {"getVdUpdDimeDW", 2},
    {"setDelManyDrill", 2},
    {"SetTabelaDrill", 1},
    {"GetDimeFatosDrill", 3},
    {"getVdDrill", 4},
    {"getVdDelDrill", 2},
    {"setDelDrillDw", 2},
    {"getVdFatosDrill", 3},
    {"SetFatosDrill", 1},
    {"getVdDimeDrill", 3},
    {"SetDimeDrill", 1},
    {"getinicial", 0},
    {"", 0},
    {"Nada", 1},
};

rtl::Variant Value(FuzzedDataProvider& in, int depth) {
  switch (in.ConsumeIntegralInRange(0, depth > 2 ? 6 : 7)) {
    case 0:
      return rtl::Variant();
    case 1:
      return rtl::Variant::Null();
    case 2:
      return rtl::Variant(in.ConsumeBool());
    case 3:
      return rtl::Variant(in.ConsumeIntegral<int64_t>());
    case 4:
    case 5: {
      std::string text = fuzzing::Text(in);
      if (!rtl::IsValidUtf8(text)) text = "?";
      return rtl::Variant(text);
    }
    case 6: {
      if (in.ConsumeBool()) {
        try {
          return db::PacketToVariant(fuzzing::MakePacket(in));
        } catch (const rtl::Exception&) {
          return rtl::Variant();
        }
      }
      std::string bytes = in.ConsumeRandomLengthString(64);
      return rtl::Variant::ByteArray(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    }
    default: {
      std::vector<rtl::Variant> items;
      const int n = in.ConsumeIntegralInRange(0, 3);
      for (int i = 0; i < n; ++i) items.push_back(Value(in, depth + 1));
      return rtl::Variant::Array(std::move(items));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const MethodArgs& m = kMethods[in.ConsumeIntegralInRange<size_t>(0, std::size(kMethods) - 1)];
  int count = m.count;
  if (in.ConsumeIntegralInRange(0, 9) == 0) count = in.ConsumeIntegralInRange(0, 8);
  std::vector<rtl::Variant> args;
  for (int i = 0; i < count; ++i) args.push_back(Value(in, 0));
  fuzzing::Call(m.name, args);
  return 0;
}
