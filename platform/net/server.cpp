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

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "net/frame_socket.h"
#include "net/tls.h"

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
      : socket(std::make_unique<FrameSocket>(fd)),
        refuse_only(refuse),
        peer_address(std::move(peer)) {}
  std::unique_ptr<FrameSocket> socket;  // released as soon as the connection ends
  const bool refuse_only;               // over the connection limit
  const std::string peer_address;
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
  if (options_.security) {
    if (options_.security->access_token.empty())
      throw EServerError("Conexões seguras precisam de uma chave de acesso");
    try {
      tls_ =
          detail::TlsContext::ForServer(options_.security->cert_file, options_.security->key_file);
    } catch (const detail::ETlsError& e) {
      throw EServerError(e.Message());
    }
  }
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
  if (tls_) {
    // A TLS connection opens with a handshake record (0x16); anything else is
    // a plain client, which is told in plain words why it is turned away.
    uint8_t first = 0;
    if (socket.PeekFirstByte(first, handshake, wake_read_) != IoStatus::kOk) return;
    if (first != 0x16)
      return refuse(
          "este servidor aceita apenas conexões seguras (TLS) com chave de acesso; "
          "configure o cliente com o certificado de autoridade (QMX_TLS_CA) e a chave "
          "(QMX_TOKEN_FILE)");
    const IoStatus status = socket.StartTls(tls_->get(), true, "", handshake, wake_read_);
    if (status != IoStatus::kOk) {
      if (status == IoStatus::kError) Event("Handshake TLS recusado: " + socket.Error());
      return;
    }
  }
  try {
    if (socket.ReadFrame(payload, std::min(options_.max_frame_size, kMaxHandshakeSize), handshake,
                         handshake, wake_read_) != IoStatus::kOk)
      return;
  } catch (const EProtocolError& e) {
    return refuse(e.Message());
  }
  std::unique_ptr<IRemoteObject> object;
  uint16_t version = kProtocolVersion;
  try {
    if (PeekFrameType(payload) != FrameType::kHello)
      return refuse("o primeiro quadro de uma conexão deve ser o handshake");
    const HelloFrame hello = DecodeHello(payload);
    if (hello.magic != kProtocolMagic) return refuse("o cliente não fala este protocolo");
    if (hello.version != kProtocolVersion && hello.version != kProtocolVersion1)
      return refuse("versão de protocolo " + std::to_string(hello.version) +
                    " não suportada (o servidor usa as versões 1 e " +
                    std::to_string(kProtocolVersion) + ")");
    if (tls_ && hello.version == kProtocolVersion1)
      return refuse(
          "a versão 1 do protocolo não é aceita em conexões remotas, pois não traz a chave "
          "de acesso; atualize o cliente");
    if (tls_ && !detail::SameToken(hello.token, options_.security->access_token))
      return refuse("chave de acesso inválida");
    if (hello.object_name != options_.object_name)
      return refuse("objeto remoto desconhecido: " + hello.object_name);
    if (c.refuse_only)
      return refuse("o servidor atingiu o limite de " + std::to_string(options_.max_connections) +
                    " conexões");
    object = options_.factory();
    if (!object) return refuse("o objeto remoto não pôde ser criado");
    object->SetConnectionInfo(ConnectionInfo{c.peer_address, hello.user_name, tls_ != nullptr});
    version = hello.version;
  } catch (const EProtocolError& e) {
    return refuse(e.Message());
  } catch (const std::exception& e) {
    return refuse(std::string("o objeto remoto não pôde ser criado: ") + e.what());
  }
  out.clear();
  EncodeAccept(out, version);
  if (socket.Write(out, DeadlineIn(options_.frame_timeout_ms), wake_read_) != IoStatus::kOk) return;
  ServeCalls(socket, *object);
}

bool Server::Reserve(size_t bytes) {
  std::lock_guard lock(budget_mutex_);
  if (bytes > options_.max_memory - std::min(memory_in_use_, options_.max_memory)) return false;
  memory_in_use_ += bytes;
  return true;
}

