// The server link through the real connection to a scripted remote object:
// every result shape through the result check, and error reports turned into
// the catalogue's messages (key order, argument splitting, unknown texts).
#include <gtest/gtest.h>

#include "db/packet.h"
#include "linked_screen.h"
#include "orb/busy.h"
#include "server/result_check.h"

namespace qmxtest {
namespace {

using qmx00600::TfrmEstrutura;

rtl::Variant TablesPacket(std::vector<std::pair<std::string, std::string>> rows) {
  db::Packet p;
  p.fields = {{"CDTABELADW", 30, false}, {"NMTABELADW", 30, false}, {"IDDRILLDOWN", 1, true}};
  for (auto& [code, name] : rows)
    p.rows.push_back({db::RowStatus::kUnmodified, {code, name, std::string("N")}, {}});
  return db::PacketToVariant(p);
}

class ServerLink : public ::testing::Test {
 protected:
  ServerLink() : h(Backend::kScripted), s(OpenLinkedScreen(h)) {}
  // One call through the screen's connection answered with `result`.
  rtl::Variant Through(rtl::Variant result) {
    h.Scripted().Once("getVdFatosDrill", ScriptedServer::Returns(std::move(result)));
    return s.Server().getVdFatosDrill("DRILL_VENDAS_DIA", "CDITEMDRILL", "X");
  }
  // The message shown for an error report with `text`.
  std::string Shown(const std::string& text) {
    h.ui().ExpectError();
    EXPECT_THROW(Through(rtl::Variant::Array({rtl::Variant(text)})), rtl::EAbort) << text;
    std::vector<std::string> errors = h.ui().Errors();
    h.ui().ClearLog();
    return errors.empty() ? std::string("<nothing shown>") : errors.back();
  }

