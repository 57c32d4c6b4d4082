// Locate, Filter and RecordCount under a filter.
#include <gtest/gtest.h>

#include "dataset_fixture.h"
#include "db/errors.h"
#include "db/filter.h"

namespace db {
namespace {

using testing::TablePacket;

class Search : public ::testing::Test {
 protected:
  Search() : ds(nullptr) {
    ds.AddStringField("CDTABELADW", 30);
    ds.AddStringField("CDITEMDW", 30);
    ds.AddStringField("NMITEMDW", 30);
    Packet p;
    p.fields = {{"CDTABELADW", 30, false}, {"CDITEMDW", 30, false}, {"NMITEMDW", 30, false}};
    auto row = [&](const char* a, const char* b, FieldValue c) {
      p.rows.push_back({RowStatus::kUnmodified, {a, b, c}, {}});
    };
    row("VENDAS", "VALOR", "Valor");
    row("VENDAS", "QTDE", "Quantidade");
    row("ESTOQUE", "VALOR", "Valor do estoque");
    row("ação", "CAMPO", "D'Ávila");
    row("ESTOQUE", "SALDO", std::nullopt);
    ds.SetData(PacketToVariant(p));
  }
  std::string Field(const char* name) { return ds.FieldByName(name)->AsString(); }
  int afters = 0;
  TClientDataSet ds;
};

TEST_F(Search, LocateOnOneField) {
  EXPECT_TRUE(ds.Locate("CDITEMDW", rtl::Variant("QTDE"), loNone));
  EXPECT_EQ(ds.RecNo(), 2);
  EXPECT_FALSE(ds.Locate("CDITEMDW", rtl::Variant("qtde"), loNone));
  EXPECT_EQ(ds.RecNo(), 2);  // a failed locate does not move
  EXPECT_TRUE(ds.Locate("cditemdw", rtl::Variant("qtde"), loCaseInsensitive));
  EXPECT_TRUE(ds.Locate("CDTABELADW", rtl::Variant("AÇÃO"), loCaseInsensitive));
  EXPECT_EQ(ds.RecNo(), 4);
  EXPECT_TRUE(ds.Locate("NMITEMDW", rtl::Variant::Null(), loNone));
  EXPECT_EQ(Field("CDITEMDW"), "SALDO");
}

TEST_F(Search, LocateOnSeveralFields) {
  EXPECT_TRUE(
      ds.Locate("CDTABELADW;CDITEMDW", {rtl::Variant("ESTOQUE"), rtl::Variant("VALOR")}, loNone));
  EXPECT_EQ(ds.RecNo(), 3);
  EXPECT_TRUE(
      ds.Locate("CDTABELADW; CDITEMDW", rtl::VarArrayOf({"vendas", "qtde"}), loCaseInsensitive));
  EXPECT_EQ(ds.RecNo(), 2);
  EXPECT_FALSE(
      ds.Locate("CDTABELADW;CDITEMDW", {rtl::Variant("ESTOQUE"), rtl::Variant("QTDE")}, loNone));
  EXPECT_THROW(ds.Locate("CDTABELADW;CDITEMDW", rtl::Variant("ESTOQUE"), loNone), EDatabaseError);
  EXPECT_THROW(ds.Locate("NADA", rtl::Variant("x"), loNone), EDatabaseError);
}

TEST_F(Search, LocatePartialKey) {
  EXPECT_TRUE(ds.Locate("NMITEMDW", rtl::Variant("valor d"), loCaseInsensitive | loPartialKey));
  EXPECT_EQ(ds.RecNo(), 3);
}

TEST_F(Search, LocateSeesChangesMadeAfterTheIndexWasBuilt) {
  EXPECT_TRUE(ds.Locate("CDITEMDW", rtl::Variant("VALOR"), loNone));
  ds.Edit();
  ds.FieldByName("CDITEMDW")->SetAsString("NOVO");
  ds.Post();
  EXPECT_TRUE(ds.Locate("CDITEMDW", rtl::Variant("VALOR"), loNone));
  EXPECT_EQ(ds.RecNo(), 3);
  EXPECT_TRUE(ds.Locate("CDITEMDW", rtl::Variant("NOVO"), loNone));
  EXPECT_EQ(ds.RecNo(), 1);
  ds.Delete();
  EXPECT_FALSE(ds.Locate("CDITEMDW", rtl::Variant("NOVO"), loNone));
}

TEST_F(Search, EqualityFilterAndRecordCount) {
  ds.SetFilter("CDTABELADW = 'VENDAS'");
  EXPECT_EQ(ds.RecordCount(), 5);  // not yet filtered
  ds.SetFiltered(true);
  EXPECT_EQ(ds.RecordCount(), 2);
  EXPECT_EQ(Field("CDITEMDW"), "VALOR");
  ds.SetFilter("cdtabeladw = 'ESTOQUE'");
  EXPECT_EQ(ds.RecordCount(), 2);
  EXPECT_EQ(Field("NMITEMDW"), "Valor do estoque");
  ds.SetFilter("CDTABELADW = 'estoque'");  // values are case-sensitive
  EXPECT_EQ(ds.RecordCount(), 0);
  EXPECT_TRUE(ds.IsEmpty());
  ds.SetFiltered(false);
  EXPECT_EQ(ds.RecordCount(), 5);
}

TEST_F(Search, FilterValueWithADoubledQuote) {
  ds.SetFilter("NMITEMDW = 'D''Ávila'");
  ds.SetFiltered(true);
  ASSERT_EQ(ds.RecordCount(), 1);
  EXPECT_EQ(Field("CDTABELADW"), "ação");
}

TEST_F(Search, CompoundFilters) {
  ds.SetFiltered(true);
  ds.SetFilter("CDTABELADW = 'VENDAS' OR (CDITEMDW = 'VALOR' AND NOT CDTABELADW = 'VENDAS')");
  EXPECT_EQ(ds.RecordCount(), 3);
  ds.SetFilter("NMITEMDW IS NULL");
  EXPECT_EQ(ds.RecordCount(), 1);
  ds.SetFilter("nmitemdw is not null and CDITEMDW >= 'S' and CDITEMDW<>'VALOR'");
  EXPECT_EQ(ds.RecordCount(), 0);
  ds.SetFilter("CDITEMDW < 'R'");
  EXPECT_EQ(ds.RecordCount(), 2);  // CAMPO, QTDE
  ds.SetFilter("NMITEMDW = ''");   // null compares as the empty text
  EXPECT_EQ(ds.RecordCount(), 1);
  ds.SetFilter("   ");
  EXPECT_EQ(ds.RecordCount(), 5);
}

TEST_F(Search, MalformedFilterIsRefusedAndThePreviousOneStays) {
  ds.SetFilter("CDTABELADW = 'VENDAS'");
  ds.SetFiltered(true);
  for (const char* bad :
       {"CDTABELADW = 'VENDAS", "CDTABELADW = VENDAS", "CDTABELADW 'X'", "= 'X'",
        "(CDTABELADW = 'X'", "CDTABELADW = 'X')", "CDTABELADW IS 'X'", "CDTABELADW = 'X' AND",
        "NADA = 'X'", "CDTABELADW == 'X'", "CDTABELADW = 'X' 'Y'", "CDTABELADW ! 'X'",
        "\xC3\x28 = 'x'", "AND = 'X'"}) {
    EXPECT_THROW(ds.SetFilter(bad), EDatabaseError) << bad;
    EXPECT_EQ(ds.Filter(), "CDTABELADW = 'VENDAS'");
    EXPECT_EQ(ds.RecordCount(), 2) << bad;
  }
}

TEST_F(Search, DeepOrLongExpressionsAreRefusedNotOverflowed) {
  std::string deep(100000, '(');
  EXPECT_THROW(detail::ParseFilter(deep + "A = 'x'"), EDatabaseError);
  std::string chain = "A = 'x'";
  for (int i = 0; i < 20000; ++i) chain += " AND A = 'x'";
  EXPECT_THROW(detail::ParseFilter(chain), EDatabaseError);
  std::string nots;
  for (int i = 0; i < 20000; ++i) nots += "NOT ";
  EXPECT_THROW(detail::ParseFilter(nots + "A = 'x'"), EDatabaseError);
  EXPECT_NO_THROW(detail::ParseFilter("((A = 'x')) AND NOT (B IS NULL OR C <> 'y')"));
}

TEST_F(Search, FilterChangeMovesToTheFirstRowWithScrollEvents) {
  ds.Last();
  std::vector<std::string> log;
  ds.BeforeScroll = [&](TDataSet*) { log.push_back("BeforeScroll"); };
  ds.AfterScroll = [&](TDataSet*) { log.push_back("AfterScroll"); };
  ds.SetFilter("CDTABELADW = 'ESTOQUE'");  // not filtered yet: nothing happens
  EXPECT_TRUE(log.empty());
  ds.SetFiltered(true);
  EXPECT_EQ(log, (std::vector<std::string>{"BeforeScroll", "AfterScroll"}));
  EXPECT_EQ(ds.RecNo(), 1);
  EXPECT_EQ(Field("CDITEMDW"), "VALOR");
}

TEST_F(Search, FilteredDataSetEditsAndLocatesWithinTheFilter) {
  ds.SetFilter("CDTABELADW = 'VENDAS'");
  ds.SetFiltered(true);
  EXPECT_FALSE(ds.Locate("CDITEMDW", rtl::Variant("SALDO"), loNone));  // filtered out
  EXPECT_TRUE(ds.Locate("CDITEMDW", rtl::Variant("QTDE"), loNone));
  EXPECT_EQ(ds.RecNo(), 2);
  ds.Append();  // the new row shows until posted
  EXPECT_EQ(ds.RecordCount(), 3);
  ds.FieldByName("CDTABELADW")->SetAsString("OUTRA");
  ds.Post();
  EXPECT_EQ(ds.RecordCount(), 2);  // it no longer passes
  ds.Edit();
  ds.FieldByName("CDTABELADW")->SetAsString("OUTRA");
  ds.Post();
  EXPECT_EQ(ds.RecordCount(), 1);
  ds.SetFiltered(false);
  EXPECT_EQ(ds.RecordCount(), 6);
}

TEST_F(Search, FilterSetBeforeFieldsExistAppliesOnceAPacketBringsThem) {
  TClientDataSet copy(nullptr);
  copy.SetFilter("CDITEMDW = 'VALOR'");
  copy.SetFiltered(true);
  copy.SetData(ds.Data());
  EXPECT_EQ(copy.RecordCount(), 2);
  TClientDataSet other(nullptr);
  other.SetFilter("NADA = 'x'");
  other.SetFiltered(true);
  other.SetData(ds.Data());
  EXPECT_EQ(other.RecordCount(), 0);  // names no field of the packet
}

TEST_F(Search, ActiveRecordScopeReadsAnotherRowWithoutMoving) {
  int scrolls = 0;
  ds.AfterScroll = [&](TDataSet*) { ++scrolls; };
  {
    TClientDataSet::ActiveRecordScope scope(ds, 3);
    EXPECT_EQ(Field("CDTABELADW"), "ESTOQUE");
    {
      TClientDataSet::ActiveRecordScope inner(ds, 4);
      EXPECT_EQ(Field("CDTABELADW"), "ação");
    }
    EXPECT_EQ(Field("CDTABELADW"), "ESTOQUE");
  }
  EXPECT_EQ(ds.RecNo(), 1);
  EXPECT_EQ(Field("CDITEMDW"), "VALOR");
  EXPECT_EQ(scrolls, 0);
  ds.Edit();
  ds.FieldByName("CDITEMDW")->SetAsString("EDITADO");
  {
    TClientDataSet::ActiveRecordScope other(ds, 2);
    EXPECT_EQ(Field("CDITEMDW"), "QTDE");
    EXPECT_THROW(ds.FieldByName("CDITEMDW")->SetAsString("x"), EDatabaseError);
  }
  {
    TClientDataSet::ActiveRecordScope same(ds, 1);
    EXPECT_EQ(Field("CDITEMDW"), "EDITADO");  // the edit buffer
  }
  EXPECT_THROW(TClientDataSet::ActiveRecordScope(ds, 99), EDatabaseError);
}

}  // namespace
}  // namespace db

