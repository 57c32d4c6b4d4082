#include "orb/net_connection.h"

#include <gtest/gtest.h>

#include "orb/server_address.h"
#include "support/unused_port.h"

namespace orb {
namespace {

TEST(TNetConnection, TakesTheHostsAddressAtEveryConnect) {
  TNetConnection connection(nullptr);
  connection.SetServerName("QMX00600.rdmEstrutura");
  connection.SetConnectTimeoutMs(2000);
  int connects = 0;
  connection.BeforeConnect = [&](rtl::TObject*) {
    ++connects;
    connection.SetHost(WebURL());
    connection.SetPort(WebPort());
  };
  const int port = qmxtest::UnusedLoopbackPort();
  SetServerAddress({"127.0.0.1", port});
  try {
    connection.SetConnected(true);
    ADD_FAILURE() << "connected to a port nobody listens on";
  } catch (const net::ECallError& e) {
    EXPECT_NE(e.Message().find(std::to_string(port)), std::string::npos) << e.Message();
  }
  EXPECT_FALSE(connection.Connected());
  const int other_port = qmxtest::UnusedLoopbackPort();
  SetServerAddress({"127.0.0.1", other_port});
  EXPECT_THROW(connection.SetConnected(true), net::ECallError);
  EXPECT_EQ(connection.Port(), other_port);
  EXPECT_EQ(connects, 2);
  ClearServerAddress();
}

}  // namespace
}  // namespace orb
