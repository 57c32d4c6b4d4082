#include "model/datasets.h"

#include <stdexcept>
#include <string>

namespace qmx00600 {

namespace {

using C = EstruturaComponents;

// The three fields of every list of tables.
std::vector<FieldDef> TableFields(bool drill_flag_hidden) {
  return {{"CDTABELADW", 30, "Código"},
          {"NMTABELADW", 30, "Nome"},
          {"IDDRILLDOWN", 1, "", drill_flag_hidden}};
}

std::vector<FieldDef> DataMartFields() {
  return {{"CDAREANEGDW", 5, "Código"}, {"NMAREANEGDW", 30, "Nome"}};
}

std::vector<FieldDef> DimensionCatalogueFields() {
  return {{"NRSEQUEDIME", 5, "Código"}, {"NMITEMDIME", 30, "Nome"}};
}

std::vector<FieldDef> DimensionFields() {
  return {
      {"CDTABELADW", 30, "", true}, {"CDITEMDIME", 30, "Campo"}, {"NRSEQUEDIME", 5, "Dimensão"}};
}

}  // namespace

const std::vector<DataSetDef>& DataSetDefs() {
  static const std::vector<DataSetDef> defs = {
      {"cdsTabelas", &C::cdsTabelas, TableFields(true)},
      {"cdsTabelaDrill", &C::cdsTabelaDrill, TableFields(true)},
      {"cdsFatos",
       &C::cdsFatos,
       {{"IDFATODW", 1, "", true, true},
        {"CDTABELADW", 30, "", true},
        {"CDITEMDW", 30, "Campo"},
        {"CDAREANEGDW", 5, "Data Mart"},
        {"NMITEMDW", 30, "Nome"},
        {"IDTPFATODW", 1, "Tipo", false, true},
        {"DSHINTITEM", 200, "Descrição"},
        {"CDTABDRILL", 30, "Tabela Drill"}}},
      {"cdsDime", &C::cdsDime, DimensionFields()},
      {"cdsFatosDrill",
       &C::cdsFatosDrill,
       {{"CDTABDRILL", 30, "", true},
        {"CDITEMDRILL", 30, "Campo"},
        {"NMITEMDRILL", 30, "Nome"},
        {"IDTPFATODRILL", 1, "Tipo", false, true},
        {"DSHINTDRILL", 200, "Descrição"}}},
      {"cdsDimeDrill",
       &C::cdsDimeDrill,
       {{"CDTABDRILL", 30, "", true},
        {"CDDIMEDRILL", 30, "Campo"},
        {"NRSEQUEDIME", 5, "Dimensão"}}},
      {"cdsAreaNegDW", &C::cdsAreaNegDW, DataMartFields(), true, "cdsAreaNegDWIndex1"},
      {"cdsPesqAreaNegDW", &C::cdsPesqAreaNegDW, DataMartFields(), true, "cdsAreaNegDWIndex1"},
      {"cdsDimeDime", &C::cdsDimeDime, DimensionCatalogueFields(), true},
      {"cdsPesqDimeDime", &C::cdsPesqDimeDime, DimensionCatalogueFields(), true},
      {"cdsFields", &C::cdsFields, {{"CDFIELD", 30, "Campo"}}},
      {"cdsTabDrill", &C::cdsTabDrill, TableFields(true)},
      {"cdsVdTabela", &C::cdsVdTabela, TableFields(false)},
      {"cdsVdFatos",
       &C::cdsVdFatos,
       {{"IDFATODW", 1, "", true, true},
        {"CDTABELADW", 30, "", true},
        {"CDITEMDW", 30, "Campo"},
        {"NMITEMDW", 30, "Nome"},
        {"CDAREANEGDW", 5, "Data Mart"},
        {"IDTPFATODW", 1, "Tipo", false, true},
        {"DSHINTITEM", 200, "Descrição"}}},
      {"cdsVdDime", &C::cdsVdDime, DimensionFields()},
      {"cdsVdDelDrill", &C::cdsVdDelDrill, {{"CDTABELADW", 30, ""}}},
  };
  return defs;
}

const std::vector<DataSourceDef>& DataSourceDefs() {
  static const std::vector<DataSourceDef> defs = {
      {"dtsPadrao", nullptr, "cdsTabelas"},
      {"dtsTabelaDrill", &C::dtsTabelaDrill, "cdsTabelaDrill"},
      {"dtsFatos", &C::dtsFatos, "cdsFatos"},
      {"dtsDime", &C::dtsDime, "cdsDime"},
      {"dtsFatosDrill", &C::dtsFatosDrill, "cdsFatosDrill"},
      {"dtsDimeDrill", &C::dtsDimeDrill, "cdsDimeDrill"},
      {"dtsAreaNegDW", &C::dtsAreaNegDW, "cdsPesqAreaNegDW"},
      {"dtsDimeDime", &C::dtsDimeDime, "cdsPesqDimeDime"},
      {"dtsFields", &C::dtsFields, "cdsFields"},
      {"dtsTabDrill", &C::dtsTabDrill, "cdsTabDrill"},
  };
  return defs;
}

void BuildDataSets(rtl::TComponent* owner, db::TDataSource* dtsPadrao, EstruturaComponents& c) {
  for (const DataSetDef& def : DataSetDefs()) {
    auto* ds = new db::TClientDataSet(owner);
    ds->SetName(std::string(def.name));
    for (const FieldDef& f : def.fields)
      ds->AddStringField(std::string(f.name), f.size, std::string(f.label), !f.hidden, f.fixed);
    // An empty filter lets every row through; the checks set their own.
    ds->SetFiltered(def.filtered);
    c.*def.member = ds;
  }
  for (const DataSourceDef& def : DataSourceDefs()) {
    db::TDataSource* source = dtsPadrao;
    if (def.member != nullptr) {
      source = new db::TDataSource(owner);
      source->SetName(std::string(def.name));
      c.*def.member = source;
    }
    auto* ds = dynamic_cast<db::TClientDataSet*>(owner->FindComponent(def.dataset));
    if (ds == nullptr)
      throw std::logic_error("data source without its dataset: " + std::string(def.name));
    source->SetDataSet(ds);
  }
}

}  // namespace qmx00600
