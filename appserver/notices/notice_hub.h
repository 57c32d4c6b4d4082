// NoticeHub: the desks of one server that may receive notices, and how a
// notice reaches them.
//
// Every connection of protocol version 4 registers its outlet (only those
// that asked for notices keep what is posted there). A notice comes with its
// origin, the server and connection whose change or edit it tells, and goes
// to every desk but that one. On SQLite a server's own sessions deliver their
// notices here after their commit; on PostgreSQL every session announces
// them through the database (Storage::Announce), and each server's listener
// hands what it hears to its hub, its own announcements included: so the
// desks of every server on the database are told, in the order of the
// commits.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "net/frame.h"

namespace net {
class NoticeOutlet;
}

namespace appserver {

// Whose change or edit a notice tells: a server (its hub's id) and one of
// its connections.
struct NoticeOrigin {
  uint64_t server = 0;
  uint64_t connection = 0;
};

class NoticeHub {
 public:
  NoticeHub();  // with an id no other server is likely to share
  NoticeHub(const NoticeHub&) = delete;
  NoticeHub& operator=(const NoticeHub&) = delete;

  uint64_t Id() const { return id_; }
  // A desk's outlet; the number that names its connection in origins.
  uint64_t Register(std::shared_ptr<net::NoticeOutlet> outlet);
  void Unregister(uint64_t connection);

  // To every desk but the origin's.
  void Deliver(const NoticeOrigin& from, const std::vector<net::NoticeFrame>& notices);
  // An announcement heard from the database; false when it cannot be read
  // (it is then dropped).
  bool DeliverAnnounced(std::string_view payload);
  // One reload-everything notice to every desk: what was announced while the
  // server could not listen is lost.
  void ReloadAll();
  // Desks registered now.
  size_t Desks() const;

 private:
  const uint64_t id_;
  mutable std::mutex mutex_;
  uint64_t next_ = 1;
  std::unordered_map<uint64_t, std::weak_ptr<net::NoticeOutlet>> desks_;
};

// The text announced through the database for notices of `from`: lines of
// tab-separated fields, split into texts of at most `max_bytes` bytes (a
// database announcement is limited in size). Control characters in accounts
// are replaced by spaces.
std::vector<std::string> AnnouncementsOf(const NoticeOrigin& from,
                                         const std::vector<net::NoticeFrame>& notices,
                                         size_t max_bytes = 7000);
// Reads an announcement back; false when it is not one.
bool ReadAnnouncement(std::string_view text, NoticeOrigin& from,
                      std::vector<net::NoticeFrame>& notices);

}  // namespace appserver
