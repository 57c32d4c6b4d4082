// Internal to the server: what it keeps of one accepted connection, shared by
// the accepting side (server.cpp) and the handshake (server_handshake.cpp).
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "net/frame_socket.h"
#include "net/server.h"

namespace net {

struct Server::Connection {
  Connection(int fd, bool refuse, std::string peer)
      : socket(std::make_unique<detail::FrameSocket>(fd)),
        refuse_only(refuse),
        peer_address(std::move(peer)) {}
  std::unique_ptr<detail::FrameSocket> socket;  // released as soon as the connection ends
  const bool refuse_only;                       // over the connection limit
  const std::string peer_address;
  std::atomic<bool> done{false};
  std::thread thread;
};

}  // namespace net
