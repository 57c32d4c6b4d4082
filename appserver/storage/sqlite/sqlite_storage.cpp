#include "appserver/storage/sqlite/sqlite_storage.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <unordered_map>

#include "appserver/storage/demo_warehouse.h"
#include "appserver/storage/entity_sql.h"
#include "appserver/storage/sqlite/sqlite_migrations.h"
#include "rtl/strings.h"

namespace appserver {
namespace {

class Statement;

// SQLite counts every allocation it makes under one process-wide mutex unless
// told not to; this build allocates even small objects with malloc, so the
// sessions of a busy server would queue on that mutex. Takes effect only
// before SQLite's first use in the process, which a server's first
// connection is.
void StopAllocationStatistics() {
  static const bool once = [] { return sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK; }();
  (void)once;
}

// One connection and its statement cache.
class Connection {
 public:
  Connection(const std::string& path, int flags, int busy_timeout_ms) {
    StopAllocationStatistics();
    int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
      std::string why = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
      sqlite3_close(db_);
      db_ = nullptr;
      throw StorageError("Não foi possível abrir o banco de dados \"" + path + "\": " + why);
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, busy_timeout_ms);
    if (flags & SQLITE_OPEN_READWRITE) {
      // A file that is no database fails here; the destructor will not run.
      try {
        Exec("PRAGMA journal_mode=WAL");
        Exec("PRAGMA synchronous=NORMAL");
      } catch (...) {
        sqlite3_close(db_);
        throw;
      }
    }
  }
  ~Connection() {
    for (auto& [sql, stmt] : cache_) sqlite3_finalize(stmt);
    sqlite3_close(db_);
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  sqlite3* db() const { return db_; }

  // Runs fixed SQL text (no parameters), rows ignored.
  void Exec(const char* sql) {
    char* err = nullptr;
    int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
      std::string why = err ? err : sqlite3_errstr(rc);
      sqlite3_free(err);
      Fail(rc, why);
    }
  }

  sqlite3_stmt* Prepare(const std::string& sql) {
    auto it = cache_.find(sql);
    if (it != cache_.end()) return it->second;
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()),
                                SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    if (rc != SQLITE_OK) Fail(rc, sqlite3_errmsg(db_));
    cache_.emplace(sql, stmt);
    return stmt;
  }

  [[noreturn]] void Fail(int rc, const std::string& why) {
    int primary = rc & 0xFF;
    // The busy time-out has run out waiting for another save: the person
    // learns that and what to do, not the database's own words.
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) throw StorageError(kBusyText);
    if (primary == SQLITE_CONSTRAINT)
      throw StorageError("Registro duplicado ou inválido no banco de dados. (" + why + ")");
    if (primary == SQLITE_FULL) throw StorageError("Disco cheio: " + why);
    throw StorageError("Falha no banco de dados: " + why);
  }

 private:
  sqlite3* db_ = nullptr;
  std::unordered_map<std::string, sqlite3_stmt*> cache_;
};

// A cached statement in use: binds, steps and resets on scope exit.
class Statement {
 public:
  Statement(Connection& conn, const std::string& sql) : conn_(conn), stmt_(conn.Prepare(sql)) {}
  ~Statement() { sqlite3_reset(stmt_); }  // every use binds all its parameters
  void Bind(int index, std::string_view text) {
    int rc = sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                               SQLITE_TRANSIENT);
    if (rc != SQLITE_OK) conn_.Fail(rc, sqlite3_errmsg(conn_.db()));
  }
  // True while a row is available.
  bool Step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    conn_.Fail(rc, sqlite3_errmsg(conn_.db()));
  }
  // Valid until the next step.
  std::string_view View(int column) const {
    const unsigned char* p = sqlite3_column_text(stmt_, column);
    if (!p) return {};
    return {reinterpret_cast<const char*>(p),
            static_cast<size_t>(sqlite3_column_bytes(stmt_, column))};
  }
  std::string Text(int column) const {
    const unsigned char* p = sqlite3_column_text(stmt_, column);
    if (!p) return {};
    return std::string(reinterpret_cast<const char*>(p),
                       static_cast<size_t>(sqlite3_column_bytes(stmt_, column)));
  }
  int64_t Integer(int column) const { return sqlite3_column_int64(stmt_, column); }
  int Changes() const { return sqlite3_changes(conn_.db()); }

 private:
  Connection& conn_;
  sqlite3_stmt* stmt_;
};

