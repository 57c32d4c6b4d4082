#include "appserver/tools/structure_check.h"

#include <map>
#include <optional>
#include <set>

#include "appserver/rules/codes.h"
#include "appserver/rules/structure.h"
#include "appserver/storage/json_text.h"
#include "appserver/tools/semantic_model.h"
#include "rtl/strings.h"

namespace appserver {
namespace {

// The warehouse's catalogue, each table's columns read once.
class Warehouse {
 public:
  explicit Warehouse(Storage& storage) : storage_(storage), tables_(storage.WarehouseTables()) {}

  // The warehouse's name for a registered code, if the table exists.
  std::optional<std::string> Table(const std::string& code) const {
    for (const std::string& t : tables_)
      if (rtl::SameText(t, code)) return t;
    return std::nullopt;
  }
  std::optional<WarehouseColumn> Column(const std::string& table, const std::string& code) {
    auto name = Table(table);
    if (!name) return std::nullopt;
    auto it = columns_.find(*name);
    if (it == columns_.end()) it = columns_.emplace(*name, storage_.WarehouseColumns(*name)).first;
    for (const WarehouseColumn& c : it->second)
      if (rtl::SameText(c.name, code)) return c;
    return std::nullopt;
  }

 private:
  Storage& storage_;
  std::vector<std::string> tables_;
  std::map<std::string, std::vector<WarehouseColumn>> columns_;
};

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

class Checker {
 public:
  explicit Checker(Storage& storage) : storage_(storage), warehouse_(storage) {
    for (const Record& r : storage.Select(Entity::kTable)) registered_[r[tab::CDTABELADW]] = r;
    for (const Record& r : storage.Select(Entity::kDataMart)) marts_.insert(r[mart::CDAREANEGDW]);
    for (const Record& r : storage.Select(Entity::kDimension))
      numbers_.insert(r[dimension::NRSEQUEDIME]);
  }

  std::vector<StructureProblem> Run() {
    for (const auto& [code, table] : registered_) {
      bool drill = table[tab::IDDRILLDOWN] == "S";
      std::string what = std::string(drill ? "A tabela drill " : "A tabela fato ") + Quoted(code);
      if (!warehouse_.Table(code)) {
        Add("TABELA_INEXISTENTE", code, "", what + " não existe mais no data warehouse.");
        gone_.insert(code);
      }
      CheckItems(drill ? kDrillSide : kFactSide, code);
      if (!gone_.count(code)) CheckRowKey(drill ? kDrillSide : kFactSide, code);
    }
    CheckOrphans(kFactSide);
    CheckOrphans(kDrillSide);
    return std::move(problems_);
  }

 private:
  void Add(std::string kind, std::string table, std::string item, std::string text) {
    problems_.push_back({std::move(kind), std::move(table), std::move(item), std::move(text)});
  }

  void CheckItems(const Side& side, const std::string& table) {
    Match owner[] = {{0, table}};
    for (const Record& f : storage_.Select(side.facts, owner)) {
      const std::string& column = f[1];
      std::string what = "O fato " + Quoted(f[side.fact_name]) + " (" + table + "." + column + ")";
      CheckColumn(table, column, what, true);
      if (!side.drill) {
        const std::string& mart = f[fato::CDAREANEGDW];
        if (!marts_.count(mart))
          Add("DATA_MART_NAO_CADASTRADO", table, column,
              what + " pertence ao Data Mart " + Quoted(mart) + ", que não está cadastrado.");
        if (!f[fato::CDTABDRILL].empty()) CheckLink(table, column, what, f[fato::CDTABDRILL]);
      }
    }
    for (const Record& d : storage_.Select(side.dimes, owner)) {
      const std::string& column = d[1];
      std::string what =
          std::string(side.drill ? "A dimensão drill " : "A dimensão ") + table + "." + column;
      CheckColumn(table, column, what, false);
      const std::string& number = d[dime::NRSEQUEDIME];
      if (!numbers_.count(number))
        Add("DIMENSAO_NAO_CADASTRADA", table, column,
            what + " usa a dimensão número " + Quoted(number) + ", que não está cadastrada.");
    }
  }

