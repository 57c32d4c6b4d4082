#include "orb/local_cache.h"

#include <gtest/gtest.h>

#include "orb/server_result.h"
#include "rtl/exceptions.h"

namespace orb {
namespace {

class LocalCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearLocalCacheChanges();
    SetLocalCacheHook(nullptr);
  }
  void TearDown() override { SetUp(); }
};

TEST_F(LocalCacheTest, RecordsEachEntityAndCallsTheHook) {
  std::vector<std::string> told;
  SetLocalCacheHook([&](const std::string& e) { told.push_back(e); });
  AtualizaLocalCache(rtl::VarArrayOf({"ITEMDW"}));
  AtualizaLocalCache(rtl::VarArrayOf({"ITEMDRILL", "ITEMDW"}));
  AtualizaLocalCache(rtl::Variant("ITEMDW"));
  EXPECT_EQ(LocalCacheChanges(),
            (std::vector<std::string>{"ITEMDW", "ITEMDRILL", "ITEMDW", "ITEMDW"}));
  EXPECT_EQ(told, LocalCacheChanges());
  EXPECT_EQ(LocalCacheChangeCount("ITEMDW"), 3);
  EXPECT_EQ(LocalCacheChangeCount("ITEMDRILL"), 1);
  EXPECT_EQ(LocalCacheChangeCount("OUTRA"), 0);
}

TEST_F(LocalCacheTest, RefusesWhatIsNotAListOfNamesAndRecordsNothing) {
  EXPECT_THROW(AtualizaLocalCache(rtl::Variant()), rtl::Exception);
  EXPECT_THROW(AtualizaLocalCache(rtl::Variant(5)), rtl::Exception);
  EXPECT_THROW(AtualizaLocalCache(rtl::VarArrayOf({"ITEMDW", 3})), rtl::Exception);
  EXPECT_THROW(AtualizaLocalCache(rtl::VarArrayOf({"ITEMDW", ""})), rtl::Exception);
  EXPECT_THROW(AtualizaLocalCache(rtl::Variant::ByteArray({1, 2})), rtl::Exception);
  EXPECT_TRUE(LocalCacheChanges().empty());
}

TEST(CheckResultServ, TellsAnErrorReportFromAnyOtherResultAndLeavesItAlone) {
  const rtl::Variant report = rtl::VarArrayOf({"INV_TABELAFATO1"});
  const rtl::Variant copy = report;
  EXPECT_FALSE(CheckResultServ(report, true, 0));
  EXPECT_EQ(report, copy);
  EXPECT_TRUE(CheckResultServ(rtl::Variant(), true, 0));
  EXPECT_TRUE(CheckResultServ(rtl::Variant::Null(), true, 0));
  EXPECT_TRUE(CheckResultServ(rtl::Variant::ByteArray({1, 2, 3}), true, 0));
  EXPECT_TRUE(CheckResultServ(rtl::VarArrayOf({rtl::Variant::ByteArray({1})}), true, 0));
  EXPECT_TRUE(CheckResultServ(rtl::VarArrayOf({1, "texto"}), true, 0));
  EXPECT_FALSE(CheckResultServ(rtl::VarArrayOf({1, "texto"}), true, 1));
  EXPECT_TRUE(CheckResultServ(rtl::VarArrayOf({}), true, 0));
  EXPECT_TRUE(CheckResultServ(report, true, 1));
  EXPECT_TRUE(CheckResultServ(report, true, -1));
}

}  // namespace
}  // namespace orb
