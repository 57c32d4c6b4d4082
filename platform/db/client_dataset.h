// TClientDataSet: an in-memory table with a cursor, an edit buffer, a change
// log, a filter and events, filled from and saved to data packets.
//
// States and events follow the platform's order:
//   Open:   BeforeOpen, (state browse), AfterOpen, AfterScroll when not empty.
//   Edit:   on an empty dataset Edit is Insert; else BeforeEdit, state edit,
//           AfterEdit.
//   Insert/Append: pending edit posted (or dropped when unmodified) first;
//           BeforeInsert, BeforeScroll, state insert, OnNewRecord, AfterInsert,
//           AfterScroll. Insert places the new row before the current one,
//           Append at the end.
//   Post:   data links write pending editor text (UpdateData); BeforePost; the
//           row is stored; state browse; AfterPost. A BeforePost handler that
//           throws abandons the post and the row stays in edit or insert state.
//   Cancel: BeforeCancel, (BeforeScroll for an insert), state browse,
//           AfterCancel, (AfterScroll for an insert).
//   Delete: in insert state Delete is Cancel; on an empty dataset it throws;
//           else BeforeDelete, BeforeScroll, the row goes, state browse,
//           AfterDelete, AfterScroll.
//   Moves (First, Last, Next, Prior, MoveBy, RecNo, a successful Locate) post
//           a pending modified edit (or drop an unmodified one) first, then
//           BeforeScroll, move, AfterScroll. A move towards an end the dataset
//           already stands at (Eof for Next, Last and a forward MoveBy; Bof
//           for Prior, First and a backward MoveBy), and setting RecNo to the
//           current row, go nowhere and raise no scroll event; the first Next
//           on the last row only sets Eof, and does scroll.
//   SetData: replaces fields' content, the rows and the change log; the cursor
//           is on the first row; AfterScroll when the result is not empty. An
//           empty or null variant closes the dataset.
// Every state change is passed to the data sources (OnStateChange).
//
// Change log: with LogChanges on (the default), every post and delete is kept
// as a pending change until MergeChangeLog makes it part of the base data or
// CancelUpdates drops it. ChangeCount is the number of rows that carry a
// pending change (a row inserted and then deleted carries none). OldValue is
// the value as last loaded or merged. With LogChanges off, posts and deletes
// change the base data directly.
//
// Filter: an expression over the fields, applied while Filtered is true. The
// grammar: comparisons `FIELD op 'text'` (op one of = <> < > <= >=, text in
// single quotes with a quote inside doubled), `FIELD IS NULL`, `FIELD IS NOT
// NULL`, joined by AND, OR, NOT and parentheses; field names and keywords
// without regard to case, values compared case-sensitively. An empty
// expression lets every row through. A malformed expression is refused by
// SetFilter with EDatabaseError and the previous filter stays. RecordCount
// counts the rows the filter lets through. An equality filter on one field is
// answered from an index, without scanning the rows.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/data_source.h"
#include "db/dataset_state.h"
#include "db/field.h"
#include "db/packet.h"
#include "rtl/component.h"
#include "rtl/variant.h"

namespace db {

enum TLocateOption : unsigned {
  loNone = 0,
  loCaseInsensitive = 1,  // compare texts without regard to case
  loPartialKey = 2,       // a key value matches a field that begins with it
};
using TLocateOptions = unsigned;

class TClientDataSet;
using TDataSet = TClientDataSet;
using TDataSetNotifyEvent = std::function<void(TDataSet* dataset)>;

class TClientDataSet : public rtl::TComponent {
 public:
  explicit TClientDataSet(rtl::TComponent* owner);
  ~TClientDataSet() override;

  // -- Fields. Declared in code while the dataset is closed; a dataset with no
  // declared fields takes its fields from the first packet loaded into it.
  // A dataset with declared fields loads a packet by field name: a declared
  // field missing from the packet is an error. Packet fields not declared are
  // no fields of the dataset, but their values are kept with each row and
  // handed on by Data and Delta, so a copy through a dataset that declares
  // fewer fields loses nothing of the packet it was loaded from.
  TField* AddStringField(std::string name, int size, std::string label = {}, bool visible = true,
                         bool fixed_char = false);
  int FieldCount() const;
  TField* Fields(int index) const;
  TField* FindField(std::string_view name) const;    // case-insensitive; nullptr if absent
  TField* FieldByName(std::string_view name) const;  // throws EDatabaseError if absent

