#include "scripted_ui.h"

#include <gtest/gtest.h>

#include "db/client_dataset.h"
#include "db/data_source.h"

namespace qmxtest {

const char* QuestionKindName(QuestionKind kind) {
  switch (kind) {
    case QuestionKind::kError:
      return "error";
    case QuestionKind::kMessageDialog:
      return "message dialog";
    case QuestionKind::kMessageBox:
      return "message box";
    case QuestionKind::kLookup:
      return "look-up";
    case QuestionKind::kSearch:
      return "search";
  }
  return "?";
}

namespace {

// The answer that lets nothing go ahead: No, else Cancel.
int SafeDialogAnswer(vcl::TMsgDlgButtons buttons) {
  return (buttons & vcl::mbNo) ? vcl::mrNo : vcl::mrCancel;
}

int SafeMessageBoxAnswer(unsigned flags) {
  return (flags & 0xFu) == vcl::MB_YESNO ? vcl::IDNO : vcl::IDCANCEL;
}

// Positions `dataset` on row `recno`; fails the test when there is no such row.
bool ChooseRow(db::TClientDataSet* dataset, int recno, const char* what) {
  if (dataset == nullptr || !dataset->Active()) {
    ADD_FAILURE() << "scripted " << what << " chose row " << recno
                  << " but the dataset is missing or closed";
    return false;
  }
  if (recno < 1 || recno > dataset->RecordCount()) {
    ADD_FAILURE() << "scripted " << what << " chose row " << recno << " of "
                  << dataset->RecordCount();
    return false;
  }
  dataset->SetRecNo(recno);
  return true;
}

}  // namespace

void ScriptedUserInterface::ExpectError(std::string text_contains) {
  Push({QuestionKind::kError, std::move(text_contains), 0, {}, {}});
}

void ScriptedUserInterface::ExpectDialog(int modal_result, std::string text_contains) {
  Push({QuestionKind::kMessageDialog, std::move(text_contains), modal_result, {}, {}});
}

void ScriptedUserInterface::ExpectMessageBox(int answer, std::string text_contains) {
  Push({QuestionKind::kMessageBox, std::move(text_contains), answer, {}, {}});
}

void ScriptedUserInterface::ExpectLookup(int recno, std::string title_contains) {
  ExpectLookup(
      [recno](db::TDataSource& source) { return ChooseRow(source.DataSet(), recno, "look-up"); },
      std::move(title_contains));
}

void ScriptedUserInterface::ExpectLookupCancel(std::string title_contains) {
  ExpectLookup([](db::TDataSource&) { return false; }, std::move(title_contains));
}

void ScriptedUserInterface::ExpectLookup(LookupAction action, std::string title_contains) {
  Push({QuestionKind::kLookup, std::move(title_contains), 0, std::move(action), {}});
}

void ScriptedUserInterface::ExpectSearch(int recno) {
  ExpectSearch(
      [recno](db::TClientDataSet& dataset) { return ChooseRow(&dataset, recno, "search"); });
}

void ScriptedUserInterface::ExpectSearchCancel() {
  ExpectSearch([](db::TClientDataSet&) { return false; });
}

void ScriptedUserInterface::ExpectSearch(SearchAction action) {
  Push({QuestionKind::kSearch, {}, 0, {}, std::move(action)});
}

bool ScriptedUserInterface::Take(const Question& q, Expectation& out) {
  if (queue_.empty()) {
    if (q.kind == QuestionKind::kError && allow_errors_) return false;
    ADD_FAILURE() << "unexpected " << QuestionKindName(q.kind) << ": \"" << q.text << "\"";
    return false;
  }
  Expectation& front = queue_.front();
  if (front.kind != q.kind) {
    if (q.kind == QuestionKind::kError && allow_errors_) return false;
    ADD_FAILURE() << "unexpected " << QuestionKindName(q.kind) << ": \"" << q.text
                  << "\" (the script expected a " << QuestionKindName(front.kind) << ")";
    return false;
  }
  out = std::move(front);
  queue_.pop_front();
  if (!out.text_contains.empty() && q.text.find(out.text_contains) == std::string::npos) {
    ADD_FAILURE() << QuestionKindName(q.kind) << " \"" << q.text << "\" does not contain \""
                  << out.text_contains << "\"";
    return false;
  }
  return true;
}

Question ScriptedUserInterface::Ask(QuestionKind kind, const std::string& text, Expectation& out) {
  Question q;
  q.busy_visible = busy_visible_;
  q.kind = kind;
  q.text = text;
  q.expected = Take(q, out);
  return q;
}

void ScriptedUserInterface::ShowError(const std::string& text) {
  Expectation e;
  questions_.push_back(Ask(QuestionKind::kError, text, e));
}

int ScriptedUserInterface::ShowMessageDialog(const std::string& text, vcl::TMsgDlgType type,
                                             vcl::TMsgDlgButtons buttons, int help_context) {
  Expectation e;
  Question q = Ask(QuestionKind::kMessageDialog, text, e);
  q.dialog_type = type;
  q.buttons = buttons;
  q.help_context = help_context;
  q.answer = q.expected ? e.answer : SafeDialogAnswer(buttons);
  questions_.push_back(q);
  return q.answer;
}

int ScriptedUserInterface::MessageBox(const std::string& text, const std::string& caption,
                                      unsigned flags) {
  Expectation e;
  Question q = Ask(QuestionKind::kMessageBox, text, e);
  q.caption = caption;
  q.flags = flags;
  q.answer = q.expected ? e.answer : SafeMessageBoxAnswer(flags);
  questions_.push_back(q);
  return q.answer;
}

bool ScriptedUserInterface::Lookup(db::TDataSource& source, const std::string& title) {
  Expectation e;
  const Question q = Ask(QuestionKind::kLookup, title, e);
  return Choose(q, e.lookup, source);
}

bool ScriptedUserInterface::Search(db::TClientDataSet& dataset) {
  Expectation e;
  const Question q = Ask(QuestionKind::kSearch, dataset.Name(), e);
  return Choose(q, e.search, dataset);
}

void ScriptedUserInterface::ShowBusy(int kind, const std::string& caption) {
  busy_.push_back({true, kind, caption, busy_visible_});
  busy_visible_ = true;
  busy_caption_ = caption;
}

void ScriptedUserInterface::HideBusy() {
  if (!busy_visible_) ADD_FAILURE() << "HideBusy with no busy animation shown";
  busy_.push_back({false, 0, {}, busy_visible_});
  busy_visible_ = false;
  busy_caption_.clear();
}

void ScriptedUserInterface::CursorChanged(int cursor) {
  cursors_.push_back(cursor);
}

std::vector<std::string> ScriptedUserInterface::Errors() const {
  std::vector<std::string> errors;
  for (const Question& q : questions_)
    if (q.kind == QuestionKind::kError) errors.push_back(q.text);
  return errors;
}

int ScriptedUserInterface::BusyShowCount() const {
  int count = 0;
  for (const BusyEvent& e : busy_)
    if (e.show && !e.visible_before) ++count;
  return count;
}

bool ScriptedUserInterface::Verify() {
  bool ok = true;
  for (const Expectation& e : queue_) {
    ADD_FAILURE() << "scripted " << QuestionKindName(e.kind) << " never asked"
                  << (e.text_contains.empty() ? "" : ": \"" + e.text_contains + "\"");
    ok = false;
  }
  queue_.clear();
  if (busy_visible_) {
    ADD_FAILURE() << "busy animation still shown: \"" << busy_caption_ << "\"";
    ok = false;
  }
  return ok;
}

void ScriptedUserInterface::ClearLog() {
  questions_.clear();
  busy_.clear();
  cursors_.clear();
}

ScopedScriptedUI::ScopedScriptedUI() {
  if (vcl::HasUserInterface()) previous_ = &vcl::UserInterface();
  vcl::SetUserInterface(&ui_);
}

ScopedScriptedUI::~ScopedScriptedUI() {
  ui_.Verify();
  vcl::SetUserInterface(previous_);
}

void FillCodes(db::TClientDataSet& dataset, db::TDataSource& source, const char* field,
               std::initializer_list<const char*> codes) {
  dataset.AddStringField(field, 5, "Código");
  dataset.CreateDataSet();
  for (const char* code : codes) {
    dataset.Append();
    dataset.FieldByName(field)->SetAsString(code);
    dataset.Post();
  }
  dataset.First();
  source.SetDataSet(&dataset);
}

}  // namespace qmxtest
