#include "server/save_sequence.h"

#include <exception>

#include "orb/busy.h"
#include "orb/dialogs.h"
#include "rtl/exceptions.h"
#include "server/result_check.h"

namespace qmx00600 {

void LoadDataPacket(db::TClientDataSet& dataset, const rtl::Variant& packet) {
  if (!packet.IsByteArray())
    orb::MensErro(
        "O servidor não devolveu a lista atualizada. Use \"Verificar\" para conferir se a "
        "alteração foi gravada.",
        true);
  dataset.SetData(packet);
}

namespace {

void RunSteps(const SaveMember& m, SaveContext& ctx, bool after_busy, bool only_always) {
  for (const SaveStep& step : m.follow_ups) {
    if (step.after_busy != after_busy || (only_always && !step.always)) continue;
    step.run(ctx);
  }
}

// Opens the refused post again with the person's values; true when the row
// is open again.
bool HandBack(const SaveMember& m) {
  try {
    return m.dataset->ReopenLastPost();
  } catch (...) {
    // A handler of the new state failed; the row may be open again.
    return m.dataset->State() != db::TDataSetState::dsBrowse;
  }
}

void TellHandedBack(const SaveMember& m, const std::string& refusal) {
  if (!m.on_handed_back) return;
  try {
    m.on_handed_back(refusal);
  } catch (...) {
    // Only the refusal is reported, not a failure of placing the cursor.
  }
}

}  // namespace

void RunSaveSequence(const SaveMember& m, const SaveEnvironment& env) {
  orb::BusyScope busy(env.form, orb::kAviTransfer, env.busy_caption);
  bool handed_back = false;
  try {
    SaveContext ctx;
    if (m.dataset->ChangeCount() == 0) {
      RunSteps(m, ctx, false, true);
      busy.Release();
      RunSteps(m, ctx, true, true);
      return;
    }
    if (m.read_before) ctx.read_before = m.read_before();
    if (m.extra_passing != ExtraPassing::kNone && m.extra) ctx.extra = m.extra();
    std::vector<net::Arg> args{m.dataset->Delta()};
    if (m.extra_passing == ExtraPassing::kByValue) args.emplace_back(ctx.extra);
    if (m.extra_passing == ExtraPassing::kByReference) args.push_back(net::Arg::Ref(ctx.extra));
    const rtl::Variant answer = env.calls->CallUnchecked(m.method, std::move(args));
    ctx.sent = true;
    if (!(m.on_changed_meanwhile && IsChangedMeanwhile(answer))) {
      // A refusal hands the row back before its message is up, so the
      // refused values are never shown as saved.
      if (m.hand_back_post && IsErrorReport(answer)) {
        handed_back = HandBack(m);
        if (handed_back) TellHandedBack(m, answer[0].AsString());
      }
      const rtl::Variant result = env.calls->Check(answer);
      if (m.reloads) LoadDataPacket(*m.dataset, result);
      if (m.merge == MergeRule::kIfLogging && m.dataset->LogChanges()) m.dataset->MergeChangeLog();
      RunSteps(m, ctx, false, false);
      busy.Release();
      RunSteps(m, ctx, true, false);
      return;
    }
  } catch (...) {
    busy.Release();
    // The failure being passed on is the one to report, not a second one
    // from handing the row back or dropping the changes.
    if (m.hand_back_post && !handed_back) handed_back = HandBack(m);
    if (m.undo && !handed_back) {
      try {
        m.dataset->CancelUpdates();
      } catch (...) {
      }
    }
    throw;
  }
  busy.Release();
  m.on_changed_meanwhile();
  // It ends the operation; should it return, the refusal still stands.
  rtl::Abort();
}

}  // namespace qmx00600