  ScreenHarness h;
  TfrmEstrutura& s;
};

TEST_F(ServerLink, ResultsThatAreNotErrorReportsPassUnchanged) {
  EXPECT_TRUE(Through(rtl::Variant()).IsEmpty());
  EXPECT_TRUE(Through(rtl::Variant::Null()).IsNull());
  const rtl::Variant packet = TablesPacket({{"A", "a"}});
  EXPECT_EQ(Through(packet), packet);
  const rtl::Variant packets = rtl::Variant::Array({packet, TablesPacket({})});
  EXPECT_EQ(Through(packets), packets);
  const rtl::Variant numbered = rtl::Variant::Array({rtl::Variant(7), rtl::Variant("INV_TABELAX")});
  EXPECT_EQ(Through(numbered), numbered);
  const rtl::Variant nothing = rtl::Variant::Array({});
  EXPECT_EQ(Through(nothing), nothing);
  EXPECT_TRUE(h.ui().Errors().empty());
}

TEST_F(ServerLink, AnArrayWithATextFirstIsAnErrorReportAndEndsTheOperation) {
  h.ui().ExpectError("Tabela \"FATO_X\" inválida.");
  EXPECT_THROW(Through(rtl::Variant::Array({rtl::Variant("INV_TABELAFATO_X"), rtl::Variant(1)})),
               rtl::EAbort);
  EXPECT_EQ(h.ui().Errors().size(), 1u);
}

TEST_F(ServerLink, KeysAndArgumentsBecomeTheCatalogueMessages) {
  EXPECT_EQ(Shown("INV_TABELAFATO_VENDAS"), "Tabela \"FATO_VENDAS\" inválida.");
  EXPECT_EQ(Shown("J_DIMECD_CLIENTE.FATO_VENDAS"),
            "O campo \"CD_CLIENTE\" da tabela \"FATO_VENDAS\" já está cadastrado como  dimensão.");
  EXPECT_EQ(Shown("J_FATOVL.FATO"),
            "O campo \"VL\" da tabela \"FATO\" já está cadastrado como  fato.");
  // Two arguments split at the first full stop only.
  EXPECT_EQ(Shown("INV_CAMPOCOL.SCHEMA.TAB"),
            "Campo \"COL\" inválido para a tabela \"SCHEMA.TAB\".");
  // Without a full stop the first argument is empty.
  EXPECT_EQ(Shown("INV_DIME00003"), "Dimensão \"\" inválida para a tabela \"00003\".");
  EXPECT_EQ(Shown("DIME_DRILL_MENORDRILL_X.FATO_Y"),
            "As dimensões da Tabela Drill \"DRILL_X\" são incompatíveis com as dimensões da "
            "tabela \"FATO_Y\".");
  // Tried after DIME_DRILL_MENOR, still recognised.
  EXPECT_EQ(Shown("DIME_DRILL_JA"), "Dimensão já cadastrada.");
  EXPECT_EQ(Shown("NO_NUMBER"),
            "Tipo de campo inválido. Só são aceitos campos do tipo numérico. (Integer, Number, "
            "Float)");
  EXPECT_EQ(Shown("NOT_TAB_DRILLD1"), "A tabela \"D1\" deve estar cadastrada como tabela Drill.");
  EXPECT_EQ(Shown("SEM_FATOD1"), "Não há fatos cadastrados para a tabela \"D1\".");
  EXPECT_EQ(Shown("CAMPO_JA"), "Campo já cadastrado.");
  EXPECT_EQ(Shown("NOME_DRILL_JA"), "Nome já cadastrado.");
}

TEST_F(ServerLink, AnUnknownErrorTextIsShownAsItStandsAndAborts) {
  // Keys are compared with their case: a lower-case key is no key.
  EXPECT_EQ(Shown("inv_tabelaX"), "inv_tabelaX");
  EXPECT_EQ(Shown("O registro foi alterado por outro usuário."),
            "O registro foi alterado por outro usuário.");
  EXPECT_EQ(Shown(""), qmx00600::kEmptyRefusalText);
}

TEST_F(ServerLink, AnErrorReportDuringALoadHidesTheAnimationAndKeepsTheLists) {
  const int facts = s.cdsFatos->RecordCount();
  h.Scripted().Once("GetDimeFatos", ScriptedServer::Refuses("INV_TABELAFATO_ESTOQUE"));
  h.ui().ExpectError("Tabela \"FATO_ESTOQUE\" inválida.");
  EXPECT_THROW(s.cdsTabelas->Next(), rtl::EAbort);
  EXPECT_EQ(orb::ShowAviDepth(), 0);
  EXPECT_FALSE(h.ui().BusyVisible());
  // Nothing was loaded from the refusal: the details are those of before.
  EXPECT_EQ(s.cdsFatos->RecordCount(), facts);
}

TEST_F(ServerLink, ArgumentsTravelInOrderAndByReferenceOnesComeBack) {
  h.Scripted().Once("GetTabelas", [](std::vector<rtl::Variant>& args) {
    args[0] = rtl::Variant("FATO_VENDAS");
    return rtl::Variant(TablesPacket({}));
  });
  rtl::Variant code("fato vendas");
  s.Server().GetTabelas(code, false);
  EXPECT_EQ(code.AsString(), "FATO_VENDAS");
  const std::vector<RecordedCall> calls = h.Scripted().CallsOf("GetTabelas");
  ASSERT_EQ(calls.size(), 1u);
  ASSERT_EQ(calls[0].args.size(), 2u);
  EXPECT_EQ(calls[0].args[0].AsString(), "fato vendas");
  EXPECT_EQ(calls[0].args[1].Type(), rtl::varBoolean);

  const std::vector<RecordedCall> load = h.Scripted().CallsOf("GetDimeFatos");
  ASSERT_FALSE(load.empty());
  ASSERT_EQ(load[0].args.size(), 6u);
  EXPECT_EQ(load[0].args[1].AsString(), "");
  EXPECT_EQ(load[0].args[3].AsString(), "");
}

TEST(ServerLinkCreation, AnErrorReportForTheInitialListsFailsTheCreation) {
  ScreenHarness h(Backend::kScripted);
  h.Scripted().Once("GetInicial", ScriptedServer::Refuses("NO_DIME"));
  h.ui().ExpectError("Tipo de campo não permitido para constituir uma dimensão.");
  EXPECT_THROW(IniProc(), rtl::EAbort);
  EXPECT_FALSE(boestrutura);
  EXPECT_EQ(h.ScreenCount(), 0);
  EXPECT_EQ(orb::ShowAviDepth(), 0);

  // A malformed answer is refused before any list is loaded.
  h.Scripted().Once("GetInicial", ScriptedServer::Returns(rtl::Variant::Array({TablesPacket({})})));
  EXPECT_THROW(IniProc(), rtl::Exception);
  EXPECT_EQ(h.ScreenCount(), 0);

  OpenLinkedScreen(h);
  EXPECT_TRUE(boestrutura);
}

}  // namespace
}  // namespace qmxtest