namespace db {
namespace {

// The indexed equality filter and Locate must agree with a plain scan after
// any sequence of edits, inserts, deletes, merges and undos.
TEST(SearchIndex, AgreesWithAScanThroughRandomChanges) {
  TClientDataSet ds(nullptr);
  TField* key = ds.AddStringField("K", 3);
  TField* other = ds.AddStringField("L", 3);
  ds.CreateDataSet();
  unsigned seed = 12345;
  auto next = [&seed](unsigned n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  auto letter = [&] { return std::string(1, static_cast<char>('a' + next(4))); };
  auto set_both = [&] {
    key->SetAsString(letter());
    other->SetAsString(letter());
  };
  // Position of the first row with these values, 0 when none.
  auto scan = [&](const std::string& k, const std::string* l) {
    for (int r = 1; r <= ds.RecordCount(); ++r) {
      TClientDataSet::ActiveRecordScope scope(ds, r);
      if (key->AsString() == k && (!l || other->AsString() == *l)) return r;
    }
    return 0;
  };
  auto count = [&](const std::string& k) {
    int n = 0;
    for (int r = 1; r <= ds.RecordCount(); ++r) {
      TClientDataSet::ActiveRecordScope scope(ds, r);
      if (key->AsString() == k) ++n;
    }
    return n;
  };
  for (int step = 0; step < 400; ++step) {
    switch (next(6)) {
      case 0:
      case 1:
        ds.Append();
        set_both();
        ds.Post();
        break;
      case 2:
        if (!ds.IsEmpty()) {
          ds.SetRecNo(static_cast<int>(next(static_cast<unsigned>(ds.RecordCount()))) + 1);
          ds.Edit();
          set_both();
          ds.Post();
        }
        break;
      case 3:
        if (!ds.IsEmpty()) ds.Delete();
        break;
      case 4:
        if (next(4) == 0)
          ds.CancelUpdates();
        else
          ds.MergeChangeLog();
        break;
      case 5:
        ds.Insert();
        set_both();
        ds.Post();
        break;
    }
    std::string v = letter(), w = letter();
    int expected = count(v);
    ds.SetFilter("K = '" + v + "'");
    ds.SetFiltered(true);
    ASSERT_EQ(ds.RecordCount(), expected) << "step " << step;
    for (int r = 1; r <= ds.RecordCount(); ++r) {
      TClientDataSet::ActiveRecordScope scope(ds, r);
      ASSERT_EQ(key->AsString(), v);
    }
    ds.SetFiltered(false);
    int first = scan(v, nullptr);
    ASSERT_EQ(ds.Locate("K", rtl::Variant(v), loNone), first > 0);
    if (first > 0) {
      ASSERT_EQ(ds.RecNo(), first);
    }
    int both = scan(v, &w);
    ASSERT_EQ(ds.Locate("K;L", {rtl::Variant(v), rtl::Variant(w)}, loNone), both > 0);
    if (both > 0) {
      ASSERT_EQ(ds.RecNo(), both);
    }
  }
}

}  // namespace
}  // namespace db
