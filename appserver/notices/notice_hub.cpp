#include "appserver/notices/notice_hub.h"

#include <charconv>
#include <random>

#include "net/notice_outlet.h"

namespace appserver {
namespace {

uint64_t RandomId() {
  std::random_device device;
  return (uint64_t{device()} << 32) ^ device();
}

std::string Clean(std::string_view text) {
  std::string out(text);
  for (char& ch : out)
    if (static_cast<unsigned char>(ch) < 0x20) ch = ' ';
  return out;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  size_t at = 0;
  for (;;) {
    const size_t next = text.find(separator, at);
    parts.push_back(text.substr(at, next == std::string_view::npos ? next : next - at));
    if (next == std::string_view::npos) return parts;
    at = next + 1;
  }
}

bool Number(std::string_view text, uint64_t& value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

}  // namespace

NoticeHub::NoticeHub() : id_(RandomId()) {}

uint64_t NoticeHub::Register(std::shared_ptr<net::NoticeOutlet> outlet) {
  std::lock_guard lock(mutex_);
  const uint64_t connection = next_++;
  desks_.emplace(connection, std::move(outlet));
  return connection;
}

void NoticeHub::Unregister(uint64_t connection) {
  std::lock_guard lock(mutex_);
  desks_.erase(connection);
}

size_t NoticeHub::Desks() const {
  std::lock_guard lock(mutex_);
  return desks_.size();
}

void NoticeHub::Deliver(const NoticeOrigin& from, const std::vector<net::NoticeFrame>& notices) {
  std::lock_guard lock(mutex_);
  for (const auto& [connection, weak] : desks_) {
    if (from.server == id_ && from.connection == connection) continue;
    if (auto outlet = weak.lock())
      for (const net::NoticeFrame& n : notices) outlet->Post(n);
  }
}

void NoticeHub::ReloadAll() {
  Deliver(NoticeOrigin{}, {net::NoticeFrame{}});
}

bool NoticeHub::DeliverAnnounced(std::string_view payload) {
  NoticeOrigin from;
  std::vector<net::NoticeFrame> notices;
  if (!ReadAnnouncement(payload, from, notices)) return false;
  Deliver(from, notices);
  return true;
}

std::vector<std::string> AnnouncementsOf(const NoticeOrigin& from,
                                         const std::vector<net::NoticeFrame>& notices,
                                         size_t max_bytes) {
  const std::string head = std::to_string(from.server) + "\t" + std::to_string(from.connection);
  std::vector<std::string> out;
  std::string text = head;
  for (const net::NoticeFrame& n : notices) {
    std::string line = "\n" + std::to_string(static_cast<int>(n.kind)) + "\t" + n.table + "\t" +
                       std::to_string(static_cast<int>(n.item_kind)) + "\t" + n.item + "\t" +
                       std::to_string(static_cast<int>(n.change)) + "\t" + Clean(n.account) + "\t" +
                       n.when;
    if (text.size() > head.size() && text.size() + line.size() > max_bytes) {
      out.push_back(std::move(text));
      text = head;
    }
    text += line;
  }
  if (text.size() > head.size()) out.push_back(std::move(text));
  return out;
}

bool ReadAnnouncement(std::string_view text, NoticeOrigin& from,
                      std::vector<net::NoticeFrame>& notices) {
  const std::vector<std::string_view> lines = Split(text, '\n');
  const std::vector<std::string_view> head = Split(lines.front(), '\t');
  if (head.size() != 2 || !Number(head[0], from.server) || !Number(head[1], from.connection))
    return false;
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::vector<std::string_view> f = Split(lines[i], '\t');
    uint64_t kind, item_kind, change;
    if (f.size() != 7 || !Number(f[0], kind) || !Number(f[2], item_kind) || !Number(f[4], change) ||
        kind < 1 || kind > 4 || item_kind > 6 || change > 3)
      return false;
    net::NoticeFrame n;
    n.kind = static_cast<net::NoticeKind>(kind);
    n.table = std::string(f[1]);
    n.item_kind = static_cast<net::NoticeItem>(item_kind);
    n.item = std::string(f[3]);
    n.change = static_cast<net::NoticeChange>(change);
    n.account = std::string(f[5]);
    n.when = std::string(f[6]);
    notices.push_back(std::move(n));
  }
  return true;
}

}  // namespace appserver
