// DatabaseFailureLog: what a server's log says of the database's failures.
//
// Clients read a plain text (StorageError::Message); the log gets the detail
// (the database's own words and where it is) with the client's address, once
// per burst: the first failure of a burst is written in full, those after it
// only counted. A call that succeeds ends the burst and the count is written
// then; during a long outage a line is written again each minute.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "appserver/storage/storage.h"
#include "net/remote_object.h"

namespace appserver {

class DatabaseFailureLog;

// A client's session whose failures of the database are told to `log`, with
// the client's address, before the client reads their plain text.
class FailureLoggingSession final : public net::IRemoteObject {
 public:
  FailureLoggingSession(std::unique_ptr<net::IRemoteObject> session,
                        std::shared_ptr<DatabaseFailureLog> log)
      : session_(std::move(session)), log_(std::move(log)) {}
  rtl::Variant Invoke(std::string_view method, std::vector<rtl::Variant>& args) override;
  void SetConnectionInfo(const net::ConnectionInfo& info) override {
    client_ = info.peer_address;
    session_->SetConnectionInfo(info);
  }
  void SetNoticeOutlet(std::shared_ptr<net::NoticeOutlet> outlet) override {
    session_->SetNoticeOutlet(std::move(outlet));
  }

 private:
  std::unique_ptr<net::IRemoteObject> session_;
  std::shared_ptr<DatabaseFailureLog> log_;
  std::string client_;
};

class DatabaseFailureLog {
 public:
  explicit DatabaseFailureLog(std::function<void(std::string_view line)> sink)
      : sink_(std::move(sink)) {}

  // A call of `client` failed with `e`; failures without detail (a save held
  // up by another) are the database working as it should and are not told.
  void Failed(const StorageError& e, std::string_view client, std::string_view method);
  // A call went through: the burst, if any, is over.
  void Succeeded();

 private:
  static constexpr std::chrono::seconds kRepeatAfter{60};

  std::function<void(std::string_view)> sink_;
  std::atomic<bool> in_burst_{false};
  std::mutex mutex_;
  int untold_ = 0;  // failures of the burst not written
  std::chrono::steady_clock::time_point last_line_;
};

}  // namespace appserver
