#include "model/message_catalogue.h"

namespace qmx00600 {

const std::vector<std::string>& MessageCatalogueLines() {
  // Texts as shown; "\r\n" is a line break the text holds. Four captions begin
  // with a blank so they stand off their panel's edge.
  static const std::vector<std::string> lines = {
      "Excl|Confirma exclusão?",
      "CD_DEVE|Código deve ser informado.",
      "NM_DEVE|Nome deve ser informado.",
      "CP_DEVE|Campo deve ser informado.",
      "AREA_DEVE|Data Mart deve ser informado.",
      "CD_JCAD|Código já cadastrado.",
      "NM_JCAD|Nome já cadastrado.",
      "CP_JCAD|Campo já cadastrado.",
      "AREA_NCAD|Data Mart não cadastrado.",
      "M|Moeda",
      "P|Percentual",
      "Q|Quantidade",
      "I|Número inteiro",
      "AreaNegDW|Data Mart",
      "DimeDime|Dimensão",
      "DIME_NCAD|Dimensão não cadastrada.",
      "DM_JCAD|Dimensão já cadastrada.",
      "DM_DEVE|Dimensão deve ser informada.",
      "N_FATOS|Não há campos disponíveis para a criação de fatos.",
      "N_DIME|Não há campos disponíveis para a criação de dimensões.",
      "FIELDS|Campos",
      "GetAtualiza|Recebendo dados do servidor",
      "SetAtualiza|Atualizando dados no servidor",
      "GetValida|Validando dados no servidor",
      "CD_JCAD_DRILL|Código já cadastrado para tabela Drill.",
      "CD_JCAD_FATO|Código já cadastrado para tabela fato.",
      "REG_LOCALIZADO_S|A tabela \"%S\" utiliza esta tabela como Drill.\r\nAo excluir o drill, "
      "esta referência deixará de existir.\r\nDeseja continuar?",
      "INCONS_FATOS|A exclusão de todos os fatos em Tabela Drill causará inconsistência de "
      "dados.\r\nDeseja continuar?",
      "INCONS_DIME|A exclusão dimensões em Tabela Drill poderá causar inconsistência de "
      "dados.\r\nDeseja continuar?",
      "ALERTA|Alerta",
      "INCONSIST_S|A exclusão desta dimensão fará com que a tabela \"%S\" perca este "
      "drill.\r\nDeseja continuar?",
      "MAIS_DIME_S|A tabela \"%S\" terá dimensões inconsistentes com a tabela drill "
      "\"%S\".\r\nConfirma Inclusão?",
      "N_DRILL|Não há tabela de drill cadastrada.",
      "DRILL|Tabelas Drill",
      "REG_LOCALIZADO_P|A tabelas \"%S\" utilizam esta tabela como Drill.\r\nAo excluir o drill, "
      "esta referência deixará de existir.\r\nDeseja continuar?",
      "INCONSIST_P|A exclusão desta dimensão fará com que as tabelas %S percam este "
      "drill.\r\nDeseja continuar?",
      "MAIS_DIME_P|A tabela \"%S\" terá dimensões inconsistentes com as tabelas drill "
      "\"%S\".\r\nConfirma Inclusão?",
      "TIPO_DEVE|Tipo deve ser informado.",
      "FATOS| Fatos",
      "FATOS_DRILL| Fatos Drill",
      "DIMENSOES| Dimensões",
      "DIMENSOES_DRILL| Dimensões Drill",
      "INV_TABELA|Tabela \"%S\" inválida.",
      "INV_CAMPO|Campo \"%S\" inválido para a tabela \"%S\".",
      "NO_NUMBER|Tipo de campo inválido. Só são aceitos campos do tipo numérico. (Integer, Number, "
      "Float)",
      "NO_DIME|Tipo de campo não permitido para constituir uma dimensão.",
      "J_FATO|O campo \"%s\" da tabela \"%s\" já está cadastrado como  fato.",
      "J_DIME|O campo \"%s\" da tabela \"%s\" já está cadastrado como  dimensão.",
      "SEM_FATO|Não há fatos cadastrados para a tabela \"%S\".",
      "SEM_DIME|Não há dimensões cadastradas para a tabela \"%S\".",
      "DIME_DRILL_MENOR|As dimensões da Tabela Drill \"%S\" são incompatíveis com as dimensões da "
      "tabela \"%S\".",
      "NOT_TAB_DRILL|A tabela \"%S\" deve estar cadastrada como tabela Drill.",
      "NOME_JA|Nome de fato já cadastrado.",
      "teste1|dimensões se tornarão incompatíveis",
      "CAMPO_JA|Campo já cadastrado.",
      "NOME_DRILL_JA|Nome já cadastrado.",
      "INV_DIME|Dimensão \"%S\" inválida para a tabela \"%S\".",
      "DIME_DRILL_JA|Dimensão já cadastrada.",
      "INCONS_UPD_DIME2|A alteração desta dimensão poderá anular a funcionalidade de drill down da "
      "tabela fato. A ligação com as tabelas %s será afetada.\r\nDeseja continuar?",
      "AND|e",
      "INCONS_UPD_DIME1|A alteração desta dimensão poderá anular a funcionalidade de drill down da "
      "tabela fato. A ligação com a tabela %s será afetada.\r\nDeseja continuar?",
      "UPD_TAB_C_FATO|Não é permitido alterar códigos de tabelas que possuam fatos.",
      "UPD_TAB_C_DIME|Não é permitido alterar códigos de tabelas que possuam dimensões.",
      "Tabela_Sem_Fato|Tabela sem fato cadastrado.",
  };
  return lines;
}

std::string SingularPluralKey(std::string_view base, bool several) {
  return std::string(base) + (several ? "_P" : "_S");
}

}  // namespace qmx00600
