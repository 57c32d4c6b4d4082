// IUserInterface: everything the platform needs a person for.
//
// Dialogs, confirmations, look-ups, the busy animation and the mouse cursor go
// through the one service the host installs (a Qt implementation in the host,
// a scripted one in tests). Calls are modal and made on the GUI thread; a
// dialog method returns only once the person answered.
#pragma once

#include <functional>
#include <string>

namespace db {
class TClientDataSet;
class TDataSource;
}  // namespace db

namespace vcl {

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

// Buttons of a message dialog, combined with |.
enum TMsgDlgBtn : unsigned { mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8 };
using TMsgDlgButtons = unsigned;

// Modal results.
inline constexpr int mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7;

// Message box styles and answers.
inline constexpr unsigned MB_OK = 0x0, MB_YESNO = 0x4, MB_ICONERROR = 0x10, MB_ICONQUESTION = 0x20,
                          MB_ICONWARNING = 0x30, MB_DEFBUTTON2 = 0x100;
inline constexpr int IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7;

// Mouse cursors.
inline constexpr int crDefault = 0, crHourGlass = -11;

class IUserInterface {
 public:
  virtual ~IUserInterface() = default;

  // An error message with an OK button.
  virtual void ShowError(const std::string& text) = 0;
  // A message dialog; returns the modal result of the button pressed.
  virtual int ShowMessageDialog(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons,
                                int help_context) = 0;
  // The platform message box; `flags` are MB_* styles, the result an ID* value.
  virtual int MessageBox(const std::string& text, const std::string& caption, unsigned flags) = 0;
  // Look-up dialog over the data source's dataset (its visible fields, their
  // labels as titles). True when the person chose a row; the dataset is then
  // positioned on it.
  virtual bool Lookup(db::TDataSource& source, const std::string& title) = 0;
  // Search dialog over a dataset; true when a row was found and made current.
  virtual bool Search(db::TClientDataSet& dataset) = 0;
  // Busy animation with a caption (empty for none), shown before a blocking
  // call starts; HideBusy removes it.
  virtual void ShowBusy(int kind, const std::string& caption) = 0;
  virtual void HideBusy() = 0;
  // The screen's cursor changed (crDefault, crHourGlass, ...).
  virtual void CursorChanged(int cursor) = 0;

  // What other desks are doing, told without ever waiting for the person
  // (none of these is a dialog); a host without them shows nothing:
  // a line that goes by itself after a while,
  virtual void ShowPassingNote(const std::string& /*text*/) {}
  // a line that stays until replaced (empty: none),
  virtual void ShowStandingNote(const std::string& /*text*/) {}
  // and a bar over the screen with a button that runs `reload` (empty text:
  // the bar goes).
  virtual void ShowChangedBar(const std::string& /*text*/, std::function<void()> /*reload*/) {}
};

// The installed service. UserInterface() throws rtl::Exception when none is
// installed, so a missing host never goes unnoticed.
void SetUserInterface(IUserInterface* ui);
IUserInterface& UserInterface();
bool HasUserInterface();

}  // namespace vcl
