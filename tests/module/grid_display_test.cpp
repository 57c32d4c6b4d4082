// What the grids of page "Fatos e Dimensões" show instead of codes: the fact
// type by its name (shown and entered), the check column as a box, the data
// mart and the dimension number by their names; painted on a recording
// canvas, and never asking the server.
#include <gtest/gtest.h>

#include <array>
#include <map>

#include "linked_screen.h"
#include "model/check_images.h"
#include "orb/busy.h"
#include "orb/grids.h"
#include "screen_test_util.h"
#include "vcl/recording_canvas.h"

namespace qmxtest {
namespace {

using qmx00600::TfrmEstrutura;
using vcl::TCanvasCall;

const std::vector<std::string> kFactFields = {"IDFATODW", "CDTABELADW", "CDITEMDW",   "CDAREANEGDW",
                                              "NMITEMDW", "IDTPFATODW", "DSHINTITEM", "CDTABDRILL"};

class GridDisplay : public ::testing::Test {
 protected:
  GridDisplay() : h(Backend::kScripted), s(OpenLinkedScreen(h)) {}
  ~GridDisplay() override { EXPECT_EQ(orb::ShowAviDepth(), 0); }

  // Facts of FATO_TESTE, one per {mark, data mart, type}.
  void LoadFacts(const std::vector<std::array<std::string, 3>>& facts) {
    std::vector<std::vector<std::string>> rows;
    int n = 0;
    for (const auto& [mark, mart, type] : facts) {
      const std::string item = "VL_" + std::to_string(++n);
      rows.push_back({mark, "FATO_TESTE", item, mart, "Fato " + item, type, "", ""});
    }
    s.cdsFatos->SetData(TextPacket(kFactFields, rows));
  }
  // The dimensions of the fact table, one per number.
  void LoadDimensions(const std::vector<std::string>& numbers) {
    std::vector<std::vector<std::string>> rows;
    for (const std::string& nr : numbers) rows.push_back({"FATO_TESTE", "CD_" + nr, nr});
    s.cdsDime->SetData(TextPacket({"CDTABELADW", "CDITEMDIME", "NRSEQUEDIME"}, rows));
  }

  // Draws one cell of `grid` (default drawing and the screen's handler).
  vcl::TRecordingCanvas Draw(vcl::TDBGrid* grid, int recno, const std::string& field) {
    const int col = orb::IndiceCol(grid, field);
    EXPECT_GE(col, 0) << field;
    vcl::TRecordingCanvas canvas;
    grid->DrawCell(canvas, recno, col, grid->CellRect(recno, col));
    return canvas;
  }
  // The text the handler wrote last over the cell.
  static TCanvasCall LastText(const vcl::TRecordingCanvas& canvas) {
    const auto texts = canvas.CallsIn(TCanvasCall::TextRect);
    EXPECT_FALSE(texts.empty());
    return texts.empty() ? TCanvasCall{} : texts.back();
  }
  std::string DrawnText(vcl::TDBGrid* grid, int recno, const std::string& field) {
    return LastText(Draw(grid, recno, field)).text;
  }

  ScreenHarness h;
  TfrmEstrutura& s;
};

TEST_F(GridDisplay, TheFactTypeIsShownAndEnteredByItsName) {
  LoadFacts({{"S", "00001", "M"},
             {"S", "00001", "P"},
             {"S", "00001", "Q"},
             {"S", "00001", "I"},
             {"S", "00001", ""}});
  const int type_col = orb::IndiceCol(s.dbgFatos, "IDTPFATODW");
  const std::vector<std::string> names = {"Moeda", "Percentual", "Quantidade", "Número inteiro",
                                          ""};
  for (int recno = 1; recno <= 5; ++recno)
    EXPECT_EQ(s.dbgFatos->CellText(recno, type_col), names[recno - 1]) << recno;

  // The editor opens with the name too.
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshDados));
  h.Focus("dbgFatos");
  h.PickColumn("dbgFatos", "IDTPFATODW");
  s.dbgFatos->SetEditorMode(true);
  EXPECT_EQ(s.dbgFatos->EditorText(), "Moeda");
  s.dbgFatos->SetEditorMode(false);

