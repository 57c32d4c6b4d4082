// Opening the TCP connection a FrameSocket then carries: name resolution and
// a connect bounded by a time-out, with the kind of failure told apart.
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "net/frame_socket.h"
#include "net/link_messages.h"

namespace net::detail {

int ConnectTcp(const std::string& host, int port, int timeout_ms, std::string& error,
               ConnectFailure& failure) {
  failure = ConnectFailure::kOther;
  if (port <= 0 || port > 65535) {
    error = "porta inválida";
    failure = ConnectFailure::kUnknownHost;
    return -1;
  }
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (const int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &found); rc != 0) {
    error = rc == EAI_NONAME  ? "nome de máquina desconhecido"
            : rc == EAI_AGAIN ? "falha temporária ao resolver o nome"
                              : std::string("falha ao resolver o nome: ") + gai_strerror(rc);
    failure = rc == EAI_SYSTEM ? ConnectFailure::kOther : ConnectFailure::kUnknownHost;
    return -1;
  }
  const Deadline deadline = DeadlineIn(timeout_ms);
  int fd = -1;
  error = "endereço não encontrado";
  for (addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) {
    const int s =
        socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
    if (s < 0) {
      error = SystemErrorText(errno);
      continue;
    }
    int err = 0;
    if (connect(s, a->ai_addr, a->ai_addrlen) != 0) {
      err = errno;
      if (err == EINPROGRESS) {
        pollfd p{s, POLLOUT, 0};
        int n;
        do n = poll(&p, 1, RemainingMs(deadline));
        while (n < 0 && errno == EINTR);
        if (n == 0) {
          err = ETIMEDOUT;
        } else {
          socklen_t len = sizeof err;
          if (getsockopt(s, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
        }
      }
    }
    if (err == 0) {
      fd = s;
    } else {
      error = err == ETIMEDOUT ? "tempo de conexão esgotado (" + std::to_string(timeout_ms) + " ms)"
                               : SystemErrorText(err);
      failure = err == ETIMEDOUT      ? ConnectFailure::kTimeout
                : err == ECONNREFUSED ? ConnectFailure::kRefused
                                      : ConnectFailure::kOther;
      close(s);
    }
  }
  freeaddrinfo(found);
  if (fd >= 0) failure = ConnectFailure::kNone;
  return fd;
}

}  // namespace net::detail
