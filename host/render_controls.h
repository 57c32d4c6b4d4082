// Leaf controls: flat toolbar buttons, labels (TLabel and the data-aware
// TDBText), images, the navigator, and a plain widget for anything else.
#pragma once

#include <QLabel>
#include <QToolButton>
#include <QWidget>
#include <vector>

#include "control_view.h"
#include "vcl/db_navigator.h"

namespace vcl {
class TButtonFlat;
class TImage;
}  // namespace vcl

namespace host {

// A flat button; a click runs the model's Click (which checks Enabled and
// Visible up the chain itself).
class ButtonWidget : public WidgetView<QToolButton> {
 public:
  ButtonWidget(ViewOwner& owner, vcl::TButtonFlat* button, QWidget* parent);
  void ModelChanged(vcl::TChange what) override;
};

// A label: a TLabel's caption, or the display text of a TDBText's field.
class LabelWidget : public WidgetView<QLabel> {
 public:
  LabelWidget(ViewOwner& owner, vcl::TControl* control, QWidget* parent);
  void ModelChanged(vcl::TChange what) override;
};

// An image: the model's bitmap, pixel for pixel.
class ImageWidget : public WidgetView<QLabel> {
 public:
  ImageWidget(ViewOwner& owner, vcl::TImage* image, QWidget* parent);
  void ModelChanged(vcl::TChange what) override;
};

// The navigator: one button per visible button of the model, enabled as the
// model's ButtonEnabled says; a press runs BtnClick.
class NavigatorWidget : public WidgetView<QWidget> {
 public:
  NavigatorWidget(ViewOwner& owner, vcl::TDBNavigator* navigator, QWidget* parent);
  void ModelChanged(vcl::TChange what) override;
  QToolButton* Button(vcl::TNavButtonSet which) const;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Arrange();
  struct Item {
    vcl::TNavButtonSet button;
    QToolButton* widget;
  };
  std::vector<Item> items_;
};

// Any other control: an empty widget at the control's place.
class PlainWidget : public WidgetView<QWidget> {
 public:
  PlainWidget(ViewOwner& owner, vcl::TControl* control, QWidget* parent);
};

}  // namespace host
