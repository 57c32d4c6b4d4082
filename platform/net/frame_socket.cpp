#include "net/frame_socket.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include "net/frame.h"
#include "net/link_messages.h"
#include "net/tls.h"

namespace net::detail {

namespace {

constexpr size_t kBufferSize = 64 * 1024;
// How much later than asked a read may give up, so that calls with the same
// time-out reuse the socket's receive time-out instead of setting it anew.
constexpr int kTimeoutSlackMs = 10;

}  // namespace

int RemainingMs(const Deadline& deadline) {
  if (!deadline) return -1;
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now()).count();
  return left <= 0 ? 0 : static_cast<int>(std::min<int64_t>(left, 1 << 30));
}

Deadline DeadlineIn(int timeout_ms) {
  if (timeout_ms <= 0) return std::nullopt;
  return Clock::now() + std::chrono::milliseconds(timeout_ms);
}

FrameSocket::FrameSocket(int fd) : fd_(fd), buffer_(kBufferSize) {
  // Blocking: every read or write that must not wait says so itself
  // (MSG_DONTWAIT), and the waiting read blocks in recv (FillBlocking).
  const int flags = fcntl(fd_, F_GETFL, 0);
  if (flags >= 0 && (flags & O_NONBLOCK)) fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
  const int one = 1;
  setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

FrameSocket::~FrameSocket() {
  if (ssl_) SSL_free(ssl_);
  close(fd_);
}

std::string FrameSocket::TlsSession() const {
  if (!ssl_) return {};
  return std::string(SSL_get_version(ssl_)) + " " + SSL_get_cipher_name(ssl_);
}

bool FrameSocket::TlsPending() const {
  return ssl_ && SSL_pending(ssl_) > 0;
}

ssize_t FrameSocket::TlsShortfall(int r, short& want, int closed_errno) {
  switch (SSL_get_error(ssl_, r)) {
    case SSL_ERROR_WANT_READ:
      want = POLLIN;
      return -1;
    case SSL_ERROR_WANT_WRITE:
      want = POLLOUT;
      return -1;
    case SSL_ERROR_ZERO_RETURN:
      return 0;
    case SSL_ERROR_SYSCALL:
      if (errno == 0 || errno == ECONNRESET || errno == closed_errno) return 0;
      Fail(errno);
      return -2;
    default:
      error_ = TlsErrorText();
      return -2;
  }
}

ssize_t FrameSocket::Receive(uint8_t* data, size_t n, short& want) {
  if (ssl_) {
    ERR_clear_error();
    const int r = SSL_read(ssl_, data, static_cast<int>(std::min<size_t>(n, 1 << 30)));
    return r > 0 ? r : TlsShortfall(r, want, /*closed_errno=*/ECONNRESET);
  }
  for (;;) {
    const ssize_t r = recv(fd_, data, n, MSG_DONTWAIT);
    if (r >= 0) return r;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      want = POLLIN;
      return -1;
    }
    if (errno == ECONNRESET) return 0;
    Fail(errno);
    return -2;
  }
}

ssize_t FrameSocket::Transmit(const uint8_t* data, size_t n, short& want) {
  if (ssl_) {
    ERR_clear_error();
    const int r = SSL_write(ssl_, data, static_cast<int>(std::min<size_t>(n, 1 << 30)));
    return r > 0 ? r : TlsShortfall(r, want, /*closed_errno=*/EPIPE);
  }
  for (;;) {
    const ssize_t r = send(fd_, data, n, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (r >= 0) return r;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      want = POLLOUT;
      return -1;
    }
    if (errno == EPIPE || errno == ECONNRESET) return 0;
    Fail(errno);
    return -2;
  }
}

IoStatus FrameSocket::StartTls(ssl_ctx_st* ctx, bool as_server, const std::string& host,
                               Deadline deadline, int wake_fd) {
  // OpenSSL reads and writes the descriptor itself, and must never block.
  const int flags = fcntl(fd_, F_GETFL, 0);
  if (flags >= 0) fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
  ERR_clear_error();
  ssl_ = SSL_new(ctx);
  if (!ssl_ || SSL_set_fd(ssl_, fd_) != 1) {
    error_ = TlsErrorText();
    return IoStatus::kError;
  }
  if (!as_server) {
    // The certificate must name the host dialled, as an address or a name.
    X509_VERIFY_PARAM* param = SSL_get0_param(ssl_);
    if (X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str()) != 1) {
      ERR_clear_error();
      SSL_set_tlsext_host_name(ssl_, host.c_str());
      X509_VERIFY_PARAM_set1_host(param, host.c_str(), 0);
    }
  }
  for (;;) {
    ERR_clear_error();
    const int r = as_server ? SSL_accept(ssl_) : SSL_connect(ssl_);
    if (r == 1) return IoStatus::kOk;
    short want = 0;
    switch (SSL_get_error(ssl_, r)) {
      case SSL_ERROR_WANT_READ:
        want = POLLIN;
        break;
      case SSL_ERROR_WANT_WRITE:
        want = POLLOUT;
        break;
      case SSL_ERROR_SYSCALL:
        if (errno == 0 || errno == ECONNRESET || errno == EPIPE) return IoStatus::kClosed;
        return Fail(errno);
      default: {
        const long verify = SSL_get_verify_result(ssl_);
        error_ = verify != X509_V_OK ? X509_verify_cert_error_string(verify) : TlsErrorText();
        return IoStatus::kError;
      }
    }
    const IoStatus waited = Wait(want, deadline, wake_fd);
    if (waited != IoStatus::kOk) return waited;
  }
}

