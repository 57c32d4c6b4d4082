// FrameSocket: one connected TCP socket that reads and writes whole frames,
// with deadlines and an optional wake descriptor that ends any wait (the
// server's stop signal). After StartTls everything it reads and writes goes
// through TLS. Internal to this library: the client connection and the
// server share it; nothing outside platform/net uses it.
//
// Without TLS, a read that has to wait blocks in the receive itself, bounded
// by the socket's own receive time-out, so a call costs a send and a receive
// and no poll; only a send that would block waits in poll. A read that must
// also watch a wake descriptor polls both, unless that descriptor is the one
// made interruptible (whoever signals it calls Interrupt too).
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ssl_st;
struct ssl_ctx_st;

namespace net::detail {

using Clock = std::chrono::steady_clock;
// nullopt: wait without limit.
using Deadline = std::optional<Clock::time_point>;
Deadline DeadlineIn(int timeout_ms);  // timeout_ms <= 0: no limit
// Milliseconds left before `deadline`: -1 without one, 0 once it has passed.
int RemainingMs(const Deadline& deadline);

enum class IoStatus {
  kOk,
  kClosed,   // the peer closed the connection
  kTimeout,  // the deadline passed
  kWoken,    // the wake descriptor became readable
  kError,    // a socket error; Error() says which
};

class FrameSocket {
 public:
  explicit FrameSocket(int fd);  // takes ownership; sets TCP_NODELAY
  ~FrameSocket();
  FrameSocket(const FrameSocket&) = delete;
  FrameSocket& operator=(const FrameSocket&) = delete;

  // Reads the next frame's payload. `idle` bounds the wait for its first
  // byte, `rest` the wait for the remaining ones once it has begun. A length
  // prefix of 0 or above `max_frame_size` throws EProtocolError; the stream
  // is then out of step and must be closed.
  IoStatus ReadFrame(std::vector<uint8_t>& payload, uint32_t max_frame_size, Deadline idle,
                     Deadline rest, int wake_fd = -1);
  // The two halves of ReadFrame, for a reader that decides between them
  // whether it takes the frame: the next frame's payload length, then either
  // its payload or, skipped without being kept, all of it but the first
  // `keep` bytes (which land in `payload`).
  IoStatus ReadLength(uint32_t& length, uint32_t max_frame_size, Deadline idle, Deadline rest,
                      int wake_fd = -1);
  IoStatus ReadPayload(uint32_t length, std::vector<uint8_t>& payload, Deadline rest,
                       int wake_fd = -1);
  IoStatus SkipPayload(uint32_t length, size_t keep, std::vector<uint8_t>& payload, Deadline rest,
                       int wake_fd = -1);
  // Waits until at least one byte of the next frame is there.
  IoStatus WaitForData(Deadline deadline, int wake_fd = -1);
  // True when the peer has sent something between calls, when nothing was
  // asked: a server says something then only as it closes the connection.
  bool SentUnasked();
  // True when the peer has closed its end (or the connection failed) and
  // nothing it sent is left to read; never waits.
  bool PeerClosed();
  // Bytes written that the peer has not acknowledged yet (the system's send
  // queue): what a peer that does not read leaves behind.
  size_t Unsent() const;
  // Bytes of a frame not yet taken are waiting in the buffer.
  bool HasBufferedBytes() const { return begin_ != end_; }
  IoStatus Write(const std::vector<uint8_t>& bytes, Deadline deadline, int wake_fd = -1);
  // Makes the connection a TLS connection, as the server end (accepting) or
  // the client end (checking that the certificate names `host`). kError with
  // Error() saying why when the TLS handshake fails.
  IoStatus StartTls(ssl_ctx_st* ctx, bool as_server, const std::string& host, Deadline deadline,
                    int wake_fd = -1);
  bool Secure() const { return ssl_ != nullptr; }
  // The TLS version and cipher agreed ("TLSv1.3 TLS_AES_256_GCM_SHA384"); ""
  // without TLS.
  std::string TlsSession() const;
  // The first byte the peer sent, left unread (a TLS connection begins with
  // 0x16, a plain frame with its length).
  IoStatus PeekFirstByte(uint8_t& byte, Deadline deadline, int wake_fd = -1);
  // Stops sending, so the peer reads the end of the stream after what was sent.
  void ShutdownWrite();
  // Reads and drops whatever has already arrived, without waiting.
  void DiscardPending();
  // From now on a read waiting on `wake_fd` blocks in the receive instead:
  // whoever signals `wake_fd` calls Interrupt too.
  void SetInterruptible(int wake_fd) { interruptible_fd_ = wake_fd; }
  // Ends any read waiting now or later with kWoken; thread-safe.
  void Interrupt();
  // Text of the last kError.
  const std::string& Error() const { return error_; }

 private:
  IoStatus Fill(Deadline deadline, int wake_fd);
  // Fill without TLS, waiting in the receive itself.
  IoStatus FillBlocking(Deadline deadline);
  bool ReadsBlock(int wake_fd) const {
    return !ssl_ && (wake_fd < 0 || wake_fd == interruptible_fd_);
  }
  // Sets the socket's receive time-out to what is left of `deadline`, unless
  // the one set already ends at most kTimeoutSlackMs later; false when the
  // deadline has passed.
  bool SetReceiveTimeout(const Deadline& deadline);
  IoStatus ReadInto(uint8_t* data, size_t n, Deadline deadline, int wake_fd);
  IoStatus Wait(short events, Deadline deadline, int wake_fd);
  // What a Receive or Transmit that moved nothing (`r` <= 0) leaves to do:
  // report the closed or failed connection, or wait for `want`; kOk: go on.
  IoStatus Stalled(ssize_t r, short want, Deadline deadline, int wake_fd);
  // Moves `n` bytes with `io(done, want)`, a Receive or Transmit of what is
  // left after `done` bytes, waiting for the socket between pieces.
  template <class Io>
  IoStatus Transfer(size_t n, Io io, Deadline deadline, int wake_fd);
  IoStatus Fail(int err);
  // One read or write of at most n bytes: the count, 0 when the peer closed,
  // -1 when it would block (`want` then says for what: POLLIN or POLLOUT),
  // -2 on an error (Error() says which).
  // What an SSL_read or SSL_write result r <= 0 means, as Receive and
  // Transmit answer: -1 wait for `want`, 0 the peer closed (also when errno
  // is ECONNRESET or `closed_errno`), -2 failed with the error recorded.
  ssize_t TlsShortfall(int r, short& want, int closed_errno);
  ssize_t Receive(uint8_t* data, size_t n, short& want);
  ssize_t Transmit(const uint8_t* data, size_t n, short& want);
  bool TlsPending() const;

  int fd_;
  ssl_st* ssl_ = nullptr;
  std::vector<uint8_t> buffer_;
  size_t begin_ = 0;  // unread bytes are buffer_[begin_, end_)
  size_t end_ = 0;
  std::string error_;
  int receive_timeout_ms_ = 0;  // as set on the socket; 0: none
  int interruptible_fd_ = -1;
  std::atomic<bool> interrupted_{false};
};

// Why a connection could not be made.
enum class ConnectFailure { kNone, kRefused, kTimeout, kUnknownHost, kOther };

// Connects to host:port within timeout_ms. Returns the descriptor, or -1 with
// `failure` set to the kind of failure and `error` to the reason (the
// system's text).
int ConnectTcp(const std::string& host, int port, int timeout_ms, std::string& error,
               ConnectFailure& failure);

}  // namespace net::detail
