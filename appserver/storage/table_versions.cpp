#include "appserver/storage/table_versions.h"

#include <charconv>
#include <unordered_map>

namespace appserver {
namespace {

long long ParseVersion(const std::string& text) {
  long long v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  return ec == std::errc() && end == text.data() + text.size() && v >= 0 ? v : 0;
}

std::vector<Record> VersionRows(Storage& storage, const std::string& code) {
  const Match where[] = {{ver::CDTABELADW, code}};
  return storage.Select(Entity::kVersion, where);
}

}  // namespace

std::string TableVersion(Storage& storage, const std::string& code) {
  return TableVersionOf(VersionRows(storage, code));
}

Read TableVersionRead(const std::string& code) {
  return {Entity::kVersion, {{ver::CDTABELADW, code}}};
}

std::string TableVersionOf(const std::vector<Record>& rows) {
  return rows.empty() ? "0" : std::to_string(ParseVersion(rows.front()[ver::NRVERSAO]));
}

std::set<std::string> VersionOwners(Entity entity, const Record* before, const Record* after) {
  std::set<std::string> owners;
  auto owner_of = [&](const Record* r) {
    if (r && !(*r)[0].empty()) owners.insert((*r)[0]);
  };
  switch (entity) {
    case Entity::kTable:
    case Entity::kFact:
    case Entity::kDime:
    case Entity::kDrillFact:
    case Entity::kDrillDime:
      owner_of(before);
      owner_of(after);
      break;
    case Entity::kDataMart:
    case Entity::kDimension:
    case Entity::kVersion:
    case Entity::kAccount:
      return owners;
  }
  if (entity == Entity::kFact) {
    const std::string was = before ? (*before)[fato::CDTABDRILL] : "";
    const std::string now = after ? (*after)[fato::CDTABDRILL] : "";
    if (was != now) {
      if (!was.empty()) owners.insert(was);
      if (!now.empty()) owners.insert(now);
    }
  }
  return owners;
}

long long AdvanceTableVersion(Storage& storage, const std::string& code) {
  auto rows = VersionRows(storage, code);
  if (rows.empty()) {
    storage.Insert(Entity::kVersion, {code, "1"});
    return 0;
  }
  const long long was = ParseVersion(rows.front()[ver::NRVERSAO]);
  const Match where[] = {{ver::CDTABELADW, code}};
  storage.Assign(Entity::kVersion, where, {ver::NRVERSAO, std::to_string(was + 1)});
  return was;
}

std::optional<std::string> PacketVersion(const db::Packet& packet, const db::PacketRow& row) {
  const int field = packet.FieldIndex(kVersionField);
  if (field < 0) return std::nullopt;
  const bool changed =
      row.status == db::RowStatus::kModified || row.status == db::RowStatus::kDeleted;
  const auto& values = changed ? row.old_values : row.values;
  if (static_cast<size_t>(field) >= values.size() || !values[field]) return std::nullopt;
  return *values[field];
}

std::optional<std::string> PacketVersion(const db::Packet& packet) {
  for (const db::PacketRow& row : packet.rows)
    if (auto v = PacketVersion(packet, row)) return v;
  return std::nullopt;
}

void SeenVersions::Advanced(const std::string& code, long long from) {
  auto it = seen_.find(code);
  if (it != seen_.end() && it->second == std::to_string(from))
    it->second = std::to_string(from + 1);
}

bool SeenVersions::Accept(const std::string& code, const std::string& client_version,
                          const std::string& stored) {
  auto it = seen_.find(code);
  const bool fresh = client_version == stored || (it != seen_.end() && it->second == stored);
  if (fresh) seen_[code] = stored;
  return fresh;
}

void AddTableVersions(Storage& storage, db::Packet& packet) {
  const int code_field = packet.FieldIndex("CDTABELADW");
  if (code_field < 0) return;
  std::unordered_map<std::string, std::string> versions;
  if (packet.rows.size() == 1) {
    if (const auto& code = packet.rows.front().values[code_field])
      versions[*code] = TableVersion(storage, *code);
  } else if (!packet.rows.empty()) {
    for (Record& r : storage.Select(Entity::kVersion))
      versions[r[ver::CDTABELADW]] = std::to_string(ParseVersion(r[ver::NRVERSAO]));
  }
  packet.fields.push_back({kVersionField, kVersionSize, false});
  for (db::PacketRow& row : packet.rows) {
    const auto& code = row.values[code_field];
    auto it = code ? versions.find(*code) : versions.end();
    row.values.push_back(it == versions.end() ? std::string("0") : it->second);
  }
}

void AddTableVersion(db::Packet& packet, const std::string& version) {
  packet.fields.push_back({kVersionField, kVersionSize, false});
  for (db::PacketRow& row : packet.rows) row.values.push_back(version);
}

}  // namespace appserver
