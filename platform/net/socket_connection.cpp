#include "net/socket_connection.h"

#include <memory>

#include "net/frame_socket.h"
#include "net/link_messages.h"
#include "net/tls.h"

namespace net {

namespace {

// A server closes a connection only after it has been idle for much longer
// than this, so a call this soon after the last answer need not look for its
// parting words first (a system call per call saved); notices that came
// meanwhile are read ahead of the call's answer all the same.
constexpr auto kIdleCheckAfter = std::chrono::milliseconds(50);

}  // namespace

using detail::Clock;
using detail::DeadlineIn;
using detail::FrameSocket;
using detail::IoStatus;

namespace {

// A Hello the server refused for its login: what the person can be asked
// about again.
class ELoginRefused : public ECallError {
 public:
  ELoginRefused(std::string message, LoginRefusal refusal, std::string server_text)
      : ECallError(std::move(message)), refusal_(refusal), server_text_(std::move(server_text)) {}
  LoginRefusal Refusal() const { return refusal_; }
  const std::string& ServerText() const { return server_text_; }

 private:
  LoginRefusal refusal_;
  std::string server_text_;
};

}  // namespace

// The open socket (if any) and the dispatch interface the owner hands out.
class TSocketConnection::Link final : public IAppServer {
 public:
  explicit Link(TSocketConnection& owner) : owner_(owner) {}

  bool Open() const { return socket_ != nullptr; }
  void Connect();
  void Disconnect() { socket_.reset(); }
  // Asks the open link's server for notices, or for none; false when the
  // link is lost.
  bool Subscribe(bool on);
  // Takes every whole frame the server sent unasked, setting notices aside;
  // false when the link must be opened again (the server closed it, said why
  // as it did, or sent something out of place).
  bool DrainUnasked();
  bool PeerGone() const { return socket_->PeerClosed(); }

 protected:
  rtl::Variant Invoke(std::string_view method, std::vector<Arg>& args) override;

 private:
  std::string Address() const { return owner_.Host() + ":" + std::to_string(owner_.Port()); }
  // Closes the link after a failure that leaves the stream unusable and
  // throws `message` with `detail`.
  [[noreturn]] void Lose(const std::string& message, const std::string& detail);
  // The technical detail of a failed exchange, for the log.
  std::string IoText(IoStatus status, std::string_view method) const;

