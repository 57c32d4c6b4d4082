// LiveNotices: what the screen does with the other desks' work as it
// happens, told by the server's notices (its connection asks for them).
//
// The host calls Poll from a timer, between the person's actions. Poll
// first tells the server which row the person is editing now, if that
// changed; then it reads the notices that arrived:
// - an edit begun or ended elsewhere on the fact table or drill table on
//   screen: a standing line "<conta> está editando o fato VL_VENDA", until
//   it ends;
// - a change to what is on screen while nothing is being edited: the list
//   concerned is read again through the screen's own reload path, keeping
//   the current row where it still exists, and a passing line says who
//   changed what; while something is being edited, the reload waits for the
//   edit to end, and when the row being edited is the one that changed, a
//   bar says so with a button that drops the edit and reloads (a save would
//   be refused by the server anyway).
// Nothing here opens a dialog: a failure while reloading is dropped (the
// next action of the person meets it, as without notices).
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>

#include "net/frame.h"

namespace db {
class TClientDataSet;
}

namespace qmx00600 {

class TfrmEstrutura;

class LiveNotices {
 public:
  explicit LiveNotices(TfrmEstrutura& form) : form_(form) {}
  void Poll();

 private:
  // The lists a notice concerns, combined with |.
  enum Lists : unsigned {
    kFactTables = 1,
    kDrillTables = 2,
    kFactDetails = 4,
    kDrillDetails = 8,
  };
  // The row being edited: its list, and the item as notices name it.
  struct EditedRow {
    db::TClientDataSet* dataset;
    std::string table;
    net::NoticeItem kind;
    std::string item;
  };
  std::optional<EditedRow> RowInEdit() const;
  bool AnyEdit() const;
  void AnnounceEdit();
  void Apply(const net::NoticeFrame& notice);
  unsigned ListsOf(const net::NoticeFrame& notice) const;
  void Reload(unsigned lists);
  void ShowEditors();
  std::string CurrentFactTable() const;
  std::string CurrentDrillTable() const;

  TfrmEstrutura& form_;
  std::string announced_;   // the edit the server was told of ("" none)
  unsigned waiting_ = 0;    // lists to read again once the edit ends
  std::string passing_;     // the last change told in this poll, for the passing line
  bool bar_shown_ = false;  // the bar about the row being edited
  // Edits in progress elsewhere, "table|kind|item|account" -> (table, the
  // line); those of the tables on screen are shown.
  std::map<std::string, std::pair<std::string, std::string>> editors_;
  std::string shown_;  // the standing line shown now
};

}  // namespace qmx00600
