#include "vcl/graphics.h"

#include <algorithm>
#include <utility>

#include "rtl/exceptions.h"

namespace vcl {

namespace {

// What each system colour is painted as; one not listed is silver.
constexpr std::pair<TColor, TColor> kSystemColors[] = {
    {clWindow, clWhite},
    {clWindowText, clBlack},
    {clHighlight, RGB(0x31, 0x6A, 0xC5)},
    {clHighlightText, clWhite},
    {clBtnFace, RGB(0xEC, 0xE9, 0xD8)},
    {clBtnText, clBlack},
    {clInfoText, clBlack},
    {clInfoBk, RGB(0xFF, 0xFF, 0xE1)},
};

}  // namespace

TColor ColorToRGB(TColor color) {
  if ((color & 0xFF000000) != clSystemColor) return color & 0x00FFFFFF;
  for (const auto& [system, rgb] : kSystemColors)
    if (system == color) return rgb;
  return clSilver;
}

void TFont::Assign(const TFont& other) {
  if (a_ == other.a_) return;
  a_ = other.a_;
  Changed();
}

void TFont::Changed() {
  if (OnChange) OnChange();
}

void TBitmap::SetSize(int width, int height) {
  width_ = std::clamp(width, 0, 4096);
  height_ = std::clamp(height, 0, 4096);
  pixels_.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_), clWhite);
}

TColor TBitmap::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) throw rtl::Exception("Ponto fora do bitmap");
  return pixels_[static_cast<size_t>(y) * width_ + x];
}

void TBitmap::SetPixel(int x, int y, TColor color) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) throw rtl::Exception("Ponto fora do bitmap");
  pixels_[static_cast<size_t>(y) * width_ + x] = color;
}

}  // namespace vcl
