// Data sources and links: state changes, focus and safe destruction.
#include <gtest/gtest.h>

#include <memory>

#include "dataset_fixture.h"

namespace db {
namespace {

using Log = std::vector<std::string>;

TEST(DataSource, StateChangeOnEveryStateChangeAndOnRepointing) {
  TClientDataSet a(nullptr), b(nullptr);
  testing::DeclareTableFields(a);
  testing::DeclareTableFields(b);
  b.Open();
  TDataSource src(nullptr);
  Log log;
  src.OnStateChange = [&](rtl::TObject* sender) {
    EXPECT_EQ(sender, &src);
    log.push_back(testing::StateName(src.State()));
  };
  src.SetDataSet(&a);
  a.Open();
  a.Append();
  a.Cancel();
  a.Edit();  // empty: inserts
  a.FieldByName("CDTABELADW")->SetAsString("X");
  a.Post();
  a.Edit();
  a.Post();
  a.Close();
  src.SetDataSet(&b);
  EXPECT_EQ(log, (Log{"inactive", "browse", "insert", "browse", "insert", "browse", "edit",
                      "browse", "inactive", "browse"}));
}

TEST(DataSource, FocusControlReachesTheLinkThatTakesIt) {
  TClientDataSet ds(nullptr);
  testing::DeclareTableFields(ds);
  ds.Open();
  TDataSource src(nullptr);
  src.SetDataSet(&ds);
  Log log;
  testing::RecordingLink label(&log), grid(&log);
  label.SetDataSource(&src);
  grid.SetDataSource(&src);
  grid.take_focus = true;
  TField* f = ds.FieldByName("NMTABELADW");
  f->FocusControl();
  EXPECT_EQ(label.focused, f);  // asked first, declined
  EXPECT_EQ(grid.focused, f);
}

TEST(DataSource, LinksFollowActivationAndDetachment) {
  TClientDataSet ds(nullptr);
  testing::DeclareTableFields(ds);
  TDataSource src(nullptr);
  Log log;
  testing::RecordingLink link(&log);
  link.SetDataSource(&src);
  EXPECT_FALSE(link.Active());
  src.SetDataSet(&ds);
  ds.Open();
  EXPECT_TRUE(link.Active());
  EXPECT_EQ(link.DataSet(), &ds);
  log.clear();
  link.SetDataSource(nullptr);
  EXPECT_EQ(log, (Log{"link:active"}));
  EXPECT_TRUE(src.Links().empty());
}

TEST(DataSource, DestroyingTheDataSetFirstLeavesSourcesAndLinksSafe) {
  auto ds = std::make_unique<TClientDataSet>(nullptr);
  testing::DeclareTableFields(*ds);
  ds->Open();
  TDataSource src(nullptr);
  src.SetDataSet(ds.get());
  Log log;
  testing::RecordingLink link(&log);
  link.SetDataSource(&src);
  int changes = 0;
  src.OnStateChange = [&](rtl::TObject*) { ++changes; };
  ds.reset();
  EXPECT_EQ(src.DataSet(), nullptr);
  EXPECT_EQ(src.State(), TDataSetState::dsInactive);
  EXPECT_FALSE(link.Active());
  EXPECT_EQ(changes, 1);
}

TEST(DataSource, DestroyingTheSourceFirstDetachesItFromDataSetAndLinks) {
  TClientDataSet ds(nullptr);
  testing::DeclareTableFields(ds);
  ds.Open();
  Log log;
  testing::RecordingLink link(&log);
  {
    TDataSource src(nullptr);
    src.SetDataSet(&ds);
    link.SetDataSource(&src);
    EXPECT_EQ(ds.DataSources().size(), 1u);
  }
  EXPECT_TRUE(ds.DataSources().empty());
  EXPECT_EQ(link.DataSource(), nullptr);
  ds.Append();  // nobody left to notify, nothing dangling
  ds.Cancel();
}

TEST(DataSource, OwnerDestroysDataSetAndSourceInEitherOrder) {
  for (bool source_first : {false, true}) {
    auto owner = std::make_unique<rtl::TComponent>(nullptr);
    TDataSource* src = nullptr;
    TClientDataSet* ds = nullptr;
    if (source_first) src = new TDataSource(owner.get());
    ds = new TClientDataSet(owner.get());
    if (!source_first) src = new TDataSource(owner.get());
    testing::DeclareTableFields(*ds);
    ds->Open();
    src->SetDataSet(ds);
    Log log;
    testing::RecordingLink link(&log);
    link.SetDataSource(src);
    owner.reset();  // last created destroyed first
    EXPECT_EQ(link.DataSource(), nullptr);
  }
}

TEST(DataSource, ALinkDestroyedFirstLeavesTheSource) {
  TDataSource src(nullptr);
  Log log;
  {
    testing::RecordingLink link(&log);
    link.SetDataSource(&src);
  }
  EXPECT_TRUE(src.Links().empty());
}

}  // namespace
}  // namespace db
