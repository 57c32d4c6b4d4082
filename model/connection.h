// The screen's connection component netEstrutura with its stored settings:
// the remote object "QMX00600.rdmEstrutura", port 216 and exceptions off. The
// stored host and port are never used: the before-connect handler replaces
// them with the host application's address at every connect.
#pragma once

#include "orb/net_connection.h"

namespace qmx00600 {

inline constexpr const char* kRemoteObjectName = "QMX00600.rdmEstrutura";
inline constexpr int kStoredPort = 216;

orb::TNetConnection* BuildConnection(rtl::TComponent* owner);

}  // namespace qmx00600
