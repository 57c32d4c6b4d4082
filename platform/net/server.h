// Server: hosts one kind of remote object over TCP for any number of
// TSocketConnection clients.
//
// Every accepted connection gets its own thread and its own IRemoteObject
// from the factory, created once the handshake names the accepted object;
// its calls run one at a time on that object. A handshake with the wrong
// magic, version or object name, or a first frame longer than a handshake can
// be, is answered with a refusal text and the connection is closed. A call
// whose frame is malformed but whose length prefix is sound is answered with
// a call failure and the connection stays open; an unreadable length prefix
// (zero, over the limit), a frame cut short or a call with id 0 is answered
// with a failure of id 0 and closes that connection only. An exception from
// Invoke becomes a call failure with its message. Nothing a client sends or
// fails to send affects another client.
//
// Memory: frames larger than kUncountedFrameSize hold twice their length
// (the bytes read and their decoded copy) against one budget shared by all
// connections from the moment their length is read until their answer is
// sent. A frame that does not fit is read and dropped as it arrives, and its
// call is answered with a failure naming the budget; the connection goes on.
// A connection that has passed the handshake and then sends nothing for the
// idle time-out is closed (the client opens a new one on its next call).
//
// Admission: a connection must finish its handshake within the handshake
// time-out; each address may have only a few handshakes in progress, and
// handshakes together only part of the connection limit, so that silent
// sockets from one address neither hold a slot for long nor keep another
// address out (a connection over either limit is closed at once, told in a
// summary line). A wrong credential locks its address for a while, doubling
// with each failure in a row (admission.h). Accepted and closed connections
// are told to on_event with their address and user.
//
// Notices: a connection of protocol version 4 whose client asked for them
// (Subscribe) is sent what the remote object posts to its outlet
// (notice_outlet.h), between answers only; such a connection is not closed
// for being idle. Notices a client leaves unread wait in the outlet, which
// bounds them.
//
// Stop() stops accepting, lets the calls in flight finish and send their
// answers, closes every connection and joins every thread; the destructor
// calls it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "net/frame.h"
#include "net/remote_object.h"
#include "rtl/exceptions.h"

