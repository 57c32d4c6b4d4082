#include "vcl/button_flat.h"

namespace vcl {

void TButtonFlat::SetGlyph(std::string glyph) {
  if (glyph == glyph_) return;
  glyph_ = std::move(glyph);
  Changed(TChange::Glyph);
}

bool TButtonFlat::Click() {
  if (!EnabledChain()) return false;
  for (const TControl* c = this; c; c = c->Parent())
    if (!c->Visible()) return false;
  if (OnClick) OnClick(this);
  return true;
}

}  // namespace vcl
