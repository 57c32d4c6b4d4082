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
#include <mutex>
#include <string>
#include <string_view>

#include "appserver/storage/storage.h"

namespace appserver {

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