  db::TField* type = s.cdsFatos->FieldByName("IDTPFATODW");
  s.cdsFatos->Edit();
  type->SetText("Percentual");
  EXPECT_EQ(type->AsString(), "P");
  // Only the exact names are types; anything else keeps the type, silently.
  for (const char* other : {"percentual", "MOEDA", "Moeda ", "M", ""}) {
    type->SetText(other);
    EXPECT_EQ(type->AsString(), "P") << other;
  }
  type->SetText("Número inteiro");
  EXPECT_EQ(type->AsString(), "I");
  s.cdsFatos->Cancel();
  EXPECT_TRUE(h.Questions().empty());
}

TEST_F(GridDisplay, TheDrillFactTypeIsShownAndEnteredByItsName) {
  s.cdsFatosDrill->SetData(
      TextPacket({"CDTABDRILL", "CDITEMDRILL", "NMITEMDRILL", "IDTPFATODRILL", "DSHINTDRILL"},
                 {{"DRILL_TESTE", "VL_A", "A", "Q", ""}, {"DRILL_TESTE", "VL_B", "B", "X", ""}}));
  const int type_col = orb::IndiceCol(s.dbgFatosDrill, "IDTPFATODRILL");
  EXPECT_EQ(s.dbgFatosDrill->CellText(1, type_col), "Quantidade");
  // A code that is no type is shown as it stands, never as some other text.
  EXPECT_EQ(s.dbgFatosDrill->CellText(2, type_col), "X");

  db::TField* type = s.cdsFatosDrill->FieldByName("IDTPFATODRILL");
  EXPECT_EQ(type->Text(), "Quantidade");
  s.cdsFatosDrill->Edit();
  type->SetText("Moeda");
  EXPECT_EQ(type->AsString(), "M");
  type->SetText("quantidade");
  EXPECT_EQ(type->AsString(), "M");
  s.cdsFatosDrill->Cancel();
  EXPECT_TRUE(h.Questions().empty());
}

TEST_F(GridDisplay, TheCheckColumnIsDrawnAsABox) {
  LoadFacts({{"S", "00001", "M"}, {"N", "00001", "M"}, {"", "00001", "M"}, {"X", "00001", "M"}});
  const int col = orb::IndiceCol(s.dbgFatos, "IDFATODW");
  const std::map<int, const vcl::TBitmap*> boxes = {
      {1, &s.imgCheck->Bitmap()}, {2, &s.imgUncheck->Bitmap()}, {3, &s.imgUncheck->Bitmap()}};
  for (int recno = 1; recno <= 4; ++recno) {
    SCOPED_TRACE(recno);
    const vcl::TRect cell = s.dbgFatos->CellRect(recno, col);
    const vcl::TRecordingCanvas canvas = Draw(s.dbgFatos, recno, "IDFATODW");
    // The cell is cleared with the row's brush, hiding the mark's letter.
    const auto fills = canvas.CallsIn(TCanvasCall::FillRect);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].rect, cell);
    const auto copies = canvas.CallsIn(TCanvasCall::BrushCopy);
    if (!boxes.contains(recno)) {
      EXPECT_TRUE(copies.empty());
      continue;
    }
    ASSERT_EQ(copies.size(), 1u);
    const TCanvasCall& copy = copies[0];
    EXPECT_EQ(copy.bitmap, *boxes.at(recno));
    EXPECT_EQ(copy.transparent, vcl::clOlive);
    // The box from its top-left corner, as much as the 15-pixel column holds.
    ASSERT_EQ(cell.Width(), 15);
    EXPECT_EQ(copy.rect, vcl::Rect(cell.Left + 1, cell.Top, cell.Right, cell.Top + 16));
    EXPECT_EQ(copy.source, vcl::Rect(0, 0, 14, 16));
    EXPECT_EQ(copy.brush_color, fills[0].brush_color);
  }
  EXPECT_NE(s.imgCheck->Bitmap(), s.imgUncheck->Bitmap());
  EXPECT_EQ(s.imgCheck->Bitmap(), qmx00600::CheckBoxBitmap(true));

  // On the selected row the box sits on the highlight.
  s.dbgFatos->SetSelectedIndex(col);
  const auto copies = Draw(s.dbgFatos, 1, "IDFATODW").CallsIn(TCanvasCall::BrushCopy);
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(copies[0].brush_color, vcl::clHighlight);
}

