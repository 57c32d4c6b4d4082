// ScriptedUserInterface: the user-interface service of every screen test.
//
// Every question the code under test asks (an error, a message dialog, a
// message box, a look-up, a search) is recorded and answered from a queue the
// test fills beforehand, in order. A question the queue does not expect (the
// queue is empty, or its front is for another kind of question, or its text
// does not match) fails the test with the question's text and gets the safe
// answer: No, or Cancel when No is not offered, and "nothing chosen" for
// look-ups and searches, so nothing proceeds by accident.
//
// Errors are questions too: each must be expected with ExpectError, unless
// the test calls AllowUnscriptedErrors(); every error shown is kept in
// Errors() either way.
//
// The busy animation and the cursor are recorded. A HideBusy with nothing
// shown fails the test, and so does an animation still shown when the test
// ends (Verify).
//
// Install it with ScopedScriptedUI, which puts it in place as the vcl service
// and, when the scope ends, verifies that every scripted answer was used and
// that the animation is hidden, then restores the previous service.
#pragma once

#include <deque>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "vcl/user_interface.h"

namespace qmxtest {

enum class QuestionKind { kError, kMessageDialog, kMessageBox, kLookup, kSearch };
const char* QuestionKindName(QuestionKind kind);

// One question as it was asked, and how it was answered.
struct Question {
  QuestionKind kind = QuestionKind::kError;
  std::string text;     // message text; look-up title; search: the dataset's name
  std::string caption;  // message box caption
  unsigned flags = 0;   // message box MB_* styles
  vcl::TMsgDlgType dialog_type = vcl::TMsgDlgType::mtCustom;
  vcl::TMsgDlgButtons buttons = 0;
  int help_context = 0;
  bool busy_visible = false;  // the busy animation was on the screen when it was asked
  bool expected = false;      // answered from the queue
  int answer = 0;             // modal result, ID* value, or 1/0 for chosen/not chosen
};

struct BusyEvent {
  bool show = false;  // ShowBusy, or HideBusy
  int kind = 0;
  std::string caption;
  bool visible_before = false;  // a ShowBusy while visible replaces the caption
};

class ScriptedUserInterface : public vcl::IUserInterface {
 public:
  // What a scripted look-up or search does with its dataset; its result is
  // the answer (true: a row was chosen or found).
  using LookupAction = std::function<bool(db::TDataSource& source)>;
  using SearchAction = std::function<bool(db::TClientDataSet& dataset)>;

  ScriptedUserInterface() = default;
  ~ScriptedUserInterface() override = default;
  ScriptedUserInterface(const ScriptedUserInterface&) = delete;
  ScriptedUserInterface& operator=(const ScriptedUserInterface&) = delete;

  // -- The queue. `text_contains`, when not empty, must occur in the
  // question's text.
  void ExpectError(std::string text_contains = {});
  // A message dialog answered with a modal result (vcl::mrYes, mrNo, ...).
  void ExpectDialog(int modal_result, std::string text_contains = {});
  // A message box answered with an ID* value (vcl::IDYES, IDNO, ...).
  void ExpectMessageBox(int answer, std::string text_contains = {});
  // A look-up on which the person chooses row `recno` (1-based, among the
  // rows the dataset's filter lets through); the dataset is positioned on it.
  void ExpectLookup(int recno, std::string title_contains = {});
  void ExpectLookupCancel(std::string title_contains = {});
  void ExpectLookup(LookupAction action, std::string title_contains = {});
  // A search that finds row `recno` and makes it current.
  void ExpectSearch(int recno);
  void ExpectSearchCancel();
  void ExpectSearch(SearchAction action);

  // Unscripted errors are then recorded without failing the test.
  void AllowUnscriptedErrors(bool allow = true) { allow_errors_ = allow; }

  // -- What happened.
  const std::vector<Question>& Questions() const { return questions_; }
  std::vector<std::string> Errors() const;  // texts of the errors shown, in order
  const std::vector<BusyEvent>& BusyLog() const { return busy_; }
  int BusyShowCount() const;  // ShowBusy calls that made the animation appear
  bool BusyVisible() const { return busy_visible_; }
  const std::string& BusyCaption() const { return busy_caption_; }
  const std::vector<int>& Cursors() const { return cursors_; }
  size_t PendingExpectations() const { return queue_.size(); }

  // Fails the test for every scripted answer not used and for an animation
  // still shown; drops the unused answers. True when all was well.
  bool Verify();
  // Forgets the recorded questions, busy events and cursors (not the queue).
  void ClearLog();

  // -- vcl::IUserInterface.
  void ShowError(const std::string& text) override;
  int ShowMessageDialog(const std::string& text, vcl::TMsgDlgType type, vcl::TMsgDlgButtons buttons,
                        int help_context) override;
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  bool Lookup(db::TDataSource& source, const std::string& title) override;
  bool Search(db::TClientDataSet& dataset) override;
  void ShowBusy(int kind, const std::string& caption) override;
  void HideBusy() override;
  void CursorChanged(int cursor) override;

 private:
  struct Expectation {
    QuestionKind kind;
    std::string text_contains;
    int answer = 0;
    LookupAction lookup;
    SearchAction search;
  };

  // Takes the front of the queue when it fits `question`; otherwise fails the
  // test and returns false (the front stays for a kind mismatch).
  bool Take(const Question& question, Expectation& out);
  // The question of `kind` about `text` as asked now, the script's
  // expectation for it taken into `out`.
  Question Ask(QuestionKind kind, const std::string& text, Expectation& out);
  // Records `q` before `action` runs on `target` (so that a question asked from
  // inside keeps the order of the log); the answer is whether it chose a row.
  template <class Action, class Target>
  bool Choose(const Question& q, const Action& action, Target& target) {
    questions_.push_back(q);
    const size_t index = questions_.size() - 1;
    const bool chosen = q.expected && action && action(target);
    questions_[index].answer = chosen ? 1 : 0;
    return chosen;
  }
  void Push(Expectation e) { queue_.push_back(std::move(e)); }

  std::deque<Expectation> queue_;
  std::vector<Question> questions_;
  std::vector<BusyEvent> busy_;
  std::vector<int> cursors_;
  bool busy_visible_ = false;
  std::string busy_caption_;
  bool allow_errors_ = false;
};

// Installs a ScriptedUserInterface as the vcl service for its scope.
class ScopedScriptedUI {
 public:
  ScopedScriptedUI();
  ~ScopedScriptedUI();
  ScopedScriptedUI(const ScopedScriptedUI&) = delete;
  ScopedScriptedUI& operator=(const ScopedScriptedUI&) = delete;

  ScriptedUserInterface& operator*() { return ui_; }
  ScriptedUserInterface* operator->() { return &ui_; }
  ScriptedUserInterface& ui() { return ui_; }

 private:
  ScriptedUserInterface ui_;
  vcl::IUserInterface* previous_ = nullptr;
};

// Gives `dataset` one string column `field` (5 characters, "Código")
// holding `codes`, positions it on the first and puts it behind `source`: a
// list for a scripted look-up or search to choose from.
void FillCodes(db::TClientDataSet& dataset, db::TDataSource& source, const char* field,
               std::initializer_list<const char*> codes);

}  // namespace qmxtest
