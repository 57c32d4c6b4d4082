// Admission: what the server remembers of each client address to keep one
// address from locking out the others. Internal to the server.
//
// It counts the connections of each address that have not finished their
// handshake (the server closes at once one that would go over the limit for
// its address or over the room left for handshakes overall), and backs off
// failed logins per address: each failure checked locks the address for twice
// as long as the one before, from `backoff_first_ms` up to `backoff_max_ms`;
// while locked, a login is refused without looking at its credential. A
// success clears the address.
//
// What it turns away in bulk (connections closed at once, logins refused while
// locked) is told as one summary line per address and interval, not a line
// each. Thread-safe.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace net::detail {

struct AdmissionLimits {
  int max_pending_per_address = 8;
  int max_pending_total = 48;
  int backoff_first_ms = 1000;
  int backoff_max_ms = 60000;
  int summary_interval_ms = 10000;
};

class Admission {
 public:
  using Clock = std::chrono::steady_clock;
  explicit Admission(AdmissionLimits limits) : limits_(limits) {}

  // A new connection from `host` may begin its handshake; false: close it.
  bool BeginHandshake(const std::string& host, Clock::time_point now = Clock::now());
  // Its handshake is over, accepted or not.
  void EndHandshake(const std::string& host);

  // Milliseconds `host` stays locked after failed logins; 0 when it may try.
  // A login refused for this is counted for the summary.
  int64_t LockedForMs(const std::string& host, Clock::time_point now = Clock::now());
  // A credential from `host` was checked and found wrong: returns how long the
  // address is now locked, in milliseconds.
  int64_t LoginFailed(const std::string& host, Clock::time_point now = Clock::now());
  void LoginSucceeded(const std::string& host);

  // The summary lines due now (each address's refusals since its last line),
  // and the entries of addresses with nothing pending forgotten.
  std::vector<std::string> DueSummaries(Clock::time_point now = Clock::now());

 private:
  struct Address {
    int pending = 0;   // handshakes in progress
    int failures = 0;  // failed logins in a row
    Clock::time_point locked_until{};
    int dropped = 0;    // connections closed at once since the last summary
    int throttled = 0;  // logins refused while locked since the last summary
    Clock::time_point last_summary{};
    Clock::time_point last_seen{};
  };
  std::string SummaryOf(const std::string& host, Address& a) const;

  const AdmissionLimits limits_;
  std::mutex mutex_;
  std::map<std::string, Address> addresses_;
  int pending_total_ = 0;
};

}  // namespace net::detail
