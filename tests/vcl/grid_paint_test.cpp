// Painting a grid on the recording canvas: default drawing, the draw handler's
// arguments, the row the fields read while drawing, and the visible rows.
#include <gtest/gtest.h>

#include "grid_fixture.h"
#include "vcl/recording_canvas.h"

namespace vcltest {
namespace {

using namespace vcl;

struct DrawnCell {
  TRect rect;
  int data_col;
  TColumn* column;
  TGridDrawState state;
  std::string code_seen;  // CODE as the field read it during the handler
};

class GridPaintTest : public GridTest {
 protected:
  void SetUp() override {
    GridTest::SetUp();
    grid->SetOptions(grid->Options() | dgAlwaysShowSelection);
    grid->OnDrawColumnCell = [this](rtl::TObject* sender, const TRect& rect, int data_col,
                                    TColumn* column, TGridDrawState state) {
      EXPECT_EQ(sender, grid);
      drawn.push_back({rect, data_col, column, state, Value("CODE")});
    };
  }
  std::vector<DrawnCell> drawn;
  TRecordingCanvas canvas;
};

TEST_F(GridPaintTest, EveryCellIsDrawnByDefaultThenHandedToTheDrawHandler) {
  ds->FieldByName("NAME")->OnGetText = [](db::TField* f, std::string& text, bool display) {
    text = display ? "[" + f->AsString() + "]" : f->AsString();
  };
  ds->SetRecNo(2);
  grid->Paint(canvas);

  ASSERT_EQ(drawn.size(), 6u);
  for (size_t i = 0; i < drawn.size(); ++i) {
    EXPECT_EQ(drawn[i].data_col, static_cast<int>(i % 2));
    EXPECT_EQ(drawn[i].column, grid->Columns()[drawn[i].data_col]);
    EXPECT_EQ(drawn[i].rect, grid->CellRect(static_cast<int>(i / 2) + 1, drawn[i].data_col));
  }
  EXPECT_EQ(drawn[0].code_seen, "A");
  EXPECT_EQ(drawn[2].code_seen, "B");
  EXPECT_EQ(drawn[4].code_seen, "C");
  EXPECT_EQ(ds->RecNo(), 2);  // drawing moved nothing

  // The focused grid marks its current cell selected and focused; only that one.
  EXPECT_EQ(drawn[2].state, TGridDrawState{gdSelected | gdFocused});
  for (size_t i : {0u, 1u, 3u, 4u, 5u}) EXPECT_EQ(drawn[i].state, 0u) << i;

  // Default drawing: titles, then each cell's display text at (left+2, top+2).
  auto texts = canvas.CallsIn(TCanvasCall::TextRect);
  ASSERT_EQ(texts.size(), 8u);
  EXPECT_EQ(texts[0].text, "Código");
  EXPECT_EQ(texts[1].text, "Nome");
  EXPECT_EQ(texts[3].text, "[nome A]");
  EXPECT_EQ(texts[4].text, "B");
  EXPECT_EQ(texts[4].brush_color, clHighlight);
  EXPECT_EQ(texts[5].brush_color, clWindow);
  EXPECT_EQ(texts[4].x, texts[4].rect.Left + 2);
  EXPECT_EQ(texts[4].y, texts[4].rect.Top + 2);
}

TEST_F(GridPaintTest, AnUnfocusedGridShowsTheSelectionOnlyWithAlwaysShowSelection) {
  form->SetActiveControl(nullptr);
  grid->Paint(canvas);
  EXPECT_EQ(drawn[0].state, TGridDrawState{gdSelected});
  drawn.clear();
  grid->SetOptions(grid->Options() & ~dgAlwaysShowSelection);
  grid->Paint(canvas);
  EXPECT_EQ(drawn[0].state, 0u);
}

TEST_F(GridPaintTest, AHandlerPaintingABitmapWithATransparentColourIsRecorded) {
  TBitmap box(3, 2);
  box.SetPixel(0, 0, clOlive);
  grid->OnDrawColumnCell = [&](rtl::TObject*, const TRect& rect, int, TColumn* column,
                               TGridDrawState) {
    if (column->FieldName() != "CODE") return;
    canvas.FillRect(rect);
    canvas.BrushCopy({rect.Left + 1, rect.Top, rect.Left + 1 + box.Width(), rect.Bottom}, box,
                     {0, 0, box.Width(), rect.Height()}, clOlive);
  };
  grid->Paint(canvas);
  auto copies = canvas.CallsIn(TCanvasCall::BrushCopy);
  ASSERT_EQ(copies.size(), 3u);
  EXPECT_EQ(copies[0].transparent, clOlive);
  EXPECT_EQ(copies[0].bitmap.Pixel(0, 0), 0x008080u);
  EXPECT_EQ(copies[0].brush_color, clHighlight);  // the selected row's brush, as left
  EXPECT_EQ(copies[1].brush_color, clWindow);
  EXPECT_EQ(copies[1].rect.Left, grid->CellRect(2, 0).Left + 1);
}

TEST_F(GridPaintTest, TitlesUseTheColumnTitleFont) {
  code->Title().SetCaption("4");
  code->Title().Font().SetCharset(SYMBOL_CHARSET);
  code->Title().Font().SetColor(clWhite);
  grid->Paint(canvas);
  const auto title = canvas.CallsIn(TCanvasCall::TextRect)[0];
  EXPECT_EQ(title.text, "4");
  EXPECT_EQ(title.font.Charset(), SYMBOL_CHARSET);
  EXPECT_EQ(title.font.Color(), clWhite);
  EXPECT_EQ(title.brush_color, clBtnFace);
}

TEST_F(GridPaintTest, OnlyTheRowsThatFitArePaintedAndTheCurrentRowStaysInView) {
  grid->SetBounds(0, 0, 200, 18 + 2 * 19);  // title and two rows
  EXPECT_EQ(grid->VisibleRowCount(), 2);
  ds->Last();
  EXPECT_EQ(grid->TopRow(), 2);
  grid->Paint(canvas);
  ASSERT_EQ(drawn.size(), 4u);
  EXPECT_EQ(drawn[0].code_seen, "B");
  EXPECT_EQ(drawn[0].rect.Top, 19);
}

TEST_F(GridPaintTest, TheRowBeingEditedIsDrawnFromTheEditBuffer) {
  ds->Edit();
  ds->FieldByName("CODE")->SetAsString("Z");
  grid->Paint(canvas);
  EXPECT_EQ(drawn[0].code_seen, "Z");
  EXPECT_EQ(drawn[2].code_seen, "B");
  EXPECT_EQ(grid->CellText(1, 0), "Z");
}

}  // namespace
}  // namespace vcltest

