#include "appserver/rules/save_rules.h"

#include <set>

#include "appserver/rules/codes.h"
#include "appserver/rules/refusal.h"
#include "rtl/strings.h"

namespace appserver {
namespace {

std::string Upper(const std::string& text) {
  return rtl::UpperCase(rtl::Trim(text));
}

void Require(const std::string& value, const char* text) {
  if (rtl::Trim(value).empty()) throw Refusal(text);
}

void RequireOneOf(const std::string& value, std::string_view allowed, const char* field) {
  if (value.size() != 1 || allowed.find(value[0]) == std::string_view::npos)
    throw Refusal(std::string("Valor inválido no campo ") + field + ": \"" + value +
                  "\"; aceitos: " + std::string(allowed) + ".");
}

void RequireFactTable(Structure& s, const std::string& table) {
  if (table.empty()) throw Refusal("A tabela do registro não foi informada.");
  if (s.IsFactTable(table)) return;
  if (!s.WarehouseTable(table)) throw Refuse(key::kInvTabela, table);
  throw Refusal("A tabela \"" + table + "\" não está cadastrada como tabela fato.");
}

void RequireDrillTable(Structure& s, const std::string& table) {
  if (table.empty()) throw Refusal("A tabela drill do registro não foi informada.");
  if (!s.IsDrillTable(table)) throw Refuse(key::kNotTabDrill, table);
}

// A fact of either side: its column and name given, then the structure's
// checks of each (the order decides which refusal a client reads first).
void RequireFactItem(Structure& s, const Side& side, const std::string& owner,
                     const std::string& column, const std::string& name, const Record* before) {
  Require(column, "Campo deve ser informado.");
  s.CheckFactColumn(side, owner, column, before);
  Require(name, "Nome deve ser informado.");
  s.CheckFactName(side, owner, name, before);
}

// A dimension of either side: column and number given, then checked.
void RequireDimeItem(Structure& s, const Side& side, const std::string& owner,
                     const std::string& column, const std::string& number, const Record* before) {
  Require(column, "Campo deve ser informado.");
  Require(number, "Dimensão deve ser informada.");
  s.CheckDimeColumn(side, owner, column, before);
  s.CheckDimeNumber(side, owner, number, before);
}

void RequireOwner(const std::string& owner, const std::string& expected) {
  if (!expected.empty() && owner != expected)
    throw Refusal("O registro pertence à tabela \"" + owner +
                  "\", mas foi enviado para a tabela \"" + expected + "\".");
}

void DefaultOwner(std::string& owner, const std::string& table) {
  owner = NormaliseCode(owner);
  if (owner.empty()) owner = table;
}

void NoDeleteRule(const Record&) {}

}  // namespace

EntityRules TableRules(Structure& s, bool drill) {
  const std::string kind = drill ? "S" : "N";
  const std::string list = drill ? "tabelas drill" : "tabelas fato";
  EntityRules r{Entity::kTable, {}, {}, {}};
  r.normalise = [kind](Record& t) {
    t[tab::CDTABELADW] = NormaliseCode(t[tab::CDTABELADW]);
    t[tab::IDDRILLDOWN] = Upper(t[tab::IDDRILLDOWN]);
    if (t[tab::IDDRILLDOWN].empty()) t[tab::IDDRILLDOWN] = kind;
  };
  r.validate = [&s, kind, list, drill](const Record& now, const Record* before) {
    const std::string& code = now[tab::CDTABELADW];
    if (now[tab::IDDRILLDOWN] != kind || (before && (*before)[tab::IDDRILLDOWN] != kind))
      throw Refusal("A tabela \"" + code + "\" não pertence à lista de " + list + ".");
    Require(code, "Código deve ser informado.");
    if (!IsWellFormedCode(code)) throw Refuse(key::kInvTabela, code);
    Require(now[tab::NMTABELADW], "Nome deve ser informado.");
    bool new_code = !before || (*before)[tab::CDTABELADW] != code;
    if (!new_code) return;
    if (!s.WarehouseTable(code)) throw Refuse(key::kInvTabela, code);
    if (auto other = s.Table(code))
      throw Refusal("Código \"" + code + "\" já cadastrado para tabela " +
                    ((*other)[tab::IDDRILLDOWN] == "S" ? "drill." : "fato."));
    if (before) {
      const std::string& old = (*before)[tab::CDTABELADW];
      Match owner[] = {{0, old}};
      const Side& side = drill ? kDrillSide : kFactSide;
      bool has_items = !s.storage().Select(side.facts, owner).empty() ||
                       !s.storage().Select(side.dimes, owner).empty();
      if (has_items || (drill && !s.TablesDrillingInto(old).empty()))
        throw Refusal("Não é permitido alterar o código da tabela \"" + old +
                      "\", que possui fatos, dimensões ou ligações de drill.");
    }
  };
  r.before_delete = [&s, kind, list, drill](const Record& gone) {
    const std::string& code = gone[tab::CDTABELADW];
    if (gone[tab::IDDRILLDOWN] != kind)
      throw Refusal("A tabela \"" + code + "\" não pertence à lista de " + list + ".");
    if (drill) {
      auto users = s.TablesDrillingInto(code);
      if (!users.empty())
        throw Refusal("A tabela drill \"" + code + "\" é usada pelos fatos das tabelas " +
                      JoinTableList(users) + "; retire essas ligações antes de excluí-la.");
    }
    const Side& side = drill ? kDrillSide : kFactSide;
    Match owner[] = {{0, code}};
    s.storage().Remove(side.facts, owner);
    s.storage().Remove(side.dimes, owner);
    s.ForgetFacts(side, code);
  };
  return r;
}

EntityRules FactRules(Structure& s, const std::string& table) {
  EntityRules r{Entity::kFact, {}, {}, NoDeleteRule};
  r.normalise = [table](Record& f) {
    DefaultOwner(f[fato::CDTABELADW], table);
    f[fato::CDITEMDW] = NormaliseCode(f[fato::CDITEMDW]);
    f[fato::IDFATODW] = Upper(f[fato::IDFATODW]);
    if (f[fato::IDFATODW].empty()) f[fato::IDFATODW] = "S";
    f[fato::CDAREANEGDW] = WidenNumber(f[fato::CDAREANEGDW]);
    f[fato::IDTPFATODW] = Upper(f[fato::IDTPFATODW]);
    if (f[fato::IDTPFATODW].empty()) f[fato::IDTPFATODW] = "M";
    f[fato::CDTABDRILL] = NormaliseCode(f[fato::CDTABDRILL]);
  };
  r.validate = [&s, table](const Record& now, const Record* before) {
    const std::string& owner = now[fato::CDTABELADW];
    RequireOwner(owner, table);
    RequireFactTable(s, owner);
    RequireFactItem(s, kFactSide, owner, now[fato::CDITEMDW], now[fato::NMITEMDW], before);
    const std::string& mart = now[fato::CDAREANEGDW];
    Require(mart, "Data Mart deve ser informado.");
    Match m[] = {{mart::CDAREANEGDW, mart}};
    if (s.storage().Select(Entity::kDataMart, m).empty())
      throw Refusal("Data Mart \"" + mart + "\" não cadastrado.");
    RequireOneOf(now[fato::IDFATODW], "SN", "IDFATODW");
    RequireOneOf(now[fato::IDTPFATODW], "MPQI", "IDTPFATODW");
  };
  r.written = [&s](const Record* before, const Record* after) {
    s.NoteFact(kFactSide, before, after);
  };
  return r;
}

EntityRules DimeRules(Structure& s, const std::string& table) {
  EntityRules r{Entity::kDime, {}, {}, NoDeleteRule};
  r.normalise = [table](Record& d) {
    DefaultOwner(d[dime::CDTABELADW], table);
    d[dime::CDITEMDIME] = NormaliseCode(d[dime::CDITEMDIME]);
    d[dime::NRSEQUEDIME] = WidenNumber(d[dime::NRSEQUEDIME]);
  };
  r.validate = [&s, table](const Record& now, const Record* before) {
    const std::string& owner = now[dime::CDTABELADW];
    RequireOwner(owner, table);
    RequireFactTable(s, owner);
    RequireDimeItem(s, kFactSide, owner, now[dime::CDITEMDIME], now[dime::NRSEQUEDIME], before);
  };
  return r;
}

EntityRules DrillFactRules(Structure& s) {
  EntityRules r{Entity::kDrillFact, {}, {}, NoDeleteRule};
  r.normalise = [](Record& f) {
    f[fdrill::CDTABDRILL] = NormaliseCode(f[fdrill::CDTABDRILL]);
    f[fdrill::CDITEMDRILL] = NormaliseCode(f[fdrill::CDITEMDRILL]);
    f[fdrill::IDTPFATODRILL] = Upper(f[fdrill::IDTPFATODRILL]);
    if (f[fdrill::IDTPFATODRILL].empty()) f[fdrill::IDTPFATODRILL] = "M";
  };
  r.validate = [&s](const Record& now, const Record* before) {
    const std::string& owner = now[fdrill::CDTABDRILL];
    RequireDrillTable(s, owner);
    RequireFactItem(s, kDrillSide, owner, now[fdrill::CDITEMDRILL], now[fdrill::NMITEMDRILL],
                    before);
    RequireOneOf(now[fdrill::IDTPFATODRILL], "MPQI", "IDTPFATODRILL");
  };
  r.written = [&s](const Record* before, const Record* after) {
    s.NoteFact(kDrillSide, before, after);
  };
  return r;
}

EntityRules DrillDimeRules(Structure& s) {
  EntityRules r{Entity::kDrillDime, {}, {}, NoDeleteRule};
  r.normalise = [](Record& d) {
    d[ddrill::CDTABDRILL] = NormaliseCode(d[ddrill::CDTABDRILL]);
    d[ddrill::CDDIMEDRILL] = NormaliseCode(d[ddrill::CDDIMEDRILL]);
    d[ddrill::NRSEQUEDIME] = WidenNumber(d[ddrill::NRSEQUEDIME]);
  };
  r.validate = [&s](const Record& now, const Record* before) {
    const std::string& owner = now[ddrill::CDTABDRILL];
    RequireDrillTable(s, owner);
    RequireDimeItem(s, kDrillSide, owner, now[ddrill::CDDIMEDRILL], now[ddrill::NRSEQUEDIME],
                    before);
  };
  return r;
}

std::vector<AppliedChange> SaveItems(Structure& s, const db::Packet& delta,
                                     const EntityRules& rules) {
  std::vector<AppliedChange> changes = ApplyChanges(s.storage(), delta, rules);
  CheckTouchedLinks(s, rules.entity, changes);
  return changes;
}

void CheckTouchedLinks(Structure& s, Entity entity, const std::vector<AppliedChange>& changes) {
  std::set<std::pair<std::string, std::string>> links;  // (drill, fact)
  std::set<std::string> owners;
  for (const AppliedChange& c : changes) {
    if (c.before) owners.insert((*c.before)[0]);
    if (c.after) owners.insert((*c.after)[0]);
    if (entity == Entity::kFact && c.after && !(*c.after)[fato::CDTABDRILL].empty())
      links.insert({(*c.after)[fato::CDTABDRILL], (*c.after)[fato::CDTABELADW]});
  }
  for (const std::string& owner : owners) {
    if (entity == Entity::kDime)
      for (const std::string& d : s.DrillTargets(owner)) links.insert({d, owner});
    if (entity == Entity::kDrillFact || entity == Entity::kDrillDime)
      for (const std::string& f : s.TablesDrillingInto(owner)) links.insert({owner, f});
  }
  for (const auto& [drill, fact] : links) s.CheckLink(drill, fact);
}

}  // namespace appserver
