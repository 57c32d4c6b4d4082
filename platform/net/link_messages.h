// What a person reads when the link to the application server fails: plain
// Portuguese naming the server's address and what to do about it, never a
// method name or a system text (those go to ECallError::Detail, for the
// log). Internal to this library.
#pragma once

#include <string>

#include "net/frame_socket.h"
#include "net/login_refusal.h"

namespace net::detail {

// `address` is "host:port".
std::string CannotConnectText(const std::string& address, ConnectFailure failure);
// Connected, but what answered is no application server that answers in time.
std::string NoHandshakeText(const std::string& address);
std::string NotAnAppServerText(const std::string& address);
// A call under way: the link broke, the answer did not come in time, or it
// came unreadable. The server may have done the work.
std::string LinkLostText(const std::string& address);
std::string NoAnswerText(const std::string& address, int timeout_ms);
std::string BadAnswerText(const std::string& address);

// A login refused for `refusal`, whose own words were `server_text`, as the
// login dialog shows it (beside the server's address).
std::string LoginRefusedText(LoginRefusal refusal, const std::string& server_text);

// The system's error `err` (an errno value) in Portuguese, for the log: the
// C library's own text follows the process's locale, which is English on
// most servers.
std::string SystemErrorText(int err);

}  // namespace net::detail
