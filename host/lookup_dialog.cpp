#include "lookup_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "db/client_dataset.h"
#include "db/data_source.h"

namespace host {

LookupDialog::LookupDialog(db::TDataSource& source, const QString& title, QWidget* parent)
    : QDialog(parent), dataset_(source.DataSet()) {
  setObjectName(QStringLiteral("lookupDialog"));
  setWindowTitle(title.isEmpty() ? QStringLiteral("Pesquisa") : title);
  auto* layout = new QVBoxLayout(this);
  auto* label = new QLabel(QStringLiteral("&Filtrar:"), this);
  filter_ = new QLineEdit(this);
  filter_->setObjectName(QStringLiteral("filter"));
  filter_->setPlaceholderText(QStringLiteral("Digite parte do código ou do nome"));
  label->setBuddy(filter_);
  layout->addWidget(label);
  layout->addWidget(filter_);

  std::vector<db::TField*> fields;
  if (dataset_)
    for (int i = 0; i < dataset_->FieldCount(); ++i)
      if (dataset_->Fields(i)->Visible()) fields.push_back(dataset_->Fields(i));
  const int rows = dataset_ && dataset_->Active() ? dataset_->RecordCount() : 0;
  table_ = new QTableWidget(rows, static_cast<int>(fields.size()), this);
  table_->setObjectName(QStringLiteral("rows"));
  QStringList titles;
  for (db::TField* f : fields) titles << QString::fromStdString(f->DisplayLabel());
  table_->setHorizontalHeaderLabels(titles);
  for (int r = 0; r < rows; ++r) {
    db::TClientDataSet::ActiveRecordScope scope(*dataset_, r + 1);
    for (int c = 0; c < static_cast<int>(fields.size()); ++c) {
      auto* item = new QTableWidgetItem(QString::fromStdString(fields[c]->DisplayText()));
      item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
      item->setData(Qt::UserRole, r + 1);
      table_->setItem(r, c, item);
    }
  }
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->resizeColumnsToContents();
  table_->setAlternatingRowColors(true);
  layout->addWidget(table_, 1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancelar"));
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    if (ChosenRecord() > 0) accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(table_, &QTableWidget::cellDoubleClicked, this, [this] {
    if (ChosenRecord() > 0) accept();
  });
  connect(filter_, &QLineEdit::textChanged, this, &LookupDialog::ApplyFilter);
  filter_->installEventFilter(this);

  // Start on the dataset's current row.
  const int current = dataset_ && dataset_->Active() ? dataset_->RecNo() : 0;
  if (current > 0 && current <= rows)
    table_->selectRow(current - 1);
  else if (rows > 0)
    table_->selectRow(0);
  resize(std::max(420, std::min(760, table_->horizontalHeader()->length() + 60)), 380);
  filter_->setFocus();
}

bool LookupDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == filter_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
        key == Qt::Key_PageDown) {
      QApplication::sendEvent(table_, event);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void LookupDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (QTableWidgetItem* item = table_->currentItem())
    table_->scrollToItem(item, QAbstractItemView::PositionAtCenter);
}

void LookupDialog::ApplyFilter(const QString& text) {
  int first_shown = -1;
  for (int r = 0; r < table_->rowCount(); ++r) {
    bool match = text.isEmpty();
    for (int c = 0; c < table_->columnCount() && !match; ++c)
      match = table_->item(r, c)->text().contains(text, Qt::CaseInsensitive);
    table_->setRowHidden(r, !match);
    if (match && first_shown < 0) first_shown = r;
  }
  const int selected = table_->currentRow();
  if (selected < 0 || table_->isRowHidden(selected)) {
    if (first_shown >= 0)
      table_->selectRow(first_shown);
    else
      table_->clearSelection();
  }
}

int LookupDialog::ChosenRecord() const {
  const QList<QTableWidgetItem*> selected = table_->selectedItems();
  for (QTableWidgetItem* item : selected)
    if (!table_->isRowHidden(item->row())) return item->data(Qt::UserRole).toInt();
  return 0;
}

bool LookupDialog::Run() {
  if (exec() != QDialog::Accepted) return false;
  const int recno = ChosenRecord();
  if (!dataset_ || !dataset_->Active() || recno < 1 || recno > dataset_->RecordCount())
    return false;
  dataset_->SetRecNo(recno);
  return true;
}

}  // namespace host
