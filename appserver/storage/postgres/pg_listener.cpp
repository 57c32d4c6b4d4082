#include "appserver/storage/postgres/pg_listener.h"

#include <fcntl.h>
#include <libpq-fe.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <memory>

#include "appserver/storage/postgres/pg_connection.h"

namespace appserver {

namespace {

constexpr const char* kListenerName = "qmx-server avisos";

}  // namespace

std::string PostgresNoticeChannel(const std::string& schema) {
  std::string channel = "qmx_avisos_" + schema;
  // A channel is a name of at most 63 bytes; a longer schema is told apart by
  // its hash.
  if (channel.size() > 63) {
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016zx", std::hash<std::string>{}(schema));
    channel = "qmx_avisos_" + std::string(hash);
  }
  return channel;
}

PgListener::PgListener(std::string conninfo, std::string schema, Handlers handlers)
    : conninfo_(std::move(conninfo)),
      channel_(PostgresNoticeChannel(schema)),
      handlers_(std::move(handlers)) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw StorageError("Não foi possível preparar os avisos");
  wake_read_ = fds[0];
  wake_write_ = fds[1];
  thread_ = std::thread([this] { Run(); });
}

PgListener::~PgListener() {
  const char byte = 1;
  while (write(wake_write_, &byte, 1) < 0 && errno == EINTR) {
  }
  thread_.join();
  close(wake_read_);
  close(wake_write_);
}

bool PgListener::Pause(int ms) {
  pollfd p{wake_read_, POLLIN, 0};
  return poll(&p, 1, ms) == 0;
}

void PgListener::Run() {
  const auto event = [this](const std::string& line) {
    if (handlers_.on_event) handlers_.on_event(line);
  };
  bool lost = false;
  int backoff_ms = 200;
  for (;;) {
    // Named apart from the pool's connections, which an operator counts
    // against the pool's size.
    const char* keys[] = {"dbname", "application_name", nullptr};
    const char* values[] = {conninfo_.c_str(), kListenerName, nullptr};
    std::unique_ptr<PGconn, void (*)(PGconn*)> conn(PQconnectdbParams(keys, values, 1), &PQfinish);
    bool ok = PQstatus(conn.get()) == CONNECTION_OK;
    if (ok) {
      std::unique_ptr<char, void (*)(void*)> name(
          PQescapeIdentifier(conn.get(), channel_.c_str(), channel_.size()), &PQfreemem);
      std::unique_ptr<PGresult, void (*)(PGresult*)> r(
          PQexec(conn.get(), ("LISTEN " + std::string(name ? name.get() : "")).c_str()), &PQclear);
      ok = name && PQresultStatus(r.get()) == PGRES_COMMAND_OK;
    }
    if (ok) {
      backoff_ms = 200;
      backend_pid_ = PQbackendPID(conn.get());
      listening_ = true;
      if (lost) {
        event("Avisos: escuta do banco de dados restabelecida");
        if (handlers_.regained) handlers_.regained();
      }
      lost = false;
      for (;;) {
        pollfd fds[2] = {{PQsocket(conn.get()), POLLIN, 0}, {wake_read_, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR) break;
        if (fds[1].revents) {
          listening_ = false;
          return;
        }
        if (!PQconsumeInput(conn.get())) break;
        while (PGnotify* n = PQnotifies(conn.get())) {
          if (handlers_.heard) handlers_.heard(n->extra);
          PQfreemem(n);
        }
        if (PQstatus(conn.get()) != CONNECTION_OK) break;
      }
      listening_ = false;
      backend_pid_ = 0;
    }
    if (!lost)
      event("Avisos: escuta do banco de dados perdida (" + DescribePostgresConnection(conninfo_) +
            "): " + PQerrorMessage(conn.get()));
    lost = true;
    conn.reset();
    if (!Pause(backoff_ms)) return;
    backoff_ms = std::min(backoff_ms * 2, 2000);
  }
}

}  // namespace appserver
