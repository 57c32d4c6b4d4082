#include "login_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "host_settings.h"

namespace host {

LoginDialog::LoginDialog(const QString& server, const QString& user_name, const QString& problem,
                         QWidget* parent)
    : QDialog(parent),
      user_(new QLineEdit(user_name, this)),
      password_(new QLineEdit(this)),
      problem_(new QLabel(problem, this)) {
  setObjectName(QStringLiteral("loginDialog"));
  setWindowTitle(QStringLiteral("Entrar no servidor"));
  user_->setObjectName(QStringLiteral("loginUser"));
  password_->setObjectName(QStringLiteral("loginPassword"));
  password_->setEchoMode(QLineEdit::Password);
  // The server's words are shown as words, never as markup.
  problem_->setObjectName(QStringLiteral("loginProblem"));
  problem_->setTextFormat(Qt::PlainText);
  problem_->setWordWrap(true);

  auto* fields = new QFormLayout;
  fields->addRow(QStringLiteral("Servidor:"), new QLabel(server, this));
  fields->addRow(QStringLiteral("&Usuário:"), user_);
  fields->addRow(QStringLiteral("&Senha:"), password_);
  auto* buttons = new QDialogButtonBox(this);
  enter_ = buttons->addButton(QStringLiteral("&Entrar"), QDialogButtonBox::AcceptRole);
  enter_->setObjectName(QStringLiteral("loginEnter"));
  buttons->addButton(QStringLiteral("&Cancelar"), QDialogButtonBox::RejectRole)
      ->setObjectName(QStringLiteral("loginCancel"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(user_, &QLineEdit::textChanged, this, [this] { UpdateEnter(); });
  connect(password_, &QLineEdit::textChanged, this, [this] { UpdateEnter(); });

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(problem_);
  layout->addLayout(fields);
  layout->addWidget(buttons);
  setMinimumWidth(380);
  UpdateEnter();
  (user_name.isEmpty() ? user_ : password_)->setFocus();
}

void LoginDialog::UpdateEnter() {
  enter_->setEnabled(!user_->text().trimmed().isEmpty() && !password_->text().isEmpty());
}

LoginPrompt::LoginPrompt(QWidget* window, std::function<void()> admitted)
    : window_(window), admitted_(std::move(admitted)) {}

bool LoginPrompt::Ask(const net::LoginRequest& request, std::string& user_name,
                      std::string& password) {
  // The first question offers the name last admitted here; after a refusal,
  // the name just tried.
  QString name = QString::fromStdString(user_name);
  if (request.refusal == net::LoginRefusal::kNeedsLogin && !SavedLoginUser().isEmpty())
    name = SavedLoginUser();
  LoginDialog dialog(QString::fromStdString(request.address), name,
                     QString::fromStdString(request.text), window_);
  // A connection is often opened with the hourglass up.
  QApplication::setOverrideCursor(Qt::ArrowCursor);
  const bool entered = dialog.exec() == QDialog::Accepted;
  QApplication::restoreOverrideCursor();
  if (!entered) return false;
  user_name = dialog.UserField()->text().trimmed().toStdString();
  password = dialog.PasswordField()->text().toStdString();
  dialog.PasswordField()->clear();
  return true;
}

void LoginPrompt::Admitted(const std::string& account, const std::string& role) {
  account_ = account;
  role_ = role;
  if (!account.empty()) SaveLoginUser(QString::fromStdString(account));
  if (admitted_) admitted_();
}

}  // namespace host