TEST_F(GridDisplay, TheDataMartIsDrawnByItsName) {
  // A data mart whose code holds a quote must still be found, as a literal.
  s.cdsAreaNegDW->SetData(TextPacket(
      {"CDAREANEGDW", "NMAREANEGDW"},
      {{"00001", "Comercial"}, {"00002", "Financeiro"}, {"A'B", "Aspas"}, {"A", "Prefixo"}}));
  LoadFacts({{"S", "00002", "M"},
             {"S", "99999", "M"},
             {"S", "", "M"},
             {"S", "A'B", "M"},
             {"S", "' OR ", "M"}});
  const int col = orb::IndiceCol(s.dbgFatos, "CDAREANEGDW");
  const std::vector<std::string> shown = {"Financeiro", "", "", "Aspas", ""};
  for (int recno = 1; recno <= 5; ++recno) {
    SCOPED_TRACE(recno);
    const vcl::TRect cell = s.dbgFatos->CellRect(recno, col);
    const vcl::TRecordingCanvas canvas = Draw(s.dbgFatos, recno, "CDAREANEGDW");
    const TCanvasCall text = LastText(canvas);
    EXPECT_EQ(text.text, shown[recno - 1]);
    EXPECT_EQ(text.rect, cell);
    EXPECT_EQ(text.x, cell.Left + 1);
    EXPECT_EQ(text.y, cell.Top + 2);
    EXPECT_TRUE(canvas.CallsIn(TCanvasCall::DrawFocusRect).empty());
    EXPECT_TRUE(canvas.CallsIn(TCanvasCall::BrushCopy).empty());
  }

  // The data marts are left as they were found: no filter, Filtered as it was.
  for (bool filtered : {false, true}) {
    s.cdsAreaNegDW->SetFiltered(filtered);
    EXPECT_EQ(DrawnText(s.dbgFatos, 1, "CDAREANEGDW"), "Financeiro");
    EXPECT_EQ(s.cdsAreaNegDW->Filtered(), filtered);
    EXPECT_EQ(s.cdsAreaNegDW->Filter(), "");
    EXPECT_EQ(s.cdsAreaNegDW->RecordCount(), 4);
  }

  // The focused cell gets the focus frame.
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshDados));
  h.Focus("dbgFatos");
  h.PickColumn("dbgFatos", "CDAREANEGDW");
  const vcl::TRecordingCanvas canvas = Draw(s.dbgFatos, s.dbgFatos->Row(), "CDAREANEGDW");
  const auto frames = canvas.CallsIn(TCanvasCall::DrawFocusRect);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].rect, s.dbgFatos->CellRect(s.dbgFatos->Row(), col));
}

