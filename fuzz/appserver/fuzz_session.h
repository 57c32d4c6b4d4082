// What the application-server fuzz targets share: one demo database prepared
// once per process, sessions of rdmEstrutura on it whose commits are rolled
// back (every input meets the same data, so a crash replays), and values
// drawn from the fuzzer's bytes with a bias towards codes the database holds.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "appserver/rules/rdm_estrutura.h"
#include "appserver/storage/schema.h"
#include "appserver/storage/sqlite/sqlite_storage.h"
#include "db/packet.h"
#include "rtl/exceptions.h"
#include "rtl/strings.h"

namespace fuzzing {

// Forwards everything to a real session but turns Commit into Rollback.
class RollbackStorage final : public appserver::Storage {
 public:
  explicit RollbackStorage(std::unique_ptr<appserver::Storage> s) : s_(std::move(s)) {}
  void Begin(appserver::TransactionKind kind) override { s_->Begin(kind); }
  void Commit() override { s_->Rollback(); }
  void Rollback() override { s_->Rollback(); }
  std::vector<appserver::Record> Select(appserver::Entity e,
                                        std::span<const appserver::Match> where) override {
    return s_->Select(e, where);
  }
  void Insert(appserver::Entity e, const appserver::Record& r) override { s_->Insert(e, r); }
  bool Update(appserver::Entity e, const appserver::Record& before,
              const appserver::Record& after) override {
    return s_->Update(e, before, after);
  }
  bool Delete(appserver::Entity e, const appserver::Record& before) override {
    return s_->Delete(e, before);
  }
  int Assign(appserver::Entity e, std::span<const appserver::Match> where,
             const appserver::Match& set) override {
    return s_->Assign(e, where, set);
  }
  int Remove(appserver::Entity e, std::span<const appserver::Match> where) override {
    return s_->Remove(e, where);
  }
  std::vector<std::string> WarehouseTables() override { return s_->WarehouseTables(); }
  std::vector<appserver::WarehouseColumn> WarehouseColumns(std::string_view t) override {
    return s_->WarehouseColumns(t);
  }
  std::optional<std::string> FindWarehouseTable(std::string_view code) override {
    return s_->FindWarehouseTable(code);
  }
  long long DuplicateKeys(std::string_view t, const std::vector<std::string>& c) override {
    return s_->DuplicateKeys(t, c);
  }
  void AppendHistory(const appserver::HistoryEntry& e) override { s_->AppendHistory(e); }
  std::vector<appserver::HistoryEntry> ReadHistory(const appserver::HistoryFilter& f) override {
    return s_->ReadHistory(f);
  }

