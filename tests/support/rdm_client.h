// What the tests that reach rdmEstrutura over a socket share: a client of a
// loopback server, and the demo's VL_VENDA fact of FATO_VENDAS, the row they
// change.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "appserver/rules/rdm_estrutura.h"
#include "net/socket_connection.h"

namespace qmxtest {

inline std::unique_ptr<net::TSocketConnection> RdmClient(uint16_t port) {
  auto c = std::make_unique<net::TSocketConnection>(nullptr);
  c->SetServerName(std::string(appserver::RdmEstrutura::kObjectName));
  c->SetHost("127.0.0.1");
  c->SetPort(port);
  return c;
}

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
