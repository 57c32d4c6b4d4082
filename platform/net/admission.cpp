#include "net/admission.h"

#include <algorithm>

namespace net::detail {

namespace {

// Addresses remembered at most; beyond this, those with nothing pending and
// no lock are forgotten first, so spoofed sources cannot grow the map.
constexpr size_t kMaxRemembered = 4096;

int64_t Ms(Admission::Clock::duration d) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
}

}  // namespace

bool Admission::BeginHandshake(const std::string& host, Clock::time_point now) {
  std::lock_guard lock(mutex_);
  if (addresses_.size() >= kMaxRemembered && !addresses_.contains(host)) {
    std::erase_if(addresses_, [now](const auto& entry) {
      return entry.second.pending == 0 && entry.second.locked_until <= now &&
             entry.second.dropped == 0 && entry.second.throttled == 0;
    });
    // Still full: every entry holds a connection or a lock; the newcomer waits.
    if (addresses_.size() >= kMaxRemembered) return false;
  }
  Address& a = addresses_[host];
  a.last_seen = now;
  if (a.pending >= limits_.max_pending_per_address || pending_total_ >= limits_.max_pending_total) {
    ++a.dropped;
    return false;
  }
  ++a.pending;
  ++pending_total_;
  return true;
}

void Admission::EndHandshake(const std::string& host) {
  std::lock_guard lock(mutex_);
  auto it = addresses_.find(host);
  if (it == addresses_.end() || it->second.pending == 0) return;
  --it->second.pending;
  --pending_total_;
}

int64_t Admission::LockedForMs(const std::string& host, Clock::time_point now) {
  std::lock_guard lock(mutex_);
  auto it = addresses_.find(host);
  if (it == addresses_.end() || it->second.locked_until <= now) return 0;
  ++it->second.throttled;
  return std::max<int64_t>(1, Ms(it->second.locked_until - now));
}

int64_t Admission::LoginFailed(const std::string& host, Clock::time_point now) {
  std::lock_guard lock(mutex_);
  Address& a = addresses_[host];
  a.last_seen = now;
  int64_t ms = limits_.backoff_first_ms;
  for (int i = 0; i < a.failures && ms < limits_.backoff_max_ms; ++i) ms *= 2;
  ms = std::min<int64_t>(ms, limits_.backoff_max_ms);
  ++a.failures;
  a.locked_until = now + std::chrono::milliseconds(ms);
  return ms;
}

void Admission::LoginSucceeded(const std::string& host) {
  std::lock_guard lock(mutex_);
  auto it = addresses_.find(host);
  if (it == addresses_.end()) return;
  it->second.failures = 0;
  it->second.locked_until = {};
}

std::string Admission::SummaryOf(const std::string& host, Address& a) const {
  std::string line = host + ":";
  if (a.dropped > 0)
    line += " " + std::to_string(a.dropped) + " conexões fechadas sem resposta (limite de " +
            std::to_string(limits_.max_pending_per_address) +
            " handshakes em andamento por endereço, " + std::to_string(limits_.max_pending_total) +
            " ao todo)";
  if (a.throttled > 0)
    line += std::string(a.dropped > 0 ? ";" : "") + " " + std::to_string(a.throttled) +
            " tentativas de acesso recusadas durante o bloqueio por falhas";
  a.dropped = 0;
  a.throttled = 0;
  return line;
}

std::vector<std::string> Admission::DueSummaries(Clock::time_point now) {
  std::vector<std::string> lines;
  std::lock_guard lock(mutex_);
  for (auto it = addresses_.begin(); it != addresses_.end();) {
    Address& a = it->second;
    if ((a.dropped > 0 || a.throttled > 0) &&
        Ms(now - a.last_summary) >= limits_.summary_interval_ms) {
      lines.push_back(SummaryOf(it->first, a));
      a.last_summary = now;
    }
    // Forgotten once nothing is pending and its lock has long run out.
    const bool idle = a.pending == 0 && a.dropped == 0 && a.throttled == 0 &&
                      a.locked_until <= now &&
                      Ms(now - a.last_seen) > 2 * int64_t{limits_.backoff_max_ms};
    it = idle ? addresses_.erase(it) : std::next(it);
  }
  return lines;
}

}  // namespace net::detail
