#include "render_controls.h"

#include <QImage>
#include <QPixmap>

#include "glyph_icons.h"
#include "model_call.h"
#include "qt_canvas.h"
#include "vcl/button_flat.h"
#include "vcl/db_text.h"
#include "vcl/image.h"

namespace host {

ButtonWidget::ButtonWidget(ViewOwner& owner, vcl::TButtonFlat* button, QWidget* parent)
    : WidgetView(owner, button, parent) {
  setAutoRaise(true);
  setFocusPolicy(Qt::NoFocus);
  setIconSize(QSize(20, 20));
  connect(this, &QToolButton::clicked, this, [this] {
    auto* b = dynamic_cast<vcl::TButtonFlat*>(Control());
    if (b) Act([b] { b->Click(); });
  });
}

void ButtonWidget::ModelChanged(vcl::TChange what) {
  ControlView::ModelChanged(what);
  auto* b = dynamic_cast<vcl::TButtonFlat*>(Control());
  if (!b) return;
  if (what == vcl::TChange::Glyph) setIcon(GlyphIcon(b->Glyph()));
  // A button showing only its glyph is read by its hint.
  if (what == vcl::TChange::Hint || what == vcl::TChange::Caption)
    setAccessibleName(QString::fromStdString(b->Caption().empty() ? b->Hint() : b->Caption()));
  if (what == vcl::TChange::Caption || what == vcl::TChange::Glyph) {
    setText(QString::fromStdString(b->Caption()));
    setToolButtonStyle(b->Caption().empty() || b->Glyph().empty() ? Qt::ToolButtonIconOnly
                                                                  : Qt::ToolButtonTextBesideIcon);
    if (b->Glyph().empty()) setToolButtonStyle(Qt::ToolButtonTextOnly);
  }
}

LabelWidget::LabelWidget(ViewOwner& owner, vcl::TControl* control, QWidget* parent)
    : WidgetView(owner, control, parent) {
  setTextFormat(Qt::PlainText);
}

void LabelWidget::ModelChanged(vcl::TChange what) {
  ControlView::ModelChanged(what);
  const vcl::TControl* c = Control();
  if (!c) return;
  if (what == vcl::TChange::Caption || what == vcl::TChange::DataSource ||
      what == vcl::TChange::Font) {
    if (auto* text = dynamic_cast<const vcl::TDBText*>(c)) {
      // Observers must not throw: a get-text handler that fails shows nothing.
      try {
        setText(QString::fromStdString(text->Text()));
      } catch (...) {
        setText(QString());
      }
    } else
      setText(ShownText(c->Font(), c->Caption()));
    // The disabled colour group stays the style's, so a disabled label greys.
    QPalette pal = palette();
    pal.setColor(QPalette::Active, QPalette::WindowText, ToQColor(c->Font().Color()));
    pal.setColor(QPalette::Inactive, QPalette::WindowText, ToQColor(c->Font().Color()));
    setPalette(pal);
  }
}

ImageWidget::ImageWidget(ViewOwner& owner, vcl::TImage* image, QWidget* parent)
    : WidgetView(owner, image, parent) {}

void ImageWidget::ModelChanged(vcl::TChange what) {
  ControlView::ModelChanged(what);
  auto* image = dynamic_cast<vcl::TImage*>(Control());
  if (!image || what != vcl::TChange::Glyph) return;
  const vcl::TBitmap& bitmap = image->Bitmap();
  QImage out(std::max(bitmap.Width(), 1), std::max(bitmap.Height(), 1), QImage::Format_RGB32);
  out.fill(Qt::white);
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width(); ++x) out.setPixelColor(x, y, ToQColor(bitmap.Pixel(x, y)));
  setPixmap(QPixmap::fromImage(out));
}

namespace {

struct NavButton {
  vcl::TNavButtonSet button;
  const char* icon;
  const char* hint;
};

constexpr NavButton kNavButtons[] = {
    {vcl::nbFirst, "first", "Primeiro registro"},     {vcl::nbPrior, "prior", "Registro anterior"},
    {vcl::nbNext, "next", "Próximo registro"},        {vcl::nbLast, "last", "Último registro"},
    {vcl::nbInsert, "insert", "Incluir registro"},    {vcl::nbDelete, "delete", "Excluir registro"},
    {vcl::nbEdit, "edit", "Alterar registro"},        {vcl::nbPost, "post", "Gravar registro"},
    {vcl::nbCancel, "cancel", "Cancelar alterações"},
};

}  // namespace

NavigatorWidget::NavigatorWidget(ViewOwner& owner, vcl::TDBNavigator* navigator, QWidget* parent)
    : WidgetView(owner, navigator, parent) {
  for (const NavButton& b : kNavButtons) {
    auto* w = new QToolButton(this);
    w->setObjectName(QString::fromLatin1(b.icon));
    w->setIcon(NavigatorIcon(b.icon));
    w->setToolTip(QString::fromUtf8(b.hint));
    w->setAccessibleName(QString::fromUtf8(b.hint));
    w->setFocusPolicy(Qt::NoFocus);
    const vcl::TNavButtonSet which = b.button;
    connect(w, &QToolButton::clicked, this, [this, which] {
      auto* nav = dynamic_cast<vcl::TDBNavigator*>(Control());
      if (nav) RunModelAction([nav, which] { nav->BtnClick(which); });
    });
    items_.push_back({b.button, w});
  }
}

QToolButton* NavigatorWidget::Button(vcl::TNavButtonSet which) const {
  for (const Item& item : items_)
    if (item.button == which) return item.widget;
  return nullptr;
}

void NavigatorWidget::ModelChanged(vcl::TChange what) {
  ControlView::ModelChanged(what);
  auto* nav = dynamic_cast<vcl::TDBNavigator*>(Control());
  if (!nav) return;
  if (what == vcl::TChange::DataState || what == vcl::TChange::DataSource ||
      what == vcl::TChange::Enabled || what == vcl::TChange::Columns) {
    for (const Item& item : items_) {
      item.widget->setVisible(nav->VisibleButtons() & item.button);
      item.widget->setEnabled(nav->ButtonEnabled(item.button));
    }
    Arrange();
  }
}

void NavigatorWidget::resizeEvent(QResizeEvent*) {
  Arrange();
}

void NavigatorWidget::Arrange() {
  int shown = 0;
  for (const Item& item : items_)
    if (!item.widget->isHidden()) ++shown;
  if (shown == 0) return;
  const int w = width() / shown;
  int x = 0;
  for (const Item& item : items_) {
    if (item.widget->isHidden()) continue;
    item.widget->setGeometry(x, 0, w, height());
    x += w;
  }
}

PlainWidget::PlainWidget(ViewOwner& owner, vcl::TControl* control, QWidget* parent)
    : WidgetView(owner, control, parent) {}

}  // namespace host
