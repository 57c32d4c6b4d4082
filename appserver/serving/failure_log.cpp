#include "appserver/serving/failure_log.h"

namespace appserver {

rtl::Variant FailureLoggingSession::Invoke(std::string_view method,
                                           std::vector<rtl::Variant>& args) {
  try {
    rtl::Variant answer = session_->Invoke(method, args);
    log_->Succeeded();
    return answer;
  } catch (const StorageError& e) {
    log_->Failed(e, client_, method);
    throw;
  }
}

void DatabaseFailureLog::Failed(const StorageError& e, std::string_view client,
                                std::string_view method) {
  if (e.Detail().empty() || !sink_) return;
  const auto now = std::chrono::steady_clock::now();
  std::string line;
  {
    std::lock_guard lock(mutex_);
    if (in_burst_ && now - last_line_ < kRepeatAfter) {
      ++untold_;
      return;
    }
    line = "Banco de dados: " + e.Message() + " — " + e.Detail() + " (cliente " +
           std::string(client) + ", " + std::string(method) + ")";
    if (untold_ > 0) line += "; mais " + std::to_string(untold_) + " falhas desde a última linha";
    untold_ = 0;
    last_line_ = now;
    in_burst_ = true;
  }
  sink_(line);
}

void DatabaseFailureLog::Succeeded() {
  if (!in_burst_.load(std::memory_order_relaxed)) return;
  int untold = 0;
  {
    std::lock_guard lock(mutex_);
    if (!in_burst_) return;
    in_burst_ = false;
    untold = untold_;
    untold_ = 0;
  }
  sink_("Banco de dados: as chamadas voltaram a ser atendidas" +
        (untold > 0 ? "; " + std::to_string(untold) + " falhas não registradas acima" : "") + ".");
}

}  // namespace appserver
