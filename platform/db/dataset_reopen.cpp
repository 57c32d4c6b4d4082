// Handing the last post back to the editor (ReopenLastPost).
#include <algorithm>

#include "db/client_dataset.h"
#include "db/dataset_impl.h"

namespace db {

namespace {

// Index in `rows` of the row with this id, or -1.
int RowWithId(const std::vector<DataRecord>& rows, uint64_t id) {
  auto it =
      std::find_if(rows.begin(), rows.end(), [id](const DataRecord& r) { return r.id == id; });
  return it == rows.end() ? -1 : static_cast<int>(it - rows.begin());
}

}  // namespace

bool TClientDataSet::CanReopenLastPost() const {
  const Impl& d = *impl_;
  if (d.state != TDataSetState::dsBrowse || !d.last_post) return false;
  const int row = RowWithId(d.rows, d.last_post->id);
  if (row < 0 || d.rows[static_cast<size_t>(row)].status == RowStatus::kDeleted) return false;
  // An edited row goes back to its earlier values, which the filter must
  // still let through for the row to be the current one; a row being
  // inserted is always shown.
  if (d.last_post->inserted || !d.FilterApplies() || !d.filter_resolved) return true;
  return detail::EvalFilter(*d.filter, d.last_post->before.current);
}

bool TClientDataSet::ReopenLastPost() {
  Impl& d = *impl_;
  if (!CanReopenLastPost()) return false;
  const uint64_t id = d.last_post->id;

  // Back to the row while it still holds the posted values, so scroll
  // handlers see an ordinary row.
  if (d.CurrentId() != id) {
    const int pos = d.PositionOf(RowWithId(d.rows, id));
    if (pos < 0) return false;
    d.Scroll([&d, pos] {
      d.cursor = pos;
      d.bof = d.eof = false;
    });
    // A scroll handler may have changed the dataset meanwhile.
    if (!CanReopenLastPost() || d.last_post->id != id) return false;
  }

  Impl::LastPost post = std::move(*d.last_post);
  d.last_post.reset();
  DataRecord& rec = d.rows[static_cast<size_t>(RowWithId(d.rows, id))];
  if (post.inserted) {
    rec.pending = true;
    rec.status = RowStatus::kInserted;
    rec.current.assign(d.RowWidth(), std::nullopt);
    rec.base.clear();
    d.has_pending = true;
  } else {
    rec.status = post.before.status;
    rec.current = std::move(post.before.current);
    rec.base = std::move(post.before.base);
  }
  d.RowsChanged();
  d.RestoreCursor(id, d.cursor);
  d.buffer = post.posted;
  d.modified = true;
  // State-change handlers may write defaults into the row; the posted values
  // win, also when a handler fails.
  auto restore_posted = [&d, &post] {
    d.buffer = std::move(post.posted);
    d.modified = true;
    d.NotifyDataSetChanged();
  };
  try {
    d.SetState(post.inserted ? TDataSetState::dsInsert : TDataSetState::dsEdit);
  } catch (...) {
    restore_posted();
    throw;
  }
  restore_posted();
  return true;
}

}  // namespace db
