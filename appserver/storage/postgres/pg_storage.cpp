#include "appserver/storage/postgres/pg_storage.h"

#include "appserver/storage/demo_warehouse.h"
#include "appserver/storage/entity_sql.h"
#include "appserver/storage/postgres/pg_connection.h"
#include "appserver/storage/postgres/pg_listener.h"
#include "appserver/storage/postgres/pg_migrations.h"
#include "appserver/storage/postgres/pg_pool.h"
#include "rtl/strings.h"

namespace appserver {
namespace {

bool IsStructureName(std::string_view name) {
  return rtl::UpperCase(name).starts_with("QMX_");
}

// The advisory lock of a schema's writers: a fixed class in the high half and
// a hash of the schema name in the low half, so that schemas of one database
// do not wait on each other.
int64_t WriterLockKey(const std::string& schema) {
  uint32_t hash = 2166136261u;  // FNV-1a
  for (unsigned char c : schema) hash = (hash ^ c) * 16777619u;
  return static_cast<int64_t>((uint64_t{0x514D5830} << 32) | hash);
}

std::string SessionSetup(const PostgresTarget& t) {
  return "SET lock_timeout = " + std::to_string(t.busy_timeout_ms > 0 ? t.busy_timeout_ms : 1) +
         "; SET statement_timeout = 0; SET TIME ZONE 'UTC'";
}

void CheckSchemaName(const std::string& schema) {
  if (schema.empty() || schema.size() > 63 || schema.find('\0') != std::string::npos)
    throw StorageError("Nome de esquema PostgreSQL inválido: \"" + schema + "\".");
}

// Relation kinds that hold warehouse data: tables, partitioned tables, views,
// materialised views and foreign tables (partitions are reached through their
// parent).
constexpr const char* kWarehouseKinds =
    "c.relkind IN ('r', 'p', 'v', 'm', 'f') AND NOT c.relispartition";

class PgStorage final : public Storage {
 public:
  PgStorage(std::shared_ptr<PgPool> pool, const PostgresTarget& target)
      : pool_(std::move(pool)),
        schema_(target.schema),
        prefix_(QuoteIdentifier(target.schema) + "."),
        begin_write_("BEGIN ISOLATION LEVEL READ COMMITTED; SELECT pg_advisory_xact_lock(" +
                     std::to_string(WriterLockKey(target.schema)) + ")"),
        sql_(prefix_, '$'),
        channel_(PostgresNoticeChannel(target.schema)) {
    CheckSchemaName(schema_);
  }

  // A transaction borrows a connection of the pool until Commit or Rollback.
  // A read's BEGIN goes in one pipeline with its first statement and its
  // COMMIT is not waited for: a read call costs the round trips of its own
  // statements only; when the caller says which read is its last, the COMMIT
  // goes in that read's pipeline.
  void Begin(TransactionKind kind) override {
    lease_ = pool_->Borrow();
    last_read_ = read_ended_ = false;
    try {
      reading_ = kind == TransactionKind::kRead;
      lease_->Begin(reading_ ? kBeginRead : begin_write_, reading_);
    } catch (...) {
      lease_.reset();  // the caller never rolls back a Begin that threw
      throw;
    }
  }
  // A connection lost during COMMIT leaves the outcome unknown: the server
  // may have committed before the link broke.
  void Commit() override {
    if (!lease_) throw StorageError("Falha no servidor: confirmação sem transação.");
    if (reading_) {
      if (!read_ended_) lease_->EndRead();
    } else {
      if (pool_->BeforeCommit()) pool_->BeforeCommit()(lease_->BackendPid());
      try {
        lease_->Exec("COMMIT");
      } catch (const StorageError& e) {
        if (e.Message() == kConnectionLostText)
          throw StorageError(kUnknownOutcomeText, "COMMIT sem resposta: " + e.Detail());
        throw;
      }
    }
    lease_.reset();
  }
  void Rollback() override { lease_.reset(); }  // the pool rolls back what is open

  std::vector<Record> Select(Entity entity, std::span<const Match> where) override {
    const EntityDef& def = Describe(entity);
    return Records(def, Use(*this)->Run(sql_.Select(def, where), Values(where)));
  }

  std::vector<std::vector<Record>> SelectEach(std::span<const Read> reads) override {
    std::vector<RecordsReceiver> found(reads.size());
    std::vector<RowReceiver*> receivers;
    for (RecordsReceiver& r : found) receivers.push_back(&r);
    ScanEach(reads, receivers);
    std::vector<std::vector<Record>> out;
    for (RecordsReceiver& r : found) out.push_back(std::move(r.records));
    return out;
  }

