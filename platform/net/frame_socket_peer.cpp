// What a FrameSocket can tell of its peer without reading: whether it has
// gone, and how much of what was written it has not taken yet.
#include <linux/sockios.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <cerrno>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include "net/frame_socket.h"

namespace net::detail {

size_t FrameSocket::Unsent() const {
  int bytes = 0;
  return ioctl(fd_, SIOCOUTQ, &bytes) == 0 && bytes > 0 ? static_cast<size_t>(bytes) : 0;
}

bool FrameSocket::PeerClosed() {
  if (begin_ != end_ || TlsPending()) return false;
  pollfd p{fd_, POLLIN, 0};
  int n;
  do n = poll(&p, 1, 0);
  while (n < 0 && errno == EINTR);
  if (n <= 0) return false;
  if (p.revents & (POLLERR | POLLNVAL)) return true;
  uint8_t b;
  if (ssl_) {
    ERR_clear_error();
    const int r = SSL_peek(ssl_, &b, 1);
    const int why = r > 0 ? SSL_ERROR_NONE : SSL_get_error(ssl_, r);
    ERR_clear_error();
    return r <= 0 && why != SSL_ERROR_WANT_READ && why != SSL_ERROR_WANT_WRITE;
  }
  const ssize_t r = recv(fd_, &b, 1, MSG_PEEK | MSG_DONTWAIT);
  return r == 0 || (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

}  // namespace net::detail
