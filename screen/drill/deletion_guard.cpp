// pode_deletar: the consent asked before a row of a drill table, a fact or a
// dimension is deleted, and the drill links the server drops first.
#include "orb/busy.h"
#include "orb/text.h"
#include "rtl/format.h"
#include "screen/estrutura.h"
#include "screen/row_values.h"
#include "vcl/application.h"

namespace qmx00600 {

bool TfrmEstrutura::ConfirmDelete() {
  return msgPadraoGrid->ShowMsg("Excl", vcl::TMsgDlgType::mtConfirmation, vcl::mbYes | vcl::mbNo,
                                0) == vcl::mrYes;
}

bool TfrmEstrutura::AskWarning(const std::string& text) {
  const std::string caption = msgPadrao->Msg("ALERTA");
  orb::DialogOverBusy dialog;
  return vcl::MessageBoxA(vcl::Application().Handle(), text.c_str(), caption.c_str(),
                          vcl::MB_YESNO | vcl::MB_ICONWARNING | vcl::MB_DEFBUTTON2) == vcl::IDYES;
}

bool TfrmEstrutura::pode_deletar(const std::string& kind) {
  auto drill_code = [this] { return cdsTabelaDrill->FieldByName("CDTABELADW")->AsString(); };

  if (kind == "DRILL") {
    {
      orb::BusyScope busy(this, orb::kAviTransfer, msgPadrao->Msg("GetAtualiza"));
      cdsVdDelDrill->SetData(Server().getVdDelDrill(drill_code(), true));
    }
    std::string users;
    int count = 0;
    if (cdsVdDelDrill->Active()) {
      for (cdsVdDelDrill->First(); !cdsVdDelDrill->Eof(); cdsVdDelDrill->Next()) {
        users += cdsVdDelDrill->FieldByName("CDTABELADW")->AsString() + ", ";
        ++count;
      }
    }
    if (users.size() >= 2) users.resize(users.size() - 2);
    if (orb::EmptyString(users)) return ConfirmDelete();
    const char* key = count == 1 ? "REG_LOCALIZADO_S" : "REG_LOCALIZADO_P";
    if (!AskWarning(rtl::Format(msgPadrao->Msg(key), {users}))) return false;
    orb::BusyScope busy(this, orb::kAviTransfer, msgPadrao->Msg("SetAtualiza"));
    // The version of the uses the person was shown: a server that keeps one
    // refuses to drop uses added since.
    Server().getVdDelDrill(drill_code(), false, AnswerVersion(*cdsVdDelDrill));
    return true;
  }
  if (kind == "FATOS" || kind == "DIME") return ConfirmDelete();
  if (kind == "FATOS_DRILL") {
    // The last fact of a drill table: the tables drilling into it would no
    // longer fit it, so their links go first — only those there were when the
    // person loaded the table, which the version of its list row stands for.
    if (cdsFatosDrill->RecordCount() != 1) return ConfirmDelete();
    if (!AskWarning(msgPadrao->Msg("INCONS_FATOS"))) return false;
    Server().getVdDelDrill(drill_code(), false, ListedVersion(*cdsTabelaDrill, drill_code()));
    return true;
  }
  if (kind == "DIME_DRILL") return vd_drillDown(true);
  return false;
}

}  // namespace qmx00600
