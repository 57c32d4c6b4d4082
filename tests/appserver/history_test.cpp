// The history of changes: one entry per row written, with its old and new
// values, in commit order; nothing for a refused call; and how
// qmx-server history filters and prints it.
#include <yaml-cpp/yaml.h>

#include <sstream>
#include <thread>

#include "appserver/storage/json_text.h"
#include "appserver/tools/history_report.h"
#include "appserver/tools/tool_commands.h"
#include "rdm_fixture.h"

namespace appserver::testing {
namespace {

class History : public RdmTest {
 protected:
  std::vector<HistoryEntry> Read(HistoryFilter filter = {}) {
    auto s = OpenStorage(db_.target());
    return s->ReadHistory(filter);
  }
  // Entries as "method entity kind key", oldest first.
  std::vector<std::string> Summary() {
    std::vector<std::string> out;
    auto entries = Read();
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
      out.push_back(it->origin.method + " " + Describe(it->entity).sql_table + " " +
                    ChangeKindCode(it->kind) + " " +
                    HistoryKey(it->entity, it->after ? *it->after : *it->before));
    return out;
  }
  void Ok(std::string_view method, std::vector<Variant> args) {
    ASSERT_EQ(ErrorText(Call(method, std::move(args))), "") << method;
  }
  std::string Tool(ToolOptions o, int expected_exit = kToolOk) {
    std::ostringstream out, err;
    EXPECT_EQ(RunTool(o, db_.target(), out, err), expected_exit) << err.str();
    return out.str();
  }
};

std::vector<std::string> Compra(std::string name, std::string drill = "") {
  return {"S", "FATO_COMPRAS", "VL_COMPRA", "00001", name, "M", "", drill};
}

TEST_F(History, EachKindOfChangeIsRecordedOnceWithItsOldAndNewValues) {
  Ok("SetTabelas", {DeltaBuilder(kTableFields).Insert({"FATO_COMPRAS", "Compras", "N"}).Build()});
  Ok("SetTabelas", {DeltaBuilder(kTableFields)
                        .Modify({"FATO_COMPRAS", "Compras", "N"}, {"FATO_COMPRAS", "Compra", "N"})
                        .Build()});
  Ok("SetFatos", {DeltaBuilder(kFactFields).Insert(Compra("Valor")).Build(), "FATO_COMPRAS"});
  Ok("SetFatos", {DeltaBuilder(kFactFields).Modify(Compra("Valor"), Compra("Valor pago")).Build(),
                  "FATO_COMPRAS"});
  Ok("SetDime",
     {DeltaBuilder(kDimeFields).Insert({"FATO_COMPRAS", "CD_PRODUTO", "00002"}).Build(), ""});
  Ok("SetDime",
     {DeltaBuilder(kDimeFields)
          .Modify({"FATO_COMPRAS", "CD_PRODUTO", "00002"}, {"FATO_COMPRAS", "CD_PRODUTO", "00009"})
          .Build(),
      ""});
  Ok("SetFatosDrill", {DeltaBuilder(kDrillFactFields)
                           .Insert({"DRILL_VENDAS_DIA", "VL_DESCONTO", "Desconto", "M", ""})
                           .Build()});
  Ok("SetDimeDrill",
     {DeltaBuilder(kDrillDimeFields).Insert({"DRILL_VENDAS_DIA", "CD_REGIAO", "00004"}).Build()});
  Ok("SetDimeDrill",
     {DeltaBuilder(kDrillDimeFields).Delete({"DRILL_VENDAS_DIA", "CD_REGIAO", "00004"}).Build()});
  // The three ways links are dropped: one fact each.
  Ok("setDelManyDrill", {TablesPacket({"DRILL_ESTOQUE_LOTE"}), "FATO_ESTOQUE"});
  Ok("setDelDrillDw", {TablesPacket({"FATO_VENDAS"}), "DRILL_VENDAS_DIA"});
  // Cascade: the fact table goes with its fact and dimension.
  Ok("SetTabelas", {DeltaBuilder(kTableFields).Delete({"FATO_COMPRAS", "Compra", "N"}).Build()});

  EXPECT_EQ(Summary(), (std::vector<std::string>{
                           "SetTabelas QMX_TABELA I FATO_COMPRAS",
                           "SetTabelas QMX_TABELA A FATO_COMPRAS",
                           "SetFatos QMX_FATO I FATO_COMPRAS.VL_COMPRA",
                           "SetFatos QMX_FATO A FATO_COMPRAS.VL_COMPRA",
                           "SetDime QMX_DIME I FATO_COMPRAS.CD_PRODUTO",
                           "SetDime QMX_DIME A FATO_COMPRAS.CD_PRODUTO",
                           "SetFatosDrill QMX_FATO_DRILL I DRILL_VENDAS_DIA.VL_DESCONTO",
                           "SetDimeDrill QMX_DIME_DRILL I DRILL_VENDAS_DIA.CD_REGIAO",
                           "SetDimeDrill QMX_DIME_DRILL E DRILL_VENDAS_DIA.CD_REGIAO",
                           "setDelManyDrill QMX_FATO A FATO_ESTOQUE.QT_ESTOQUE",
                           "setDelDrillDw QMX_FATO A FATO_VENDAS.QT_VENDIDA",
                           "setDelDrillDw QMX_FATO A FATO_VENDAS.VL_VENDA",
                           "SetTabelas QMX_FATO E FATO_COMPRAS.VL_COMPRA",
                           "SetTabelas QMX_DIME E FATO_COMPRAS.CD_PRODUTO",
                           "SetTabelas QMX_TABELA E FATO_COMPRAS",
                       }));

  auto entries = Read();  // newest first
  const HistoryEntry& fact_renamed = entries[entries.size() - 4];
  ASSERT_TRUE(fact_renamed.before && fact_renamed.after);
  EXPECT_EQ((*fact_renamed.before)[fato::NMITEMDW], "Valor");
  EXPECT_EQ((*fact_renamed.after)[fato::NMITEMDW], "Valor pago");
  EXPECT_EQ((*fact_renamed.after)[fato::CDAREANEGDW], "00001");
  const HistoryEntry& unlinked = entries[3];  // FATO_VENDAS.VL_VENDA
  EXPECT_EQ((*unlinked.before)[fato::CDTABDRILL], "DRILL_VENDAS_DIA");
  EXPECT_EQ((*unlinked.after)[fato::CDTABDRILL], "");
  EXPECT_EQ((*unlinked.after)[fato::NMITEMDW], "Valor vendido");
  const HistoryEntry& cascaded = entries[1];
  EXPECT_FALSE(cascaded.after);
  EXPECT_EQ(*cascaded.before, (Record{"FATO_COMPRAS", "CD_PRODUTO", "00009"}));
  for (const HistoryEntry& e : entries) {
    EXPECT_EQ(e.origin.peer_address, "");  // an in-process session has no connection
    EXPECT_EQ(e.when.size(), 24u) << e.when;
  }
}

TEST_F(History, ARowRewrittenWithTheValuesItHoldsIsNotRecorded) {
  // "Check all" over facts already checked sends every row unchanged; only
  // the row whose value really changes leaves an entry.
  std::vector<Row> facts = Facts("FATO_VENDAS");
  DeltaBuilder delta(kFactFields);
  for (const Row& f : facts) {
    std::vector<std::string> old;
    for (const auto& field : kFactFields) old.push_back(f.at(field.name));
    std::vector<std::string> now = old;
    if (f.at("CDITEMDW") == "VL_VENDA") now[6] = "Novo texto";  // DSHINTITEM
    delta.Modify(old, now);
  }
  ASSERT_GE(facts.size(), 2u);
  Ok("SetFatos", {delta.Build(), "FATO_VENDAS"});
  EXPECT_EQ(Summary(), (std::vector<std::string>{"SetFatos QMX_FATO A FATO_VENDAS.VL_VENDA"}));
}

TEST_F(History, TheDropOfEveryUseOfADrillTableIsRecordedPerFact) {
  std::vector<Variant> args{"DRILL_VENDAS_DIA", false};
  ASSERT_EQ(ErrorText(CallRef("getVdDelDrill", args)), "");
  EXPECT_EQ(Summary(), (std::vector<std::string>{
                           "getVdDelDrill QMX_FATO A FATO_VENDAS.QT_VENDIDA",
                           "getVdDelDrill QMX_FATO A FATO_VENDAS.VL_VENDA",
                       }));
  // Reading calls record nothing.
  std::vector<Variant> list{"DRILL_ESTOQUE_LOTE", true};
  CallRef("getVdDelDrill", list);
  Call("GetInicial");
  EXPECT_EQ(Read().size(), 2u);
}

TEST_F(History, ARefusedCallRecordsNothingEvenForTheRowsItWroteFirst) {
  // The first row is valid and written; the second is on a text column.
  auto packet = DeltaBuilder(kFactFields)
                    .Insert({"S", "FATO_VENDAS", "VL_DESCONTO", "00001", "Desconto", "M", "", ""})
                    .Insert({"S", "FATO_VENDAS", "CD_REGIAO", "00001", "Região", "M", "", ""})
                    .Build();
  EXPECT_EQ(ErrorText(Call("SetFatos", {packet, "FATO_VENDAS"})), "NO_NUMBER");
  // A delete refused while a fact still drills into the table.
  EXPECT_NE(
      ErrorText(Call("SetTabelaDrill", {DeltaBuilder(kTableFields)
                                            .Delete({"DRILL_VENDAS_DIA", "Vendas por dia", "S"})
                                            .Build()})),
      "");
  // A stale update.
  EXPECT_NE(ErrorText(Call("SetTabelas",
                           {DeltaBuilder(kTableFields)
                                .Modify({"FATO_VENDAS", "Velho", "N"}, {"FATO_VENDAS", "Novo", "N"})
                                .Build()})),
            "");
  EXPECT_TRUE(Read().empty());
}

TEST_F(History, ConcurrentChangesOfOneRowFollowEachOtherInCommitOrder) {
  // Two sessions keep renaming the same fact, each from what it reads; an
  // update that lost the race is refused and tried again. In id order every
  // entry must start from the values the previous one left.
  constexpr int kRounds = 15;
  auto worker = [this](std::string who) {
    auto rdm = NewSession();
    for (int i = 0; i < kRounds;) {
      std::vector<Variant> a{"FATO_VENDAS", "", "", "", Variant(), Variant()};
      rdm->Invoke("GetDimeFatos", a);
      std::vector<Row> facts = Rows(a[5]);
      const Row* now = Find(facts, "CDITEMDW", "VL_VENDA");
      ASSERT_NE(now, nullptr);
      std::vector<std::string> old;
      for (const auto& f : kFactFields) old.push_back(now->at(f.name));
      std::vector<std::string> renamed = old;
      renamed[6] = who + std::to_string(i);  // DSHINTITEM
      std::vector<Variant> args{DeltaBuilder(kFactFields).Modify(old, renamed).Build(),
                                "FATO_VENDAS"};
      if (ErrorText(rdm->Invoke("SetFatos", args)).empty()) ++i;
    }
  };
  std::thread a(worker, "a"), b(worker, "b");
  a.join();
  b.join();
  auto entries = Read();
  ASSERT_EQ(entries.size(), 2u * kRounds);
  for (size_t i = 0; i + 1 < entries.size(); ++i) {
    EXPECT_GT(entries[i].id, entries[i + 1].id);
    EXPECT_GE(entries[i].when, entries[i + 1].when);
    EXPECT_EQ(*entries[i].before, *entries[i + 1].after) << "entry " << entries[i].id;
  }
  EXPECT_EQ((*entries.front().after)[fato::DSHINTITEM],
            ValueOf(Facts("FATO_VENDAS"), "CDITEMDW", "VL_VENDA", "DSHINTITEM"));
}

TEST_F(History, TheSubcommandFiltersByTableAndDateAndPrintsTextOrJson) {
  rdm_->SetServerName("servidor-b");
  Ok("SetFatos",
     {DeltaBuilder(kFactFields)
          .Insert({"S", "FATO_VENDAS", "VL_DESCONTO", "00001", "Desconto \"bruto\"", "M", "", ""})
          .Build(),
      "FATO_VENDAS"});
  Ok("SetDimeDrill",
     {DeltaBuilder(kDrillDimeFields).Insert({"DRILL_VENDAS_DIA", "CD_REGIAO", "00004"}).Build()});

  ToolOptions o;
  o.command = ToolCommand::kHistory;
  std::string text = Tool(o);
  std::string titles = text.substr(0, text.find('\n'));
  size_t at = 0;
  for (const char* t : {"Quando (UTC)", "Servidor", "Conexão", "Usuário", "Método", "Operação",
                        "Entidade", "Chave", "Valores"}) {
    size_t found = titles.find(t, at);
    EXPECT_NE(found, std::string::npos) << t;
    at = found;
  }
  EXPECT_LT(text.find("DRILL_VENDAS_DIA.CD_REGIAO"), text.find("FATO_VENDAS.VL_DESCONTO"));
  EXPECT_NE(text.find("NMITEMDW=\"Desconto \\\"bruto\\\"\""), std::string::npos) << text;

  o.table = " fato_vendas";
  o.format = "json";
  YAML::Node json = YAML::Load(Tool(o));
  ASSERT_TRUE(json.IsSequence());
  ASSERT_EQ(json.size(), 1u);
  EXPECT_EQ(json[0]["metodo"].as<std::string>(), "SetFatos");
  EXPECT_EQ(json[0]["servidor"].as<std::string>(), "servidor-b");
  EXPECT_EQ(json[0]["operacao"].as<std::string>(), "Inclusão");
  EXPECT_TRUE(json[0]["antes"].IsNull());
  EXPECT_EQ(json[0]["depois"]["NMITEMDW"].as<std::string>(), "Desconto \"bruto\"");

  o.table.clear();
  o.since = "2999-01-01";
  EXPECT_EQ(Tool(o), "[]\n");
  o.format = "text";
  EXPECT_EQ(Tool(o), "Nenhuma alteração registrada.\n");
  o.since = Read().back().when.substr(0, 19);
  EXPECT_NE(Tool(o).find("FATO_VENDAS.VL_DESCONTO"), std::string::npos);
  o.since = "2026-13-01";
  EXPECT_EQ(Tool(o, kToolFailed), "");
  ToolOptions missing;
  missing.command = ToolCommand::kHistory;
  std::ostringstream out, err;
  TempDir dir;
  EXPECT_EQ(RunTool(missing, {dir.path() + "/nenhum.db"}, out, err), kToolFailed);
  EXPECT_NE(err.str().find("não encontrado"), std::string::npos);
}

TEST_F(History, TheTextReportEscapesWhatCouldActOnTheTerminalAndJsonKeepsItExact) {
  const std::string user = "eva\n2026-12-08 00:00:00  forjada \x1b[2J\\";
  const std::string name = "Desconto\x1b[31m\xE2\x80\xAE\xC2\x9B";
  net::ConnectionInfo who;
  who.peer_address = "127.0.0.1:4000";
  who.user_name = user;
  rdm_->SetConnectionInfo(who);
  Ok("SetFatos", {DeltaBuilder(kFactFields)
                      .Insert({"S", "FATO_VENDAS", "VL_DESCONTO", "00001", name, "M", "", ""})
                      .Build(),
                  "FATO_VENDAS"});
  ToolOptions o;
  o.command = ToolCommand::kHistory;
  const std::string text = Tool(o);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << text;  // titles and the entry
  for (const char* raw : {"\x1b", "\xE2\x80\xAE", "\xC2\x9B"})
    EXPECT_EQ(text.find(raw), std::string::npos) << text;
  EXPECT_NE(text.find("eva\\n2026-12-08 00:00:00  forjada \\x1B[2J\\\\"), std::string::npos)
      << text;
  EXPECT_NE(text.find("NMITEMDW=\"Desconto\\u001b[31m\\u202E\\x9B\""), std::string::npos) << text;

  o.format = "json";
  YAML::Node json = YAML::Load(Tool(o));
  EXPECT_EQ(json[0]["usuario"].as<std::string>(), user + " (não verificado)");
  EXPECT_EQ(json[0]["depois"]["NMITEMDW"].as<std::string>(), name);
}

TEST_F(History, AnUnreadableEntryFailsTheReadingInsteadOfShowingLessThanWasStored) {
  Ok("SetTabelas", {DeltaBuilder(kTableFields).Insert({"FATO_COMPRAS", "Compras", "N"}).Build()});
  auto read = [this] {
    ToolOptions o;
    o.command = ToolCommand::kHistory;
    std::ostringstream out, err;
    return RunTool(o, db_.target(), out, err);
  };
  EXPECT_EQ(read(), kToolOk);
  // One value fewer than the entity has columns.
  db_.Execute("UPDATE \"QMX_HISTORICO\" SET \"DEPOIS\" = '[\"FATO_COMPRAS\",\"Compras\"]'");
  EXPECT_EQ(read(), kToolFailed);
}

TEST(JsonText, StringsSurviveTheRoundTrip) {
  JsonFields fields{
      {"A", "aspas \" barra \\ linha\n tab\t ç 😀"}, {"B", std::string("\x01\x1f")}, {"C", ""}};
  EXPECT_EQ(ParseJsonObject(JsonObject(fields)), fields);
  EXPECT_EQ(ParseJsonObject(R"( {"x" : "\u00e7\ud83d\ude00\/"} )"), (JsonFields{{"x", "ç😀/"}}));
  std::vector<std::string> items{"", "a\"b", "ç\n", std::string(1, '\0')};
  EXPECT_EQ(ParseJsonArray(JsonArray(items)), items);
  EXPECT_EQ(ParseJsonArray(" [ ] "), std::vector<std::string>{});
  for (const char* bad : {"[", "[\"a\",]", "[1]", "[\"a\"] [", "{}"})
    EXPECT_FALSE(ParseJsonArray(bad)) << bad;
  for (const char* bad : {"", "{", "{\"a\":1}", "{\"a\":\"b\"} x", "{\"a\":\"\\ud83d\"}",
                          "{\"a\":\"b\",}", "[\"a\"]", "{\"a\":\"\\q\"}"})
    EXPECT_FALSE(ParseJsonObject(bad)) << bad;
}

}  // namespace
}  // namespace appserver::testing
