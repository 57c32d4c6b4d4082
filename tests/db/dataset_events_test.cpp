// States and events of TClientDataSet, in the order they are raised.
#include <gtest/gtest.h>

#include <algorithm>

#include "dataset_fixture.h"
#include "db/errors.h"

namespace db {
namespace {

using testing::RecordEvents;
using testing::TablePacket;
using Log = std::vector<std::string>;

class DataSetEvents : public testing::LinkedTableTest {
 protected:
  DataSetEvents() { RecordEvents(ds, src, log); }
  void Load(int rows) {
    std::vector<std::vector<std::string>> data;
    for (int i = 1; i <= rows; ++i) data.push_back({"T" + std::to_string(i), "Tabela", "N"});
    ds.SetData(TablePacket(data));
    log.clear();
  }
  std::string Code() { return ds.FieldByName("CDTABELADW")->AsString(); }
};

TEST_F(DataSetEvents, OpenRaisesAfterScrollOnlyWhenNotEmpty) {
  ds.Open();
  EXPECT_EQ(log, (Log{"BeforeOpen", "link:active", "state:browse", "link:changed", "AfterOpen"}));
  log.clear();
  ds.SetData(TablePacket({{"A", "a", "N"}}));
  EXPECT_EQ(log, (Log{"BeforeClose", "link:active", "state:inactive", "AfterClose", "BeforeOpen",
                      "link:active", "state:browse", "link:changed", "AfterOpen", "AfterScroll"}));
  EXPECT_EQ(Code(), "A");
}

TEST_F(DataSetEvents, EditInBrowse) {
  Load(2);
  ds.Edit();
  EXPECT_EQ(log, (Log{"BeforeEdit", "link:editing", "state:edit", "link:record:*", "AfterEdit"}));
  EXPECT_EQ(ds.State(), TDataSetState::dsEdit);
  log.clear();
  ds.Edit();  // already editing: nothing
  EXPECT_TRUE(log.empty());
}

TEST_F(DataSetEvents, EditOnAnEmptyDataSetInserts) {
  ds.Open();
  log.clear();
  ds.Edit();
  EXPECT_EQ(ds.State(), TDataSetState::dsInsert);
  EXPECT_EQ(log, (Log{"BeforeInsert", "BeforeScroll", "link:editing", "state:insert", "OnNewRecord",
                      "link:changed", "AfterInsert", "AfterScroll"}));
}

TEST_F(DataSetEvents, PostRunsUpdateDataThenBeforePost) {
  Load(1);
  ds.Edit();
  ds.FieldByName("NMTABELADW")->SetAsString("Nova");
  log.clear();
  ds.Post();
  EXPECT_EQ(log, (Log{"link:update", "BeforePost", "link:editing", "state:browse", "link:changed",
                      "AfterPost"}));
}

TEST_F(DataSetEvents, InsertPlacesTheRowBeforeTheCurrentAndAppendAtTheEnd) {
  Load(3);
  ds.SetRecNo(2);
  ds.Insert();
  EXPECT_EQ(ds.RecNo(), 2);
  ds.FieldByName("CDTABELADW")->SetAsString("NOVA");
  ds.Post();
  ds.First();
  std::vector<std::string> order;
  for (; !ds.Eof(); ds.Next()) order.push_back(Code());
  EXPECT_EQ(order, (std::vector<std::string>{"T1", "NOVA", "T2", "T3"}));
  ds.First();
  ds.Append();
  EXPECT_EQ(ds.RecNo(), 5);
  ds.FieldByName("CDTABELADW")->SetAsString("FIM");
  ds.Post();
  ds.Last();
  EXPECT_EQ(Code(), "FIM");
}

TEST_F(DataSetEvents, InsertPostsAPendingModifiedEditFirst) {
  Load(2);
  ds.Edit();
  ds.FieldByName("NMTABELADW")->SetAsString("Mudou");
  log.clear();
  ds.Append();
  EXPECT_EQ(log,
            (Log{"link:update", "link:update", "BeforePost", "link:editing", "state:browse",
                 "link:changed", "AfterPost", "BeforeInsert", "BeforeScroll", "link:editing",
                 "state:insert", "OnNewRecord", "link:changed", "AfterInsert", "AfterScroll"}));
  EXPECT_EQ(ds.ChangeCount(), 1);
}

TEST_F(DataSetEvents, ValuesWrittenWhileEnteringInsertAreDefaultsSoCheckBrowseModeDropsTheRow) {
  Load(1);
  src.OnStateChange = [this](rtl::TObject*) {
    if (ds.State() == TDataSetState::dsInsert) ds.FieldByName("IDDRILLDOWN")->SetAsString("N");
  };
  ds.Append();
  EXPECT_EQ(ds.FieldByName("IDDRILLDOWN")->AsString(), "N");
  EXPECT_FALSE(ds.Modified());
  ds.CheckBrowseMode();
  EXPECT_EQ(ds.RecordCount(), 1);
  EXPECT_EQ(ds.ChangeCount(), 0);

  ds.Append();
  ds.FieldByName("CDTABELADW")->SetAsString("X");
  ds.CheckBrowseMode();
  EXPECT_EQ(ds.RecordCount(), 2);
  EXPECT_EQ(ds.ChangeCount(), 1);
}

TEST_F(DataSetEvents, ThrowingBeforePostKeepsTheRowInEditWithItsValues) {
  Load(1);
  ds.BeforePost = [](TDataSet*) { throw rtl::EAbort(); };
  ds.Append();
  ds.FieldByName("CDTABELADW")->SetAsString("RECUSADA");
  EXPECT_THROW(ds.Post(), rtl::EAbort);
  EXPECT_EQ(ds.State(), TDataSetState::dsInsert);
  EXPECT_EQ(Code(), "RECUSADA");
  EXPECT_TRUE(ds.Modified());
  ds.BeforePost = nullptr;
  ds.Post();
  EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(ds.RecordCount(), 2);
}

TEST_F(DataSetEvents, CancelOfAnEditAndOfAnInsert) {
  Load(2);
  ds.Edit();
  ds.FieldByName("NMTABELADW")->SetAsString("Outro");
  log.clear();
  ds.Cancel();
  EXPECT_EQ(log,
            (Log{"BeforeCancel", "link:editing", "state:browse", "link:changed", "AfterCancel"}));
  EXPECT_EQ(ds.FieldByName("NMTABELADW")->AsString(), "Tabela");

  ds.Last();
  ds.Insert();
  log.clear();
  ds.Cancel();
  EXPECT_EQ(log, (Log{"BeforeCancel", "BeforeScroll", "link:editing", "state:browse",
                      "link:changed", "AfterCancel", "AfterScroll"}));
  EXPECT_EQ(ds.RecordCount(), 2);
  EXPECT_EQ(Code(), "T2");  // back on the row the insert stood before
}

TEST_F(DataSetEvents, DeleteOrderAndItsSpecialCases) {
  Load(3);
  ds.SetRecNo(2);
  log.clear();
  ds.Delete();
  EXPECT_EQ(log,
            (Log{"BeforeDelete", "BeforeScroll", "link:changed", "AfterDelete", "AfterScroll"}));
  EXPECT_EQ(Code(), "T3");
  EXPECT_EQ(ds.RecordCount(), 2);

  ds.Append();
  log.clear();
  ds.Delete();  // in insert state a delete is a cancel
  EXPECT_EQ(log.front(), "BeforeCancel");
  EXPECT_EQ(ds.RecordCount(), 2);

  ds.Delete();
  ds.Delete();
  EXPECT_TRUE(ds.IsEmpty());
  EXPECT_THROW(ds.Delete(), EDatabaseError);
}

TEST_F(DataSetEvents, TheFirstMovePastAnEndScrollsInPlaceAndSetsTheFlag) {
  Load(2);
  ds.SetRecNo(2);
  log.clear();
  ds.Next();
  EXPECT_EQ(log, (Log{"BeforeScroll", "link:scrolled", "AfterScroll"}));
  EXPECT_TRUE(ds.Eof());
  EXPECT_EQ(Code(), "T2");
  ds.SetRecNo(1);
  log.clear();
  EXPECT_EQ(ds.MoveBy(-3), 0);
  EXPECT_EQ(log, (Log{"BeforeScroll", "link:scrolled", "AfterScroll"}));
  EXPECT_TRUE(ds.Bof());
  EXPECT_EQ(ds.RecNo(), 1);
}

// Every way of moving on towards an end already reached: no scroll, no event.
TEST_F(DataSetEvents, MovesTowardsAnEndAlreadyReachedAreNoMoves) {
  Load(3);
  ds.Last();
  log.clear();
  ds.Next();
  ds.Last();
  EXPECT_EQ(ds.MoveBy(5), 0);
  ds.SetRecNo(3);
  EXPECT_EQ(log, Log{});
  EXPECT_TRUE(ds.Eof());
  EXPECT_EQ(Code(), "T3");

  ds.First();
  log.clear();
  ds.Prior();
  ds.First();
  EXPECT_EQ(ds.MoveBy(-5), 0);
  ds.SetRecNo(1);
  EXPECT_EQ(log, Log{});
  EXPECT_TRUE(ds.Bof());

  // The other way is still a move, and a move clears the flag.
  EXPECT_EQ(ds.MoveBy(5), 2);
  EXPECT_TRUE(ds.Eof());
  EXPECT_EQ(log, (Log{"BeforeScroll", "link:scrolled", "AfterScroll"}));
  ds.Prior();
  EXPECT_FALSE(ds.Eof());
  EXPECT_EQ(Code(), "T2");
}

TEST_F(DataSetEvents, ANoMoveAtAnEndStillPostsTheEdit) {
  Load(2);
  ds.Last();
  ds.Edit();
  ds.FieldByName("NMTABELADW")->SetAsString("Mudou");
  log.clear();
  ds.Next();
  EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(ds.ChangeCount(), 1);
  EXPECT_EQ(std::count(log.begin(), log.end(), "AfterScroll"), 0);
}

TEST_F(DataSetEvents, AMoveDropsAnUnmodifiedEditAndPostsAModifiedOne) {
  Load(2);
  ds.Edit();
  log.clear();
  ds.Next();
  EXPECT_EQ(log.front(), "link:update");
  EXPECT_EQ(log[1], "BeforeCancel");
  ds.Edit();
  ds.FieldByName("NMTABELADW")->SetAsString("X");
  ds.First();
  EXPECT_EQ(ds.ChangeCount(), 1);
  ds.Last();
  EXPECT_EQ(ds.FieldByName("NMTABELADW")->AsString(), "X");
}

TEST_F(DataSetEvents, ThrowingNewRecordHandlerUndoesTheInsert) {
  Load(1);
  ds.OnNewRecord = [](TDataSet*) { throw rtl::EAbort(); };
  EXPECT_THROW(ds.Append(), rtl::EAbort);
  EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(ds.RecordCount(), 1);
}

TEST_F(DataSetEvents, WrongStateOperationsAreRefused) {
  EXPECT_THROW(ds.Edit(), EDatabaseError);  // closed
  EXPECT_THROW(ds.Next(), EDatabaseError);
  Load(1);
  EXPECT_THROW(ds.Post(), EDatabaseError);  // browse
  EXPECT_THROW(ds.SetRecNo(5), EDatabaseError);
  EXPECT_THROW(ds.AddStringField("X", 1), EDatabaseError);  // open
  ds.Edit();
  ds.Close();  // drops the edit
  EXPECT_EQ(ds.State(), TDataSetState::dsInactive);
  TClientDataSet bare(nullptr);
  EXPECT_THROW(bare.Open(), EDatabaseError);  // no fields, no data
}

TEST_F(DataSetEvents, EmptyOrNullDataClosesTheDataSet) {
  Load(1);
  ds.SetData(rtl::Variant());
  EXPECT_FALSE(ds.Active());
  EXPECT_EQ(log.back(), "AfterClose");
  EXPECT_TRUE(ds.Data().IsNull());
}

}  // namespace
}  // namespace db
