#include "orb/local_cache.h"

#include <algorithm>

#include "rtl/exceptions.h"

namespace orb {

namespace {

std::vector<std::string>& Changes() {
  static std::vector<std::string> changes;
  return changes;
}

LocalCacheHook& Hook() {
  static LocalCacheHook hook;
  return hook;
}

std::string EntityName(const rtl::Variant& v) {
  if (!v.IsString())
    throw rtl::Exception("Cache local: nome de entidade inválido (tipo " +
                         std::to_string(v.Type()) + ")");
  if (v.AsString().empty()) throw rtl::Exception("Cache local: nome de entidade vazio");
  return v.AsString();
}

}  // namespace

void AtualizaLocalCache(const rtl::Variant& entities) {
  std::vector<std::string> names;
  if (entities.IsString()) {
    names.push_back(EntityName(entities));
  } else if (entities.Type() == (rtl::varArray | rtl::varVariant)) {
    for (const rtl::Variant& item : entities.Items()) names.push_back(EntityName(item));
  } else {
    throw rtl::Exception("Cache local: esperado um vetor de nomes de entidade (tipo " +
                         std::to_string(entities.Type()) + ")");
  }
  for (std::string& name : names) {
    Changes().push_back(name);
    if (Hook()) Hook()(Changes().back());
  }
}

const std::vector<std::string>& LocalCacheChanges() {
  return Changes();
}

int LocalCacheChangeCount(std::string_view entity) {
  return static_cast<int>(std::count(Changes().begin(), Changes().end(), entity));
}

void ClearLocalCacheChanges() {
  Changes().clear();
}

void SetLocalCacheHook(LocalCacheHook hook) {
  Hook() = std::move(hook);
}

}  // namespace orb
