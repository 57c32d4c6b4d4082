// Containers without behaviour of their own: TPanel (with a caption),
// TScrollBox, and TSplitter (the bar between two aligned neighbours that the
// person drags to resize them).
#pragma once

#include "vcl/control.h"

namespace vcl {

class TPanel : public TWinControl {
 public:
  explicit TPanel(rtl::TComponent* owner) : TWinControl(owner) {}
};

class TScrollBox : public TWinControl {
 public:
  explicit TScrollBox(rtl::TComponent* owner) : TWinControl(owner) {}
};

class TSplitter : public TControl {
 public:
  explicit TSplitter(rtl::TComponent* owner) : TControl(owner) {}
  // The smallest size the neighbour may be dragged to.
  int MinSize() const { return min_size_; }
  void SetMinSize(int size) { min_size_ = size < 0 ? 0 : size; }

 private:
  int min_size_ = 30;
};

}  // namespace vcl
