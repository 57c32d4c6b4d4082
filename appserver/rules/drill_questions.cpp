// The drill questions and the consents that drop drill links: each question's
// answer carries the version of the table it was asked about, and each
// consent is refused when that table changed since (table_versions.h).
#include "appserver/rules/call_args.h"
#include "appserver/rules/codes.h"
#include "appserver/rules/rdm_estrutura.h"
#include "appserver/rules/refusal.h"
#include "net/app_server.h"

namespace appserver {
namespace {

// The codes listed in the TABELAS field of every row of a packet.
std::vector<std::string> ListedTables(const db::Packet& p) {
  int field = p.FieldIndex("TABELAS");
  if (field < 0) throw net::ECallError("O pacote não tem o campo TABELAS.");
  std::vector<std::string> out;
  for (const db::PacketRow& row : p.rows) {
    if (row.status == db::RowStatus::kDeleted) continue;
    for (std::string& code : SplitTableList(row.values[field].value_or("")))
      out.push_back(std::move(code));
  }
  return out;
}

// The affected tables as TABELAS carries them. Codes are ASCII, so the
// joined text's bytes are its characters; a list longer than the field can
// hold is refused in words the person can read, instead of an answer no
// client could decode.
std::string AffectedList(const std::vector<std::string>& codes) {
  std::string joined = JoinTableList(codes);
  const size_t limit = static_cast<size_t>(AffectedFields()[0].size);
  if (joined.size() > limit)
    throw Refusal("A alteração afeta " + std::to_string(codes.size()) +
                  " tabelas, e a lista delas (" + std::to_string(joined.size()) +
                  " caracteres) excede o que a resposta comporta (" + std::to_string(limit) +
                  " caracteres). Retire parte dessas ligações de drill e tente de novo.");
  return joined;
}

void RequireCode(const std::string& code, const char* what) {
  if (code.empty()) throw Refusal(std::string(what) + " não informada.");
  if (!IsWellFormedCode(code)) throw Refuse(key::kInvTabela, code);
}

}  // namespace

void RdmEstrutura::RequireCurrent(const std::string& table,
                                  const std::optional<std::string>& version) {
  if (version && !seen_.Accept(table, *version, TableVersion(*storage_, table)))
    throw Refusal(kChangedMeanwhile);
}

rtl::Variant RdmEstrutura::QuestionAnswer(const std::vector<db::PacketField>& fields,
                                          std::vector<std::vector<std::string>> rows,
                                          const std::string& subject) {
  std::vector<db::PacketField> with_version = fields;
  with_version.push_back({kVersionField, kVersionSize, false});
  const std::string version = subject.empty() ? "" : TableVersion(*storage_, subject);
  for (auto& row : rows) row.push_back(version);
  return db::PacketToVariant(MakeTextPacket(with_version, rows));
}

rtl::Variant RdmEstrutura::GetVdUpdDimeDW(std::vector<rtl::Variant>& raw) {
  CallArgs args("getVdUpdDimeDW", raw, 2);
  std::string table = NormaliseCode(args.Text(0));
  std::string number = WidenNumber(args.Text(1));
  args.Set(0, table);
  Transaction tx(*storage_, TransactionKind::kRead);
  std::vector<std::vector<std::string>> rows;
  for (const std::string& d : structure_.DrillTargets(table))
    if (!structure_.DimensionNumbers(kDrillSide, d).count(number)) rows.push_back({d});
  rtl::Variant answer = QuestionAnswer(AffectedFields(), std::move(rows), table);
  tx.Commit();
  return answer;
}

void RdmEstrutura::ClearListedLinks(const CallArgs& args, size_t packet, const std::string& fact,
                                    const std::string& drill) {
  const db::Packet listing = args.Packet(packet);
  std::vector<std::string> listed = ListedTables(listing);
  for (const std::string& code : listed)
    if (!IsWellFormedCode(code)) throw Refuse(key::kInvTabela, code);
  Transaction tx(*storage_, TransactionKind::kWrite);
  // The person consented to what the question showed: nothing may have
  // changed the links of the table it was asked about since.
  RequireCurrent(fact.empty() ? drill : fact, PacketVersion(listing));
  for (const std::string& code : listed) {
    if (fact.empty())
      structure_.ClearLinks(code, drill);
    else
      structure_.ClearLinks(fact, code);
  }
  tx.Commit();
}

rtl::Variant RdmEstrutura::SetDelManyDrill(std::vector<rtl::Variant>& raw) {
  CallArgs args("setDelManyDrill", raw, 2);
  std::string fact = NormaliseCode(args.Text(1));
  args.Set(1, fact);
  RequireCode(fact, "Tabela fato");
  ClearListedLinks(args, 0, fact, "");
  return {};
}

rtl::Variant RdmEstrutura::SetDelDrillDw(std::vector<rtl::Variant>& raw) {
  CallArgs args("setDelDrillDw", raw, 2);
  std::string key_text = rtl::Trim(args.Text(1));
  if (key_text.starts_with("$$")) {
    std::string fact = NormaliseCode(key_text.substr(2));
    args.Set(1, "$$" + fact);
    RequireCode(fact, "Tabela fato");
    ClearListedLinks(args, 0, fact, "");
  } else {
    std::string drill = NormaliseCode(key_text);
    args.Set(1, drill);
    RequireCode(drill, "Tabela drill");
    ClearListedLinks(args, 0, "", drill);
  }
  return {};
}

rtl::Variant RdmEstrutura::GetVdDrill(std::vector<rtl::Variant>& raw) {
  CallArgs args("getVdDrill", raw, 4);
  std::string drill = NormaliseCode(args.Text(0));
  std::string second = NormaliseCode(args.Text(1));
  std::string third = NormaliseCode(args.Text(2));
  std::string fourth = NormaliseCode(args.Text(3));
  Transaction tx(*storage_, TransactionKind::kRead);
  std::vector<std::string> affected;
  if (!drill.empty()) {
    if (fourth.empty() && third.empty()) {
      // May the facts of fact table `second` drill into `drill`?
      if (!structure_.WarehouseTable(second)) throw Refuse(key::kInvTabela, second);
      structure_.CheckLink(drill, second);
    } else if (fourth.empty()) {
      // The drill table loses dimension `third`: the fact tables drilling into
      // it that carry that dimension lose their link.
      if (!structure_.IsDrillTable(drill)) throw Refuse(key::kNotTabDrill, drill);
      std::string number = WidenNumber(third);
      for (const std::string& f : structure_.TablesDrillingInto(drill))
        if (structure_.DimensionNumbers(kFactSide, f).count(number)) affected.push_back(f);
    } else if (!structure_.IsDrillTable(drill)) {
      // The drill table gains or changes a dimension: more detail never breaks
      // a link, but the table must be a drill table.
      throw Refuse(key::kNotTabDrill, drill);
    }
  } else if (!second.empty() && !fourth.empty()) {
    // Fact table `second` gains dimension `fourth`: the drill tables it drills
    // into that lack it.
    std::string number = WidenNumber(fourth);
    for (const std::string& d : structure_.DrillTargets(second))
      if (!structure_.DimensionNumbers(kDrillSide, d).count(number)) affected.push_back(d);
  } else {
    throw net::ECallError(
        "getVdDrill: combinação de argumentos não reconhecida (informe a tabela drill, ou a "
        "tabela fato e a dimensão).");
  }
  rtl::Variant answer =
      QuestionAnswer(AffectedFields(), {{AffectedList(affected)}}, drill.empty() ? second : drill);
  tx.Commit();
  return answer;
}

rtl::Variant RdmEstrutura::GetVdDelDrill(std::vector<rtl::Variant>& raw) {
  // A third argument, the version the answer of the listing carried, makes
  // the removal refuse links the person was not shown.
  CallArgs args("getVdDelDrill", raw, 2, 3);
  std::string drill = NormaliseCode(args.Text(0));
  bool list_only = args.Flag(1);
  if (list_only) {
    Transaction tx(*storage_, TransactionKind::kRead);
    std::vector<std::vector<std::string>> rows;
    for (std::string& f : structure_.TablesDrillingInto(drill)) rows.push_back({f});
    rtl::Variant answer = QuestionAnswer(TableUsesFields(), std::move(rows), drill);
    tx.Commit();
    return answer;
  }
  std::optional<std::string> version;
  if (args.Count() == 3 && !args.Text(2).empty()) version = args.Text(2);
  Transaction tx(*storage_, TransactionKind::kWrite);
  RequireCurrent(drill, version);
  structure_.ClearLinks("", drill);
  tx.Commit();
  return {};
}

}  // namespace appserver
