// The screen's creation and destruction, and its connection to the server.
#include <stdexcept>
#include <string>

#include "orb/busy.h"
#include "orb/server_address.h"
#include "screen/estrutura.h"

namespace qmx00600 {

namespace {

// Element `i` of GetInicial's answer, which must be a data packet.
rtl::Variant InitialPacket(const rtl::Variant& packets, size_t i) {
  if (!packets.IsArray() || packets.IsByteArray() || packets.Length() != 4 ||
      !packets[i].IsByteArray())
    throw rtl::Exception(
        "Resposta inválida do servidor para GetInicial: esperados quatro pacotes de dados.");
  return packets[i];
}

}  // namespace

void TfrmEstrutura::FormCreate(rtl::TObject* sender) {
  frm::TfrmPadraoGrid::FormCreate(sender);
  pgcPadrao->SetActivePage(tshPadrao);
  // Asked before the first list is read: what others commit after it is told.
  netEstrutura->SetNotices(true);
  netEstrutura->SetConnected(true);
  // An account that may only read sees the structure as it is; the server
  // refuses its changes anyway, this spares it typing them.
  if (netEstrutura->AdmittedAsReader()) LimitToReading();
  flags_.bofatos = true;
  flags_.bomarcatodos = false;
  flags_.bodados = false;

  orb::BusyScope busy(this, orb::kAviTransfer, msgPadrao->Msg("GetAtualiza"));
  const rtl::Variant packets = Server().GetInicial();
  // Every element is checked before any list is loaded, so a malformed answer
  // leaves every list as it was.
  for (size_t i = 0; i < 4; ++i) InitialPacket(packets, i);
  cdsTabelas->SetData(packets[0]);
  cdsAreaNegDW->SetData(packets[1]);
  cdsPesqAreaNegDW->SetData(packets[1]);
  cdsDimeDime->SetData(packets[2]);
  cdsPesqDimeDime->SetData(packets[2]);
  cdsTabelaDrill->SetData(packets[3]);
  details_fresh_from_load_ = !cdsTabelas->IsEmpty();
}

void TfrmEstrutura::FormDestroy(rtl::TObject* sender) {
  netEstrutura->SetConnected(false);
  frm::TfrmPadraoGrid::FormDestroy(sender);
}

void TfrmEstrutura::netEstruturaBeforeConnect(rtl::TObject*) {
  netEstrutura->SetHost(orb::WebURL());
  netEstrutura->SetPort(orb::WebPort());
}

}  // namespace qmx00600