  // A fact column must still exist and be numeric; a dimension column must
  // still exist and be of a type a dimension may have.
  void CheckColumn(const std::string& table, const std::string& column, const std::string& what,
                   bool fact) {
    if (gone_.count(table)) return;  // reported once, for the table
    auto found = warehouse_.Column(table, column);
    if (!found) {
      Add("COLUNA_INEXISTENTE", table, column,
          what + ": a coluna " + column + " não existe mais na tabela " + table + ".");
      return;
    }
    ColumnKind kind = ClassifyColumnType(found->declared_type);
    std::string type =
        found->declared_type.empty() ? "sem tipo declarado" : "do tipo " + found->declared_type;
    if (fact && !kind.numeric)
      Add("FATO_NAO_NUMERICO", table, column,
          what + ": a coluna " + column + " agora é " + type + ", que não é numérico.");
    if (!fact && !kind.dimension)
      Add("DIMENSAO_TIPO_INVALIDO", table, column,
          what + ": a coluna " + column + " agora é " + type +
              ", que uma dimensão não pode ter (use inteiro, caractere ou data).");
  }

  // The rule the server applies when a link is made: a registered drill table
  // that exists, with drill facts and drill dimensions, at least as detailed
  // as the fact table.
  void CheckLink(const std::string& table, const std::string& column, const std::string& what,
                 const std::string& drill) {
    std::string link = what + " faz drill para " + Quoted(drill);
    auto target = registered_.find(drill);
    if (target == registered_.end() || target->second[tab::IDDRILLDOWN] != "S") {
      Add("DRILL_NAO_CADASTRADA", table, column,
          link + ", que não está cadastrada como tabela drill.");
      return;
    }
    if (gone_.count(drill)) {
      Add("DRILL_INEXISTENTE", table, column, link + ", que não existe mais no data warehouse.");
      return;
    }
    Match owner[] = {{0, drill}};
    if (storage_.Select(Entity::kDrillFact, owner).empty())
      Add("DRILL_SEM_FATO", table, column, link + ", que não tem fatos drill.");
    Structure structure(storage_);
    std::set<std::string> drill_numbers = structure.DimensionNumbers(kDrillSide, drill);
    if (drill_numbers.empty()) {
      Add("DRILL_SEM_DIMENSAO", table, column, link + ", que não tem dimensões drill.");
      return;
    }
    std::vector<std::string> missing;
    for (const std::string& n : structure.DimensionNumbers(kFactSide, table))
      if (!drill_numbers.count(n)) missing.push_back(n);
    if (!missing.empty())
      Add("DRILL_DIMENSAO_FALTANTE", table, column,
          link + ", que não tem a(s) dimensão(ões) " + JoinTableList(missing) + " da tabela " +
              table + ".");
    if (linked_.insert({table, drill}).second) CheckJoinTypes(table, drill);
  }

  // The link joins the two tables on the columns of each dimension number
  // they share; those columns must hold values of one family. Checked once
  // per pair of tables, however many facts drill.
  void CheckJoinTypes(const std::string& table, const std::string& drill) {
    Match fact_owner[] = {{0, table}}, drill_owner[] = {{0, drill}};
    std::map<std::string, std::string> drill_column;  // number -> column
    for (const Record& d : storage_.Select(Entity::kDrillDime, drill_owner))
      drill_column[d[ddrill::NRSEQUEDIME]] = d[ddrill::CDDIMEDRILL];
    for (const Record& d : storage_.Select(Entity::kDime, fact_owner)) {
      auto theirs = drill_column.find(d[dime::NRSEQUEDIME]);
      if (theirs == drill_column.end()) continue;
      auto ours = warehouse_.Column(table, d[dime::CDITEMDIME]);
      auto other = warehouse_.Column(drill, theirs->second);
      if (!ours || !other) continue;  // reported as a column gone
      if (ClassifyColumnFamily(ours->declared_type) == ClassifyColumnFamily(other->declared_type))
        continue;
      Add("DRILL_TIPOS_INCOMPATIVEIS", table, d[dime::CDITEMDIME],
          "O drill de " + Quoted(table) + " para " + Quoted(drill) + " liga a coluna " + table +
              "." + d[dime::CDITEMDIME] + " (" + TypeText(*ours) + ") à coluna " + drill + "." +
              theirs->second + " (" + TypeText(*other) + "), de tipos incompatíveis.");
    }
  }

