#include "appserver/rules/rdm_estrutura.h"

#include "appserver/notices/session_notices.h"
#include "appserver/rules/access.h"
#include "appserver/rules/call_args.h"
#include "appserver/rules/codes.h"
#include "appserver/rules/refusal.h"
#include "appserver/rules/save_rules.h"
#include "appserver/storage/packet_receiver.h"
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

// What `owner` owns of two entities, as packets, and the owner's version
// (table_versions.h), read together as the last read of the caller's
// transaction; the rows go straight into the packets.
struct OwnedPackets {
  rtl::Variant first, second;
  std::string version;
};

OwnedPackets ReadOwned(Storage& s, Entity first, Entity second, const std::string& owner) {
  PacketReceiver a(first, FieldsOf(first)), b(second, FieldsOf(second));
  RecordsReceiver version;
  if (!owner.empty()) {
    const Read reads[] = {{first, {{0, owner}}}, {second, {{0, owner}}}, TableVersionRead(owner)};
    RowReceiver* const receivers[] = {&a, &b, &version};
    s.LastReadFollows();
    s.ScanEach(reads, receivers);
  }
  return {a.Take(), b.Take(), TableVersionOf(version.records)};
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
  static const Method kEdit = {kEditMethod, &RdmEstrutura::InformarEdicao};
  return name == kEditMethod ? &kEdit : nullptr;
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

rtl::Variant RdmEstrutura::TablesPacket(std::vector<Record> tables) {
  db::Packet packet = MakePacket(Entity::kTable, TablesFields(), std::move(tables));
  AddTableVersions(*storage_, packet);
  return ToVariant(packet);
}

void RdmEstrutura::SetConnectionInfo(const net::ConnectionInfo& info) {
  origin_.peer_address = info.peer_address;
  // The history tells an account from a name nothing proved.
  origin_.user_name = info.verified || info.user_name.empty()
                          ? info.user_name
                          : info.user_name + " (não verificado)";
  read_only_ = info.verified && info.role != "editor";
  if (notices_) notices_->SetAccount(origin_.user_name);
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
    OwnedPackets owned = ReadOwned(*storage_, Entity::kDime, Entity::kFact, table);
    args.Set(4, std::move(owned.first));
    args.Set(5, std::move(owned.second));
    if (!table.empty()) seen_.Saw(table, owned.version);
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
  rtl::Variant list;
  if (code.empty()) {
    list = TablesPacket(structure_.Tables(drill));
  } else {
    // The table and its version in one round trip.
    const Read reads[] = {{Entity::kTable, {{tab::CDTABELADW, code}}}, TableVersionRead(code)};
    storage_->LastReadFollows();
    auto found = storage_->SelectEach(reads);
    db::Packet packet = MakePacket(Entity::kTable, TablesFields(), std::move(found[0]));
    AddTableVersion(packet, TableVersionOf(found[1]));
    list = ToVariant(packet);
  }
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

rtl::Variant RdmEstrutura::GetDimeFatosDrill(std::vector<rtl::Variant>& raw) {
  CallArgs args("GetDimeFatosDrill", raw, 3);
  std::string drill = NormaliseCode(args.Text(0));
  Transaction tx(*storage_, TransactionKind::kRead);
  OwnedPackets owned = ReadOwned(*storage_, Entity::kDrillFact, Entity::kDrillDime, drill);
  args.Set(1, std::move(owned.first));
  args.Set(2, std::move(owned.second));
  if (!drill.empty()) seen_.Saw(drill, owned.version);
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