  void ScanEach(std::span<const Read> reads, std::span<RowReceiver* const> receivers) override {
    std::vector<PgQuery> queries;
    for (const Read& r : reads)
      queries.push_back({sql_.Select(Describe(r.entity), r.where), Values(r.where)});
    const bool last = last_read_ && reading_;
    if (last) queries.push_back({"COMMIT", {}});
    std::vector<PgResult> results = Use(*this)->RunAll(queries);
    read_ended_ = last;
    last_read_ = false;
    std::vector<std::string_view> views;
    for (size_t i = 0; i < reads.size(); ++i) {
      views.resize(Describe(reads[i].entity).columns.size());
      for (int row = 0; row < results[i].Rows(); ++row) {
        for (size_t c = 0; c < views.size(); ++c)
          views[c] = results[i].View(row, static_cast<int>(c));
        receivers[i]->Row(views);
      }
    }
  }

  void LastReadFollows() override { last_read_ = true; }

  void Insert(Entity entity, const Record& record) override {
    const EntityDef& def = Describe(entity);
    CheckShape(def, record);
    std::vector<std::string_view> values(record.begin(), record.end());
    Use(*this)->Run(sql_.Insert(def), values);
  }

  bool Update(Entity entity, const Record& old_record, const Record& new_record) override {
    const EntityDef& def = Describe(entity);
    CheckShape(def, old_record);
    CheckShape(def, new_record);
    std::vector<std::string_view> values(new_record.begin(), new_record.end());
    values.insert(values.end(), old_record.begin(), old_record.end());
    return Use(*this)->Run(sql_.Update(def), values).Affected() > 0;
  }

  bool Delete(Entity entity, const Record& old_record) override {
    return DeleteExactRow(*this, entity, old_record);
  }

  int Assign(Entity entity, std::span<const Match> where, const Match& set) override {
    const EntityDef& def = Describe(entity);
    std::vector<std::string_view> values{set.value};
    for (const Match& m : where) values.push_back(m.value);
    return Use(*this)->Run(sql_.Assign(def, where, set.column), values).Affected();
  }

  int Remove(Entity entity, std::span<const Match> where) override {
    const EntityDef& def = Describe(entity);
    return Use(*this)->Run(sql_.Remove(def, where), Values(where)).Affected();
  }

  bool Announce(std::string_view payload) override {
    Use(*this)->Run("SELECT pg_notify($1, $2)", {channel_, payload});
    return true;
  }

  std::vector<std::string> WarehouseTables() override {
    PgResult r =
        Use(*this)->Run(std::string("SELECT c.relname FROM pg_catalog.pg_class c "
                                    "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
                                    "WHERE n.nspname = $1::name AND ") +
                            kWarehouseKinds + " ORDER BY c.relname",
                        {schema_});
    std::vector<std::string> out;
    for (int row = 0; row < r.Rows(); ++row) {
      std::string name = r.Text(row, 0);
      if (!IsStructureName(name)) out.push_back(std::move(name));
    }
    return out;
  }

  std::vector<WarehouseColumn> WarehouseColumns(std::string_view table) override {
    if (IsStructureName(table)) return {};
    PgResult r = Use(*this)->Run(
        std::string("SELECT a.attname, pg_catalog.format_type(a.atttypid, a.atttypmod), "
                    "EXISTS (SELECT 1 FROM pg_catalog.pg_index i WHERE i.indrelid = c.oid "
                    "AND i.indisprimary AND a.attnum = ANY (i.indkey)) "
                    "FROM pg_catalog.pg_attribute a "
                    "JOIN pg_catalog.pg_class c ON c.oid = a.attrelid "
                    "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
                    "WHERE n.nspname = $1::name AND c.relname = $2::name AND ") +
            kWarehouseKinds + " AND a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attnum",
        {schema_, table});
    std::vector<WarehouseColumn> out;
    for (int row = 0; row < r.Rows(); ++row)
      out.push_back({r.Text(row, 0), r.Text(row, 1), r.Text(row, 2) == "t"});
    return out;
  }

  long long DuplicateKeys(std::string_view table,
                          const std::vector<std::string>& columns) override {
    if (IsStructureName(table) || columns.empty()) return 0;
    std::string list;
    for (const std::string& c : columns) list += (list.empty() ? "" : ", ") + QuoteIdentifier(c);
    PgResult r = Use(*this)->Run("SELECT count(*) FROM (SELECT 1 FROM " + prefix_ +
                                     QuoteIdentifier(std::string(table)) + " GROUP BY " + list +
                                     " HAVING count(*) > 1) AS d",
                                 {});
    return std::stoll(r.Text(0, 0));
  }