 private:
  std::unique_ptr<appserver::Storage> s_;
};

// One session for the whole run, on a demo database in a fresh folder.
inline appserver::RdmEstrutura& Session() {
  static appserver::RdmEstrutura* session = [] {
    char dir[] = "/tmp/qmx-fuzz-XXXXXX";
    if (!mkdtemp(dir)) std::abort();
    const std::string path = std::string(dir) + "/qmx.db";
    appserver::PrepareSqliteDatabase(path, appserver::DemoSeeding::kRequested);
    return new appserver::RdmEstrutura(
        std::make_unique<RollbackStorage>(appserver::OpenSqliteStorage(path, 1000)));
  }();
  return *session;
}

// Codes, columns, numbers and names the demo database holds, and a few that
// it does not, so that rules get past their first checks.
inline const std::vector<std::string>& Words() {
  static const std::vector<std::string> words = {"",
                                                 " ",
                                                 "FATO_VENDAS",
                                                 "fato_vendas",
                                                 "FATO_ESTOQUE",
                                                 "FATO_FINANCEIRO",
                                                 "FATO_COMPRAS",
                                                 "DRILL_VENDAS_DIA",
                                                 "DRILL_ESTOQUE_LOTE",
                                                 "DRILL_COMPRAS",
                                                 "VL_VENDA",
                                                 "QT_VENDIDA",
                                                 "VL_DESCONTO",
                                                 "PC_MARGEM",
                                                 "CD_CLIENTE",
                                                 "CD_PRODUTO",
                                                 "CD_MES",
                                                 "CD_REGIAO",
                                                 "DT_VENDA",
                                                 "IM_NOTA",
                                                 "QT_ESTOQUE",
                                                 "VL_CUSTO",
                                                 "NR_NOTA",
                                                 "1",
                                                 "2",
                                                 "3",
                                                 "4",
                                                 "00001",
                                                 "00002",
                                                 "00003",
                                                 "00009",
                                                 "99999",
                                                 "S",
                                                 "N",
                                                 "M",
                                                 "P",
                                                 "Q",
                                                 "I",
                                                 "F",
                                                 "D",
                                                 "VD_FATO",
                                                 "VD_DIME",
                                                 "$$FATO_VENDAS",
                                                 "$$",
                                                 "CDITEMDRILL",
                                                 "NMITEMDRILL",
                                                 "IDTPFATODRILL",
                                                 "CDDIMEDRILL",
                                                 "NRSEQUEDIME",
                                                 "Valor vendido",
                                                 "VALOR VENDIDO",
                                                 "Ação",
                                                 "AÇÃO",
                                                 "QMX_FATO",
                                                 "sqlite_schema",
                                                 "X'; DROP TABLE QMX_FATO; --",
                                                 "FATO_VENDAS, DRILL_VENDAS_DIA",
                                                 "A.B.C"};
  return words;
}

inline std::string Text(FuzzedDataProvider& in) {
  if (in.ConsumeBool()) return Words()[in.ConsumeIntegralInRange<size_t>(0, Words().size() - 1)];
  return in.ConsumeRandomLengthString(48);
}

// The field lists clients send, and odd ones.
inline const std::vector<std::vector<db::PacketField>>& FieldLists() {
  static const std::vector<std::vector<db::PacketField>> lists = {
      appserver::TablesFields(),
      appserver::FactsFields(),
      appserver::DimesFields(),
      appserver::DrillFactsFields(),
      appserver::DrillDimesFields(),
      appserver::AffectedFields(),
      {{"CDITEMDW", 30, false}, {"NMITEMDW", 30, false}},
      {{"OUTRO", 10, false}},
  };
  return lists;
}

// A packet that decodes: fields from one of the lists (perhaps cut short or
// reordered), rows of any status with values of at most the field's size.
inline db::Packet MakePacket(FuzzedDataProvider& in) {
  db::Packet p;
  p.kind = in.ConsumeBool() ? db::PacketKind::kDelta : db::PacketKind::kData;
  p.fields = FieldLists()[in.ConsumeIntegralInRange<size_t>(0, FieldLists().size() - 1)];
  if (in.ConsumeBool() && p.fields.size() > 1)
    p.fields.resize(in.ConsumeIntegralInRange<size_t>(1, p.fields.size()));
  if (in.ConsumeBool() && p.fields.size() > 1)
    std::swap(p.fields.front(),
              p.fields[in.ConsumeIntegralInRange<size_t>(1, p.fields.size() - 1)]);
  auto values = [&] {
    std::vector<db::FieldValue> v;
    for (const db::PacketField& f : p.fields) {
      if (in.ConsumeIntegralInRange(0, 7) == 0) {
        v.emplace_back();
        continue;
      }
      std::string text = Text(in);
      // Within the field's size in characters (a byte count bounds it).
      if (text.size() > static_cast<size_t>(f.size)) text.resize(f.size);
      if (!rtl::IsValidUtf8(text) || text.empty()) text = f.name.substr(0, 1);
      v.emplace_back(std::move(text));
    }
    return v;
  };
  const int rows = in.ConsumeIntegralInRange(0, 6);
  for (int i = 0; i < rows; ++i) {
    auto status = static_cast<db::RowStatus>(in.ConsumeIntegralInRange(0, 3));
    if (p.kind == db::PacketKind::kDelta && status == db::RowStatus::kUnmodified)
      status = db::RowStatus::kInserted;
    db::PacketRow row{status, {}, {}};
    if (status != db::RowStatus::kDeleted) row.values = values();
    if (status == db::RowStatus::kModified || status == db::RowStatus::kDeleted)
      row.old_values = values();
    p.rows.push_back(std::move(row));
  }
  return p;
}

// Calls the session; a call failure or a refused call is an answer, anything
// else that escapes (a logic error, an unknown exception) is a fault.
inline void Call(std::string_view method, std::vector<rtl::Variant>& args) {
  try {
    Session().Invoke(method, args);
  } catch (const rtl::Exception&) {
  }
}

}  // namespace fuzzing