  TSocketConnection& owner_;
  std::unique_ptr<FrameSocket> socket_;
  uint32_t last_call_id_ = 0;
  std::unique_ptr<detail::TlsContext> tls_;  // made for tls_ca_ when first needed
  std::string tls_ca_;
  std::vector<uint8_t> out_;      // reused for every frame sent
  std::vector<uint8_t> payload_;  // reused for every frame received
  Clock::time_point last_answer_{};
};

void TSocketConnection::Link::Connect() {
  const std::string address = Address();
  const std::string cannot = "Não foi possível conectar ao servidor de aplicação em " + address;
  const ClientSecurity& security = owner_.Security();
  out_.clear();
  try {
    EncodeHello(out_, owner_.ServerName(), owner_.MaxFrameSize());  // checks the name alone
  } catch (const EProtocolError&) {
    throw ECallError(cannot + ": nome do objeto remoto inválido (" + owner_.ServerName() + ")");
  }
  out_.clear();
  try {
    HelloFrame hello;
    hello.version = kProtocolVersion;
    hello.object_name = owner_.ServerName();
    hello.token = security.token;
    hello.user_name = security.user_name.substr(0, kMaxUserNameLength);
    hello.password = security.password;
    EncodeHello(out_, hello, owner_.MaxFrameSize());
  } catch (const EProtocolError& e) {
    throw ECallError(cannot + ": " + e.Message());
  }
  if (!security.tls_ca_file.empty() && (!tls_ || tls_ca_ != security.tls_ca_file)) {
    try {
      tls_ = detail::TlsContext::ForClient(security.tls_ca_file);
      tls_ca_ = security.tls_ca_file;
    } catch (const detail::ETlsError& e) {
      throw ECallError(cannot + ": " + e.Message());
    }
  }
  std::string error;
  detail::ConnectFailure failure = detail::ConnectFailure::kNone;
  const int fd =
      detail::ConnectTcp(owner_.Host(), owner_.Port(), owner_.ConnectTimeoutMs(), error, failure);
  if (fd < 0)
    throw ECallError(detail::CannotConnectText(address, failure),
                     "conexão a " + address + ": " + error);
  auto socket = std::make_unique<FrameSocket>(fd);

  const auto deadline = DeadlineIn(owner_.ConnectTimeoutMs());
  IoStatus status = IoStatus::kOk;
  if (!security.tls_ca_file.empty()) {
    status = socket->StartTls(tls_->get(), false, owner_.Host(), deadline);
    if (status == IoStatus::kError)
      throw ECallError(cannot + ": a conexão segura (TLS) falhou: " + socket->Error());
  }
  if (status == IoStatus::kOk) status = socket->Write(out_, deadline);
  const auto not_a_server = [&address](const std::string& why) {
    return ECallError(detail::NotAnAppServerText(address),
                      "abertura da conexão com " + address + ": " + why);
  };
  try {
    if (status == IoStatus::kOk)
      status = socket->ReadFrame(payload_, owner_.MaxFrameSize(), deadline, deadline);
  } catch (const EProtocolError& e) {
    throw not_a_server(e.Message());
  }
  if (status != IoStatus::kOk) {
    const std::string why = status == IoStatus::kTimeout  ? "o servidor não respondeu ao handshake"
                            : status == IoStatus::kClosed ? "o servidor encerrou a conexão"
                                                          : socket->Error();
    throw ECallError(detail::NoHandshakeText(address),
                     "abertura da conexão com " + address + ": " + why);
  }
  try {
    switch (PeekFrameType(payload_)) {
      case FrameType::kAccept:
        if (auto accept = DecodeAccept(payload_); accept.version != kProtocolVersion) {
          throw EProtocolError("versão de protocolo " + std::to_string(accept.version) +
                               " inesperada");
        } else {
          owner_.account_ = std::move(accept.account);
          owner_.role_ = std::move(accept.role);
        }
        break;
      case FrameType::kRefuse: {
        std::string text = DecodeRefuse(payload_).text;
        std::string message =
            "O servidor de aplicação em " + address + " recusou a conexão: " + text;
        if (const LoginRefusal refusal = ClassifyRefusal(text); refusal != LoginRefusal::kNone)
          throw ELoginRefused(std::move(message), refusal, std::move(text));
        throw ECallError(std::move(message));
      }
      default:
        throw EProtocolError("resposta inesperada ao handshake");
    }
  } catch (const EProtocolError& e) {
    throw not_a_server(e.Message());
  }
  socket_ = std::move(socket);
  if (owner_.Notices()) {
    if (!Subscribe(true)) {
      socket_.reset();
      throw ECallError(detail::LinkLostText(address), "pedido de avisos a " + address);
    }
    // What changed while the link was down was told to nobody.
    if (owner_.opened_before_) owner_.Keep(NoticeFrame{});
  }
  owner_.opened_before_ = true;
}

bool TSocketConnection::Link::Subscribe(bool on) {
  std::vector<uint8_t> frame;
  EncodeSubscribe(frame, on);
  return socket_->Write(frame, DeadlineIn(owner_.ConnectTimeoutMs())) == IoStatus::kOk;
}

bool TSocketConnection::Link::DrainUnasked() {
  while (socket_->SentUnasked()) {
    try {
      // A frame that has begun to arrive is whole within moments.
      const auto rest = DeadlineIn(owner_.ConnectTimeoutMs());
      if (socket_->ReadFrame(payload_, owner_.MaxFrameSize(), rest, rest) != IoStatus::kOk)
        return false;
      if (PeekFrameType(payload_) != FrameType::kNotice) return false;
      owner_.Keep(DecodeNotice(payload_));
    } catch (const EProtocolError&) {
      return false;
    }
  }
  return true;
}

std::string TSocketConnection::Link::IoText(IoStatus status, std::string_view method) const {
  const std::string call = std::string(method) + " em " + Address() + ": ";
  switch (status) {
    case IoStatus::kTimeout:
      return call + "sem resposta em " + std::to_string(owner_.CallTimeoutMs()) + " ms";
    case IoStatus::kClosed:
      return call + "a conexão foi encerrada pelo outro lado";
    default:
      return call + socket_->Error();
  }
}

void TSocketConnection::Link::Lose(const std::string& message, const std::string& detail) {
  owner_.SetConnected(false);
  throw ECallError(message, detail);
}

rtl::Variant TSocketConnection::Link::Invoke(std::string_view method, std::vector<Arg>& args) {
  // A server that closes a connection left idle too long says so first: the
  // call goes out on a new connection instead of failing on the old one.
  if (Open() && Clock::now() - last_answer_ >= kIdleCheckAfter && !DrainUnasked())
    owner_.SetConnected(false);
  if (!Open()) owner_.SetConnected(true);
  const uint32_t call_id = ++last_call_id_ == 0 ? ++last_call_id_ : last_call_id_;
  out_.clear();
  try {
    EncodeCall(out_, call_id, method, args, owner_.MaxFrameSize());
  } catch (const EProtocolError& e) {  // nothing was sent; the link stays usable
    throw ECallError(
        "Os dados não puderam ser enviados ao servidor " + Address() + ": " + e.Message(),
        std::string(method) + ": " + e.Message());
  }
  const auto deadline = DeadlineIn(owner_.CallTimeoutMs());
  const std::string address = Address();
  try {
    IoStatus status = socket_->Write(out_, deadline);
    // Notices sent before the server read the call come ahead of its answer.
    for (;;) {
      if (status == IoStatus::kOk)
        status = socket_->ReadFrame(payload_, owner_.MaxFrameSize(), deadline, deadline);
      if (status != IoStatus::kOk || PeekFrameType(payload_) != FrameType::kNotice) break;
      owner_.Keep(DecodeNotice(payload_));
    }
    if (status == IoStatus::kTimeout)
      Lose(detail::NoAnswerText(address, owner_.CallTimeoutMs()), IoText(status, method));
    if (status != IoStatus::kOk) Lose(detail::LinkLostText(address), IoText(status, method));
    last_answer_ = Clock::now();
    switch (PeekFrameType(payload_)) {
      case FrameType::kAnswer: {
        AnswerFrame answer = DecodeAnswer(payload_);
        if (answer.call_id != call_id) throw EProtocolError("resposta de outra chamada");
        size_t refs = 0;
        for (const Arg& a : args) refs += a.ByRef() ? 1 : 0;
        if (answer.ref_values.size() != refs)
          throw EProtocolError(std::to_string(answer.ref_values.size()) +
                               " valores por referência para " + std::to_string(refs) +
                               " argumentos");
        size_t next = 0;
        for (Arg& a : args)
          if (a.ByRef()) *a.Target() = std::move(answer.ref_values[next++]);
        return std::move(answer.result);
      }
      case FrameType::kFailure: {
        FailureFrame failure = DecodeFailure(payload_);
        // Id 0: the server could not read the call and may have closed
        // the connection.
        if (failure.call_id == 0) Lose(failure.text, std::string(method) + ": " + failure.text);
        if (failure.call_id != call_id) throw EProtocolError("falha de outra chamada");
        throw ECallError(std::move(failure.text));
      }
      default:
        throw EProtocolError("quadro inesperado");
    }
  } catch (const EProtocolError& e) {
    Lose(detail::BadAnswerText(address),
         "resposta inválida de " + address + " a " + std::string(method) + ": " + e.Message());
  }
}

TSocketConnection::TSocketConnection(rtl::TComponent* owner)
    : rtl::TComponent(owner), link_(std::make_unique<Link>(*this)) {}

TSocketConnection::~TSocketConnection() = default;

bool TSocketConnection::Connected() const {
  return link_->Open();
}

void TSocketConnection::SetConnected(bool value) {
  if (value == Connected()) return;
  if (value) {
    if (BeforeConnect) BeforeConnect(this);
    ConnectLoggingIn();
    if (AfterConnect) AfterConnect(this);
  } else {
    link_->Disconnect();
    if (AfterDisconnect) AfterDisconnect(this);
  }
}

void TSocketConnection::ConnectLoggingIn() {
  bool asked = false;
  for (;;) {
    try {
      link_->Connect();
      break;
    } catch (const ELoginRefused& e) {
      ILoginPrompt* prompt = CurrentLoginPrompt();
      if (prompt == nullptr) throw;
      const std::string address = host_ + ":" + std::to_string(port_);
      const LoginRequest request{address, security_.user_name, e.Refusal(),
                                 detail::LoginRefusedText(e.Refusal(), e.ServerText())};
      std::string user_name = security_.user_name, password;
      // Giving up is the person's choice, not a failure to report.
      if (!prompt->Ask(request, user_name, password)) throw rtl::EAbort();
      security_.user_name = std::move(user_name);
      security_.password = std::move(password);
      asked = true;
    }
  }
  if (!asked) return;
  // What the person gave opens this process's later connections too (a
  // reconnection, another screen) without asking again; it stays in memory.
  ClientSecurity defaults = DefaultClientSecurity();
  defaults.user_name = security_.user_name;
  defaults.password = security_.password;
  SetDefaultClientSecurity(std::move(defaults));
  if (ILoginPrompt* prompt = CurrentLoginPrompt()) prompt->Admitted(account_, role_);
}

void TSocketConnection::SetNotices(bool on) {
  if (on == notices_) return;
  notices_ = on;
  if (!on) received_.clear();
  if (Connected() && !link_->Subscribe(on)) SetConnected(false);
}

void TSocketConnection::Keep(NoticeFrame notice) {
  // An owner that does not take its notices reads everything again instead.
  if (received_.size() >= kMaxKeptNotices || notice.kind == NoticeKind::kReloadAll) {
    received_.clear();
    notice = NoticeFrame{};
  }
  if (!received_.empty() && received_.back().kind == NoticeKind::kReloadAll) return;
  received_.push_back(std::move(notice));
}

std::vector<NoticeFrame> TSocketConnection::TakeNotices() {
  if (Connected() && (!link_->DrainUnasked() || link_->PeerGone())) SetConnected(false);
  std::vector<NoticeFrame> out(std::make_move_iterator(received_.begin()),
                               std::make_move_iterator(received_.end()));
  received_.clear();
  return out;
}

IAppServer& TSocketConnection::AppServer() {
  return *link_;
}

}  // namespace net