IoStatus FrameSocket::PeekFirstByte(uint8_t& byte, Deadline deadline, int wake_fd) {
  for (;;) {
    const IoStatus waited = Wait(POLLIN, deadline, wake_fd);
    if (waited != IoStatus::kOk) return waited;
    const ssize_t n = recv(fd_, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n == 1) return IoStatus::kOk;
    if (n == 0) return IoStatus::kClosed;
    if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) return Fail(errno);
  }
}

IoStatus FrameSocket::Fail(int err) {
  error_ = SystemErrorText(err);
  return IoStatus::kError;
}

IoStatus FrameSocket::Wait(short events, Deadline deadline, int wake_fd) {
  pollfd fds[2] = {{fd_, events, 0}, {wake_fd, POLLIN, 0}};
  const nfds_t count = wake_fd >= 0 ? 2 : 1;
  for (;;) {
    const int n = poll(fds, count, RemainingMs(deadline));
    if (n < 0) {
      if (errno == EINTR) continue;
      return Fail(errno);
    }
    if (count == 2 && (fds[1].revents & POLLIN)) return IoStatus::kWoken;
    if (n == 0) return IoStatus::kTimeout;
    return IoStatus::kOk;  // ready, or an error the next recv/send reports
  }
}

// Reads whatever is available into the buffer, waiting when nothing is.
// With nothing buffered the next frame has most likely not arrived yet (the
// peer is waiting for us), so it waits first instead of trying a read that
// would only fail.
IoStatus FrameSocket::Fill(Deadline deadline, int wake_fd) {
  if (ReadsBlock(wake_fd)) return FillBlocking(deadline);
  if (begin_ == end_) {
    begin_ = end_ = 0;
    if (!TlsPending()) {
      const IoStatus waited = Wait(POLLIN, deadline, wake_fd);
      if (waited != IoStatus::kOk) return waited;
    }
  }
  if (end_ == buffer_.size()) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  for (;;) {
    short want = POLLIN;
    const ssize_t n = Receive(buffer_.data() + end_, buffer_.size() - end_, want);
    if (n > 0) {
      end_ += static_cast<size_t>(n);
      return IoStatus::kOk;
    }
    const IoStatus stalled = Stalled(n, want, deadline, wake_fd);
    if (stalled != IoStatus::kOk) return stalled;
  }
}

IoStatus FrameSocket::FillBlocking(Deadline deadline) {
  if (begin_ == end_) {
    begin_ = end_ = 0;
  } else if (end_ == buffer_.size()) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  for (;;) {
    if (interrupted_) return IoStatus::kWoken;
    if (!SetReceiveTimeout(deadline)) return IoStatus::kTimeout;
    const ssize_t n = recv(fd_, buffer_.data() + end_, buffer_.size() - end_, 0);
    if (n > 0) {
      end_ += static_cast<size_t>(n);
      return IoStatus::kOk;
    }
    if (n == 0 || errno == ECONNRESET) return interrupted_ ? IoStatus::kWoken : IoStatus::kClosed;
    // EAGAIN: the receive time-out ran out; the deadline decides.
    if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) return Fail(errno);
  }
}

bool FrameSocket::SetReceiveTimeout(const Deadline& deadline) {
  const int left = RemainingMs(deadline);
  if (left == 0) return false;
  const int want = left < 0 ? 0 : left;
  const int set = receive_timeout_ms_;
  if (set == want || (want > 0 && set >= want && set <= want + kTimeoutSlackMs)) return true;
  timeval tv{};
  tv.tv_sec = want / 1000;
  tv.tv_usec = (want % 1000) * 1000;
  if (setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) == 0) receive_timeout_ms_ = want;
  return true;
}

void FrameSocket::Interrupt() {
  interrupted_ = true;
  shutdown(fd_, SHUT_RD);
}

IoStatus FrameSocket::Stalled(ssize_t r, short want, Deadline deadline, int wake_fd) {
  if (r == 0) return IoStatus::kClosed;
  if (r == -2) return IoStatus::kError;
  return Wait(want, deadline, wake_fd);
}

template <class Io>
IoStatus FrameSocket::Transfer(size_t n, Io io, Deadline deadline, int wake_fd) {
  size_t done = 0;
  while (done < n) {
    short want = 0;
    const ssize_t r = io(done, want);
    if (r > 0) {
      done += static_cast<size_t>(r);
      continue;
    }
    const IoStatus stalled = Stalled(r, want, deadline, wake_fd);
    if (stalled != IoStatus::kOk) return stalled;
  }
  return IoStatus::kOk;
}

