#include "search_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "db/client_dataset.h"
#include "model_call.h"

namespace host {

SearchDialog::SearchDialog(db::TClientDataSet& dataset, QWidget* parent)
    : QDialog(parent), dataset_(dataset) {
  setObjectName(QStringLiteral("searchDialog"));
  setWindowTitle(QStringLiteral("Procurar"));
  auto* form = new QFormLayout(this);
  field_ = new QComboBox(this);
  field_->setObjectName(QStringLiteral("field"));
  for (int i = 0; i < dataset.FieldCount(); ++i) {
    db::TField* f = dataset.Fields(i);
    if (f->Visible())
      field_->addItem(QString::fromStdString(f->DisplayLabel()),
                      QString::fromStdString(f->FieldName()));
  }
  value_ = new QLineEdit(this);
  value_->setObjectName(QStringLiteral("value"));
  form->addRow(QStringLiteral("&Coluna:"), field_);
  form->addRow(QStringLiteral("&Valor:"), value_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Localizar"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancelar"));
  form->addRow(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    if (Find()) {
      accept();
    } else if (!value_->text().isEmpty()) {
      QMessageBox::information(this, windowTitle(), QStringLiteral("Nenhum registro encontrado."));
    }
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  value_->setFocus();
}

bool SearchDialog::Find() {
  const QString field = field_->currentData().toString();
  const QString value = value_->text();
  if (field.isEmpty() || value.isEmpty() || !dataset_.Active()) return false;
  found_ = false;
  // A move may post a pending row and fail; the failure is shown like any other.
  RunModelAction([&] {
    found_ = dataset_.Locate(field.toStdString(), rtl::Variant(value.toStdString()),
                             db::loCaseInsensitive | db::loPartialKey);
  });
  return found_;
}

bool SearchDialog::Run() {
  return exec() == QDialog::Accepted && found_;
}

}  // namespace host
