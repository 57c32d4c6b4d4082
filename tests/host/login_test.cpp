// The host against a server with accounts, on the offscreen platform: the
// login dialog, and a leitor who may browse the screen but not change it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QThread>

#include "appserver/accounts/accounts.h"
#include "db/client_dataset.h"
#include "host_screen_fixture.h"
#include "host_settings.h"
#include "login_dialog.h"
#include "net/client_security.h"
#include "render_controls.h"
#include "vcl/button_flat.h"

namespace {

using appserver::Role;

// What the login dialog showed when it came up.
struct Shown {
  std::string problem;
  std::string user;
  std::string password;
};

class LoginTest : public host_test::HostScreenTest {
 protected:
  void SetUp() override {
    HostScreenTest::SetUp();
    auto storage = appserver::OpenStorage({server_.DatabasePath()});
    appserver::Accounts accounts(*storage);
    accounts.Add("ana", Role::kEditor, "senha-da-ana");
    accounts.Add("leo", Role::kReader, "senha-do-leo");
    accounts.Add("eva", Role::kEditor, "senha-da-eva");
    accounts.SetActive("eva", false);
  }
  void TearDown() override {
    HostScreenTest::TearDown();
    // What a login left in this process's memory goes with the test.
    net::SetDefaultClientSecurity({"", "", net::CurrentUserName()});
  }

  // A step for the login dialog: notes what it shows, then enters `user`
  // and `password`, or cancels when `user` is empty. `wait_ms` first, as a
  // person reading the text would.
  host_test::DialogAnswerer::Step Login(std::string user, std::string password, int wait_ms = 0) {
    return [this, user, password, wait_ms](QWidget* w) {
      auto* dialog = dynamic_cast<host::LoginDialog*>(w);
      ASSERT_NE(dialog, nullptr) << w->objectName().toStdString();
      shown_.push_back({dialog->ProblemLabel()->text().toStdString(),
                        dialog->UserField()->text().toStdString(),
                        dialog->PasswordField()->text().toStdString()});
      if (user.empty()) {
        dialog->findChild<QPushButton*>(QStringLiteral("loginCancel"))->click();
        return;
      }
      QThread::msleep(wait_ms);
      dialog->UserField()->setText(QString::fromStdString(user));
      QTest::keyClicks(dialog->PasswordField(), QString::fromStdString(password));
      dialog->findChild<QPushButton*>(QStringLiteral("loginEnter"))->click();
    };
  }

  static QString SettingsFile() {
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + "/layout.ini";
  }

  std::vector<Shown> shown_;
};

// Cancel leaves the host as it was, with no screen and no error; a wrong
// password brings the dialog back with its text and the name typed; the
// right one opens the screen. Only the name is kept on disk.
TEST_F(LoginTest, AWrongPasswordIsToldInTheDialogAndOnlyTheAdmittedNameIsKept) {
  host::SaveLoginUser(QStringLiteral("leo"));
  answers_.Expect(Login("", ""));
  EXPECT_EQ(OpenFromMenu(), nullptr);
  EXPECT_EQ(answers_.Texts().size(), 0u);

  answers_.Expect(Login("ana", "senha-errada"));
  // The address waits a second after a wrong password.
  answers_.Expect(Login("ana", "senha-da-ana", 1200));
  form_ = OpenFromMenu();
  ASSERT_NE(form_, nullptr);
  EXPECT_EQ(answers_.Pending(), 0u);
  ASSERT_EQ(shown_.size(), 3u);
  EXPECT_EQ(shown_[0].problem, "Este servidor exige usuário e senha: informe-os para entrar.");
  EXPECT_EQ(shown_[0].user, "leo");  // remembered from the last login
  EXPECT_EQ(shown_[2].problem, "Usuário ou senha inválidos. Verifique-os e tente de novo.");
  EXPECT_EQ(shown_[2].user, "ana");
  EXPECT_EQ(shown_[2].password, "");
  EXPECT_TRUE(window_.ServerText().endsWith(QStringLiteral("Conta: ana (editor)")))
      << window_.ServerText().toStdString();
  EXPECT_TRUE(View<QWidget>(Model<vcl::TButtonFlat>("sbtIncluir"))->isEnabled());

  EXPECT_EQ(host::SavedLoginUser(), QStringLiteral("ana"));
  QFile settings(SettingsFile());
  ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
  const QByteArray kept = settings.readAll();
  EXPECT_FALSE(kept.contains("senha")) << kept.toStdString();
}

TEST_F(LoginTest, ADisabledAccountIsToldSo) {
  answers_.Expect(Login("eva", "senha-da-eva"));
  answers_.Expect(Login("", ""));
  EXPECT_EQ(OpenFromMenu(), nullptr);
  ASSERT_EQ(shown_.size(), 2u);
  EXPECT_EQ(shown_[1].problem,
            "A conta \"eva\" está desativada; peça a quem administra o servidor que a reative.");
  EXPECT_EQ(shown_[1].user, "eva");
}

// A leitor browses every list; the commands that change are off and the
// grids take no typing. A change that gets past the screen anyway is
// refused by the server in its words and leaves nothing pending.
TEST_F(LoginTest, ALeitorBrowsesButCannotChangeAndARefusedSaveLeavesNothingPending) {
  answers_.Expect(Login("leo", "senha-do-leo"));
  form_ = OpenFromMenu();
  ASSERT_NE(form_, nullptr);
  EXPECT_TRUE(window_.ServerText().endsWith(QStringLiteral("Conta: leo (leitor)")));

  auto* tables = Model<vcl::TDBGrid>("dbgTabelaFatos");
  ASSERT_TRUE(tables && tables->RowCount() > 1);
  ClickCell(tables, 2, 0);
  EXPECT_EQ(tables->Row(), 2);
  EXPECT_GT(Model<vcl::TDBGrid>("dbgFatos")->RowCount(), 0);
  for (const char* command : {"sbtIncluir", "sbtAlterar", "sbtExcluir"})
    EXPECT_FALSE(View<QWidget>(Model<vcl::TButtonFlat>(command))->isEnabled()) << command;
  EXPECT_TRUE(View<QWidget>(Model<vcl::TButtonFlat>("sbtProcurar"))->isEnabled());
  db::TClientDataSet* list = tables->DataSet();
  host::GridView* view = GridOf(tables);
  QTest::keyClicks(view, "Outro nome");
  QTest::keyClick(view, Qt::Key_Insert);
  QTest::keyClick(view, Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(list->State(), db::TDataSetState::dsBrowse);
  EXPECT_FALSE(tables->EditorMode());

  const std::string code = list->FieldByName("CDTABELADW")->AsString();
  const std::string stored = host_test::StoredTableName(server_, code);
  list->Edit();
  list->FieldByName("NMTABELADW")->SetAsString("Renomeada por quem só lê");
  answers_.Expect(host_test::DialogAnswerer::Press(QStringLiteral("OK")));
  ClickButton("sbtConfirmar");
  ASSERT_EQ(answers_.Texts().size(), 1u);
  EXPECT_EQ(answers_.Texts()[0].rfind("Sua conta tem acesso somente de leitura", 0), 0u)
      << answers_.Texts()[0];
  EXPECT_EQ(list->ChangeCount(), 0);
  EXPECT_EQ(host_test::StoredTableName(server_, code), stored);
  list->Cancel();
  EXPECT_EQ(list->FieldByName("NMTABELADW")->AsString(), stored);
}

}  // namespace
