// The components the structure screen adds to the base grid screen: its
// datasets, data sources, pages, panels, grids, images and connection. The
// screen class carries them as public fields named as the components; the
// model's builders (datasets.h, layout.h) create them, owned by the screen.
#pragma once

#include "db/client_dataset.h"
#include "db/data_source.h"
#include "orb/net_connection.h"
#include "vcl/db_grid.h"
#include "vcl/image.h"
#include "vcl/page_control.h"
#include "vcl/panel.h"

namespace qmx00600 {

struct EstruturaComponents {
  // -- Datasets, in the order they are declared.
  db::TClientDataSet* cdsTabelas = nullptr;
  db::TClientDataSet* cdsTabelaDrill = nullptr;
  db::TClientDataSet* cdsFatos = nullptr;
  db::TClientDataSet* cdsDime = nullptr;
  db::TClientDataSet* cdsFatosDrill = nullptr;
  db::TClientDataSet* cdsDimeDrill = nullptr;
  db::TClientDataSet* cdsAreaNegDW = nullptr;
  db::TClientDataSet* cdsPesqAreaNegDW = nullptr;
  db::TClientDataSet* cdsDimeDime = nullptr;
  db::TClientDataSet* cdsPesqDimeDime = nullptr;
  db::TClientDataSet* cdsFields = nullptr;
  db::TClientDataSet* cdsTabDrill = nullptr;
  db::TClientDataSet* cdsVdTabela = nullptr;
  db::TClientDataSet* cdsVdFatos = nullptr;
  db::TClientDataSet* cdsVdDime = nullptr;
  db::TClientDataSet* cdsVdDelDrill = nullptr;

  // -- Data sources (dtsPadrao is the base screen's).
  db::TDataSource* dtsTabelaDrill = nullptr;
  db::TDataSource* dtsFatos = nullptr;
  db::TDataSource* dtsDime = nullptr;
  db::TDataSource* dtsFatosDrill = nullptr;
  db::TDataSource* dtsDimeDrill = nullptr;
  db::TDataSource* dtsAreaNegDW = nullptr;
  db::TDataSource* dtsDimeDime = nullptr;
  db::TDataSource* dtsFields = nullptr;
  db::TDataSource* dtsTabDrill = nullptr;

  // -- Page "Tabelas Fato" (the base screen's tshPadrao).
  vcl::TPanel* panTabelas = nullptr;      // holds both lists
  vcl::TPanel* PanTopFatos = nullptr;     // upper part: the fact-table list
  vcl::TPanel* lblTabelaFatos = nullptr;  // its caption panel
  vcl::TDBGrid* dbgTabelaFatos = nullptr;
  vcl::TSplitter* splFatos = nullptr;
  vcl::TPanel* panClientFatos = nullptr;  // lower part: the drill-table list
  vcl::TPanel* lblTabelaDrill = nullptr;
  vcl::TDBGrid* dbgTabelaDrill = nullptr;

  // -- Page "Fatos e Dimensões".
  vcl::TTabSheet* tshDados = nullptr;
  vcl::TPanel* panDados = nullptr;
  vcl::TPanel* pnlFatos = nullptr;
  vcl::TPanel* lblFatos = nullptr;
  vcl::TDBGrid* dbgFatos = nullptr;
  vcl::TDBGrid* dbgFatosDrill = nullptr;
  vcl::TSplitter* splDimensoes = nullptr;
  vcl::TPanel* pnlDImensoes = nullptr;
  vcl::TPanel* lblDimensoes = nullptr;
  vcl::TDBGrid* dbgDimensoes = nullptr;

  // -- Bitmap holders of the fact check column.
  vcl::TImage* imgCheck = nullptr;
  vcl::TImage* imgUncheck = nullptr;

  // -- The link to the application server.
  orb::TNetConnection* netEstrutura = nullptr;
};

}  // namespace qmx00600
