#include "vcl/inplace_edit.h"

#include <algorithm>

#include "rtl/strings.h"

namespace vcl {

size_t TInplaceEdit::ByteOffset(int pos) const {
  size_t i = 0;
  for (int n = 0; n < pos && i < text_.size(); ++n) {
    ++i;
    while (i < text_.size() && (static_cast<unsigned char>(text_[i]) & 0xC0) == 0x80) ++i;
  }
  return i;
}

std::string TInplaceEdit::SelText() const {
  const size_t from = ByteOffset(SelStart());
  return text_.substr(from, ByteOffset(SelStart() + SelLength()) - from);
}

void TInplaceEdit::Load(std::string text) {
  Replace(std::move(text));
  anchor_ = 0;
}

void TInplaceEdit::Replace(std::string text) {
  text_ = std::move(text);
  length_ = static_cast<int>(rtl::Utf8Length(text_));
  caret_ = anchor_ = length_;
}

void TInplaceEdit::MoveTo(int pos, bool extend) {
  caret_ = std::clamp(pos, 0, length_);
  if (!extend) anchor_ = caret_;
}

void TInplaceEdit::Select(int anchor, int caret) {
  anchor_ = std::clamp(anchor, 0, length_);
  caret_ = std::clamp(caret, 0, length_);
}

void TInplaceEdit::EraseRange(int from, int to) {
  const size_t begin = ByteOffset(from);
  text_.erase(begin, ByteOffset(to) - begin);
  length_ -= to - from;
  caret_ = anchor_ = from;
}

bool TInplaceEdit::Insert(std::string_view text) {
  const int added = static_cast<int>(rtl::Utf8Length(text));
  if (max_length_ > 0 && length_ - SelLength() + added > max_length_) return false;
  EraseRange(SelStart(), SelStart() + SelLength());
  text_.insert(ByteOffset(caret_), text);
  length_ += added;
  caret_ = anchor_ = caret_ + added;
  return true;
}

bool TInplaceEdit::DeleteBackward() {
  if (HasSelection()) {
    EraseRange(SelStart(), SelStart() + SelLength());
    return true;
  }
  if (caret_ == 0) return false;
  EraseRange(caret_ - 1, caret_);
  return true;
}

bool TInplaceEdit::DeleteForward() {
  if (HasSelection()) {
    EraseRange(SelStart(), SelStart() + SelLength());
    return true;
  }
  if (caret_ == length_) return false;
  EraseRange(caret_, caret_ + 1);
  return true;
}

}  // namespace vcl
