// The structure tables of the warehouse: which entities the server keeps, their
// columns in order, which columns form the key, and the packet field (name,
// size, fixed flag) of each column.
//
// Column names are the dataset field names, so a stored record and a packet
// row map onto each other column by column. Every value is text; the empty
// text stands for "no value" (a null in a packet).
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "db/packet.h"

namespace appserver {

enum class Entity {
  kTable,      // registered tables: fact tables ("N") and drill tables ("S")
  kFact,       // facts of fact tables
  kDime,       // dimensions of fact tables
  kDrillFact,  // facts of drill tables
  kDrillDime,  // dimensions of drill tables
  kDataMart,   // data marts
  kDimension,  // the dimension catalogue
  kVersion,    // the version of each registered table (table_versions.h)
  kAccount,    // who may log in, and what they may do (appserver/accounts)
};

inline constexpr Entity kAllEntities[] = {Entity::kTable,     Entity::kFact,      Entity::kDime,
                                          Entity::kDrillFact, Entity::kDrillDime, Entity::kDataMart,
                                          Entity::kDimension, Entity::kVersion,   Entity::kAccount};

struct ColumnDef {
  const char* name;
  int size;
  bool fixed_char;
};

struct EntityDef {
  const char* sql_table;               // name of the structure table in the database
  std::span<const ColumnDef> columns;  // in record order
  int key_columns;                     // the first key_columns columns form the key
};

const EntityDef& Describe(Entity entity);

// A stored row: one value per column of its entity, in column order.
using Record = std::vector<std::string>;

// Column positions, named after the dataset fields.
namespace tab {
enum { CDTABELADW, NMTABELADW, IDDRILLDOWN };
}
namespace fato {
enum { CDTABELADW, CDITEMDW, IDFATODW, CDAREANEGDW, NMITEMDW, IDTPFATODW, DSHINTITEM, CDTABDRILL };
}
namespace dime {
enum { CDTABELADW, CDITEMDIME, NRSEQUEDIME };
}
namespace fdrill {
enum { CDTABDRILL, CDITEMDRILL, NMITEMDRILL, IDTPFATODRILL, DSHINTDRILL };
}
namespace ddrill {
enum { CDTABDRILL, CDDIMEDRILL, NRSEQUEDIME };
}
namespace mart {
enum { CDAREANEGDW, NMAREANEGDW };
}
namespace dimension {
enum { NRSEQUEDIME, NMITEMDIME };
}
namespace ver {
enum { CDTABELADW, NRVERSAO };
}
namespace conta {
// ATIVA "S" or "N"; SENHA the password's hash in the library's own encoding.
enum { USUARIO, PAPEL, ATIVA, SENHA };
}  // namespace conta

// Field lists of the packets the server answers, exactly as the client's
// datasets declare them.
const std::vector<db::PacketField>& TablesFields();      // CDTABELADW, NMTABELADW, IDDRILLDOWN
const std::vector<db::PacketField>& FactsFields();       // the facts of a fact table
const std::vector<db::PacketField>& FactCheckFields();   // facts as the duplicate check reads them
const std::vector<db::PacketField>& DimesFields();       // CDTABELADW, CDITEMDIME, NRSEQUEDIME
const std::vector<db::PacketField>& DrillFactsFields();  // the facts of a drill table
const std::vector<db::PacketField>& DrillDimesFields();  // CDTABDRILL, CDDIMEDRILL, NRSEQUEDIME
const std::vector<db::PacketField>& DataMartsFields();   // CDAREANEGDW, NMAREANEGDW
const std::vector<db::PacketField>& DimensionsFields();  // NRSEQUEDIME, NMITEMDIME
const std::vector<db::PacketField>& ColumnListFields();  // CDFIELD
const std::vector<db::PacketField>& TableUsesFields();   // CDTABELADW
const std::vector<db::PacketField>& AffectedFields();    // TABELAS

// The packet field list matching an entity's records.
const std::vector<db::PacketField>& FieldsOf(Entity entity);

// For each of `fields`, the entity's column of the same name, or -1.
std::vector<int> PacketColumns(Entity entity, const std::vector<db::PacketField>& fields);
// Builds a data packet: each record is laid out on `fields` by column name
// (fields the entity lacks stay null; empty values become null).
// Takes the records by value so their texts move into the packet.
db::Packet MakePacket(Entity entity, const std::vector<db::PacketField>& fields,
                      std::vector<Record> records);
// A data packet of rows of plain texts, one value per field.
db::Packet MakeTextPacket(const std::vector<db::PacketField>& fields,
                          const std::vector<std::vector<std::string>>& rows);

}  // namespace appserver
