// Containers: panels, scroll boxes, sheets' insides and any other windowed
// control without a widget of its own, and the splitter between aligned
// neighbours.
//
// A container places its children's widgets the way the model aligns them
// (top and bottom ones keep their heights, left and right ones their widths,
// client ones fill what is left, unaligned ones sit at their bounds), but
// within the container's real Qt size, so a container that Qt sizes itself
// (a tab page) still lays out correctly.
#pragma once

#include <QWidget>

#include "control_view.h"

namespace vcl {
class TSplitter;
}

namespace host {

// `color` as a disabled control shows it: halfway to the button face.
QColor Greyed(const QColor& color);

// Places the widgets of `container`'s children inside `area`.
void PlaceAlignedChildren(const ViewOwner& owner, const vcl::TWinControl* container,
                          const QRect& area);

class ContainerWidget : public WidgetView<QWidget> {
 public:
  // `panel`: the control is a panel, drawn with its caption and a bevel.
  ContainerWidget(ViewOwner& owner, vcl::TWinControl* control, QWidget* parent, bool panel);
  QWidget* ChildHost() override { return this; }
  void LayoutChildren() override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  bool panel_;
};

// The bar the person drags to resize the neighbour aligned before it.
class SplitterWidget : public WidgetView<QWidget> {
 public:
  SplitterWidget(ViewOwner& owner, vcl::TSplitter* splitter, QWidget* parent);
  void ModelChanged(vcl::TChange what) override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  vcl::TControl* Neighbour() const;
  bool vertical_ = true;  // resizes heights (top or bottom alignment)
  bool dragging_ = false;
  QPoint press_;
  int start_size_ = 0;
};

}  // namespace host
