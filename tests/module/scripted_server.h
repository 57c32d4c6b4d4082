// ScriptedServer: a remote data module whose answers the test writes, served
// through the real net::Server on an ephemeral loopback port, so the screen
// reaches it through its real connection.
//
// Every call is recorded with its arguments as they arrived. A call is
// answered by the first of: a one-time answer queued for its method (Once),
// a standing answer (On), the fallback remote object (a real session on the
// demo database, when one was given), else a call failure naming the method.
// Answers run on the server's connection thread while the test's thread waits
// for the call, so they may read and write the arguments (by-reference ones
// travel back) but must not touch the screen.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "net/remote_object.h"
#include "net/server.h"

namespace qmxtest {

struct RecordedCall {
  std::string method;
  std::vector<rtl::Variant> args;
};

class ScriptedServer {
 public:
  using Answer = std::function<rtl::Variant(std::vector<rtl::Variant>& args)>;
  // Told of every call the fallback answered, with the arguments as they go
  // back and the result.
  using Watcher = std::function<void(std::string_view method, const std::vector<rtl::Variant>& args,
                                     const rtl::Variant& answer)>;

  // `fallback` makes one remote object per connection for unscripted calls;
  // empty: unscripted calls fail.
  explicit ScriptedServer(net::RemoteObjectFactory fallback = {});
  ~ScriptedServer();

  uint16_t Port() const { return server_->Port(); }

  void On(const std::string& method, Answer answer);
  void Once(const std::string& method, Answer answer);
  // Runs `hook` once, after the fallback object answered `method` and before
  // that answer goes back (a link that breaks once the server did the work).
  void OnceAfterFallback(const std::string& method, std::function<void()> hook);
  // From now on `watcher` sees every call the fallback answers.
  void Watch(Watcher watcher);
  // Shorthands: a fixed result; an error report with this text.
  static Answer Returns(rtl::Variant result);
  static Answer Refuses(std::string error_text);

  std::vector<RecordedCall> Calls() const;
  std::vector<std::string> CallNames() const;
  // Calls of `method`, in order.
  std::vector<RecordedCall> CallsOf(const std::string& method) const;
  void ClearCalls();

 private:
  class Object;
  friend class Object;
  // Answers a call; nullptr result means "use the fallback".
  bool Answered(const std::string& method, std::vector<rtl::Variant>& args, rtl::Variant& out);
  void AfterFallback(const std::string& method, const std::vector<rtl::Variant>& args,
                     const rtl::Variant& answer);

  mutable std::mutex mutex_;
  std::map<std::string, Answer> standing_;
  std::map<std::string, std::deque<Answer>> once_;
  std::map<std::string, std::deque<std::function<void()>>> after_fallback_;
  std::vector<RecordedCall> calls_;
  Watcher watcher_;
  net::RemoteObjectFactory fallback_;
  std::unique_ptr<net::Server> server_;
};

}  // namespace qmxtest
