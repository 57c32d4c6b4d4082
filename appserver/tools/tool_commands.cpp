#include "appserver/tools/tool_commands.h"

#include <filesystem>
#include <fstream>
#include <iostream>

#include "appserver/rules/codes.h"
#include "appserver/tools/history_report.h"
#include "appserver/tools/semantic_export.h"
#include "appserver/tools/structure_check.h"
#include "appserver/tools/structure_import.h"

namespace appserver {
namespace {

// A session on an existing database, its structure tables brought up to
// this build's version; never creates a SQLite file.
std::unique_ptr<Storage> OpenExisting(const DatabaseTarget& database) {
  std::error_code ec;
  if (!IsPostgres(database) && !std::filesystem::exists(database.location, ec))
    throw StorageError("Banco de dados \"" + database.location + "\" " +
                       (ec ? "inacessível: " + ec.message() : std::string("não encontrado")) + ".");
  PrepareDatabase(database, DemoSeeding::kNever);
  return OpenStorage(database);
}

int History(const ToolOptions& o, Storage& storage, std::ostream& out, std::ostream& err) {
  HistoryFilter filter;
  filter.table = NormaliseCode(o.table);
  if (!o.since.empty()) {
    auto since = NormaliseSince(o.since);
    if (!since) {
      err << "--since: data inválida \"" << o.since
          << "\"; use AAAA-MM-DD ou AAAA-MM-DDTHH:MM[:SS] (UTC).\n";
      return kToolFailed;
    }
    filter.since = *since;
  }
  Transaction tx(storage, TransactionKind::kRead);
  std::vector<HistoryEntry> entries = storage.ReadHistory(filter);
  tx.Commit();
  out << (o.format == "json" ? HistoryJson(entries) : HistoryText(entries));
  return kToolOk;
}

int Check(const ToolOptions& o, Storage& storage, std::ostream& out) {
  Transaction tx(storage, TransactionKind::kRead);
  std::vector<StructureProblem> problems = CheckStructure(storage);
  tx.Commit();
  out << (o.format == "json" ? StructureProblemsJson(problems) : StructureProblemsText(problems));
  return problems.empty() ? kToolOk : kToolProblems;
}

// Writes `text` to `path` through a temporary file in the same folder, so a
// failed export never leaves a half-written file in place of a good one.
void WriteFile(const std::string& path, const std::string& text) {
  std::string temporary = path + ".tmp";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file << text;
    file.flush();
    if (!file) throw StorageError("Não foi possível gravar \"" + temporary + "\".");
  }
  std::error_code ec;
  std::filesystem::rename(temporary, path, ec);
  if (ec) {
    std::filesystem::remove(temporary, ec);
    throw StorageError("Não foi possível gravar \"" + path + "\".");
  }
}

int Export(const ToolOptions& o, const DatabaseTarget& database, Storage& storage,
           std::ostream& out, std::ostream& err) {
  auto format = ParseExportFormat(o.format);
  if (!format) {
    err << "--format: use metricflow ou cube.\n";
    return kToolFailed;
  }
  Transaction tx(storage, TransactionKind::kRead);
  // A PostgreSQL schema other than the default qualifies every table.
  std::string schema = IsPostgres(database) && database.schema != "public" ? database.schema : "";
  std::string yaml = ExportStructure(storage, *format, schema, err);
  tx.Commit();
  if (o.out.empty()) {
    out << yaml;
  } else {
    WriteFile(o.out, yaml);
    err << "Estrutura exportada para " << o.out << ".\n";
  }
  return kToolOk;
}

}  // namespace

int RunTool(const ToolOptions& o, const DatabaseTarget& database, std::ostream& out,
            std::ostream& err) {
  err << "Banco de dados: " << DescribeDatabase(database) << "\n";
  try {
    std::unique_ptr<Storage> storage = OpenExisting(database);
    switch (o.command) {
      case ToolCommand::kHistory:
        return History(o, *storage, out, err);
      case ToolCommand::kCheck:
        return Check(o, *storage, out);
      case ToolCommand::kExport:
        return Export(o, database, *storage, out, err);
      case ToolCommand::kImport:
        return ImportStructure(o, std::move(storage), out, err);
      default:
        break;
    }
    err << "Subcomando desconhecido.\n";
  } catch (const std::exception& e) {
    err << TextWithDetail(e) << "\n";
  }
  return kToolFailed;
}

}  // namespace appserver
