// What the tests that reach rdmEstrutura over a socket share: a client of a
// loopback server, and the demo's VL_VENDA fact of FATO_VENDAS, the row they
// change.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "appserver/rules/rdm_estrutura.h"
#include "net/remote_object.h"
#include "net/socket_connection.h"

namespace qmxtest {

inline std::unique_ptr<net::TSocketConnection> RdmClient(uint16_t port) {
  auto c = std::make_unique<net::TSocketConnection>(nullptr);
  c->SetServerName(std::string(appserver::RdmEstrutura::kObjectName));
  c->SetHost("127.0.0.1");
  c->SetPort(port);
  return c;
}

// A desk that listens for notices: a client of `port`, open, subscribed.
inline std::unique_ptr<net::TSocketConnection> NoticeDesk(uint16_t port) {
  auto c = RdmClient(port);
  c->SetNotices(true);
  c->Open();
  // Answered after the server read the wish for notices: what is committed
  // from now on reaches the desk.
  c->AppServer().Call(appserver::RdmEstrutura::kEditMethod, {"", "", ""});
  return c;
}

// What `desk` has been told, gathered until it holds `count` notices or
// `timeout_ms` passed (with count 0: what arrives within the time).
inline std::vector<net::NoticeFrame> NoticesOf(net::TSocketConnection& desk, size_t count,
                                               int timeout_ms = 5000) {
  std::vector<net::NoticeFrame> got;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while ((count == 0 || got.size() < count) && std::chrono::steady_clock::now() < until) {
    for (net::NoticeFrame& n : desk.TakeNotices()) got.push_back(std::move(n));
    if (count == 0 || got.size() < count) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return got;
}

// A connection seen as a session of the server, for OtherDesk: its calls go
// over `connection`, every argument by reference (what the server leaves in
// an argument it does not write is what was sent).
class ConnectionSession : public net::IRemoteObject {
 public:
  explicit ConnectionSession(net::TSocketConnection& connection) : connection_(connection) {}
  rtl::Variant Invoke(std::string_view method, std::vector<rtl::Variant>& args) override {
    std::vector<net::Arg> refs;
    for (rtl::Variant& a : args) refs.push_back(net::Arg::Ref(a));
    return connection_.AppServer().Call(method, std::move(refs));
  }

 private:
  net::TSocketConnection& connection_;
};

// The VL_VENDA fact as loaded, under `name`, in the field order of a facts packet.
inline std::vector<std::string> DemoVenda(const std::string& name) {
  return {"S",
          "FATO_VENDAS",
          "VL_VENDA",
          "00001",
          name,
          "M",
          "Valor total das vendas, sem descontos",
          "DRILL_VENDAS_DIA"};
}

}  // namespace qmxtest
