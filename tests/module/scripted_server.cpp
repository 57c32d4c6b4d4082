#include "scripted_server.h"

namespace qmxtest {

class ScriptedServer::Object : public net::IRemoteObject {
 public:
  Object(ScriptedServer& owner, std::unique_ptr<net::IRemoteObject> fallback)
      : owner_(owner), fallback_(std::move(fallback)) {}

  rtl::Variant Invoke(std::string_view method, std::vector<rtl::Variant>& args) override {
    rtl::Variant out;
    if (owner_.Answered(std::string(method), args, out)) return out;
    if (!fallback_)
      throw net::ECallError("método não roteirizado no teste: " + std::string(method));
    rtl::Variant answer = fallback_->Invoke(method, args);
    owner_.AfterFallback(std::string(method), args, answer);
    return answer;
  }
  // The real session records who is at the other end, as behind a server.
  void SetConnectionInfo(const net::ConnectionInfo& info) override {
    if (fallback_) fallback_->SetConnectionInfo(info);
  }

 private:
  ScriptedServer& owner_;
  std::unique_ptr<net::IRemoteObject> fallback_;
};

ScriptedServer::ScriptedServer(net::RemoteObjectFactory fallback) : fallback_(std::move(fallback)) {
  net::ServerOptions options;
  options.object_name = "QMX00600.rdmEstrutura";
  options.factory = [this]() -> std::unique_ptr<net::IRemoteObject> {
    return std::make_unique<Object>(*this, fallback_ ? fallback_() : nullptr);
  };
  server_ = std::make_unique<net::Server>(std::move(options));
  server_->Start();
}

ScriptedServer::~ScriptedServer() {
  server_->Stop();
}

void ScriptedServer::On(const std::string& method, Answer answer) {
  std::lock_guard lock(mutex_);
  standing_[method] = std::move(answer);
}

void ScriptedServer::Once(const std::string& method, Answer answer) {
  std::lock_guard lock(mutex_);
  once_[method].push_back(std::move(answer));
}

void ScriptedServer::OnceAfterFallback(const std::string& method, std::function<void()> hook) {
  std::lock_guard lock(mutex_);
  after_fallback_[method].push_back(std::move(hook));
}

void ScriptedServer::Watch(Watcher watcher) {
  std::lock_guard lock(mutex_);
  watcher_ = std::move(watcher);
}

void ScriptedServer::AfterFallback(const std::string& method, const std::vector<rtl::Variant>& args,
                                   const rtl::Variant& answer) {
  std::function<void()> hook;
  Watcher watcher;
  {
    std::lock_guard lock(mutex_);
    watcher = watcher_;
    auto it = after_fallback_.find(method);
    if (it != after_fallback_.end() && !it->second.empty()) {
      hook = std::move(it->second.front());
      it->second.pop_front();
    }
  }
  if (watcher) watcher(method, args, answer);
  if (hook) hook();
}

ScriptedServer::Answer ScriptedServer::Returns(rtl::Variant result) {
  return [result](std::vector<rtl::Variant>&) { return result; };
}

ScriptedServer::Answer ScriptedServer::Refuses(std::string error_text) {
  return [error_text](std::vector<rtl::Variant>&) {
    return rtl::Variant::Array({rtl::Variant(error_text)});
  };
}

bool ScriptedServer::Answered(const std::string& method, std::vector<rtl::Variant>& args,
                              rtl::Variant& out) {
  Answer answer;
  {
    std::lock_guard lock(mutex_);
    calls_.push_back({method, args});
    if (auto it = once_.find(method); it != once_.end() && !it->second.empty()) {
      answer = std::move(it->second.front());
      it->second.pop_front();
    } else if (auto st = standing_.find(method); st != standing_.end()) {
      answer = st->second;
    }
  }
  if (!answer) return false;
  out = answer(args);
  return true;
}

std::vector<RecordedCall> ScriptedServer::Calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

std::vector<std::string> ScriptedServer::CallNames() const {
  std::vector<std::string> names;
  for (const RecordedCall& c : Calls()) names.push_back(c.method);
  return names;
}

std::vector<RecordedCall> ScriptedServer::CallsOf(const std::string& method) const {
  std::vector<RecordedCall> out;
  for (const RecordedCall& c : Calls())
    if (c.method == method) out.push_back(c);
  return out;
}

void ScriptedServer::ClearCalls() {
  std::lock_guard lock(mutex_);
  calls_.clear();
}

}  // namespace qmxtest
