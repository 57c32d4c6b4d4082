#include "orb/dialogs.h"

#include <gtest/gtest.h>

#include "db/client_dataset.h"
#include "db/data_source.h"
#include "rtl/exceptions.h"
#include "support/scripted_ui.h"

namespace orb {
namespace {

TEST(MensErro, ShowsTheErrorAndAbortsOnlyWhenAsked) {
  qmxtest::ScopedScriptedUI ui;
  ui->ExpectError("Código deve ser informado.");
  EXPECT_NO_THROW(MensErro("Código deve ser informado.", false));
  ui->ExpectError("Nome deve ser informado.");
  EXPECT_THROW(MensErro("Nome deve ser informado.", true), rtl::EAbort);
  EXPECT_EQ(ui->Errors(),
            (std::vector<std::string>{"Código deve ser informado.", "Nome deve ser informado."}));
}

TEST(MensErro, WithoutAUserInterfaceNothingIsSwallowed) {
  ASSERT_FALSE(vcl::HasUserInterface());
  EXPECT_THROW(MensErro("x", false), rtl::Exception);
}

class LookupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dataset.SetName("cdsAreaNegDW");
    qmxtest::FillCodes(dataset, source, "CDAREANEGDW", {"00001", "00002", "00003"});
  }
  std::string Current() const { return dataset.FieldByName("CDAREANEGDW")->AsString(); }

  qmxtest::ScopedScriptedUI ui;
  db::TClientDataSet dataset{nullptr};
  db::TDataSource source{nullptr};
};

TEST_F(LookupTest, PesquisarPositionsOnTheChosenRow) {
  ui->ExpectLookup(2, "Data Mart");
  EXPECT_TRUE(Pesquisar(source, "Data Mart", false, true));
  EXPECT_EQ(Current(), "00002");
  ui->ExpectLookupCancel();
  EXPECT_FALSE(Pesquisar(source, "Data Mart", false, true));
  EXPECT_EQ(Current(), "00002");
}

TEST_F(LookupTest, PesquisarWithoutPositioningGoesBackToTheFormerRow) {
  ui->ExpectLookup(3);
  EXPECT_TRUE(Pesquisar(source, "Data Mart", false, false));
  EXPECT_EQ(Current(), "00001");
}

TEST_F(LookupTest, PesquisarRefusesMultipleSelectionAndSkipsAClosedDataset) {
  EXPECT_THROW(Pesquisar(source, "Data Mart", true, true), rtl::Exception);
  dataset.Close();
  EXPECT_FALSE(Pesquisar(source, "Data Mart", false, true));  // no question asked
  db::TDataSource empty(nullptr);
  EXPECT_FALSE(Pesquisar(empty, "Nada", false, true));
  EXPECT_TRUE(ui->Questions().empty());
}

TEST_F(LookupTest, ProcuraRoutesToTheSearchDialog) {
  ui->ExpectSearch(3);
  EXPECT_TRUE(Procura(dataset));
  EXPECT_EQ(Current(), "00003");
  ui->ExpectSearchCancel();
  EXPECT_FALSE(Procura(dataset));
  EXPECT_EQ(Current(), "00003");
  ASSERT_EQ(ui->Questions().size(), 2u);
  EXPECT_EQ(ui->Questions()[0].kind, qmxtest::QuestionKind::kSearch);
  EXPECT_EQ(ui->Questions()[0].text, "cdsAreaNegDW");
  dataset.Close();
  EXPECT_FALSE(Procura(dataset));
  EXPECT_EQ(ui->Questions().size(), 2u);
}

}  // namespace
}  // namespace orb
