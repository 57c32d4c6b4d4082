// OtherDesk: another person working on the same server through a session of
// their own, changing rows behind the back of the screen under test. Each
// change is made as a screen makes it: the stored row read first, then a
// change packet with its old and new values. A change the server refuses
// throws, so a test never races against a change that did not happen.
// A test may also keep what the desk read and make changes from it later,
// as a person whose view is out of date does.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "db/packet.h"
#include "net/remote_object.h"
#include "rtl/variant.h"

namespace qmxtest {

class OtherDesk {
 public:
  using Values = std::map<std::string, std::string>;  // field -> value

  explicit OtherDesk(std::unique_ptr<net::IRemoteObject> session) : session_(std::move(session)) {}

  void RenameTable(const std::string& code, const std::string& name, bool drill = false) {
    const db::Packet list = TableList(drill);
    Update(drill ? "SetTabelaDrill" : "SetTabelas", list, RowIndex(list, "CDTABELADW", code),
           "NMTABELADW", name);
  }
  // Field `field` of fact `column` of fact table `table` becomes `value`.
  void ChangeFact(const std::string& table, const std::string& column, const std::string& field,
                  const std::string& value) {
    const db::Packet facts = Items(table, false).first;
    Update("SetFatos", facts, RowIndex(facts, "CDITEMDW", column), field, value, table);
  }
  void DeleteFact(const std::string& table, const std::string& column) {
    const db::Packet facts = Items(table, false).first;
    Delete("SetFatos", facts, RowIndex(facts, "CDITEMDW", column), table);
  }
  // Drops the links of fact table `table` into drill table `drill`, as the
  // consent to an inconsistency does.
  void DropDrillLinks(const std::string& table, const std::string& drill) {
    db::Packet tables;
    tables.fields = {{"TABELAS", 30, false}};
    tables.rows.push_back({db::RowStatus::kUnmodified, {table}, {}});
    Send("setDelDrillDw", db::PacketToVariant(tables), drill);
  }
  void AddDimension(const std::string& table, const std::string& column,
                    const std::string& number) {
    db::Packet delta;
    delta.kind = db::PacketKind::kDelta;
    delta.fields = {
        {"CDTABELADW", 30, false}, {"CDITEMDIME", 30, false}, {"NRSEQUEDIME", 5, false}};
    delta.rows.push_back({db::RowStatus::kInserted, {table, column, number}, {}});
    Send("SetDime", db::PacketToVariant(delta), table);
  }

  // -- What the desk reads: views a caller may keep and act on later, when
  // they may be out of date.
  // The fact tables or the drill tables, each with its version.
  db::Packet TableList(bool drill) {
    return db::PacketFromVariant(Invoke("GetTabelas", {std::string(), drill}));
  }
  // (facts, dimensions) of fact table `code`, or (drill facts, drill
  // dimensions) of drill table `code`.
  std::pair<db::Packet, db::Packet> Items(const std::string& code, bool drill) {
    if (drill) {
      Invoke("GetDimeFatosDrill", {code, rtl::Variant(), rtl::Variant()});
      return {db::PacketFromVariant(last_args_.at(1)), db::PacketFromVariant(last_args_.at(2))};
    }
    Invoke("GetDimeFatos", {code, "", "", "", rtl::Variant(), rtl::Variant()});
    return {db::PacketFromVariant(last_args_.at(5)), db::PacketFromVariant(last_args_.at(4))};
  }
  // The columns of `code` that may still become facts ("F") or dimensions ("D").
  std::vector<std::string> FreeColumns(const std::string& kind, const std::string& code) {
    std::vector<std::string> out;
    for (const db::PacketRow& r : db::PacketFromVariant(Invoke("GetFields", {kind, code})).rows)
      out.push_back(r.values.at(0).value_or(""));
    return out;
  }
  // The fact tables drilling into `drill`, as the question before its delete
  // shows them.
  db::Packet TablesDrillingInto(const std::string& drill) {
    return db::PacketFromVariant(Invoke("getVdDelDrill", {drill, true}));
  }

