// JSON text: strings written with the escapes JSON requires, and flat
// objects and arrays of strings read back (what the history keeps per row).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace appserver {

// `text` as a quoted JSON string; bytes that are not control characters pass
// unchanged, so UTF-8 stays UTF-8.
std::string JsonString(std::string_view text);
void AppendJsonString(std::string& out, std::string_view text);

using JsonFields = std::vector<std::pair<std::string, std::string>>;

// {"A":"x","B":"y"} in member order; nullopt unless the text is exactly one
// object whose values are all strings.
std::optional<JsonFields> ParseJsonObject(std::string_view text);
// The inverse of ParseJsonObject.
std::string JsonObject(const JsonFields& fields);

// ["x","y"]; nullopt unless the text is exactly one array of strings.
std::optional<std::vector<std::string>> ParseJsonArray(std::string_view text);
std::string JsonArray(const std::vector<std::string>& items);

}  // namespace appserver
