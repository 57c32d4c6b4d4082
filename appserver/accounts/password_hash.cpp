#include "appserver/accounts/password_hash.h"

#include <sodium.h>

#include <mutex>
#include <semaphore>

#include "rtl/exceptions.h"

namespace appserver {
namespace {

// Each hashing or verification holds crypto_pwhash_MEMLIMIT_INTERACTIVE
// (64 MiB) for its length: no more than two at once, whatever the number of
// logins arriving together.
std::counting_semaphore<2> slots(2);

struct Slot {
  Slot() { slots.acquire(); }
  ~Slot() { slots.release(); }
};

void Start() {
  static std::once_flag once;
  static bool ok = false;
  std::call_once(once, [] { ok = sodium_init() >= 0; });
  if (!ok) throw rtl::Exception("A biblioteca de criptografia não pôde ser iniciada");
}

}  // namespace

std::string HashPassword(std::string_view password) {
  Start();
  char out[crypto_pwhash_STRBYTES];
  Slot slot;
  if (crypto_pwhash_str(out, password.data(), password.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                        crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
    throw rtl::Exception("Sem memória para calcular o resumo da senha");
  return out;
}

bool PasswordMatches(const std::string& hash, std::string_view password) {
  Start();
  Slot slot;
  return crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

void SpendVerification(std::string_view password) {
  // A hash of a password nobody has, made once with the same parameters.
  static const std::string decoy = HashPassword("senha que ninguém tem");
  PasswordMatches(decoy, password);
}

}  // namespace appserver
