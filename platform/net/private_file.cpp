#include "net/private_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "rtl/exceptions.h"

namespace net {

void RequirePrivateFile(const std::string& path, std::string_view what) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0)
    throw rtl::Exception(std::string(what) + " \"" + path + "\" ilegível: " + std::strerror(errno));
  if ((st.st_mode & (S_IRWXG | S_IRWXO)) == 0) return;
  char mode[8];
  std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
  throw rtl::Exception(std::string(what) + " \"" + path + "\" pode ser lido por outros usuários " +
                       "desta máquina (permissões " + mode +
                       "); o servidor não inicia assim. Restrinja-a ao usuário do servidor: "
                       "chmod 600 \"" +
                       path + "\"");
}

}  // namespace net
