// LookupDialog: the look-up of the host library (Pesquisar): a grid over the
// data source's dataset with the visible fields' labels as titles, a filter
// box that keeps the rows containing the text in any column (without regard
// to case), and OK / Cancel. It opens on the dataset's current row, scrolled
// into sight. Accepting leaves the dataset on the chosen row;
// the dataset itself is only read (its own filter is left alone) until then.
#pragma once

#include <QDialog>
#include <vector>

class QLineEdit;
class QTableWidget;

namespace db {
class TClientDataSet;
class TDataSource;
}  // namespace db

namespace host {

class LookupDialog : public QDialog {
 public:
  LookupDialog(db::TDataSource& source, const QString& title, QWidget* parent);
  // The record number chosen (1-based), or 0.
  int ChosenRecord() const;
  QLineEdit* FilterBox() const { return filter_; }
  QTableWidget* Table() const { return table_; }
  // Shows the dialog; on OK positions the dataset. True when a row was chosen.
  bool Run();

 protected:
  // Up, Down, PageUp and PageDown typed in the filter box move through the rows.
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Brings the selected row into sight, which a table not yet shown cannot.
  void showEvent(QShowEvent* event) override;

 private:
  void ApplyFilter(const QString& text);
  db::TClientDataSet* dataset_;
  QLineEdit* filter_;
  QTableWidget* table_;
};

}  // namespace host