  // The two spellings a code usually has in the catalogue — folded to lower
  // case (created unquoted) or as the code itself (created quoted) — through
  // the catalogue's name index; any other mix of cases by a scan of the
  // schema's names, which only an unknown code pays.
  std::optional<std::string> FindWarehouseTable(std::string_view code) override {
    if (code.empty() || IsStructureName(code)) return std::nullopt;
    static const std::string kByName =
        std::string(
            "SELECT c.relname FROM pg_catalog.pg_class c "
            "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
            "WHERE n.nspname = $1::name AND c.relname IN ($2::name, lower($2)::name) "
            "AND ") +
        kWarehouseKinds + " ORDER BY c.relname = $2::name DESC LIMIT 1";
    static const std::string kAnyCase =
        std::string(
            "SELECT c.relname FROM pg_catalog.pg_class c "
            "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
            "WHERE n.nspname = $1::name AND upper(c.relname) = upper($2) AND ") +
        kWarehouseKinds + " ORDER BY c.relname LIMIT 1";
    for (const std::string* sql : {&kByName, &kAnyCase}) {
      PgResult r = Use(*this)->Run(*sql, {schema_, code});
      if (r.Rows() > 0) return r.Text(0, 0);
    }
    return std::nullopt;
  }

  void AppendHistory(const HistoryEntry& e) override {
    const Record* any = e.after ? &*e.after : e.before ? &*e.before : nullptr;
    if (!any) throw StorageError("Registro de histórico sem valores.");
    const std::string kind(1, ChangeKindCode(e.kind));
    const std::string table = HistoryTable(e.entity, *any);
    const std::string before = e.before ? EncodeRecord(*e.before) : std::string();
    const std::string after = e.after ? EncodeRecord(*e.after) : std::string();
    Use(*this)->Run(
        "INSERT INTO " + prefix_ +
            "\"QMX_HISTORICO\" (\"QUANDO\", \"ENDERECO\", \"USUARIO\", \"METODO\", "
            "\"ENTIDADE\", \"OPERACAO\", \"TABELA\", \"ANTES\", \"DEPOIS\", \"SERVIDOR\") "
            "VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10)",
        {e.when, e.origin.peer_address, e.origin.user_name, e.origin.method,
         Describe(e.entity).sql_table, kind, table, before, after, e.origin.server});
  }

  // The id goes out as text under another name: ORDER BY "ID" would
  // otherwise sort by that text ("9" after "10").
  std::vector<HistoryEntry> ReadHistory(const HistoryFilter& filter) override {
    PgResult r = Use(*this)->Run(
        "SELECT \"ID\"::text AS id_texto, \"QUANDO\", \"ENDERECO\", \"USUARIO\", \"METODO\", "
        "\"ENTIDADE\", \"OPERACAO\", \"ANTES\", \"DEPOIS\", \"SERVIDOR\" FROM " +
            prefix_ +
            "\"QMX_HISTORICO\" WHERE ($1 = '' OR \"TABELA\" = $1) "
            "AND ($2 = '' OR \"QUANDO\" >= $2) ORDER BY \"ID\" DESC",
        {filter.table, filter.since});
    std::vector<HistoryEntry> out;
    for (int row = 0; row < r.Rows(); ++row) {
      std::vector<std::string> texts;
      for (int c = 0; c < 10; ++c) texts.push_back(r.Text(row, c));
      auto entry = HistoryEntryOfRow(texts);
      if (!entry) throw StorageError("Registro " + texts[0] + " do histórico ilegível.");
      out.push_back(std::move(*entry));
    }
    return out;
  }

  // The connection of the transaction in progress.
  PgConnection& connection() { return *lease_; }

 private:
  // The connection of the transaction in progress, or one borrowed for a
  // single statement made outside any.
  class Use {
   public:
    explicit Use(PgStorage& s) : own_(s.lease_ ? nullptr : s.pool_->Borrow()) {
      lent_ = s.lease_ ? s.lease_.get() : own_.get();
    }
    PgConnection* operator->() const { return lent_; }

   private:
    PgPool::Lease own_;
    PgConnection* lent_;
  };

  static constexpr const char* kBeginRead = "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY";

  static std::vector<Record> Records(const EntityDef& def, const PgResult& r) {
    std::vector<Record> out;
    out.reserve(static_cast<size_t>(r.Rows()));
    for (int row = 0; row < r.Rows(); ++row) {
      Record rec(def.columns.size());
      for (size_t c = 0; c < rec.size(); ++c) rec[c] = r.Text(row, static_cast<int>(c));
      out.push_back(std::move(rec));
    }
    return out;
  }

  static std::vector<std::string_view> Values(std::span<const Match> where) {
    std::vector<std::string_view> v;
    v.reserve(where.size());
    for (const Match& m : where) v.push_back(m.value);
    return v;
  }

