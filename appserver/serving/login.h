// The server's login rule, over the accounts of its database: a loopback
// server with no account yet admits every connection as before (the names
// unverified); once an account exists, or when it listens beyond loopback,
// every connection must log in with an active account.
#pragma once

#include <string>
#include <string_view>

#include "appserver/database/database.h"
#include "net/server.h"

namespace appserver {

// 127.0.0.0/8, ::1 and "localhost".
bool IsLoopbackAddress(std::string_view address);

net::LoginVerdict CheckLogin(const DatabaseTarget& target, bool beyond_loopback,
                             const std::string& user, const std::string& password);

}  // namespace appserver
