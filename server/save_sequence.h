// The save sequence: how an after-post or after-delete handler sends its
// dataset's pending changes to the server at once.
//
//   1. The busy animation (kind 1, the "SetAtualiza" caption) is shown.
//   2. With nothing pending (ChangeCount 0) nothing is sent: only the
//      follow-up steps marked `always` run.
//   3. The values the member needs afterwards are read, then the change
//      packet is sent with the member's method and extra argument.
//   4. The result passes the result check; a reloading member loads the
//      returned data packet into its dataset.
//   5. Merge: with MergeRule::kIfLogging the change log is merged when the
//      dataset logs changes; with kInFollowUps a follow-up step does it.
//   6. The follow-up steps, in order.
//   7. The animation is hidden; steps marked `after_busy` run after that.
// On any failure the animation is hidden and the failure passes on unchanged.
// Before it does, a member marked `hand_back_post` that runs after a post
// hands the posted row back to the person (TClientDataSet::ReopenLastPost):
// the refused change leaves the change log and the row is open again in
// insert or edit state with the values they typed, so it never travels,
// unseen, with a later change packet of the list. Otherwise a member marked
// `undo` drops every pending change of its dataset (CancelUpdates). Whether
// the member runs after a post is the dataset's own knowledge: its last change
// is a post it can hand back. A failure after the change was merged (a
// follow-up step) leaves the saved row as it is.
//
// A member with on_changed_meanwhile handles the server's "changed by another
// user" refusal (kChangedMeanwhileText) itself: that answer skips the result
// check, nothing is handed back or undone here, and once the animation is
// hidden on_changed_meanwhile runs, which ends the operation.
//
// A reloading member loads only a data packet: any other answer (empty, null,
// an array) would close the list and lose what it shows, so it is a failure
// with a message instead (and a posted row goes back to the person).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "db/client_dataset.h"
#include "server/remote_calls.h"

namespace qmx00600 {

// What the steps of one run share.
struct SaveContext {
  // The extra argument; for one passed by reference, after the call, the
  // value the server wrote back.
  rtl::Variant extra;
  // Values read before the call (the member's read_before).
  std::vector<rtl::Variant> read_before;
  bool sent = false;  // a change packet was sent
};

struct SaveStep {
  std::string name;
  bool always = false;      // runs also when nothing was pending
  bool after_busy = false;  // runs once the animation is hidden
  std::function<void(SaveContext&)> run;
};

enum class MergeRule {
  kIfLogging,    // step 5: merge when the dataset logs changes
  kInFollowUps,  // a follow-up step merges, where the member places it
};

enum class ExtraPassing { kNone, kByValue, kByReference };

struct SaveMember {
  std::string handler;
  db::TClientDataSet* dataset = nullptr;
  std::string method;
  ExtraPassing extra_passing = ExtraPassing::kNone;
  std::function<rtl::Variant()> extra;                     // read just before the call
  std::function<std::vector<rtl::Variant>()> read_before;  // step 3
  bool reloads = false;
  MergeRule merge = MergeRule::kIfLogging;
  std::vector<SaveStep> follow_ups;
  bool undo = false;
  bool hand_back_post = false;
  // Told the refusal's text once a refused post is open again, before its
  // message is shown (the screen puts the cursor on the field it names).
  std::function<void(const std::string& refusal)> on_handed_back;
  std::function<void()> on_changed_meanwhile;
};

struct SaveEnvironment {
  RemoteCalls* calls = nullptr;
  rtl::TComponent* form = nullptr;  // the animation is shown over it
  std::string busy_caption;         // Msg("SetAtualiza")
};

void RunSaveSequence(const SaveMember& member, const SaveEnvironment& env);

// Loads a data packet into `dataset`; anything else is refused with a
// message, and the dataset is left as it was.
void LoadDataPacket(db::TClientDataSet& dataset, const rtl::Variant& packet);

}  // namespace qmx00600
