// host_screenshots OUTPUT_DIR: renders the structure screen in the host, on
// the demo database served in-process, and saves PNG pictures of both pages
// and of a look-up dialog. Runs on any Qt platform (offscreen or a display).
#include <QApplication>

#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPainter>
#include <QTabBar>
#include <QTimer>
#include <cstdio>
#include "runtime_dir.h"

#include "appserver/serving/embedded_server.h"
#include "db/client_dataset.h"
#include "grid_view.h"
#include "lookup_dialog.h"
#include "main_window.h"
#include "model_call.h"
#include "orb/dialogs.h"
#include "orb/server_address.h"
#include "render_pages.h"
#include "renderer.h"
#include "vcl/application.h"
#include "vcl/button_flat.h"
#include "vcl/db_grid.h"
#include "vcl/page_control.h"

namespace {

QImage Grab(QWidget& window) {
  QApplication::processEvents();
  return window.grab().toImage();
}

bool Save(const QImage& image, const QString& path) {
  const bool ok = image.save(path, "PNG");
  std::printf("%s %s\n", ok ? "gravado" : "FALHOU", qPrintable(path));
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  const host::PrivateRuntimeDir runtime_dir;  // Qt stays quiet without a session
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "uso: host_screenshots PASTA_DE_SAIDA\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(out);

  appserver::EmbeddedServer server;
  orb::SetServerAddress({"127.0.0.1", server.Port()});
  host::MainWindow window("");
  window.resize(820, 600);
  window.show();
  if (!window.OpenScreen("QMX00600")) return 1;
  const auto forms = window.Views().Forms();
  if (forms.empty()) return 1;
  vcl::TCustomForm* form = forms.front();
  QMdiSubWindow* sub = window.Views().SubWindowFor(form);
  sub->move(4, 4);
  // A person would click into the fact tables first.
  auto* facts_tables = dynamic_cast<vcl::TDBGrid*>(form->FindComponent("dbgTabelaFatos"));
  if (facts_tables) host::RunModelAction([&] { facts_tables->ClickCell(1, 0); });
  bool ok = Save(Grab(window), out + "/tabelas-fato.png");

  // A name being edited: "Alterar", the caret moved to the end, the last
  // word selected with Shift; the drill list is locked meanwhile.
  auto* edit = dynamic_cast<vcl::TButtonFlat*>(form->FindComponent("sbtAlterar"));
  if (!facts_tables || !edit) return 1;
  host::RunModelAction([&] {
    edit->Click();
    facts_tables->KeyDown(vcl::VK_END, 0);
    facts_tables->KeyPress(std::string_view(" e devoluções"));
    for (int i = 0; i < 10; ++i) facts_tables->KeyDown(vcl::VK_LEFT, vcl::ssShift);
  });
  ok = Save(Grab(window), out + "/edicao-em-andamento.png") && ok;
  host::RunModelAction([&] { facts_tables->DataSet()->Cancel(); });

  auto* pages = dynamic_cast<vcl::TPageControl*>(form->FindComponent("pgcPadrao"));
  auto* data = dynamic_cast<vcl::TTabSheet*>(form->FindComponent("tshDados"));
  if (!pages || !data) return 1;
  host::RunModelAction([&] { pages->SelectTab(data); });
  if (auto* facts = dynamic_cast<vcl::TDBGrid*>(form->FindComponent("dbgFatos")))
    if (facts->RowCount() > 0) host::RunModelAction([&] { facts->ClickCell(1, 2); });
  ok = Save(Grab(window), out + "/fatos-e-dimensoes.png") && ok;

  // A fact being added: page 1 and the dimensions are locked (greyed) until
  // the row is confirmed or cancelled.
  auto* add = dynamic_cast<vcl::TButtonFlat*>(form->FindComponent("sbtIncluir"));
  auto* facts = dynamic_cast<vcl::TDBGrid*>(form->FindComponent("dbgFatos"));
  if (!add || !facts) return 1;
  host::RunModelAction([&] {
    add->Click();
    facts->KeyPress(std::string_view("QT_MINIMA"));
  });
  ok = Save(Grab(window), out + "/inclusao-de-fato.png") && ok;
  host::RunModelAction([&] { facts->DataSet()->Cancel(); });

  // The look-up of the data marts, over the screen's own data source, with
  // a filter typed; the picture is the desktop with the dialog on top.
  auto* marts = dynamic_cast<db::TDataSource*>(form->FindComponent("dtsAreaNegDW"));
  if (!marts) return 1;
  QTimer::singleShot(50, [&] {
    auto* dialog = dynamic_cast<host::LookupDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    dialog->resize(460, 300);
    QApplication::processEvents();
    QImage desktop = Grab(window);
    const QImage picture = dialog->grab().toImage();
    QPainter p(&desktop);
    // The dialog's own picture has no title bar: draw one like the desktop's.
    constexpr int kTitle = 24;
    const QPoint at((desktop.width() - picture.width()) / 2,
                    (desktop.height() - picture.height() - kTitle) / 2 + kTitle);
    const QRect frame(at - QPoint(1, kTitle), picture.size() + QSize(2, kTitle + 1));
    p.fillRect(frame.translated(5, 5), QColor(0, 0, 0, 70));
    p.fillRect(frame, QColor(48, 110, 190));
    p.setPen(Qt::white);
    QFont bold = p.font();
    bold.setBold(true);
    p.setFont(bold);
    p.drawText(QRect(frame.left() + 8, frame.top(), frame.width() - 16, kTitle),
               Qt::AlignVCenter | Qt::AlignLeft, dialog->windowTitle());
    p.drawImage(at, picture);
    p.end();
    ok = Save(desktop, out + "/pesquisa-data-mart.png") && ok;
    dialog->reject();
  });
  host::RunModelAction([&] { orb::Pesquisar(*marts, "Data Marts", false, true); });
  vcl::Application().DestroyForms();
  return ok ? 0 : 1;
}
