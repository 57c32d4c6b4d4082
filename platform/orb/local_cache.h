// The host's local cache of entities, told which entity a screen changed.
//
// AtualizaLocalCache takes a variant array of entity names (a single text is
// taken as a one-element array). Each name is recorded, in order, in an
// in-process log the host and tests can read, and passed to the hook the host
// installed, if any. An argument that is not a text or an array of texts, or
// an empty name, is refused with rtl::Exception before anything is recorded.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "rtl/variant.h"

namespace orb {

void AtualizaLocalCache(const rtl::Variant& entities);

// Names passed so far, oldest first.
const std::vector<std::string>& LocalCacheChanges();
// How many times `entity` was passed.
int LocalCacheChangeCount(std::string_view entity);
void ClearLocalCacheChanges();

// Called once per name, after it was recorded; nullptr removes the hook. A
// hook that throws passes its failure to the caller of AtualizaLocalCache.
using LocalCacheHook = std::function<void(const std::string& entity)>;
void SetLocalCacheHook(LocalCacheHook hook);

}  // namespace orb
