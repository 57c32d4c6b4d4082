#include "model/layout.h"

#include <stdexcept>
#include <string>

#include "model/check_images.h"

namespace qmx00600 {

namespace {

template <class T>
T* Place(rtl::TComponent* owner, vcl::TWinControl* parent, const char* name) {
  T* control = new T(owner);
  control->SetName(name);
  control->SetParent(parent);
  return control;
}

vcl::TPanel* CaptionPanel(rtl::TComponent* owner, vcl::TWinControl* parent, const char* name,
                          const char* caption) {
  auto* panel = Place<vcl::TPanel>(owner, parent, name);
  panel->SetAlign(vcl::TAlign::alTop);
  panel->SetHeight(19);
  panel->SetCaption(caption);
  panel->Font().SetBold(true);
  return panel;
}

// A component field of the screen and the name the control it holds gets.
template <class T>
struct Slot {
  T*& control;
  const char* name;
};

// Both pages are arranged alike: `whole` fills the parent and holds a top
// pane 160 pixels high, a 6-pixel splitter under it and a bottom pane that
// fills the rest.
void SplitInTwo(rtl::TComponent* owner, vcl::TWinControl* parent, Slot<vcl::TPanel> whole,
                Slot<vcl::TPanel> top, Slot<vcl::TSplitter> splitter, Slot<vcl::TPanel> bottom) {
  whole.control = Place<vcl::TPanel>(owner, parent, whole.name);
  whole.control->SetAlign(vcl::TAlign::alClient);
  top.control = Place<vcl::TPanel>(owner, whole.control, top.name);
  top.control->SetAlign(vcl::TAlign::alTop);
  top.control->SetHeight(160);
  splitter.control = Place<vcl::TSplitter>(owner, whole.control, splitter.name);
  splitter.control->SetAlign(vcl::TAlign::alTop);
  splitter.control->SetHeight(6);
  bottom.control = Place<vcl::TPanel>(owner, whole.control, bottom.name);
  bottom.control->SetAlign(vcl::TAlign::alClient);
}

const GridLayout& LayoutOf(std::string_view grid) {
  for (const GridLayout& g : GridLayouts())
    if (g.name == grid) return g;
  throw std::logic_error("grid without a layout: " + std::string(grid));
}

vcl::TDBGrid* Grid(rtl::TComponent* owner, vcl::TWinControl* parent, const char* name,
                   db::TDataSource* source) {
  auto* grid = Place<vcl::TDBGrid>(owner, parent, name);
  grid->SetAlign(vcl::TAlign::alClient);
  grid->SetOptions(kGridOptions);
  grid->SetColor(vcl::clInfoBk);
  grid->SetDataSource(source);
  for (const ColumnLayout& def : LayoutOf(name).columns) {
    vcl::TColumn* column = grid->Columns().Add();
    column->SetFieldName(std::string(def.field));
    column->SetWidth(def.width);
    if (def.ellipsis) column->SetButtonStyle(vcl::TColumnButtonStyle::cbsEllipsis);
    if (def.type_pick_list) column->SetPickList(FactTypePickList());
  }
  return grid;
}

}  // namespace

const std::vector<GridLayout>& GridLayouts() {
  static const std::vector<GridLayout> layouts = {
      {"dbgTabelaFatos", {{"CDTABELADW", 200}, {"NMTABELADW", 300}}},
      {"dbgTabelaDrill", {{"CDTABELADW", 200}, {"NMTABELADW", 300}}},
      {"dbgFatos",
       {{"IDFATODW", 15},
        {"CDITEMDW", 104, true},
        {"NMITEMDW", 128},
        {"CDAREANEGDW", 90, true},
        {"IDTPFATODW", 72, false, true},
        {"DSHINTITEM", 140},
        {"CDTABDRILL", 140, true}}},
      {"dbgFatosDrill",
       {{"CDITEMDRILL", 120, true},
        {"NMITEMDRILL", 128},
        {"IDTPFATODRILL", 89, false, true},
        {"DSHINTDRILL", 355}}},
      {"dbgDimensoes", {{"CDITEMDIME", 200, true}, {"NRSEQUEDIME", 300, true}}},
  };
  return layouts;
}

const std::vector<std::string>& FactTypePickList() {
  static const std::vector<std::string> names = {"Moeda", "Percentual", "Quantidade",
                                                 "Número inteiro"};
  return names;
}

void BuildLayout(frm::TfrmPadraoGrid& s, EstruturaComponents& c) {
  s.SetCaption("Estrutura do DW");
  s.SetFormStyle(vcl::TFormStyle::fsMDIChild);
  s.SetBounds(s.Left(), s.Top(), 761, 470);
  s.lblCodTela->SetCaption("QMX00600");

  // The base grid stays, unused: a hidden 1 x 1 grid without data.
  s.dbgPadrao->SetAlign(vcl::TAlign::alNone);
  s.dbgPadrao->SetDataSource(nullptr);
  s.dbgPadrao->SetBounds(0, 0, 1, 1);
  s.dbgPadrao->SetVisible(false);
  s.sbtImprimir->SetEnabled(false);
  s.mnuListagem->SetEnabled(false);
  s.mnuConfigImpressora->SetEnabled(false);
  s.dbtNome->SetDataField("NMTABELADW");

  // Page 1: the fact tables above the drill tables.
  s.tshPadrao->SetCaption("Tabelas Fato");
  s.tshPadrao->SetVisible(true);
  s.tshPadrao->SetTabVisible(true);
  SplitInTwo(&s, s.scbFolhaDados, {c.panTabelas, "panTabelas"}, {c.PanTopFatos, "PanTopFatos"},
             {c.splFatos, "splFatos"}, {c.panClientFatos, "panClientFatos"});
  c.lblTabelaFatos = CaptionPanel(&s, c.PanTopFatos, "lblTabelaFatos", " Tabelas Fato");
  c.dbgTabelaFatos = Grid(&s, c.PanTopFatos, "dbgTabelaFatos", s.dtsPadrao);
  c.lblTabelaDrill = CaptionPanel(&s, c.panClientFatos, "lblTabelaDrill", " Tabelas Drill Down");
  c.dbgTabelaDrill = Grid(&s, c.panClientFatos, "dbgTabelaDrill", c.dtsTabelaDrill);

  // Page 2: facts above dimensions.
  c.tshDados = new vcl::TTabSheet(&s);
  c.tshDados->SetName("tshDados");
  c.tshDados->SetPageControl(s.pgcPadrao);
  c.tshDados->SetCaption("Fatos e Dimensões");
  c.tshDados->SetAlign(vcl::TAlign::alClient);
  SplitInTwo(&s, c.tshDados, {c.panDados, "panDados"}, {c.pnlFatos, "pnlFatos"},
             {c.splDimensoes, "splDimensoes"}, {c.pnlDImensoes, "pnlDImensoes"});
  c.lblFatos = CaptionPanel(&s, c.pnlFatos, "lblFatos", " Fatos");
  c.dbgFatos = Grid(&s, c.pnlFatos, "dbgFatos", c.dtsFatos);
  vcl::TColumn* check = c.dbgFatos->Columns()[0];
  check->Title().SetCaption("4");
  check->Title().Font().SetCharset(vcl::SYMBOL_CHARSET);
  check->Title().Font().SetColor(vcl::clWhite);
  c.dbgFatosDrill = Grid(&s, c.pnlFatos, "dbgFatosDrill", c.dtsFatosDrill);
  c.dbgFatosDrill->SetVisible(false);
  c.lblDimensoes = CaptionPanel(&s, c.pnlDImensoes, "lblDimensoes", " Dimensões");
  c.dbgDimensoes = Grid(&s, c.pnlDImensoes, "dbgDimensoes", c.dtsDime);

  // Bitmap holders of the check column, never shown.
  c.imgCheck = Place<vcl::TImage>(&s, &s, "imgCheck");
  c.imgCheck->SetBounds(0, 0, 16, 16);
  c.imgCheck->SetVisible(false);
  c.imgCheck->SetBitmap(CheckBoxBitmap(true));
  c.imgUncheck = Place<vcl::TImage>(&s, &s, "imgUncheck");
  c.imgUncheck->SetBounds(0, 0, 16, 16);
  c.imgUncheck->SetVisible(false);
  c.imgUncheck->SetBitmap(CheckBoxBitmap(false));
}

}  // namespace qmx00600
