#include "qt_user_interface.h"

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTranslator>

#include "busy_overlay.h"
#include "long_list_text.h"
#include "lookup_dialog.h"
#include "other_desks_view.h"
#include "search_dialog.h"

namespace host {

namespace {

QString Text(const std::string& s) {
  return QString::fromStdString(s);
}

QMessageBox::Icon IconOf(vcl::TMsgDlgType type) {
  switch (type) {
    case vcl::TMsgDlgType::mtWarning:
      return QMessageBox::Warning;
    case vcl::TMsgDlgType::mtError:
      return QMessageBox::Critical;
    case vcl::TMsgDlgType::mtInformation:
      return QMessageBox::Information;
    case vcl::TMsgDlgType::mtConfirmation:
      return QMessageBox::Question;
    case vcl::TMsgDlgType::mtCustom:
      return QMessageBox::NoIcon;
  }
  return QMessageBox::NoIcon;
}

QString TitleOf(vcl::TMsgDlgType type) {
  switch (type) {
    case vcl::TMsgDlgType::mtWarning:
      return QStringLiteral("Aviso");
    case vcl::TMsgDlgType::mtError:
      return QStringLiteral("Erro");
    case vcl::TMsgDlgType::mtInformation:
      return QStringLiteral("Informação");
    case vcl::TMsgDlgType::mtConfirmation:
      return QStringLiteral("Confirmação");
    case vcl::TMsgDlgType::mtCustom:
      break;
  }
  return QApplication::applicationDisplayName();
}

// Buttons with Portuguese texts; returns the button standing for each answer.
QPushButton* AddButton(QMessageBox& box, const QString& text, QMessageBox::ButtonRole role) {
  return box.addButton(text, role);
}

// A text naming a long list of codes shows its first codes and a count; the
// whole list goes to the details, behind a button the box adds beside the
// answers (it answers nothing; the default and escape buttons stay).
void SetReadableText(QMessageBox& box, const std::string& text) {
  const ShortenedText shortened = ShortenLongList(Text(text));
  box.setText(shortened.text);
  if (shortened.details.isEmpty()) return;
  box.setDetailedText(shortened.details);
}

// Qt labels the button that opens a box's details in English; the host
// speaks Portuguese.
class DetailsButtonLabels : public QTranslator {
 public:
  QString translate(const char* context, const char* source, const char*, int) const override {
    if (qstrcmp(context, "QMessageBox") != 0) return {};
    if (qstrcmp(source, "Show Details...") == 0) return QStringLiteral("Mostrar a lista…");
    if (qstrcmp(source, "Hide Details...") == 0) return QStringLiteral("Ocultar a lista");
    return {};
  }
  bool isEmpty() const override { return false; }
};

// Blocking calls may be under way with the hourglass up: a dialog shows the
// normal arrow while the person answers.
struct ArrowWhileAsking {
  ArrowWhileAsking() { QApplication::setOverrideCursor(Qt::ArrowCursor); }
  ~ArrowWhileAsking() { QApplication::restoreOverrideCursor(); }
};

// Nor does a dialog ever sit under or beside the busy animation: a dialog
// the library did not take it down for hides it until the answer.
class BusyDownWhileAsking {
 public:
  explicit BusyDownWhileAsking(QWidget* busy) : busy_(busy), was_visible_(busy->isVisible()) {
    if (was_visible_) busy_->hide();
  }
  ~BusyDownWhileAsking() {
    if (was_visible_) busy_->show();
  }

 private:
  QWidget* busy_;
  bool was_visible_;
};

// Without a window manager (the host inside Xvfb) nobody hands the activation
// back when a dialog closes: the screen would keep taking keys yet show no
// caret, no cell button and no focus. The main window takes it back itself.
class BackToTheWindowAfterAsking {
 public:
  explicit BackToTheWindowAfterAsking(QWidget* window) : window_(window) {}
  ~BackToTheWindowAfterAsking() {
    const QWidget* active = QApplication::activeWindow();
    if (window_ && window_->isVisible() && (!active || !active->isVisible()))
      window_->activateWindow();
  }
  BackToTheWindowAfterAsking(const BackToTheWindowAfterAsking&) = delete;
  BackToTheWindowAfterAsking& operator=(const BackToTheWindowAfterAsking&) = delete;

 private:
  QPointer<QWidget> window_;
};

}  // namespace

QtUserInterface::QtUserInterface(QWidget* main_window)
    : window_(main_window), busy_(new BusyOverlay(main_window)) {
  if (auto* main = qobject_cast<QMainWindow*>(main_window)) other_desks_ = new OtherDesksView(main);
  static DetailsButtonLabels* labels = [] {
    auto* t = new DetailsButtonLabels;
    QCoreApplication::installTranslator(t);
    return t;
  }();
  (void)labels;
}

QtUserInterface::~QtUserInterface() {
  if (wait_cursor_) QApplication::restoreOverrideCursor();
}

void QtUserInterface::ShowError(const std::string& text) {
  BackToTheWindowAfterAsking back(window_);
  ArrowWhileAsking arrow;
  BusyDownWhileAsking busy(busy_);
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Erro"), QString(), QMessageBox::NoButton,
                  window_);
  box.setObjectName(QStringLiteral("errorMessage"));
  SetReadableText(box, text);
  box.setDefaultButton(AddButton(box, QStringLiteral("OK"), QMessageBox::AcceptRole));
  box.exec();
}

