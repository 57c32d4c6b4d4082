#include "grid_accessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <map>
#include <utility>
#include <vector>

#include "grid_view.h"
#include "qt_canvas.h"
#include "vcl/db_grid.h"

namespace host {

namespace {

class GridAccessible;

// One cell; `row` 0 is a column title. Lives in QAccessible's registry and
// is dropped by its grid when the grid's contents change.
class CellAccessible : public QAccessibleInterface, public QAccessibleTableCellInterface {
 public:
  CellAccessible(GridAccessible* table, int row, int column)
      : table_(table), row_(row), column_(column) {}

  bool isValid() const override;
  QObject* object() const override { return nullptr; }
  QAccessibleInterface* parent() const override;
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QString text(QAccessible::Text t) const override;
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override;
  QAccessible::Role role() const override {
    return row_ == 0 ? QAccessible::ColumnHeader : QAccessible::Cell;
  }
  QAccessible::State state() const override;
  void* interface_cast(QAccessible::InterfaceType type) override {
    return type == QAccessible::TableCellInterface
               ? static_cast<QAccessibleTableCellInterface*>(this)
               : nullptr;
  }

  // QAccessibleTableCellInterface.
  bool isSelected() const override;
  QList<QAccessibleInterface*> columnHeaderCells() const override;
  QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
  int columnIndex() const override { return column_; }
  int rowIndex() const override { return row_ - 1; }
  int columnExtent() const override { return 1; }
  int rowExtent() const override { return 1; }
  QAccessibleInterface* table() const override;

 private:
  GridAccessible* table_;
  int row_;
  int column_;  // among the visible columns
};

class GridAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
 public:
  explicit GridAccessible(GridView* view) : QAccessibleWidget(view, QAccessible::Table) {}
  ~GridAccessible() override { Forget(); }

  GridView* View() const { return static_cast<GridView*>(widget()); }
  vcl::TDBGrid* Grid() const { return View()->Grid(); }

  // The grid's columns that are shown, as model column indexes.
  std::vector<int> ShownColumns() const {
    std::vector<int> shown;
    if (const vcl::TDBGrid* g = Grid())
      for (int i = 0; i < g->Columns().Count(); ++i)
        if (g->Columns()[i]->Visible()) shown.push_back(i);
    return shown;
  }
  int ModelColumn(int column) const {
    const std::vector<int> shown = ShownColumns();
    return column >= 0 && column < static_cast<int>(shown.size()) ? shown[column] : -1;
  }
  // The text the grid shows in cell (`row` 1-based record, column among
  // the shown ones); the title for row 0.
  QString CellText(int row, int column) const {
    const vcl::TDBGrid* g = Grid();
    const int col = ModelColumn(column);
    if (!g || col < 0) return {};
    if (row == 0) {
      const vcl::TColumnTitle& title = g->Columns()[col]->Title();
      return ShownText(title.Font(), title.Caption());  // a symbol font's tick as a tick
    }
    // The shown editor's text is what is under the cursor while editing.
    if (row == g->Row() && col == g->SelectedIndex() && g->EditorMode())
      return QString::fromStdString(g->EditorText());
    try {
      return QString::fromStdString(g->CellText(row, col));
    } catch (...) {
      return {};  // a get-text handler failed; the cell reads empty
    }
  }
  QRect CellRect(int row, int column) const {
    const QRect r = View()->CellRect(row, ModelColumn(column));
    return r.isEmpty() ? QRect() : QRect(View()->viewport()->mapToGlobal(r.topLeft()), r.size());
  }
  // The current cell as (row, shown column), or (-1, -1).
  std::pair<int, int> Current() const {
    const vcl::TDBGrid* g = Grid();
    if (!g || g->Row() < 1) return {-1, -1};
    const std::vector<int> shown = ShownColumns();
    for (int i = 0; i < static_cast<int>(shown.size()); ++i)
      if (shown[i] == g->SelectedIndex()) return {g->Row(), i};
    return {-1, -1};
  }

  QAccessibleInterface* Cell(int row, int column) const {
    if (row < 0 || row > rowCount() || column < 0 || column >= columnCount()) return nullptr;
    auto& id = cells_[{row, column}];
    if (id == 0)
      id = QAccessible::registerAccessibleInterface(
          new CellAccessible(const_cast<GridAccessible*>(this), row, column));
    return QAccessible::accessibleInterface(id);
  }
  void Forget() {
    for (const auto& [key, id] : cells_) QAccessible::deleteAccessibleInterface(id);
    cells_.clear();
  }

