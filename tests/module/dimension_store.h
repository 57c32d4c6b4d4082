// DimensionStore: what the server holds of the structure, read and arranged
// through the open screen's own connection (its remote calls), so a test can
// prepare drill links and check what was stored without the screen's lists.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "db/packet.h"
#include "screen/estrutura.h"

namespace qmxtest {

class DimensionStore {
 public:
  using Row = std::map<std::string, std::string>;  // field -> value

  explicit DimensionStore(qmx00600::TfrmEstrutura& screen) : s_(screen) {}

  static std::vector<Row> Rows(const rtl::Variant& packet) {
    std::vector<Row> out;
    if (!packet.IsByteArray()) return out;
    const db::Packet p = db::PacketFromVariant(packet);
    for (const db::PacketRow& r : p.rows) {
      if (r.status == db::RowStatus::kDeleted) continue;
      Row row;
      for (size_t i = 0; i < p.fields.size(); ++i) row[p.fields[i].name] = r.values[i].value_or("");
      out.push_back(std::move(row));
    }
    return out;
  }

  std::vector<Row> Facts(const std::string& table) { return Rows(Load(table).second); }
  // Column -> number of the stored dimensions of fact table `table`.
  std::map<std::string, std::string> Dimensions(const std::string& table) {
    std::map<std::string, std::string> out;
    for (Row& r : Rows(Load(table).first)) out[r["CDITEMDIME"]] = r["NRSEQUEDIME"];
    return out;
  }
  // The drill tables the facts of `table` drill into.
  std::set<std::string> DrillTargets(const std::string& table) {
    std::set<std::string> out;
    for (Row& r : Facts(table))
      if (!r["CDTABDRILL"].empty()) out.insert(r["CDTABDRILL"]);
    return out;
  }
  std::set<std::string> DrillNumbers(const std::string& drill) {
    rtl::Variant facts, dimensions;
    s_.Server().GetDimeFatosDrill(drill, facts, dimensions);
    std::set<std::string> out;
    for (Row& r : Rows(dimensions)) out.insert(r["NRSEQUEDIME"]);
    return out;
  }
  std::vector<std::string> FactTables() {
    std::vector<std::string> out;
    for (Row& r : Rows(s_.Server().GetTabelasAll(false))) out.push_back(r["CDTABELADW"]);
    return out;
  }

  std::set<std::string> DrillTables() {
    std::set<std::string> out;
    for (Row& r : Rows(s_.Server().GetTabelasAll(true))) out.insert(r["CDTABELADW"]);
    return out;
  }

  void AddDrillDimension(const std::string& drill, const std::string& column,
                         const std::string& number) {
    db::Packet delta;
    delta.kind = db::PacketKind::kDelta;
    delta.fields = {
        {"CDTABDRILL", 30, false}, {"CDDIMEDRILL", 30, false}, {"NRSEQUEDIME", 5, false}};
    delta.rows.push_back({db::RowStatus::kInserted, {drill, column, number}, {}});
    s_.Server().Call("SetDimeDrill", {db::PacketToVariant(delta)});
  }
  // Fact `column` of `table` drills into `drill` from now on; false when no
  // such fact is stored (another desk may have deleted it).
  [[nodiscard]] bool LinkFact(const std::string& table, const std::string& column,
                              const std::string& drill) {
    db::Packet facts = db::PacketFromVariant(Load(table).second);
    const int item = facts.FieldIndex("CDITEMDW");
    const int link = facts.FieldIndex("CDTABDRILL");
    for (db::PacketRow& r : facts.rows) {
      if (r.values[static_cast<size_t>(item)] != column) continue;
      db::Packet delta;
      delta.kind = db::PacketKind::kDelta;
      delta.fields = facts.fields;
      db::PacketRow changed{db::RowStatus::kModified, r.values, r.values};
      changed.values[static_cast<size_t>(link)] = drill;
      delta.rows.push_back(std::move(changed));
      s_.Server().Call("SetFatos", {db::PacketToVariant(delta), table});
      return true;
    }
    return false;
  }

 private:
  // (dimensions, facts) packets of fact table `table`.
  std::pair<rtl::Variant, rtl::Variant> Load(const std::string& table) {
    rtl::Variant dimensions, facts;
    s_.Server().GetDimeFatos(table, dimensions, facts);
    return {dimensions, facts};
  }

  qmx00600::TfrmEstrutura& s_;
};

}  // namespace qmxtest
