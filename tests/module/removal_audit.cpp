#include "removal_audit.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "appserver/storage/table_versions.h"
#include "db/packet.h"
#include "rtl/strings.h"

namespace qmxtest {
namespace {

using appserver::Entity;
using appserver::HistoryEntry;
using appserver::Record;
using Item = RemovalAudit::Item;

constexpr Entity kOwnedEntities[] = {Entity::kTable, Entity::kFact, Entity::kDime,
                                     Entity::kDrillFact, Entity::kDrillDime};

// The items a stored row stands for: itself under its owner and, for a fact
// that drills, its link under the drill table.
std::vector<Item> ItemsOf(Entity entity, const Record& r) {
  const std::string row = appserver::EncodeRecord(r);
  switch (entity) {
    case Entity::kTable:
      return {{r[0], "table", row}};
    case Entity::kFact: {
      std::vector<Item> items{{r[0], "fact " + r[1], row}};
      if (const std::string& drill = r[appserver::fato::CDTABDRILL]; !drill.empty())
        items.push_back({drill, "link " + r[0] + "." + r[1], ""});
      return items;
    }
    case Entity::kDime:
      return {{r[0], "dimension " + r[1], row}};
    case Entity::kDrillFact:
      return {{r[0], "drill fact " + r[1], row}};
    case Entity::kDrillDime:
      return {{r[0], "drill dimension " + r[1], row}};
    default:
      return {};
  }
}

std::vector<Item> ItemsOf(Entity entity, const std::optional<Record>& r) {
  return r ? ItemsOf(entity, *r) : std::vector<Item>{};
}

void Apply(RemovalAudit::Items& items, const HistoryEntry& e) {
  for (const Item& i : ItemsOf(e.entity, e.before)) items[i.owner].erase(i.key);
  for (const Item& i : ItemsOf(e.entity, e.after)) items[i.owner][i.key] = i.value;
}

std::string Code(const rtl::Variant& v) {
  return v.IsString() ? rtl::UpperCase(rtl::Trim(v.AsString())) : std::string();
}

bool IsErrorReport(const rtl::Variant& answer) {
  return answer.IsArray() && !answer.IsByteArray() && answer.Length() > 0 && answer[0].IsString();
}

// The tables a listing packet (with versions) names.
void ListedTables(const rtl::Variant& packet, std::vector<std::string>& out) {
  if (!packet.IsByteArray()) return;
  const db::Packet p = db::PacketFromVariant(packet);
  const int code = p.FieldIndex("CDTABELADW");
  if (code < 0 || p.FieldIndex(appserver::kVersionField) < 0) return;
  for (const db::PacketRow& row : p.rows)
    if (const auto& c = row.values[static_cast<size_t>(code)]) out.push_back(*c);
}

// Whether a question's answer carried the version of its subject.
bool CarriesVersion(const rtl::Variant& answer) {
  if (!answer.IsByteArray()) return false;
  const db::Packet p = db::PacketFromVariant(answer);
  const int field = p.FieldIndex(appserver::kVersionField);
  return field >= 0 && std::any_of(p.rows.begin(), p.rows.end(), [&](const db::PacketRow& r) {
           const auto& v = r.values[static_cast<size_t>(field)];
           return v && !v->empty();
         });
}

// The tables whose version or items the answer of a call gave its client.
std::vector<std::string> TablesRead(std::string_view method, const std::vector<rtl::Variant>& args,
                                    const rtl::Variant& answer) {
  std::vector<std::string> out;
  if (IsErrorReport(answer)) return out;
  if (method == "GetInicial" && answer.IsArray() && answer.Length() == 4) {
    ListedTables(answer[0], out);
    ListedTables(answer[3], out);
  } else if (method == "GetTabelas" || method == "SetTabelas" || method == "SetTabelaDrill") {
    ListedTables(answer, out);
  } else if (method == "GetDimeFatos" && args.size() == 6 && Code(args[3]).empty()) {
    out.push_back(Code(args[0]));
  } else if (method == "GetDimeFatosDrill" && !args.empty()) {
    out.push_back(Code(args[0]));
  } else if ((method == "getVdUpdDimeDW" || method == "getVdDimeDrill" ||
              (method == "getVdDelDrill" && args.size() >= 2 && args[1].AsBoolean())) &&
             CarriesVersion(answer)) {
    out.push_back(Code(args[0]));
  } else if (method == "getVdDrill" && args.size() == 4 && CarriesVersion(answer)) {
    out.push_back(Code(args[0]).empty() ? Code(args[1]) : Code(args[0]));
  }
  return out;
}

std::string Origin(const appserver::ChangeOrigin& o) {
  return "[" + o.peer_address + "|" + o.user_name + "]";
}

}  // namespace

// A session whose calls the audit sees.
class RemovalAudit::Session : public net::IRemoteObject {
 public:
  Session(RemovalAudit& audit, std::string desk, std::unique_ptr<net::IRemoteObject> inner)
      : audit_(audit), desk_(std::move(desk)), inner_(std::move(inner)) {}
  rtl::Variant Invoke(std::string_view method, std::vector<rtl::Variant>& args) override {
    rtl::Variant answer = inner_->Invoke(method, args);
    audit_.Called(desk_, method, args, answer);
    return answer;
  }
  void SetConnectionInfo(const net::ConnectionInfo& info) override {
    inner_->SetConnectionInfo(info);
  }

