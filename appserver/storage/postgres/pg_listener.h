// PgListener: a server's own connection to PostgreSQL that listens for the
// notices every server on the database announces (Storage::Announce), on a
// thread of its own.
//
// PostgreSQL delivers an announcement made inside a transaction only when it
// commits, in commit order, to every connection listening on its channel;
// one channel per schema keeps the structures of different schemas apart. A
// lost connection is opened again (after 0.2 s, then up to 2 s between
// tries); what was announced meanwhile is lost, so once it listens again
// `regained` is told, and the desks read everything again.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

namespace appserver {

// The channel of the notices of the structure in `schema`.
std::string PostgresNoticeChannel(const std::string& schema);

class PgListener {
 public:
  struct Handlers {
    std::function<void(std::string_view payload)> heard;
    std::function<void()> regained;                       // listening again after a loss
    std::function<void(std::string_view line)> on_event;  // for the server's log
  };
  // Starts listening at once, in the background.
  PgListener(std::string conninfo, std::string schema, Handlers handlers);
  ~PgListener();
  PgListener(const PgListener&) = delete;
  PgListener& operator=(const PgListener&) = delete;

  // Listening now (false before the first connection and while it is lost).
  bool Listening() const { return listening_; }
  // The database's process serving the listener, 0 when none (tests end it).
  int BackendPid() const { return backend_pid_; }

 private:
  void Run();
  // Waits `ms` unless stopped first; false when stopped.
  bool Pause(int ms);

  const std::string conninfo_;
  const std::string channel_;
  Handlers handlers_;
  int wake_read_ = -1;
  int wake_write_ = -1;
  std::atomic<bool> listening_{false};
  std::atomic<int> backend_pid_{0};
  std::thread thread_;
};

}  // namespace appserver
