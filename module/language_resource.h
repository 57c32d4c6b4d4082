// The module's language file: a translation of its message catalogue kept
// beside the module's own file, found when the module is loaded.
//
// For a module /path/PKG_QMX00600.so and language "pt_BR" the candidates are
// /path/PKG_QMX00600.pt_BR.msg, then /path/PKG_QMX00600.pt.msg; the first that
// exists is read (model/language_file.h gives its form). The language is the
// first non-empty of the environment variables QMX_LANG, LC_ALL, LC_MESSAGES
// and LANG, without its ".charset" and "@modifier" parts; "C" and "POSIX"
// name none. Without a language or a file the module's own catalogue is
// used; so it is when the file cannot be read or is over the size limit.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "model/language_file.h"

namespace qmx00600 {

// The environment lookup, replaceable by tests.
using EnvLookup = std::function<const char*(const char* name)>;

// The language named by the environment, or "" for none.
std::string LanguageFromEnvironment(const EnvLookup& env);

// The candidate files for `module_path` and `language`, in the order tried.
std::vector<std::string> LanguageFileCandidates(std::string_view module_path,
                                                std::string_view language);

struct LanguageResource {
  std::string path;  // the file read, "" when none
  LanguageFile file;
};

LanguageResource FindLanguageResource(std::string_view module_path, const EnvLookup& env);

// The full file name of the module holding this code.
std::string OwnModuleFileName();

}  // namespace qmx00600
