#include "screen/estrutura.h"

#include <stdexcept>

#include "model/connection.h"
#include "model/datasets.h"
#include "model/layout.h"
#include "model/screen_catalogue.h"
#include "screen/live_notices.h"
#include "server/result_check.h"

namespace qmx00600 {

TfrmEstrutura::TfrmEstrutura(rtl::TComponent* owner) : frm::TfrmPadraoGrid(owner) {
  SetName("frmEstrutura");
  msgPadrao->SetLines(ScreenCatalogueLines());
  BuildDataSets(this, dtsPadrao, *this);
  BuildLayout(*this, *this);
  netEstrutura = BuildConnection(this);
  calls_ = std::make_unique<RemoteCalls>(
      [this]() -> net::IAppServer& { return netEstrutura->AppServer(); },
      [this](const rtl::Variant& result) { return CheckOleContents(result); });
  RegisterHandlers();
  unbound_ = BindEvents(*this, handlers_);
  built_ = true;
}

TfrmEstrutura::~TfrmEstrutura() = default;

void TfrmEstrutura::PollNotices() {
  if (!built_) return;
  if (!live_) live_ = std::make_unique<LiveNotices>(*this);
  live_->Poll();
}

rtl::Variant TfrmEstrutura::CheckOleContents(const rtl::Variant& result) {
  return qmx00600::CheckOleContents(result, *msgPadrao);
}

void TfrmEstrutura::HandleErrorMessage(const std::string& text) {
  qmx00600::HandleErrorMessage(text, *msgPadrao);
}

void TfrmEstrutura::RunHandler(std::string_view name) {
  // The sender is the component the event table first binds the handler to.
  rtl::TComponent* sender = nullptr;
  for (const EventBinding& b : EventBindings())
    if (b.handler == name) {
      sender = FindComponent(b.component);
      break;
    }
  if (auto it = handlers_.dataset.find(name); it != handlers_.dataset.end()) {
    it->second(dynamic_cast<db::TDataSet*>(sender));
    return;
  }
  if (auto it = handlers_.notify.find(name); it != handlers_.notify.end()) {
    it->second(sender);
    return;
  }
  throw std::out_of_range("the screen has no handler " + std::string(name));
}

}  // namespace qmx00600
