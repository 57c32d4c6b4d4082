// The server's life and its connections: Start and Stop, the accepting
// thread, and the thread of each connection.
#include "net/server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <malloc.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "net/admission.h"
#include "net/private_file.h"
#include "net/server_connection.h"
#include "net/tls.h"

namespace net {

namespace {

// Connections over the limit still get a thread that reads their handshake
// and refuses it with a text, up to this many at once; beyond that they are
// closed at once.
constexpr int kMaxRefusing = 8;

bool IsLoopback(const sockaddr* a) {
  if (a->sa_family == AF_INET) {
    const auto* in = reinterpret_cast<const sockaddr_in*>(a);
    return (ntohl(in->sin_addr.s_addr) >> 24) == 127;
  }
  if (a->sa_family == AF_INET6) {
    const auto* in6 = reinterpret_cast<const sockaddr_in6*>(a);
    return IN6_IS_ADDR_LOOPBACK(&in6->sin6_addr);
  }
  return false;
}

std::string Errno() {
  return std::strerror(errno);
}

// "ADDR:PORT" of an accepted peer, IPv6 in brackets, and ADDR alone; both ""
// when unknown.
std::pair<std::string, std::string> PeerAddress(const sockaddr_storage& peer) {
  char host[INET6_ADDRSTRLEN] = {};
  char text[INET6_ADDRSTRLEN + 16] = {};
  if (peer.ss_family == AF_INET) {
    const auto& a = reinterpret_cast<const sockaddr_in&>(peer);
    if (!inet_ntop(AF_INET, &a.sin_addr, host, sizeof host)) return {};
    std::snprintf(text, sizeof text, "%s:%u", host, unsigned{ntohs(a.sin_port)});
  } else if (peer.ss_family == AF_INET6) {
    const auto& a = reinterpret_cast<const sockaddr_in6&>(peer);
    if (!inet_ntop(AF_INET6, &a.sin6_addr, host, sizeof host)) return {};
    std::snprintf(text, sizeof text, "[%s]:%u", host, unsigned{ntohs(a.sin6_port)});
  }
  return {text, host};
}

}  // namespace

Server::Server(ServerOptions options) : options_(std::move(options)) {}

Server::~Server() {
  Stop();
}

void Server::Event(const std::string& text) const {
  if (options_.on_event) options_.on_event(text);
}

void Server::Start() {
  if (started_) throw EServerError("O servidor já foi iniciado");
  if (!options_.factory || options_.object_name.empty())
    throw EServerError("O servidor precisa do nome do objeto remoto e de sua fábrica");
  if (options_.security) {
    const size_t token_length = options_.security->access_token.size();
    if (token_length == 0) throw EServerError("Conexões seguras precisam de uma chave de acesso");
    // Longer than a Hello carries, no client could ever log in.
    if (token_length < kMinTokenLength || token_length > kMaxTokenLength)
      throw EServerError("A chave de acesso tem " + std::to_string(token_length) +
                         " caracteres; use de " + std::to_string(kMinTokenLength) + " a " +
                         std::to_string(kMaxTokenLength) +
                         " (por exemplo: openssl rand -hex 32 > arquivo-da-chave)");
    try {
      RequirePrivateFile(options_.security->key_file, "O arquivo da chave TLS");
      tls_ =
          detail::TlsContext::ForServer(options_.security->cert_file, options_.security->key_file);
    } catch (const rtl::Exception& e) {
      throw EServerError(e.Message());
    }
  }
  detail::AdmissionLimits limits;
  limits.max_pending_per_address = std::max(1, options_.max_handshakes_per_address);
  limits.max_pending_total = std::max(1, options_.max_connections - options_.max_connections / 4);
  limits.backoff_first_ms = options_.login_backoff_first_ms;
  limits.backoff_max_ms = std::max(options_.login_backoff_first_ms, options_.login_backoff_max_ms);
  admission_ = std::make_unique<detail::Admission>(limits);
  const std::string where = options_.listen_address + ":" + std::to_string(options_.port);

  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(options_.port);
  if (const int rc = getaddrinfo(options_.listen_address.c_str(), service.c_str(), &hints, &found);
      rc != 0)
    throw EServerError("Endereço de escuta inválido " + where + ": " + gai_strerror(rc));
  std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> guard(found, &freeaddrinfo);
  if (!IsLoopback(found->ai_addr) && !options_.allow_non_loopback)
    throw EServerError("Escutar em " + where +
                       " expõe o servidor fora desta máquina; isso precisa ser pedido "
                       "explicitamente");

  const int fd = socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC, found->ai_protocol);
  if (fd < 0) throw EServerError("Não foi possível criar o socket de escuta: " + Errno());
  const int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (bind(fd, found->ai_addr, found->ai_addrlen) != 0 || listen(fd, 128) != 0) {
    const std::string why = Errno();
    close(fd);
    throw EServerError("Não foi possível escutar em " + where + ": " + why);
  }
  sockaddr_storage bound{};
  socklen_t len = sizeof bound;
  getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &len);
  bound_port_ =
      ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                        : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);

  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
    close(fd);
    throw EServerError("Não foi possível preparar o servidor: " + Errno());
  }
  // Blocks of a counted frame's size are then mapped for themselves and given
  // back to the system when freed, so what the budget lets in is what the
  // process holds; glibc otherwise raises this threshold as large blocks are
  // freed and keeps them cached in per-thread arenas.
  mallopt(M_MMAP_THRESHOLD, static_cast<int>(kUncountedFrameSize));
  listen_fd_ = fd;
  wake_read_ = pipe_fds[0];
  wake_write_ = pipe_fds[1];
  started_ = true;
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

