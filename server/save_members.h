// The members of the save sequence: for every after-post and after-delete
// handler of an editable list, what it sends, what it does afterwards, and
// what becomes of a change the server did not take: a post is handed back to
// the person, a deletion is undone where the entry says so. The screen builds a SaveMember from its
// entry (screen/save_wiring.cpp), resolving the datasets, the extra argument
// and the follow-up steps to its own components and handlers.
#pragma once

#include <string_view>
#include <vector>

#include "server/save_sequence.h"

namespace qmx00600 {

enum class ExtraArgument {
  kNone,
  kNavigatorTableCode,  // CDTABELADW of the current row of the navigator's list
  kTabelasTableCode,    // CDTABELADW of the current row of cdsTabelas
};

enum class FollowUpKind {
  kLocate,              // fields `argument`; values: read_before (one field)
  kLocateTableAndItem,  // fields `argument` "A;B"; values: (extra after the call, read_before[0])
  kRefreshLocalCache,   // AtualizaLocalCache with the entity `argument`
  kMergeChangeLog,      // MergeChangeLog without testing LogChanges
  kCopyInto,            // the dataset's whole content into the dataset `argument`
  kRunHandler,          // the screen's handler named `argument`
};

struct FollowUpDef {
  FollowUpKind kind;
  std::string_view argument;
  bool always = false;
  bool after_busy = false;
};

struct SaveMemberDef {
  std::string_view handler;
  std::string_view dataset;
  std::string_view method;
  ExtraArgument extra = ExtraArgument::kNone;
  bool extra_by_reference = false;
  std::string_view read_before = {};  // field read before the call, or empty
  bool reloads = false;
  MergeRule merge = MergeRule::kIfLogging;
  std::vector<FollowUpDef> follow_ups = {};
  bool undo = false;
  // After a failed post the row goes back to the person, open again with
  // what they typed (see SaveMember::hand_back_post).
  bool hand_back_post = false;
};

const std::vector<SaveMemberDef>& SaveMemberDefs();
// The entry of `handler`; std::out_of_range when there is none.
const SaveMemberDef& SaveMemberDefOf(std::string_view handler);

}  // namespace qmx00600
