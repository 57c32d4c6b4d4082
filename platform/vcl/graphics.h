// Colours, rectangles, fonts, brushes and bitmaps: the drawing vocabulary the
// controls and their draw handlers share.
//
// A colour is 0x00BBGGRR (red in the low byte). System colours carry the high
// byte 0xFF and an index in the low byte; ColorToRGB resolves them to the
// fixed values this system paints them with.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace vcl {

using TColor = uint32_t;

inline constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000,
                        clOlive = 0x008080, clNavy = 0x800000, clPurple = 0x800080,
                        clTeal = 0x808000, clGray = 0x808080, clSilver = 0xC0C0C0, clRed = 0x0000FF,
                        clLime = 0x00FF00, clYellow = 0x00FFFF, clBlue = 0xFF0000,
                        clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clWhite = 0xFFFFFF;
inline constexpr TColor clSystemColor = 0xFF000000;
inline constexpr TColor clWindow = clSystemColor | 5, clWindowText = clSystemColor | 8,
                        clHighlight = clSystemColor | 13, clHighlightText = clSystemColor | 14,
                        clBtnFace = clSystemColor | 15, clBtnText = clSystemColor | 18,
                        clInfoText = clSystemColor | 23, clInfoBk = clSystemColor | 24;
inline constexpr TColor clNone = 0x1FFFFFFF, clDefault = 0x20000000;

// The fixed 0x00BBGGRR value of a colour; system colours are resolved.
TColor ColorToRGB(TColor color);
inline constexpr uint8_t GetRValue(TColor c) {
  return c & 0xFF;
}
inline constexpr uint8_t GetGValue(TColor c) {
  return (c >> 8) & 0xFF;
}
inline constexpr uint8_t GetBValue(TColor c) {
  return (c >> 16) & 0xFF;
}
inline constexpr TColor RGB(uint8_t r, uint8_t g, uint8_t b) {
  return TColor{r} | (TColor{g} << 8) | (TColor{b} << 16);
}

// Left/top inclusive, right/bottom exclusive.
struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool operator==(const TRect&) const = default;
};
inline TRect Rect(int left, int top, int right, int bottom) {
  return {left, top, right, bottom};
}

// Character sets a font can use; the symbol set maps letters to glyphs.
inline constexpr int DEFAULT_CHARSET = 1, SYMBOL_CHARSET = 2;

// Font of a control, a column title or a canvas. Every change is reported
// through OnChange so the control that owns the font can tell its observers.
class TFont {
 public:
  const std::string& Name() const { return a_.name; }
  void SetName(std::string name) { Set(&Attributes::name, std::move(name)); }
  int Size() const { return a_.size; }
  void SetSize(int size) { Set(&Attributes::size, size); }
  TColor Color() const { return a_.color; }
  void SetColor(TColor color) { Set(&Attributes::color, color); }
  bool Bold() const { return a_.bold; }
  void SetBold(bool bold) { Set(&Attributes::bold, bold); }
  int Charset() const { return a_.charset; }
  void SetCharset(int charset) { Set(&Attributes::charset, charset); }
  // Copies every attribute (not OnChange).
  void Assign(const TFont& other);
  bool operator==(const TFont& other) const { return a_ == other.a_; }

  std::function<void()> OnChange;

 private:
  struct Attributes {
    std::string name = "Sans";
    int size = 8;
    TColor color = clWindowText;
    bool bold = false;
    int charset = DEFAULT_CHARSET;
    bool operator==(const Attributes&) const = default;
  };
  // Sets one attribute, reporting the change when there is one.
  template <class T>
  void Set(T Attributes::*attribute, T value) {
    if (a_.*attribute == value) return;
    a_.*attribute = std::move(value);
    Changed();
  }
  void Changed();

  Attributes a_;
};

class TBrush {
 public:
  TColor Color() const { return color_; }
  void SetColor(TColor color) { color_ = color; }

 private:
  TColor color_ = clWindow;
};

// A small in-memory bitmap of 0x00BBGGRR pixels, row by row from the top.
// New pixels are white. Reading or writing outside the bitmap throws
// rtl::Exception.
class TBitmap {
 public:
  TBitmap() = default;
  TBitmap(int width, int height) { SetSize(width, height); }

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }
  // Sizes are clamped to 0..4096; the pixels are cleared to white.
  void SetSize(int width, int height);
  TColor Pixel(int x, int y) const;
  void SetPixel(int x, int y, TColor color);
  const std::vector<TColor>& Pixels() const { return pixels_; }
  void Assign(const TBitmap& other) { *this = other; }
  bool operator==(const TBitmap&) const = default;

 private:
  int width_ = 0, height_ = 0;
  std::vector<TColor> pixels_;
};

// What a TImage shows.
class TPicture {
 public:
  TBitmap& Bitmap() { return bitmap_; }
  const TBitmap& Bitmap() const { return bitmap_; }

 private:
  TBitmap bitmap_;
};

}  // namespace vcl
