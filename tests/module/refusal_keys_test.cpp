// The refusal keys are written down three times: the server raises them
// (appserver/refusal.h), the link decodes them (server/error_text.cpp) and
// the catalogue words them (model/message_catalogue.cpp). The module and the
// server may not include each other, so each keeps its copy and this test
// holds the three together; so too the plain text of a row changed by another
// user, which the link recognises to recover from it.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <string_view>

#include "appserver/rules/refusal.h"
#include "model/language_file.h"
#include "model/message_catalogue.h"
#include "server/error_text.h"

namespace qmx00600 {
namespace {

namespace key = appserver::key;

// The server's keys, each with the number of arguments refusal.h gives it.
const std::map<std::string_view, int> kServerKeys = {
    {key::kJDime, 2},    {key::kJFato, 2},          {key::kInvTabela, 1},   {key::kInvCampo, 2},
    {key::kNoNumber, 0}, {key::kNoDime, 0},         {key::kNotTabDrill, 1}, {key::kSemFato, 1},
    {key::kSemDime, 1},  {key::kDimeDrillMenor, 2}, {key::kCampoJa, 0},     {key::kNomeDrillJa, 0},
    {key::kInvDime, 2},  {key::kDimeDrillJa, 0},
};

// key -> text of every catalogue line whose key is one of the refusal keys;
// a key found twice is reported.
std::multimap<std::string, std::string> CatalogueTextsOfKeys() {
  std::multimap<std::string, std::string> out;
  for (const std::string& line : MessageCatalogueLines()) {
    const size_t bar = line.find('|');
    const std::string k = line.substr(0, bar);
    if (kServerKeys.count(k) != 0) out.emplace(k, line.substr(bar + 1));
  }
  return out;
}

TEST(RefusalKeys, TheLinkDecodesExactlyTheKeysTheServerSends) {
  // A key the server adds is listed here with its arguments too.
  EXPECT_EQ(std::size(key::kAll), kServerKeys.size());
  for (std::string_view k : key::kAll) EXPECT_EQ(kServerKeys.count(k), 1u) << k;
  ASSERT_EQ(kServerKeys.size(), 14u);
  std::set<std::string_view> decoded;
  for (const ErrorKey& k : ErrorKeys()) {
    EXPECT_TRUE(decoded.insert(k.key).second) << k.key << " is decoded twice";
    const auto sent = kServerKeys.find(k.key);
    if (sent == kServerKeys.end()) {
      ADD_FAILURE() << k.key << " is decoded but the server never sends it";
      continue;
    }
    EXPECT_EQ(k.arguments, sent->second) << k.key;
  }
  for (const auto& [k, arguments] : kServerKeys)
    EXPECT_EQ(decoded.count(k), 1u) << k << " is sent but not decoded";
}

TEST(RefusalKeys, EveryKeyHasOneCatalogueTextTakingItsArguments) {
  const std::multimap<std::string, std::string> texts = CatalogueTextsOfKeys();
  for (const ErrorKey& k : ErrorKeys()) {
    const std::string name(k.key);
    ASSERT_EQ(texts.count(name), 1u) << name << " needs exactly one catalogue entry";
    EXPECT_EQ(PlaceholderCount(texts.find(name)->second), k.arguments) << name;
  }
}

TEST(RefusalKeys, TheLinkRecognisesTheServersChangedMeanwhileText) {
  EXPECT_EQ(kChangedMeanwhileText, std::string_view(appserver::kChangedMeanwhile));
}

}  // namespace
}  // namespace qmx00600
