// What the desks are told of a committed write: one notice per changed item
// (the table it belongs to, the kind of item, its column or code, the kind of
// change), each item named once however many of its rows the write touched.
#pragma once

#include <string>
#include <vector>

#include "appserver/storage/recording_storage.h"
#include "net/frame.h"

namespace appserver {

// A write that touches more items than this is told as one
// reload-everything notice: a desk reads it all again faster than it would
// follow the items one by one.
inline constexpr size_t kMaxNoticesPerCommit = 256;

// The notices of one committed transaction, by `account` at `when`, in the
// order of its changes. Rows of the data-mart and dimension catalogues, table
// versions and accounts are not told (no screen edits them).
std::vector<net::NoticeFrame> NoticesOfCommit(const std::vector<RowChange>& changes,
                                              const std::string& account, const std::string& when);

}  // namespace appserver
