// The reading methods: their shapes, by-reference codes and look-ups.
#include "rdm_fixture.h"

namespace appserver::testing {
namespace {

using Reading = RdmTest;

TEST_F(Reading, LoadFormFillsBothPacketsAndWritesTheNormalisedCodeBack) {
  std::vector<Variant> a{" fato_vendas ", "", "", "", Variant(), Variant()};
  Variant r = CallRef("GetDimeFatos", a);
  EXPECT_TRUE(r.IsEmpty());
  EXPECT_EQ(a[0], Variant("FATO_VENDAS"));
  EXPECT_EQ(FieldsOfPacket(a[4]), kDimeFields);
  EXPECT_EQ(FieldsOfPacket(a[5]), kFactFields);
  EXPECT_EQ(Column(a[4], "NRSEQUEDIME"), (std::vector<std::string>{"00001", "00003", "00002"}));
  auto facts = Rows(a[5]);
  ASSERT_EQ(facts.size(), 2u);
  const Row* venda = Find(facts, "CDITEMDW", "VL_VENDA");
  ASSERT_NE(venda, nullptr);
  EXPECT_EQ(venda->at("CDTABDRILL"), "DRILL_VENDAS_DIA");
  EXPECT_EQ(venda->at("IDFATODW"), "S");
  EXPECT_EQ(venda->at("IDTPFATODW"), "M");
  EXPECT_EQ(venda->at("CDAREANEGDW"), "00001");

  std::vector<Variant> unknown{"NO_SUCH", "", "", "", Variant(), Variant()};
  CallRef("GetDimeFatos", unknown);
  EXPECT_TRUE(Rows(unknown[4]).empty());
  EXPECT_TRUE(Rows(unknown[5]).empty());
}

TEST_F(Reading, CheckFormsAnswerTheClashingRowsOnly) {
  std::vector<Variant> byColumn{"fato_vendas", "VL_VENDA", "", "VD_FATO", "", ""};
  Variant r = CallRef("GetDimeFatos", byColumn);
  EXPECT_EQ(byColumn[0], Variant("FATO_VENDAS"));
  EXPECT_EQ(FieldsOfPacket(r), (std::vector<db::PacketField>{{"IDFATODW", 1, true},
                                                             {"CDTABELADW", 30, false},
                                                             {"CDITEMDW", 30, false},
                                                             {"NMITEMDW", 30, false},
                                                             {"CDAREANEGDW", 5, false},
                                                             {"IDTPFATODW", 1, true},
                                                             {"DSHINTITEM", 200, false}}));
  EXPECT_EQ(Column(r, "CDITEMDW"), (std::vector<std::string>{"VL_VENDA"}));

  EXPECT_EQ(
      Column(Call("GetDimeFatos", {"FATO_VENDAS", "", "quantidade VENDIDA", "VD_FATO", "", ""}),
             "CDITEMDW"),
      (std::vector<std::string>{"QT_VENDIDA"}));  // names compare without regard to case
  EXPECT_TRUE(Rows(Call("GetDimeFatos", {"FATO_VENDAS", "", "", "VD_FATO", "", ""})).empty());
  EXPECT_TRUE(
      Rows(Call("GetDimeFatos", {"FATO_VENDAS", "PC_MARGEM", "Nova", "VD_FATO", "", ""})).empty());

  Variant dime = Call("GetDimeFatos", {"FATO_VENDAS", "", "3", "VD_DIME", "", ""});
  EXPECT_EQ(FieldsOfPacket(dime), kDimeFields);
  EXPECT_EQ(Column(dime, "CDITEMDIME"), (std::vector<std::string>{"CD_MES"}));
  EXPECT_EQ(Column(Call("GetDimeFatos", {"FATO_VENDAS", "cd_cliente", "", "VD_DIME", "", ""}),
                   "NRSEQUEDIME"),
            (std::vector<std::string>{"00001"}));
}

TEST_F(Reading, GetTabelasListsOneKindOrFindsOneCodeOfEitherKind) {
  std::vector<Variant> all{"", false};
  Variant facts = CallRef("GetTabelas", all);
  EXPECT_EQ(FieldsOfPacket(facts), kTableListFields);
  EXPECT_EQ(Column(facts, "CDTABELADW"),
            (std::vector<std::string>{"FATO_ESTOQUE", "FATO_FINANCEIRO", "FATO_VENDAS"}));
  EXPECT_EQ(Column(Call("GetTabelas", {"", true}), "CDTABELADW"),
            (std::vector<std::string>{"DRILL_ESTOQUE_LOTE", "DRILL_VENDAS_DIA"}));

  std::vector<Variant> one{" drill_vendas_dia", false};
  Variant found = CallRef("GetTabelas", one);
  EXPECT_EQ(one[0], Variant("DRILL_VENDAS_DIA"));
  ASSERT_EQ(Rows(found).size(), 1u);
  EXPECT_EQ(Rows(found)[0].at("IDDRILLDOWN"), "S");
  EXPECT_TRUE(Rows(Call("GetTabelas", {"FATO_COMPRAS", false})).empty());
  EXPECT_TRUE(Rows(Call("GetTabelas", {"X'; --", false})).empty());
}

TEST_F(Reading, GetFieldsOffersFreeColumnsOfTheRightKind) {
  std::vector<Variant> a{"F", "fato_vendas"};
  Variant f = CallRef("GetFields", a);
  EXPECT_EQ(a[1], Variant("FATO_VENDAS"));
  EXPECT_EQ(FieldsOfPacket(f), (std::vector<db::PacketField>{{"CDFIELD", 30, false}}));
  // Numeric and not yet a fact or dimension; CD_VENDEDOR is an integer.
  EXPECT_EQ(Column(f, "CDFIELD"),
            (std::vector<std::string>{"CD_VENDEDOR", "VL_DESCONTO", "PC_MARGEM"}));
  EXPECT_EQ(Column(Call("GetFields", {"D", "FATO_VENDAS"}), "CDFIELD"),
            (std::vector<std::string>{"DT_VENDA", "CD_REGIAO", "CD_VENDEDOR"}));
  // A drill table is measured against its drill facts and dimensions.
  EXPECT_EQ(Column(Call("GetFields", {"F", "DRILL_VENDAS_DIA"}), "CDFIELD"),
            (std::vector<std::string>{"CD_VENDEDOR", "NR_NOTA", "VL_DESCONTO"}));
  // An unregistered warehouse table offers all its columns of the kind.
  EXPECT_EQ(Column(Call("GetFields", {"F", "FATO_COMPRAS"}), "CDFIELD").size(), 5u);
  EXPECT_EQ(ErrorText(Call("GetFields", {"F", "NAO_EXISTE"})), "INV_TABELANAO_EXISTE");
}

TEST_F(Reading, GetDimeFatosDrillFillsFactsThenDimensions) {
  std::vector<Variant> a{"drill_vendas_dia", Variant(), Variant()};
  EXPECT_TRUE(CallRef("GetDimeFatosDrill", a).IsEmpty());
  EXPECT_EQ(FieldsOfPacket(a[1]), kDrillFactFields);
  EXPECT_EQ(FieldsOfPacket(a[2]), kDrillDimeFields);
  EXPECT_EQ(Rows(a[1]).size(), 2u);
  EXPECT_EQ(Column(a[2], "NRSEQUEDIME").size(), 4u);
}

}  // namespace
}  // namespace appserver::testing
