// EmbeddedServer: the application server in-process — a prepared database
// (SQLite, or PostgreSQL when the path is a connection string) and a
// net::Server hosting RdmEstrutura on it — for tests, benchmarks and
// qmx-server itself.
//
// With no database path it creates a fresh database in a new temporary folder
// and removes the folder when destroyed. Start happens in the constructor;
// Port() tells the bound port (ephemeral unless one is asked for).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "appserver/database/database.h"
#include "appserver/rules/rdm_estrutura.h"
#include "net/server.h"

namespace appserver {

class NoticeHub;
class PgListener;

struct EmbeddedServerOptions {
  std::string database_path;      // empty: a temporary database; or a PostgreSQL connection
  std::string schema = "public";  // PostgreSQL only
  DemoSeeding demo = DemoSeeding::kIfCreated;
  std::string listen_address = "127.0.0.1";
  bool allow_remote = false;
  uint16_t port = 0;
  int max_connections = 64;
  bool record_history = true;  // off only to measure what recording costs
  // This server in the history; empty: the address and port it listens on.
  std::string server_name;
  size_t max_memory = size_t{256} << 20;  // see net::ServerOptions
  int idle_timeout_ms = 30 * 60 * 1000;
  int handshake_timeout_ms = 5000;                       // see net::ServerOptions
  std::optional<net::ServerOptions::Security> security;  // TLS and access token
  // How long a save waits for another save in progress (and a call for a
  // pooled connection).
  int write_wait_ms = kDefaultWriteWaitMs;
  // PostgreSQL: connections shared by all sessions; 0: one per session (to
  // measure against).
  int database_pool = kDefaultDatabasePool;
  // The database's failures with their detail and the client, once per burst.
  std::function<void(std::string_view)> on_database_failure;
  // Notices waiting for one desk beyond this become one reload-everything
  // notice (see net::ServerOptions).
  size_t max_queued_notices = 1000;
  std::function<void(const net::CallRecord&)> on_call;
  std::function<void(std::string_view)> on_event;
};

class EmbeddedServer {
 public:
  explicit EmbeddedServer(EmbeddedServerOptions options = {});
  ~EmbeddedServer();
  EmbeddedServer(const EmbeddedServer&) = delete;
  EmbeddedServer& operator=(const EmbeddedServer&) = delete;

  uint16_t Port() const { return server_->Port(); }
  const std::string& DatabasePath() const { return path_; }
  const PrepareResult& Prepared() const { return prepared_; }
  // Stops accepting and finishes the calls in flight; idempotent.
  void Stop();
  // A session of its own on the same database, as a connection would get.
  std::unique_ptr<RdmEstrutura> NewSession() const;
  // The desks this server tells of changes and edits.
  NoticeHub& Notices() const { return *hub_; }
  // PostgreSQL: whether the server hears the other servers' notices now (its
  // listener is connected); SQLite: always.
  bool HearsNotices() const;

 private:
  std::string temp_dir_;
  std::string path_;
  DatabaseTarget target_;
  PrepareResult prepared_;
  std::shared_ptr<SessionOpener> sessions_;
  std::shared_ptr<NoticeHub> hub_;
  std::unique_ptr<PgListener> listener_;  // PostgreSQL only; stopped after server_
  std::unique_ptr<net::Server> server_;
};

}  // namespace appserver
