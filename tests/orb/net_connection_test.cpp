#include "orb/net_connection.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "orb/server_address.h"

namespace orb {
namespace {

// A loopback port nothing listens on: bound, read, released.
int UnusedPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  close(fd);
  return ntohs(addr.sin_port);
}

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
  const int port = UnusedPort();
  SetServerAddress({"127.0.0.1", port});
  try {
    connection.SetConnected(true);
    ADD_FAILURE() << "connected to a port nobody listens on";
  } catch (const net::ECallError& e) {
    EXPECT_NE(e.Message().find(std::to_string(port)), std::string::npos) << e.Message();
  }
  EXPECT_FALSE(connection.Connected());
  const int other_port = UnusedPort();
  SetServerAddress({"127.0.0.1", other_port});
  EXPECT_THROW(connection.SetConnected(true), net::ECallError);
  EXPECT_EQ(connection.Port(), other_port);
  EXPECT_EQ(connects, 2);
  ClearServerAddress();
}

}  // namespace
}  // namespace orb
