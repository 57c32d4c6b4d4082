// What a two-tier client of PostgreSQL would do for the load form of a fact
// table: the dimensions and the facts of one table read by prepared SELECTs
// inside one read-only transaction (one snapshot, as the server reads them),
// all sent in one pipeline and answered in one round trip; every value is
// copied into a string, as a client building its rows would.
#pragma once

#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace bench {

class PgTwoTierLoad {
 public:
  // `schema` holds the structure tables; a failure ends the benchmark.
  PgTwoTierLoad(const std::string& conninfo, const std::string& schema) {
    conn_ = PQconnectdb(conninfo.c_str());
    if (PQstatus(conn_) != CONNECTION_OK) Die(PQerrorMessage(conn_));
    const std::string s = "\"" + schema + "\".";
    Prepare("dimes", "SELECT \"CDTABELADW\",\"CDITEMDIME\",\"NRSEQUEDIME\" FROM " + s +
                         "\"QMX_DIME\" WHERE \"CDTABELADW\" = $1 ORDER BY "
                         "\"CDTABELADW\",\"CDITEMDIME\"");
    Prepare("facts",
            "SELECT \"CDTABELADW\",\"CDITEMDW\",\"IDFATODW\",\"CDAREANEGDW\",\"NMITEMDW\","
            "\"IDTPFATODW\",\"DSHINTITEM\",\"CDTABDRILL\" FROM " +
                s + "\"QMX_FATO\" WHERE \"CDTABELADW\" = $1 ORDER BY \"CDTABELADW\",\"CDITEMDW\"");
    if (PQenterPipelineMode(conn_) != 1) Die(PQerrorMessage(conn_));
  }
  ~PgTwoTierLoad() { PQfinish(conn_); }
  PgTwoTierLoad(const PgTwoTierLoad&) = delete;
  PgTwoTierLoad& operator=(const PgTwoTierLoad&) = delete;

  // The rows of dimensions and facts of `table`, in one round trip.
  size_t Run(const std::string& table) {
    const char* values[] = {table.c_str()};
    bool sent = PQsendQueryParams(conn_, "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY", 0,
                                  nullptr, nullptr, nullptr, nullptr, 0) == 1;
    for (const char* name : {"dimes", "facts"})
      sent = sent && PQsendQueryPrepared(conn_, name, 1, values, nullptr, nullptr, 0) == 1;
    sent = sent &&
           PQsendQueryParams(conn_, "COMMIT", 0, nullptr, nullptr, nullptr, nullptr, 0) == 1 &&
           PQpipelineSync(conn_) == 1;
    if (!sent) Die(PQerrorMessage(conn_));
    Expect(PGRES_COMMAND_OK);
    const size_t rows = Expect(PGRES_TUPLES_OK) + Expect(PGRES_TUPLES_OK);
    Expect(PGRES_COMMAND_OK);
    PGresult* sync = PQgetResult(conn_);
    if (PQresultStatus(sync) != PGRES_PIPELINE_SYNC) Die("pipeline out of step");
    PQclear(sync);
    return rows;
  }

 private:
  [[noreturn]] static void Die(const char* why) {
    std::fprintf(stderr, "PostgreSQL: %s\n", why);
    std::abort();
  }

  void Prepare(const char* name, const std::string& sql) {
    PGresult* r = PQprepare(conn_, name, sql.c_str(), 1, nullptr);
    if (PQresultStatus(r) != PGRES_COMMAND_OK) Die(PQresultErrorMessage(r));
    PQclear(r);
  }

  // The next statement's result, which must have `status`; its rows copied
  // as strings.
  size_t Expect(ExecStatusType status) {
    PGresult* r = PQgetResult(conn_);
    if (PQresultStatus(r) != status) Die(PQresultErrorMessage(r));
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < PQntuples(r); ++i) {
      std::vector<std::string> row;
      for (int c = 0; c < PQnfields(r); ++c)
        row.emplace_back(PQgetvalue(r, i, c), static_cast<size_t>(PQgetlength(r, i, c)));
      rows.push_back(std::move(row));
    }
    PQclear(r);
    // Each statement's results end with a null.
    if (PGresult* end = PQgetResult(conn_)) {
      PQclear(end);
      Die("more than one result for a statement");
    }
    benchmark::DoNotOptimize(rows);
    return rows.size();
  }

  PGconn* conn_ = nullptr;
};

}  // namespace bench
