#include "appserver/notices/change_notices.h"

#include <algorithm>
#include <set>
#include <tuple>

namespace appserver {
namespace {

using net::NoticeChange;
using net::NoticeFrame;
using net::NoticeItem;

NoticeChange ChangeOf(ChangeKind kind) {
  switch (kind) {
    case ChangeKind::kInsert:
      return NoticeChange::kInsert;
    case ChangeKind::kUpdate:
      return NoticeChange::kUpdate;
    case ChangeKind::kDelete:
      return NoticeChange::kDelete;
  }
  return NoticeChange::kUpdate;
}

NoticeFrame Item(const std::string& table, NoticeItem kind, const std::string& item,
                 NoticeChange change) {
  NoticeFrame n;
  n.kind = net::NoticeKind::kChange;
  n.table = table;
  n.item_kind = kind;
  n.item = item;
  n.change = change;
  return n;
}

// Whether two versions of a fact differ in nothing but their drill link.
bool OnlyLinkDiffers(const Record& a, const Record& b) {
  for (size_t c = 0; c < a.size(); ++c)
    if (c != fato::CDTABDRILL && a[c] != b[c]) return false;
  return true;
}

// A fact's notices: the fact on its table's side and, where its drill link
// appears, disappears or moves, the link on the side of each drill table.
void FactNotices(const RowChange& c, std::vector<NoticeFrame>& out) {
  const Record& row = c.after ? *c.after : *c.before;
  const std::string was = c.before ? (*c.before)[fato::CDTABDRILL] : std::string();
  const std::string now = c.after ? (*c.after)[fato::CDTABDRILL] : std::string();
  const bool link_only = c.before && c.after && OnlyLinkDiffers(*c.before, *c.after);
  out.push_back(Item(row[fato::CDTABELADW], link_only ? NoticeItem::kDrillLink : NoticeItem::kFact,
                     row[fato::CDITEMDW], ChangeOf(c.kind)));
  if (was == now) return;
  const std::string& fact_table = row[fato::CDTABELADW];
  if (!was.empty())
    out.push_back(Item(was, NoticeItem::kDrillLink, fact_table, NoticeChange::kDelete));
  if (!now.empty())
    out.push_back(Item(now, NoticeItem::kDrillLink, fact_table, NoticeChange::kInsert));
}

void RowNotices(const RowChange& c, std::vector<NoticeFrame>& out) {
  const Record& row = c.after ? *c.after : *c.before;
  const NoticeChange change = ChangeOf(c.kind);
  switch (c.entity) {
    case Entity::kTable:
      return out.push_back(Item(row[tab::CDTABELADW], NoticeItem::kTable, "", change));
    case Entity::kFact:
      return FactNotices(c, out);
    case Entity::kDime:
      return out.push_back(
          Item(row[dime::CDTABELADW], NoticeItem::kDimension, row[dime::CDITEMDIME], change));
    case Entity::kDrillFact:
      return out.push_back(
          Item(row[fdrill::CDTABDRILL], NoticeItem::kDrillFact, row[fdrill::CDITEMDRILL], change));
    case Entity::kDrillDime:
      return out.push_back(Item(row[ddrill::CDTABDRILL], NoticeItem::kDrillDimension,
                                row[ddrill::CDDIMEDRILL], change));
    case Entity::kDataMart:
    case Entity::kDimension:
    case Entity::kVersion:
    case Entity::kAccount:
      return;
  }
}

}  // namespace

std::vector<NoticeFrame> NoticesOfCommit(const std::vector<RowChange>& changes,
                                         const std::string& account, const std::string& when) {
  std::vector<NoticeFrame> all;
  for (const RowChange& c : changes) RowNotices(c, all);
  // An item inserted and changed again in one write is told once, as what it
  // was first.
  std::vector<NoticeFrame> out;
  std::set<std::tuple<std::string, NoticeItem, std::string>> told;
  for (NoticeFrame& n : all)
    if (told.emplace(n.table, n.item_kind, n.item).second) out.push_back(std::move(n));
  if (out.size() > kMaxNoticesPerCommit) out = {NoticeFrame{}};
  for (NoticeFrame& n : out) {
    n.account = account;
    n.when = when;
  }
  return out;
}

}  // namespace appserver
