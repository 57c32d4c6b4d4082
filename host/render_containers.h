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

// The bar the person drags to resize the neighbour aligned before it. The
// neighbour keeps its share of the container when the container grows or
// shrinks (the share it had when first shown, or the one the person last
// dragged it to, kept per user under "form/splitter").
class SplitterWidget : public WidgetView<QWidget> {
 public:
  SplitterWidget(ViewOwner& owner, vcl::TSplitter* splitter, QWidget* parent);
  void ModelChanged(vcl::TChange what) override;
  // The neighbour's share of the room, or -1 before the container was shown.
  double Share() const { return share_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  // The container's resizes, before it places its children.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  vcl::TControl* Neighbour() const;
  // The room the neighbour and the rest share in a container of `size`.
  int Room(const QSize& size) const;
  QString Key() const;
  double built_share_ = -1;
  double share_ = -1;
  bool vertical_ = true;  // resizes heights (top or bottom alignment)
  bool dragging_ = false;
  QPoint press_;
  int start_size_ = 0;
};

}  // namespace host
