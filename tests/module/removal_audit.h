// RemovalAudit: watches the calls of several desks on one server and checks,
// call by call, that no call removed an item its desk had not read in the
// state it removed it from.
//
// The items are what a table owns: its own row, its facts and dimensions (a
// drill table's drill facts and drill dimensions) and, for a drill table, the
// links of facts into it. The audit knows what is stored by reading it once
// and then replaying the server's history as the calls commit it. A desk has
// read a table's items as they stood when one of its calls answered with that
// table's version (the table lists, the drill questions) or its items, and
// has read whatever its own calls stored. What a call removed is what the
// history says it deleted or unlinked.
//
// Calls must come one at a time, as in the random runs, so that the entries
// the history gained during a call are that call's; each must name the call's
// method, and no two desks may share an origin.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "appserver/storage/storage.h"
#include "net/remote_object.h"
#include "scripted_server.h"

namespace qmxtest {

class RemovalAudit {
 public:
  explicit RemovalAudit(std::unique_ptr<appserver::Storage> storage);

  // Watches the calls a scripted server's fallback answers as desk `desk`'s.
  ScriptedServer::Watcher Watcher(const std::string& desk);
  // `session`, each of its calls watched as desk `desk`'s.
  std::unique_ptr<net::IRemoteObject> Watched(const std::string& desk,
                                              std::unique_ptr<net::IRemoteObject> session);

  // One text for each removal that broke the rule and each history entry
  // that does not tell its call.
  std::vector<std::string> Faults() const;
  // How many removals of desk `desk`'s calls were checked.
  int Removals(const std::string& desk) const;
  // Expects what is stored to be what the replayed history says it is.
  void ExpectStoredAsReplayed();

  // The owner table, the kind and key of an item ("fact VL_VENDA"), and the
  // stored row it stands for.
  struct Item {
    std::string owner;
    std::string key;
    std::string value;
  };
  using Items = std::map<std::string, std::map<std::string, std::string>>;  // owner -> key -> value

 private:
  class Session;

  void Called(const std::string& desk, std::string_view method,
              const std::vector<rtl::Variant>& args, const rtl::Variant& answer);
  // The history entries committed since the last call, oldest first.
  std::vector<appserver::HistoryEntry> NewEntries();
  void Check(const std::string& desk, std::string_view method,
             const appserver::HistoryEntry& entry);
  bool HasRead(const std::string& desk, const Item& item) const;
  void Read(const std::string& desk, const std::string& table);

  mutable std::mutex mutex_;
  std::unique_ptr<appserver::Storage> storage_;
  Items stored_;
  int64_t last_entry_ = 0;
  std::string last_when_;
  // Per desk, per owner table: every "key=value" it has read.
  std::map<std::string, std::map<std::string, std::set<std::string>>> read_;
  std::map<std::string, std::string> desk_of_origin_;
  std::map<std::string, int> removals_;
  std::vector<std::string> faults_;
};

}  // namespace qmxtest
