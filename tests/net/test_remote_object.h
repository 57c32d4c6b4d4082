// A remote object and raw-socket helpers for the client/server tests.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "net/remote_object.h"

namespace net::testing {

// Counters shared by every object a server creates.
struct Probe {
  std::atomic<int> objects{0};
  std::atomic<int> sleeping{0};  // calls inside Sleep now
  std::atomic<int> slept{0};     // Sleep calls finished
};

// Echo(v) -> v; Swap(&a, &b) -> "ok" with a and b exchanged; Fill(code, &dime,
// &fatos) -> empty, filling both; Count() -> calls on this object so far;
// Who() -> [peer address, user name, secure] of the connection;
// Big(n) -> a byte array of n bytes; BadText() -> a string that is not UTF-8;
// Sleep(ms) -> "dormiu"; Fail(text) -> call failure with text; Boom() -> a
// plain std::exception; anything else -> unknown method.
class TestObject : public IRemoteObject {
 public:
  TestObject(Probe& probe, int server_id) : probe_(probe), server_id_(server_id) {
    ++probe_.objects;
  }
  void SetConnectionInfo(const ConnectionInfo& info) override { info_ = info; }
  rtl::Variant Invoke(std::string_view method, std::vector<rtl::Variant>& args) override {
    ++calls_;
    if (method == "Echo") {
      Need(args, 1);
      return args[0];
    }
    if (method == "Swap") {
      Need(args, 2);
      std::swap(args[0], args[1]);
      return rtl::Variant("ok");
    }
    if (method == "Fill") {
      Need(args, 3);
      args[1] = rtl::Variant::ByteArray({1, 2, 3});
      args[2] = rtl::Variant("fatos de " + args[0].AsString());
      return rtl::Variant();
    }
    if (method == "Count") return rtl::Variant(calls_);
    if (method == "Who")
      return rtl::VarArrayOf({rtl::Variant(info_.peer_address), rtl::Variant(info_.user_name),
                              rtl::Variant(info_.secure)});
    if (method == "Big") {
      Need(args, 1);
      return rtl::Variant::ByteArray(std::vector<uint8_t>(args[0].AsInteger(), 7));
    }
    if (method == "BadText") return rtl::Variant(std::string("\xff\xfe"));
    if (method == "ServerId") return rtl::Variant(server_id_);
    if (method == "Sleep") {
      Need(args, 1);
      ++probe_.sleeping;
      std::this_thread::sleep_for(std::chrono::milliseconds(args[0].AsInteger()));
      --probe_.sleeping;
      ++probe_.slept;
      return rtl::Variant("dormiu");
    }
    if (method == "Fail") throw ECallError(args.at(0).AsString());
    if (method == "Boom") throw std::runtime_error("erro interno do objeto");
    throw ECallError("Método desconhecido: " + std::string(method));
  }

 private:
  static void Need(const std::vector<rtl::Variant>& args, size_t n) {
    if (args.size() != n) throw ECallError("Número de argumentos errado");
  }
  Probe& probe_;
  int server_id_;
  int calls_ = 0;
  ConnectionInfo info_;
};

// A plain blocking TCP client that sends whatever bytes a test gives it.
class RawClient {
 public:
  explicit RawClient(uint16_t port) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
      throw std::runtime_error("connect");
    timeval tv{5, 0};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  }
  ~RawClient() { Close(); }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }
  void Send(const std::vector<uint8_t>& bytes) {
    send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
  }
  // One whole frame (prefix included), or empty when the server closed the
  // connection (or reset it) first.
  std::vector<uint8_t> ReadFrame() {
    std::vector<uint8_t> frame(4);
    if (!ReadExact(frame.data(), 4)) return {};
    const uint32_t n = frame[0] | (frame[1] << 8) | (frame[2] << 16) | (uint32_t{frame[3]} << 24);
    frame.resize(4 + n);
    if (!ReadExact(frame.data() + 4, n)) return {};
    return frame;
  }
  // True when the server has closed the connection (read gives end of stream
  // or a reset, after any frames still pending).
  bool SeesClose() {
    for (;;) {
      uint8_t b[4096];
      const ssize_t n = recv(fd_, b, sizeof b, 0);
      if (n == 0) return true;
      if (n < 0) return errno == ECONNRESET;
    }
  }

 private:
  bool ReadExact(uint8_t* p, size_t n) {
    while (n > 0) {
      const ssize_t r = recv(fd_, p, n, 0);
      if (r <= 0) return false;
      p += r;
      n -= static_cast<size_t>(r);
    }
    return true;
  }
  int fd_ = -1;
};

}  // namespace net::testing
