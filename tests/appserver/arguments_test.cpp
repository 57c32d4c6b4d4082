// Calls that cannot be made: unknown methods, wrong counts and kinds,
// malformed packets and text. Each fails with a clear ECallError and changes
// nothing.
#include "net/app_server.h"
#include "rdm_fixture.h"

namespace appserver::testing {
namespace {

using Arguments = RdmTest;

std::string FailureOf(RdmEstrutura& rdm, std::string_view method, std::vector<Variant> args) {
  try {
    rdm.Invoke(method, args);
  } catch (const net::ECallError& e) {
    return e.Message();
  }
  return "(no failure)";
}

TEST_F(Arguments, EveryMethodAnswersByItsExactNameAndChecksItsArgumentCount) {
  EXPECT_EQ(RdmEstrutura::MethodNames().size(), 18u);
  for (std::string_view name : RdmEstrutura::MethodNames()) {
    std::vector<Variant> too_many(7, Variant(""));
    std::string failure = FailureOf(*rdm_, name, too_many);
    EXPECT_NE(failure.find(std::string(name)), std::string::npos) << failure;
    EXPECT_NE(failure.find("7"), std::string::npos) << failure;
  }
  EXPECT_NE(FailureOf(*rdm_, "getinicial", {}).find("desconhecido"), std::string::npos);
  EXPECT_NE(FailureOf(*rdm_, "", {}).find("desconhecido"), std::string::npos);
  EXPECT_NE(FailureOf(*rdm_, "GetTabelas", {""}), "(no failure)");
}

TEST_F(Arguments, WrongKindsAreRefused) {
  EXPECT_NE(FailureOf(*rdm_, "GetTabelas", {"", "true"}).find("argumento 2"), std::string::npos);
  EXPECT_NE(FailureOf(*rdm_, "GetTabelas", {42, false}).find("argumento 1"), std::string::npos);
  EXPECT_NE(FailureOf(*rdm_, "SetTabelas", {"not a packet"}).find("pacote"), std::string::npos);
  EXPECT_NE(FailureOf(*rdm_, "SetTabelas", {Variant::ByteArray({1, 2, 3})}).find("pacote"),
            std::string::npos);
  EXPECT_NE(FailureOf(*rdm_, "GetFields", {"X", "FATO_VENDAS"}), "(no failure)");
  EXPECT_NE(FailureOf(*rdm_, "GetDimeFatos", {"FATO_VENDAS", "", "", "VD_OUTRO", "", ""}),
            "(no failure)");
  EXPECT_NE(FailureOf(*rdm_, "getVdDrill", {"", "", "", ""}), "(no failure)");
  EXPECT_NE(FailureOf(*rdm_, "getVdFatosDrill", {"DRILL_VENDAS_DIA", "OUTRO", "X"}),
            "(no failure)");
  EXPECT_NE(
      FailureOf(*rdm_, "setDelDrillDw", {Call("GetTabelas", {"", false}), "D"}).find("TABELAS"),
      std::string::npos);  // a packet without the TABELAS field
  EXPECT_NE(FailureOf(*rdm_, "GetTabelas", {std::string("\xC3\x28"), false}).find("UTF-8"),
            std::string::npos);
  EXPECT_NE(FailureOf(*rdm_, "GetTabelas", {std::string(5000, 'A'), false}), "(no failure)");
  // Null and empty stand for the empty text.
  EXPECT_EQ(Rows(Call("GetTabelas", {Variant::Null(), false})).size(), 3u);
}

TEST_F(Arguments, OversizedValuesInAPacketAreRefusedBeforeAnythingIsStored) {
  std::vector<db::PacketField> wide = kTableFields;
  wide[1].size = 200;
  Variant delta = DeltaBuilder(wide).Insert({"FATO_COMPRAS", std::string(40, 'x'), "N"}).Build();
  EXPECT_NE(ErrorText(Call("SetTabelas", {delta})), "");
  EXPECT_EQ(Rows(Call("GetTabelas", {"FATO_COMPRAS", false})).size(), 0u);
}

}  // namespace
}  // namespace appserver::testing
