#include "model/connection.h"

namespace qmx00600 {

orb::TNetConnection* BuildConnection(rtl::TComponent* owner) {
  auto* net = new orb::TNetConnection(owner);
  net->SetName("netEstrutura");
  net->SetServerName(kRemoteObjectName);
  net->SetPort(kStoredPort);
  net->SetThrowException(false);
  return net;
}

}  // namespace qmx00600