namespace net {

class NoticeOutlet;

namespace detail {
enum class IoStatus;
class Admission;
class FrameSocket;
class TlsContext;
}  // namespace detail

// Frames up to this size are not counted against ServerOptions::max_memory:
// they are bounded by the connection limit alone, and a call this small is
// never turned away for memory.
inline constexpr uint32_t kUncountedFrameSize = 64 * 1024;
// The shortest access token a server accepts: anything shorter is guessed.
inline constexpr size_t kMinTokenLength = 16;
// The longest first frame a client may send: a handshake is far smaller.
inline constexpr uint32_t kMaxHandshakeSize = 64 * 1024;

// The server cannot start (address in use, not allowed, ...).
class EServerError : public rtl::Exception {
 public:
  using rtl::Exception::Exception;
};

// One finished call, as told to ServerOptions::on_call.
struct CallRecord {
  std::string_view method;  // empty when the call frame could not be read
  std::chrono::microseconds duration;
  bool ok;                   // answered; false: a call failure was sent
  std::string_view failure;  // the failure text when !ok
};

// What ServerOptions::authenticate makes of a Hello's user name and password.
struct LoginVerdict {
  enum class Kind {
    kOpen,             // no login needed here: admitted, the name unverified
    kAdmitted,         // the password proves `account`
    kNeedsLogin,       // a login is needed and none was sent
    kWrongCredential,  // unknown user or wrong password (counts for the back-off)
    kDisabled,         // the right password of a disabled account
  };
  Kind kind = Kind::kOpen;
  std::string account;
  std::string role;
};

struct ServerOptions {
  // Numeric address or host name to listen on. Anything but a loopback
  // address is refused unless allow_non_loopback is set.
  std::string listen_address = "127.0.0.1";
  bool allow_non_loopback = false;
  uint16_t port = 0;  // 0: any free port; Server::Port() tells which
  // The remote object name clients must ask for, and its factory.
  std::string object_name;
  RemoteObjectFactory factory;
  uint32_t max_frame_size = kDefaultMaxFrameSize;
  // Connections beyond this are refused with a text.
  int max_connections = 64;
  // Longest wait from accepting a connection to its Hello (TLS included).
  int handshake_timeout_ms = 5000;
  // Handshakes in progress from one address; a quarter of max_connections is
  // always kept out of the reach of handshakes, for connections already in.
  int max_handshakes_per_address = 8;
  // The lock after a first wrong credential, doubled for each further one up
  // to the ceiling.
  int login_backoff_first_ms = 1000;
  int login_backoff_max_ms = 60000;
  // Bytes that frames in progress may hold across all connections.
  size_t max_memory = size_t{256} << 20;
  // A handshaken connection silent this long is closed; 0 keeps it forever.
  int idle_timeout_ms = 30 * 60 * 1000;
  // Set: every connection must come over TLS with this certificate and key
  // (PEM files) and present this access token in a version-2 Hello (what
  // listening beyond loopback asks for). Start refuses a key file that its
  // group or others may read, and a token shorter than kMinTokenLength or
  // longer than a Hello carries (kMaxTokenLength). A client that speaks plain TCP or
  // version 1 is refused with a text. Unset: plain TCP, Hellos of version 1
  // and 2 alike, any token ignored.
  struct Security {
    std::string cert_file;
    std::string key_file;
    std::string access_token;
  };
  std::optional<Security> security;
  // Longest wait for the rest of a frame once begun, and for a client to take
  // an answer.
  int frame_timeout_ms = 30000;
  // Notices waiting for one client beyond this are replaced by one
  // reload-everything notice (notice_outlet.h).
  size_t max_queued_notices = 1000;
  // Unset: every Hello is admitted as before (after the token, in secure
  // mode). Set: told the user name and password of each Hello (empty before
  // version 3) from the connection's thread, and its verdict decides; a
  // wrong credential backs off like a wrong token.
  std::function<LoginVerdict(const std::string& user, const std::string& password)> authenticate;
  // Told of every call, from the connection's thread (concurrently for
  // different connections).
  std::function<void(const CallRecord&)> on_call;
  // Told of what happens to connections outside calls: connections accepted
  // and closed, refused handshakes, malformed frames, clients lost, summaries
  // of floods. Same threads as on_call, and the accepting thread. The texts
  // hold what clients sent (user names, methods): escape them before they
  // reach a terminal or a log (rtl::EscapeControls).
  std::function<void(std::string_view event)> on_event;
};

class Server {
 public:
  explicit Server(ServerOptions options);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Binds, listens and starts accepting. Throws EServerError.
  void Start();
  // The bound port; 0 before Start.
  uint16_t Port() const { return bound_port_; }
  void Stop();
  // Connections open now.
  int ConnectionCount() const;

 private:
  struct Connection;
  void AcceptLoop();
  void Serve(Connection& c);
  // The handshake of `c`: the object for its calls, or null once refused.
  std::unique_ptr<IRemoteObject> Handshake(Connection& c, uint16_t& version, ConnectionInfo& info);
  // Runs the calls of a handshaken connection until it ends; `outlet` (null
  // before version 4) carries its notices.
  void ServeCalls(detail::FrameSocket& socket, IRemoteObject& object, NoticeOutlet* outlet);
  // Waits for the next frame of a connection, sending its notices meanwhile.
  detail::IoStatus WaitForCall(detail::FrameSocket& socket, NoticeOutlet* outlet);
  // Sends the notices waiting in `outlet`; false when the connection is lost.
  bool SendNotices(detail::FrameSocket& socket, NoticeOutlet& outlet, bool woken = false);
  // Reserves `bytes` of the memory budget; false when they do not fit.
  bool Reserve(size_t bytes);
  void Release(size_t bytes);
  void ReapFinished();
  void Event(const std::string& text) const;

  ServerOptions options_;
  std::unique_ptr<detail::TlsContext> tls_;  // with options_.security
  std::unique_ptr<detail::Admission> admission_;
  int listen_fd_ = -1;
  int wake_read_ = -1;  // readable once Stop begins; ends every wait
  int wake_write_ = -1;
  uint16_t bound_port_ = 0;
  std::atomic<bool> stopping_{false};
  bool started_ = false;
  std::thread acceptor_;
  mutable std::mutex mutex_;
  std::list<std::unique_ptr<Connection>> connections_;
  std::mutex budget_mutex_;
  size_t memory_in_use_ = 0;  // reserved by frames in progress
};

}  // namespace net