  std::shared_ptr<PgPool> pool_;
  PgPool::Lease lease_;  // while a transaction is open; given back before pool_ goes
  std::string schema_;
  std::string prefix_;
  std::string begin_write_;
  const EntitySql sql_;
  const std::string channel_;  // of the notices of this schema (pg_listener.h)
  bool reading_ = false;
  bool last_read_ = false;   // the next read pipeline ends the read transaction
  bool read_ended_ = false;  // it has: Commit has nothing to send
};

bool HasRelation(PgConnection& conn, const std::string& schema, const char* name) {
  return conn.Run(
                 "SELECT 1 FROM pg_catalog.pg_class c JOIN pg_catalog.pg_namespace n "
                 "ON n.oid = c.relnamespace WHERE n.nspname = $1::name AND c.relname = $2::name",
                 {schema, name})
             .Rows() > 0;
}

int ReadVersion(PgConnection& conn, const std::string& schema) {
  if (!HasRelation(conn, schema, "QMX_VERSAO")) return 0;
  PgResult r = conn.Exec("SELECT coalesce(max(\"VERSAO\"), 0) FROM " + QuoteIdentifier(schema) +
                         ".\"QMX_VERSAO\"");
  return std::stoi(r.Text(0, 0));
}

// The version table and the schema of one session, for UpgradeSchema; the
// search path already names the schema.
class PgUpgradeTarget final : public SchemaUpgradeTarget {
 public:
  PgUpgradeTarget(PgConnection& conn, const std::string& schema) : conn_(conn), schema_(schema) {}
  int ReadVersion() override { return appserver::ReadVersion(conn_, schema_); }
  void CreateVersionTable() override {
    conn_.Exec("CREATE TABLE \"QMX_VERSAO\" (\"VERSAO\" INTEGER NOT NULL)");
  }
  void WriteVersion(int version) override {
    conn_.Exec("DELETE FROM \"QMX_VERSAO\"");
    conn_.Run("INSERT INTO " + QuoteIdentifier(schema_) +
                  ".\"QMX_VERSAO\" (\"VERSAO\") VALUES ($1::integer)",
              {std::to_string(version)});
  }
  void Run(const char* statements) override { conn_.Exec(statements); }

 private:
  PgConnection& conn_;
  const std::string& schema_;
};

}  // namespace

PrepareResult PreparePostgresDatabase(const PostgresTarget& target, DemoSeeding demo,
                                      int target_version) {
  CheckTargetVersion(target_version);
  CheckSchemaName(target.schema);
  PrepareResult result;
  {
    PgStorage session(OpenPostgresPool(target, 1), target);
    // Under the writers' lock: servers starting together on a new database
    // create the structure once, and no call sees it half made.
    session.Begin(TransactionKind::kWrite);
    PgConnection& conn = session.connection();
    try {
      const std::string schema = QuoteIdentifier(target.schema);
      if (conn.Run("SELECT 1 FROM pg_catalog.pg_namespace WHERE nspname = $1::name",
                   {target.schema})
              .Rows() == 0)
        conn.Exec("CREATE SCHEMA " + schema);
      conn.Exec("SET LOCAL search_path TO " + schema);
      PgUpgradeTarget upgrade(conn, target.schema);
      result.previous_version = UpgradeSchema(upgrade, PostgresMigrations(), target_version);
      result.created = result.previous_version == 0;
      if (WantsDemo(demo, result.created) && StructureIsEmpty(session)) {
        for (const char* sql : DemoWarehousePostgresDdl()) conn.Exec(sql);
        SeedDemoStructure(session);
        result.demo_seeded = true;
      }
      session.Commit();
    } catch (...) {
      session.Rollback();
      throw;
    }
  }
  return result;
}

int PostgresSchemaVersion(const PostgresTarget& target) {
  CheckSchemaName(target.schema);
  PgConnection conn(target.conninfo, SessionSetup(target));
  return ReadVersion(conn, target.schema);
}

std::shared_ptr<PgPool> OpenPostgresPool(const PostgresTarget& target, int size) {
  CheckSchemaName(target.schema);
  return std::make_shared<PgPool>(target.conninfo, SessionSetup(target), size,
                                  target.busy_timeout_ms);
}

std::unique_ptr<Storage> OpenPostgresStorage(std::shared_ptr<PgPool> pool,
                                             const PostgresTarget& target) {
  return std::make_unique<PgStorage>(std::move(pool), target);
}

std::unique_ptr<Storage> OpenPostgresStorage(const PostgresTarget& target) {
  auto pool = OpenPostgresPool(target, 1);
  pool->Borrow();  // connects now: a session that cannot reach the database fails here
  return OpenPostgresStorage(std::move(pool), target);
}

}  // namespace appserver