int QtUserInterface::ShowMessageDialog(const std::string& text, vcl::TMsgDlgType type,
                                       vcl::TMsgDlgButtons buttons, int) {
  BackToTheWindowAfterAsking back(window_);
  ArrowWhileAsking arrow;
  BusyDownWhileAsking busy(busy_);
  QMessageBox box(IconOf(type), TitleOf(type), Text(text), QMessageBox::NoButton, window_);
  box.setObjectName(QStringLiteral("messageDialog"));
  QPushButton* yes = nullptr;
  QPushButton* no = nullptr;
  QPushButton* ok = nullptr;
  QPushButton* cancel = nullptr;
  if (buttons & vcl::mbYes) yes = AddButton(box, QStringLiteral("&Sim"), QMessageBox::YesRole);
  if (buttons & vcl::mbNo) no = AddButton(box, QStringLiteral("&Não"), QMessageBox::NoRole);
  if (buttons & vcl::mbOK) ok = AddButton(box, QStringLiteral("OK"), QMessageBox::AcceptRole);
  if (buttons & vcl::mbCancel)
    cancel = AddButton(box, QStringLiteral("Cancelar"), QMessageBox::RejectRole);
  if (!yes && !no && !ok && !cancel)
    ok = AddButton(box, QStringLiteral("OK"), QMessageBox::AcceptRole);
  box.setDefaultButton(yes ? yes : ok ? ok : no ? no : cancel);
  if (cancel)
    box.setEscapeButton(cancel);
  else if (no)
    box.setEscapeButton(no);
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  if (clicked && clicked == yes) return vcl::mrYes;
  if (clicked && clicked == no) return vcl::mrNo;
  if (clicked && clicked == ok) return vcl::mrOk;
  if (clicked && clicked == cancel) return vcl::mrCancel;
  // Closed without a button: the safe answer.
  return no ? vcl::mrNo : cancel ? vcl::mrCancel : vcl::mrOk;
}

int QtUserInterface::MessageBox(const std::string& text, const std::string& caption,
                                unsigned flags) {
  BackToTheWindowAfterAsking back(window_);
  ArrowWhileAsking arrow;
  BusyDownWhileAsking busy(busy_);
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (flags & 0xF0) {
    case vcl::MB_ICONERROR:
      icon = QMessageBox::Critical;
      break;
    case vcl::MB_ICONQUESTION:
      icon = QMessageBox::Question;
      break;
    case vcl::MB_ICONWARNING:
      icon = QMessageBox::Warning;
      break;
    default:
      break;
  }
  QMessageBox box(icon, caption.empty() ? QApplication::applicationDisplayName() : Text(caption),
                  QString(), QMessageBox::NoButton, window_);
  box.setObjectName(QStringLiteral("messageBox"));
  SetReadableText(box, text);
  if ((flags & 0x0F) == vcl::MB_YESNO) {
    QPushButton* yes = AddButton(box, QStringLiteral("&Sim"), QMessageBox::YesRole);
    QPushButton* no = AddButton(box, QStringLiteral("&Não"), QMessageBox::NoRole);
    box.setDefaultButton((flags & vcl::MB_DEFBUTTON2) ? no : yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes ? vcl::IDYES : vcl::IDNO;
  }
  box.setDefaultButton(AddButton(box, QStringLiteral("OK"), QMessageBox::AcceptRole));
  box.exec();
  return vcl::IDOK;
}

bool QtUserInterface::Lookup(db::TDataSource& source, const std::string& title) {
  BackToTheWindowAfterAsking back(window_);
  ArrowWhileAsking arrow;
  BusyDownWhileAsking busy(busy_);
  LookupDialog dialog(source, Text(title), window_);
  return dialog.Run();
}

bool QtUserInterface::Search(db::TClientDataSet& dataset) {
  BackToTheWindowAfterAsking back(window_);
  ArrowWhileAsking arrow;
  BusyDownWhileAsking busy(busy_);
  SearchDialog dialog(dataset, window_);
  return dialog.Run();
}

void QtUserInterface::ShowBusy(int kind, const std::string& caption) {
  busy_->ShowBusy(kind, Text(caption));
}

void QtUserInterface::HideBusy() {
  busy_->HideBusy();
}

void QtUserInterface::CursorChanged(int cursor) {
  const bool wait = cursor == vcl::crHourGlass;
  if (wait == wait_cursor_) return;
  wait_cursor_ = wait;
  if (wait) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void QtUserInterface::ShowPassingNote(const std::string& text) {
  if (other_desks_) other_desks_->ShowPassingNote(text);
}

void QtUserInterface::ShowStandingNote(const std::string& text) {
  if (other_desks_) other_desks_->ShowStandingNote(text);
}

void QtUserInterface::ShowChangedBar(const std::string& text, std::function<void()> reload) {
  if (other_desks_) other_desks_->ShowChangedBar(text, std::move(reload));
}

}  // namespace host
