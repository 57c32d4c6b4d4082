#include "vcl/graphics.h"

#include <algorithm>

#include "rtl/exceptions.h"

namespace vcl {

TColor ColorToRGB(TColor color) {
  if ((color & 0xFF000000) != clSystemColor) return color & 0x00FFFFFF;
  switch (color) {
    case clWindow:
      return clWhite;
    case clWindowText:
      return clBlack;
    case clHighlight:
      return RGB(0x31, 0x6A, 0xC5);
    case clHighlightText:
      return clWhite;
    case clBtnFace:
      return RGB(0xEC, 0xE9, 0xD8);
    case clBtnText:
      return clBlack;
    case clInfoText:
      return clBlack;
    case clInfoBk:
      return RGB(0xFF, 0xFF, 0xE1);
    default:
      return clSilver;
  }
}

void TFont::SetName(std::string name) {
  if (name == name_) return;
  name_ = std::move(name);
  Changed();
}

void TFont::SetSize(int size) {
  if (size == size_) return;
  size_ = size;
  Changed();
}

void TFont::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Changed();
}

void TFont::SetBold(bool bold) {
  if (bold == bold_) return;
  bold_ = bold;
  Changed();
}

void TFont::SetCharset(int charset) {
  if (charset == charset_) return;
  charset_ = charset;
  Changed();
}

void TFont::Assign(const TFont& other) {
  if (*this == other) return;
  name_ = other.name_;
  size_ = other.size_;
  color_ = other.color_;
  bold_ = other.bold_;
  charset_ = other.charset_;
  Changed();
}

bool TFont::operator==(const TFont& other) const {
  return name_ == other.name_ && size_ == other.size_ && color_ == other.color_ &&
         bold_ == other.bold_ && charset_ == other.charset_;
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
