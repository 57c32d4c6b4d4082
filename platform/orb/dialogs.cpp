#include "orb/dialogs.h"

#include "db/client_dataset.h"
#include "db/data_source.h"
#include "orb/busy.h"
#include "rtl/exceptions.h"
#include "vcl/user_interface.h"

namespace orb {

void MensErro(const std::string& text, bool abort) {
  {
    DialogOverBusy dialog(abort);
    vcl::UserInterface().ShowError(text);
  }
  if (abort) rtl::Abort();
}

bool Pesquisar(db::TDataSource& source, const std::string& title, bool multi_select,
               bool position) {
  if (multi_select)
    throw rtl::Exception("Pesquisa com seleção de vários registros não disponível: " + title);
  db::TClientDataSet* dataset = source.DataSet();
  if (dataset == nullptr || !dataset->Active()) return false;
  const int before = dataset->RecNo();
  bool chosen = false;
  {
    DialogOverBusy dialog;
    chosen = vcl::UserInterface().Lookup(source, title);
  }
  if (!position && dataset->Active() && dataset->RecNo() != before && before > 0 &&
      before <= dataset->RecordCount())
    dataset->SetRecNo(before);
  return chosen;
}

bool Procura(db::TClientDataSet& dataset) {
  if (!dataset.Active()) return false;
  DialogOverBusy dialog;
  return vcl::UserInterface().Search(dataset);
}

}  // namespace orb
