#include "tool_commands.h"

#include <filesystem>
#include <iostream>

#include "codes.h"
#include "history_report.h"
#include "sqlite_storage.h"

namespace appserver {
namespace {

// A session on an existing database, its structure tables brought up to
// this build's version; never creates a database.
std::unique_ptr<Storage> OpenExisting(const std::string& database) {
  std::error_code ec;
  if (!std::filesystem::exists(database, ec))
    throw StorageError("Banco de dados \"" + database + "\" não encontrado.");
  PrepareSqliteDatabase(database, DemoSeeding::kNever);
  return OpenSqliteStorage(database);
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

}  // namespace

int RunTool(const ToolOptions& o, const std::string& database, std::ostream& out,
            std::ostream& err) {
  try {
    std::unique_ptr<Storage> storage = OpenExisting(database);
    switch (o.command) {
      case ToolCommand::kHistory:
        return History(o, *storage, out, err);
      default:
        break;
    }
    err << "Subcomando desconhecido.\n";
  } catch (const std::exception& e) {
    err << e.what() << "\n";
  }
  return kToolFailed;
}

}  // namespace appserver
