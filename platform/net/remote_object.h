// IRemoteObject: the server side of a remote data module.
//
// The server creates one instance per client connection (so each connection
// has its own database session) and hands it every call of that connection,
// one at a time. Invoke receives the arguments in order, by reference: the
// values left in them are sent back for the arguments the client passed by
// reference. Business refusals are returned as error reports in the result; a
// call that cannot be made (unknown method, wrong argument count or kind)
// throws net::ECallError, which the client receives as a call failure. Any
// other exception is reported to the client as a call failure with its
// message; it never ends the server.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "net/app_server.h"
#include "rtl/variant.h"

namespace net {

// Who is at the other end of a connection, as the server knows it once the
// handshake is accepted.
struct ConnectionInfo {
  std::string peer_address;  // "127.0.0.1:50312", "[::1]:50312"; "" when unknown
  // The account the password proved when `verified`; else the name the
  // client's Hello gave (versions 2 and 3), which nothing proves; may be empty.
  std::string user_name;
  bool secure = false;    // over TLS, with the server's access token
  bool verified = false;  // user_name is an account whose password was given
  std::string role = {};  // the account's role when verified ("editor", "leitor")
};

class NoticeOutlet;

class IRemoteObject {
 public:
  virtual ~IRemoteObject() = default;
  virtual rtl::Variant Invoke(std::string_view method, std::vector<rtl::Variant>& args) = 0;
  // Told once, after the handshake and before the first call.
  virtual void SetConnectionInfo(const ConnectionInfo& /*info*/) {}
  // Told once, after SetConnectionInfo, on connections of protocol version 4:
  // where notices for this connection's client go (notice_outlet.h).
  virtual void SetNoticeOutlet(std::shared_ptr<NoticeOutlet> /*outlet*/) {}
};

using RemoteObjectFactory = std::function<std::unique_ptr<IRemoteObject>()>;

}  // namespace net
