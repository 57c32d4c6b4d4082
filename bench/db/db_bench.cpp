// Packet codec against a bare length-prefixed codec of the same strings, and
// the filter/read/clear cycle the dimension grid runs for every cell it paints.
#include <benchmark/benchmark.h>

#include <cstring>

#include "db/client_dataset.h"
#include "db/packet.h"

namespace {

constexpr int kPacketRows = 1000;
constexpr int kPacketFields = 8;

std::string Value(int row, int field) {
  std::string v = "VALOR" + std::to_string(row) + "_" + std::to_string(field);
  if (field % 3 == 0) v += " ação";
  v.resize(std::min<size_t>(v.size() + static_cast<size_t>(row % 13), 30), 'x');
  return v;
}

db::Packet MakePacket() {
  db::Packet p;
  for (int f = 0; f < kPacketFields; ++f)
    p.fields.push_back({"CAMPO" + std::to_string(f), 30, false});
  for (int r = 0; r < kPacketRows; ++r) {
    db::PacketRow row;
    for (int f = 0; f < kPacketFields; ++f) row.values.push_back(Value(r, f));
    p.rows.push_back(std::move(row));
  }
  return p;
}

// Baseline: each string as u32 length + bytes, decoded back into strings,
// with no validation at all.
void BM_BareLengthPrefixed(benchmark::State& state) {
  db::Packet p = MakePacket();
  for (auto _ : state) {
    std::vector<uint8_t> out;
    for (const auto& row : p.rows)
      for (const auto& v : row.values) {
        uint32_t n = static_cast<uint32_t>(v->size());
        uint8_t len[4] = {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8),
                          static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 24)};
        out.insert(out.end(), len, len + 4);
        out.insert(out.end(), v->begin(), v->end());
      }
    std::vector<std::vector<std::optional<std::string>>> rows(kPacketRows);
    size_t pos = 0;
    for (auto& row : rows) {
      row.resize(kPacketFields);
      for (auto& v : row) {
        uint32_t n = static_cast<uint32_t>(out[pos]) | (static_cast<uint32_t>(out[pos + 1]) << 8) |
                     (static_cast<uint32_t>(out[pos + 2]) << 16) |
                     (static_cast<uint32_t>(out[pos + 3]) << 24);
        pos += 4;
        v.emplace(reinterpret_cast<const char*>(out.data() + pos), n);
        pos += n;
      }
    }
    benchmark::DoNotOptimize(rows);
  }
}
BENCHMARK(BM_BareLengthPrefixed);

void BM_PacketEncodeDecode(benchmark::State& state) {
  db::Packet p = MakePacket();
  for (auto _ : state) {
    std::vector<uint8_t> bytes = db::EncodePacket(p);
    db::Packet back = db::DecodePacket(bytes);
    benchmark::DoNotOptimize(back);
  }
}
BENCHMARK(BM_PacketEncodeDecode);

// Data() then SetData() of a dataset holding the same 1,000 x 8 rows.
void BM_DataSetDataRoundTrip(benchmark::State& state) {
  db::TClientDataSet a(nullptr), b(nullptr);
  a.SetData(db::PacketToVariant(MakePacket()));
  for (auto _ : state) {
    b.SetData(a.Data());
    benchmark::DoNotOptimize(b.RecordCount());
  }
}
BENCHMARK(BM_DataSetDataRoundTrip);

std::string Code(int i) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%05d", i);
  return buf;
}

// The dimension catalogue: NRSEQUEDIME 5, NMITEMDIME 30.
std::unique_ptr<db::TClientDataSet> Catalogue(int rows) {
  db::Packet p;
  p.fields = {{"NRSEQUEDIME", 5, false}, {"NMITEMDIME", 30, false}};
  for (int i = 0; i < rows; ++i)
    p.rows.push_back({db::RowStatus::kUnmodified, {Code(i), "Dimensão " + std::to_string(i)}, {}});
  auto ds = std::make_unique<db::TClientDataSet>(nullptr);
  ds->AddStringField("NRSEQUEDIME", 5, "Código");
  ds->AddStringField("NMITEMDIME", 30, "Nome");
  ds->SetData(db::PacketToVariant(p));
  return ds;
}

// Set the filter, read the name, clear the filter: what painting one cell of
// the dimension grid costs.
void BM_FilterReadClear(benchmark::State& state) {
  int rows = static_cast<int>(state.range(0));
  auto ds = Catalogue(rows);
  db::TField* name = ds->FieldByName("NMITEMDIME");
  std::vector<std::string> filters;
  for (int i = 0; i < 64; ++i) filters.push_back("NRSEQUEDIME = '" + Code((i * 7919) % rows) + "'");
  size_t k = 0;
  for (auto _ : state) {
    ds->SetFilter(filters[k++ & 63]);
    ds->SetFiltered(true);
    benchmark::DoNotOptimize(name->AsString());
    ds->SetFiltered(false);
  }
}
BENCHMARK(BM_FilterReadClear)->Arg(1000)->Arg(10000)->Arg(100000);

// Reference for the cycle above: the same answer found by scanning the rows.
void BM_ScanForComparison(benchmark::State& state) {
  int rows = static_cast<int>(state.range(0));
  auto ds = Catalogue(rows);
  db::TField* code = ds->FieldByName("NRSEQUEDIME");
  std::string want = Code(rows / 2);
  for (auto _ : state) {
    int hit = 0;
    for (int r = 1; r <= rows && !hit; ++r) {
      db::TClientDataSet::ActiveRecordScope scope(*ds, r);
      if (code->AsString() == want) hit = r;
    }
    benchmark::DoNotOptimize(hit);
  }
}
BENCHMARK(BM_ScanForComparison)->Arg(10000);

void BM_LocateCaseInsensitive(benchmark::State& state) {
  int rows = static_cast<int>(state.range(0));
  auto ds = Catalogue(rows);
  std::vector<std::string> names;
  for (int i = 0; i < 64; ++i) names.push_back("DIMENSÃO " + std::to_string((i * 7919) % rows));
  size_t k = 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(
        ds->Locate("NMITEMDIME", rtl::Variant(names[k++ & 63]), db::loCaseInsensitive));
}
BENCHMARK(BM_LocateCaseInsensitive)->Arg(1000)->Arg(10000)->Arg(100000);

}  // namespace

BENCHMARK_MAIN();
