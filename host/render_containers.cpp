#include "render_containers.h"

#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>

#include "host_settings.h"
#include "model_call.h"
#include "qt_canvas.h"
#include "vcl/panel.h"

namespace host {

namespace {
const QColor kDisabledText(0x8C, 0x8A, 0x84);
}  // namespace

QColor Greyed(const QColor& color) {
  // Halfway to the button face, so any colour reads as switched off.
  const QColor face(0xD4, 0xD0, 0xC8);
  return QColor((color.red() + face.red()) / 2, (color.green() + face.green()) / 2,
                (color.blue() + face.blue()) / 2);
}

void PlaceAlignedChildren(const ViewOwner& owner, const vcl::TWinControl* container,
                          const QRect& area) {
  QRect r = area;
  for (vcl::TAlign pass : {vcl::TAlign::alTop, vcl::TAlign::alBottom, vcl::TAlign::alLeft,
                           vcl::TAlign::alRight, vcl::TAlign::alClient, vcl::TAlign::alNone}) {
    for (const vcl::TControl* c : container->Children()) {
      if (c->Align() != pass || !c->Visible()) continue;
      QWidget* w = owner.WidgetFor(c);
      if (!w) continue;
      switch (pass) {
        case vcl::TAlign::alTop:
          w->setGeometry(r.left(), r.top(), r.width(), c->Height());
          r.setTop(r.top() + c->Height());
          break;
        case vcl::TAlign::alBottom:
          w->setGeometry(r.left(), r.bottom() + 1 - c->Height(), r.width(), c->Height());
          r.setBottom(r.bottom() - c->Height());
          break;
        case vcl::TAlign::alLeft:
          w->setGeometry(r.left(), r.top(), c->Width(), std::max(r.height(), 0));
          r.setLeft(r.left() + c->Width());
          break;
        case vcl::TAlign::alRight:
          w->setGeometry(r.right() + 1 - c->Width(), r.top(), c->Width(), std::max(r.height(), 0));
          r.setRight(r.right() - c->Width());
          break;
        case vcl::TAlign::alClient:
          w->setGeometry(r.left(), r.top(), std::max(r.width(), 0), std::max(r.height(), 0));
          break;
        case vcl::TAlign::alNone:
          w->setGeometry(area.left() + c->Left(), area.top() + c->Top(), c->Width(), c->Height());
          break;
      }
    }
  }
}

ContainerWidget::ContainerWidget(ViewOwner& owner, vcl::TWinControl* control, QWidget* parent,
                                 bool panel)
    : WidgetView(owner, control, parent), panel_(panel) {}

void ContainerWidget::LayoutChildren() {
  if (auto* c = dynamic_cast<vcl::TWinControl*>(Control()))
    PlaceAlignedChildren(Owner(), c, rect());
}

void ContainerWidget::resizeEvent(QResizeEvent*) {
  LayoutChildren();
}

void ContainerWidget::paintEvent(QPaintEvent*) {
  const vcl::TControl* c = Control();
  if (!c) return;
  QPainter p(this);
  p.fillRect(rect(), isEnabled() ? ToQColor(c->Color()) : Greyed(ToQColor(c->Color())));
  if (!panel_) return;
  // The panel's raised bevel.
  p.setPen(QColor(255, 255, 255));
  p.drawLine(0, 0, width() - 1, 0);
  p.drawLine(0, 0, 0, height() - 1);
  p.setPen(QColor(160, 160, 160));
  p.drawLine(0, height() - 1, width() - 1, height() - 1);
  p.drawLine(width() - 1, 0, width() - 1, height() - 1);
  if (c->Caption().empty()) return;
  p.setFont(ToQFont(c->Font()));
  // A panel the screen disabled (or one inside it) shows its caption greyed.
  p.setPen(isEnabled() ? ToQColor(c->Font().Color()) : kDisabledText);
  p.drawText(rect().adjusted(4, 0, -4, 0), Qt::AlignVCenter | Qt::AlignLeft,
             ShownText(c->Font(), c->Caption()));
}

SplitterWidget::SplitterWidget(ViewOwner& owner, vcl::TSplitter* splitter, QWidget* parent)
    : WidgetView(owner, splitter, parent) {
  if (parent) parent->installEventFilter(this);
  // The share the screen was built with, read from the model before Qt
  // sizes anything (containers pass through odd sizes before they settle).
  const vcl::TControl* n = Neighbour();
  const vcl::TControl* whole = splitter->Parent();
  vertical_ = splitter->Align() == vcl::TAlign::alTop || splitter->Align() == vcl::TAlign::alBottom;
  const int built = whole ? Room(QSize(whole->Width(), whole->Height())) : 0;
  if (n && built > 2 * splitter->MinSize())
    built_share_ = std::clamp((vertical_ ? n->Height() : n->Width()) / double(built), 0.05, 0.95);
}

QString SplitterWidget::Key() const {
  const vcl::TControl* self = Control();
  if (!self) return {};
  const rtl::TComponent* form = self->Owner();
  return QString::fromStdString((form ? form->Name() : std::string()) + "/" + self->Name());
}

int SplitterWidget::Room(const QSize& size) const {
  const vcl::TControl* self = Control();
  const int bar = self ? (vertical_ ? self->Height() : self->Width()) : 0;
  return (vertical_ ? size.height() : size.width()) - bar;
}

bool SplitterWidget::eventFilter(QObject* watched, QEvent* event) {
  if (watched != parentWidget() || event->type() != QEvent::Resize)
    return WidgetView::eventFilter(watched, event);
  vcl::TControl* n = Neighbour();
  auto* self = dynamic_cast<vcl::TSplitter*>(Control());
  const int room = Room(static_cast<QResizeEvent*>(event)->size());
  if (!n || !self || room <= 2 * self->MinSize()) return false;
  if (share_ < 0) {
    // The person's kept share, else the one the screen was built with.
    share_ = SavedSplitShare(Key());
    if (share_ < 0) share_ = built_share_;
    if (share_ < 0) return false;
  }
  const int size =
      std::clamp(static_cast<int>(share_ * room + 0.5), self->MinSize(), room - self->MinSize());
  RunModelAction([n, size, this] {
    if (vertical_)
      n->SetHeight(size);
    else
      n->SetWidth(size);
  });
  return false;
}

void SplitterWidget::ModelChanged(vcl::TChange what) {
  ControlView::ModelChanged(what);
  if (what == vcl::TChange::Align || what == vcl::TChange::Visible) {
    const vcl::TControl* c = Control();
    if (!c) return;
    vertical_ = c->Align() == vcl::TAlign::alTop || c->Align() == vcl::TAlign::alBottom;
    setCursor(vertical_ ? Qt::SplitVCursor : Qt::SplitHCursor);
  }
}

vcl::TControl* SplitterWidget::Neighbour() const {
  const vcl::TControl* self = Control();
  if (!self || !self->Parent()) return nullptr;
  vcl::TControl* found = nullptr;
  for (vcl::TControl* c : self->Parent()->Children()) {
    if (c == self) break;
    if (c->Align() == self->Align() && c->Visible()) found = c;
  }
  return found;
}

void SplitterWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(0xEC, 0xE9, 0xD8));
  p.setPen(QColor(170, 170, 170));
  if (vertical_) {
    p.drawLine(width() / 2 - 10, height() / 2 - 1, width() / 2 + 10, height() / 2 - 1);
    p.drawLine(width() / 2 - 10, height() / 2 + 1, width() / 2 + 10, height() / 2 + 1);
  } else {
    p.drawLine(width() / 2 - 1, height() / 2 - 10, width() / 2 - 1, height() / 2 + 10);
    p.drawLine(width() / 2 + 1, height() / 2 - 10, width() / 2 + 1, height() / 2 + 10);
  }
}

