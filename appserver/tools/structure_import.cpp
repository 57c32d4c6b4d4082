#include "appserver/tools/structure_import.h"

#include <pwd.h>
#include <unistd.h>

#include <fstream>
#include <ostream>
#include <set>

#include "appserver/rules/refusal.h"
#include "appserver/rules/save_rules.h"
#include "appserver/storage/recording_storage.h"
#include "appserver/tools/import_readers.h"
#include "appserver/tools/structure_diff.h"

namespace appserver {
namespace {

// A rule refused a row of the file; the text names the row.
class ImportRefused : public std::exception {
 public:
  explicit ImportRefused(std::string text) : text_(std::move(text)) {}
  const char* what() const noexcept override { return text_.c_str(); }

 private:
  std::string text_;
};

// The item a row of `e` is, as the refusals name it.
std::string ItemName(Entity e, const Record& r) {
  switch (e) {
    case Entity::kTable:
      return (r[tab::IDDRILLDOWN] == "S" ? "Tabela drill " : "Tabela fato ") + r[0];
    case Entity::kFact:
      return "Fato " + r[0] + "." + r[1];
    case Entity::kDime:
      return "Dimensão " + r[0] + "." + r[1];
    case Entity::kDrillFact:
      return "Fato drill " + r[0] + "." + r[1];
    default:
      break;
  }
  return "Dimensão drill " + r[0] + "." + r[1];
}

// Writes rows one at a time through the rules of their entity, as change
// packets of one row each, so that a refusal names its row. The drill links
// are checked once everything is written: a file may move a link and the
// dimensions it needs together, in an order no single save could.
class RuleWriter {
 public:
  explicit RuleWriter(Storage& storage) : structure_(storage) {
    rules_.emplace(Entity::kFact, FactRules(structure_, ""));
    rules_.emplace(Entity::kDime, DimeRules(structure_, ""));
    rules_.emplace(Entity::kDrillFact, DrillFactRules(structure_));
    rules_.emplace(Entity::kDrillDime, DrillDimeRules(structure_));
  }

  void Write(Entity e, const Record* before, const Record* after) {
    const Record& row = after ? *after : *before;
    const EntityRules& rules = e == Entity::kTable
                                   ? (row[tab::IDDRILLDOWN] == "S" ? drill_tables_ : fact_tables_)
                                   : rules_.at(e);
    db::Packet delta;
    delta.kind = db::PacketKind::kDelta;
    for (const ColumnDef& c : Describe(e).columns)
      delta.fields.push_back({c.name, c.size, c.fixed_char});
    auto values = [](const Record* r) {
      return r ? std::vector<db::FieldValue>(r->begin(), r->end()) : std::vector<db::FieldValue>();
    };
    delta.rows.push_back({before && after ? db::RowStatus::kModified
                          : after         ? db::RowStatus::kInserted
                                          : db::RowStatus::kDeleted,
                          values(after), values(before)});
    try {
      auto applied = ApplyChanges(structure_.storage(), delta, rules);
      auto& all = applied_[e];
      all.insert(all.end(), applied.begin(), applied.end());
    } catch (const Refusal& r) {
      throw ImportRefused(ItemName(e, row) + ": " + RefusalInWords(r.Text()));
    }
  }

  void CheckLinks() {
    try {
      for (const auto& [e, changes] : applied_) CheckTouchedLinks(structure_, e, changes);
    } catch (const Refusal& r) {
      throw ImportRefused("Ligação de drill: " + RefusalInWords(r.Text()));
    }
  }