void Server::Release(size_t bytes) {
  std::lock_guard lock(budget_mutex_);
  memory_in_use_ -= bytes;
}

namespace {

std::string MiB(size_t bytes) {
  return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MiB";
}

}  // namespace

void Server::ServeCalls(FrameSocket& socket, IRemoteObject& object) {
  std::vector<uint8_t> payload;
  std::vector<uint8_t> out;
  const uint32_t max_frame = options_.max_frame_size;

  // The stream is out of step or the call cannot be trusted: say why, as far
  // as the client still listens, with the id 0 that tells it to close.
  auto close_with = [&](const std::string& why) {
    Event("Conexão encerrada: " + why);
    out.clear();
    EncodeFailure(out, 0, why);
    socket.Write(out, DeadlineIn(100));
    socket.DiscardPending();
  };
  auto cut_short = [&](IoStatus status) {
    if (status == IoStatus::kWoken) return;  // stopping
    if (status == IoStatus::kError) return Event("Conexão perdida: " + socket.Error());
    close_with(status == IoStatus::kTimeout
                   ? "Quadro inválido do protocolo: quadro incompleto (o restante não chegou em " +
                         std::to_string(options_.frame_timeout_ms) + " ms)"
                   : "Quadro inválido do protocolo: a conexão terminou no meio de um quadro");
  };

  while (!stopping_) {
    IoStatus status = socket.WaitForData(DeadlineIn(options_.idle_timeout_ms), wake_read_);
    if (status == IoStatus::kTimeout) {
      // Said before closing, so the client knows to open a new connection
      // for its next call rather than fail it.
      const std::string why = "Conexão encerrada após " +
                              std::to_string(options_.idle_timeout_ms / 1000) + " s sem chamadas";
      Event(why);
      out.clear();
      EncodeFailure(out, 0, why);
      socket.Write(out, DeadlineIn(100));
      return;
    }
    if (status == IoStatus::kError) Event("Conexão perdida: " + socket.Error());
    if (status != IoStatus::kOk) return;

    // The frame's own time-out runs from its first byte.
    const Deadline rest = DeadlineIn(options_.frame_timeout_ms);
    uint32_t length = 0;
    try {
      status = socket.ReadLength(length, max_frame, rest, rest, wake_read_);
    } catch (const EProtocolError& e) {
      return close_with(e.Message());
    }
    if (status != IoStatus::kOk) return cut_short(status);

    const size_t cost = length > kUncountedFrameSize ? size_t{2} * length : 0;
    if (cost > 0 && !Reserve(cost)) {
      // Dropped as it arrives; the call id is all that is kept of it.
      status = socket.SkipPayload(length, 5, payload, rest, wake_read_);
      if (status != IoStatus::kOk) return cut_short(status);
      const std::string text =
          cost > options_.max_memory
              ? "O pedido de " + MiB(length) + " não cabe no limite de " +
                    MiB(options_.max_memory) + " para os pedidos em andamento do servidor."
              : "O servidor não tem memória livre agora para um pedido de " + MiB(length) +
                    " (limite de " + MiB(options_.max_memory) +
                    " para os pedidos em andamento); tente de novo em instantes.";
      Event("Chamada recusada: " + text);
      out.clear();
      EncodeFailure(out, PeekCallId(payload), text);
      if (socket.Write(out, DeadlineIn(options_.frame_timeout_ms)) != IoStatus::kOk) return;
      continue;
    }
    struct Held {
      Server& server;
      size_t bytes;
      ~Held() {
        if (bytes) server.Release(bytes);
      }
    } held{*this, cost};

    status = socket.ReadPayload(length, payload, rest, wake_read_);
    if (status != IoStatus::kOk) return cut_short(status);

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
      // Id 0 is what a failure that closes the connection carries; a call
      // answered under it would look like one.
      if (call.call_id == 0)
        return close_with("Quadro inválido do protocolo: chamada com identificador 0");
      method = std::move(call.method);
      rtl::Variant result = object.Invoke(method, call.args);
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
