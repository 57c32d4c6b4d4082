// The files a server keeps secret (its TLS key, its access token) must be
// readable by their owner alone: a key that any user of the machine can read
// is a key anyone may already hold.
#pragma once

#include <string>
#include <string_view>

namespace net {

// Throws rtl::Exception, with a text saying what to do, when `path` (a
// symbolic link is followed) cannot be examined or is readable, writable or
// executable by its group or by others. `what` names the file in that text.
void RequirePrivateFile(const std::string& path, std::string_view what);

}  // namespace net
