#include "appserver/tools/history_report.h"

#include "appserver/storage/json_text.h"
#include "appserver/tools/text_table.h"
#include "rtl/strings.h"

namespace appserver {
namespace {

// A value as the text report quotes it: a JSON string, with what JSON lets
// through raw (DEL, C1 controls, line separators, reordering marks) escaped
// as well, so that a value never acts on the terminal.
std::string Quoted(const std::string& value) {
  return rtl::EscapeControls(JsonString(value), rtl::Backslashes::kKept);
}

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
        add(std::string(name) + ": " + Quoted((*e.before)[c]) + " → " + Quoted((*e.after)[c]));
    } else if (const auto& r = e.after ? e.after : e.before; r && !(*r)[c].empty()) {
      add(std::string(name) + "=" + Quoted((*r)[c]));
    }
  }
  return out;
}

const Record& AnyRecord(const HistoryEntry& e) {
  return e.after ? *e.after : *e.before;
}

// Every field as the text report shows it: on one line, acting on nothing.
std::string Shown(const std::string& text) {
  return text.empty() ? "-" : rtl::EscapeControls(text);
}

}  // namespace

std::string HistoryText(const std::vector<HistoryEntry>& entries) {
  if (entries.empty()) return "Nenhuma alteração registrada.\n";
  std::vector<std::vector<std::string>> rows;
  for (const HistoryEntry& e : entries)
    rows.push_back({Shown(e.when), Shown(e.origin.server), Shown(e.origin.peer_address),
                    Shown(e.origin.user_name), Shown(e.origin.method), ChangeKindTitle(e.kind),
                    EntityTitle(e.entity), Shown(HistoryKey(e.entity, AnyRecord(e))), Changes(e)});
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