TEST_F(GridDisplay, TheDimensionNumberIsDrawnByItsName) {
  s.cdsDimeDime->SetData(TextPacket({"NRSEQUEDIME", "NMITEMDIME"},
                                    {{"00002", "Produto"}, {"00003", "Mês"}, {"00012", ""}}));
  ASSERT_EQ(s.dbgDimensoes->DataSource(), s.dtsDime);
  LoadDimensions({"00002", "00099", "", "00012", "1'2", "00003"});
  const int col = orb::IndiceCol(s.dbgDimensoes, "NRSEQUEDIME");
  // Unknown numbers, and numbers the catalogue names with nothing, show as
  // the number itself.
  const std::vector<std::string> shown = {"Produto", "00099", "", "00012", "1'2", "Mês"};
  for (int recno = 1; recno <= 6; ++recno) {
    SCOPED_TRACE(recno);
    const vcl::TRect cell = s.dbgDimensoes->CellRect(recno, col);
    const TCanvasCall text = LastText(Draw(s.dbgDimensoes, recno, "NRSEQUEDIME"));
    EXPECT_EQ(text.text, shown[recno - 1]);
    EXPECT_EQ(text.rect, cell);
    EXPECT_EQ(text.x, cell.Left + 1);
    EXPECT_EQ(text.y, cell.Top + 2);
  }
  EXPECT_TRUE(s.cdsDimeDime->Filtered());
  EXPECT_EQ(s.cdsDimeDime->Filter(), "");
  EXPECT_EQ(s.cdsDimeDime->RecordCount(), 3);

  // The field column keeps the grid's own drawing.
  const vcl::TRecordingCanvas field_cell = Draw(s.dbgDimensoes, 1, "CDITEMDIME");
  ASSERT_EQ(field_cell.CallsIn(TCanvasCall::TextRect).size(), 1u);
  EXPECT_EQ(LastText(field_cell).text, "CD_00002");
}

TEST_F(GridDisplay, TheOpenEditorOfAnUnfocusedGridShowsTheNumberItself) {
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshDados));
  h.Focus("dbgDimensoes");
  h.PickColumn("dbgDimensoes", "NRSEQUEDIME");
  s.dbgDimensoes->SetEditorMode(true);
  ASSERT_TRUE(s.dbgDimensoes->EditorMode());
  const int row = s.dbgDimensoes->Row();
  const std::string number = s.cdsDime->FieldByName("NRSEQUEDIME")->AsString();
  ASSERT_FALSE(number.empty());
  // Focused: the name, with the focus frame.
  vcl::TRecordingCanvas focused = Draw(s.dbgDimensoes, row, "NRSEQUEDIME");
  EXPECT_NE(LastText(focused).text, number);
  EXPECT_EQ(focused.CallsIn(TCanvasCall::DrawFocusRect).size(), 1u);
  // Selected alone (the focus elsewhere): the number as the editor holds it.
  h.Focus("dbgFatos");
  ASSERT_TRUE(s.dbgDimensoes->EditorMode());
  const vcl::TRecordingCanvas selected = Draw(s.dbgDimensoes, row, "NRSEQUEDIME");
  EXPECT_EQ(LastText(selected).text, number);
  EXPECT_TRUE(selected.CallsIn(TCanvasCall::DrawFocusRect).empty());
}

TEST_F(GridDisplay, PaintingAFrameAsksTheServerNothing) {
  ASSERT_TRUE(s.pgcPadrao->SelectTab(s.tshDados));
  ASSERT_GT(s.cdsFatos->RecordCount(), 0);
  ASSERT_GT(s.cdsDime->RecordCount(), 0);
  h.ClearCalls();
  vcl::TRecordingCanvas facts, dimensions;
  s.dbgFatos->Paint(facts);
  s.dbgDimensoes->Paint(dimensions);
  EXPECT_TRUE(h.CallNames().empty());
  EXPECT_FALSE(facts.CallsIn(TCanvasCall::BrushCopy).empty());
  // Every data-mart and dimension cell shows a name, never a code.
  for (const TCanvasCall& c : dimensions.CallsIn(TCanvasCall::TextRect))
    if (c.x == c.rect.Left + 1) {
      EXPECT_FALSE(c.text.starts_with("000")) << c.text;
    }
  for (const TCanvasCall& c : facts.CallsIn(TCanvasCall::TextRect))
    if (c.x == c.rect.Left + 1) {
      EXPECT_FALSE(c.text.starts_with("000")) << c.text;
    }
}

}  // namespace
}  // namespace qmxtest
