#include "appserver/storage/schema.h"

#include <iterator>
#include <stdexcept>

#include "rtl/strings.h"

namespace appserver {
namespace {

constexpr ColumnDef kTableColumns[] = {
    {"CDTABELADW", 30, false}, {"NMTABELADW", 30, false}, {"IDDRILLDOWN", 1, false}};
constexpr ColumnDef kFactColumns[] = {{"CDTABELADW", 30, false},  {"CDITEMDW", 30, false},
                                      {"IDFATODW", 1, true},      {"CDAREANEGDW", 5, false},
                                      {"NMITEMDW", 30, false},    {"IDTPFATODW", 1, true},
                                      {"DSHINTITEM", 200, false}, {"CDTABDRILL", 30, false}};
constexpr ColumnDef kDimeColumns[] = {
    {"CDTABELADW", 30, false}, {"CDITEMDIME", 30, false}, {"NRSEQUEDIME", 5, false}};
constexpr ColumnDef kDrillFactColumns[] = {{"CDTABDRILL", 30, false},
                                           {"CDITEMDRILL", 30, false},
                                           {"NMITEMDRILL", 30, false},
                                           {"IDTPFATODRILL", 1, true},
                                           {"DSHINTDRILL", 200, false}};
constexpr ColumnDef kDrillDimeColumns[] = {
    {"CDTABDRILL", 30, false}, {"CDDIMEDRILL", 30, false}, {"NRSEQUEDIME", 5, false}};
constexpr ColumnDef kDataMartColumns[] = {{"CDAREANEGDW", 5, false}, {"NMAREANEGDW", 30, false}};
constexpr ColumnDef kDimensionColumns[] = {{"NRSEQUEDIME", 5, false}, {"NMITEMDIME", 30, false}};
constexpr ColumnDef kVersionColumns[] = {{"CDTABELADW", 30, false}, {"NRVERSAO", 20, false}};
constexpr ColumnDef kAccountColumns[] = {
    {"USUARIO", 64, false}, {"PAPEL", 10, false}, {"ATIVA", 1, true}, {"SENHA", 255, false}};

const EntityDef kEntities[] = {
    {"QMX_TABELA", kTableColumns, 1},
    {"QMX_FATO", kFactColumns, 2},
    {"QMX_DIME", kDimeColumns, 2},
    {"QMX_FATO_DRILL", kDrillFactColumns, 2},
    {"QMX_DIME_DRILL", kDrillDimeColumns, 2},
    {"QMX_AREANEG", kDataMartColumns, 1},
    {"QMX_DIMENSAO", kDimensionColumns, 1},
    {"QMX_TABELA_VERSAO", kVersionColumns, 1},
    {"QMX_CONTA", kAccountColumns, 1},
};

std::vector<db::PacketField> Fields(std::initializer_list<db::PacketField> list) {
  return std::vector<db::PacketField>(list);
}

std::vector<db::PacketField> FieldsFromColumns(Entity entity) {
  std::vector<db::PacketField> out;
  for (const ColumnDef& c : Describe(entity).columns) out.push_back({c.name, c.size, c.fixed_char});
  return out;
}

// Field and column names are ASCII; compared without allocating.
bool SameAsciiName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (rtl::UpCase(a[i]) != rtl::UpCase(b[i])) return false;
  return true;
}

// The fields of an entity whose packet carries its columns, built once.
template <Entity entity>
const std::vector<db::PacketField>& ColumnFields() {
  static const auto f = FieldsFromColumns(entity);
  return f;
}

}  // namespace

const EntityDef& Describe(Entity entity) {
  return kEntities[static_cast<int>(entity)];
}

