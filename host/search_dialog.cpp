#include "search_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>

#include "db/client_dataset.h"
#include "model_call.h"
#include "orb/text_search.h"

namespace host {
namespace {

// What was searched last, offered again, and where it was found: opened
// again on that row, the same search goes on after it.
struct LastSearch {
  QString field, text;
  const db::TClientDataSet* dataset = nullptr;
  int recno = 0;
};
LastSearch& Last() {
  static LastSearch last;
  return last;
}

}  // namespace

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
  if (const int last = field_->findData(Last().field); last >= 0) field_->setCurrentIndex(last);
  value_ = new QLineEdit(Last().text, this);
  value_->setObjectName(QStringLiteral("value"));
  value_->selectAll();
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("status"));
  form->addRow(QStringLiteral("&Coluna:"), field_);
  form->addRow(QStringLiteral("&Valor:"), value_);
  form->addRow(status_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  QPushButton* next =
      buttons->addButton(QStringLiteral("&Localizar"), QDialogButtonBox::ActionRole);
  next->setObjectName(QStringLiteral("findNext"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancelar"));
  form->addRow(buttons);
  // Enter goes on to the next match; only OK and Cancelar close.
  buttons->button(QDialogButtonBox::Ok)->setAutoDefault(false);
  buttons->button(QDialogButtonBox::Cancel)->setAutoDefault(false);
  next->setDefault(true);
  connect(next, &QPushButton::clicked, this, [this] { Find(); });
  connect(new QShortcut(QKeySequence(Qt::Key_F3), this), &QShortcut::activated, this,
          [this] { Find(); });
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    if (value_->text() != searched_text_ || field_->currentData().toString() != searched_field_)
      Find();
    accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  value_->setFocus();
  if (Last().dataset == &dataset && Last().recno == dataset.RecNo()) {
    searched_field_ = Last().field;
    searched_text_ = Last().text;
  }
}

bool SearchDialog::Find() {
  const QString field = field_->currentData().toString();
  const QString value = value_->text();
  if (field.isEmpty() || value.isEmpty() || !dataset_.Active()) return false;
  Last() = {field, value, &dataset_, 0};
  // The same search again goes on after the row it found.
  const bool again = field == searched_field_ && value == searched_text_;
  searched_field_ = field;
  searched_text_ = value;
  const int from = dataset_.RecNo() + (again ? 1 : 0);
  const orb::TextHit hit = orb::FindText(dataset_, field.toStdString(), value.toStdString(), from);
  if (hit.recno == 0) {
    status_->setText(QStringLiteral("Nenhum registro encontrado."));
    return false;
  }
  // A move may post a pending row and fail; the failure is shown like any other.
  const bool moved = RunModelAction([&] { dataset_.SetRecNo(hit.recno); });
  found_ = found_ || moved;
  if (moved) Last().recno = dataset_.RecNo();
  status_->setText(hit.wrapped ? QStringLiteral("Fim da lista: a busca recomeçou do início.")
                               : QString());
  return moved;
}

bool SearchDialog::Run() {
  exec();
  return found_;
}

}  // namespace host
