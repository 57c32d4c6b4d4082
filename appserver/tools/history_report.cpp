#include "appserver/tools/history_report.h"

#include "appserver/storage/json_text.h"
#include "appserver/tools/text_table.h"

namespace appserver {
namespace {

// What a change did, column by column: the values inserted or removed, or
// each changed column with its old and new value.
std::string Changes(const HistoryEntry& e) {
  const EntityDef& def = Describe(e.entity);
  std::string out;
  auto add = [&](std::string item) { out += (out.empty() ? "" : "; ") + item; };
  for (size_t c = 0; c < def.columns.size(); ++c) {
    const char* name = def.columns[c].name;
    if (e.before && e.after) {
      if ((*e.before)[c] != (*e.after)[c])
        add(std::string(name) + ": " + JsonString((*e.before)[c]) + " → " +
            JsonString((*e.after)[c]));
    } else if (const auto& r = e.after ? e.after : e.before; r && !(*r)[c].empty()) {
      add(std::string(name) + "=" + JsonString((*r)[c]));
    }
  }
  return out;
}

const Record& AnyRecord(const HistoryEntry& e) {
  return e.after ? *e.after : *e.before;
}

std::string OrDash(const std::string& text) {
  return text.empty() ? "-" : text;
}

}  // namespace

std::string HistoryText(const std::vector<HistoryEntry>& entries) {
  if (entries.empty()) return "Nenhuma alteração registrada.\n";
  std::vector<std::vector<std::string>> rows;
  for (const HistoryEntry& e : entries)
    rows.push_back({e.when, OrDash(e.origin.server), OrDash(e.origin.peer_address),
                    OrDash(e.origin.user_name), e.origin.method, ChangeKindTitle(e.kind),
                    EntityTitle(e.entity), HistoryKey(e.entity, AnyRecord(e)), Changes(e)});
  return FormatTextTable({"Quando (UTC)", "Servidor", "Conexão", "Usuário", "Método", "Operação",
                          "Entidade", "Chave", "Valores"},
                         rows);
}

std::string HistoryJson(const std::vector<HistoryEntry>& entries) {
  std::string out = "[";
  for (size_t i = 0; i < entries.size(); ++i) {
    const HistoryEntry& e = entries[i];
    out += i ? ",\n " : "\n ";
    out += "{\"id\":" + std::to_string(e.id) + ",\"quando\":" + JsonString(e.when) +
           ",\"servidor\":" + JsonString(e.origin.server) +
           ",\"conexao\":" + JsonString(e.origin.peer_address) +
           ",\"usuario\":" + JsonString(e.origin.user_name) +
           ",\"metodo\":" + JsonString(e.origin.method) +
           ",\"operacao\":" + JsonString(ChangeKindTitle(e.kind)) +
           ",\"entidade\":" + JsonString(EntityTitle(e.entity)) +
           ",\"tabela\":" + JsonString(HistoryTable(e.entity, AnyRecord(e))) +
           ",\"chave\":" + JsonString(HistoryKey(e.entity, AnyRecord(e))) +
           ",\"antes\":" + (e.before ? RecordObject(e.entity, *e.before) : "null") +
           ",\"depois\":" + (e.after ? RecordObject(e.entity, *e.after) : "null") + "}";
  }
  return out + (entries.empty() ? "]\n" : "\n]\n");
}

}  // namespace appserver
