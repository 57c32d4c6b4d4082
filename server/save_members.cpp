#include "server/save_members.h"

#include <stdexcept>
#include <string>

namespace qmx00600 {

namespace {

// The two lists of tables (cdsTabelas, cdsTabelaDrill) save alike: the list
// is reloaded after the call and the saved table found again by its code; a
// refused post goes back to the person and a refused deletion is undone.
SaveMemberDef TableListAfterPost(std::string_view handler, std::string_view dataset,
                                 std::string_view method) {
  return {.handler = handler,
          .dataset = dataset,
          .method = method,
          .read_before = "CDTABELADW",
          .reloads = true,
          .follow_ups = {{FollowUpKind::kLocate, "CDTABELADW"}},
          .hand_back_post = true};
}

SaveMemberDef TableListAfterDelete(std::string_view handler, std::string_view dataset,
                                   std::string_view method) {
  return {.handler = handler, .dataset = dataset, .method = method, .reloads = true, .undo = true};
}

}  // namespace

const std::vector<SaveMemberDef>& SaveMemberDefs() {
  using F = FollowUpKind;
  using X = ExtraArgument;
  // Each entry names only what differs from the defaults of SaveMemberDef.
  static const std::vector<SaveMemberDef> members = {
      TableListAfterPost("cdsTabelasAfterPost", "cdsTabelas", "SetTabelas"),
      TableListAfterDelete("cdsTabelasAfterDelete", "cdsTabelas", "SetTabelas"),
      TableListAfterPost("cdsTabelaDrillAfterPost", "cdsTabelaDrill", "SetTabelaDrill"),
      // A refused deletion is undone, as on the fact-table list: left in the
      // change log it would be sent, and refused, with every later change.
      TableListAfterDelete("cdsTabelaDrillAfterDelete", "cdsTabelaDrill", "SetTabelaDrill"),
      {.handler = "cdsFatosAfterPost",
       .dataset = "cdsFatos",
       .method = "SetFatos",
       .extra = X::kNavigatorTableCode,
       .extra_by_reference = true,
       .read_before = "CDITEMDW",
       .follow_ups = {{F::kRefreshLocalCache, "ITEMDW"},
                      {F::kLocateTableAndItem, "CDTABELADW;CDITEMDW"},
                      {F::kRunHandler, "dtsFatosStateChange"}},
       .hand_back_post = true},
      {.handler = "cdsFatosAfterDelete",
       .dataset = "cdsFatos",
       .method = "SetFatos",
       .extra = X::kTabelasTableCode,
       .follow_ups = {{F::kRefreshLocalCache, "ITEMDW"},
                      {.kind = F::kRunHandler, .argument = "dtsFatosStateChange", .always = true}},
       .undo = true},
      {.handler = "dbgFatosTitleClick",
       .dataset = "cdsVdFatos",
       .method = "SetFatos",
       .extra = X::kTabelasTableCode,
       .merge = MergeRule::kInFollowUps,
       .follow_ups = {{F::kRefreshLocalCache, "ITEMDW"},
                      {F::kMergeChangeLog, ""},
                      {F::kCopyInto, "cdsFatos"}}},
      {.handler = "cdsDimeAfterPost",
       .dataset = "cdsDime",
       .method = "SetDime",
       .extra = X::kNavigatorTableCode,
       .extra_by_reference = true,
       .read_before = "CDITEMDIME",
       .reloads = true,
       .follow_ups = {{F::kLocateTableAndItem, "CDTABELADW;CDITEMDIME"},
                      {.kind = F::kRunHandler,
                       .argument = "cdsTabelasAfterScroll",
                       .always = true,
                       .after_busy = true}},
       .hand_back_post = true},
      {.handler = "cdsDimeAfterDelete",
       .dataset = "cdsDime",
       .method = "SetDime",
       .extra = X::kTabelasTableCode,
       .extra_by_reference = true,
       .reloads = true,
       .follow_ups = {{.kind = F::kRunHandler, .argument = "dtsDimeStateChange", .always = true}},
       .undo = true},
      {.handler = "cdsFatosDrillAfterPost",
       .dataset = "cdsFatosDrill",
       .method = "SetFatosDrill",
       .follow_ups = {{F::kRefreshLocalCache, "ITEMDRILL"},
                      {F::kRunHandler, "dtsFatosDrillStateChange"}},
       .hand_back_post = true},
      // A refused deletion is undone: left pending it would travel, and be
      // refused, with every later save of the list, which has no cancel of
      // its own to drop it.
      {.handler = "cdsFatosDrillAfterDelete",
       .dataset = "cdsFatosDrill",
       .method = "SetFatosDrill",
       .follow_ups = {{F::kRefreshLocalCache, "ITEMDRILL"},
                      {.kind = F::kRunHandler,
                       .argument = "dtsFatosDrillStateChange",
                       .always = true}},
       .undo = true},
      // Bound as both the after-post and the after-delete of cdsDimeDrill:
      // a failed run hands a row back when the dataset's last change is a
      // post, and otherwise undoes the refused deletion, as above.
      {.handler = "cdsDimeDrillAfterDelete",
       .dataset = "cdsDimeDrill",
       .method = "SetDimeDrill",
       .follow_ups = {{.kind = F::kRunHandler,
                       .argument = "dtsDimeDrillStateChange",
                       .always = true}},
       .undo = true,
       .hand_back_post = true},
  };
  return members;
}

const SaveMemberDef& SaveMemberDefOf(std::string_view handler) {
  for (const SaveMemberDef& m : SaveMemberDefs())
    if (m.handler == handler) return m;
  throw std::out_of_range("no save member for handler " + std::string(handler));
}

}  // namespace qmx00600
