#include "appserver/notices/session_notices.h"

#include "appserver/notices/change_notices.h"
#include "appserver/storage/history.h"

namespace appserver {
namespace {

// At most `bytes` bytes of `text`, cut at a character's start.
std::string Shortened(std::string text, size_t bytes) {
  if (text.size() <= bytes) return text;
  size_t end = bytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
  return text;
}

}  // namespace

SessionNotices::~SessionNotices() {
  if (connection_ != 0) hub_->Unregister(connection_);
}

void SessionNotices::Attach(std::shared_ptr<net::NoticeOutlet> outlet) {
  if (connection_ == 0) connection_ = hub_->Register(std::move(outlet));
}

void SessionNotices::SetAccount(std::string account) {
  account_ = Shortened(std::move(account), 255);
}

bool SessionNotices::Announce(Storage& storage, const std::vector<net::NoticeFrame>& notices) {
  const std::vector<std::string> texts = AnnouncementsOf(Origin(), notices);
  for (const std::string& text : texts)
    if (!storage.Announce(text)) {
      pending_ = notices;
      return false;
    }
  return true;
}

void SessionNotices::Staged(Storage& inner, const std::vector<RowChange>& changes) {
  pending_.clear();
  std::vector<net::NoticeFrame> notices = NoticesOfCommit(changes, account_, UtcNow());
  if (!notices.empty()) Announce(inner, notices);
}

void SessionNotices::Committed() {
  if (pending_.empty()) return;
  hub_->Deliver(Origin(), pending_);
  pending_.clear();
}

void SessionNotices::Editing(Storage& storage, const std::string& table, net::NoticeItem kind,
                             const std::string& item) {
  net::NoticeFrame n;
  n.kind = net::NoticeKind::kEditing;
  n.table = table;
  n.item_kind = kind;
  n.item = item;
  n.account = account_;
  n.when = UtcNow();
  if (editing_ && editing_->table == n.table && editing_->item_kind == kind &&
      editing_->item == item)
    return;
  EndEditing(storage);
  editing_ = n;
  if (!Announce(storage, {n})) Committed();
}

void SessionNotices::EndEditing(Storage& storage) {
  if (!editing_) return;
  net::NoticeFrame n = *editing_;
  editing_.reset();
  n.kind = net::NoticeKind::kEditEnded;
  n.when = UtcNow();
  if (!Announce(storage, {n})) Committed();
}

}  // namespace appserver
