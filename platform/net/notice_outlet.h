// NoticeOutlet: the notices waiting to go out on one connection.
//
// The server makes one for each connection past its handshake and hands it
// to the remote object (IRemoteObject::SetNoticeOutlet); whatever publishes
// notices posts them from any thread, and the connection's own thread sends
// them between calls, never inside an answer. Only a connection whose client
// asked for notices (a Subscribe frame) keeps what is posted.
//
// Bounded: when more than `max_queued` notices wait (the client does not read
// them as fast as they come), they are dropped for one reload-everything
// notice, and further ones are dropped until that one is taken. A notice lost
// so loses no data: the server still refuses saves against stale rows, and
// the client reads everything again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "net/frame.h"

namespace net {

class NoticeOutlet {
 public:
  explicit NoticeOutlet(size_t max_queued);
  ~NoticeOutlet();
  NoticeOutlet(const NoticeOutlet&) = delete;
  NoticeOutlet& operator=(const NoticeOutlet&) = delete;

  // Queues `notice` for the client when it asked for notices; thread-safe.
  void Post(const NoticeFrame& notice);
  bool Subscribed() const;

  // -- For the connection's thread.
  void SetSubscribed(bool on);
  // Readable while notices wait (or after Wake): what the connection waits on
  // between calls.
  int WakeFd() const { return event_fd_; }
  // Makes WakeFd readable without a notice: the server stopping.
  void Wake();
  // Notices wait.
  bool Pending() const;
  // Appends the frames waiting to `out` and clears the wake.
  void Take(std::vector<uint8_t>& out);

  // Notices dropped for a reload-everything notice so far.
  uint64_t Collapsed() const;

 private:
  const size_t max_queued_;
  int event_fd_ = -1;
  mutable std::mutex mutex_;
  bool subscribed_ = false;
  bool collapsed_ = false;  // a reload-everything notice waits in place of the dropped ones
  size_t queued_ = 0;
  std::vector<uint8_t> frames_;
  uint64_t dropped_ = 0;
};

}  // namespace net
