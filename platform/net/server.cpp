#include "net/server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "net/frame_socket.h"

namespace net {

using detail::Clock;
using detail::Deadline;
using detail::DeadlineIn;
using detail::FrameSocket;
using detail::IoStatus;

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

// "ADDR:PORT" of an accepted peer, IPv6 in brackets; "" when unknown.
std::string PeerAddress(const sockaddr_storage& peer) {
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
  return text;
}

}  // namespace

struct Server::Connection {
  Connection(int fd, bool refuse, std::string peer)
      : socket(std::make_unique<FrameSocket>(fd)), refuse_only(refuse), peer(std::move(peer)) {}
  std::unique_ptr<FrameSocket> socket;  // released as soon as the connection ends
  const bool refuse_only;               // over the connection limit
  const std::string peer;               // the client's address
  std::atomic<bool> done{false};
  std::thread thread;
};

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
  // flight, sees the wake descriptor and ends.
  std::list<std::unique_ptr<Connection>> all;
  {
    std::lock_guard lock(mutex_);
    all.swap(connections_);
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
    pollfd fds[2] = {{listen_fd_, POLLIN, 0}, {wake_read_, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0 && errno != EINTR) {
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
    ReapFinished();
    std::lock_guard lock(mutex_);
    const int open = static_cast<int>(connections_.size());
    if (open >= options_.max_connections + kMaxRefusing) {
      close(fd);
      Event("Conexão recusada sem resposta: limite de conexões atingido");
      continue;
    }
    auto c = std::make_unique<Connection>(fd, open >= options_.max_connections, PeerAddress(peer));
    Connection& ref = *c;
    connections_.push_back(std::move(c));
    ref.thread = std::thread([this, &ref] {
      try {
        Serve(ref);
      } catch (const std::exception& e) {
        Event(std::string("Conexão encerrada por falha inesperada: ") + e.what());
      }
      ref.socket.reset();
      ref.done = true;
    });
  }
}

void Server::Serve(Connection& c) {
  FrameSocket& socket = *c.socket;
  std::vector<uint8_t> payload;
  std::vector<uint8_t> out;
  const uint32_t max_frame = options_.max_frame_size;

  auto refuse = [&](const std::string& text) {
    Event("Handshake recusado: " + text);
    out.clear();
    EncodeRefuse(out, text);
    socket.Write(out, DeadlineIn(options_.frame_timeout_ms), wake_read_);
    socket.DiscardPending();
    socket.ShutdownWrite();
  };

  // Handshake.
  const Deadline handshake = DeadlineIn(options_.frame_timeout_ms);
  try {
    if (socket.ReadFrame(payload, max_frame, handshake, handshake, wake_read_) != IoStatus::kOk)
      return;
  } catch (const EProtocolError& e) {
    return refuse(e.Message());
  }
  std::unique_ptr<IRemoteObject> object;
  try {
    if (PeekFrameType(payload) != FrameType::kHello)
      return refuse("o primeiro quadro de uma conexão deve ser o handshake");
    const HelloFrame hello = DecodeHello(payload);
    if (hello.magic != kProtocolMagic) return refuse("o cliente não fala este protocolo");
    if (hello.version != kProtocolVersion)
      return refuse("versão de protocolo " + std::to_string(hello.version) +
                    " não suportada (o servidor usa a versão " + std::to_string(kProtocolVersion) +
                    ")");
    if (hello.object_name != options_.object_name)
      return refuse("objeto remoto desconhecido: " + hello.object_name);
    if (c.refuse_only)
      return refuse("o servidor atingiu o limite de " + std::to_string(options_.max_connections) +
                    " conexões");
    object = options_.factory();
    if (!object) return refuse("o objeto remoto não pôde ser criado");
    object->SetConnectionInfo(ConnectionInfo{c.peer, ""});
  } catch (const EProtocolError& e) {
    return refuse(e.Message());
  } catch (const std::exception& e) {
    return refuse(std::string("o objeto remoto não pôde ser criado: ") + e.what());
  }
  out.clear();
  EncodeAccept(out);
  if (socket.Write(out, DeadlineIn(options_.frame_timeout_ms), wake_read_) != IoStatus::kOk) return;

  // Calls, one at a time.
  while (!stopping_) {
    IoStatus status;
    try {
      status = socket.ReadFrame(payload, max_frame, std::nullopt,
                                DeadlineIn(options_.frame_timeout_ms), wake_read_);
    } catch (const EProtocolError& e) {
      // The stream is out of step: say why, as far as the client still
      // listens, and close.
      Event("Conexão encerrada: " + e.Message());
      out.clear();
      EncodeFailure(out, 0, e.Message());
      socket.Write(out, DeadlineIn(100));
      socket.DiscardPending();
      return;
    }
    if (status == IoStatus::kTimeout) Event("Conexão encerrada: quadro incompleto");
    if (status == IoStatus::kError) Event("Conexão perdida: " + socket.Error());
    if (status != IoStatus::kOk) return;

    const auto started = Clock::now();
    const uint32_t call_id = PeekCallId(payload);
    std::string method;
    std::string failure;
    out.clear();
    try {
      if (PeekFrameType(payload) != FrameType::kCall)
        throw EProtocolError(
            "Quadro inválido do protocolo: quadro inesperado, esperava uma chamada");
      CallFrame call = DecodeCall(payload);
      method = std::move(call.method);
      rtl::Variant result = object->Invoke(method, call.args);
      if (call.args.size() != call.by_ref.size())
        throw ECallError("O método " + method + " alterou o número de argumentos");
      try {
        EncodeAnswer(out, call.call_id, result, call.args, call.by_ref, max_frame);
      } catch (const EProtocolError& e) {
        failure = "A resposta de " + method + " não pôde ser enviada: " + e.Message();
      }
    } catch (const std::exception& e) {
      failure = e.what();
    } catch (...) {
      failure = "Falha desconhecida no servidor";
    }
    if (!failure.empty() || out.empty()) {
      if (failure.empty()) failure = "Falha desconhecida no servidor";
      out.clear();
      EncodeFailure(out, call_id, failure);
    }
    if (options_.on_call) {
      const auto took =
          std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started);
      try {
        options_.on_call(CallRecord{method, took, failure.empty(), failure});
      } catch (const std::exception& e) {  // a failing log never costs the client its answer
        Event(std::string("Falha ao registrar a chamada: ") + e.what());
      }
    }
    // The answer of a call in flight is sent even while stopping.
    status = socket.Write(out, DeadlineIn(options_.frame_timeout_ms));
    // Keep the buffers of a connection small between large calls.
    constexpr size_t kKeptCapacity = 1u << 20;
    if (payload.capacity() > kKeptCapacity) std::vector<uint8_t>().swap(payload);
    if (out.capacity() > kKeptCapacity) std::vector<uint8_t>().swap(out);
    if (status != IoStatus::kOk) {
      Event(status == IoStatus::kClosed ? "Cliente desconectou antes da resposta de " + method
                                        : "Resposta de " + method + " não entregue");
      return;
    }
  }
}

}  // namespace net
