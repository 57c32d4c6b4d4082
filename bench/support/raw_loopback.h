// Plain loopback TCP for the benchmarks' baselines: an echo server for
// fixed-size messages (a thread per connection) and a client that makes one
// round trip at a time. Nothing here frames, checks or allocates per round
// trip, so it is what our link is measured against.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

namespace bench {

inline void NoDelay(int fd) {
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

inline bool ReadExact(int fd, uint8_t* p, size_t n) {
  while (n > 0) {
    const ssize_t r = recv(fd, p, n, 0);
    if (r <= 0) return false;
    p += r;
    n -= static_cast<size_t>(r);
  }
  return true;
}

inline bool WriteAll(int fd, const uint8_t* p, size_t n) {
  while (n > 0) {
    const ssize_t r = send(fd, p, n, MSG_NOSIGNAL);
    if (r <= 0) return false;
    p += r;
    n -= static_cast<size_t>(r);
  }
  return true;
}

// Echoes messages of one size back, a thread per connection.
class RawEchoServer {
 public:
  explicit RawEchoServer(size_t message_size) : size_(message_size) {
    listen_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(listen_, 64);
    socklen_t len = sizeof a;
    getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    acceptor_ = std::thread([this] {
      for (;;) {
        const int fd = accept(listen_, nullptr, nullptr);
        if (fd < 0) return;
        NoDelay(fd);
        std::lock_guard lock(mutex_);
        fds_.push_back(fd);
        workers_.emplace_back([this, fd] {
          std::vector<uint8_t> buf(size_);
          while (ReadExact(fd, buf.data(), size_) && WriteAll(fd, buf.data(), size_)) {
          }
        });
      }
    });
  }
  ~RawEchoServer() {
    shutdown(listen_, SHUT_RDWR);
    close(listen_);
    acceptor_.join();
    for (int fd : fds_) shutdown(fd, SHUT_RDWR);
    for (auto& w : workers_) w.join();
    for (int fd : fds_) close(fd);
  }
  uint16_t Port() const { return port_; }

 private:
  size_t size_;
  int listen_;
  uint16_t port_;
  std::thread acceptor_;
  std::mutex mutex_;
  std::vector<int> fds_;
  std::vector<std::thread> workers_;
};

// One connection to a RawEchoServer; a failed round trip ends the benchmark.
class RawClient {
 public:
  RawClient(uint16_t port, size_t size) : buf_(size, 0x5a) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) std::abort();
    NoDelay(fd_);
  }
  ~RawClient() { close(fd_); }
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;
  void RoundTrip() {
    if (!WriteAll(fd_, buf_.data(), buf_.size()) || !ReadExact(fd_, buf_.data(), buf_.size()))
      std::abort();
  }

 private:
  int fd_;
  std::vector<uint8_t> buf_;
};

}  // namespace bench
