// LoginDialog: asks the person for the user name and password an application
// server with accounts wants, with the server's address and, after a refusal,
// why the last try was refused. Entrar accepts, Cancelar gives up.
//
// LoginPrompt: the host's answer to a connection the server refuses for its
// login (net::ILoginPrompt): the dialog over the main window, opened with the
// user name last admitted on this desktop (kept in the host's settings); the
// password is never kept by the host (the connection keeps it in memory for
// its reconnections). It also remembers the account and role admitted, for
// the status bar.
#pragma once

#include <QDialog>
#include <QPointer>
#include <functional>
#include <string>

#include "net/client_security.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace host {

class LoginDialog : public QDialog {
 public:
  LoginDialog(const QString& server, const QString& user_name, const QString& problem,
              QWidget* parent);
  QLineEdit* UserField() const { return user_; }
  QLineEdit* PasswordField() const { return password_; }
  QLabel* ProblemLabel() const { return problem_; }

 private:
  void UpdateEnter();

  QLineEdit* user_;
  QLineEdit* password_;
  QLabel* problem_;
  QPushButton* enter_;
};

class LoginPrompt : public net::ILoginPrompt {
 public:
  // `admitted` runs after each admission (the status bar shows it).
  LoginPrompt(QWidget* window, std::function<void()> admitted);
  bool Ask(const net::LoginRequest& request, std::string& user_name,
           std::string& password) override;
  void Admitted(const std::string& account, const std::string& role) override;

  // The account and role last admitted; empty before any login.
  const std::string& Account() const { return account_; }
  const std::string& Role() const { return role_; }

 private:
  QPointer<QWidget> window_;
  std::function<void()> admitted_;
  std::string account_;
  std::string role_;
};

}  // namespace host