void Server::Stop() {
  if (!started_ || stopping_.exchange(true)) return;
  const char byte = 1;
  while (write(wake_write_, &byte, 1) < 0 && errno == EINTR) {
  }
  acceptor_.join();
  // No new connection can appear now; each thread finishes its call in
  // flight, sees the wake descriptor or its interrupted socket and ends.
  std::list<std::unique_ptr<Connection>> all;
  {
    std::lock_guard lock(mutex_);
    all.swap(connections_);
  }
  // A connection waiting between calls waits on its notices, or in the
  // receive itself (FrameSocket::SetInterruptible).
  for (auto& c : all) {
    c->outlet->Wake();
    std::lock_guard lock(c->socket_mutex);
    if (c->socket) c->socket->Interrupt();
  }
  for (auto& c : all) c->thread.join();
  close(listen_fd_);
  close(wake_read_);
  close(wake_write_);
}

int Server::ConnectionCount() const {
  std::lock_guard lock(mutex_);
  int n = 0;
  for (const auto& c : connections_) n += c->done ? 0 : 1;
  return n;
}

void Server::ReapFinished() {
  std::list<std::unique_ptr<Connection>> finished;
  {
    std::lock_guard lock(mutex_);
    for (auto it = connections_.begin(); it != connections_.end();) {
      if ((*it)->done) {
        finished.push_back(std::move(*it));
        it = connections_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& c : finished) c->thread.join();
}

void Server::AcceptLoop() {
  for (;;) {
    for (const std::string& line : admission_->DueSummaries())
      Event("Conexões recusadas em massa de " + line);
    pollfd fds[2] = {{listen_fd_, POLLIN, 0}, {wake_read_, POLLIN, 0}};
    // Woken each second to tell the summaries due.
    if (poll(fds, 2, 1000) < 0 && errno != EINTR) {
      Event("Falha ao aguardar conexões: " + Errno());
      return;
    }
    if (fds[1].revents & POLLIN) return;
    if (!(fds[0].revents & POLLIN)) continue;
    sockaddr_storage peer{};
    socklen_t peer_size = sizeof peer;
    const int fd =
        accept4(listen_fd_, reinterpret_cast<sockaddr*>(&peer), &peer_size, SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno != EINTR && errno != EAGAIN && errno != ECONNABORTED)
        Event("Falha ao aceitar conexão: " + Errno());
      // Out of descriptors: back off instead of spinning on the same error.
      if (errno == EMFILE || errno == ENFILE) poll(nullptr, 0, 50);
      continue;
    }
    // A client whose machine vanished without closing is found out and
    // its thread freed within a few minutes.
    const int on = 1, idle_s = 60, interval_s = 10, probes = 3;
    setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle_s, sizeof idle_s);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval_s, sizeof interval_s);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
    auto [address, host] = PeerAddress(peer);
    // Over its address's share of handshakes: closed before it costs a thread.
    if (!admission_->BeginHandshake(host)) {
      close(fd);
      continue;
    }
    ReapFinished();
    std::lock_guard lock(mutex_);
    const int open = static_cast<int>(connections_.size());
    if (open >= options_.max_connections + kMaxRefusing) {
      admission_->EndHandshake(host);
      close(fd);
      Event("Conexão recusada sem resposta: limite de conexões atingido");
      continue;
    }
    auto c = std::make_unique<Connection>(fd, open >= options_.max_connections, std::move(address),
                                          std::move(host), options_.max_queued_notices, wake_read_);
    Connection& ref = *c;
    connections_.push_back(std::move(c));
    ref.thread = std::thread([this, &ref] {
      try {
        Serve(ref);
      } catch (const std::exception& e) {
        Event(std::string("Conexão encerrada por falha inesperada: ") + e.what());
      }
      {
        std::lock_guard lock(ref.socket_mutex);
        ref.socket.reset();
      }
      ref.done = true;
    });
  }
}

}  // namespace net
