// A connection between calls: waiting for its client's next frame while
// sending the notices posted for it.
#include "net/frame_socket.h"
#include "net/notice_outlet.h"
#include "net/server.h"

namespace net {

using detail::Deadline;
using detail::DeadlineIn;
using detail::FrameSocket;
using detail::IoStatus;

namespace {

// Notices go out only while the client has taken all but this much of what
// was sent before; the rest wait in the outlet, which bounds them. Small
// enough that a client that stops reading is found out after a few hundred
// notices, large enough not to slow one that reads over a slow link.
constexpr size_t kUnsentNoticeBytes = 32 * 1024;
// How often a connection whose notices wait looks whether its client has
// read meanwhile.
constexpr auto kBacklogLook = std::chrono::milliseconds(20);

}  // namespace

bool Server::SendNotices(FrameSocket& socket, NoticeOutlet& outlet, bool woken) {
  // Asked after every call: with nothing waiting, it costs no system call.
  // Woken by the outlet, its wake is taken all the same, or the next wait
  // would end at once again.
  if (!woken && !outlet.Pending()) return true;
  if (socket.Unsent() >= kUnsentNoticeBytes) return true;
  std::vector<uint8_t> frames;
  outlet.Take(frames);
  if (frames.empty()) return true;
  const IoStatus status = socket.Write(frames, DeadlineIn(options_.frame_timeout_ms), wake_read_);
  if (status == IoStatus::kOk) return true;
  if (status != IoStatus::kWoken) Event("Avisos não entregues; conexão encerrada");
  return false;
}

IoStatus Server::WaitForCall(FrameSocket& socket, NoticeOutlet* outlet) {
  if (!outlet) return socket.WaitForData(DeadlineIn(options_.idle_timeout_ms), wake_read_);
  // A desk that listens for notices is open on purpose, however long it
  // makes no call; keep-alive finds one whose machine vanished.
  const Deadline idle = outlet->Subscribed() ? Deadline() : DeadlineIn(options_.idle_timeout_ms);
  for (;;) {
    // Notices held back for a client that has not read: look again soon,
    // rather than wake on them at once.
    const bool held = outlet->Pending() && socket.Unsent() >= kUnsentNoticeBytes;
    Deadline until = idle;
    if (held && (!until || detail::Clock::now() + kBacklogLook < *until))
      until = detail::Clock::now() + kBacklogLook;
    // A client that asked for no notices is sent none: its wait is on the
    // socket alone, in the receive itself (Stop interrupts it).
    const bool notices = outlet->Subscribed() && !held;
    const IoStatus status = socket.WaitForData(until, notices ? outlet->WakeFd() : wake_read_);
    if (status == IoStatus::kTimeout && held && (!idle || detail::Clock::now() < *idle)) {
      if (!SendNotices(socket, *outlet)) return IoStatus::kWoken;
      continue;
    }
    if (status != IoStatus::kWoken) return status;
    if (stopping_) return IoStatus::kWoken;
    if (!SendNotices(socket, *outlet, /*woken=*/true)) return IoStatus::kWoken;
  }
}

}  // namespace net
