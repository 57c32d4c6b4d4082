// ServerProcess: the qmx-server program under test, as a child process.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace appserver::testing {

// A qmx-server program run as a child with its standard error read through a
// pipe; killed when the object goes, if it is still running.
class ServerProcess {
 public:
#ifdef QMX_SERVER_BINARY
  ServerProcess(std::vector<std::string> args, const std::string& data_home)
      : ServerProcess(QMX_SERVER_BINARY, std::move(args), data_home) {}
#endif
  ServerProcess(const std::string& binary, std::vector<std::string> args,
                const std::string& data_home) {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(fds[1], 1);  // --help writes to standard output
      dup2(fds[1], 2);
      close(fds[0]);
      close(fds[1]);
      setenv("XDG_DATA_HOME", data_home.c_str(), 1);
      std::vector<char*> argv{const_cast<char*>(binary.c_str())};
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(binary.c_str(), argv.data());
      _exit(127);
    }
    close(fds[1]);
    err_ = fds[0];
  }
  ~ServerProcess() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (err_ >= 0) close(err_);
  }

  // Reads standard error until `text` shows up or `ms` pass.
  bool WaitFor(const std::string& text, int ms = 5000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (log_.find(text) == std::string::npos) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      pollfd p{err_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
      char buf[512];
      ssize_t n = read(err_, buf, sizeof buf);
      if (n <= 0) return log_.find(text) != std::string::npos;
      log_.append(buf, static_cast<size_t>(n));
    }
    return true;
  }
  uint16_t Port() {
    if (!WaitFor("escutando em 127.0.0.1:")) return 0;
    size_t at = log_.find("escutando em 127.0.0.1:") + 23;
    return static_cast<uint16_t>(std::stoi(log_.substr(at)));
  }
  pid_t Pid() const {
    return pid_;
  }
  int Terminate(int signal_number) {
    kill(pid_, signal_number);
    return Wait();
  }
  int Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    exited_ = true;
    WaitFor("\x01", 200);  // drain what is left
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  const std::string& Log() const {
    return log_;
  }

 private:
  pid_t pid_ = -1;
  int err_ = -1;
  bool exited_ = false;
  std::string log_;
};

}  // namespace appserver::testing
