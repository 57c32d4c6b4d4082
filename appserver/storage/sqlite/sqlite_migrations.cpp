#include "appserver/storage/sqlite/sqlite_migrations.h"

#include <iterator>

#include "appserver/storage/database_setup.h"

namespace appserver {
namespace {

const char* const kMigrations[] = {
    // 1: the structure tables.
    "CREATE TABLE QMX_TABELA ("
    " CDTABELADW TEXT NOT NULL PRIMARY KEY, NMTABELADW TEXT NOT NULL DEFAULT '',"
    " IDDRILLDOWN TEXT NOT NULL DEFAULT 'N');"
    "CREATE TABLE QMX_FATO ("
    " CDTABELADW TEXT NOT NULL, CDITEMDW TEXT NOT NULL, IDFATODW TEXT NOT NULL DEFAULT 'S',"
    " CDAREANEGDW TEXT NOT NULL DEFAULT '', NMITEMDW TEXT NOT NULL DEFAULT '',"
    " IDTPFATODW TEXT NOT NULL DEFAULT 'M', DSHINTITEM TEXT NOT NULL DEFAULT '',"
    " CDTABDRILL TEXT NOT NULL DEFAULT '', PRIMARY KEY (CDTABELADW, CDITEMDW));"
    "CREATE TABLE QMX_DIME ("
    " CDTABELADW TEXT NOT NULL, CDITEMDIME TEXT NOT NULL, NRSEQUEDIME TEXT NOT NULL,"
    " PRIMARY KEY (CDTABELADW, CDITEMDIME));"
    "CREATE TABLE QMX_FATO_DRILL ("
    " CDTABDRILL TEXT NOT NULL, CDITEMDRILL TEXT NOT NULL, NMITEMDRILL TEXT NOT NULL DEFAULT '',"
    " IDTPFATODRILL TEXT NOT NULL DEFAULT 'M', DSHINTDRILL TEXT NOT NULL DEFAULT '',"
    " PRIMARY KEY (CDTABDRILL, CDITEMDRILL));"
    "CREATE TABLE QMX_DIME_DRILL ("
    " CDTABDRILL TEXT NOT NULL, CDDIMEDRILL TEXT NOT NULL, NRSEQUEDIME TEXT NOT NULL,"
    " PRIMARY KEY (CDTABDRILL, CDDIMEDRILL));"
    "CREATE TABLE QMX_AREANEG ("
    " CDAREANEGDW TEXT NOT NULL PRIMARY KEY, NMAREANEGDW TEXT NOT NULL DEFAULT '');"
    "CREATE TABLE QMX_DIMENSAO ("
    " NRSEQUEDIME TEXT NOT NULL PRIMARY KEY, NMITEMDIME TEXT NOT NULL DEFAULT '');",
    // 2: a dimension number once per table; drill links found without a scan.
    "CREATE UNIQUE INDEX QMX_DIME_NUMERO ON QMX_DIME (CDTABELADW, NRSEQUEDIME);"
    "CREATE UNIQUE INDEX QMX_DIME_DRILL_NUMERO ON QMX_DIME_DRILL (CDTABDRILL, NRSEQUEDIME);"
    "CREATE INDEX QMX_FATO_DRILL_LIGACAO ON QMX_FATO (CDTABDRILL);",
    // 3: the history of changes. ID is the rowid: history rows are never
    // removed, so it grows in commit order (writers are serialised). Neither
    // AUTOINCREMENT nor an index, and values as arrays without column names:
    // each page or page split more would show in every change's commit, and
    // the history is read rarely and whole. TABELA is kept for the filter.
    "CREATE TABLE QMX_HISTORICO ("
    " ID INTEGER PRIMARY KEY, QUANDO TEXT NOT NULL,"
    " ENDERECO TEXT NOT NULL DEFAULT '', USUARIO TEXT NOT NULL DEFAULT '',"
    " METODO TEXT NOT NULL DEFAULT '', ENTIDADE TEXT NOT NULL, OPERACAO TEXT NOT NULL,"
    " TABELA TEXT NOT NULL DEFAULT '', ANTES TEXT NOT NULL DEFAULT '',"
    " DEPOIS TEXT NOT NULL DEFAULT '');",
    // 4: the version of each registered table, advanced by every change to
    // what it owns (table_versions.h).
    "CREATE TABLE QMX_TABELA_VERSAO ("
    " CDTABELADW TEXT NOT NULL PRIMARY KEY, NRVERSAO TEXT NOT NULL DEFAULT '0');"
    // and the server that took each recorded call.
    "ALTER TABLE QMX_HISTORICO ADD COLUMN SERVIDOR TEXT NOT NULL DEFAULT '';",
    // 5: the accounts that may log in (appserver/accounts).
    "CREATE TABLE QMX_CONTA ("
    " USUARIO TEXT NOT NULL PRIMARY KEY, PAPEL TEXT NOT NULL DEFAULT 'leitor',"
    " ATIVA TEXT NOT NULL DEFAULT 'S', SENHA TEXT NOT NULL DEFAULT '');",
};
static_assert(std::size(kMigrations) == kSchemaVersion);

}  // namespace

std::span<const char* const> SqliteMigrations() {
  return kMigrations;
}

}  // namespace appserver
