#include "orb/messages.h"

#include <utility>

#include "orb/busy.h"
#include "rtl/exceptions.h"
#include "rtl/strings.h"

namespace orb {

namespace {

// Splits an entry at its first bar; refuses what cannot be an entry.
std::pair<std::string, std::string> SplitEntry(std::string_view line) {
  if (!rtl::IsValidUtf8(line)) throw rtl::Exception("Mensagem com texto que não é UTF-8 válido");
  const size_t bar = line.find('|');
  if (bar == std::string_view::npos)
    throw rtl::Exception("Mensagem sem separador \"|\": \"" + std::string(line) + "\"");
  if (bar == 0) throw rtl::Exception("Mensagem sem chave: \"" + std::string(line) + "\"");
  return {std::string(line.substr(0, bar)), std::string(line.substr(bar + 1))};
}

}  // namespace

TMessages::TMessages(rtl::TComponent* owner) : rtl::TComponent(owner) {}

void TMessages::SetLines(const std::vector<std::string>& lines) {
  std::map<std::string, std::string, std::less<>> texts;
  for (const std::string& line : lines) {
    auto [key, text] = SplitEntry(line);
    if (!texts.emplace(key, std::move(text)).second)
      throw rtl::Exception("Chave de mensagem repetida: \"" + key + "\"");
  }
  texts_ = std::move(texts);
  lines_ = lines;
}

void TMessages::Add(std::string_view line) {
  auto [key, text] = SplitEntry(line);
  if (texts_.count(key) != 0) throw rtl::Exception("Chave de mensagem repetida: \"" + key + "\"");
  texts_.emplace(std::move(key), std::move(text));
  lines_.emplace_back(line);
}

void TMessages::Clear() {
  lines_.clear();
  texts_.clear();
}

bool TMessages::Contains(std::string_view key) const {
  return texts_.find(key) != texts_.end();
}

std::string TMessages::Msg(std::string_view key) const {
  auto it = texts_.find(key);
  return it != texts_.end() ? it->second : std::string(key);
}

int TMessages::ShowMsg(std::string_view key, vcl::TMsgDlgType type, vcl::TMsgDlgButtons buttons,
                       int help_context) const {
  DialogOverBusy dialog;
  return vcl::UserInterface().ShowMessageDialog(Msg(key), type, buttons, help_context);
}

}  // namespace orb
