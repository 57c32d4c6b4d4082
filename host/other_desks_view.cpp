#include "other_desks_view.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include "model_call.h"

namespace host {

namespace {

constexpr int kPassingMs = 10000;
constexpr int kPollMs = 250;

}  // namespace

OtherDesksView::OtherDesksView(QMainWindow* window)
    : QObject(window),
      window_(window),
      standing_(new QLabel(window->statusBar())),
      bar_(new QToolBar(QStringLiteral("Alterado em outra estação"), window)),
      bar_text_(new QLabel(bar_)),
      reload_button_(new QPushButton(QStringLiteral("&Recarregar"), bar_)) {
  standing_->setObjectName(QStringLiteral("editingNote"));
  window->statusBar()->addPermanentWidget(standing_);
  bar_->setObjectName(QStringLiteral("changedBar"));
  bar_->setMovable(false);
  bar_->setFloatable(false);
  // Shown by what it tells, never from the toolbars' menu.
  bar_->toggleViewAction()->setVisible(false);
  bar_->setStyleSheet(QStringLiteral("QToolBar { background: #fff3c4; }"));
  bar_text_->setObjectName(QStringLiteral("changedBarText"));
  reload_button_->setObjectName(QStringLiteral("changedBarReload"));
  bar_->addWidget(bar_text_);
  bar_->addWidget(reload_button_);
  window->addToolBar(Qt::TopToolBarArea, bar_);
  bar_->hide();
  connect(reload_button_, &QPushButton::clicked, this, [this] {
    std::function<void()> reload = std::move(reload_);
    bar_->hide();
    if (reload) RunModelAction(reload);
  });
}

void OtherDesksView::ShowPassingNote(const std::string& text) {
  window_->statusBar()->showMessage(QString::fromStdString(text), kPassingMs);
}

void OtherDesksView::ShowStandingNote(const std::string& text) {
  standing_->setText(QString::fromStdString(text));
}

void OtherDesksView::ShowChangedBar(const std::string& text, std::function<void()> reload) {
  reload_ = std::move(reload);
  bar_text_->setText(QString::fromStdString(text));
  bar_->setVisible(!text.empty());
}

QString OtherDesksView::StandingNote() const {
  return standing_->text();
}

QString OtherDesksView::ChangedBarText() const {
  return bar_->isVisible() ? bar_text_->text() : QString();
}

void OtherDesksView::StartPolling(void (*poll)(), std::function<bool()> idle) {
  poll_ = poll;
  idle_ = std::move(idle);
  if (timer_) return;
  timer_ = new QTimer(this);
  connect(timer_, &QTimer::timeout, this, &OtherDesksView::PollNow);
  timer_->start(kPollMs);
}

void OtherDesksView::PollNow() {
  if (!poll_ || QApplication::activeModalWidget() || QApplication::activePopupWidget()) return;
  if (idle_ && !idle_()) return;
  RunModelAction(poll_);
}

}  // namespace host
