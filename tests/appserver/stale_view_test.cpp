// Two sessions: what one changes in a table's items makes the other's view of
// that table stale, and a stale view may neither delete the table nor drop
// links it was not shown; clients that send no version are not checked.
#include "appserver/rules/refusal.h"
#include "rdm_fixture.h"

namespace appserver::testing {
namespace {

const std::string kChanged = kChangedMeanwhile;

class StaleView : public RdmTest {
 protected:
  void SetUp() override {
    RdmTest::SetUp();
    if (!rdm_) return;
    other_ = NewSession();
  }

  // A row of the fact-table (or drill-table) list as this session reads it.
  Row Listed(const std::string& table, bool drill = false) {
    const std::vector<Row> rows = Rows(Call("GetTabelas", {"", drill}));
    const Row* r = Find(rows, "CDTABELADW", table);
    return r ? *r : Row{};
  }
  // Deletes the table as the list row `seen` showed it, version included.
  std::string DeleteAsSeen(const Row& seen, bool drill = false) {
    auto fields = kTableFields;
    fields.push_back({"NRVERSAO", 20, false});
    Variant delta = DeltaBuilder(fields)
                        .Delete({seen.at("CDTABELADW"), seen.at("NMTABELADW"),
                                 seen.at("IDDRILLDOWN"), seen.at("NRVERSAO")})
                        .Build();
    return ErrorText(Call(drill ? "SetTabelaDrill" : "SetTabelas", {delta}));
  }
  Variant OtherCall(std::string_view method, std::vector<Variant> args) {
    return other_->Invoke(method, args);
  }
  void OtherAddsFact(const std::string& table, const std::string& column) {
    Variant delta = DeltaBuilder(kFactFields)
                        .Insert({"S", table, column, "00001", column, "M", "", ""})
                        .Build();
    std::vector<Variant> a{delta, table};
    ASSERT_EQ(ErrorText(other_->Invoke("SetFatos", a)), "");
  }
  // Through the other session, makes `column` of FATO_VENDAS a fact drilling
  // into DRILL_VENDAS_DIA.
  void OtherLinksAnotherFact(const std::string& column) {
    OtherAddsFact("FATO_VENDAS", column);
    Row before;
    for (const Row& f : Facts("FATO_VENDAS"))
      if (f.at("CDITEMDW") == column) before = f;
    std::vector<std::string> old, now;
    for (const auto& field : kFactFields) old.push_back(before.at(field.name));
    now = old;
    now.back() = "DRILL_VENDAS_DIA";
    std::vector<Variant> a{DeltaBuilder(kFactFields).Modify(old, now).Build(), "FATO_VENDAS"};
    ASSERT_EQ(ErrorText(other_->Invoke("SetFatos", a)), "");
  }
  int LinksInto(const std::string& drill) {
    return static_cast<int>(Rows(Call("getVdDelDrill", {drill, true})).size());
  }

