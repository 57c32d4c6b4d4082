// Language files: their form, the checks on each entry, where they are
// looked for, and a screen showing the translated texts.
#include <gtest/gtest.h>

#include <map>

#include "linked_screen.h"
#include "model/language_file.h"
#include "model/message_catalogue.h"
#include "model/screen_catalogue.h"
#include "module/language_resource.h"

namespace qmx00600 {
namespace {

const std::vector<std::string>& Catalogue() {
  return MessageCatalogueLines();
}

TEST(LanguageFile, EntriesReplaceTextsWithEscapesAndChecks) {
  const std::string content =
      "# English\r\n"
      "\n"
      "Excl|Delete?\r\n"
      "REG_LOCALIZADO_S|Table \"%S\" drills here.\\r\\nContinue?\n"
      "INV_CAMPO|Field \"%S\" invalid\n"  // one placeholder of two
      "NADA|unknown key\n"
      "|no key\n"
      "no bar at all\n"
      "FATOS|\n"                    // empty
      "AND|a\\q\n"                  // bad escape
      "CD_DEVE|\xC3\x28 broken\n"   // not UTF-8
      "NO_DIME|100% not allowed\n"  // a mark Format cannot fill
      "M|Currency\n"
      "M|Money";
  LanguageFile f = ParseLanguageFile(content, Catalogue());
  ASSERT_EQ(f.entries.size(), 3u);
  EXPECT_EQ(f.entries[0].key, "Excl");
  EXPECT_EQ(f.entries[1].text, "Table \"%S\" drills here.\r\nContinue?");
  EXPECT_EQ(f.entries[2].key, "M");
  EXPECT_EQ(f.entries[2].text, "Money");
  std::vector<int> rejected;
  for (const RejectedLine& r : f.rejected) rejected.push_back(r.line);
  EXPECT_EQ(rejected, (std::vector<int>{5, 6, 7, 8, 9, 10, 11, 12}));

  const std::vector<std::string> lines = ApplyLanguage(Catalogue(), f.entries);
  ASSERT_EQ(lines.size(), Catalogue().size());
  EXPECT_EQ(lines[0], "Excl|Delete?");
  EXPECT_EQ(lines[1], Catalogue()[1]);
  EXPECT_EQ(lines[9], "M|Money");
}

TEST(LanguageFile, PlaceholdersAreCountedWithoutPercentSigns) {
  EXPECT_EQ(PlaceholderCount("a %s b %S"), 2);
  EXPECT_EQ(PlaceholderCount("100%% %s"), 1);
  EXPECT_EQ(PlaceholderCount("%"), 0);
  EXPECT_TRUE(IsFillableText("100%% %s"));
  EXPECT_FALSE(IsFillableText("100% sure"));
  EXPECT_FALSE(IsFillableText("ends with %"));
  for (const std::string& line : Catalogue()) EXPECT_TRUE(IsFillableText(line)) << line;
}

TEST(LanguageResource, LooksBesideTheModuleForTheEnvironmentsLanguage) {
  auto env = [](std::map<std::string, std::string> vars) {
    return [vars](const char* name) -> const char* {
      auto it = vars.find(name);
      return it == vars.end() ? nullptr : it->second.c_str();
    };
  };
  EXPECT_EQ(LanguageFromEnvironment(env({{"LANG", "en_US.UTF-8"}})), "en_US");
  EXPECT_EQ(LanguageFromEnvironment(env({{"QMX_LANG", "es"}, {"LANG", "en_US"}})), "es");
  EXPECT_EQ(LanguageFromEnvironment(env({{"LC_ALL", ""}, {"LANG", "de_DE@euro"}})), "de_DE");
  EXPECT_EQ(LanguageFromEnvironment(env({{"LANG", "C.UTF-8"}})), "");
  EXPECT_EQ(LanguageFromEnvironment(env({{"QMX_LANG", "../../etc"}})), "");
  EXPECT_EQ(LanguageFromEnvironment(env({})), "");

  EXPECT_EQ(LanguageFileCandidates("/opt/qmx/lib/PKG_QMX00600.so", "en_US"),
            (std::vector<std::string>{"/opt/qmx/lib/PKG_QMX00600.en_US.msg",
                                      "/opt/qmx/lib/PKG_QMX00600.en.msg"}));
  EXPECT_EQ(LanguageFileCandidates("PKG_QMX00600.so", "es"),
            (std::vector<std::string>{"PKG_QMX00600.es.msg"}));
  EXPECT_TRUE(LanguageFileCandidates("/x/PKG_QMX00600.so", "").empty());
}

TEST(LanguageResource, TheScreenShowsTheTranslationItWasCreatedWith) {
  LanguageFile f = ParseLanguageFile("GetAtualiza|Receiving data\nFATOS| Facts\n", Catalogue());
  SetCatalogueTranslation(f.entries);
  {
    qmxtest::ScreenHarness h;
    qmx00600::TfrmEstrutura& s = qmxtest::OpenLinkedScreen(h);
    EXPECT_EQ(s.msgPadrao->Msg("GetAtualiza"), "Receiving data");
    EXPECT_EQ(s.msgPadrao->Msg("FATOS"), " Facts");
    EXPECT_EQ(s.msgPadrao->Msg("SetAtualiza"), "Atualizando dados no servidor");
    EXPECT_EQ(s.msgPadrao->Count(), 64);
    ASSERT_FALSE(h.ui().BusyLog().empty());
    EXPECT_EQ(h.ui().BusyLog().front().caption, "Receiving data");
  }
  SetCatalogueTranslation({});
}

}  // namespace
}  // namespace qmx00600
