// Change packets: re-validation of every row, all-or-nothing transactions,
// optimistic updates, cascades and the lists answered after a change.
#include "appserver/rules/refusal.h"
#include "rdm_fixture.h"

namespace appserver::testing {
namespace {

using Saving = RdmTest;

// A fact row of FATO_VENDAS in the field order of kFactFields.
std::vector<std::string> Fact(std::string column, std::string name, std::string drill = "",
                              std::string mart = "00001", std::string hint = "") {
  return {"S", "FATO_VENDAS", column, mart, name, "M", hint, drill};
}
// VL_VENDA of FATO_VENDAS as the demo stores it, under another name when given.
std::vector<std::string> Venda(std::string name = "Valor vendido") {
  return Fact("VL_VENDA", name, "DRILL_VENDAS_DIA", "00001",
              "Valor total das vendas, sem descontos");
}

TEST_F(Saving, NewTableIsNormalisedAndTheListComesBack) {
  Variant list =
      Call("SetTabelas",
           {DeltaBuilder(kTableFields).Insert({" fato_ compras", "Compras", "N"}).Build()});
  ASSERT_EQ(ErrorText(list), "");
  EXPECT_EQ(FieldsOfPacket(list), kTableListFields);
  EXPECT_EQ(
      Column(list, "CDTABELADW"),
      (std::vector<std::string>{"FATO_COMPRAS", "FATO_ESTOQUE", "FATO_FINANCEIRO", "FATO_VENDAS"}));
  auto again = DeltaBuilder(kTableFields).Insert({"FATO_COMPRAS", "Outra", "N"}).Build();
  EXPECT_NE(ErrorText(Call("SetTabelas", {again})), "");
  EXPECT_EQ(ErrorText(Call("SetTabelas",
                           {DeltaBuilder(kTableFields).Insert({"NAO_EXISTE", "X", "N"}).Build()})),
            "INV_TABELANAO_EXISTE");
  EXPECT_EQ(
      ErrorText(Call(
          "SetTabelas",
          {DeltaBuilder(kTableFields).Insert({"X'; DROP TABLE QMX_FATO;--", "X", "N"}).Build()})),
      "INV_TABELAX';DROPTABLEQMX_FATO;--");
  EXPECT_FALSE(Facts("FATO_VENDAS").empty());
  // The structure tables are no warehouse tables.
  EXPECT_EQ(ErrorText(Call("SetTabelas",
                           {DeltaBuilder(kTableFields).Insert({"QMX_FATO", "X", "N"}).Build()})),
            "INV_TABELAQMX_FATO");
  // A drill table cannot be saved through the fact list, nor a name left out.
  EXPECT_NE(ErrorText(Call("SetTabelas",
                           {DeltaBuilder(kTableFields).Insert({"DRILL_X", "X", "S"}).Build()})),
            "");
  EXPECT_NE(ErrorText(Call("SetTabelaDrill",
                           {DeltaBuilder(kTableFields).Insert({"FATO_COMPRAS", "", "S"}).Build()})),
            "");
}

TEST_F(Saving, RenamingKeepsTheCodeAndACodeWithItemsCannotChange) {
  Variant renamed = Call("SetTabelas", {DeltaBuilder(kTableFields)
                                            .Modify({"FATO_FINANCEIRO", "Financeiro", "N"},
                                                    {"FATO_FINANCEIRO", "Finanças", "N"})
                                            .Build()});
  ASSERT_EQ(ErrorText(renamed), "");
  EXPECT_EQ(ValueOf(Rows(renamed), "CDTABELADW", "FATO_FINANCEIRO", "NMTABELADW"), "Finanças");
  std::string refused = ErrorText(Call(
      "SetTabelas", {DeltaBuilder(kTableFields)
                         .Modify({"FATO_VENDAS", "Vendas", "N"}, {"FATO_COMPRAS", "Vendas", "N"})
                         .Build()}));
  EXPECT_NE(refused.find("FATO_VENDAS"), std::string::npos) << refused;
  EXPECT_EQ(Facts("FATO_VENDAS").size(), 2u);
  EXPECT_EQ(Rows(Call("GetTabelas", {"FATO_COMPRAS", false})).size(), 0u);
  // A code registered on one list is refused on the other.
  ASSERT_EQ(ErrorText(Call(
                "SetTabelas",
                {DeltaBuilder(kTableFields).Insert({"FATO_COMPRAS", "Compras", "N"}).Build()})),
            "");
  EXPECT_EQ(ErrorText(Call(
                "SetTabelaDrill",
                {DeltaBuilder(kTableFields).Insert({"FATO_COMPRAS", "Compras", "S"}).Build()})),
            "Código \"FATO_COMPRAS\" já cadastrado para tabela fato.");
}

TEST_F(Saving, EveryFactRowIsRevalidatedWhateverTheClientChecked) {
  auto save = [&](std::vector<std::string> row) {
    std::vector<Variant> a{DeltaBuilder(kFactFields).Insert(row).Build(), "fato_vendas"};
    Variant r = CallRef("SetFatos", a);
    EXPECT_EQ(a[1], Variant("FATO_VENDAS"));
    return ErrorText(r);
  };
  EXPECT_EQ(save(Fact("CD_REGIAO", "Região")), "NO_NUMBER");
  EXPECT_EQ(save(Fact("VL_NADA", "Nada")), "INV_CAMPOVL_NADA.FATO_VENDAS");
  EXPECT_EQ(save(Fact("CD_MES", "Mês")), "J_DIMECD_MES.FATO_VENDAS");
  EXPECT_EQ(save(Fact("VL_VENDA", "Outro nome")), "CAMPO_JA");
  EXPECT_EQ(save(Fact("VL_DESCONTO", "VALOR VENDIDO")), "NOME_DRILL_JA");
  EXPECT_NE(save(Fact("VL_DESCONTO", "Desconto", "", "9")), "");  // no such data mart
  EXPECT_EQ(save(Fact("VL_DESCONTO", "Desconto", "FATO_ESTOQUE")), "NOT_TAB_DRILLFATO_ESTOQUE");
  EXPECT_EQ(save(Fact("VL_DESCONTO", "Desconto", "DRILL_ESTOQUE_LOTE")),
            "DIME_DRILL_MENORDRILL_ESTOQUE_LOTE.FATO_VENDAS");
  EXPECT_EQ(save(Fact("VL_DESCONTO", "")), "Nome deve ser informado.");
  EXPECT_EQ(Facts("FATO_VENDAS").size(), 2u);  // nothing of the above was stored

  EXPECT_EQ(save(Fact(" vl_desconto ", "Desconto", "drill_vendas_dia", "1")), "");
  auto facts = Facts("FATO_VENDAS");
  const Row* saved = Find(facts, "CDITEMDW", "VL_DESCONTO");
  ASSERT_NE(saved, nullptr);
  EXPECT_EQ(saved->at("CDAREANEGDW"), "00001");
  EXPECT_EQ(saved->at("CDTABDRILL"), "DRILL_VENDAS_DIA");
}

// The rules of one packet see the rows written before them in the same
// packet, and each call sees what other sessions wrote since the last one.
TEST_F(Saving, FactNamesAreCheckedAgainstEarlierRowsOfThePacketAndOtherSessions) {
  auto save = [&](DeltaBuilder& d) {
    return ErrorText(Call("SetFatos", {d.Build(), "FATO_VENDAS"}));
  };
  // A name freed by a rename earlier in the packet may be taken by a later row.
  DeltaBuilder swap(kFactFields);
  swap.Modify(Venda(), Venda("Valor bruto")).Insert(Fact("VL_DESCONTO", "valor VENDIDO"));
  EXPECT_EQ(save(swap), "");
  // Two new rows of one packet may not share a name, whatever the case of
  // its accented letters.
  DeltaBuilder twice(kFactFields);
  twice.Insert(Fact("PC_MARGEM", "Ação")).Insert(Fact("QT_VENDIDA", "AÇÃO"));
  auto other = NewSession();
  std::vector<Variant> del{
      DeltaBuilder(kFactFields)
          .Delete({"S", "FATO_VENDAS", "QT_VENDIDA", "00001", "Quantidade vendida", "Q",
                   "Unidades vendidas", "DRILL_VENDAS_DIA"})
          .Build(),
      "FATO_VENDAS"};
  ASSERT_EQ(ErrorText(other->Invoke("SetFatos", del)), "");
  EXPECT_EQ(save(twice), "NOME_DRILL_JA");
  // A name another session takes between two calls is seen by the next one.
  std::vector<Variant> taken{DeltaBuilder(kFactFields).Insert(Fact("PC_MARGEM", "Margem")).Build(),
                             "FATO_VENDAS"};
  ASSERT_EQ(ErrorText(other->Invoke("SetFatos", taken)), "");
  DeltaBuilder clash(kFactFields);
  clash.Insert(Fact("QT_VENDIDA", "MARGEM"));
  EXPECT_EQ(save(clash), "NOME_DRILL_JA");
  EXPECT_EQ(ValueOf(Facts("FATO_VENDAS"), "CDITEMDW", "VL_DESCONTO", "NMITEMDW"), "valor VENDIDO");
}

TEST_F(Saving, DimensionRowsFollowTheColumnCatalogueAndDrillRules) {
  auto save = [&](std::string column, std::string number) {
    return Call("SetDime",
                {DeltaBuilder(kDimeFields).Insert({"", column, number}).Build(), "FATO_VENDAS"});
  };
  EXPECT_EQ(ErrorText(save("VL_VENDA", "4")), "J_FATOVL_VENDA.FATO_VENDAS");
  EXPECT_EQ(ErrorText(save("PC_MARGEM", "4")), "NO_DIME");
  EXPECT_EQ(ErrorText(save("CD_NADA", "4")), "INV_CAMPOCD_NADA.FATO_VENDAS");
  EXPECT_EQ(ErrorText(save("CD_CLIENTE", "4")), "CAMPO_JA");
  EXPECT_EQ(ErrorText(save("CD_REGIAO", "99")), "INV_DIME00099.FATO_VENDAS");
  EXPECT_EQ(ErrorText(save("CD_REGIAO", "1")), "DIME_DRILL_JA");
  // Região is missing from the drill table FATO_VENDAS drills into.
  EXPECT_EQ(ErrorText(save("CD_REGIAO", "4")), "DIME_DRILL_MENORDRILL_VENDAS_DIA.FATO_VENDAS");
  EXPECT_EQ(Dimes("FATO_VENDAS").size(), 3u);

  // Once the user let the link go, the same row is stored; the list comes back.
  ASSERT_TRUE(
      Call("setDelDrillDw", {Call("getVdDrill", {"", "FATO_VENDAS", "", "4"}), "$$FATO_VENDAS"})
          .IsEmpty());
  std::vector<Variant> a{DeltaBuilder(kDimeFields).Insert({"", " cd_regiao", "4"}).Build(),
                         " fato_vendas"};
  Variant list = CallRef("SetDime", a);
  EXPECT_EQ(a[1], Variant("FATO_VENDAS"));
  ASSERT_EQ(ErrorText(list), "");
  EXPECT_EQ(FieldsOfPacket(list), kDimeFields);
  EXPECT_EQ(Column(list, "CDITEMDIME"),
            (std::vector<std::string>{"CD_CLIENTE", "CD_MES", "CD_PRODUTO", "CD_REGIAO"}));
}

TEST_F(Saving, APacketRefusedHalfWayLeavesTheDatabaseUnchanged) {
  Variant delta = DeltaBuilder(kFactFields)
                      .Modify(Venda(), Venda("Valor bruto"))
                      .Insert(Fact("VL_DESCONTO", "Desconto"))
                      .Insert(Fact("CD_REGIAO", "Região"))  // refused: not numeric
                      .Build();
  EXPECT_EQ(ErrorText(Call("SetFatos", {delta, "FATO_VENDAS"})), "NO_NUMBER");
  auto facts = Facts("FATO_VENDAS");
  EXPECT_EQ(facts.size(), 2u);
  EXPECT_EQ(Find(facts, "CDITEMDW", "VL_VENDA")->at("NMITEMDW"), "Valor vendido");
}

TEST_F(Saving, SecondSessionUpdatingTheSameRowIsRefusedAndNothingIsLost) {
  auto other = NewSession();
  std::vector<std::string> loaded = Venda();
  std::vector<std::string> mine = Venda("Valor bruto");
  std::vector<std::string> theirs = Venda("Valor líquido");
  ASSERT_TRUE(
      Call("SetFatos", {DeltaBuilder(kFactFields).Modify(loaded, mine).Build(), "FATO_VENDAS"})
          .IsEmpty());
  std::vector<Variant> a{DeltaBuilder(kFactFields).Modify(loaded, theirs).Build(), "FATO_VENDAS"};
  std::string refused = ErrorText(other->Invoke("SetFatos", a));
  EXPECT_EQ(refused, kChangedMeanwhile);
  for (std::string_view k : {"J_", "INV_", "NO_", "NOT_", "SEM_", "DIME_", "CAMPO_", "NOME_"})
    EXPECT_FALSE(refused.starts_with(k));
  EXPECT_EQ(ValueOf(Facts("FATO_VENDAS"), "CDITEMDW", "VL_VENDA", "NMITEMDW"), "Valor bruto");

  // Deleting a row someone changed, or that is gone, is refused as well.
  std::vector<Variant> del{DeltaBuilder(kFactFields).Delete(loaded).Build(), "FATO_VENDAS"};
  EXPECT_EQ(ErrorText(other->Invoke("SetFatos", del)), kChangedMeanwhile);
  EXPECT_TRUE(
      Call("SetFatos", {DeltaBuilder(kFactFields).Delete(mine).Build(), "FATO_VENDAS"}).IsEmpty());
  std::vector<Variant> gone{DeltaBuilder(kFactFields).Modify(mine, theirs).Build(), "FATO_VENDAS"};
  EXPECT_EQ(ErrorText(other->Invoke("SetFatos", gone)), kChangedMeanwhile);
  EXPECT_EQ(Find(Facts("FATO_VENDAS"), "CDITEMDW", "VL_VENDA"), nullptr);
}

TEST_F(Saving, PacketsWithFewerFieldsChangeOnlyWhatTheyCarry) {
  // The check-all sends the facts with the field set of its working copy.
  std::vector<db::PacketField> check_fields = {{"IDFATODW", 1, true},     {"CDTABELADW", 30, false},
                                               {"CDITEMDW", 30, false},   {"NMITEMDW", 30, false},
                                               {"CDAREANEGDW", 5, false}, {"IDTPFATODW", 1, true},
                                               {"DSHINTITEM", 200, false}};
  Variant delta = DeltaBuilder(check_fields)
                      .Modify({"S", "FATO_VENDAS", "VL_VENDA", "Valor vendido", "00001", "M",
                               "Valor total das vendas, sem descontos"},
                              {"N", "FATO_VENDAS", "VL_VENDA", "Valor vendido", "00001", "M",
                               "Valor total das vendas, sem descontos"})
                      .Build();
  ASSERT_TRUE(Call("SetFatos", {delta, "FATO_VENDAS"}).IsEmpty());
  auto facts = Facts("FATO_VENDAS");
  const Row* f = Find(facts, "CDITEMDW", "VL_VENDA");
  EXPECT_EQ(f->at("IDFATODW"), "N");
  EXPECT_EQ(f->at("CDTABDRILL"), "DRILL_VENDAS_DIA");
}

TEST_F(Saving, DeletingAFactTableTakesItsFactsAndDimensions) {
  Variant list = Call(
      "SetTabelas", {DeltaBuilder(kTableFields).Delete({"FATO_ESTOQUE", "Estoque", "N"}).Build()});
  ASSERT_EQ(ErrorText(list), "");
  EXPECT_EQ(Column(list, "CDTABELADW"),
            (std::vector<std::string>{"FATO_FINANCEIRO", "FATO_VENDAS"}));
  EXPECT_TRUE(Facts("FATO_ESTOQUE").empty());
  EXPECT_TRUE(Dimes("FATO_ESTOQUE").empty());
  // Nothing drills into DRILL_ESTOQUE_LOTE any more.
  EXPECT_TRUE(Rows(Call("getVdDelDrill", {"DRILL_ESTOQUE_LOTE", true})).empty());
}

TEST_F(Saving, ADrillTableInUseCannotBeDeletedUntilItsLinksAreGone) {
  Variant drop =
      DeltaBuilder(kTableFields).Delete({"DRILL_VENDAS_DIA", "Vendas por dia", "S"}).Build();
  std::string refused = ErrorText(Call("SetTabelaDrill", {drop}));
  EXPECT_NE(refused.find("FATO_VENDAS"), std::string::npos) << refused;
  EXPECT_EQ(DrillFacts("DRILL_VENDAS_DIA").size(), 2u);

  Call("getVdDelDrill", {"DRILL_VENDAS_DIA", false});
  Variant list = Call("SetTabelaDrill", {drop});
  ASSERT_EQ(ErrorText(list), "");
  EXPECT_EQ(Column(list, "CDTABELADW"), (std::vector<std::string>{"DRILL_ESTOQUE_LOTE"}));
  EXPECT_TRUE(DrillFacts("DRILL_VENDAS_DIA").empty());
  EXPECT_TRUE(DrillDimes("DRILL_VENDAS_DIA").empty());
}

TEST_F(Saving, DrillTableChangesMayNotBreakTheLinksIntoIt) {
  // The last drill fact of a table that is drilled into.
  Variant last = DeltaBuilder(kDrillFactFields)
                     .Delete({"DRILL_ESTOQUE_LOTE", "QT_ESTOQUE", "Quantidade no lote", "Q", ""})
                     .Build();
  EXPECT_EQ(ErrorText(Call("SetFatosDrill", {last})), "SEM_FATODRILL_ESTOQUE_LOTE");
  EXPECT_EQ(DrillFacts("DRILL_ESTOQUE_LOTE").size(), 1u);
  // A dimension number FATO_ESTOQUE relies on.
  Variant renumber = DeltaBuilder(kDrillDimeFields)
                         .Modify({"DRILL_ESTOQUE_LOTE", "CD_DEPOSITO", "00006"},
                                 {"DRILL_ESTOQUE_LOTE", "CD_DEPOSITO", "4"})
                         .Build();
  EXPECT_EQ(ErrorText(Call("SetDimeDrill", {renumber})),
            "DIME_DRILL_MENORDRILL_ESTOQUE_LOTE.FATO_ESTOQUE");
  // After the guard dropped the uses, both go through.
  Call("getVdDelDrill", {"DRILL_ESTOQUE_LOTE", false});
  EXPECT_TRUE(Call("SetDimeDrill", {renumber}).IsEmpty());
  EXPECT_EQ(ValueOf(DrillDimes("DRILL_ESTOQUE_LOTE"), "CDDIMEDRILL", "CD_DEPOSITO", "NRSEQUEDIME"),
            "00004");
  EXPECT_TRUE(Call("SetFatosDrill", {last}).IsEmpty());
  EXPECT_TRUE(DrillFacts("DRILL_ESTOQUE_LOTE").empty());
}

// Deletes are checked like changes: a grid's Ctrl+Delete reaches the server
// without the screen's deletion guard.
TEST_F(Saving, DrillDimensionDeletesMayNotBreakTheLinksIntoIt) {
  auto drop = [&](const char* table, const char* column, const char* number) {
    return ErrorText(Call(
        "SetDimeDrill", {DeltaBuilder(kDrillDimeFields).Delete({table, column, number}).Build()}));
  };
  // FATO_VENDAS (dimensions 1, 2, 3) drills into DRILL_VENDAS_DIA.
  EXPECT_EQ(drop("DRILL_VENDAS_DIA", "CD_CLIENTE", "00001"),
            "DIME_DRILL_MENORDRILL_VENDAS_DIA.FATO_VENDAS");
  EXPECT_EQ(drop("DRILL_VENDAS_DIA", "DT_VENDA", "00010"), "");  // nobody relies on it
  EXPECT_EQ(DrillDimes("DRILL_VENDAS_DIA").size(), 3u);

  // All dimensions of a drill table in use, in one packet: refused whole.
  Variant all = DeltaBuilder(kDrillDimeFields)
                    .Delete({"DRILL_ESTOQUE_LOTE", "CD_PRODUTO", "00002"})
                    .Delete({"DRILL_ESTOQUE_LOTE", "CD_DEPOSITO", "00006"})
                    .Delete({"DRILL_ESTOQUE_LOTE", "CD_MES", "00003"})
                    .Delete({"DRILL_ESTOQUE_LOTE", "CD_LOTE", "00011"})
                    .Build();
  EXPECT_EQ(ErrorText(Call("SetDimeDrill", {all})), "SEM_DIMEDRILL_ESTOQUE_LOTE");
  EXPECT_EQ(DrillDimes("DRILL_ESTOQUE_LOTE").size(), 4u);
  // Once nobody drills into it, they may all go.
  Call("getVdDelDrill", {"DRILL_ESTOQUE_LOTE", false});
  EXPECT_EQ(ErrorText(Call("SetDimeDrill", {all})), "");
  EXPECT_TRUE(DrillDimes("DRILL_ESTOQUE_LOTE").empty());
}

TEST_F(Saving, DrillRowsAreRevalidatedToo) {
  auto fact = [&](std::string column, std::string name) {
    return ErrorText(Call("SetFatosDrill", {DeltaBuilder(kDrillFactFields)
                                                .Insert({"DRILL_VENDAS_DIA", column, name, "", ""})
                                                .Build()}));
  };
  EXPECT_EQ(fact("CD_REGIAO", "Região"), "NO_NUMBER");
  EXPECT_EQ(fact("CD_MES", "Mês"), "J_DIMECD_MES.DRILL_VENDAS_DIA");
  EXPECT_EQ(fact("VL_VENDA", "Outro"), "CAMPO_JA");
  EXPECT_EQ(fact("NR_NOTA", "valor vendido no dia"), "NOME_DRILL_JA");
  EXPECT_EQ(ErrorText(Call("SetFatosDrill", {DeltaBuilder(kDrillFactFields)
                                                 .Insert({"FATO_VENDAS", "PC_MARGEM", "M", "", ""})
                                                 .Build()})),
            "NOT_TAB_DRILLFATO_VENDAS");
  EXPECT_EQ(fact("nr_nota", "Número da nota"), "");
  EXPECT_EQ(ValueOf(DrillFacts("DRILL_VENDAS_DIA"), "CDITEMDRILL", "NR_NOTA", "IDTPFATODRILL"),
            "M");

  auto dime = [&](std::string column, std::string number) {
    return ErrorText(Call(
        "SetDimeDrill",
        {DeltaBuilder(kDrillDimeFields).Insert({"DRILL_VENDAS_DIA", column, number}).Build()}));
  };
  EXPECT_EQ(dime("VL_VENDA", "4"), "J_FATOVL_VENDA.DRILL_VENDAS_DIA");
  EXPECT_EQ(dime("VL_DESCONTO", "4"), "NO_DIME");
  EXPECT_EQ(dime("CD_CLIENTE", "4"), "DIME_DRILL_JA");
  EXPECT_EQ(dime("CD_REGIAO", "1"), "DIME_DRILL_JA");
  EXPECT_EQ(dime("CD_REGIAO", "77"), "INV_DIME00077.DRILL_VENDAS_DIA");
  EXPECT_EQ(dime("cd_regiao", "4"), "");
}

}  // namespace
}  // namespace appserver::testing
