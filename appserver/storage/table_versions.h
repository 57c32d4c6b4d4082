// Versions of fact tables and drill tables.
//
// Every registered table has a version, a whole number that every committed
// change to what the table owns advances by one: the table's own row, its
// facts and dimensions (drill facts and drill dimensions for a drill table)
// and, for a drill table, the links of facts into it. A table never changed
// since versions were kept is at version 0.
//
// Clients receive the version with the rows of the table lists and with the
// answers of the drill questions (the extra field NRVERSAO, which the client's
// datasets keep and hand back), and send it back with a delete or a consent to
// drop links. A write whose version is older than the stored one was made
// from a view that missed someone else's change and is refused, so nothing
// the person did not see is changed or removed. Clients that send no version
// are not checked.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "appserver/storage/storage.h"
#include "db/packet.h"

namespace appserver {

// The packet field that carries a version.
inline constexpr const char* kVersionField = "NRVERSAO";
inline constexpr int kVersionSize = 20;

// The stored version of table `code` ("0" when it was never advanced).
std::string TableVersion(Storage& storage, const std::string& code);
// The same read, to go with others in one SelectEach, and the version its
// rows give.
Read TableVersionRead(const std::string& code);
std::string TableVersionOf(const std::vector<Record>& rows);

// The tables whose version a change of one row advances: the owner of a fact
// or dimension, the table itself, and for a fact whose drill link appears,
// disappears or moves, the drill tables on both ends.
std::set<std::string> VersionOwners(Entity entity, const Record* before, const Record* after);

// Advances the version of `code` by one inside the caller's write
// transaction; returns the version it had.
long long AdvanceTableVersion(Storage& storage, const std::string& code);

// The version a packet row carries in NRVERSAO (its value as read for a
// changed or deleted row), or nullopt when the packet has no such field or the row
// leaves it empty: such a client is not checked.
std::optional<std::string> PacketVersion(const db::Packet& packet, const db::PacketRow& row);
// The version of the first row that carries one.
std::optional<std::string> PacketVersion(const db::Packet& packet);

// What one connection has seen of each table's version. A connection that
// loaded a table's items at a version, or whose own change advanced a version
// it had seen, has seen that version; so a person whose own saves advanced a
// table is not refused for them, while a change made elsewhere meanwhile is
// always caught.
class SeenVersions {
 public:
  void Saw(const std::string& code, const std::string& version) { seen_[code] = version; }
  // A committed change of this connection took `code` from `from` to `from + 1`.
  void Advanced(const std::string& code, long long from);
  // True when a write sent with `client_version` may go ahead on a table
  // stored at `stored`; the connection has then seen `stored`.
  bool Accept(const std::string& code, const std::string& client_version,
              const std::string& stored);

 private:
  std::map<std::string, std::string> seen_;
};

// Adds the versions of the tables listed in `packet` (field CDTABELADW) as the
// field NRVERSAO.
void AddTableVersions(Storage& storage, db::Packet& packet);
// The same for a packet of at most one table, whose version was read along
// with it.
void AddTableVersion(db::Packet& packet, const std::string& version);

}  // namespace appserver