  // -- Changes made from a view; a refused one throws std::runtime_error.
  // Sends through `method` a new row of the view's fields holding `values`.
  void Insert(const std::string& method, const db::Packet& view, const Values& values,
              const std::string& table = {}) {
    db::Packet delta = DeltaOf(view);
    db::PacketRow row{db::RowStatus::kInserted, {}, {}};
    for (const db::PacketField& f : view.fields) {
      auto it = values.find(f.name);
      row.values.push_back(it == values.end() ? db::FieldValue() : db::FieldValue(it->second));
    }
    delta.rows.push_back(std::move(row));
    Send(method, db::PacketToVariant(delta), table);
  }
  // Field `field` of row `row` of the view becomes `value` (empty: no value).
  void Update(const std::string& method, const db::Packet& view, size_t row,
              const std::string& field, const std::string& value, const std::string& table = {}) {
    const db::PacketRow& stored = view.rows.at(row);
    db::PacketRow changed{db::RowStatus::kModified, stored.values, stored.values};
    const int f = view.FieldIndex(field);
    if (f < 0) throw std::logic_error("no field " + field);
    changed.values[static_cast<size_t>(f)] =
        value.empty() ? db::FieldValue() : db::FieldValue(value);
    db::Packet delta = DeltaOf(view);
    delta.rows.push_back(std::move(changed));
    Send(method, db::PacketToVariant(delta), table);
  }
  void Delete(const std::string& method, const db::Packet& view, size_t row,
              const std::string& table = {}) {
    db::Packet delta = DeltaOf(view);
    delta.rows.push_back({db::RowStatus::kDeleted, {}, view.rows.at(row).values});
    Send(method, db::PacketToVariant(delta), table);
  }
  // Drops the links into `drill` that `uses` (TablesDrillingInto) showed.
  void DropLinksShown(const std::string& drill, const db::Packet& uses) {
    const int field = uses.FieldIndex("NRVERSAO");
    if (field < 0 || uses.rows.empty()) throw std::logic_error("no version shown");
    Invoke("getVdDelDrill",
           {drill, false, uses.rows.front().values.at(static_cast<size_t>(field)).value_or("")});
  }
  // The row of the view whose `key_field` is `key`.
  static std::optional<size_t> FindRow(const db::Packet& data, const std::string& key_field,
                                       const std::string& key) {
    const int k = data.FieldIndex(key_field);
    for (size_t i = 0; i < data.rows.size(); ++i)
      if (k >= 0 && data.rows[i].values[static_cast<size_t>(k)] == key) return i;
    return std::nullopt;
  }
  static size_t RowIndex(const db::Packet& data, const std::string& key_field,
                         const std::string& key) {
    if (auto row = FindRow(data, key_field, key)) return *row;
    throw std::logic_error("the other desk finds no row " + key);
  }

 private:
  rtl::Variant Invoke(const std::string& method, std::vector<rtl::Variant> args) {
    rtl::Variant answer = session_->Invoke(method, args);
    if (answer.IsArray() && !answer.IsByteArray() && answer.Length() > 0 && answer[0].IsString())
      throw std::runtime_error("the other desk's " + method +
                               " was refused: " + answer[0].AsString());
    last_args_ = std::move(args);
    return answer;
  }
  void Send(const std::string& method, const rtl::Variant& packet, const std::string& extra) {
    Invoke(method, extra.empty() ? std::vector<rtl::Variant>{packet}
                                 : std::vector<rtl::Variant>{packet, rtl::Variant(extra)});
  }
  static db::Packet DeltaOf(const db::Packet& data) {
    db::Packet delta;
    delta.kind = db::PacketKind::kDelta;
    delta.fields = data.fields;
    return delta;
  }

  std::unique_ptr<net::IRemoteObject> session_;
  std::vector<rtl::Variant> last_args_;
};

}  // namespace qmxtest
