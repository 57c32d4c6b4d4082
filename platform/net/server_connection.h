// Internal to the server: what it keeps of one accepted connection, shared by
// the accepting side (server.cpp) and the handshake (server_handshake.cpp).
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "net/frame_socket.h"
#include "net/notice_outlet.h"
#include "net/server.h"

namespace net {

struct Server::Connection {
  Connection(int fd, bool refuse, std::string peer, std::string peer_host, size_t max_notices,
             int wake)
      : socket(std::make_unique<detail::FrameSocket>(fd)),
        outlet(std::make_shared<NoticeOutlet>(max_notices)),
        refuse_only(refuse),
        peer_address(std::move(peer)),
        host(std::move(peer_host)) {
    // Its reads that wait only for the server to stop wait in the receive;
    // Stop interrupts them.
    socket->SetInterruptible(wake);
  }
  std::unique_ptr<detail::FrameSocket> socket;  // released as soon as the connection ends
  std::mutex socket_mutex;  // guards `socket` between its thread's end and Stop's interrupt
  // Its notices; made with the connection so that Stop can wake its wait.
  const std::shared_ptr<NoticeOutlet> outlet;
  const bool refuse_only;  // over the connection limit
  const std::string peer_address;
  const std::string host;  // the address without the port: what admission counts by
  std::string who;         // the user as logged, once the handshake is accepted
  std::atomic<bool> done{false};
  std::thread thread;
};

}  // namespace net
