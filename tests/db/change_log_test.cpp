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

// A working copy that declares fewer fields than the list it copies (the
// check-all's copy of the facts has no drill table): what it does not declare
// travels through it untouched, pending changes and all, and back.
TEST_F(ChangeLog, ACopyThatDeclaresFewerFieldsHandsOnTheOthersUntouched) {
  EditName("Alfa 2");
  TClientDataSet narrow(nullptr);
  narrow.AddStringField("CDTABELADW", 30);
  narrow.AddStringField("NMTABELADW", 30);
  narrow.SetData(ds.Data());
  EXPECT_EQ(narrow.FieldCount(), 2);
  EXPECT_EQ(narrow.FindField("IDDRILLDOWN"), nullptr);
  EXPECT_EQ(narrow.ChangeCount(), 1);
  for (narrow.First(); !narrow.Eof(); narrow.Next()) {
    narrow.Edit();
    narrow.FieldByName("NMTABELADW")
        ->SetAsString("x" + narrow.FieldByName("CDTABELADW")->AsString());
  }
  narrow.Append();
  narrow.FieldByName("CDTABELADW")->SetAsString("D");
  narrow.Post();

  const Packet delta = PacketFromVariant(narrow.Delta());
  ASSERT_EQ(delta.FieldIndex("IDDRILLDOWN"), 2);
  ASSERT_EQ(delta.rows.size(), 4u);
  EXPECT_EQ(delta.rows[0].old_values[1], FieldValue("Alfa"));  // as first loaded
  EXPECT_EQ(delta.rows[2].values[2], FieldValue("S"));
  EXPECT_EQ(delta.rows[2].old_values[2], FieldValue("S"));
  EXPECT_EQ(delta.rows[3].values[2], FieldValue());  // a new row has none

  ds.SetData(narrow.Data());
  EXPECT_EQ(ds.ChangeCount(), 4);
  std::vector<std::string> rows;
  for (ds.First(); !ds.Eof(); ds.Next())
    rows.push_back(ds.FieldByName("CDTABELADW")->AsString() + "=" + Name()->AsString() + "/" +
                   ds.FieldByName("IDDRILLDOWN")->AsString());
  EXPECT_EQ(rows, (std::vector<std::string>{"A=xA/N", "B=xB/N", "C=xC/S", "D=/"}));

  // A packet without the undeclared field leaves none behind.
  narrow.SetData(TablePacket({{"E", "Épsilon", "N"}}));
  Packet only_declared;
  only_declared.fields = {{"CDTABELADW", 30, false}, {"NMTABELADW", 30, false}};
  only_declared.rows.push_back({RowStatus::kUnmodified, {"F", "Fi"}, {}});
  narrow.SetData(PacketToVariant(only_declared));
  EXPECT_EQ(PacketFromVariant(narrow.Data()).fields.size(), 2u);
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
