// SearchDialog: the search of the host library (Procura): the person picks a
// column of the dataset by its label and types part of a value; the first row
// at or after the current one whose value contains it (without regard to case
// or accents) becomes current. Localizar, Enter and F3 go on to the next
// match; a line in the dialog says when the search went round to the first
// row or found nothing. OK searches for a text not yet searched and closes;
// OK, Cancelar and Escape always close. The column and text are offered
// again the next time.
#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;

namespace db {
class TClientDataSet;
}

namespace host {

class SearchDialog : public QDialog {
 public:
  SearchDialog(db::TClientDataSet& dataset, QWidget* parent);
  QComboBox* FieldBox() const { return field_; }
  QLineEdit* ValueBox() const { return value_; }
  QLabel* StatusLine() const { return status_; }
  // Goes to the next match: true when a row was found and made current.
  bool Find();
  // Shows the dialog; true when a row was found and is current.
  bool Run();

 private:
  db::TClientDataSet& dataset_;
  QComboBox* field_;
  QLineEdit* value_;
  QLabel* status_;
  bool found_ = false;
  // The column and text of the last search, so that the next goes on after
  // the row it found.
  QString searched_field_, searched_text_;
};

}  // namespace host
