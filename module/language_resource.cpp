#include "module/language_resource.h"

#include <dlfcn.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "model/message_catalogue.h"

namespace qmx00600 {

std::string LanguageFromEnvironment(const EnvLookup& env) {
  for (const char* name : {"QMX_LANG", "LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = env(name);
    if (value == nullptr || *value == '\0') continue;
    std::string lang(value);
    lang = lang.substr(0, lang.find_first_of(".@"));
    if (lang == "C" || lang == "POSIX") return {};
    // A language is a plain name: anything that could leave the folder is
    // not one.
    if (lang.empty() || lang.find_first_of("/\\") != std::string::npos ||
        lang.find("..") != std::string::npos)
      return {};
    return lang;
  }
  return {};
}

std::vector<std::string> LanguageFileCandidates(std::string_view module_path,
                                                std::string_view language) {
  if (language.empty()) return {};
  std::string base(module_path);
  const size_t slash = base.find_last_of('/');
  const size_t dot = base.rfind(".so");
  if (dot != std::string::npos && dot + 3 == base.size() &&
      (slash == std::string::npos || dot > slash))
    base.resize(dot);
  std::vector<std::string> out{base + "." + std::string(language) + ".msg"};
  const size_t underscore = language.find('_');
  if (underscore != std::string_view::npos && underscore > 0)
    out.push_back(base + "." + std::string(language.substr(0, underscore)) + ".msg");
  return out;
}

LanguageResource FindLanguageResource(std::string_view module_path, const EnvLookup& env) {
  LanguageResource found;
  for (const std::string& candidate :
       LanguageFileCandidates(module_path, LanguageFromEnvironment(env))) {
    std::ifstream in(candidate, std::ios::binary);
    if (!in) continue;
    found.path = candidate;
    std::string content;
    content.resize(kMaxLanguageFileBytes + 1);
    in.read(content.data(), static_cast<std::streamsize>(content.size()));
    const size_t n = static_cast<size_t>(in.gcount());
    if (n > kMaxLanguageFileBytes || in.bad()) {
      found.file.rejected.push_back({0, "arquivo ilegível ou maior que o limite"});
      return found;
    }
    content.resize(n);
    found.file = ParseLanguageFile(content, MessageCatalogueLines());
    return found;
  }
  return found;
}

std::string OwnModuleFileName() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&OwnModuleFileName), &info) == 0 || info.dli_fname == nullptr)
    return {};
  return info.dli_fname;
}

}  // namespace qmx00600