  // -- Opening and closing.
  void Open();           // with no data yet: an empty dataset of the declared fields
  void CreateDataSet();  // opens empty, dropping any rows
  void Close();          // a pending edit is dropped
  bool Active() const;
  void SetActive(bool active);
  TDataSetState State() const;

  // -- Cursor.
  void First();
  void Last();
  void Next();
  void Prior();
  // Moves `distance` rows (back when negative), stopping at an end, which sets
  // Eof (Bof); the number of rows moved.
  int MoveBy(int distance);
  bool Eof() const;
  bool Bof() const;
  int RecordCount() const;  // rows the filter lets through
  bool IsEmpty() const;
  int RecNo() const;  // 1-based position of the current row, 0 when empty
  void SetRecNo(int recno);

  // -- Editing.
  void Edit();
  void Insert();
  void Append();
  void Post();
  void Cancel();
  void Delete();
  void CheckBrowseMode();  // posts a modified edit, drops an unmodified one
  bool Modified() const;   // a value was assigned since the edit began

  // -- Packets and change log.
  rtl::Variant Data() const;
  void SetData(const rtl::Variant& data);
  rtl::Variant Delta() const;
  int ChangeCount() const;
  bool LogChanges() const;
  void SetLogChanges(bool log);
  void MergeChangeLog();
  void CancelUpdates();  // a pending edit is cancelled first

  // -- Handing a post back. For a save that failed after a post: the row the
  // last Post stored returns to what it was before that post (its change
  // leaves the change log; ChangeCount is what it was before the post), and
  // the dataset is in insert state again (the post inserted the row) or edit
  // state (it changed one) on that same row, the edit buffer holding exactly
  // the posted values, Modified true. A later Post stores them again, Cancel
  // drops them.
  //
  // The state change reaches the data sources as any other; whatever their
  // handlers write into the row meanwhile gives way to the posted values. No
  // insert, edit or new-record events run. The cursor is normally still on
  // the row; when it has moved, it moves back first with the scroll events.
  //
  // Possible only in browse state while that post is still the dataset's
  // last change: any later Edit, Insert, Append, Post, Delete, load, close,
  // MergeChangeLog or CancelUpdates ends it (and so does a filter that no
  // longer lets the row's earlier values through). Otherwise it returns false
  // and changes nothing.
  bool CanReopenLastPost() const;
  bool ReopenLastPost();

  // -- Search. `key_fields` names one or several fields joined by ';'; one
  // key value per field. On success the found row becomes current (a move).
  bool Locate(std::string_view key_fields, const std::vector<rtl::Variant>& key_values,
              TLocateOptions options);
  bool Locate(std::string_view key_fields, const rtl::Variant& key_value, TLocateOptions options);

  // -- Filter (grammar above).
  const std::string& Filter() const;
  void SetFilter(std::string expression);
  bool Filtered() const;
  void SetFiltered(bool filtered);

  // -- Events.
  TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
  TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
  TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
  TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
  TDataSetNotifyEvent OnNewRecord;

  // -- For data-aware controls. While a scope lives, fields read row `recno`
  // (1-based, among the rows the filter lets through) instead of the current
  // one; nothing moves and no event is raised. The edit buffer is still what
  // fields read for the current row while editing.
  class ActiveRecordScope {
   public:
    ActiveRecordScope(TClientDataSet& dataset, int recno);
    ~ActiveRecordScope();
    ActiveRecordScope(const ActiveRecordScope&) = delete;
    ActiveRecordScope& operator=(const ActiveRecordScope&) = delete;

   private:
    TClientDataSet& dataset_;
    int saved_;
  };

  const std::vector<TDataSource*>& DataSources() const;

 protected:
  void Notification(rtl::TComponent* component, rtl::TOperation operation) override;

 private:
  friend class TField;
  friend class TDataSource;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace db
