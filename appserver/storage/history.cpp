#include "appserver/storage/history.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iterator>

#include "appserver/storage/json_text.h"

namespace appserver {

std::string HistoryTable(Entity entity, const Record& record) {
  if (entity == Entity::kDataMart || entity == Entity::kDimension || record.empty()) return {};
  return record[0];
}

std::string HistoryKey(Entity entity, const Record& record) {
  const EntityDef& def = Describe(entity);
  std::string key;
  for (int k = 0; k < def.key_columns && k < static_cast<int>(record.size()); ++k)
    key += (k ? "." : "") + record[k];
  return key;
}

std::string EncodeRecord(const Record& record) {
  return JsonArray(record);
}

std::optional<Record> DecodeRecord(Entity entity, std::string_view text) {
  auto values = ParseJsonArray(text);
  if (!values || values->size() != Describe(entity).columns.size()) return std::nullopt;
  return std::move(*values);
}

std::string RecordObject(Entity entity, const Record& record) {
  const EntityDef& def = Describe(entity);
  JsonFields fields;
  for (size_t c = 0; c < def.columns.size() && c < record.size(); ++c)
    fields.emplace_back(def.columns[c].name, record[c]);
  return JsonObject(fields);
}

std::optional<HistoryEntry> HistoryEntryOfRow(const std::vector<std::string>& row) {
  if (row.size() != 10) return std::nullopt;
  HistoryEntry e;
  char* end = nullptr;
  e.id = std::strtoll(row[0].c_str(), &end, 10);
  auto entity = EntityOfTable(row[5]);
  auto kind = ChangeKindOfCode(row[6]);
  if (row[0].empty() || *end || !entity || !kind) return std::nullopt;
  e.when = row[1];
  e.origin = {row[2], row[3], row[4], row[9]};
  e.entity = *entity;
  e.kind = *kind;
  for (auto [column, target] : {std::pair{7, &e.before}, std::pair{8, &e.after}}) {
    if (row[column].empty()) continue;
    *target = DecodeRecord(e.entity, row[column]);
    if (!*target) return std::nullopt;
  }
  if (!e.before && !e.after) return std::nullopt;
  return e;
}

std::optional<Entity> EntityOfTable(std::string_view sql_table) {
  for (Entity e : kAllEntities)
    if (sql_table == Describe(e).sql_table) return e;
  return std::nullopt;
}

namespace {

// Titles in the order of Entity.
constexpr const char* kEntityTitles[] = {"Tabela",
                                         "Fato",
                                         "Dimensão",
                                         "Fato drill",
                                         "Dimensão drill",
                                         "Data Mart",
                                         "Cadastro de dimensão",
                                         "Versão de tabela",
                                         "Conta"};
static_assert(std::size(kEntityTitles) == std::size(kAllEntities));

// In the order of ChangeKind: the code stored and the title shown.
struct ChangeKindName {
  char code;
  const char* title;
};
constexpr ChangeKindName kChangeKinds[] = {
    {'I', "Inclusão"}, {'A', "Alteração"}, {'E', "Exclusão"}};

}  // namespace

const char* EntityTitle(Entity entity) {
  return kEntityTitles[static_cast<size_t>(entity)];
}

const char* ChangeKindTitle(ChangeKind kind) {
  return kChangeKinds[static_cast<size_t>(kind)].title;
}

char ChangeKindCode(ChangeKind kind) {
  return kChangeKinds[static_cast<size_t>(kind)].code;
}

std::optional<ChangeKind> ChangeKindOfCode(std::string_view code) {
  for (size_t k = 0; k < std::size(kChangeKinds); ++k)
    if (code.size() == 1 && code[0] == kChangeKinds[k].code) return static_cast<ChangeKind>(k);
  return std::nullopt;
}

std::string UtcNow() {
  auto now = std::chrono::system_clock::now();
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
  std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm tm{};
  gmtime_r(&seconds, &tm);
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                static_cast<int>(ms % 1000));
  return text;
}

std::optional<std::string> NormaliseSince(std::string_view text) {
  // Digits where the pattern has '9'; 'T' accepts a blank too.
  static constexpr std::string_view kPattern = "9999-99-99T99:99:99";
  if (text.size() != 10 && text.size() != 16 && text.size() != 19) return std::nullopt;
  std::string out(text);
  for (size_t i = 0; i < out.size(); ++i) {
    char p = kPattern[i];
    if (p == '9' && (out[i] < '0' || out[i] > '9')) return std::nullopt;
    if (p == 'T' && out[i] == ' ') out[i] = 'T';
    if (p != '9' && out[i] != p) return std::nullopt;
  }
  int month = (out[5] - '0') * 10 + (out[6] - '0');
  int day = (out[8] - '0') * 10 + (out[9] - '0');
  if (month < 1 || month > 12 || day < 1 || day > 31) return std::nullopt;
  return out;
}

}  // namespace appserver