class SqliteStorage final : public Storage {
 public:
  // A session is used by one thread at a time, so SQLite's own per-call
  // locking (a large share of a read call's time) is left out.
  SqliteStorage(const std::string& path, int busy_timeout_ms)
      : conn_(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, busy_timeout_ms) {}

  // Transaction statements go through the statement cache: a read call is
  // short enough for parsing them each time to show.
  void Begin(TransactionKind kind) override {
    Statement(conn_, kind == TransactionKind::kWrite ? "BEGIN IMMEDIATE" : "BEGIN DEFERRED").Step();
  }
  void Commit() override { Statement(conn_, "COMMIT").Step(); }
  void Rollback() override {
    if (!sqlite3_get_autocommit(conn_.db())) sqlite3_exec(conn_.db(), "ROLLBACK", 0, 0, 0);
  }

  std::vector<Record> Select(Entity entity, std::span<const Match> where) override {
    const EntityDef& def = Describe(entity);
    Statement st(conn_, sql_.Select(def, where));
    for (size_t i = 0; i < where.size(); ++i) st.Bind(static_cast<int>(i) + 1, where[i].value);
    std::vector<Record> out;
    while (st.Step()) {
      Record r(def.columns.size());
      for (size_t c = 0; c < r.size(); ++c) r[c] = st.Text(static_cast<int>(c));
      out.push_back(std::move(r));
    }
    return out;
  }

  void ScanEach(std::span<const Read> reads, std::span<RowReceiver* const> receivers) override {
    std::vector<std::string_view> views;
    for (size_t r = 0; r < reads.size(); ++r) {
      const EntityDef& def = Describe(reads[r].entity);
      const std::vector<Match>& where = reads[r].where;
      Statement st(conn_, sql_.Select(def, where));
      for (size_t i = 0; i < where.size(); ++i) st.Bind(static_cast<int>(i) + 1, where[i].value);
      views.resize(def.columns.size());
      while (st.Step()) {
        for (size_t c = 0; c < views.size(); ++c) views[c] = st.View(static_cast<int>(c));
        receivers[r]->Row(views);
      }
    }
  }

  void Insert(Entity entity, const Record& record) override {
    const EntityDef& def = Describe(entity);
    CheckShape(def, record);
    Statement st(conn_, sql_.Insert(def));
    for (size_t c = 0; c < record.size(); ++c) st.Bind(static_cast<int>(c) + 1, record[c]);
    st.Step();
  }

  bool Update(Entity entity, const Record& old_record, const Record& new_record) override {
    const EntityDef& def = Describe(entity);
    CheckShape(def, old_record);
    CheckShape(def, new_record);
    const int n = static_cast<int>(def.columns.size());
    Statement st(conn_, sql_.Update(def));
    for (int c = 0; c < n; ++c) st.Bind(c + 1, new_record[c]);
    for (int c = 0; c < n; ++c) st.Bind(n + c + 1, old_record[c]);
    st.Step();
    return st.Changes() > 0;
  }

  bool Delete(Entity entity, const Record& old_record) override {
    return DeleteExactRow(*this, entity, old_record);
  }

  int Assign(Entity entity, std::span<const Match> where, const Match& set) override {
    const EntityDef& def = Describe(entity);
    Statement st(conn_, sql_.Assign(def, where, set.column));
    st.Bind(1, set.value);
    for (size_t i = 0; i < where.size(); ++i) st.Bind(static_cast<int>(i) + 2, where[i].value);
    st.Step();
    return st.Changes();
  }

  int Remove(Entity entity, std::span<const Match> where) override {
    const EntityDef& def = Describe(entity);
    Statement st(conn_, sql_.Remove(def, where));
    for (size_t i = 0; i < where.size(); ++i) st.Bind(static_cast<int>(i) + 1, where[i].value);
    st.Step();
    return st.Changes();
  }

