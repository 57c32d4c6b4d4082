// TInplaceEdit: the one-line text a grid edits in its current cell, with a
// caret and a selection.
//
// Positions count characters (not bytes) from the start of the text, 0 to
// Length(). The selection runs between the anchor and the caret; it is empty
// when the two meet. Typing replaces the selection; a text that would grow
// past MaxLength() (0: no limit) is refused whole and nothing changes.
// The object knows nothing of grids or fields: TDBGrid decides when an edit
// starts and where the text goes.
#pragma once

#include <string>
#include <string_view>

namespace vcl {

class TInplaceEdit {
 public:
  const std::string& Text() const { return text_; }
  int Length() const { return length_; }
  int Caret() const { return caret_; }
  int Anchor() const { return anchor_; }
  int SelStart() const { return caret_ < anchor_ ? caret_ : anchor_; }
  int SelLength() const { return caret_ < anchor_ ? anchor_ - caret_ : caret_ - anchor_; }
  bool HasSelection() const { return caret_ != anchor_; }
  std::string SelText() const;
  int MaxLength() const { return max_length_; }
  void SetMaxLength(int max_length) { max_length_ = max_length < 0 ? 0 : max_length; }

  // A new text, all of it selected (the caret at its end).
  void Load(std::string text);
  // A new text with the caret at its end and nothing selected.
  void Replace(std::string text);
  // Moves the caret to `pos` (clamped); `extend` keeps the anchor, so the
  // selection grows or shrinks, else the anchor follows the caret.
  void MoveTo(int pos, bool extend);
  void Select(int anchor, int caret);
  void SelectAll() { Select(0, length_); }

  // Replaces the selection with `text` (valid UTF-8), the caret after it.
  // False, and nothing changed, when the result would pass MaxLength().
  bool Insert(std::string_view text);
  // Backspace and Delete: the selection, else the character before / after
  // the caret. False when there was nothing to delete.
  bool DeleteBackward();
  bool DeleteForward();

 private:
  size_t ByteOffset(int pos) const;
  void EraseRange(int from, int to);

  std::string text_;
  int length_ = 0;
  int caret_ = 0;
  int anchor_ = 0;
  int max_length_ = 0;
};

}  // namespace vcl
