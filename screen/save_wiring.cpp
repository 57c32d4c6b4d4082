// Resolves the entries of the save-member table to this screen's datasets,
// extra arguments and follow-up steps.
#include <stdexcept>

#include "orb/local_cache.h"
#include "screen/estrutura.h"

namespace qmx00600 {

SaveMember TfrmEstrutura::BuildSaveMember(std::string_view handler) {
  const SaveMemberDef& def = SaveMemberDefOf(handler);
  auto dataset_named = [this](std::string_view name) {
    auto* ds = dynamic_cast<db::TClientDataSet*>(FindComponent(name));
    if (ds == nullptr) throw std::logic_error("no dataset " + std::string(name));
    return ds;
  };

  SaveMember m;
  m.handler = std::string(def.handler);
  m.dataset = dataset_named(def.dataset);
  m.method = std::string(def.method);
  m.reloads = def.reloads;
  m.merge = def.merge;
  m.undo = def.undo;
  m.hand_back_post = def.hand_back_post;
  m.on_handed_back = [this, ds = m.dataset](const std::string& refusal) {
    FocusRefusedField(ds, refusal);
  };
  // Instead of handing a stale row back (which would only be refused again),
  // the list is brought up to date and the person told what they typed.
  if (ReloadsAfterConflict(def.dataset))
    m.on_changed_meanwhile = [this, ds = m.dataset] { RecoverFromConflict(ds); };
  switch (def.extra) {
    case ExtraArgument::kNone:
      m.extra_passing = ExtraPassing::kNone;
      break;
    case ExtraArgument::kNavigatorTableCode:
      m.extra = [this] {
        db::TClientDataSet* list =
            dbnPadrao->DataSource() == dtsPadrao ? cdsTabelas : cdsTabelaDrill;
        return rtl::Variant(list->FieldByName("CDTABELADW")->AsString());
      };
      break;
    case ExtraArgument::kTabelasTableCode:
      m.extra = [this] { return rtl::Variant(cdsTabelas->FieldByName("CDTABELADW")->AsString()); };
      break;
  }
  if (def.extra != ExtraArgument::kNone)
    m.extra_passing = def.extra_by_reference ? ExtraPassing::kByReference : ExtraPassing::kByValue;
  if (!def.read_before.empty()) {
    m.read_before = [ds = m.dataset, field = std::string(def.read_before)] {
      return std::vector<rtl::Variant>{rtl::Variant(ds->FieldByName(field)->AsString())};
    };
  }

  for (const FollowUpDef& f : def.follow_ups) {
    SaveStep step;
    step.always = f.always;
    step.after_busy = f.after_busy;
    db::TClientDataSet* ds = m.dataset;
    const std::string argument(f.argument);
    switch (f.kind) {
      case FollowUpKind::kLocate:
        step.name = "locate " + argument;
        step.run = [ds, argument](SaveContext& ctx) {
          ds->Locate(argument, ctx.read_before.at(0), db::loCaseInsensitive);
        };
        break;
      case FollowUpKind::kLocateTableAndItem:
        step.name = "locate " + argument;
        step.run = [ds, argument](SaveContext& ctx) {
          ds->Locate(argument, {ctx.extra, ctx.read_before.at(0)}, db::loCaseInsensitive);
        };
        break;
      case FollowUpKind::kRefreshLocalCache:
        step.name = "local cache " + argument;
        step.run = [argument](SaveContext&) {
          orb::AtualizaLocalCache(rtl::Variant::Array({rtl::Variant(argument)}));
        };
        break;
      case FollowUpKind::kMergeChangeLog:
        step.name = "merge";
        step.run = [ds](SaveContext&) { ds->MergeChangeLog(); };
        break;
      case FollowUpKind::kCopyInto: {
        step.name = "copy into " + argument;
        db::TClientDataSet* target = dataset_named(argument);
        step.run = [ds, target](SaveContext&) { target->SetData(ds->Data()); };
        break;
      }
      case FollowUpKind::kRunHandler:
        step.name = argument;
        step.run = [this, argument](SaveContext&) { RunHandler(argument); };
        break;
    }
    m.follow_ups.push_back(std::move(step));
  }
  return m;
}

void TfrmEstrutura::Save(std::string_view handler) {
  SaveEnvironment env;
  env.calls = &Server();
  env.form = this;
  env.busy_caption = msgPadrao->Msg("SetAtualiza");
  RunSaveSequence(BuildSaveMember(handler), env);
}

}  // namespace qmx00600
