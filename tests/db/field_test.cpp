// TField: sizes in characters, refused values, text events, display text.
#include <gtest/gtest.h>

#include "dataset_fixture.h"
#include "db/errors.h"

namespace db {
namespace {

class Fields : public ::testing::Test {
 protected:
  Fields() : ds(nullptr) {
    code = ds.AddStringField("CDAREANEGDW", 5, "Data Mart");
    type = ds.AddStringField("IDTPFATODW", 1, "Tipo", true, true);
    ds.CreateDataSet();
    ds.Append();
  }
  TClientDataSet ds;
  TField* code;
  TField* type;
};

TEST_F(Fields, SizeCountsCharactersSoAccentedTextFits) {
  code->SetAsString("ÁÉÍÓÚ");  // 5 characters, 10 bytes
  EXPECT_EQ(code->AsString(), "ÁÉÍÓÚ");
  type->SetAsString("ç");
  EXPECT_EQ(type->AsString(), "ç");
}

TEST_F(Fields, LongOrInvalidValuesAreRefusedAndTheOldValueStays) {
  code->SetAsString("ABC");
  EXPECT_THROW(code->SetAsString("ABCDEF"), EDatabaseError);
  EXPECT_THROW(code->SetAsString("ÁÉÍÓÚÇ"), EDatabaseError);
  EXPECT_THROW(code->SetAsString("\xFF"), EDatabaseError);
  EXPECT_THROW(code->SetAsString("\xED\xA0\x80"), EDatabaseError);  // a surrogate
  EXPECT_THROW(code->SetValue(rtl::VarArrayOf({1})), EDatabaseError);
  EXPECT_EQ(code->AsString(), "ABC");
}

TEST_F(Fields, EmptyTextAndNullStoreNull) {
  code->SetAsString("X");
  code->SetAsString("");
  EXPECT_TRUE(code->IsNull());
  EXPECT_TRUE(code->Value().IsNull());
  code->SetValue(42);
  EXPECT_EQ(code->Value(), rtl::Variant("42"));
  code->SetValue(rtl::Variant::Null());
  EXPECT_TRUE(code->IsNull());
}

TEST_F(Fields, WritingOutsideEditOrInsertIsRefused) {
  code->SetAsString("A");
  ds.Post();
  EXPECT_THROW(code->SetAsString("B"), EDatabaseError);
  EXPECT_EQ(code->AsString(), "A");
  ds.Close();
  EXPECT_THROW(code->SetAsString("B"), EDatabaseError);
  EXPECT_TRUE(code->IsNull());  // a closed dataset reads as null
}

TEST_F(Fields, GetAndSetTextEvents) {
  type->OnGetText = [](TField* f, std::string& text, bool display) {
    text = f->AsString() == "M" ? (display ? "Moeda" : "moeda") : f->AsString();
  };
  type->OnSetText = [](TField* f, const std::string& text) {
    f->SetAsString(text == "Moeda" ? "M" : "I");
  };
  type->SetText("Moeda");
  EXPECT_EQ(type->AsString(), "M");
  EXPECT_EQ(type->DisplayText(), "Moeda");
  EXPECT_EQ(type->Text(), "moeda");
  code->SetText("DM1");  // no handlers: plain assignment
  EXPECT_EQ(code->DisplayText(), "DM1");
}

TEST_F(Fields, LabelsIndexAndLookup) {
  EXPECT_EQ(code->DisplayLabel(), "Data Mart");
  EXPECT_EQ(code->Index(), 0);
  EXPECT_EQ(type->Index(), 1);
  EXPECT_EQ(ds.FindField("idtpfatodw"), type);
  EXPECT_EQ(ds.FindField("NADA"), nullptr);
  EXPECT_THROW(ds.FieldByName("NADA"), EDatabaseError);
  EXPECT_THROW(ds.Fields(2), EDatabaseError);
  TClientDataSet other(nullptr);
  TField* f = other.AddStringField("SEMROTULO", 3);
  EXPECT_EQ(f->DisplayLabel(), "SEMROTULO");
  EXPECT_THROW(other.AddStringField("semrotulo", 3), EDatabaseError);
  EXPECT_THROW(other.AddStringField("ZERO", 0), EDatabaseError);
}

TEST_F(Fields, AFieldDestroyedOnItsOwnLeavesTheDataSetClosedAndConsistent) {
  ds.Cancel();
  delete type;
  EXPECT_FALSE(ds.Active());
  EXPECT_EQ(ds.FieldCount(), 1);
  EXPECT_EQ(ds.FindField("IDTPFATODW"), nullptr);
  ds.Open();
  ds.Append();
  code->SetAsString("OK");
  ds.Post();
  EXPECT_EQ(PacketFromVariant(ds.Data()).fields.size(), 1u);
}

TEST_F(Fields, FieldWritesNotifyTheLinksWithTheField) {
  std::vector<std::string> log;
  TDataSource src(nullptr);
  src.SetDataSet(&ds);
  testing::RecordingLink link(&log);
  link.SetDataSource(&src);
  TField* changed = nullptr;
  src.OnDataChange = [&](rtl::TObject*, TField* f) { changed = f; };
  code->SetAsString("Z");
  EXPECT_EQ(log.back(), "link:record:CDAREANEGDW");
  EXPECT_EQ(changed, code);
}

}  // namespace
}  // namespace db