IoStatus FrameSocket::ReadInto(uint8_t* data, size_t n, Deadline deadline, int wake_fd) {
  return Transfer(
      n,
      [&](size_t done, short& want) {
        want = POLLIN;
        return Receive(data + done, n - done, want);
      },
      deadline, wake_fd);
}

IoStatus FrameSocket::ReadFrame(std::vector<uint8_t>& payload, uint32_t max_frame_size,
                                Deadline idle, Deadline rest, int wake_fd) {
  uint32_t length = 0;
  const IoStatus s = ReadLength(length, max_frame_size, idle, rest, wake_fd);
  if (s != IoStatus::kOk) return s;
  return ReadPayload(length, payload, rest, wake_fd);
}

bool FrameSocket::SentUnasked() {
  if (begin_ != end_ || TlsPending()) return true;
  uint8_t b;
  if (!ssl_) return recv(fd_, &b, 1, MSG_PEEK | MSG_DONTWAIT) > 0;
  pollfd p{fd_, POLLIN, 0};
  int n;
  do n = poll(&p, 1, 0);
  while (n < 0 && errno == EINTR);
  if (n <= 0) return false;
  ERR_clear_error();
  const int r = SSL_peek(ssl_, &b, 1);
  ERR_clear_error();
  return r > 0;
}

IoStatus FrameSocket::WaitForData(Deadline deadline, int wake_fd) {
  return begin_ != end_ ? IoStatus::kOk : Fill(deadline, wake_fd);
}

IoStatus FrameSocket::ReadLength(uint32_t& length, uint32_t max_frame_size, Deadline idle,
                                 Deadline rest, int wake_fd) {
  while (end_ - begin_ < kFrameHeaderSize) {
    const IoStatus s = Fill(begin_ == end_ ? idle : rest, wake_fd);
    if (s != IoStatus::kOk) return s;
  }
  length = DecodeFrameLength(
      std::span<const uint8_t, kFrameHeaderSize>(buffer_.data() + begin_, kFrameHeaderSize),
      max_frame_size);
  begin_ += kFrameHeaderSize;
  return IoStatus::kOk;
}

IoStatus FrameSocket::ReadPayload(uint32_t length, std::vector<uint8_t>& payload, Deadline rest,
                                  int wake_fd) {
  // A frame that fits the buffer is read through it, so one recv often
  // brings a whole answer; a larger one is read straight into the payload.
  if (length <= buffer_.size()) {
    while (end_ - begin_ < length) {
      const IoStatus s = Fill(rest, wake_fd);
      if (s != IoStatus::kOk) return s;
    }
    payload.assign(buffer_.data() + begin_, buffer_.data() + begin_ + length);
    begin_ += length;
    return IoStatus::kOk;
  }
  // The payload grows with the bytes that actually arrive, so a length
  // prefix alone never makes us hold its whole size.
  size_t got = end_ - begin_;
  payload.assign(buffer_.data() + begin_, buffer_.data() + end_);
  begin_ = end_ = 0;
  while (got < length) {
    const size_t chunk = std::min<size_t>(length - got, std::max(kBufferSize, got));
    payload.resize(got + chunk);
    const IoStatus s = ReadInto(payload.data() + got, chunk, rest, wake_fd);
    if (s != IoStatus::kOk) return s;
    got += chunk;
  }
  return IoStatus::kOk;
}

IoStatus FrameSocket::SkipPayload(uint32_t length, size_t keep, std::vector<uint8_t>& payload,
                                  Deadline rest, int wake_fd) {
  payload.clear();
  size_t left = length;
  while (left > 0) {
    if (begin_ == end_) {
      const IoStatus s = Fill(rest, wake_fd);
      if (s != IoStatus::kOk) return s;
    }
    const size_t n = std::min(left, end_ - begin_);
    const size_t kept = std::min(n, keep > payload.size() ? keep - payload.size() : 0);
    payload.insert(payload.end(), buffer_.data() + begin_, buffer_.data() + begin_ + kept);
    begin_ += n;
    left -= n;
  }
  return IoStatus::kOk;
}

IoStatus FrameSocket::Write(const std::vector<uint8_t>& bytes, Deadline deadline, int wake_fd) {
  return Transfer(
      bytes.size(),
      [&](size_t done, short& want) {
        want = POLLOUT;
        return Transmit(bytes.data() + done, bytes.size() - done, want);
      },
      deadline, wake_fd);
}

void FrameSocket::ShutdownWrite() {
  if (ssl_) {
    ERR_clear_error();
    SSL_shutdown(ssl_);  // close_notify, as far as the socket takes it now
  }
  shutdown(fd_, SHUT_WR);
}

void FrameSocket::DiscardPending() {
  uint8_t sink[4096];
  short want = 0;
  while (Receive(sink, sizeof sink, want) > 0) {
  }
}

}  // namespace net::detail
