// SessionNotices: what one connection's session tells the other desks — its
// committed changes, and the item its person is editing — and its place in
// its server's hub.
//
// A change is announced through the database inside the transaction, so the
// database delivers it on commit and never for a rollback; where the
// database cannot (SQLite), it is delivered to this server's desks once the
// commit is done. An edit lasts from Editing to EndEditing, another Editing,
// or the end of the session (the connection gone); nothing of it is stored.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "appserver/notices/notice_hub.h"
#include "appserver/storage/recording_storage.h"

namespace appserver {

class SessionNotices final : public CommitObserver {
 public:
  explicit SessionNotices(std::shared_ptr<NoticeHub> hub) : hub_(std::move(hub)) {}
  ~SessionNotices() override;
  SessionNotices(const SessionNotices&) = delete;
  SessionNotices& operator=(const SessionNotices&) = delete;

  // The connection's outlet: registers the desk with the hub.
  void Attach(std::shared_ptr<net::NoticeOutlet> outlet);
  // Who the notices name.
  void SetAccount(std::string account);

  void Staged(Storage& inner, const std::vector<RowChange>& changes) override;
  void Committed() override;

  // The person began editing `item` (of kind `kind`) of `table`; an edit in
  // progress ends first.
  void Editing(Storage& storage, const std::string& table, net::NoticeItem kind,
               const std::string& item);
  // The edit in progress, if any, ended.
  void EndEditing(Storage& storage);

 private:
  NoticeOrigin Origin() const { return {hub_->Id(), connection_}; }
  // Announces `notices` through `storage`, or keeps them for this server's
  // desks when the database cannot; true when announced.
  bool Announce(Storage& storage, const std::vector<net::NoticeFrame>& notices);

  std::shared_ptr<NoticeHub> hub_;
  uint64_t connection_ = 0;  // in the hub; 0 before Attach
  std::string account_;
  std::vector<net::NoticeFrame> pending_;  // to deliver after the commit
  std::optional<net::NoticeFrame> editing_;
};

}  // namespace appserver
