#include "appserver/rules/rdm_estrutura.h"

#include "appserver/rules/access.h"
#include "appserver/rules/call_args.h"
#include "appserver/rules/codes.h"
#include "appserver/rules/refusal.h"
#include "appserver/rules/save_rules.h"
#include "appserver/storage/recording_storage.h"
#include "net/app_server.h"
#include "rtl/strings.h"

namespace appserver {
namespace {

rtl::Variant ToVariant(const db::Packet& p) {
  return db::PacketToVariant(p);
}

rtl::Variant RecordsPacket(Entity e, std::vector<Record> records) {
  return ToVariant(MakePacket(e, FieldsOf(e), std::move(records)));
}

std::vector<Record> Owned(Storage& s, Entity e, const std::string& owner) {
  if (owner.empty()) return {};
  Match m[] = {{0, owner}};
  return s.Select(e, m);
}

// What `owner` owns of two entities, read together.
std::vector<std::vector<Record>> OwnedEach(Storage& s, Entity first, Entity second,
                                           const std::string& owner) {
  if (owner.empty()) return {{}, {}};
  const Read reads[] = {{first, {{0, owner}}}, {second, {{0, owner}}}};
  return s.SelectEach(reads);
}

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

void RequireCode(const std::string& code, const char* what) {
  if (code.empty()) throw Refusal(std::string(what) + " não informada.");
  if (!IsWellFormedCode(code)) throw Refuse(key::kInvTabela, code);
}

}  // namespace

struct RdmEstrutura::Method {
  std::string_view name;
  rtl::Variant (RdmEstrutura::*handler)(std::vector<rtl::Variant>&);
};

std::span<const RdmEstrutura::Method> RdmEstrutura::Methods() {
  static const Method kMethods[] = {
      {"GetInicial", &RdmEstrutura::GetInicial},
      {"GetDimeFatos", &RdmEstrutura::GetDimeFatos},
      {"SetTabelas", &RdmEstrutura::SetTabelas},
      {"GetTabelas", &RdmEstrutura::GetTabelas},
      {"SetFatos", &RdmEstrutura::SetFatos},
      {"SetDime", &RdmEstrutura::SetDime},
      {"GetFields", &RdmEstrutura::GetFields},
      {"getVdUpdDimeDW", &RdmEstrutura::GetVdUpdDimeDW},
      {"setDelManyDrill", &RdmEstrutura::SetDelManyDrill},
      {"SetTabelaDrill", &RdmEstrutura::SetTabelaDrill},
      {"GetDimeFatosDrill", &RdmEstrutura::GetDimeFatosDrill},
      {"getVdDrill", &RdmEstrutura::GetVdDrill},
      {"getVdDelDrill", &RdmEstrutura::GetVdDelDrill},
      {"setDelDrillDw", &RdmEstrutura::SetDelDrillDw},
      {"getVdFatosDrill", &RdmEstrutura::GetVdFatosDrill},
      {"SetFatosDrill", &RdmEstrutura::SetFatosDrill},
      {"getVdDimeDrill", &RdmEstrutura::GetVdDimeDrill},
      {"SetDimeDrill", &RdmEstrutura::SetDimeDrill},
  };
  return kMethods;
}

const RdmEstrutura::Method* RdmEstrutura::Find(std::string_view name) {
  for (const Method& m : Methods())
    if (m.name == name) return &m;
  return nullptr;
}

std::vector<std::string_view> RdmEstrutura::MethodNames() {
  std::vector<std::string_view> names;
  for (const Method& m : Methods()) names.push_back(m.name);
  return names;
}

RdmEstrutura::RdmEstrutura(std::unique_ptr<Storage> storage, bool record_history)
    : storage_(std::make_unique<RecordingStorage>(
          std::move(storage), origin_, record_history,
          [this](const std::string& table, long long from) { seen_.Advanced(table, from); })),
      structure_(*storage_) {}

void RdmEstrutura::RequireCurrent(const std::string& table,
                                  const std::optional<std::string>& version) {
  if (version && !seen_.Accept(table, *version, TableVersion(*storage_, table)))
    throw Refusal(kChangedMeanwhile);
}

rtl::Variant RdmEstrutura::TablesPacket(std::vector<Record> tables) {
  db::Packet packet = MakePacket(Entity::kTable, TablesFields(), std::move(tables));
  AddTableVersions(*storage_, packet);
  return ToVariant(packet);
}

rtl::Variant RdmEstrutura::QuestionAnswer(const std::vector<db::PacketField>& fields,
                                          std::vector<std::vector<std::string>> rows,
                                          const std::string& subject) {
  std::vector<db::PacketField> with_version = fields;
  with_version.push_back({kVersionField, kVersionSize, false});
  const std::string version = subject.empty() ? "" : TableVersion(*storage_, subject);
  for (auto& row : rows) row.push_back(version);
  return ToVariant(MakeTextPacket(with_version, rows));
}

void RdmEstrutura::SetConnectionInfo(const net::ConnectionInfo& info) {
  origin_.peer_address = info.peer_address;
  // The history tells an account from a name nothing proved.
  origin_.user_name = info.verified || info.user_name.empty()
                          ? info.user_name
                          : info.user_name + " (não verificado)";
  read_only_ = info.verified && info.role != "editor";
}

rtl::Variant RdmEstrutura::Invoke(std::string_view method, std::vector<rtl::Variant>& args) {
  const Method* m = method.empty() ? nullptr : Find(method);
  if (!m)
    throw net::ECallError("Método desconhecido em " + std::string(kObjectName) + ": \"" +
                          std::string(method) + "\".");
  if (read_only_ && Writes(m->name, args)) return rtl::VarArrayOf({rtl::Variant(kReadOnlyText)});
  structure_.ForgetCaches();  // other sessions may have written since the last call
  origin_.method = m->name;
  try {
    return (this->*(m->handler))(args);
  } catch (const Refusal& r) {
    return rtl::VarArrayOf({rtl::Variant(r.Text())});
  }
}

rtl::Variant RdmEstrutura::GetInicial(std::vector<rtl::Variant>& raw) {
  CallArgs args("GetInicial", raw, 0);
  Transaction tx(*storage_, TransactionKind::kRead);
  const Read reads[] = {{Entity::kTable, {{tab::IDDRILLDOWN, "N"}}},
                        {Entity::kDataMart, {}},
                        {Entity::kDimension, {}},
                        {Entity::kTable, {{tab::IDDRILLDOWN, "S"}}}};
  auto found = storage_->SelectEach(reads);
  rtl::Variant result = rtl::Variant::Array({
      TablesPacket(std::move(found[0])),
      RecordsPacket(Entity::kDataMart, std::move(found[1])),
      RecordsPacket(Entity::kDimension, std::move(found[2])),
      TablesPacket(std::move(found[3])),
  });
  tx.Commit();
  return result;
}

rtl::Variant RdmEstrutura::GetDimeFatos(std::vector<rtl::Variant>& raw) {
  CallArgs args("GetDimeFatos", raw, 6);
  std::string table = NormaliseCode(args.Text(0));
  std::string field = NormaliseCode(args.Text(1));
  std::string value = args.Text(2);
  std::string mode = args.Text(3);
  args.Set(0, table);
  Transaction tx(*storage_, TransactionKind::kRead);
  if (mode.empty()) {
    if (!table.empty()) seen_.Saw(table, TableVersion(*storage_, table));
    auto found = OwnedEach(*storage_, Entity::kDime, Entity::kFact, table);
    args.Set(4, RecordsPacket(Entity::kDime, std::move(found[0])));
    args.Set(5, RecordsPacket(Entity::kFact, std::move(found[1])));
    tx.Commit();
    return {};
  }
  if (mode == "VD_FATO") {
    // Facts of the table with this column or this name (an empty value matches nothing).
    std::vector<Record> clash;
    for (Record& f : Owned(*storage_, Entity::kFact, table))
      if ((!field.empty() && f[fato::CDITEMDW] == field) ||
          (!rtl::Trim(value).empty() && rtl::SameText(f[fato::NMITEMDW], value)))
        clash.push_back(std::move(f));
    tx.Commit();
    return ToVariant(MakePacket(Entity::kFact, FactCheckFields(), std::move(clash)));
  }
  if (mode == "VD_DIME") {
    std::string number = WidenNumber(value);
    std::vector<Record> clash;
    for (Record& d : Owned(*storage_, Entity::kDime, table))
      if ((!field.empty() && d[dime::CDITEMDIME] == field) ||
          (!number.empty() && d[dime::NRSEQUEDIME] == number))
        clash.push_back(std::move(d));
    tx.Commit();
    return RecordsPacket(Entity::kDime, std::move(clash));
  }
  throw net::ECallError("GetDimeFatos: modo desconhecido \"" + mode +
                        "\" (use \"\", \"VD_FATO\" ou \"VD_DIME\").");
}

rtl::Variant RdmEstrutura::SaveTables(std::vector<rtl::Variant>& raw, const char* method,
                                      bool drill) {
  CallArgs args(method, raw, 1);
  db::Packet delta = args.Packet(0);
  Transaction tx(*storage_, TransactionKind::kWrite);
  EntityRules rules = TableRules(structure_, drill);
  rules.version_current = [this](const Record& stored, const std::string& version) {
    const std::string& table = stored[tab::CDTABELADW];
    return seen_.Accept(table, version, TableVersion(*storage_, table));
  };
  ApplyChanges(*storage_, delta, rules);
  rtl::Variant list = TablesPacket(structure_.Tables(drill));
  tx.Commit();
  return list;
}

rtl::Variant RdmEstrutura::SetTabelas(std::vector<rtl::Variant>& raw) {
  return SaveTables(raw, "SetTabelas", false);
}

rtl::Variant RdmEstrutura::SetTabelaDrill(std::vector<rtl::Variant>& raw) {
  return SaveTables(raw, "SetTabelaDrill", true);
}

rtl::Variant RdmEstrutura::GetTabelas(std::vector<rtl::Variant>& raw) {
  CallArgs args("GetTabelas", raw, 2);
  std::string code = NormaliseCode(args.Text(0));
  bool drill = args.Flag(1);
  args.Set(0, code);
  Transaction tx(*storage_, TransactionKind::kRead);
  std::vector<Record> rows;
  if (code.empty()) {
    rows = structure_.Tables(drill);
  } else if (auto t = structure_.Table(code)) {
    rows.push_back(*t);
  }
  rtl::Variant list = TablesPacket(std::move(rows));
  tx.Commit();
  return list;
}

rtl::Variant RdmEstrutura::SetFatos(std::vector<rtl::Variant>& raw) {
  auto [delta, table] = ReadTableDelta("SetFatos", raw);
  Transaction tx(*storage_, TransactionKind::kWrite);
  SaveItems(structure_, delta, FactRules(structure_, table));
  tx.Commit();
  return {};
}

rtl::Variant RdmEstrutura::SetDime(std::vector<rtl::Variant>& raw) {
  auto [delta, table] = ReadTableDelta("SetDime", raw);
  Transaction tx(*storage_, TransactionKind::kWrite);
  auto changes = SaveItems(structure_, delta, DimeRules(structure_, table));
  if (table.empty() && !changes.empty())
    table = (changes.front().after ? *changes.front().after : *changes.front().before)[0];
  rtl::Variant list = RecordsPacket(Entity::kDime, Owned(*storage_, Entity::kDime, table));
  tx.Commit();
  return list;
}

rtl::Variant RdmEstrutura::GetFields(std::vector<rtl::Variant>& raw) {
  CallArgs args("GetFields", raw, 2);
  std::string kind = rtl::UpperCase(args.Text(0));
  if (kind != "F" && kind != "D")
    throw net::ECallError("GetFields: o tipo deve ser \"F\" (fatos) ou \"D\" (dimensões).");
  std::string table = NormaliseCode(args.Text(1));
  args.Set(1, table);
  Transaction tx(*storage_, TransactionKind::kRead);
  const Side& side = structure_.IsDrillTable(table) ? kDrillSide : kFactSide;
  std::vector<std::vector<std::string>> rows;
  for (std::string& c : structure_.FreeColumns(side, table, kind[0])) rows.push_back({c});
  tx.Commit();
  return ToVariant(MakeTextPacket(ColumnListFields(), rows));
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

rtl::Variant RdmEstrutura::GetDimeFatosDrill(std::vector<rtl::Variant>& raw) {
  CallArgs args("GetDimeFatosDrill", raw, 3);
  std::string drill = NormaliseCode(args.Text(0));
  Transaction tx(*storage_, TransactionKind::kRead);
  if (!drill.empty()) seen_.Saw(drill, TableVersion(*storage_, drill));
  auto found = OwnedEach(*storage_, Entity::kDrillFact, Entity::kDrillDime, drill);
  args.Set(1, RecordsPacket(Entity::kDrillFact, std::move(found[0])));
  args.Set(2, RecordsPacket(Entity::kDrillDime, std::move(found[1])));
  tx.Commit();
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
      QuestionAnswer(AffectedFields(), {{JoinTableList(affected)}}, drill.empty() ? second : drill);
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

rtl::Variant RdmEstrutura::GetVdFatosDrill(std::vector<rtl::Variant>& raw) {
  auto [drill, field, value] =
      ReadDrillFieldValue("getVdFatosDrill", raw, {"CDITEMDRILL", "NMITEMDRILL", "IDTPFATODRILL"});
  Transaction tx(*storage_, TransactionKind::kRead);
  if (!structure_.IsDrillTable(drill)) throw Refuse(key::kNotTabDrill, drill);
  if (!rtl::Trim(value).empty()) {
    if (field == "CDITEMDRILL")
      structure_.CheckFactColumn(kDrillSide, drill, NormaliseCode(value), nullptr);
    else if (field == "NMITEMDRILL")
      structure_.CheckFactName(kDrillSide, drill, value, nullptr);
    else if (std::string t = rtl::UpperCase(rtl::Trim(value));
             t.size() != 1 || std::string_view("MPQI").find(t[0]) == std::string_view::npos)
      throw Refusal("Tipo de fato inválido: \"" + value + "\".");
  }
  tx.Commit();
  return {};
}

rtl::Variant RdmEstrutura::GetVdDimeDrill(std::vector<rtl::Variant>& raw) {
  auto [drill, field, value] =
      ReadDrillFieldValue("getVdDimeDrill", raw, {"CDDIMEDRILL", "NRSEQUEDIME"});
  Transaction tx(*storage_, TransactionKind::kRead);
  if (!structure_.IsDrillTable(drill)) throw Refuse(key::kNotTabDrill, drill);
  if (!rtl::Trim(value).empty()) {
    if (field == "CDDIMEDRILL")
      structure_.CheckDimeColumn(kDrillSide, drill, NormaliseCode(value), nullptr);
    else
      structure_.CheckDimeNumber(kDrillSide, drill, WidenNumber(value), nullptr);
  }
  // A drill table that gains detail breaks no link: nothing is affected.
  rtl::Variant answer = QuestionAnswer(AffectedFields(), {{""}}, drill);
  tx.Commit();
  return answer;
}

rtl::Variant RdmEstrutura::SetFatosDrill(std::vector<rtl::Variant>& raw) {
  return SaveDrillItems("SetFatosDrill", raw, DrillFactRules(structure_));
}

rtl::Variant RdmEstrutura::SetDimeDrill(std::vector<rtl::Variant>& raw) {
  return SaveDrillItems("SetDimeDrill", raw, DrillDimeRules(structure_));
}

rtl::Variant RdmEstrutura::SaveDrillItems(const char* method, std::vector<rtl::Variant>& raw,
                                          const EntityRules& rules) {
  CallArgs args(method, raw, 1);
  db::Packet delta = args.Packet(0);
  Transaction tx(*storage_, TransactionKind::kWrite);
  SaveItems(structure_, delta, rules);
  tx.Commit();
  return {};
}

}  // namespace appserver
