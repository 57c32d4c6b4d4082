#include "net/notice_outlet.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>

namespace net {

NoticeOutlet::NoticeOutlet(size_t max_queued)
    : max_queued_(max_queued == 0 ? 1 : max_queued),
      event_fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (event_fd_ < 0) throw EProtocolError("Não foi possível preparar os avisos da conexão");
}

NoticeOutlet::~NoticeOutlet() {
  close(event_fd_);
}

void NoticeOutlet::Wake() {
  const uint64_t one = 1;
  while (write(event_fd_, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

bool NoticeOutlet::Subscribed() const {
  std::lock_guard lock(mutex_);
  return subscribed_;
}

void NoticeOutlet::SetSubscribed(bool on) {
  std::lock_guard lock(mutex_);
  subscribed_ = on;
  if (!on) {
    frames_.clear();
    queued_ = 0;
    collapsed_ = false;
  }
}

void NoticeOutlet::Post(const NoticeFrame& notice) {
  {
    std::lock_guard lock(mutex_);
    if (!subscribed_) return;
    if (collapsed_) {
      ++dropped_;
      return;
    }
    if (queued_ >= max_queued_ || notice.kind == NoticeKind::kReloadAll) {
      // Everything waiting is superseded by one notice to read it all again.
      dropped_ += queued_;
      frames_.clear();
      EncodeNotice(frames_, NoticeFrame{NoticeKind::kReloadAll,
                                        {},
                                        NoticeItem::kNone,
                                        {},
                                        NoticeChange::kNone,
                                        notice.account,
                                        notice.when});
      queued_ = 1;
      collapsed_ = true;
    } else {
      try {
        EncodeNotice(frames_, notice);
      } catch (const EProtocolError&) {
        return;  // a text too long for a notice: the notice is left out
      }
      ++queued_;
    }
  }
  Wake();
}

void NoticeOutlet::Take(std::vector<uint8_t>& out) {
  uint64_t count;
  while (read(event_fd_, &count, sizeof count) < 0 && errno == EINTR) {
  }
  std::lock_guard lock(mutex_);
  out.insert(out.end(), frames_.begin(), frames_.end());
  frames_.clear();
  queued_ = 0;
  collapsed_ = false;
}

bool NoticeOutlet::Pending() const {
  std::lock_guard lock(mutex_);
  return queued_ > 0;
}

uint64_t NoticeOutlet::Collapsed() const {
  std::lock_guard lock(mutex_);
  return dropped_;
}

}  // namespace net