  // QAccessibleInterface. Without a name of its own the grid is named by the
  // caption of a control beside it (the panel's title), else by its columns.
  QString text(QAccessible::Text t) const override {
    QString name = QAccessibleWidget::text(t);
    if (t != QAccessible::Name || !name.isEmpty() || !Grid()) return name;
    if (const vcl::TWinControl* parent = Grid()->Parent())
      for (const vcl::TControl* c : parent->Children())
        if (c != Grid() && c->Visible() && !c->Caption().empty())
          return QString::fromStdString(c->Caption()).trimmed();
    QStringList titles;
    for (int c = 0; c < columnCount(); ++c)
      if (const QString title = CellText(0, c); !title.isEmpty()) titles << title;
    return titles.join(QStringLiteral(", "));
  }
  int childCount() const override { return (rowCount() + 1) * columnCount(); }
  QAccessibleInterface* child(int index) const override {
    const int columns = columnCount();
    return columns > 0 ? Cell(index / columns, index % columns) : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    for (const auto& [key, id] : cells_)
      if (QAccessible::accessibleInterface(id) == child)
        return key.first * columnCount() + key.second;
    return -1;
  }
  QAccessibleInterface* focusChild() const override {
    const auto [row, column] = Current();
    return row > 0 ? Cell(row, column) : nullptr;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    for (int r = 0; r <= rowCount(); ++r)
      for (int c = 0; c < columnCount(); ++c)
        if (CellRect(r, c).contains(x, y)) return Cell(r, c);
    return nullptr;
  }
  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TableInterface) return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  // QAccessibleTableInterface.
  QAccessibleInterface* caption() const override { return nullptr; }
  QAccessibleInterface* summary() const override { return nullptr; }
  QAccessibleInterface* cellAt(int row, int column) const override { return Cell(row + 1, column); }
  int columnCount() const override { return static_cast<int>(ShownColumns().size()); }
  int rowCount() const override { return Grid() ? Grid()->RowCount() : 0; }
  QString columnDescription(int column) const override { return CellText(0, column); }
  QString rowDescription(int row) const override { return QString::number(row + 1); }
  int selectedCellCount() const override { return Current().first > 0 ? 1 : 0; }
  QList<QAccessibleInterface*> selectedCells() const override {
    QList<QAccessibleInterface*> cells;
    if (QAccessibleInterface* cell = focusChild()) cells << cell;
    return cells;
  }
  int selectedColumnCount() const override { return 0; }
  int selectedRowCount() const override { return Current().first > 0 ? 1 : 0; }
  QList<int> selectedColumns() const override { return {}; }
  QList<int> selectedRows() const override {
    const int row = Current().first;
    return row > 0 ? QList<int>{row - 1} : QList<int>{};
  }
  bool isColumnSelected(int) const override { return false; }
  bool isRowSelected(int row) const override { return Current().first == row + 1; }
  bool selectRow(int) override { return false; }
  bool selectColumn(int) override { return false; }
  bool unselectRow(int) override { return false; }
  bool unselectColumn(int) override { return false; }
  void modelChange(QAccessibleTableModelChangeEvent*) override { Forget(); }

 private:
  mutable std::map<std::pair<int, int>, QAccessible::Id> cells_;
};

bool CellAccessible::isValid() const {
  return table_->isValid() && row_ <= table_->rowCount() && column_ < table_->columnCount();
}
QAccessibleInterface* CellAccessible::parent() const {
  return table_;
}
QAccessibleInterface* CellAccessible::table() const {
  return table_;
}
QString CellAccessible::text(QAccessible::Text t) const {
  if (t == QAccessible::Name || t == QAccessible::Value) return table_->CellText(row_, column_);
  if (t == QAccessible::Description && row_ > 0) return table_->columnDescription(column_);
  return {};
}
QRect CellAccessible::rect() const {
  return table_->CellRect(row_, column_);
}
bool CellAccessible::isSelected() const {
  return row_ > 0 && table_->Current() == std::make_pair(row_, column_);
}
QAccessible::State CellAccessible::state() const {
  QAccessible::State s;
  s.focusable = row_ > 0;
  s.selectable = row_ > 0;
  s.selected = isSelected();
  s.focused = s.selected && table_->View()->hasFocus();
  s.invisible = rect().isEmpty();
  return s;
}
QList<QAccessibleInterface*> CellAccessible::columnHeaderCells() const {
  return {table_->Cell(0, column_)};
}

QAccessibleInterface* Factory(const QString&, QObject* object) {
  if (auto* view = dynamic_cast<GridView*>(object)) return new GridAccessible(view);
  return nullptr;
}

}  // namespace

void InstallGridAccessibility() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  QAccessible::installFactory(Factory);
}

void NotifyGridAccessibility(GridView* view, bool contents_changed) {
  if (!QAccessible::isActive()) return;
  auto* table = dynamic_cast<GridAccessible*>(QAccessible::queryAccessibleInterface(view));
  if (!table) return;
  if (contents_changed) {
    QAccessibleTableModelChangeEvent reset(view, QAccessibleTableModelChangeEvent::ModelReset);
    QAccessible::updateAccessibility(&reset);
    table->Forget();
  }
  if (!view->hasFocus()) return;
  const auto [row, column] = table->Current();
  if (row < 1) return;
  QAccessibleEvent focus(view, QAccessible::Focus);
  focus.setChild(table->indexOfChild(table->Cell(row, column)));
  QAccessible::updateAccessibility(&focus);
}

}  // namespace host
