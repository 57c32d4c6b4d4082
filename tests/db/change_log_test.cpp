// Change log, old and new values, Data versus Delta.
#include <gtest/gtest.h>

#include "dataset_fixture.h"
#include "db/errors.h"

namespace db {
namespace {

using testing::DeclareTableFields;
using testing::TablePacket;

class ChangeLog : public ::testing::Test {
 protected:
  ChangeLog() : ds(nullptr) {
    DeclareTableFields(ds);
    ds.SetData(TablePacket({{"A", "Alfa", "N"}, {"B", "Beta", "N"}, {"C", "Gama", "S"}}));
  }
  TField* Name() { return ds.FieldByName("NMTABELADW"); }
  void EditName(const std::string& v) {
    ds.Edit();
    Name()->SetAsString(v);
    ds.Post();
  }
  void AppendRow(const std::string& code) {
    ds.Append();
    ds.FieldByName("CDTABELADW")->SetAsString(code);
    ds.Post();
  }
  Packet DeltaPacket() { return PacketFromVariant(ds.Delta()); }

  TClientDataSet ds;
};

TEST_F(ChangeLog, OldValueIsAsLoadedNewValueIsCurrent) {
  ds.Edit();
  Name()->SetAsString("Alfa 2");
  EXPECT_EQ(Name()->OldValue(), rtl::Variant("Alfa"));
  EXPECT_EQ(Name()->NewValue(), rtl::Variant("Alfa 2"));
  ds.Post();
  EXPECT_EQ(Name()->OldValue(), rtl::Variant("Alfa"));
  ds.MergeChangeLog();
  EXPECT_EQ(Name()->OldValue(), rtl::Variant("Alfa 2"));
  AppendRow("D");
  EXPECT_TRUE(Name()->OldValue().IsNull());
}

TEST_F(ChangeLog, ChangeCountCountsRowsCarryingAChange) {
  EXPECT_EQ(ds.ChangeCount(), 0);
  EditName("x");
  EditName("y");  // the same row again
  EXPECT_EQ(ds.ChangeCount(), 1);
  AppendRow("D");
  EXPECT_EQ(ds.ChangeCount(), 2);
  ds.Delete();  // the new row again: leaves no trace
  EXPECT_EQ(ds.ChangeCount(), 1);
  ds.Last();
  ds.Delete();
  EXPECT_EQ(ds.ChangeCount(), 2);
  ds.Edit();  // an edit with no assignment logs nothing
  ds.Post();
  EXPECT_EQ(ds.ChangeCount(), 2);
}

TEST_F(ChangeLog, DeltaHoldsOnlyPendingChangesWithTheirOldValues) {
  EditName("Alfa 2");  // A modified
  ds.Next();
  ds.Delete();     // B deleted
  AppendRow("D");  // D inserted
  Packet d = DeltaPacket();
  EXPECT_EQ(d.kind, PacketKind::kDelta);
  ASSERT_EQ(d.rows.size(), 3u);
  EXPECT_EQ(d.rows[0].status, RowStatus::kModified);
  EXPECT_EQ(d.rows[0].values[1], FieldValue("Alfa 2"));
  EXPECT_EQ(d.rows[0].old_values[1], FieldValue("Alfa"));
  EXPECT_EQ(d.rows[1].status, RowStatus::kDeleted);
  EXPECT_EQ(d.rows[1].old_values[0], FieldValue("B"));
  EXPECT_EQ(d.rows[2].status, RowStatus::kInserted);
  EXPECT_EQ(d.rows[2].values[0], FieldValue("D"));

  Packet all = PacketFromVariant(ds.Data());
  EXPECT_EQ(all.kind, PacketKind::kData);
  EXPECT_EQ(all.rows.size(), 4u);  // A, B (deleted), C, D
  ds.MergeChangeLog();
  EXPECT_TRUE(DeltaPacket().rows.empty());
  EXPECT_EQ(PacketFromVariant(ds.Data()).rows.size(), 3u);
}

TEST_F(ChangeLog, UnpostedEditsAndInsertsAreInNoPacket) {
  ds.Edit();
  Name()->SetAsString("em edição");
  EXPECT_TRUE(PacketFromVariant(ds.Delta()).rows.empty());
  EXPECT_EQ(PacketFromVariant(ds.Data()).rows[0].values[1], FieldValue("Alfa"));
  ds.Cancel();
  ds.Append();
  EXPECT_EQ(PacketFromVariant(ds.Data()).rows.size(), 3u);
  EXPECT_EQ(ds.ChangeCount(), 0);
}

TEST_F(ChangeLog, DataCopiesPendingChangesToAnotherDataSet) {
  EditName("Alfa 2");
  ds.Next();
  ds.Delete();
  AppendRow("D");
  TClientDataSet copy(nullptr);  // no declared fields: takes the packet's
  copy.SetData(ds.Data());
  EXPECT_EQ(copy.ChangeCount(), 3);
  EXPECT_EQ(copy.RecordCount(), 3);
  EXPECT_EQ(copy.FieldByName("IDDRILLDOWN")->Size(), 1);
  EXPECT_TRUE(copy.FieldByName("IDDRILLDOWN")->FixedChar());
  EXPECT_EQ(PacketFromVariant(copy.Delta()), DeltaPacket());
  copy.CancelUpdates();
  EXPECT_EQ(copy.ChangeCount(), 0);
  EXPECT_EQ(copy.RecordCount(), 3);
  EXPECT_EQ(copy.FieldByName("NMTABELADW")->AsString(), "Alfa");
}

TEST_F(ChangeLog, CancelUpdatesRestoresRowsWhereTheyStood) {
  ds.Next();
  ds.Delete();  // B
  ds.First();
  EditName("mudou");
  AppendRow("D");
  ds.First();
  ds.Edit();
  Name()->SetAsString("pendente");
  ds.CancelUpdates();
  EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);
  std::vector<std::string> rows;
  for (ds.First(); !ds.Eof(); ds.Next())
    rows.push_back(ds.FieldByName("CDTABELADW")->AsString() + "=" + Name()->AsString());
  EXPECT_EQ(rows, (std::vector<std::string>{"A=Alfa", "B=Beta", "C=Gama"}));
}

TEST_F(ChangeLog, WithoutLoggingChangesGoStraightToTheBaseData) {
  ds.SetLogChanges(false);
  EditName("direto");
  AppendRow("D");
  ds.First();
  ds.Next();
  ds.Delete();
  EXPECT_EQ(ds.ChangeCount(), 0);
  EXPECT_EQ(ds.RecordCount(), 3);
  ds.First();
  EXPECT_EQ(Name()->OldValue(), rtl::Variant("direto"));
  EXPECT_EQ(PacketFromVariant(ds.Data()).rows.size(), 3u);
}

TEST_F(ChangeLog, DeclaredFieldsLoadByNameAndMissingOnesAreRefused) {
  Packet p;
  p.fields = {{"EXTRA", 5, false},
              {"idDrillDown", 1, true},
              {"NMTABELADW", 30, false},
              {"CDTABELADW", 30, false}};
  p.rows.push_back({RowStatus::kUnmodified, {"x", "S", "Nome", "COD"}, {}});
  ds.SetData(PacketToVariant(p));
  EXPECT_EQ(ds.FieldCount(), 3);
  EXPECT_EQ(ds.FieldByName("CDTABELADW")->AsString(), "COD");
  EXPECT_EQ(ds.FieldByName("IDDRILLDOWN")->AsString(), "S");

  Packet missing;
  missing.fields = {{"CDTABELADW", 30, false}};
  EXPECT_THROW(ds.SetData(PacketToVariant(missing)), EDatabaseError);
  EXPECT_EQ(ds.FieldByName("CDTABELADW")->AsString(), "COD");  // left as it was

  Packet too_long = p;
  too_long.fields[1].size = 3;
  too_long.rows[0].values[1] = "SSS";  // longer than the declared IDDRILLDOWN
  EXPECT_THROW(ds.SetData(PacketToVariant(too_long)), EDatabaseError);
  EXPECT_EQ(ds.RecordCount(), 1);
}

TEST_F(ChangeLog, AMalformedPacketLeavesTheDataSetAsItWas) {
  std::vector<uint8_t> bytes = ds.Data().Bytes();
  bytes.resize(bytes.size() - 1);
  EXPECT_THROW(ds.SetData(rtl::Variant::ByteArray(bytes)), EPacketError);
  EXPECT_TRUE(ds.Active());
  EXPECT_EQ(ds.RecordCount(), 3);
  EXPECT_THROW(ds.SetData(rtl::Variant("não é pacote")), EPacketError);
}

}  // namespace
}  // namespace db
