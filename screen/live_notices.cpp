#include "screen/live_notices.h"

#include "rtl/exceptions.h"
#include "screen/estrutura.h"
#include "screen/kept_row.h"
#include "vcl/user_interface.h"

namespace qmx00600 {
namespace {

using net::NoticeFrame;
using net::NoticeItem;
using net::NoticeKind;

// The item as a sentence names it.
std::string ItemText(NoticeItem kind, const std::string& table, const std::string& item) {
  switch (kind) {
    case NoticeItem::kTable:
      return "a tabela " + table;
    case NoticeItem::kFact:
      return "o fato " + item;
    case NoticeItem::kDimension:
      return "a dimensão " + item;
    case NoticeItem::kDrillFact:
      return "o fato de drill " + item;
    case NoticeItem::kDrillDimension:
      return "a dimensão de drill " + item;
    case NoticeItem::kDrillLink:
      return "o drill de " + item;
    case NoticeItem::kNone:
      break;
  }
  return "a estrutura";
}

std::string Who(const NoticeFrame& n) {
  return n.account.empty() ? std::string("Outra estação") : n.account;
}

std::string ChangeText(const NoticeFrame& n) {
  const char* verb = n.change == net::NoticeChange::kInsert   ? " incluiu "
                     : n.change == net::NoticeChange::kDelete ? " excluiu "
                                                              : " alterou ";
  std::string text = Who(n) + verb + ItemText(n.item_kind, n.table, n.item);
  if (n.item_kind != NoticeItem::kTable) text += " de " + n.table;
  return text;
}

// Where the notices' names for an edited row come from, list by list.
struct EditSource {
  db::TClientDataSet* TfrmEstrutura::*dataset;
  const char* table_field;
  NoticeItem kind;
  const char* item_field;  // null: the row is the table itself
};

constexpr EditSource kEditSources[] = {
    {&TfrmEstrutura::cdsTabelas, "CDTABELADW", NoticeItem::kTable, nullptr},
    {&TfrmEstrutura::cdsTabelaDrill, "CDTABELADW", NoticeItem::kTable, nullptr},
    {&TfrmEstrutura::cdsFatos, "CDTABELADW", NoticeItem::kFact, "CDITEMDW"},
    {&TfrmEstrutura::cdsDime, "CDTABELADW", NoticeItem::kDimension, "CDITEMDIME"},
    {&TfrmEstrutura::cdsFatosDrill, "CDTABDRILL", NoticeItem::kDrillFact, "CDITEMDRILL"},
    {&TfrmEstrutura::cdsDimeDrill, "CDTABDRILL", NoticeItem::kDrillDimension, "CDDIMEDRILL"},
};

// A field's value as read from the server (its old value while edited).
std::string Stored(db::TClientDataSet& ds, const char* field) {
  const rtl::Variant old = ds.FieldByName(field)->OldValue();
  return old.IsNull() || old.IsEmpty() ? ds.FieldByName(field)->AsString() : old.AsString();
}

const char* KindName(NoticeItem kind) {
  switch (kind) {
    case NoticeItem::kTable:
      return "tabela";
    case NoticeItem::kFact:
      return "fato";
    case NoticeItem::kDimension:
      return "dimensao";
    case NoticeItem::kDrillFact:
      return "fato_drill";
    case NoticeItem::kDrillDimension:
      return "dimensao_drill";
    default:
      return "";
  }
}

}  // namespace

std::string LiveNotices::CurrentFactTable() const {
  db::TClientDataSet& ds = *form_.cdsTabelas;
  return ds.Active() && ds.RecordCount() > 0 ? Stored(ds, "CDTABELADW") : std::string();
}

std::string LiveNotices::CurrentDrillTable() const {
  db::TClientDataSet& ds = *form_.cdsTabelaDrill;
  return ds.Active() && ds.RecordCount() > 0 ? Stored(ds, "CDTABELADW") : std::string();
}

std::optional<LiveNotices::EditedRow> LiveNotices::RowInEdit() const {
  for (const EditSource& s : kEditSources) {
    db::TClientDataSet* ds = form_.*(s.dataset);
    if (!ds || !ds->Active() || ds->State() != db::TDataSetState::dsEdit) continue;
    return EditedRow{ds, Stored(*ds, s.table_field), s.kind,
                     s.item_field ? Stored(*ds, s.item_field) : std::string()};
  }
  return std::nullopt;
}

bool LiveNotices::AnyEdit() const {
  for (const EditSource& s : kEditSources) {
    db::TClientDataSet* ds = form_.*(s.dataset);
    if (ds && ds->Active() &&
        (ds->State() == db::TDataSetState::dsEdit || ds->State() == db::TDataSetState::dsInsert))
      return true;
  }
  return false;
}

void LiveNotices::AnnounceEdit() {
  const std::optional<EditedRow> row = RowInEdit();
  const std::string now =
      row ? row->table + "|" + KindName(row->kind) + "|" + row->item : std::string();
  if (now == announced_) return;
  announced_ = now;
  if (row)
    form_.Server().CallUnchecked("InformarEdicao", {row->table, KindName(row->kind), row->item});
  else
    form_.Server().CallUnchecked("InformarEdicao", {"", "", ""});
}

unsigned LiveNotices::ListsOf(const NoticeFrame& n) const {
  if (n.kind == NoticeKind::kReloadAll)
    return kFactTables | kDrillTables | kFactDetails | kDrillDetails;
  switch (n.item_kind) {
    case NoticeItem::kTable:
      return kFactTables | kDrillTables;
    case NoticeItem::kFact:
    case NoticeItem::kDimension:
    case NoticeItem::kDrillLink:
      return n.table == CurrentFactTable() ? kFactDetails : 0u;
    case NoticeItem::kDrillFact:
    case NoticeItem::kDrillDimension:
      return n.table == CurrentDrillTable() ? kDrillDetails : 0u;
    case NoticeItem::kNone:
      break;
  }
  return 0;
}

void LiveNotices::Reload(unsigned lists) {
  // A list read again scrolls to its row, which reads that row's details.
  if (lists & kFactTables) {
    KeptRow kept(*form_.cdsTabelas, "CDTABELADW");
    form_.cdsTabelas->SetData(form_.Server().GetTabelasAll(false));
    kept.Restore();
    lists &= ~kFactDetails;
  }
  if (lists & kDrillTables) {
    KeptRow kept(*form_.cdsTabelaDrill, "CDTABELADW");
    form_.cdsTabelaDrill->SetData(form_.Server().GetTabelasAll(true));
    kept.Restore();
    lists &= ~kDrillDetails;
  }
  if (lists & kFactDetails) form_.cdsTabelasAfterScroll(form_.cdsTabelas);
  if (lists & kDrillDetails) form_.cdsTabelaDrillAfterScroll(form_.cdsTabelaDrill);
}

void LiveNotices::ShowEditors() {
  const std::string fact_table = CurrentFactTable(), drill_table = CurrentDrillTable();
  std::string text;
  for (const auto& [key, edit] : editors_)
    if (edit.first == fact_table || edit.first == drill_table)
      text += (text.empty() ? "" : "; ") + edit.second;
  if (text == shown_) return;
  shown_ = text;
  vcl::UserInterface().ShowStandingNote(text);
}

void LiveNotices::Apply(const NoticeFrame& n) {
  if (n.kind == NoticeKind::kEditing || n.kind == NoticeKind::kEditEnded) {
    const std::string key = n.table + "|" + KindName(n.item_kind) + "|" + n.item + "|" + n.account;
    if (n.kind == NoticeKind::kEditEnded)
      editors_.erase(key);
    else
      editors_[key] = {n.table,
                       Who(n) + " está editando " + ItemText(n.item_kind, n.table, n.item)};
    return;
  }
  if (n.kind == NoticeKind::kReloadAll) editors_.clear();
  const unsigned lists = ListsOf(n);
  if (lists == 0) return;
  const std::optional<EditedRow> row = RowInEdit();
  if (row && n.kind == NoticeKind::kChange && row->table == n.table && row->kind == n.item_kind &&
      row->item == n.item) {
    bar_shown_ = true;
    db::TClientDataSet* edited = row->dataset;
    vcl::UserInterface().ShowChangedBar(
        ChangeText(n) + " enquanto você editava; ao confirmar, sua alteração será recusada.",
        [this, edited, lists] {
          edited->Cancel();
          bar_shown_ = false;
          vcl::UserInterface().ShowChangedBar("", {});
          Reload(lists | waiting_);
          waiting_ = 0;
        });
  }
  // Read again once for all the notices of this poll (a burst of saves
  // elsewhere is one reload here), and not while something is being edited.
  waiting_ |= lists;
  if (n.kind == NoticeKind::kChange) passing_ = ChangeText(n);
}

void LiveNotices::Poll() {
  passing_.clear();
  try {
    AnnounceEdit();
    for (const NoticeFrame& n : form_.netEstrutura->TakeNotices()) Apply(n);
    if (bar_shown_ && !RowInEdit()) {
      bar_shown_ = false;
      vcl::UserInterface().ShowChangedBar("", {});
    }
    if (waiting_ != 0 && !AnyEdit()) {
      Reload(std::exchange(waiting_, 0u));
      if (!passing_.empty()) vcl::UserInterface().ShowPassingNote(passing_);
    }
    // The person may have moved to another table meanwhile.
    ShowEditors();
  } catch (const std::exception&) {
    // Notices are a convenience: a link or a reload that fails now fails
    // again, told, at the person's next action.
  }
}

}  // namespace qmx00600
