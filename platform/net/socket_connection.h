// TSocketConnection: the client end of the link to a remote object hosted by
// an application server over TCP.
//
// Opening (SetConnected(true)) runs BeforeConnect, so the owner can set Host
// and Port, then connects with ConnectTimeoutMs (over TLS when Security()
// names a CA) and asks the server for the remote object named ServerName,
// sending the access token, user name and password of Security(); a refusal
// or an unreachable server throws ECallError naming host:port, and the
// connection stays closed. A refusal of the login goes first to the process's
// login prompt (CurrentLoginPrompt), when there is one: the open is tried
// again with the user name and password the person gives, until the server
// admits them (they then become the Security() of this connection and the
// default of new ones) or the person gives up (rtl::EAbort, silent).
//
// AppServer() carries blocking calls, one at a time: the call waits at most
// CallTimeoutMs for the answer, by-reference arguments receive the server's
// values, and a call failure reported by the server throws ECallError with
// the server's text (the connection stays open). A lost connection, a
// time-out or a malformed answer throws ECallError and closes the connection;
// the next call opens it again, running BeforeConnect again. A call on a
// closed connection opens it first, and so does a call on a connection the
// server has closed for being idle (it says so before closing), after
// AfterDisconnect.
//
// A failure of the link itself reads, in the ECallError's message, as a
// person expects: in Portuguese, with the server's address and what to do,
// never a method name or a system text; those are in its Detail().
//
// Notices (SetNotices): the connection asks the server for them at every
// open, sets aside the ones that arrive while it waits for an answer, and
// hands them out through TakeNotices, which a host calls between calls (from
// a timer): nothing arrives in the middle of a call's exchange. A connection
// opened again after it was lost tells its owner to read everything again
// with a reload-everything notice of its own: what changed meanwhile was not
// told.
//
// Not thread-safe: one thread uses a connection.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "net/app_server.h"
#include "net/client_security.h"
#include "net/frame.h"
#include "rtl/component.h"

namespace net {

using TConnectionEvent = std::function<void(rtl::TObject* sender)>;

class TSocketConnection : public rtl::TComponent {
 public:
  explicit TSocketConnection(rtl::TComponent* owner);
  ~TSocketConnection() override;  // closes the connection, without AfterDisconnect

  // Name of the remote object asked for in the handshake.
  const std::string& ServerName() const { return server_name_; }
  void SetServerName(std::string name) { server_name_ = std::move(name); }
  const std::string& Host() const { return host_; }
  void SetHost(std::string host) { host_ = std::move(host); }
  int Port() const { return port_; }
  void SetPort(int port) { port_ = port; }
  // Kept as the owner sets it. Failures are raised whatever its value: a
  // failed call never comes back looking like an answer.
  bool ThrowException() const { return throw_exception_; }
  void SetThrowException(bool value) { throw_exception_ = value; }

  int ConnectTimeoutMs() const { return connect_timeout_ms_; }
  void SetConnectTimeoutMs(int ms) { connect_timeout_ms_ = ms; }
  // Longest wait for one answer; 0 waits without limit.
  int CallTimeoutMs() const { return call_timeout_ms_; }
  void SetCallTimeoutMs(int ms) { call_timeout_ms_ = ms; }
  // Largest frame sent or accepted.
  uint32_t MaxFrameSize() const { return max_frame_size_; }
  void SetMaxFrameSize(uint32_t bytes) { max_frame_size_ = bytes; }

  // Sent in the Hello and trusted for TLS; a new connection starts from
  // DefaultClientSecurity(). With a CA file the connection is made over TLS
  // and the server's certificate must name Host().
  const ClientSecurity& Security() const { return security_; }
  void SetSecurity(ClientSecurity security) { security_ = std::move(security); }

  // The account and role the server admitted at the last open; both empty
  // when it asks for no login.
  const std::string& Account() const { return account_; }
  const std::string& Role() const { return role_; }
  // The server admitted an account that may only read.
  bool AdmittedAsReader() const { return role_ == kReaderRole; }

  bool Connected() const;
  // true opens the connection (no-op when open); false closes it and runs
  // AfterDisconnect (no-op when closed).
  void SetConnected(bool value);
  void Open() { SetConnected(true); }
  void Close() { SetConnected(false); }

  // Whether the connection asks the server for notices; set on an open
  // connection, it asks at once. Needs a server of protocol version 4.
  bool Notices() const { return notices_; }
  void SetNotices(bool on);
  // The notices received since the last take, oldest first, reading what has
  // arrived without waiting. A link found lost here is closed (AfterDisconnect
  // runs); the next call, or SetConnected(true), opens it again.
  std::vector<NoticeFrame> TakeNotices();

  // The remote object's dispatch interface; valid for the life of this
  // connection, open or not.
  IAppServer& AppServer();

  TConnectionEvent BeforeConnect;    // before every open
  TConnectionEvent AfterConnect;     // after a successful open
  TConnectionEvent AfterDisconnect;  // after a close, asked for or after a lost link

 private:
  class Link;
  // Opens the link, asking the login prompt while the server refuses the
  // login.
  void ConnectLoggingIn();
  // Notices kept for TakeNotices beyond this become one reload-everything
  // notice.
  static constexpr size_t kMaxKeptNotices = 1000;
  void Keep(NoticeFrame notice);

  std::string server_name_;
  std::string host_ = "127.0.0.1";
  int port_ = 2160;
  bool throw_exception_ = true;
  int connect_timeout_ms_ = 5000;
  int call_timeout_ms_ = 60000;
  uint32_t max_frame_size_ = kDefaultMaxFrameSize;
  ClientSecurity security_ = DefaultClientSecurity();
  std::string account_;
  std::string role_;
  bool notices_ = false;
  bool opened_before_ = false;  // an open after this one is a reopening
  std::deque<NoticeFrame> received_;
  std::unique_ptr<Link> link_;  // the socket and the dispatch interface
};

}  // namespace net
