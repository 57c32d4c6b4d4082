// A grid over a small dataset (CODE 5 "Código", NAME 10 "Nome") on a shown
// form, with every grid and dataset event recorded.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/client_dataset.h"
#include "db/data_source.h"
#include "fake_ui.h"
#include "vcl/db_grid.h"
#include "vcl/form.h"
#include "vcl/panel.h"

namespace vcltest {

class GridTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form = new vcl::TForm(nullptr);
    panel = new vcl::TPanel(form);
    panel->SetParent(form);
    ds = new db::TClientDataSet(form);
    ds->AddStringField("CODE", 5, "Código");
    ds->AddStringField("NAME", 10, "Nome");
    ds->CreateDataSet();
    for (const char* code : {"A", "B", "C"}) {
      ds->Append();
      ds->FieldByName("CODE")->SetAsString(code);
      ds->FieldByName("NAME")->SetAsString(std::string("nome ") + code);
      ds->Post();
    }
    ds->MergeChangeLog();
    ds->First();
    src = new db::TDataSource(form);
    src->SetDataSet(ds);
    grid = new vcl::TDBGrid(form);
    grid->SetParent(panel);
    grid->SetDataSource(src);
    code = grid->Columns().Add();
    code->SetFieldName("CODE");
    name = grid->Columns().Add();
    name->SetFieldName("NAME");
    grid->OnColExit = [this](rtl::TObject*) { log.push_back("colexit:" + Selected()); };
    grid->OnColEnter = [this](rtl::TObject*) { log.push_back("colenter:" + Selected()); };
    form->Show();
  }
  void TearDown() override { form->Free(); }

  std::string Selected() const {
    return grid->SelectedField() ? grid->SelectedField()->FieldName() : "-";
  }
  std::string Value(const char* field) const { return ds->FieldByName(field)->AsString(); }
  db::TDataSetState State() const { return ds->State(); }
  void Type(std::string_view text) {
    for (char c : text) grid->KeyPress(c);
  }

  FakeUI ui;
  vcl::TForm* form;
  vcl::TPanel* panel;
  db::TClientDataSet* ds;
  db::TDataSource* src;
  vcl::TDBGrid* grid;
  vcl::TColumn* code;
  vcl::TColumn* name;
  std::vector<std::string> log;
};

}  // namespace vcltest
