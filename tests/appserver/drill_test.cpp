// The drill-down consistency rule and every impact question.
#include "rdm_fixture.h"
#include "wide_drill.h"

namespace appserver::testing {
namespace {

class Drill : public RdmTest {
 protected:
  std::string Affected(const Variant& r) {
    EXPECT_EQ(ErrorText(r), "");
    auto rows = Rows(r);
    EXPECT_EQ(rows.size(), 1u);
    return rows.empty() ? "?" : rows[0].at("TABELAS");
  }
  // Registers FATO_COMPRAS as a drill table with nothing in it.
  void RegisterEmptyDrillTable() {
    Variant r = Call("SetTabelaDrill",
                     {DeltaBuilder(kTableFields).Insert({"FATO_COMPRAS", "Compras", "S"}).Build()});
    ASSERT_EQ(ErrorText(r), "");
  }
};

TEST_F(Drill, LinkQuestionNamesEachWayALinkCanBeInconsistent) {
  EXPECT_EQ(Affected(Call("getVdDrill", {"DRILL_VENDAS_DIA", "FATO_VENDAS", "", ""})), "");
  EXPECT_EQ(ErrorText(Call("getVdDrill", {"FATO_ESTOQUE", "FATO_VENDAS", "", ""})),
            "NOT_TAB_DRILLFATO_ESTOQUE");
  RegisterEmptyDrillTable();
  EXPECT_EQ(ErrorText(Call("getVdDrill", {"fato_compras", "FATO_VENDAS", "", ""})),
            "SEM_FATOFATO_COMPRAS");
  ASSERT_EQ(
      ErrorText(Call("SetFatosDrill", {DeltaBuilder(kDrillFactFields)
                                           .Insert({"FATO_COMPRAS", "VL_COMPRA", "Valor", "M", ""})
                                           .Build()})),
      "");
  EXPECT_EQ(ErrorText(Call("getVdDrill", {"FATO_COMPRAS", "FATO_VENDAS", "", ""})),
            "SEM_DIMEFATO_COMPRAS");
  ASSERT_EQ(
      ErrorText(Call(
          "SetDimeDrill",
          {DeltaBuilder(kDrillDimeFields).Insert({"FATO_COMPRAS", "CD_PRODUTO", "2"}).Build()})),
      "");
  // FATO_VENDAS has Cliente, Produto and Mês; the drill table only Produto.
  EXPECT_EQ(ErrorText(Call("getVdDrill", {"FATO_COMPRAS", "FATO_VENDAS", "", ""})),
            "DIME_DRILL_MENORFATO_COMPRAS.FATO_VENDAS");
  EXPECT_EQ(ErrorText(Call("getVdDrill", {"DRILL_VENDAS_DIA", "NAO_EXISTE", "", ""})),
            "INV_TABELANAO_EXISTE");
}

TEST_F(Drill, DimensionLossGainAndChangeQuestions) {
  // The drill table loses Cliente: FATO_VENDAS drills into it and has Cliente.
  EXPECT_EQ(Affected(Call("getVdDrill", {"DRILL_VENDAS_DIA", "FATO_ESTOQUE", "1", ""})),
            "FATO_VENDAS");
  EXPECT_EQ(Affected(Call("getVdDrill", {"DRILL_VENDAS_DIA", "", "00010", ""})), "");
  // The fact table gains Região, which its drill table lacks; Dia it has.
  EXPECT_EQ(Affected(Call("getVdDrill", {"", "FATO_VENDAS", "", "4"})), "DRILL_VENDAS_DIA");
  EXPECT_EQ(Affected(Call("getVdDrill", {"", "FATO_VENDAS", "", "00010"})), "");
  // A drill table that gains or changes a dimension breaks nothing.
  EXPECT_EQ(Affected(Call("getVdDrill", {"DRILL_VENDAS_DIA", "00004", "", "00004"})), "");
  EXPECT_EQ(Affected(Call("getVdDrill", {"DRILL_VENDAS_DIA", "", "00004", "00004"})), "");
  EXPECT_EQ(ErrorText(Call("getVdDrill", {"FATO_VENDAS", "", "00004", "00004"})),
            "NOT_TAB_DRILLFATO_VENDAS");

  std::vector<Variant> upd{"fato_vendas", "4"};
  Variant r = CallRef("getVdUpdDimeDW", upd);
  EXPECT_EQ(upd[0], Variant("FATO_VENDAS"));
  EXPECT_EQ(FieldsOfPacket(r), (std::vector<db::PacketField>{{"TABELAS", db::kMaxFieldSize, false},
                                                             {"NRVERSAO", 20, false}}));
  EXPECT_EQ(Column(r, "TABELAS"), (std::vector<std::string>{"DRILL_VENDAS_DIA"}));
  EXPECT_TRUE(Rows(Call("getVdUpdDimeDW", {"FATO_VENDAS", "00010"})).empty());
  EXPECT_TRUE(Rows(Call("getVdUpdDimeDW", {"FATO_FINANCEIRO", "4"})).empty());  // no links
}

// 2,200 fact tables of 28 to 30 characters drill into one drill table: the
// list of them runs past what a packet field holds, and the question is
// refused in words rather than failing the call with a packet error.
TEST_F(Drill, AListLongerThanAPacketFieldHoldsIsRefusedInWords) {
  const std::string drill = qmxtest::WideCode("DRILL_MOVIMENTO_DIARIO", 0);
  const auto users = qmxtest::WideCodes("FATO_MOVIMENTO_DIARIOS", 2200);
  db_.Execute(qmxtest::InOneTransaction(qmxtest::FanInSql(drill, users)));
  size_t length = 2 * (users.size() - 1);
  for (const std::string& u : users) length += u.size();
  ASSERT_GT(length, static_cast<size_t>(db::kMaxFieldSize));
  EXPECT_EQ(ErrorText(Call("getVdDrill", {drill, "", "00002", ""})),
            "A alteração afeta 2200 tabelas, e a lista delas (" + std::to_string(length) +
                " caracteres) excede o que a resposta comporta (65535 caracteres). Retire parte "
                "dessas ligações de drill e tente de novo.");
  // The deletion guard lists them a row each, as long as the list runs.
  EXPECT_EQ(Rows(Call("getVdDelDrill", {drill, true})).size(), users.size());
}

TEST_F(Drill, DeletionGuardListsThenDropsEveryUse) {
  Variant uses = Call("getVdDelDrill", {"drill_vendas_dia", true});
  EXPECT_EQ(FieldsOfPacket(uses),
            (std::vector<db::PacketField>{{"CDTABELADW", 30, false}, {"NRVERSAO", 20, false}}));
  EXPECT_EQ(Column(uses, "CDTABELADW"), (std::vector<std::string>{"FATO_VENDAS"}));
  EXPECT_TRUE(Call("getVdDelDrill", {"DRILL_VENDAS_DIA", false}).IsEmpty());
  EXPECT_TRUE(Rows(Call("getVdDelDrill", {"DRILL_VENDAS_DIA", true})).empty());
  for (const Row& f : Facts("FATO_VENDAS")) EXPECT_EQ(f.at("CDTABDRILL"), "");
  // Other links stay.
  EXPECT_EQ(ValueOf(Facts("FATO_ESTOQUE"), "CDITEMDW", "QT_ESTOQUE", "CDTABDRILL"),
            "DRILL_ESTOQUE_LOTE");
}

TEST_F(Drill, SetDelDrillDwTakesADrillCodeOrDollarsAndAFactCode) {
  // Drill side: the packet lists fact tables, the key is the drill table.
  std::vector<Variant> a{TablesPacket({"FATO_ESTOQUE, FATO_VENDAS"}), " drill_vendas_dia"};
  EXPECT_TRUE(CallRef("setDelDrillDw", a).IsEmpty());
  EXPECT_EQ(a[1], Variant("DRILL_VENDAS_DIA"));
  for (const Row& f : Facts("FATO_VENDAS")) EXPECT_EQ(f.at("CDTABDRILL"), "");
  EXPECT_EQ(ValueOf(Facts("FATO_ESTOQUE"), "CDITEMDW", "QT_ESTOQUE", "CDTABDRILL"),
            "DRILL_ESTOQUE_LOTE");  // linked elsewhere: untouched

  // Fact side: "$$" and the fact table, the packet lists drill tables.
  std::vector<Variant> b{TablesPacket({"DRILL_ESTOQUE_LOTE"}), "$$fato_estoque"};
  EXPECT_TRUE(CallRef("setDelDrillDw", b).IsEmpty());
  EXPECT_EQ(b[1], Variant("$$FATO_ESTOQUE"));
  EXPECT_EQ(ValueOf(Facts("FATO_ESTOQUE"), "CDITEMDW", "QT_ESTOQUE", "CDTABDRILL"), "");

  EXPECT_NE(ErrorText(Call("setDelDrillDw", {TablesPacket({"A"}), "$$"})), "");
  EXPECT_EQ(ErrorText(Call("setDelDrillDw", {TablesPacket({"X'Y"}), "DRILL_VENDAS_DIA"})),
            "INV_TABELAX'Y");
}

TEST_F(Drill, SetDelManyDrillDropsTheListedLinksOfOneFactTable) {
  Variant affected = Call("getVdUpdDimeDW", {"FATO_VENDAS", "4"});
  std::vector<Variant> a{affected, "fato_vendas"};
  EXPECT_TRUE(CallRef("setDelManyDrill", a).IsEmpty());
  EXPECT_EQ(a[1], Variant("FATO_VENDAS"));
  for (const Row& f : Facts("FATO_VENDAS")) EXPECT_EQ(f.at("CDTABDRILL"), "");
  EXPECT_NE(ErrorText(Call("setDelManyDrill", {affected, ""})), "");
}

TEST_F(Drill, DrillFactQuestionAppliesTheColumnRules) {
  auto ask = [&](const char* field, const char* value) {
    return ErrorText(Call("getVdFatosDrill", {"DRILL_VENDAS_DIA", field, value}));
  };
  EXPECT_EQ(ask("CDITEMDRILL", "VL_VENDA"), "CAMPO_JA");
  EXPECT_EQ(ask("CDITEMDRILL", "VL_NADA"), "INV_CAMPOVL_NADA.DRILL_VENDAS_DIA");
  EXPECT_EQ(ask("CDITEMDRILL", "CD_REGIAO"), "NO_NUMBER");
  EXPECT_EQ(ask("CDITEMDRILL", "CD_CLIENTE"), "J_DIMECD_CLIENTE.DRILL_VENDAS_DIA");
  EXPECT_EQ(ask("CDITEMDRILL", "VL_DESCONTO"), "");
  EXPECT_EQ(ask("CDITEMDRILL", "vl_ desconto"), "");
  EXPECT_EQ(ask("NMITEMDRILL", "VALOR VENDIDO NO DIA"), "NOME_DRILL_JA");
  EXPECT_EQ(ask("NMITEMDRILL", "DESCONTO"), "");
  EXPECT_TRUE(
      Call("getVdFatosDrill", {"DRILL_VENDAS_DIA", "CDITEMDRILL", "VL_DESCONTO"}).IsEmpty());
  EXPECT_EQ(ErrorText(Call("getVdFatosDrill", {"FATO_VENDAS", "CDITEMDRILL", "VL_DESCONTO"})),
            "NOT_TAB_DRILLFATO_VENDAS");
}

TEST_F(Drill, DrillDimensionQuestionAppliesTheColumnAndNumberRules) {
  auto ask = [&](const char* field, const char* value) {
    return Call("getVdDimeDrill", {"DRILL_VENDAS_DIA", field, value});
  };
  EXPECT_EQ(ErrorText(ask("CDDIMEDRILL", "CD_CLIENTE")), "DIME_DRILL_JA");
  EXPECT_EQ(ErrorText(ask("CDDIMEDRILL", "CD_NADA")), "INV_CAMPOCD_NADA.DRILL_VENDAS_DIA");
  EXPECT_EQ(ErrorText(ask("CDDIMEDRILL", "VL_DESCONTO")), "NO_DIME");
  EXPECT_EQ(ErrorText(ask("CDDIMEDRILL", "QT_VENDIDA")), "J_FATOQT_VENDIDA.DRILL_VENDAS_DIA");
  EXPECT_EQ(ErrorText(ask("NRSEQUEDIME", "3")), "DIME_DRILL_JA");
  EXPECT_EQ(ErrorText(ask("NRSEQUEDIME", "99")), "INV_DIME00099.DRILL_VENDAS_DIA");
  Variant ok = ask("CDDIMEDRILL", "CD_REGIAO");
  EXPECT_EQ(ErrorText(ok), "");
  EXPECT_EQ(Column(ok, "TABELAS"), (std::vector<std::string>{""}));
  EXPECT_EQ(ErrorText(ask("NRSEQUEDIME", "4")), "");
}

}  // namespace
}  // namespace appserver::testing
