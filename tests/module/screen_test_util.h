// Small helpers of the screen tests: packets the scripted server answers
// with, and reading back lists and calls.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "db/client_dataset.h"
#include "db/packet.h"
#include "rtl/variant.h"

namespace qmxtest {

// A data packet of text fields (30 characters each) holding `rows`.
inline rtl::Variant TextPacket(const std::vector<std::string>& fields,
                               const std::vector<std::vector<std::string>>& rows) {
  db::Packet p;
  for (const std::string& f : fields) p.fields.push_back({f, 30, false});
  for (const auto& row : rows) {
    db::PacketRow r;
    for (const std::string& v : row) r.values.emplace_back(v);
    p.rows.push_back(std::move(r));
  }
  return db::PacketToVariant(p);
}

// The shape of a list of tables: code, name, IDDRILLDOWN.
inline rtl::Variant TablesPacket(const std::vector<std::vector<std::string>>& rows) {
  return TextPacket({"CDTABELADW", "NMTABELADW", "IDDRILLDOWN"}, rows);
}

// The values of `field` over every row, in order; nothing moves.
inline std::vector<std::string> Column(db::TClientDataSet* ds, const std::string& field) {
  std::vector<std::string> out;
  if (!ds->Active()) return out;
  for (int i = 1; i <= ds->RecordCount(); ++i) {
    db::TClientDataSet::ActiveRecordScope row(*ds, i);
    out.push_back(ds->FieldByName(field)->AsString());
  }
  return out;
}

inline bool Contains(const std::vector<std::string>& v, const std::string& s) {
  return std::find(v.begin(), v.end(), s) != v.end();
}

inline int CountOf(const std::vector<std::string>& v, const std::string& s) {
  return static_cast<int>(std::count(v.begin(), v.end(), s));
}

// Whether `calls` is one call whose leading arguments read `args`.
template <class Calls>
::testing::AssertionResult OneCallWith(const Calls& calls, const std::vector<std::string>& args) {
  if (calls.size() != 1) return ::testing::AssertionFailure() << calls.size() << " calls, not 1";
  for (size_t i = 0; i < args.size(); ++i)
    if (i >= calls[0].args.size() || calls[0].args[i].AsString() != args[i])
      return ::testing::AssertionFailure() << "argument " << i << " is not \"" << args[i] << '"';
  return ::testing::AssertionSuccess();
}

}  // namespace qmxtest
