// LinkRelay: a loopback relay standing for the network between the screen and
// its server. It passes bytes both ways until told to drop the link at the
// server's next answer: that answer never reaches the screen, and both ends
// are closed, as when a link breaks after the server did its work. Clients
// that connect again are relayed as before.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

namespace qmxtest {

class LinkRelay {
 public:
  explicit LinkRelay(uint16_t target_port);
  ~LinkRelay();
  LinkRelay(const LinkRelay&) = delete;
  LinkRelay& operator=(const LinkRelay&) = delete;

  uint16_t Port() const { return port_; }
  // From any thread, for instance a scripted answer while the server works
  // on the call: the bytes the server sends next end the link instead.
  void DropNextAnswer() { drop_ = true; }
  int Drops() const { return drops_; }

 private:
  void Run();

  uint16_t target_;
  uint16_t port_ = 0;
  int listen_fd_ = -1;
  int wake_[2] = {-1, -1};
  std::atomic<bool> drop_{false};
  std::atomic<int> drops_{0};
  std::thread thread_;
};

}  // namespace qmxtest