  std::vector<std::string> WarehouseTables() override {
    Statement st(conn_,
                 "SELECT name FROM sqlite_schema WHERE type IN ('table', 'view') "
                 "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' "
                 "AND name NOT LIKE 'QMX\\_%' ESCAPE '\\' ORDER BY name");
    std::vector<std::string> out;
    while (st.Step()) out.push_back(st.Text(0));
    return out;
  }

  std::vector<WarehouseColumn> WarehouseColumns(std::string_view table) override {
    // Only warehouse tables are looked at.
    if (!FindWarehouseTable(table)) return {};
    Statement st(conn_, "SELECT name, type, pk FROM pragma_table_info(?1, 'main') ORDER BY cid");
    st.Bind(1, table);
    std::vector<WarehouseColumn> out;
    while (st.Step()) out.push_back({st.Text(0), st.Text(1), st.Text(2) != "0"});
    return out;
  }

  long long DuplicateKeys(std::string_view table,
                          const std::vector<std::string>& columns) override {
    if (!FindWarehouseTable(table) || columns.empty()) return 0;
    std::string list;
    for (const std::string& c : columns) list += (list.empty() ? "" : ", ") + QuoteIdentifier(c);
    Statement st(conn_, "SELECT count(*) FROM (SELECT 1 FROM " + QuoteIdentifier(table) +
                            " GROUP BY " + list + " HAVING count(*) > 1)");
    st.Step();
    return std::stoll(st.Text(0));
  }

  // SQLite finds a table by name through its schema hash without regard to
  // case, so a look-up costs the same whatever the warehouse's size (listing
  // the catalogue would cost a scan of every table). The code itself then
  // names the table in statements.
  std::optional<std::string> FindWarehouseTable(std::string_view code) override {
    auto starts = [&](std::string_view prefix) {
      return rtl::UpperCase(code.substr(0, prefix.size())) == prefix;
    };
    if (code.empty() || starts("QMX_") || starts("SQLITE_")) return std::nullopt;
    Statement st(conn_, "SELECT 1 FROM pragma_table_info(?1, 'main') LIMIT 1");
    st.Bind(1, code);
    if (!st.Step()) return std::nullopt;
    return std::string(code);
  }

  void AppendHistory(const HistoryEntry& e) override {
    Statement st(conn_,
                 "INSERT INTO QMX_HISTORICO (QUANDO, ENDERECO, USUARIO, METODO, ENTIDADE, "
                 "OPERACAO, TABELA, ANTES, DEPOIS, SERVIDOR) "
                 "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)");
    const Record* any = e.after ? &*e.after : e.before ? &*e.before : nullptr;
    if (!any) throw StorageError("Registro de histórico sem valores.");
    st.Bind(1, e.when);
    st.Bind(2, e.origin.peer_address);
    st.Bind(3, e.origin.user_name);
    st.Bind(4, e.origin.method);
    st.Bind(5, Describe(e.entity).sql_table);
    st.Bind(6, std::string(1, ChangeKindCode(e.kind)));
    st.Bind(7, HistoryTable(e.entity, *any));
    st.Bind(8, e.before ? EncodeRecord(*e.before) : std::string());
    st.Bind(9, e.after ? EncodeRecord(*e.after) : std::string());
    st.Bind(10, e.origin.server);
    st.Step();
  }

  std::vector<HistoryEntry> ReadHistory(const HistoryFilter& filter) override {
    Statement st(conn_,
                 "SELECT ID, QUANDO, ENDERECO, USUARIO, METODO, ENTIDADE, OPERACAO, ANTES, DEPOIS, "
                 "SERVIDOR "
                 "FROM QMX_HISTORICO WHERE (?1 = '' OR TABELA = ?1) AND (?2 = '' OR QUANDO >= ?2) "
                 "ORDER BY ID DESC");
    st.Bind(1, filter.table);
    st.Bind(2, filter.since);
    std::vector<HistoryEntry> out;
    while (st.Step()) {
      std::vector<std::string> row;
      for (int c = 0; c < 10; ++c) row.push_back(st.Text(c));
      auto entry = HistoryEntryOfRow(row);
      // A row this build cannot read is a failure, never an entry shown
      // without its values.
      if (!entry) throw StorageError("Registro " + row[0] + " do histórico ilegível.");
      out.push_back(std::move(*entry));
    }
    return out;
  }

