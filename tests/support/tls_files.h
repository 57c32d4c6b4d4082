// The test certificates (a CA, and a certificate for 127.0.0.1 it signed) and
// a copy of the server's key that only this user may read, as a server
// requires of its key; git keeps the checked-in one readable by all.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>

namespace qmxtest {

inline std::string TlsFile(const std::string& name) {
  return std::string(QMX_TLS_TEST_DIR) + "/" + name;
}

// A copy of server-key.pem with mode 0600, made once per process and removed
// at its exit.
inline std::string PrivateServerKey() {
  struct Copy {
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("qmx-test-key-" + std::to_string(getpid()) + ".pem");
    Copy() {
      std::filesystem::copy_file(TlsFile("server-key.pem"), path,
                                 std::filesystem::copy_options::overwrite_existing);
      std::filesystem::permissions(
          path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    }
    ~Copy() {
      std::error_code ec;
      std::filesystem::remove(path, ec);
    }
  };
  static const Copy copy;
  return copy.path.string();
}

}  // namespace qmxtest