namespace vcltest {
namespace {

TEST(DefaultColumnsTest, AGridWithoutColumnsShowsTheVisibleFieldsUntilColumnsAreAdded) {
  vcl::TForm form(nullptr);
  auto* ds = new db::TClientDataSet(&form);
  ds->AddStringField("CDTABELADW", 30, "Código");
  ds->AddStringField("IDDRILLDOWN", 1, "", false, true);
  ds->AddStringField("NMTABELADW", 30, "Nome");
  ds->CreateDataSet();
  auto* src = new db::TDataSource(&form);
  src->SetDataSet(ds);
  auto* grid = new vcl::TDBGrid(&form);
  grid->SetDataSource(src);
  ASSERT_EQ(grid->Columns().Count(), 2);
  EXPECT_TRUE(grid->Columns().IsDefault());
  EXPECT_EQ(grid->Columns()[1]->Title().Caption(), "Nome");
  EXPECT_EQ(grid->Columns()[0]->Field(), ds->FieldByName("CDTABELADW"));

  grid->Columns().Add()->SetFieldName("IDDRILLDOWN");
  ASSERT_EQ(grid->Columns().Count(), 1);
  EXPECT_FALSE(grid->Columns().IsDefault());
  EXPECT_EQ(grid->Columns()[0]->Title().Caption(), "IDDRILLDOWN");  // no label: the name
  grid->Columns()[0]->SetFieldName("NADA");
  EXPECT_EQ(grid->Columns()[0]->Field(), nullptr);
  EXPECT_FALSE(grid->CanEditCell());
}

}  // namespace
}  // namespace vcltest
