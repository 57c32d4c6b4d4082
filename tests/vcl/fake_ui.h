// A user-interface service for the control tests: answers message dialogs and
// message boxes from a queue (No when it is empty) and records every question.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "vcl/user_interface.h"

namespace vcltest {

struct Asked {
  std::string kind;  // "dialog", "box", "error"
  std::string text;
  std::string caption;
  vcl::TMsgDlgType type = vcl::TMsgDlgType::mtCustom;
  unsigned buttons_or_flags = 0;
};

class FakeUI : public vcl::IUserInterface {
 public:
  FakeUI() { vcl::SetUserInterface(this); }
  ~FakeUI() override { vcl::SetUserInterface(nullptr); }

  std::deque<int> answers;  // mrYes/mrNo for dialogs, IDYES/IDNO for boxes
  std::vector<Asked> asked;
  std::vector<int> cursors;

  void ShowError(const std::string& text) override { asked.push_back({"error", text, {}, {}, 0}); }
  int ShowMessageDialog(const std::string& text, vcl::TMsgDlgType type, vcl::TMsgDlgButtons buttons,
                        int) override {
    asked.push_back({"dialog", text, {}, type, buttons});
    return Next(vcl::mrNo);
  }
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override {
    asked.push_back({"box", text, caption, {}, flags});
    return Next(vcl::IDNO);
  }
  bool Lookup(db::TDataSource&, const std::string&) override { return false; }
  bool Search(db::TClientDataSet&) override { return false; }
  void ShowBusy(int, const std::string&) override {}
  void HideBusy() override {}
  void CursorChanged(int cursor) override { cursors.push_back(cursor); }

 private:
  int Next(int fallback) {
    if (answers.empty()) return fallback;
    const int a = answers.front();
    answers.pop_front();
    return a;
  }
};

}  // namespace vcltest
