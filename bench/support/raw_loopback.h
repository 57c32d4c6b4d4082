// Plain loopback TCP for the benchmarks' baselines: an echo server for
// fixed-size messages (a thread per connection), which may answer a request
// of one size with an answer of another, and a client that makes one round
// trip at a time. Nothing here frames, checks or allocates per round
// trip, so it is what our link is measured against.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
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

// Answers each request of `request_size` bytes with `answer_size` bytes, a
// thread per connection.
class RawEchoServer {
 public:
  explicit RawEchoServer(size_t message_size) : RawEchoServer(message_size, message_size) {}
  RawEchoServer(size_t request_size, size_t answer_size)
      : request_(request_size), answer_(answer_size) {
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
          std::vector<uint8_t> buf(std::max(request_, answer_), 0x5a);
          while (ReadExact(fd, buf.data(), request_) && WriteAll(fd, buf.data(), answer_)) {
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
  size_t request_;
  size_t answer_;
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
  RawClient(uint16_t port, size_t size) : RawClient(port, size, size) {}
  RawClient(uint16_t port, size_t request_size, size_t answer_size)
      : request_(request_size), answer_(answer_size), buf_(std::max(request_, answer_), 0x5a) {
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
    if (!WriteAll(fd_, buf_.data(), request_) || !ReadExact(fd_, buf_.data(), answer_))
      std::abort();
  }

 private:
  size_t request_;
  size_t answer_;
  int fd_;
  std::vector<uint8_t> buf_;
};

}  // namespace bench
