// A prepared demo database on the backend the run selects (test_database.h)
// and sessions of rdmEstrutura on it, with helpers to call methods and read
// their answers.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "appserver/rules/rdm_estrutura.h"
#include "appserver/storage/schema.h"
#include "db/packet.h"
#include "rtl/variant.h"
#include "test_database.h"

namespace appserver::testing {

using Row = std::map<std::string, std::string>;  // field -> value ("" for null)
using rtl::Variant;

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qmx-test-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The error text of an error report, or "" when the value is none.
inline std::string ErrorText(const Variant& v) {
  if (v.IsArray() && !v.IsByteArray() && v.Length() > 0 && v[0].IsString()) return v[0].AsString();
  return {};
}

inline std::vector<Row> Rows(const Variant& packet) {
  db::Packet p = db::PacketFromVariant(packet);
  std::vector<Row> out;
  for (const db::PacketRow& r : p.rows) {
    Row row;
    for (size_t f = 0; f < p.fields.size(); ++f) row[p.fields[f].name] = r.values[f].value_or("");
    out.push_back(std::move(row));
  }
  return out;
}

inline std::vector<std::string> Column(const Variant& packet, const std::string& field) {
  std::vector<std::string> out;
  for (Row& r : Rows(packet)) out.push_back(r[field]);
  return out;
}

inline std::vector<db::PacketField> FieldsOfPacket(const Variant& packet) {
  return db::PacketFromVariant(packet).fields;
}

// Change packets on a dataset's fields; values listed in field order.
class DeltaBuilder {
 public:
  explicit DeltaBuilder(std::vector<db::PacketField> fields) {
    packet_.kind = db::PacketKind::kDelta;
    packet_.fields = std::move(fields);
  }
  DeltaBuilder& Insert(std::vector<std::string> values) {
    packet_.rows.push_back({db::RowStatus::kInserted, Values(values), {}});
    return *this;
  }
  DeltaBuilder& Modify(std::vector<std::string> old_values, std::vector<std::string> values) {
    packet_.rows.push_back({db::RowStatus::kModified, Values(values), Values(old_values)});
    return *this;
  }
  DeltaBuilder& Delete(std::vector<std::string> old_values) {
    packet_.rows.push_back({db::RowStatus::kDeleted, {}, Values(old_values)});
    return *this;
  }
  Variant Build() const { return db::PacketToVariant(packet_); }

 private:
  static std::vector<db::FieldValue> Values(const std::vector<std::string>& v) {
    std::vector<db::FieldValue> out;
    for (const std::string& s : v) out.push_back(s.empty() ? db::FieldValue() : db::FieldValue(s));
    return out;
  }
  db::Packet packet_;
};

// A TABELAS packet as the impact questions answer it, rows of one text each.
inline Variant TablesPacket(std::vector<std::string> rows) {
  std::vector<std::vector<std::string>> r;
  for (auto& s : rows) r.push_back({s});
  return db::PacketToVariant(MakeTextPacket(AffectedFields(), r));
}

inline const Row* Find(const std::vector<Row>& rows, const std::string& field,
                       const std::string& value) {
  for (const Row& r : rows)
    if (r.at(field) == value) return &r;
  return nullptr;
}

// Field `field` of the row whose `key` is `value`, or "<none>".
inline std::string ValueOf(const std::vector<Row>& rows, const std::string& key,
                           const std::string& value, const std::string& field) {
  const Row* r = Find(rows, key, value);
  return r ? r->at(field) : "<none>";
}

class RdmTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QMX_REQUIRE_DATABASE(db_);
    prepared_ = db_.Prepare(DemoSeeding::kIfCreated);
    rdm_ = NewSession();
  }

  std::unique_ptr<RdmEstrutura> NewSession() { return std::make_unique<RdmEstrutura>(db_.Open()); }

  Variant Call(std::string_view method, std::vector<Variant> args = {}) {
    return rdm_->Invoke(method, args);
  }
  // For by-reference arguments: `args` keeps what the server wrote back.
  Variant CallRef(std::string_view method, std::vector<Variant>& args) {
    return rdm_->Invoke(method, args);
  }

  // Facts and dimensions of a fact table, loaded as the screen does.
  std::vector<Row> Facts(const std::string& table) {
    std::vector<Variant> a{table, "", "", "", Variant(), Variant()};
    EXPECT_EQ(ErrorText(CallRef("GetDimeFatos", a)), "");
    return Rows(a[5]);
  }
  std::vector<Row> Dimes(const std::string& table) {
    std::vector<Variant> a{table, "", "", "", Variant(), Variant()};
    CallRef("GetDimeFatos", a);
    return Rows(a[4]);
  }
  std::vector<Row> DrillFacts(const std::string& table) {
    std::vector<Variant> a{table, Variant(), Variant()};
    CallRef("GetDimeFatosDrill", a);
    return Rows(a[1]);
  }
  std::vector<Row> DrillDimes(const std::string& table) {
    std::vector<Variant> a{table, Variant(), Variant()};
    CallRef("GetDimeFatosDrill", a);
    return Rows(a[2]);
  }
  qmxtest::TestDatabase db_;
  PrepareResult prepared_;
  std::unique_ptr<RdmEstrutura> rdm_;
};

// Field lists of the client's datasets.
inline const std::vector<db::PacketField> kFactFields = {
    {"IDFATODW", 1, true},      {"CDTABELADW", 30, false}, {"CDITEMDW", 30, false},
    {"CDAREANEGDW", 5, false},  {"NMITEMDW", 30, false},   {"IDTPFATODW", 1, true},
    {"DSHINTITEM", 200, false}, {"CDTABDRILL", 30, false}};
inline const std::vector<db::PacketField> kDimeFields = {
    {"CDTABELADW", 30, false}, {"CDITEMDIME", 30, false}, {"NRSEQUEDIME", 5, false}};
inline const std::vector<db::PacketField> kTableFields = {
    {"CDTABELADW", 30, false}, {"NMTABELADW", 30, false}, {"IDDRILLDOWN", 1, false}};
// The table lists as the server sends them: the dataset's fields and the
// version of each table.
inline const std::vector<db::PacketField> kTableListFields = {{"CDTABELADW", 30, false},
                                                              {"NMTABELADW", 30, false},
                                                              {"IDDRILLDOWN", 1, false},
                                                              {"NRVERSAO", 20, false}};
inline const std::vector<db::PacketField> kDrillFactFields = {{"CDTABDRILL", 30, false},
                                                              {"CDITEMDRILL", 30, false},
                                                              {"NMITEMDRILL", 30, false},
                                                              {"IDTPFATODRILL", 1, true},
                                                              {"DSHINTDRILL", 200, false}};
inline const std::vector<db::PacketField> kDrillDimeFields = {
    {"CDTABDRILL", 30, false}, {"CDDIMEDRILL", 30, false}, {"NRSEQUEDIME", 5, false}};

}  // namespace appserver::testing
