// Warehouses where drill links fan out widely, generated in SQL for tests and
// benchmarks: one drill table that many fact tables drill into (fan-in), and
// one fact table that drills into many drill tables (fan-out). Codes are 28
// to 30 characters, the length real warehouse names reach.
//
// Every table carries dimensions 00001 (CD_CLIENTE) and 00002 (CD_PRODUTO)
// and a free integer column CD_MES; numbers and data mart 00001 come from the
// demo catalogue, so the database must hold it. The statements suit SQLite
// and PostgreSQL alike; each is a batch to run as it stands.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace qmxtest {

// The i-th generated code on a `stem` of 22 characters: 28 to 30 long.
inline std::string FiveDigits(int i) {
  char number[8];
  std::snprintf(number, sizeof number, "%05d", i);
  return number;
}

inline std::string WideCode(const std::string& stem, int i) {
  return stem + std::string(i % 3, 'X') + "_" + FiveDigits(i);
}

inline std::vector<std::string> WideCodes(const std::string& stem, int count) {
  std::vector<std::string> codes;
  for (int i = 1; i <= count; ++i) codes.push_back(WideCode(stem, i));
  return codes;
}

namespace wide_drill_detail {

// Multi-row INSERTs of generated values (never outside text), in batches.
class Inserts {
 public:
  Inserts(std::vector<std::string>& out, const char* table) : out_(out), table_(table) {}
  ~Inserts() { Flush(); }
  void Add(const std::vector<std::string>& values) {
    sql_ += sql_.empty() ? std::string("INSERT INTO \"") + table_ + "\" VALUES " : ",";
    for (size_t i = 0; i < values.size(); ++i) sql_ += (i ? ",'" : "('") + values[i] + "'";
    sql_ += ")";
    if (++rows_ == 250) Flush();
  }

 private:
  void Flush() {
    if (!sql_.empty()) out_.push_back(sql_);
    sql_.clear();
    rows_ = 0;
  }
  std::vector<std::string>& out_;
  const char* table_;
  std::string sql_;
  int rows_ = 0;
};

inline std::string CreateTable(const std::string& code, const std::vector<std::string>& numeric) {
  std::string ddl =
      "CREATE TABLE " + code + " (CD_CLIENTE INTEGER, CD_PRODUTO INTEGER, CD_MES INTEGER";
  for (const std::string& c : numeric) ddl += ", " + c + " NUMERIC(15,2)";
  return ddl + ");";
}

// Warehouse tables and their registration, dimensions 00001 and 00002 each.
inline void Tables(std::vector<std::string>& out, const std::vector<std::string>& codes, bool drill,
                   const std::vector<std::string>& numeric) {
  std::string ddl;
  for (size_t i = 0; i < codes.size(); ++i) {
    ddl += CreateTable(codes[i], numeric);
    if (i % 100 == 99 || i + 1 == codes.size()) out.push_back(std::move(ddl)), ddl.clear();
  }
  Inserts tables(out, "QMX_TABELA");
  Inserts dimes(out, drill ? "QMX_DIME_DRILL" : "QMX_DIME");
  for (const std::string& code : codes) {
    tables.Add(
        {code, (drill ? "Drill " : "Fato ") + code.substr(code.size() - 5), drill ? "S" : "N"});
    dimes.Add({code, "CD_CLIENTE", "00001"});
    dimes.Add({code, "CD_PRODUTO", "00002"});
  }
}

}  // namespace wide_drill_detail

// Drill table `drill` (fact VL_VALOR) and fact tables `facts`, each with the
// fact VL_VALOR drilling into it.
inline std::vector<std::string> FanInSql(const std::string& drill,
                                         const std::vector<std::string>& facts) {
  using namespace wide_drill_detail;
  std::vector<std::string> out;
  Tables(out, {drill}, true, {"VL_VALOR"});
  Tables(out, facts, false, {"VL_VALOR"});
  {
    Inserts drill_facts(out, "QMX_FATO_DRILL");
    drill_facts.Add({drill, "VL_VALOR", "Valor", "M", ""});
    Inserts fact_rows(out, "QMX_FATO");
    for (const std::string& f : facts)
      fact_rows.Add({f, "VL_VALOR", "S", "00001", "Valor", "M", "", drill});
  }
  return out;
}

// Fact table `fact` with one fact per drill table of `drills` (VL_00001, ...),
// each drilling into its own; every drill table has the fact VL_VALOR.
inline std::vector<std::string> FanOutSql(const std::string& fact,
                                          const std::vector<std::string>& drills) {
  using namespace wide_drill_detail;
  std::vector<std::string> out;
  std::vector<std::string> columns;
  for (size_t i = 1; i <= drills.size(); ++i) columns.push_back("VL_" + FiveDigits(int(i)));
  Tables(out, drills, true, {"VL_VALOR"});
  Tables(out, {fact}, false, columns);
  {
    Inserts drill_facts(out, "QMX_FATO_DRILL");
    for (const std::string& d : drills) drill_facts.Add({d, "VL_VALOR", "Valor", "M", ""});
    Inserts fact_rows(out, "QMX_FATO");
    for (size_t i = 0; i < drills.size(); ++i)
      fact_rows.Add(
          {fact, columns[i], "S", "00001", "Valor " + std::to_string(i + 1), "M", "", drills[i]});
  }
  return out;
}

// `statements` as one batch that runs them in one transaction.
inline std::string InOneTransaction(const std::vector<std::string>& statements) {
  std::string sql = "BEGIN;";
  for (const std::string& s : statements) sql += s + ";";
  return sql + "COMMIT;";
}

}  // namespace qmxtest
