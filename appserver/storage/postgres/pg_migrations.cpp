#include "appserver/storage/postgres/pg_migrations.h"

#include <iterator>

#include "appserver/storage/database_setup.h"

namespace appserver {
namespace {

// Schema migrations, each taking the structure one version up; run with the
// configured schema first on the search path. Texts compare byte by byte
// (COLLATE "C"), as on the embedded database, whatever the database's locale.
const char* const kMigrations[] = {
    // 1: the structure tables.
    "CREATE TABLE \"QMX_TABELA\" ("
    " \"CDTABELADW\" TEXT COLLATE \"C\" NOT NULL PRIMARY KEY,"
    " \"NMTABELADW\" TEXT COLLATE \"C\" NOT NULL DEFAULT '',"
    " \"IDDRILLDOWN\" TEXT COLLATE \"C\" NOT NULL DEFAULT 'N');"
    "CREATE TABLE \"QMX_FATO\" ("
    " \"CDTABELADW\" TEXT COLLATE \"C\" NOT NULL, \"CDITEMDW\" TEXT COLLATE \"C\" NOT NULL,"
    " \"IDFATODW\" TEXT COLLATE \"C\" NOT NULL DEFAULT 'S',"
    " \"CDAREANEGDW\" TEXT COLLATE \"C\" NOT NULL DEFAULT '',"
    " \"NMITEMDW\" TEXT COLLATE \"C\" NOT NULL DEFAULT '',"
    " \"IDTPFATODW\" TEXT COLLATE \"C\" NOT NULL DEFAULT 'M',"
    " \"DSHINTITEM\" TEXT COLLATE \"C\" NOT NULL DEFAULT '',"
    " \"CDTABDRILL\" TEXT COLLATE \"C\" NOT NULL DEFAULT '',"
    " PRIMARY KEY (\"CDTABELADW\", \"CDITEMDW\"));"
    "CREATE TABLE \"QMX_DIME\" ("
    " \"CDTABELADW\" TEXT COLLATE \"C\" NOT NULL, \"CDITEMDIME\" TEXT COLLATE \"C\" NOT NULL,"
    " \"NRSEQUEDIME\" TEXT COLLATE \"C\" NOT NULL, PRIMARY KEY (\"CDTABELADW\", \"CDITEMDIME\"));"
    "CREATE TABLE \"QMX_FATO_DRILL\" ("
    " \"CDTABDRILL\" TEXT COLLATE \"C\" NOT NULL, \"CDITEMDRILL\" TEXT COLLATE \"C\" NOT NULL,"
    " \"NMITEMDRILL\" TEXT COLLATE \"C\" NOT NULL DEFAULT '',"
    " \"IDTPFATODRILL\" TEXT COLLATE \"C\" NOT NULL DEFAULT 'M',"
    " \"DSHINTDRILL\" TEXT COLLATE \"C\" NOT NULL DEFAULT '',"
    " PRIMARY KEY (\"CDTABDRILL\", \"CDITEMDRILL\"));"
    "CREATE TABLE \"QMX_DIME_DRILL\" ("
    " \"CDTABDRILL\" TEXT COLLATE \"C\" NOT NULL, \"CDDIMEDRILL\" TEXT COLLATE \"C\" NOT NULL,"
    " \"NRSEQUEDIME\" TEXT COLLATE \"C\" NOT NULL, PRIMARY KEY (\"CDTABDRILL\", \"CDDIMEDRILL\"));"
    "CREATE TABLE \"QMX_AREANEG\" ("
    " \"CDAREANEGDW\" TEXT COLLATE \"C\" NOT NULL PRIMARY KEY,"
    " \"NMAREANEGDW\" TEXT COLLATE \"C\" NOT NULL DEFAULT '');"
    "CREATE TABLE \"QMX_DIMENSAO\" ("
    " \"NRSEQUEDIME\" TEXT COLLATE \"C\" NOT NULL PRIMARY KEY,"
    " \"NMITEMDIME\" TEXT COLLATE \"C\" NOT NULL DEFAULT '');",
    // 2: a dimension number once per table; drill links found without a scan.
    "CREATE UNIQUE INDEX \"QMX_DIME_NUMERO\" ON \"QMX_DIME\" (\"CDTABELADW\", \"NRSEQUEDIME\");"
    "CREATE UNIQUE INDEX \"QMX_DIME_DRILL_NUMERO\" ON \"QMX_DIME_DRILL\""
    " (\"CDTABDRILL\", \"NRSEQUEDIME\");"
    "CREATE INDEX \"QMX_FATO_DRILL_LIGACAO\" ON \"QMX_FATO\" (\"CDTABDRILL\");",
    // 3: the history of changes. ID is taken inside the writer's transaction,
    // under the writers' lock, so it grows in commit order on every server.
    "CREATE TABLE \"QMX_HISTORICO\" ("
    " \"ID\" BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY,"
    " \"QUANDO\" TEXT COLLATE \"C\" NOT NULL,"
    " \"ENDERECO\" TEXT COLLATE \"C\" NOT NULL DEFAULT '',"
    " \"USUARIO\" TEXT COLLATE \"C\" NOT NULL DEFAULT '',"
    " \"METODO\" TEXT COLLATE \"C\" NOT NULL DEFAULT '',"
    " \"ENTIDADE\" TEXT COLLATE \"C\" NOT NULL,"
    " \"OPERACAO\" TEXT COLLATE \"C\" NOT NULL,"
    " \"TABELA\" TEXT COLLATE \"C\" NOT NULL DEFAULT '',"
    " \"ANTES\" TEXT COLLATE \"C\" NOT NULL DEFAULT '',"
    " \"DEPOIS\" TEXT COLLATE \"C\" NOT NULL DEFAULT '');",
    // 4: the version of each registered table (table_versions.h).
    "CREATE TABLE \"QMX_TABELA_VERSAO\" ("
    " \"CDTABELADW\" TEXT COLLATE \"C\" NOT NULL PRIMARY KEY,"
    " \"NRVERSAO\" TEXT COLLATE \"C\" NOT NULL DEFAULT '0');"
    // and the server that took each recorded call.
    "ALTER TABLE \"QMX_HISTORICO\" ADD COLUMN \"SERVIDOR\" TEXT COLLATE \"C\" NOT NULL DEFAULT '';",
    // 5: the accounts that may log in (appserver/accounts).
    "CREATE TABLE \"QMX_CONTA\" ("
    " \"USUARIO\" TEXT COLLATE \"C\" NOT NULL PRIMARY KEY,"
    " \"PAPEL\" TEXT COLLATE \"C\" NOT NULL DEFAULT 'leitor',"
    " \"ATIVA\" TEXT COLLATE \"C\" NOT NULL DEFAULT 'S',"
    " \"SENHA\" TEXT COLLATE \"C\" NOT NULL DEFAULT '');",
};
static_assert(std::size(kMigrations) == kSchemaVersion);

}  // namespace

std::span<const char* const> PostgresMigrations() {
  return kMigrations;
}

}  // namespace appserver
