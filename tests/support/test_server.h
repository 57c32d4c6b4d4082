// The client/server tests' shared pieces: a remote object with a method for
// each behaviour under test, a server of it on an ephemeral loopback port,
// clients of it (plain, secure, or raw bytes), and the test certificates.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "net/client_security.h"
#include "net/frame.h"
#include "net/remote_object.h"
#include "net/server.h"
#include "net/socket_connection.h"
#include "tls_files.h"

namespace net::testing {

inline constexpr const char* kObject = "QMX00600.rdmEstrutura";

// A version-1 Hello asking for `name`.
inline std::vector<uint8_t> Hello(std::string_view name = kObject) {
  std::vector<uint8_t> out;
  EncodeHello(out, name);
  return out;
}

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
  // `source`: the loopback address to connect from (127.0.0.1 when null).
  explicit RawClient(uint16_t port, const char* source = nullptr) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    if (source) BindSource(fd_, source);
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
  // Sends a version-1 Hello for `name` and reads the answer (empty when the
  // server closed instead).
  std::vector<uint8_t> Handshake(std::string_view name = kObject) {
    Send(Hello(name));
    return ReadFrame();
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

  // Makes `fd` connect from `address` (any of 127.0.0.0/8 on loopback).
  static void BindSource(int fd, const char* address) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    inet_pton(AF_INET, address, &a.sin_addr);
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) throw std::runtime_error("bind");
  }

 private:
  bool ReadExact(uint8_t* p, size_t n) {
    return recv(fd_, p, n, MSG_WAITALL) == static_cast<ssize_t>(n);
  }
  int fd_ = -1;
};

// A server whose connections each get a TestObject numbered `server_id`.
inline ServerOptions Options(Probe& probe, int server_id = 1) {
  ServerOptions o;
  o.object_name = kObject;
  o.factory = [&probe, server_id] { return std::make_unique<TestObject>(probe, server_id); };
  return o;
}

inline std::unique_ptr<Server> StartServer(ServerOptions options) {
  auto server = std::make_unique<Server>(std::move(options));
  server->Start();
  return server;
}

// Points `c` at the test object of the server on `port`.
inline void Aim(TSocketConnection& c, uint16_t port) {
  c.SetServerName(kObject);
  c.SetPort(port);
}

// A client of the test object on `port`, not yet connected.
inline std::unique_ptr<TSocketConnection> Client(uint16_t port, ClientSecurity security) {
  auto c = std::make_unique<TSocketConnection>(nullptr);
  Aim(*c, port);
  c->SetSecurity(std::move(security));
  return c;
}

using qmxtest::TlsFile;
inline ServerOptions::Security ServerTls(const std::string& token) {
  return {TlsFile("server.pem"), qmxtest::PrivateServerKey(), token};
}
// What a client that trusts the test CA sends.
inline ClientSecurity ClientTls(const std::string& token, const std::string& user) {
  return {token, TlsFile("ca.pem"), user};
}

// The message of the failure opening `c`, or "(aberta)" when it opened.
inline std::string OpenFailure(TSocketConnection& c) {
  try {
    c.Open();
  } catch (const ECallError& e) {
    return e.Message();
  }
  return "(aberta)";
}

}  // namespace net::testing
