#include "appserver/serving/embedded_server.h"

#include "appserver/serving/login.h"

#include <stdlib.h>

#include <filesystem>
#include <mutex>

#include "appserver/notices/notice_hub.h"
#include "appserver/serving/failure_log.h"
#include "appserver/storage/postgres/pg_listener.h"

namespace appserver {
namespace {

// The server's name in the history, shared with the session factory.
class ServerName {
 public:
  std::string Get() {
    std::lock_guard lock(mutex_);
    return text_;
  }
  void Set(std::string text) {
    std::lock_guard lock(mutex_);
    text_ = std::move(text);
  }

 private:
  std::mutex mutex_;
  std::string text_;
};

std::string ListenName(const std::string& address, uint16_t port) {
  const bool v6 = address.find(':') != std::string::npos;
  return (v6 ? "[" + address + "]" : address) + ":" + std::to_string(port);
}

std::string MakeTempDir() {
  std::error_code ec;
  std::filesystem::path base = std::filesystem::temp_directory_path(ec);
  if (ec) base = "/tmp";
  std::string pattern = (base / "qmx-server-XXXXXX").string();
  if (!mkdtemp(pattern.data()))
    throw StorageError("Não foi possível criar uma pasta temporária em " + base.string());
  return pattern;
}

}  // namespace

EmbeddedServer::EmbeddedServer(EmbeddedServerOptions options) {
  path_ = options.database_path;
  if (path_.empty()) {
    temp_dir_ = MakeTempDir();
    path_ = temp_dir_ + "/qmx.db";
  }
  try {
    target_.location = path_;
    target_.schema = options.schema;
    target_.busy_timeout_ms = options.write_wait_ms;
    prepared_ = PrepareDatabase(target_, options.demo);
    net::ServerOptions so;
    so.listen_address = options.listen_address;
    so.allow_non_loopback = options.allow_remote;
    so.port = options.port;
    so.object_name = std::string(RdmEstrutura::kObjectName);
    so.max_connections = options.max_connections;
    so.max_memory = options.max_memory;
    so.idle_timeout_ms = options.idle_timeout_ms;
    so.handshake_timeout_ms = options.handshake_timeout_ms;
    so.security = std::move(options.security);
    bool record = options.record_history;
    // With an ephemeral port the listening address is known only once bound,
    // and a connection may arrive as soon as it is.
    auto name = std::make_shared<ServerName>();
    if (!options.server_name.empty())
      name->Set(options.server_name);
    else if (options.port != 0)
      name->Set(ListenName(options.listen_address, options.port));
    sessions_ = std::make_shared<SessionOpener>(target_, options.database_pool);
    hub_ = std::make_shared<NoticeHub>();
    if (IsPostgres(target_))
      listener_ = std::make_unique<PgListener>(
          target_.location, target_.schema,
          PgListener::Handlers{
              [hub = hub_](std::string_view payload) { hub->DeliverAnnounced(payload); },
              [hub = hub_] { hub->ReloadAll(); }, options.on_event});
    auto failures = std::make_shared<DatabaseFailureLog>(std::move(options.on_database_failure));
    so.max_queued_notices = options.max_queued_notices;
    so.factory = [sessions = sessions_, record, name, failures,
                  hub = hub_]() -> std::unique_ptr<net::IRemoteObject> {
      auto rdm = std::make_unique<RdmEstrutura>(sessions->Open(), record);
      rdm->SetServerName(name->Get());
      rdm->SetNoticeHub(hub);
      return std::make_unique<FailureLoggingSession>(std::move(rdm), failures);
    };
    so.authenticate = [target = target_, beyond = !IsLoopbackAddress(options.listen_address)](
                          const std::string& user, const std::string& password) {
      return CheckLogin(target, beyond, user, password);
    };
    so.on_call = std::move(options.on_call);
    so.on_event = std::move(options.on_event);
    server_ = std::make_unique<net::Server>(std::move(so));
    server_->Start();
    if (options.server_name.empty() && options.port == 0)
      name->Set(ListenName(options.listen_address, server_->Port()));
  } catch (...) {
    server_.reset();
    listener_.reset();
    if (!temp_dir_.empty()) {
      std::error_code ec;
      std::filesystem::remove_all(temp_dir_, ec);
    }
    throw;
  }
}

EmbeddedServer::~EmbeddedServer() {
  Stop();
  server_.reset();
  listener_.reset();
  if (!temp_dir_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(temp_dir_, ec);
  }
}

void EmbeddedServer::Stop() {
  if (server_) server_->Stop();
}

bool EmbeddedServer::HearsNotices() const {
  return !listener_ || listener_->Listening();
}

std::unique_ptr<RdmEstrutura> EmbeddedServer::NewSession() const {
  return std::make_unique<RdmEstrutura>(sessions_->Open());
}

}  // namespace appserver