 private:
  RemovalAudit& audit_;
  std::string desk_;
  std::unique_ptr<net::IRemoteObject> inner_;
};

RemovalAudit::RemovalAudit(std::unique_ptr<appserver::Storage> storage)
    : storage_(std::move(storage)) {
  appserver::Transaction tx(*storage_, appserver::TransactionKind::kRead);
  for (Entity entity : kOwnedEntities)
    for (const Record& r : storage_->Select(entity))
      for (const Item& i : ItemsOf(entity, r)) stored_[i.owner][i.key] = i.value;
  for (const HistoryEntry& e : storage_->ReadHistory({}))
    if (e.id > last_entry_) {
      last_entry_ = e.id;
      last_when_ = e.when;
    }
  tx.Commit();
}

ScriptedServer::Watcher RemovalAudit::Watcher(const std::string& desk) {
  return [this, desk](std::string_view method, const std::vector<rtl::Variant>& args,
                      const rtl::Variant& answer) { Called(desk, method, args, answer); };
}

std::unique_ptr<net::IRemoteObject> RemovalAudit::Watched(
    const std::string& desk, std::unique_ptr<net::IRemoteObject> session) {
  return std::make_unique<Session>(*this, desk, std::move(session));
}

std::vector<std::string> RemovalAudit::Faults() const {
  std::lock_guard lock(mutex_);
  return faults_;
}

int RemovalAudit::Removals(const std::string& desk) const {
  std::lock_guard lock(mutex_);
  auto it = removals_.find(desk);
  return it == removals_.end() ? 0 : it->second;
}

std::vector<HistoryEntry> RemovalAudit::NewEntries() {
  appserver::HistoryFilter filter;
  // Whole seconds: the entries of the last call are within the second of
  // the one before them or later.
  filter.since = last_when_.substr(0, 19);
  std::vector<HistoryEntry> entries = storage_->ReadHistory(filter);
  std::erase_if(entries, [&](const HistoryEntry& e) { return e.id <= last_entry_; });
  std::sort(entries.begin(), entries.end(),
            [](const HistoryEntry& a, const HistoryEntry& b) { return a.id < b.id; });
  if (!entries.empty()) {
    last_entry_ = entries.back().id;
    last_when_ = entries.back().when;
  }
  return entries;
}

void RemovalAudit::Called(const std::string& desk, std::string_view method,
                          const std::vector<rtl::Variant>& args, const rtl::Variant& answer) {
  std::lock_guard lock(mutex_);
  for (const HistoryEntry& e : NewEntries()) {
    Check(desk, method, e);
    Apply(stored_, e);
    for (const Item& i : ItemsOf(e.entity, e.after))
      read_[desk][i.owner].insert(i.key + "=" + i.value);
  }
  for (const std::string& table : TablesRead(method, args, answer)) Read(desk, table);
}

void RemovalAudit::Read(const std::string& desk, const std::string& table) {
  auto it = stored_.find(table);
  if (it == stored_.end()) return;
  for (const auto& [key, value] : it->second) read_[desk][table].insert(key + "=" + value);
}

bool RemovalAudit::HasRead(const std::string& desk, const Item& item) const {
  auto d = read_.find(desk);
  if (d == read_.end()) return false;
  auto t = d->second.find(item.owner);
  return t != d->second.end() && t->second.count(item.key + "=" + item.value) > 0;
}

void RemovalAudit::Check(const std::string& desk, std::string_view method, const HistoryEntry& e) {
  const std::string call = desk + "'s " + std::string(method);
  if (e.origin.method != method)
    faults_.push_back("history entry " + std::to_string(e.id) + " of " + call + " names " +
                      e.origin.method);
  const std::string origin = Origin(e.origin);
  auto [known, fresh] = desk_of_origin_.emplace(origin, desk);
  if (!fresh && known->second != desk)
    faults_.push_back("history entry " + std::to_string(e.id) + " of " + call +
                      " has the origin of " + known->second + "'s calls " + origin);

  const std::vector<Item> after = ItemsOf(e.entity, e.after);
  for (const Item& removed : ItemsOf(e.entity, e.before)) {
    const bool stays = std::any_of(after.begin(), after.end(), [&](const Item& i) {
      return i.owner == removed.owner && i.key == removed.key;
    });
    if (stays) continue;
    ++removals_[desk];
    // A link is read with the drill table it leads into, or with its fact.
    const bool link = removed.key.starts_with("link ");
    const bool read =
        HasRead(desk, removed) || (link && HasRead(desk, ItemsOf(e.entity, *e.before).front()));
    if (!read)
      faults_.push_back(call + " (history entry " + std::to_string(e.id) + ") removed " +
                        removed.key + " of " + removed.owner + " " + removed.value +
                        ", which it had not read in that state");
  }
}

void RemovalAudit::ExpectStoredAsReplayed() {
  std::lock_guard lock(mutex_);
  for (const HistoryEntry& e : NewEntries()) Apply(stored_, e);
  Items now;
  appserver::Transaction tx(*storage_, appserver::TransactionKind::kRead);
  for (Entity entity : kOwnedEntities)
    for (const Record& r : storage_->Select(entity))
      for (const Item& i : ItemsOf(entity, r)) now[i.owner][i.key] = i.value;
  tx.Commit();
  std::erase_if(stored_, [](const auto& owner) { return owner.second.empty(); });
  EXPECT_EQ(now, stored_) << "the history does not tell every change";
}

}  // namespace qmxtest
