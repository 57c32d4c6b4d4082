#include "main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>

#include "busy_overlay.h"
#include "glyph_icons.h"
#include "grid_accessible.h"
#include "host_log.h"
#include "login_dialog.h"
#include "model_call.h"
#include "net/app_server.h"
#include "orb/server_address.h"
#include "other_desks_view.h"
#include "qt_user_interface.h"
#include "renderer.h"
#include "rtl/exceptions.h"
#include "vcl/application.h"
#include "vcl/form.h"

namespace host {

MainWindow::MainWindow(const std::string& package_dir, QWidget* parent)
    : QMainWindow(parent), area_(new QMdiArea(this)), loader_(package_dir) {
  setObjectName(QStringLiteral("mainWindow"));
  setWindowTitle(QStringLiteral("QMX — Gestão do Data Warehouse"));
  setWindowIcon(WindowIcon());
  area_->setObjectName(QStringLiteral("mdiArea"));
  area_->setBackground(QColor(0x80, 0x80, 0x80));
  setCentralWidget(area_);
  InstallGridAccessibility();
  renderer_ = std::make_unique<Renderer>(area_);
  ui_ = std::make_unique<QtUserInterface>(this);
  vcl::SetUserInterface(ui_.get());
  login_ = std::make_unique<LoginPrompt>(this, [this] { ShowServerAddress(); });
  net::SetLoginPrompt(login_.get());
  vcl::Application().SetTitle("QMX");
  BuildMenus();
  connect(area_, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* window) {
    if (!renderer_) return;
    if (vcl::TCustomForm* form = renderer_->FormFor(window)) vcl::Screen().SetActiveForm(form);
  });
  ShowServerAddress();
  resize(1000, 680);
}

MainWindow::~MainWindow() {
  area_->disconnect(this);
  // Screens go before the renderer and the service they use.
  vcl::Application().DestroyForms();
  if (vcl::HasUserInterface() && &vcl::UserInterface() == ui_.get()) vcl::SetUserInterface(nullptr);
  if (net::CurrentLoginPrompt() == login_.get()) net::SetLoginPrompt(nullptr);
  renderer_.reset();
}

void MainWindow::BuildMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&Arquivo"));
  QAction* quit = file->addAction(QStringLiteral("&Sair"));
  quit->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
  connect(quit, &QAction::triggered, this, &QWidget::close);

  QMenu* screens = menuBar()->addMenu(QStringLiteral("&Telas"));
  for (const ScreenEntry& screen : KnownScreens()) {
    QAction* action =
        screens->addAction(QString::fromStdString(screen.title + " (" + screen.code + ")"));
    action->setObjectName(QString::fromStdString("open" + screen.code));
    const std::string code = screen.code;
    connect(action, &QAction::triggered, this, [this, code] { OpenScreen(code); });
  }

  window_menu_ = menuBar()->addMenu(QStringLiteral("&Janelas"));
  connect(window_menu_, &QMenu::aboutToShow, this, &MainWindow::RefreshWindowMenu);
  RefreshWindowMenu();

  QMenu* help = menuBar()->addMenu(QStringLiteral("A&juda"));
  connect(help->addAction(QStringLiteral("&Sobre")), &QAction::triggered, this, [this] {
    QMessageBox::about(
        this, QStringLiteral("Sobre"),
        QStringLiteral("QMX — aplicação hospedeira das telas.\nServidor: %1").arg(ServerText()));
  });
}

void MainWindow::RefreshWindowMenu() {
  window_menu_->clear();
  connect(window_menu_->addAction(QStringLiteral("&Cascata")), &QAction::triggered, area_,
          &QMdiArea::cascadeSubWindows);
  connect(window_menu_->addAction(QStringLiteral("&Lado a lado")), &QAction::triggered, area_,
          &QMdiArea::tileSubWindows);
  connect(window_menu_->addAction(QStringLiteral("&Fechar todas")), &QAction::triggered, this,
          [this] { CloseScreens(); });
  const QList<QMdiSubWindow*> windows = area_->subWindowList();
  if (!windows.isEmpty()) window_menu_->addSeparator();
  int n = 1;
  for (QMdiSubWindow* window : windows) {
    if (!window->isVisible()) continue;
    QAction* action =
        window_menu_->addAction(QStringLiteral("&%1 %2").arg(n++).arg(window->windowTitle()));
    action->setCheckable(true);
    action->setChecked(window == area_->activeSubWindow());
    connect(action, &QAction::triggered, this, [this, window] {
      if (area_->subWindowList().contains(window)) area_->setActiveSubWindow(window);
    });
  }
}

void MainWindow::ShowServerAddress() {
  QString text;
  try {
    const orb::ServerAddress address = orb::CurrentServerAddress();
    text = QStringLiteral("Servidor: %1:%2")
               .arg(QString::fromStdString(address.host))
               .arg(address.port);
  } catch (const rtl::Exception& e) {
    text = QStringLiteral("Servidor: %1").arg(QString::fromStdString(e.Message()));
  }
  if (!login_->Account().empty())
    text +=
        QStringLiteral("    Conta: %1 (%2)")
            .arg(QString::fromStdString(login_->Account()), QString::fromStdString(login_->Role()));
  if (!server_label_) {
    server_label_ = new QLabel(statusBar());
    server_label_->setObjectName(QStringLiteral("serverAddress"));
    statusBar()->addWidget(server_label_, 1);
  }
  server_label_->setText(text);
}

QString MainWindow::ServerText() const {
  return server_label_ ? server_label_->text() : QString();
}

QAction* MainWindow::ScreenAction(const std::string& code) const {
  return findChild<QAction*>(QString::fromStdString("open" + code));
}

bool MainWindow::OpenScreen(const std::string& code) {
  const ScreenEntry* screen = FindScreen(code);
  if (!screen) {
    ui_->ShowError("A tela " + code + " não existe neste sistema.");
    return false;
  }
  ShowServerAddress();
  const bool opened = RunModelAction([this, screen] {
    try {
      loader_.OpenScreen(*screen);
    } catch (const rtl::EAbort&) {
      throw;
    } catch (const net::ECallError& e) {
      if (e.Detail() != e.Message()) LogLine(e.Detail());
      throw rtl::Exception("A tela " + screen->title + " (" + screen->code +
                           ") não pôde ser aberta.\n\n" + e.Message());
    } catch (const rtl::Exception& e) {
      throw rtl::Exception("A tela " + screen->title + " (" + screen->code +
                           ") não pôde ser aberta.\n\n" + e.Message());
    }
  });
  if (opened) PollOtherDesks(*screen);
  return opened;
}

void MainWindow::PollOtherDesks(const ScreenEntry& screen) {
  OtherDesksView* view = ui_->OtherDesks();
  if (!view) return;
  void* poll = nullptr;
  try {
    poll = loader_.Resolve(screen.package, "QmxPollNotices");
  } catch (const rtl::Exception& e) {
    LogLine("Sem avisos de outras estações: " + e.Message());  // a package without them
    return;
  }
  view->StartPolling(reinterpret_cast<void (*)()>(poll),
                     [this] { return !ui_->Busy() || !ui_->Busy()->isVisible(); });
}

bool MainWindow::CloseScreens() {
  for (vcl::TCustomForm* form : renderer_->Forms()) {
    if (!form->Visible()) continue;
    bool closed = false;
    RunModelAction([form, &closed] { closed = form->Close(); });
    if (!closed) return false;
  }
  vcl::Application().ProcessMessages();
  return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (CloseScreens())
    event->accept();
  else
    event->ignore();
}

}  // namespace host
