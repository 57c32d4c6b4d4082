#include "vcl/user_interface.h"

#include "rtl/exceptions.h"

namespace vcl {

namespace {
IUserInterface* installed = nullptr;
}

void SetUserInterface(IUserInterface* ui) {
  installed = ui;
}

IUserInterface& UserInterface() {
  if (!installed) throw rtl::Exception("Nenhuma interface com o usuário foi instalada");
  return *installed;
}

bool HasUserInterface() {
  return installed != nullptr;
}

}  // namespace vcl
