// A session and the other desks: its place in its server's hub (through
// which its committed changes are told), and the item its person is
// editing, told from the moment the edit begins until it ends.
#include "appserver/notices/session_notices.h"
#include "appserver/rules/call_args.h"
#include "appserver/rules/codes.h"
#include "appserver/rules/rdm_estrutura.h"
#include "appserver/storage/recording_storage.h"
#include "net/app_server.h"

namespace appserver {
namespace {

net::NoticeItem ItemKind(const std::string& name) {
  static const std::pair<const char*, net::NoticeItem> kKinds[] = {
      {"tabela", net::NoticeItem::kTable},
      {"fato", net::NoticeItem::kFact},
      {"dimensao", net::NoticeItem::kDimension},
      {"fato_drill", net::NoticeItem::kDrillFact},
      {"dimensao_drill", net::NoticeItem::kDrillDimension}};
  for (const auto& [text, kind] : kKinds)
    if (name == text) return kind;
  throw net::ECallError(std::string(RdmEstrutura::kEditMethod) + ": tipo de item desconhecido \"" +
                        name + "\" (use tabela, fato, dimensao, fato_drill ou dimensao_drill).");
}

// A code as the notices carry it: normalised, at most as long as a code.
std::string NoticeCode(const std::string& text) {
  std::string code = NormaliseCode(text);
  if (code.size() > 30)
    throw net::ECallError(std::string(RdmEstrutura::kEditMethod) + ": código longo demais");
  return code;
}

}  // namespace

RdmEstrutura::~RdmEstrutura() {
  if (!notices_) return;
  try {
    notices_->EndEditing(*storage_);
  } catch (const std::exception&) {
    // the database is gone: nobody hears the end of the edit, and each desk's
    // line clears with its next reload
  }
  static_cast<RecordingStorage&>(*storage_).SetCommitObserver(nullptr);
}

void RdmEstrutura::SetNoticeHub(std::shared_ptr<NoticeHub> hub) {
  if (!hub) return;
  notices_ = std::make_unique<SessionNotices>(std::move(hub));
  notices_->SetAccount(origin_.user_name);
  // The constructor made storage_ a RecordingStorage.
  static_cast<RecordingStorage&>(*storage_).SetCommitObserver(notices_.get());
}

void RdmEstrutura::SetNoticeOutlet(std::shared_ptr<net::NoticeOutlet> outlet) {
  if (notices_) notices_->Attach(std::move(outlet));
}

rtl::Variant RdmEstrutura::InformarEdicao(std::vector<rtl::Variant>& raw) {
  CallArgs args(kEditMethod, raw, 3);
  const std::string table = NoticeCode(args.Text(0));
  if (!notices_) return {};
  if (table.empty()) {
    notices_->EndEditing(*storage_);
    return {};
  }
  const net::NoticeItem kind = ItemKind(args.Text(1));
  notices_->Editing(*storage_, table, kind,
                    kind == net::NoticeItem::kTable ? std::string() : NoticeCode(args.Text(2)));
  return {};
}

}  // namespace appserver