 private:
  Structure structure_;
  EntityRules fact_tables_ = TableRules(structure_, false);
  EntityRules drill_tables_ = TableRules(structure_, true);
  std::map<Entity, EntityRules> rules_;
  std::map<Entity, std::vector<AppliedChange>> applied_;
};

// Makes `now` into `wanted` in an order each row's rules accept: what goes
// first (items, then fact tables with theirs), then tables, drill items and
// fact items, and drill tables last, once no fact drills into them.
void Apply(const StructureRecords& now, const StructureRecords& wanted, RuleWriter& writer) {
  std::set<std::string> gone;  // stored tables removed, or of the other kind in the file
  for (const auto& [code, t] : now.tables) {
    auto w = wanted.tables.find(code);
    if (w == wanted.tables.end() || w->second[tab::IDDRILLDOWN] != t[tab::IDDRILLDOWN])
      gone.insert(code);
  }
  for (Entity e : kItemEntities)
    for (const auto& [key, r] : now.items.at(e))
      if (!gone.count(key.first) && !wanted.items.at(e).count(key)) writer.Write(e, &r, nullptr);
  // Fact tables go now, with their items; so does a drill table the file
  // makes a fact table, whose code returns as one below.
  for (const std::string& code : gone)
    if (now.tables.at(code)[tab::IDDRILLDOWN] != "S" || wanted.tables.count(code))
      writer.Write(Entity::kTable, &now.tables.at(code), nullptr);
  for (const auto& [code, t] : wanted.tables) {
    auto stored = now.tables.find(code);
    if (stored == now.tables.end() || gone.count(code))
      writer.Write(Entity::kTable, nullptr, &t);
    else if (stored->second != t)
      writer.Write(Entity::kTable, &stored->second, &t);
  }
  for (Entity e : {Entity::kDrillFact, Entity::kDrillDime, Entity::kDime, Entity::kFact})
    for (const auto& [key, r] : wanted.items.at(e)) {
      auto stored = now.items.at(e).find(key);
      if (stored == now.items.at(e).end() || gone.count(key.first))
        writer.Write(e, nullptr, &r);
      else if (stored->second != r)
        writer.Write(e, &stored->second, &r);
    }
  for (const std::string& code : gone)
    if (now.tables.at(code)[tab::IDDRILLDOWN] == "S" && !wanted.tables.count(code))
      writer.Write(Entity::kTable, &now.tables.at(code), nullptr);
  writer.CheckLinks();
}

// Who runs the import, for the history: the system's name for this user.
std::string SystemUser() {
  if (const passwd* p = getpwuid(geteuid()); p && p->pw_name) return p->pw_name;
  return "uid " + std::to_string(geteuid());
}

void Refused(std::ostream& err, const std::vector<std::string>& refused) {
  err << "Importação recusada; nada foi gravado. "
      << (refused.size() == 1
              ? "Um item não pode ser importado:\n"
              : std::to_string(refused.size()) + " itens não podem ser importados:\n");
  for (const std::string& r : refused) err << "- " << r << "\n";
}

}  // namespace

int ImportStructure(const ToolOptions& o, std::unique_ptr<Storage> session, std::ostream& out,
                    std::ostream& err) {
  if (o.format != "cube" && o.format != "metricflow") {
    err << "--format: use metricflow ou cube.\n";
    return kToolFailed;
  }
  YAML::Node file;
  try {
    std::ifstream in(o.file, std::ios::binary);
    if (!in) {
      err << "Não foi possível ler \"" << o.file << "\".\n";
      return kToolFailed;
    }
    file = YAML::Load(in);
  } catch (const YAML::Exception& e) {
    err << "\"" << o.file << "\" não é um arquivo YAML válido: " << e.what() << "\n";
    return kToolFailed;
  }
  ReadModels read = o.format == "cube" ? ReadCubeFile(file) : ReadMetricFlowFile(file);

  ChangeOrigin origin{"", SystemUser(), "import", "qmx-server import"};
  RecordingStorage storage(std::move(session), origin);
  Transaction tx(storage, TransactionKind::kWrite);
  StructureRecords now = ReadStructureRecords(storage);
  std::vector<std::string> refused = std::move(read.refused);
  StructureRecords wanted = MapModels(read.models, storage, refused);
  if (!refused.empty()) {
    Refused(err, refused);  // a difference without them would mislead
    return kToolProblems;
  }
  std::vector<Difference> differences = Compare(now, wanted);
  out << DifferencesText(differences);
  try {
    RuleWriter writer(storage);
    Apply(now, wanted, writer);
  } catch (const ImportRefused& r) {
    Refused(err, {r.what()});
    return kToolProblems;
  }
  if (o.dry_run) {
    err << "Simulação (--dry-run): o arquivo pode ser importado; nada foi gravado.\n";
    return kToolOk;  // the transaction rolls back
  }
  tx.Commit();
  err << (differences.empty() ? "Nada a importar.\n"
                              : "Estrutura importada: " + std::to_string(differences.size()) +
                                    (differences.size() == 1 ? " diferença aplicada.\n"
                                                             : " diferenças aplicadas.\n"));
  return kToolOk;
}

std::string RefusalInWords(const std::string& text) {
  struct Words {
    std::string_view key;
    int arguments;
    const char* before;   // the words before the first argument
    const char* between;  // after it, before the second (or the end)
  };
  static const Words kWords[] = {
      {key::kJDime, 2, "a coluna ", " já é uma dimensão da tabela "},
      {key::kJFato, 2, "a coluna ", " já é um fato da tabela "},
      {key::kInvTabela, 1, "a tabela ", " não existe no data warehouse"},
      {key::kInvCampo, 2, "a coluna ", " não existe na tabela "},
      {key::kNoNumber, 0, "a coluna não é numérica, e um fato só pode ser numérico", ""},
      {key::kNoDime, 0,
       "o tipo da coluna não serve para uma dimensão (use inteiro, caractere ou data)", ""},
      {key::kNotTabDrill, 1, "a tabela ", " não está cadastrada como tabela drill"},
      {key::kSemFato, 1, "a tabela drill ", " não tem fatos"},
      {key::kSemDime, 1, "a tabela drill ", " não tem dimensões"},
      {key::kDimeDrillMenor, 2, "a tabela drill ", " não tem todas as dimensões da tabela "},
      {key::kCampoJa, 0, "a coluna já está cadastrada", ""},
      {key::kNomeDrillJa, 0, "o nome já está cadastrado", ""},
      {key::kInvDime, 2, "a dimensão ", " é inválida para a tabela "},
      {key::kDimeDrillJa, 0, "a dimensão já está cadastrada", ""},
  };
  for (const Words& w : kWords) {
    if (!text.starts_with(w.key)) continue;
    std::string rest = text.substr(w.key.size());
    if (w.arguments == 0) return std::string(w.before) + ".";
    if (w.arguments == 1) return w.before + rest + w.between + ".";
    size_t dot = rest.find('.');
    std::string first = rest.substr(0, dot);
    std::string second = dot == std::string::npos ? "" : rest.substr(dot + 1);
    return w.before + first + w.between + second + ".";
  }
  return text;
}

}  // namespace appserver