  std::unique_ptr<RdmEstrutura> other_;
};

TEST_F(StaleView, AFactTableWhoseItemsChangedCannotBeDeletedFromTheOldView) {
  const Row seen = Listed("FATO_FINANCEIRO");
  ASSERT_FALSE(seen.at("NRVERSAO").empty());
  const size_t facts = Facts("FATO_FINANCEIRO").size();
  OtherAddsFact("FATO_FINANCEIRO", "VL_SALDO");

  EXPECT_EQ(DeleteAsSeen(seen), kChanged);
  EXPECT_EQ(Facts("FATO_FINANCEIRO").size(), facts + 1);   // nothing removed
  EXPECT_EQ(DeleteAsSeen(Listed("FATO_FINANCEIRO")), "");  // after a reload
  EXPECT_TRUE(Facts("FATO_FINANCEIRO").empty());
}

TEST_F(StaleView, ADrillTableWhoseItemsChangedCannotBeDeletedFromTheOldView) {
  ASSERT_EQ(ErrorText(Call(
                "SetTabelaDrill",
                {DeltaBuilder(kTableFields).Insert({"FATO_COMPRAS", "Compras", "S"}).Build()})),
            "");
  const Row seen = Listed("FATO_COMPRAS", true);
  ASSERT_EQ(
      ErrorText(OtherCall(
          "SetDimeDrill",
          {DeltaBuilder(kDrillDimeFields).Insert({"FATO_COMPRAS", "CD_PRODUTO", "2"}).Build()})),
      "");
  EXPECT_EQ(DeleteAsSeen(seen, true), kChanged);
  EXPECT_EQ(DrillDimes("FATO_COMPRAS").size(), 1u);
  EXPECT_EQ(DeleteAsSeen(Listed("FATO_COMPRAS", true), true), "");
}

TEST_F(StaleView, OwnChangesSinceTheListWasReadDoNotMakeItStale) {
  const Row seen = Listed("FATO_FINANCEIRO");
  Facts("FATO_FINANCEIRO");  // the person opens the table's items
  std::vector<Variant> a{
      DeltaBuilder(kFactFields)
          .Insert({"S", "FATO_FINANCEIRO", "VL_SALDO", "00001", "Saldo", "M", "", ""})
          .Build(),
      "FATO_FINANCEIRO"};
  ASSERT_EQ(ErrorText(CallRef("SetFatos", a)), "");
  EXPECT_EQ(DeleteAsSeen(seen), "");
}

TEST_F(StaleView, AClientThatSendsNoVersionDeletesAsBefore) {
  OtherAddsFact("FATO_FINANCEIRO", "VL_SALDO");
  const Row seen = Listed("FATO_FINANCEIRO");
  Variant delta =
      DeltaBuilder(kTableFields)
          .Delete({seen.at("CDTABELADW"), seen.at("NMTABELADW"), seen.at("IDDRILLDOWN")})
          .Build();
  EXPECT_EQ(ErrorText(Call("SetTabelas", {delta})), "");
  EXPECT_TRUE(Facts("FATO_FINANCEIRO").empty());
}

TEST_F(StaleView, ConsentsDropOnlyTheLinksThePersonWasShown) {
  const Variant uses = Call("getVdDelDrill", {"DRILL_VENDAS_DIA", true});
  const std::string version = Rows(uses).at(0).at("NRVERSAO");
  const Variant drop_question = Call("getVdDrill", {"DRILL_VENDAS_DIA", "", "00001", ""});
  const Variant gain_question = Call("getVdUpdDimeDW", {"FATO_VENDAS", "4"});
  ASSERT_EQ(Column(gain_question, "TABELAS"), (std::vector<std::string>{"DRILL_VENDAS_DIA"}));
  OtherLinksAnotherFact("VL_DESCONTO");
  const int links = LinksInto("DRILL_VENDAS_DIA");

  EXPECT_EQ(ErrorText(Call("getVdDelDrill", {"DRILL_VENDAS_DIA", false, version})), kChanged);
  EXPECT_EQ(ErrorText(Call("setDelDrillDw", {drop_question, "DRILL_VENDAS_DIA"})), kChanged);
  std::vector<Variant> many{gain_question, "FATO_VENDAS"};
  EXPECT_EQ(ErrorText(CallRef("setDelManyDrill", many)), kChanged);
  EXPECT_EQ(LinksInto("DRILL_VENDAS_DIA"), links);

  // Asked again, the person sees the new link and may drop it.
  const Variant asked_again = Call("getVdDelDrill", {"DRILL_VENDAS_DIA", true});
  EXPECT_EQ(ErrorText(Call("getVdDelDrill",
                           {"DRILL_VENDAS_DIA", false, Rows(asked_again).at(0).at("NRVERSAO")})),
            "");
  EXPECT_EQ(LinksInto("DRILL_VENDAS_DIA"), 0);
  // Without a version the removal is not checked, as before.
  OtherLinksAnotherFact("PC_MARGEM");
  EXPECT_TRUE(Call("getVdDelDrill", {"DRILL_VENDAS_DIA", false}).IsEmpty());
}

// The staleness of every row is answered before any rule runs on any row.
TEST_F(StaleView, AStaleFactRowIsRefusedAsChangedNotByARuleItsClientCannotSee) {
  Row linked;
  for (const Row& f : Facts("FATO_VENDAS"))
    if (!f.at("CDTABDRILL").empty()) linked = f;
  ASSERT_FALSE(linked.empty());
  std::vector<Variant> drop{TablesPacket({"FATO_VENDAS"}), "DRILL_VENDAS_DIA"};
  ASSERT_EQ(ErrorText(other_->Invoke("setDelDrillDw", drop)), "");

  std::vector<std::string> old, now;
  for (const auto& field : kFactFields) old.push_back(linked.at(field.name));
  now = old;
  now[6] = "Outra descrição";
  // A first row that breaks a rule (a name already taken) does not hide it.
  Variant delta =
      DeltaBuilder(kFactFields)
          .Insert({"S", "FATO_VENDAS", "VL_DESCONTO", "00001", linked.at("NMITEMDW"), "M", "", ""})
          .Modify(old, now)
          .Build();
  std::vector<Variant> a{delta, "FATO_VENDAS"};
  EXPECT_EQ(ErrorText(CallRef("SetFatos", a)), kChanged);
}

}  // namespace
}  // namespace appserver::testing
