// TMessages: a keyed table of the texts a screen shows.
//
// Entries are "key|text" lines: the key is everything before the first bar,
// the text everything after it, kept exactly (blanks, further bars and line
// breaks included). Keys are compared exactly, case included. A line without
// a bar, with an empty key, not valid UTF-8, or repeating a key already in the table is
// refused with rtl::Exception and the table keeps its previous entries.
//
// Msg of a key that is not in the table gives the key itself: a missing entry
// shows up on the screen as its key instead of as an empty dialog.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "rtl/component.h"
#include "vcl/user_interface.h"

namespace orb {

class TMessages : public rtl::TComponent {
 public:
  explicit TMessages(rtl::TComponent* owner);

  // Replaces every entry; all lines are checked before any is taken.
  void SetLines(const std::vector<std::string>& lines);
  // Adds one entry.
  void Add(std::string_view line);
  void Clear();
  // The entries as given, in order.
  const std::vector<std::string>& Lines() const { return lines_; }
  int Count() const { return static_cast<int>(lines_.size()); }

  bool Contains(std::string_view key) const;
  std::string Msg(std::string_view key) const;
  // Shows Msg(key) in a modal message dialog through the installed user
  // interface and returns the modal result of the button pressed.
  int ShowMsg(std::string_view key, vcl::TMsgDlgType type, vcl::TMsgDlgButtons buttons,
              int help_context) const;

 private:
  std::vector<std::string> lines_;
  std::map<std::string, std::string, std::less<>> texts_;
};

}  // namespace orb
