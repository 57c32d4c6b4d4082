#include "link_relay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

namespace qmxtest {

namespace {

int ConnectTo(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Passes what is readable on `from` to `to`; false when either end is done.
bool Pass(int from, int to) {
  char buffer[16384];
  const ssize_t n = recv(from, buffer, sizeof buffer, 0);
  if (n <= 0) return false;
  for (ssize_t sent = 0; sent < n;) {
    const ssize_t w = send(to, buffer + sent, static_cast<size_t>(n - sent), MSG_NOSIGNAL);
    if (w <= 0) return false;
    sent += w;
  }
  return true;
}

}  // namespace

LinkRelay::LinkRelay(uint16_t target_port) : target_(target_port) {
  listen_fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(listen_fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      listen(listen_fd_, 8) != 0 || pipe(wake_) != 0)
    throw std::runtime_error("the relay cannot listen");
  socklen_t len = sizeof a;
  getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&a), &len);
  port_ = ntohs(a.sin_port);
  thread_ = std::thread([this] { Run(); });
}

LinkRelay::~LinkRelay() {
  const char stop = 1;
  (void)!write(wake_[1], &stop, 1);
  thread_.join();
  close(listen_fd_);
  close(wake_[0]);
  close(wake_[1]);
}

void LinkRelay::Run() {
  struct Link {
    int client;
    int server;
  };
  std::vector<Link> links;
  for (;;) {
    std::vector<pollfd> fds = {{wake_[0], POLLIN, 0}, {listen_fd_, POLLIN, 0}};
    for (const Link& l : links) {
      fds.push_back({l.client, POLLIN, 0});
      fds.push_back({l.server, POLLIN, 0});
    }
    if (poll(fds.data(), fds.size(), -1) < 0) continue;
    if (fds[0].revents != 0) break;
    if (fds[1].revents & POLLIN) {
      const int client = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
      const int server = client < 0 ? -1 : ConnectTo(target_);
      if (server >= 0) {
        links.push_back({client, server});
      } else if (client >= 0) {
        close(client);
      }
      continue;  // the poll set changed
    }
    std::vector<Link> kept;
    for (size_t i = 0; i < links.size(); ++i) {
      const Link& l = links[i];
      const short from_client = fds[2 + 2 * i].revents;
      const short from_server = fds[3 + 2 * i].revents;
      bool open = true;
      if (from_server != 0 && drop_.exchange(false)) {
        ++drops_;
        open = false;
      }
      if (open && from_client != 0) open = Pass(l.client, l.server);
      if (open && from_server != 0) open = Pass(l.server, l.client);
      if (open) {
        kept.push_back(l);
      } else {
        close(l.client);
        close(l.server);
      }
    }
    links = std::move(kept);
  }
  for (const Link& l : links) {
    close(l.client);
    close(l.server);
  }
}

}  // namespace qmxtest
