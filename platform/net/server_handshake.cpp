// The handshake of a new connection: TLS where the server asks for it, then
// the client's Hello checked and answered with an Accept or a refusal text.
#include <algorithm>

#include "net/admission.h"
#include "net/login_refusal.h"
#include "net/server.h"
#include "net/server_connection.h"
#include "net/tls.h"

namespace net {

using detail::Deadline;
using detail::DeadlineIn;
using detail::FrameSocket;
using detail::IoStatus;

namespace {

// The user of a connection as a log line names it. An unverified name is
// whatever the client sent: the log escapes it (ServerOptions::on_event).
std::string UserForLog(const std::string& user_name, bool verified = false) {
  if (verified) return "conta \"" + user_name + "\"";
  return user_name.empty() ? "sem usuário" : "usuário \"" + user_name + "\" (não verificado)";
}

std::string Seconds(int64_t ms) {
  return std::to_string((ms + 999) / 1000) + " s";
}

}  // namespace

void Server::Serve(Connection& c) {
  // The address's handshake slot is given back however the handshake ends.
  struct Pending {
    detail::Admission& admission;
    const std::string& host;
    bool held = true;
    void End() {
      if (held) admission.EndHandshake(host);
      held = false;
    }
    ~Pending() { End(); }
  } pending{*admission_, c.host};

  uint16_t version = kProtocolVersion;
  ConnectionInfo info;
  std::unique_ptr<IRemoteObject> object = Handshake(c, version, info);
  pending.End();
  if (!object) return;
  std::vector<uint8_t> out;
  EncodeAccept(out, version, info.verified ? info.user_name : "", info.role);
  if (c.socket->Write(out, DeadlineIn(options_.handshake_timeout_ms), wake_read_) != IoStatus::kOk)
    return;
  Event("Conexão aceita de " + c.peer_address + ", " + c.who);
  NoticeOutlet* outlet = nullptr;
  if (version >= kProtocolVersion) {
    outlet = c.outlet.get();
    object->SetNoticeOutlet(c.outlet);
  }
  ServeCalls(*c.socket, *object, outlet);
  Event("Conexão encerrada de " + c.peer_address + ", " + c.who);
}

std::unique_ptr<IRemoteObject> Server::Handshake(Connection& c, uint16_t& version,
                                                 ConnectionInfo& info) {
  FrameSocket& socket = *c.socket;
  std::vector<uint8_t> payload;
  const Deadline handshake = DeadlineIn(options_.handshake_timeout_ms);

  auto refuse = [&](const std::string& text, bool log = true) -> std::unique_ptr<IRemoteObject> {
    if (log) Event("Handshake de " + c.peer_address + " recusado: " + text);
    std::vector<uint8_t> out;
    EncodeRefuse(out, text);
    socket.Write(out, handshake, wake_read_);
    socket.DiscardPending();
    socket.ShutdownWrite();
    return nullptr;
  };

  if (tls_) {
    // A TLS connection opens with a handshake record (0x16); anything else is
    // a plain client, which is told in plain words why it is turned away.
    uint8_t first = 0;
    if (socket.PeekFirstByte(first, handshake, wake_read_) != IoStatus::kOk) return nullptr;
    if (first != 0x16)
      return refuse(
          "este servidor aceita apenas conexões seguras (TLS) com chave de acesso; "
          "configure o cliente com o certificado de autoridade (QMX_TLS_CA) e a chave "
          "(QMX_TOKEN_FILE)");
    const IoStatus status = socket.StartTls(tls_->get(), true, "", handshake, wake_read_);
    if (status != IoStatus::kOk) {
      if (status == IoStatus::kError)
        Event("Handshake TLS de " + c.peer_address + " recusado: " + socket.Error());
      return nullptr;
    }
  }
  try {
    if (socket.ReadFrame(payload, std::min(options_.max_frame_size, kMaxHandshakeSize), handshake,
                         handshake, wake_read_) != IoStatus::kOk)
      return nullptr;
  } catch (const EProtocolError& e) {
    return refuse(e.Message());
  }
  try {
    if (PeekFrameType(payload) != FrameType::kHello)
      return refuse("o primeiro quadro de uma conexão deve ser o handshake");
    const HelloFrame hello = DecodeHello(payload);
    if (hello.magic != kProtocolMagic) return refuse("o cliente não fala este protocolo");
    if (hello.version < kProtocolVersion1 || hello.version > kProtocolVersion)
      return refuse("versão de protocolo " + std::to_string(hello.version) +
                    " não suportada (o servidor usa as versões 1 a " +
                    std::to_string(kProtocolVersion) + ")");
    if (tls_ && hello.version == kProtocolVersion1)
      return refuse(
          "este servidor exige a chave de acesso, que a versão 1 do protocolo não traz; "
          "atualize o cliente");
    // Sending none is a client not set up, not a guess: told apart, and not
    // held against the address.
    if (tls_ && hello.token.empty())
      return refuse(
          "o cliente não enviou a chave de acesso que este servidor exige; configure-a "
          "(QMX_TOKEN_FILE)");
    // A locked address is not told whether its credential was right.
    if (tls_ || options_.authenticate)
      if (const int64_t locked = admission_->LockedForMs(c.host))
        return refuse(LockedRefusal(Seconds(locked)), false);
    auto wrong = [&](const std::string& what) {
      const int64_t lock = admission_->LoginFailed(c.host);
      Event("Acesso recusado de " + c.peer_address + ", " + UserForLog(hello.user_name) + ": " +
            what + "; o endereço espera " + Seconds(lock) + " antes de nova tentativa");
      return refuse(what, false);
    };
    if (tls_ && !detail::SameToken(hello.token, options_.security->access_token))
      return wrong("chave de acesso inválida");
    info.peer_address = c.peer_address;
    info.user_name = hello.user_name;
    info.secure = tls_ != nullptr;
    if (options_.authenticate) {
      const LoginVerdict verdict = options_.authenticate(hello.user_name, hello.password);
      switch (verdict.kind) {
        case LoginVerdict::Kind::kOpen:
          break;
        case LoginVerdict::Kind::kNeedsLogin:
          return refuse(NeedsLoginRefusal(hello.version >= kProtocolVersion3));
        case LoginVerdict::Kind::kWrongCredential:
          return wrong(WrongCredentialRefusal());
        case LoginVerdict::Kind::kDisabled:
          return refuse(DisabledRefusal(verdict.account));
        case LoginVerdict::Kind::kAdmitted:
          info.user_name = verdict.account;
          info.verified = true;
          info.role = verdict.role;
          break;
      }
    }
    if (tls_ || options_.authenticate) admission_->LoginSucceeded(c.host);
    if (hello.object_name != options_.object_name)
      return refuse("objeto remoto desconhecido: " + hello.object_name);
    if (c.refuse_only)
      return refuse("o servidor atingiu o limite de " + std::to_string(options_.max_connections) +
                    " conexões");
    std::unique_ptr<IRemoteObject> object = options_.factory();
    if (!object) return refuse("o objeto remoto não pôde ser criado");
    object->SetConnectionInfo(info);
    c.who = UserForLog(info.user_name, info.verified) +
            (info.verified ? " (" + info.role + ")" : std::string());
    version = hello.version;
    return object;
  } catch (const EProtocolError& e) {
    return refuse(e.Message());
  } catch (const std::exception& e) {
    return refuse(std::string("o objeto remoto não pôde ser criado: ") + e.what());
  }
}

}  // namespace net