  static std::string TypeText(const WarehouseColumn& c) {
    return c.declared_type.empty() ? "sem tipo declarado" : c.declared_type;
  }

  // The export identifies a table's rows by its declared primary key, else by
  // its registered dimensions (semantic_model.h); those must then be unique,
  // or a semantic layer would merge rows when it de-duplicates across a join.
  void CheckRowKey(const Side& side, const std::string& table) {
    auto name = warehouse_.Table(table);
    Match owner[] = {{0, table}};
    std::vector<std::string> dimension_columns;
    for (const Record& d : storage_.Select(side.dimes, owner)) dimension_columns.push_back(d[1]);
    RowKey key = TableRowKey(storage_.WarehouseColumns(*name), dimension_columns);
    if (key.origin == RowKey::Origin::kDeclared || key.columns.empty()) return;
    long long repeated = storage_.DuplicateKeys(*name, key.columns);
    if (repeated == 0) return;
    std::string columns;
    for (const std::string& c : key.columns) columns += (columns.empty() ? "" : ", ") + c;
    Add("CHAVE_NAO_UNICA", table, "",
        "A tabela " + Quoted(table) + " não tem chave primária e suas linhas não são únicas " +
            (key.origin == RowKey::Origin::kDimensions ? "pelas dimensões (" : "pelas colunas (") +
            columns + "): " + std::to_string(repeated) +
            " combinação(ões) se repetem. Declare uma chave primária na tabela ou registre as "
            "dimensões que identificam cada linha.");
  }

  // Facts and dimensions whose table is not registered (or of the other kind).
  void CheckOrphans(const Side& side) {
    std::set<std::string> owners;
    for (const Record& r : storage_.Select(side.facts)) owners.insert(r[0]);
    for (const Record& r : storage_.Select(side.dimes)) owners.insert(r[0]);
    for (const std::string& owner : owners) {
      auto t = registered_.find(owner);
      if (t != registered_.end() && (t->second[tab::IDDRILLDOWN] == "S") == side.drill) continue;
      Add("TABELA_NAO_CADASTRADA", owner, "",
          std::string(side.drill ? "Há fatos ou dimensões drill da tabela "
                                 : "Há fatos ou dimensões da tabela ") +
              Quoted(owner) + ", que não está cadastrada como tabela " +
              (side.drill ? "drill." : "fato."));
    }
  }

  Storage& storage_;
  Warehouse warehouse_;
  std::map<std::string, Record> registered_;
  std::set<std::string> marts_, numbers_, gone_;
  std::set<std::pair<std::string, std::string>> linked_;  // (fact table, drill table) checked
  std::vector<StructureProblem> problems_;
};

}  // namespace

std::vector<StructureProblem> CheckStructure(Storage& storage) {
  return Checker(storage).Run();
}

std::string StructureProblemsText(const std::vector<StructureProblem>& problems) {
  if (problems.empty()) return "Estrutura conferida: nenhum problema encontrado.\n";
  std::string out =
      "Estrutura conferida: " + std::to_string(problems.size()) +
      (problems.size() == 1 ? " problema encontrado.\n" : " problemas encontrados.\n");
  for (const StructureProblem& p : problems) out += "- " + p.text + "\n";
  return out;
}

std::string StructureProblemsJson(const std::vector<StructureProblem>& problems) {
  std::string out = "{\"problemas\":[";
  for (size_t i = 0; i < problems.size(); ++i) {
    const StructureProblem& p = problems[i];
    out += (i ? ",\n " : "\n ");
    out += "{\"tipo\":" + JsonString(p.kind) + ",\"tabela\":" + JsonString(p.table) +
           ",\"item\":" + JsonString(p.item) + ",\"mensagem\":" + JsonString(p.text) + "}";
  }
  return out + (problems.empty() ? "]}\n" : "\n]}\n");
}

}  // namespace appserver