void SplitterWidget::mousePressEvent(QMouseEvent* event) {
  vcl::TControl* n = Neighbour();
  if (!n || event->button() != Qt::LeftButton) return;
  dragging_ = true;
  press_ = event->globalPosition().toPoint();
  start_size_ = vertical_ ? n->Height() : n->Width();
}

void SplitterWidget::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return;
  vcl::TControl* n = Neighbour();
  auto* self = dynamic_cast<vcl::TSplitter*>(Control());
  if (!n || !self || !parentWidget()) return;
  const QPoint d = event->globalPosition().toPoint() - press_;
  int delta = vertical_ ? d.y() : d.x();
  if (self->Align() == vcl::TAlign::alBottom || self->Align() == vcl::TAlign::alRight)
    delta = -delta;
  const int room = (vertical_ ? parentWidget()->height() : parentWidget()->width()) -
                   (vertical_ ? height() : width()) - self->MinSize();
  const int size =
      std::clamp(start_size_ + delta, self->MinSize(), std::max(room, self->MinSize()));
  RunModelAction([n, size, this] {
    if (vertical_)
      n->SetHeight(size);
    else
      n->SetWidth(size);
  });
  if (const int whole = Room(parentWidget()->size()); whole > 0) share_ = size / double(whole);
}

void SplitterWidget::mouseReleaseEvent(QMouseEvent*) {
  if (dragging_ && share_ > 0) SaveSplitShare(Key(), share_);
  dragging_ = false;
}

}  // namespace host