  Connection& connection() { return conn_; }

 private:
  Connection conn_;
  const EntitySql sql_{"", '?'};
};

int ReadVersion(Connection& conn) {
  Statement has(conn,
                "SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name = 'QMX_VERSAO'");
  has.Step();
  if (has.Integer(0) == 0) return 0;
  Statement st(conn, "SELECT max(VERSAO) FROM QMX_VERSAO");
  return st.Step() ? static_cast<int>(st.Integer(0)) : 0;
}

// The version table and the schema of one connection, for UpgradeSchema.
class SqliteUpgradeTarget final : public SchemaUpgradeTarget {
 public:
  explicit SqliteUpgradeTarget(Connection& conn) : conn_(conn) {}
  int ReadVersion() override { return appserver::ReadVersion(conn_); }
  void CreateVersionTable() override {
    conn_.Exec("CREATE TABLE QMX_VERSAO (VERSAO INTEGER NOT NULL)");
  }
  void WriteVersion(int version) override {
    conn_.Exec("DELETE FROM QMX_VERSAO");
    Statement st(conn_, "INSERT INTO QMX_VERSAO (VERSAO) VALUES (?1)");
    st.Bind(1, std::to_string(version));
    st.Step();
  }
  void Run(const char* statements) override { conn_.Exec(statements); }

 private:
  Connection& conn_;
};

// Creates the empty database file readable by its owner alone: the structure
// is the business's, not every local user's. SQLite gives its journal files
// the database's mode, so they stay private too.
void CreatePrivateFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd >= 0)
    ::close(fd);
  else if (errno != EEXIST)
    throw StorageError("Não foi possível criar o banco de dados \"" + path +
                       "\": " + std::strerror(errno));
}

}  // namespace

PrepareResult PrepareSqliteDatabase(const std::string& path, DemoSeeding demo, int target_version) {
  CheckTargetVersion(target_version);
  PrepareResult result;
  std::error_code ec;
  std::filesystem::path file(path);
  result.created = !std::filesystem::exists(file, ec);
  if (result.created && file.has_parent_path()) {
    std::filesystem::create_directories(file.parent_path(), ec);
    if (ec)
      throw StorageError("Não foi possível criar a pasta \"" + file.parent_path().string() +
                         "\": " + ec.message());
  }
  if (result.created) CreatePrivateFile(path);
  {
    Connection conn(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, 5000);
    conn.Exec("BEGIN IMMEDIATE");
    try {
      SqliteUpgradeTarget upgrade(conn);
      result.previous_version = UpgradeSchema(upgrade, SqliteMigrations(), target_version);
      conn.Exec("COMMIT");
    } catch (...) {
      sqlite3_exec(conn.db(), "ROLLBACK", 0, 0, 0);
      throw;
    }
  }
  if (WantsDemo(demo, result.created)) {
    SqliteStorage storage(path, 5000);
    Transaction tx(storage, TransactionKind::kWrite);
    if (StructureIsEmpty(storage)) {
      for (const char* sql : DemoWarehouseSqliteDdl()) storage.connection().Exec(sql);
      SeedDemoStructure(storage);
      result.demo_seeded = true;
    }
    tx.Commit();
  }
  return result;
}

int SqliteSchemaVersion(const std::string& path) {
  Connection conn(path, SQLITE_OPEN_READONLY, 5000);
  return ReadVersion(conn);
}

std::unique_ptr<Storage> OpenSqliteStorage(const std::string& path, int busy_timeout_ms) {
  return std::make_unique<SqliteStorage>(path, busy_timeout_ms);
}

}  // namespace appserver
