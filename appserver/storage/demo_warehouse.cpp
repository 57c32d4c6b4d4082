#include "appserver/storage/demo_warehouse.h"

#include <string>
#include <utility>
#include <vector>

namespace appserver {
namespace {

const char* const kDdl[] = {
    "CREATE TABLE IF NOT EXISTS FATO_VENDAS ("
    " CD_CLIENTE INTEGER, CD_PRODUTO INTEGER, CD_MES INTEGER, DT_VENDA DATE,"
    " CD_REGIAO VARCHAR(10), CD_VENDEDOR INTEGER, VL_VENDA NUMERIC(15,2), QT_VENDIDA INTEGER,"
    " VL_DESCONTO NUMERIC(15,2), PC_MARGEM REAL, IM_NOTA BLOB)",
    "CREATE TABLE IF NOT EXISTS FATO_ESTOQUE ("
    " CD_PRODUTO INTEGER, CD_DEPOSITO INTEGER, CD_MES INTEGER, QT_ESTOQUE INTEGER,"
    " VL_CUSTO NUMERIC(15,2), QT_MINIMA INTEGER, DS_OBSERVACAO VARCHAR(200))",
    "CREATE TABLE IF NOT EXISTS FATO_FINANCEIRO ("
    " CD_CONTA VARCHAR(20), CD_CENTRO_CUSTO INTEGER, CD_MES INTEGER, DT_LANCAMENTO DATE,"
    " VL_RECEITA DECIMAL(15,2), VL_DESPESA DECIMAL(15,2), VL_SALDO DOUBLE PRECISION)",
    "CREATE TABLE IF NOT EXISTS FATO_COMPRAS ("
    " CD_FORNECEDOR INTEGER, CD_PRODUTO INTEGER, CD_MES INTEGER, VL_COMPRA NUMERIC(15,2),"
    " QT_COMPRADA INTEGER)",
    "CREATE TABLE IF NOT EXISTS FATO_DEVOLUCOES ("
    " CD_CLIENTE INTEGER, CD_PRODUTO INTEGER, CD_MES INTEGER, CD_MOTIVO INTEGER,"
    " VL_DEVOLVIDO NUMERIC(15,2), QT_DEVOLVIDA INTEGER)",
    "CREATE TABLE IF NOT EXISTS FATO_PRODUCAO ("
    " CD_PRODUTO INTEGER, CD_FABRICA INTEGER, CD_MES INTEGER, QT_PRODUZIDA INTEGER,"
    " QT_REFUGO INTEGER, VL_CUSTO_PRODUCAO NUMERIC(15,2), PC_EFICIENCIA REAL)",
    "CREATE TABLE IF NOT EXISTS DRILL_COMPRAS_NOTA ("
    " CD_FORNECEDOR INTEGER, CD_PRODUTO INTEGER, CD_MES INTEGER, NR_NOTA INTEGER,"
    " DT_EMISSAO DATE, VL_COMPRA NUMERIC(15,2), QT_COMPRADA INTEGER)",
    "CREATE TABLE IF NOT EXISTS DRILL_VENDAS_DIA ("
    " CD_CLIENTE INTEGER, CD_PRODUTO INTEGER, CD_MES INTEGER, DT_VENDA DATE,"
    " CD_REGIAO VARCHAR(10), CD_VENDEDOR INTEGER, NR_NOTA INTEGER, VL_VENDA NUMERIC(15,2),"
    " QT_VENDIDA INTEGER, VL_DESCONTO NUMERIC(15,2))",
    "CREATE TABLE IF NOT EXISTS DRILL_ESTOQUE_LOTE ("
    " CD_PRODUTO INTEGER, CD_DEPOSITO INTEGER, CD_MES INTEGER, CD_LOTE VARCHAR(20),"
    " DT_VALIDADE DATE, QT_ESTOQUE INTEGER, VL_CUSTO NUMERIC(15,2))",
    "INSERT INTO FATO_VENDAS (CD_CLIENTE, CD_PRODUTO, CD_MES, DT_VENDA, CD_REGIAO,"
    " CD_VENDEDOR, VL_VENDA, QT_VENDIDA, VL_DESCONTO, PC_MARGEM) SELECT * FROM (VALUES"
    " (1, 10, 202601, '2026-01-05', 'SUL', 7, 1250.00, 5, 50.00, 0.18),"
    " (2, 11, 202601, '2026-01-09', 'NORTE', 8, 480.50, 2, 0.00, 0.22),"
    " (1, 12, 202602, '2026-02-14', 'SUL', 7, 3100.00, 10, 155.00, 0.15))"
    " WHERE NOT EXISTS (SELECT 1 FROM FATO_VENDAS)",
};

const char* const kPostgresDdl[] = {
    "CREATE TABLE IF NOT EXISTS fato_vendas ("
    " cd_cliente INTEGER, cd_produto INTEGER, cd_mes INTEGER, dt_venda DATE,"
    " cd_regiao VARCHAR(10), cd_vendedor INTEGER, vl_venda NUMERIC(15,2), qt_vendida INTEGER,"
    " vl_desconto NUMERIC(15,2), pc_margem REAL, im_nota BYTEA)",
    "CREATE TABLE IF NOT EXISTS fato_estoque ("
    " cd_produto INTEGER, cd_deposito INTEGER, cd_mes INTEGER, qt_estoque INTEGER,"
    " vl_custo NUMERIC(15,2), qt_minima INTEGER, ds_observacao VARCHAR(200))",
    "CREATE TABLE IF NOT EXISTS fato_financeiro ("
    " cd_conta VARCHAR(20), cd_centro_custo INTEGER, cd_mes INTEGER, dt_lancamento DATE,"
    " vl_receita DECIMAL(15,2), vl_despesa DECIMAL(15,2), vl_saldo DOUBLE PRECISION)",
    "CREATE TABLE IF NOT EXISTS fato_compras ("
    " cd_fornecedor INTEGER, cd_produto INTEGER, cd_mes INTEGER, vl_compra NUMERIC(15,2),"
    " qt_comprada INTEGER)",
    "CREATE TABLE IF NOT EXISTS fato_devolucoes ("
    " cd_cliente INTEGER, cd_produto INTEGER, cd_mes INTEGER, cd_motivo INTEGER,"
    " vl_devolvido NUMERIC(15,2), qt_devolvida INTEGER)",
    "CREATE TABLE IF NOT EXISTS fato_producao ("
    " cd_produto INTEGER, cd_fabrica INTEGER, cd_mes INTEGER, qt_produzida INTEGER,"
    " qt_refugo INTEGER, vl_custo_producao NUMERIC(15,2), pc_eficiencia REAL)",
    "CREATE TABLE IF NOT EXISTS drill_compras_nota ("
    " cd_fornecedor INTEGER, cd_produto INTEGER, cd_mes INTEGER, nr_nota INTEGER,"
    " dt_emissao DATE, vl_compra NUMERIC(15,2), qt_comprada INTEGER)",
    "CREATE TABLE IF NOT EXISTS drill_vendas_dia ("
    " cd_cliente INTEGER, cd_produto INTEGER, cd_mes INTEGER, dt_venda DATE,"
    " cd_regiao VARCHAR(10), cd_vendedor INTEGER, nr_nota INTEGER, vl_venda NUMERIC(15,2),"
    " qt_vendida INTEGER, vl_desconto NUMERIC(15,2))",
    "CREATE TABLE IF NOT EXISTS drill_estoque_lote ("
    " cd_produto INTEGER, cd_deposito INTEGER, cd_mes INTEGER, cd_lote VARCHAR(20),"
    " dt_validade DATE, qt_estoque INTEGER, vl_custo NUMERIC(15,2))",
    "INSERT INTO fato_vendas (cd_cliente, cd_produto, cd_mes, dt_venda, cd_regiao,"
    " cd_vendedor, vl_venda, qt_vendida, vl_desconto, pc_margem) SELECT * FROM (VALUES"
    " (1, 10, 202601, DATE '2026-01-05', 'SUL', 7, 1250.00, 5, 50.00, 0.18),"
    " (2, 11, 202601, DATE '2026-01-09', 'NORTE', 8, 480.50, 2, 0.00, 0.22),"
    " (1, 12, 202602, DATE '2026-02-14', 'SUL', 7, 3100.00, 10, 155.00, 0.15)) AS v"
    " WHERE NOT EXISTS (SELECT 1 FROM fato_vendas)",
};

// Inserts the rows of one structure table.
void PutAll(Storage& s, Entity e, std::initializer_list<Record> rows) {
  for (const Record& r : rows) s.Insert(e, r);
}

}  // namespace

std::span<const char* const> DemoWarehouseSqliteDdl() {
  return kDdl;
}

std::span<const char* const> DemoWarehousePostgresDdl() {
  return kPostgresDdl;
}

void SeedDemoStructure(Storage& s) {
  PutAll(s, Entity::kDimension,
         {{"00001", "Cliente"},
          {"00002", "Produto"},
          {"00003", "Mês"},
          {"00004", "Região"},
          {"00005", "Vendedor"},
          {"00006", "Depósito"},
          {"00007", "Conta contábil"},
          {"00008", "Centro de custo"},
          {"00009", "Fornecedor"},
          {"00010", "Dia"},
          {"00011", "Lote"}});

  PutAll(s, Entity::kDataMart,
         {{"00001", "Comercial"}, {"00002", "Financeiro"}, {"00003", "Logística"}});

  PutAll(s, Entity::kTable,
         {{"FATO_VENDAS", "Vendas", "N"},
          {"FATO_ESTOQUE", "Estoque", "N"},
          {"FATO_FINANCEIRO", "Financeiro", "N"},
          {"DRILL_VENDAS_DIA", "Vendas por dia", "S"},
          {"DRILL_ESTOQUE_LOTE", "Estoque por lote", "S"}});

  // CDTABELADW, CDITEMDW, IDFATODW, CDAREANEGDW, NMITEMDW, IDTPFATODW, DSHINTITEM, CDTABDRILL
  PutAll(s, Entity::kFact,
         {{"FATO_VENDAS", "VL_VENDA", "S", "00001", "Valor vendido", "M",
           "Valor total das vendas, sem descontos", "DRILL_VENDAS_DIA"},
          {"FATO_VENDAS", "QT_VENDIDA", "S", "00001", "Quantidade vendida", "Q",
           "Unidades vendidas", "DRILL_VENDAS_DIA"},
          {"FATO_ESTOQUE", "QT_ESTOQUE", "S", "00003", "Quantidade em estoque", "Q",
           "Saldo no fim do mês", "DRILL_ESTOQUE_LOTE"},
          {"FATO_ESTOQUE", "VL_CUSTO", "S", "00003", "Custo do estoque", "M", "", ""},
          {"FATO_FINANCEIRO", "VL_RECEITA", "S", "00002", "Receita", "M", "", ""},
          {"FATO_FINANCEIRO", "VL_DESPESA", "N", "00002", "Despesa", "M", "", ""}});

  // Dimensions (column, number) of each fact table. A drill table carries
  // every dimension of the fact table drilling into it, and one of detail.
  using Dimes = std::vector<std::pair<std::string, std::string>>;
  const Dimes vendas{{"CD_CLIENTE", "00001"}, {"CD_PRODUTO", "00002"}, {"CD_MES", "00003"}};
  const Dimes estoque{{"CD_PRODUTO", "00002"}, {"CD_DEPOSITO", "00006"}, {"CD_MES", "00003"}};
  auto put_dimes = [&s](Entity e, const std::string& table, const Dimes& dimes) {
    for (const auto& [column, number] : dimes) s.Insert(e, {table, column, number});
  };
  put_dimes(Entity::kDime, "FATO_VENDAS", vendas);
  put_dimes(Entity::kDime, "FATO_ESTOQUE", estoque);
  put_dimes(Entity::kDime, "FATO_FINANCEIRO", {{"CD_CONTA", "00007"}, {"CD_MES", "00003"}});

  // CDTABDRILL, CDITEMDRILL, NMITEMDRILL, IDTPFATODRILL, DSHINTDRILL
  PutAll(s, Entity::kDrillFact,
         {{"DRILL_VENDAS_DIA", "VL_VENDA", "Valor vendido no dia", "M", ""},
          {"DRILL_VENDAS_DIA", "QT_VENDIDA", "Quantidade vendida no dia", "Q", ""},
          {"DRILL_ESTOQUE_LOTE", "QT_ESTOQUE", "Quantidade no lote", "Q", ""}});

  put_dimes(Entity::kDrillDime, "DRILL_VENDAS_DIA", vendas);
  put_dimes(Entity::kDrillDime, "DRILL_VENDAS_DIA", {{"DT_VENDA", "00010"}});
  put_dimes(Entity::kDrillDime, "DRILL_ESTOQUE_LOTE", estoque);
  put_dimes(Entity::kDrillDime, "DRILL_ESTOQUE_LOTE", {{"CD_LOTE", "00011"}});
}

}  // namespace appserver
