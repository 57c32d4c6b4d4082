// The calls of a handshaken connection, one at a time, and the memory budget
// their frames are held against.
#include <algorithm>

#include "net/frame_socket.h"
#include "net/notice_outlet.h"
#include "net/server.h"

namespace net {

using detail::Clock;
using detail::Deadline;
using detail::DeadlineIn;
using detail::FrameSocket;
using detail::IoStatus;

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

void Server::ServeCalls(FrameSocket& socket, IRemoteObject& object, NoticeOutlet* outlet) {
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
    IoStatus status = WaitForCall(socket, outlet);
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

    // A client's wish for notices is answered by the notices themselves.
    if (outlet && !payload.empty() && payload[0] == static_cast<uint8_t>(FrameType::kSubscribe)) {
      try {
        outlet->SetSubscribed(DecodeSubscribe(payload).on);
        continue;
      } catch (const EProtocolError&) {
        // answered below as any frame that is not a call
      }
    }

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
    // What the call's own commit, or another connection's, left for this one.
    if (outlet && !SendNotices(socket, *outlet)) return;
  }
}

}  // namespace net
