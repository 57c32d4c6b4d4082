// The handshake of a new connection: TLS where the server asks for it, then
// the client's Hello checked and answered with an Accept or a refusal text.
#include <algorithm>

#include "net/server.h"
#include "net/server_connection.h"
#include "net/tls.h"

namespace net {

using detail::Deadline;
using detail::DeadlineIn;
using detail::FrameSocket;
using detail::IoStatus;

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

}  // namespace net
