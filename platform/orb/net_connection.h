// TNetConnection: the host library's connection component, the socket link
// to a remote object on the application server (see net::TSocketConnection:
// ServerName, Host, Port, ThrowException, BeforeConnect, Connected,
// AppServer).
#pragma once

#include "net/socket_connection.h"

namespace orb {

class TNetConnection : public net::TSocketConnection {
 public:
  using net::TSocketConnection::TSocketConnection;
};

}  // namespace orb
