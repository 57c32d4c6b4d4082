#include "model/message_catalogue.h"

#include <gtest/gtest.h>

#include <utility>

namespace qmx00600 {
namespace {

// The catalogue as it must stand, key and text apart, in order.
const std::vector<std::pair<std::string, std::string>> kExpected = {
    {"Excl", "Confirma exclusão?"},
    {"CD_DEVE", "Código deve ser informado."},
    {"NM_DEVE", "Nome deve ser informado."},
    {"CP_DEVE", "Campo deve ser informado."},
    {"AREA_DEVE", "Data Mart deve ser informado."},
    {"CD_JCAD", "Código já cadastrado."},
    {"NM_JCAD", "Nome já cadastrado."},
    {"CP_JCAD", "Campo já cadastrado."},
    {"AREA_NCAD", "Data Mart não cadastrado."},
    {"M", "Moeda"},
    {"P", "Percentual"},
    {"Q", "Quantidade"},
    {"I", "Número inteiro"},
    {"AreaNegDW", "Data Mart"},
    {"DimeDime", "Dimensão"},
    {"DIME_NCAD", "Dimensão não cadastrada."},
    {"DM_JCAD", "Dimensão já cadastrada."},
    {"DM_DEVE", "Dimensão deve ser informada."},
    {"N_FATOS", "Não há campos disponíveis para a criação de fatos."},
    {"N_DIME", "Não há campos disponíveis para a criação de dimensões."},
    {"FIELDS", "Campos"},
    {"GetAtualiza", "Recebendo dados do servidor"},
    {"SetAtualiza", "Atualizando dados no servidor"},
    {"GetValida", "Validando dados no servidor"},
    {"CD_JCAD_DRILL", "Código já cadastrado para tabela Drill."},
    {"CD_JCAD_FATO", "Código já cadastrado para tabela fato."},
    {"REG_LOCALIZADO_S",
     "A tabela \"%S\" utiliza esta tabela como Drill.\r\nAo excluir o drill, esta referência "
     "deixará de existir.\r\nDeseja continuar?"},
    {"INCONS_FATOS",
     "A exclusão de todos os fatos em Tabela Drill causará inconsistência de dados.\r\nDeseja "
     "continuar?"},
    {"INCONS_DIME",
     "A exclusão dimensões em Tabela Drill poderá causar inconsistência de dados.\r\nDeseja "
     "continuar?"},
    {"ALERTA", "Alerta"},
    {"INCONSIST_S",
     "A exclusão desta dimensão fará com que a tabela \"%S\" perca este drill.\r\nDeseja "
     "continuar?"},
    {"MAIS_DIME_S",
     "A tabela \"%S\" terá dimensões inconsistentes com a tabela drill \"%S\".\r\nConfirma "
     "Inclusão?"},
    {"N_DRILL", "Não há tabela de drill cadastrada."},
    {"DRILL", "Tabelas Drill"},
    {"REG_LOCALIZADO_P",
     "A tabelas \"%S\" utilizam esta tabela como Drill.\r\nAo excluir o drill, esta referência "
     "deixará de existir.\r\nDeseja continuar?"},
    {"INCONSIST_P",
     "A exclusão desta dimensão fará com que as tabelas %S percam este drill.\r\nDeseja "
     "continuar?"},
    {"MAIS_DIME_P",
     "A tabela \"%S\" terá dimensões inconsistentes com as tabelas drill \"%S\".\r\nConfirma "
     "Inclusão?"},
    {"TIPO_DEVE", "Tipo deve ser informado."},
    {"FATOS", " Fatos"},
    {"FATOS_DRILL", " Fatos Drill"},
    {"DIMENSOES", " Dimensões"},
    {"DIMENSOES_DRILL", " Dimensões Drill"},
    {"INV_TABELA", "Tabela \"%S\" inválida."},
    {"INV_CAMPO", "Campo \"%S\" inválido para a tabela \"%S\"."},
    {"NO_NUMBER",
     "Tipo de campo inválido. Só são aceitos campos do tipo numérico. (Integer, Number, Float)"},
    {"NO_DIME", "Tipo de campo não permitido para constituir uma dimensão."},
    {"J_FATO", "O campo \"%s\" da tabela \"%s\" já está cadastrado como  fato."},
    {"J_DIME", "O campo \"%s\" da tabela \"%s\" já está cadastrado como  dimensão."},
    {"SEM_FATO", "Não há fatos cadastrados para a tabela \"%S\"."},
    {"SEM_DIME", "Não há dimensões cadastradas para a tabela \"%S\"."},
    {"DIME_DRILL_MENOR",
     "As dimensões da Tabela Drill \"%S\" são incompatíveis com as dimensões da tabela \"%S\"."},
    {"NOT_TAB_DRILL", "A tabela \"%S\" deve estar cadastrada como tabela Drill."},
    {"NOME_JA", "Nome de fato já cadastrado."},
    {"teste1", "dimensões se tornarão incompatíveis"},
    {"CAMPO_JA", "Campo já cadastrado."},
    {"NOME_DRILL_JA", "Nome já cadastrado."},
    {"INV_DIME", "Dimensão \"%S\" inválida para a tabela \"%S\"."},
    {"DIME_DRILL_JA", "Dimensão já cadastrada."},
    {"INCONS_UPD_DIME2",
     "A alteração desta dimensão poderá anular a funcionalidade de drill down da tabela fato. A "
     "ligação com as tabelas %s será afetada.\r\nDeseja continuar?"},
    {"AND", "e"},
    {"INCONS_UPD_DIME1",
     "A alteração desta dimensão poderá anular a funcionalidade de drill down da tabela fato. A "
     "ligação com a tabela %s será afetada.\r\nDeseja continuar?"},
    {"UPD_TAB_C_FATO", "Não é permitido alterar códigos de tabelas que possuam fatos."},
    {"UPD_TAB_C_DIME", "Não é permitido alterar códigos de tabelas que possuam dimensões."},
    {"Tabela_Sem_Fato", "Tabela sem fato cadastrado."},
};

TEST(MessageCatalogue, EveryEntryStandsByteForByteInItsPlace) {
  const auto& lines = MessageCatalogueLines();
  ASSERT_EQ(lines.size(), 64u);
  for (size_t i = 0; i < kExpected.size(); ++i) {
    const auto& [key, text] = kExpected[i];
    EXPECT_EQ(lines[i], key + "|" + text) << "entry " << i + 1;
    // The key is everything before the first bar.
    EXPECT_EQ(lines[i].substr(0, lines[i].find('|')), key);
  }
}

TEST(MessageCatalogue, TextsKeepTheirBlanksLineBreaksAndPlaceholders) {
  auto text = [](std::string_view key) {
    for (const auto& line : MessageCatalogueLines())
      if (line.substr(0, line.find('|')) == key) return line.substr(line.find('|') + 1);
    return std::string("<missing>");
  };
  EXPECT_EQ(text("FATOS"), " Fatos");
  EXPECT_EQ(text("DIMENSOES_DRILL"), " Dimensões Drill");
  EXPECT_NE(text("J_FATO").find("como  fato."), std::string::npos);
  EXPECT_NE(text("J_DIME").find("\"%s\" da tabela \"%s\""), std::string::npos);
  EXPECT_EQ(text("INCONSIST_P").find('"'), std::string::npos);
  EXPECT_EQ(text("REG_LOCALIZADO_P").rfind("A tabelas \"%S\"", 0), 0u);
  EXPECT_NE(text("INCONS_FATOS").find("Drill causará inconsistência de dados.\r\nDeseja"),
            std::string::npos);
}

TEST(MessageCatalogue, SingularAndPluralKeys) {
  EXPECT_EQ(SingularPluralKey("MAIS_DIME", NamesSeveralTables("T1")), "MAIS_DIME_S");
  EXPECT_EQ(SingularPluralKey("MAIS_DIME", NamesSeveralTables("T1,T2")), "MAIS_DIME_P");
  EXPECT_EQ(SingularPluralKey("INCONSIST", NamesSeveralTables("")), "INCONSIST_S");
}

}  // namespace
}  // namespace qmx00600
