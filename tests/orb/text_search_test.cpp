#include "orb/text_search.h"

#include <gtest/gtest.h>

#include "db/client_dataset.h"

namespace orb {
namespace {

TEST(SearchKey, FoldsCaseAndTheAccentsOfLatinLetters) {
  EXPECT_EQ(SearchKey("Número inteiro"), SearchKey("NUMERO INTEIRO"));
  EXPECT_EQ(SearchKey("Ação, Ñandú, Über"), "ACAO, NANDU, UBER");
  // Signs and other characters are no letters and stay.
  EXPECT_EQ(SearchKey("2×3÷ß €"), "2×3÷ß €");
}

class FindTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ds.AddStringField("NAME", 30);
    ds.CreateDataSet();
    for (const char* name : {"Preço médio", "Quantidade", "Preco final", "Número"}) {
      ds.Append();
      ds.FieldByName("NAME")->SetAsString(name);
      ds.Post();
    }
  }
  db::TClientDataSet ds{nullptr};
};

TEST_F(FindTextTest, FromAGivenRowOnAndRoundToTheStart) {
  EXPECT_EQ(FindText(ds, "NAME", "preco", 1).recno, 1);
  const TextHit next = FindText(ds, "NAME", "preco", 2);
  EXPECT_EQ(next.recno, 3);
  EXPECT_FALSE(next.wrapped);
  const TextHit round = FindText(ds, "NAME", "PREÇO", 4);
  EXPECT_EQ(round.recno, 1);
  EXPECT_TRUE(round.wrapped);
  EXPECT_EQ(FindText(ds, "NAME", "tidad", 1).recno, 2);  // anywhere in the text
  EXPECT_EQ(ds.RecNo(), 4);                              // nothing moved
}

TEST_F(FindTextTest, NothingToFindIsNoRow) {
  EXPECT_EQ(FindText(ds, "NAME", "custo", 1).recno, 0);
  EXPECT_EQ(FindText(ds, "NAME", "", 1).recno, 0);
  EXPECT_EQ(FindText(ds, "OTHER", "preco", 1).recno, 0);
}

}  // namespace
}  // namespace orb
