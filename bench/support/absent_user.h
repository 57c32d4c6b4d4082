// AbsentUser: the user-interface service of a benchmark that runs the screen
// with nobody in front of it: no dialog is expected while measuring, and an
// error stops the run.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "vcl/user_interface.h"

namespace bench {

class AbsentUser : public vcl::IUserInterface {
 public:
  void ShowError(const std::string& text) override {
    std::fprintf(stderr, "unexpected error: %s\n", text.c_str());
    std::abort();
  }
  int ShowMessageDialog(const std::string&, vcl::TMsgDlgType, vcl::TMsgDlgButtons, int) override {
    return vcl::mrNo;
  }
  int MessageBox(const std::string&, const std::string&, unsigned) override { return vcl::IDNO; }
  bool Lookup(db::TDataSource&, const std::string&) override { return false; }
  bool Search(db::TClientDataSet&) override { return false; }
  void ShowBusy(int, const std::string&) override {}
  void HideBusy() override {}
  void CursorChanged(int) override {}
};

}  // namespace bench