const std::vector<db::PacketField>& TablesFields() {
  return ColumnFields<Entity::kTable>();
}
const std::vector<db::PacketField>& FactsFields() {
  static const auto f = Fields({{"IDFATODW", 1, true},
                                {"CDTABELADW", 30, false},
                                {"CDITEMDW", 30, false},
                                {"CDAREANEGDW", 5, false},
                                {"NMITEMDW", 30, false},
                                {"IDTPFATODW", 1, true},
                                {"DSHINTITEM", 200, false},
                                {"CDTABDRILL", 30, false}});
  return f;
}
const std::vector<db::PacketField>& FactCheckFields() {
  // The facts' fields less the drill link, the name before the data mart.
  static const auto f = [] {
    std::vector<db::PacketField> out;
    for (const char* name : {"IDFATODW", "CDTABELADW", "CDITEMDW", "NMITEMDW", "CDAREANEGDW",
                             "IDTPFATODW", "DSHINTITEM"})
      for (const db::PacketField& field : FactsFields())
        if (field.name == name) out.push_back(field);
    return out;
  }();
  return f;
}
const std::vector<db::PacketField>& DimesFields() {
  return ColumnFields<Entity::kDime>();
}
const std::vector<db::PacketField>& DrillFactsFields() {
  return ColumnFields<Entity::kDrillFact>();
}
const std::vector<db::PacketField>& DrillDimesFields() {
  return ColumnFields<Entity::kDrillDime>();
}
const std::vector<db::PacketField>& DataMartsFields() {
  return ColumnFields<Entity::kDataMart>();
}
const std::vector<db::PacketField>& DimensionsFields() {
  return ColumnFields<Entity::kDimension>();
}
const std::vector<db::PacketField>& ColumnListFields() {
  static const auto f = Fields({{"CDFIELD", 30, false}});
  return f;
}
const std::vector<db::PacketField>& TableUsesFields() {
  static const auto f = Fields({{"CDTABELADW", 30, false}});
  return f;
}
const std::vector<db::PacketField>& AffectedFields() {
  // A list of codes of any length a packet field can hold (some 2,000 codes
  // of 30 characters); the answer refuses a longer one in plain words.
  static const auto f = Fields({{"TABELAS", db::kMaxFieldSize, false}});
  return f;
}

// The rows of the table versions and of the accounts, as stored; no client
// reads them.
const std::vector<db::PacketField>& VersionsFields() {
  static const auto f = FieldsFromColumns(Entity::kVersion);
  return f;
}
const std::vector<db::PacketField>& AccountsFields() {
  static const auto f = FieldsFromColumns(Entity::kAccount);
  return f;
}

const std::vector<db::PacketField>& FieldsOf(Entity entity) {
  using FieldList = const std::vector<db::PacketField>& (*)();
  // In the order of Entity.
  static constexpr FieldList kLists[] = {TablesFields,     FactsFields,      DimesFields,
                                         DrillFactsFields, DrillDimesFields, DataMartsFields,
                                         DimensionsFields, VersionsFields,   AccountsFields};
  static_assert(std::size(kLists) == std::size(kAllEntities));
  return kLists[static_cast<size_t>(entity)]();
}

std::vector<int> PacketColumns(Entity entity, const std::vector<db::PacketField>& fields) {
  const EntityDef& def = Describe(entity);
  std::vector<int> source(fields.size(), -1);
  for (size_t f = 0; f < fields.size(); ++f)
    for (size_t c = 0; c < def.columns.size(); ++c)
      if (SameAsciiName(fields[f].name, def.columns[c].name)) source[f] = static_cast<int>(c);
  return source;
}

db::Packet MakePacket(Entity entity, const std::vector<db::PacketField>& fields,
                      std::vector<Record> records) {
  const std::vector<int> source = PacketColumns(entity, fields);
  db::Packet packet;
  packet.fields = fields;
  packet.rows.reserve(records.size());
  for (Record& r : records) {
    db::PacketRow row;
    row.values.reserve(fields.size());
    for (int c : source) {
      if (c < 0 || r[c].empty())
        row.values.push_back(std::nullopt);
      else
        row.values.push_back(std::move(r[c]));
    }
    packet.rows.push_back(std::move(row));
  }
  return packet;
}

db::Packet MakeTextPacket(const std::vector<db::PacketField>& fields,
                          const std::vector<std::vector<std::string>>& rows) {
  db::Packet packet;
  packet.fields = fields;
  for (const auto& values : rows) {
    db::PacketRow row;
    for (const std::string& v : values)
      row.values.push_back(v.empty() ? db::FieldValue() : db::FieldValue(v));
    packet.rows.push_back(std::move(row));
  }
  return packet;
}

}  // namespace appserver
