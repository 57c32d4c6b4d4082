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

bool Server::SendNotices(FrameSocket& socket, NoticeOutlet& outlet) {
  std::vector<uint8_t> frames;
  outlet.Take(frames);
  if (frames.empty()) return true;
  // A client that does not read within the frame time-out is lost, as one
  // that does not take its answer; meanwhile its notices pile up only to the
  // outlet's bound.
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
    const IoStatus status = socket.WaitForData(idle, outlet->WakeFd());
    if (status != IoStatus::kWoken) return status;
    if (stopping_) return IoStatus::kWoken;
    if (!SendNotices(socket, *outlet)) return IoStatus::kWoken;
  }
}

}  // namespace net
