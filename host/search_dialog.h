// SearchDialog: the search of the host library (Procura): the person picks a
// column of the dataset by its label and types the beginning of a value; the
// first row whose value starts with it (without regard to case) becomes
// current. A value not found says so and leaves the dialog open.
#pragma once

#include <QDialog>

class QComboBox;
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
  // Tries the search: true when a row was found and made current.
  bool Find();
  bool Run();

 private:
  db::TClientDataSet& dataset_;
  QComboBox* field_;
  QLineEdit* value_;
  bool found_ = false;
};

}  // namespace host
