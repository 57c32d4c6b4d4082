// Handing the last post back to the editor after a save that failed.
#include <gtest/gtest.h>

#include <functional>

#include "dataset_fixture.h"
#include "rtl/exceptions.h"

namespace db {
namespace {

using testing::RecordEvents;
using testing::TablePacket;
using Log = std::vector<std::string>;

class ReopenPost : public testing::LinkedTableTest {
 protected:
  ReopenPost() {
    ds.SetData(TablePacket({{"A", "Alfa", "N"}, {"B", "Beta", "N"}, {"C", "Gama", "N"}}));
  }
  std::string Value(const char* field) { return ds.FieldByName(field)->AsString(); }
  std::vector<std::string> Codes() {
    std::vector<std::string> codes;
    Packet p = PacketFromVariant(ds.Data());
    for (const PacketRow& r : p.rows) codes.push_back(r.values[0].value_or("(nulo)"));
    return codes;
  }
  void Type(const char* code, const char* name) {
    ds.FieldByName("CDTABELADW")->SetAsString(code);
    ds.FieldByName("NMTABELADW")->SetAsString(name);
  }
};

TEST_F(ReopenPost, AnInsertComesBackAsTheSameNewRowWithWhatWasTyped) {
  ds.Next();
  ds.Insert();  // before B
  Type("NOVA", "Nova tabela");
  ds.Post();
  ASSERT_EQ(ds.ChangeCount(), 1);
  ASSERT_TRUE(ds.CanReopenLastPost());
  RecordEvents(ds, src, log);
  log.clear();

  ASSERT_TRUE(ds.ReopenLastPost());
  EXPECT_EQ(ds.State(), TDataSetState::dsInsert);
  EXPECT_EQ(ds.ChangeCount(), 0);
  EXPECT_TRUE(ds.Modified());
  EXPECT_EQ(ds.RecNo(), 2);
  EXPECT_EQ(Value("CDTABELADW"), "NOVA");
  EXPECT_EQ(Value("NMTABELADW"), "Nova tabela");
  EXPECT_EQ(ds.FieldByName("IDDRILLDOWN")->Value(), rtl::Variant::Null());
  // Only the state change reaches the sources: no insert or new-record event
  // writes defaults over the typed values.
  EXPECT_EQ(log, (Log{"link:editing", "state:insert", "link:changed"}));
  // Nothing of it is in a packet until it is posted again.
  EXPECT_EQ(PacketFromVariant(ds.Delta()).rows.size(), 0u);
  EXPECT_FALSE(ds.CanReopenLastPost());

  ds.Post();
  EXPECT_EQ(Codes(), (std::vector<std::string>{"A", "NOVA", "B", "C"}));
  EXPECT_EQ(ds.ChangeCount(), 1);
  ASSERT_TRUE(ds.ReopenLastPost());
  ds.Cancel();
  EXPECT_EQ(Codes(), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(ds.ChangeCount(), 0);
}

TEST_F(ReopenPost, AnEditComesBackOverTheRowAsItWasBefore) {
  ds.Edit();
  ds.FieldByName("NMTABELADW")->SetAsString("Alfa 1");
  ds.Post();
  ds.MergeChangeLog();  // saved
  EXPECT_FALSE(ds.ReopenLastPost());

  ds.Edit();
  ds.FieldByName("NMTABELADW")->SetAsString("Alfa 2");
  ds.Post();
  ASSERT_TRUE(ds.ReopenLastPost());
  EXPECT_EQ(ds.State(), TDataSetState::dsEdit);
  EXPECT_EQ(ds.ChangeCount(), 0);
  EXPECT_EQ(Value("NMTABELADW"), "Alfa 2");
  EXPECT_EQ(ds.FieldByName("NMTABELADW")->OldValue(), rtl::Variant("Alfa 1"));
  ds.Cancel();
  EXPECT_EQ(Value("NMTABELADW"), "Alfa 1");
  EXPECT_EQ(ds.ChangeCount(), 0);

  // A row that already carried an earlier change keeps that one.
  ds.Next();
  ds.Edit();
  ds.FieldByName("NMTABELADW")->SetAsString("Beta 1");
  ds.Post();
  ds.Edit();
  ds.FieldByName("NMTABELADW")->SetAsString("Beta 2");
  ds.Post();
  ASSERT_TRUE(ds.ReopenLastPost());
  EXPECT_EQ(ds.ChangeCount(), 1);
  ds.Cancel();
  EXPECT_EQ(Value("NMTABELADW"), "Beta 1");
  EXPECT_EQ(ds.FieldByName("NMTABELADW")->OldValue(), rtl::Variant("Beta"));
}

TEST_F(ReopenPost, OnlyWhileThePostIsTheLastChange) {
  const auto post_name = [this](const char* name) {
    ds.Edit();
    ds.FieldByName("NMTABELADW")->SetAsString(name);
    ds.Post();
  };
  const std::vector<std::pair<const char*, std::function<void()>>> later = {
      {"delete", [this] { ds.Delete(); }},
      {"merge", [this] { ds.MergeChangeLog(); }},
      {"cancel updates", [this] { ds.CancelUpdates(); }},
      {"load", [this] { ds.SetData(ds.Data()); }},
      {"edit begun", [this] { ds.Edit(); }},
      {"insert begun", [this] { ds.Append(); }},
  };
  for (const auto& [what, change] : later) {
    SCOPED_TRACE(what);
    ds.SetData(TablePacket({{"A", "Alfa", "N"}, {"B", "Beta", "N"}}));
    post_name("Alfa 2");
    change();
    const TDataSetState state = ds.State();
    const int changes = ds.ChangeCount();
    EXPECT_FALSE(ds.CanReopenLastPost());
    EXPECT_FALSE(ds.ReopenLastPost());
    EXPECT_EQ(ds.State(), state);
    EXPECT_EQ(ds.ChangeCount(), changes);
    ds.Cancel();
  }

  // A second post is the one handed back.
  ds.SetData(TablePacket({{"A", "Alfa", "N"}, {"B", "Beta", "N"}}));
  post_name("Alfa 2");
  ds.Next();
  post_name("Beta 2");
  ASSERT_TRUE(ds.ReopenLastPost());
  EXPECT_EQ(Value("CDTABELADW"), "B");
  EXPECT_EQ(ds.ChangeCount(), 1);
  EXPECT_FALSE(ds.ReopenLastPost());  // not in browse state
}

TEST_F(ReopenPost, DefaultsWrittenOnTheStateChangeGiveWayToTheTypedValues) {
  src.OnStateChange = [this](rtl::TObject*) {
    if (ds.State() == TDataSetState::dsInsert) ds.FieldByName("IDDRILLDOWN")->SetAsString("N");
  };
  ds.Append();
  Type("NOVA", "Nova");
  ds.FieldByName("IDDRILLDOWN")->SetAsString("S");
  ds.Post();
  ASSERT_TRUE(ds.ReopenLastPost());
  EXPECT_EQ(Value("IDDRILLDOWN"), "S");

  // A failing state-change handler still leaves the typed values in the row.
  ds.Post();
  src.OnStateChange = [this](rtl::TObject*) {
    if (ds.State() == TDataSetState::dsInsert) {
      ds.FieldByName("NMTABELADW")->SetAsString("padrão");
      throw rtl::Exception("falhou");
    }
  };
  EXPECT_THROW(ds.ReopenLastPost(), rtl::Exception);
  EXPECT_EQ(ds.State(), TDataSetState::dsInsert);
  EXPECT_EQ(Value("NMTABELADW"), "Nova");
}

TEST_F(ReopenPost, TheCursorGoesBackToTheRowWithTheScrollEvents) {
  ds.Edit();
  ds.FieldByName("NMTABELADW")->SetAsString("Alfa 2");
  ds.Post();
  ds.Last();
  std::string scrolled_to;
  ds.AfterScroll = [&](TDataSet*) { scrolled_to = Value("NMTABELADW"); };
  ASSERT_TRUE(ds.ReopenLastPost());
  // The scroll handler saw the row as posted, before it went back to edit.
  EXPECT_EQ(scrolled_to, "Alfa 2");
  EXPECT_EQ(ds.RecNo(), 1);
  EXPECT_EQ(ds.State(), TDataSetState::dsEdit);

  // An edit whose earlier values the filter no longer lets through stays.
  ds.Cancel();
  ds.Edit();
  ds.FieldByName("NMTABELADW")->SetAsString("Filtrada");
  ds.Post();
  ds.SetFilter("NMTABELADW = 'Filtrada'");
  ds.SetFiltered(true);
  EXPECT_FALSE(ds.ReopenLastPost());
  EXPECT_EQ(ds.ChangeCount(), 1);
}

}  // namespace
}  // namespace db
