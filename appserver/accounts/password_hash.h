// Password hashes: Argon2id through libsodium, memory-hard so that a stolen
// accounts table costs a guesser dearly. The hash is stored in the library's
// own text form (algorithm, parameters and salt included), so parameters can
// be raised later without touching the stored hashes.
#pragma once

#include <string>
#include <string_view>

namespace appserver {

// Throws rtl::Exception when the library cannot start or is out of memory.
std::string HashPassword(std::string_view password);
// Whether `password` is the one `hash` was made from.
bool PasswordMatches(const std::string& hash, std::string_view password);
// Spends what a verification costs without any hash: an unknown user is
// answered in the time a wrong password takes.
void SpendVerification(std::string_view password);

}  // namespace appserver
