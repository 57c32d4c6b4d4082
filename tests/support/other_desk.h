// OtherDesk: another person working on the same server through a session of
// their own, changing rows behind the back of the screen under test. Each
// change is made as a screen makes it: the stored row read first, then a
// change packet with its old and new values. A change the server refuses
// throws, so a test never races against a change that did not happen.
#pragma once

#include <memory>
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
  explicit OtherDesk(std::unique_ptr<net::IRemoteObject> session) : session_(std::move(session)) {}

  void RenameTable(const std::string& code, const std::string& name, bool drill = false) {
    ChangeRow(Tables(drill), "CDTABELADW", code, "NMTABELADW", name,
              drill ? "SetTabelaDrill" : "SetTabelas", {});
  }
  // Field `field` of fact `column` of fact table `table` becomes `value`.
  void ChangeFact(const std::string& table, const std::string& column, const std::string& field,
                  const std::string& value) {
    ChangeRow(Facts(table), "CDITEMDW", column, field, value, "SetFatos", table);
  }
  void DeleteFact(const std::string& table, const std::string& column) {
    db::Packet facts = db::PacketFromVariant(Facts(table));
    db::Packet delta = DeltaOf(facts);
    delta.rows.push_back({db::RowStatus::kDeleted, {}, RowOf(facts, "CDITEMDW", column).values});
    Send("SetFatos", db::PacketToVariant(delta), table);
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
  rtl::Variant Tables(bool drill) { return Invoke("GetTabelas", {std::string(), drill}); }
  rtl::Variant Facts(const std::string& table) {
    Invoke("GetDimeFatos", {table, "", "", "", rtl::Variant(), rtl::Variant()});
    return last_args_.at(5);
  }
  static db::Packet DeltaOf(const db::Packet& data) {
    db::Packet delta;
    delta.kind = db::PacketKind::kDelta;
    delta.fields = data.fields;
    return delta;
  }
  static const db::PacketRow& RowOf(const db::Packet& data, const std::string& key_field,
                                    const std::string& key) {
    const int k = data.FieldIndex(key_field);
    for (const db::PacketRow& row : data.rows)
      if (k >= 0 && row.values[static_cast<size_t>(k)] == key) return row;
    throw std::logic_error("the other desk finds no row " + key);
  }
  void ChangeRow(const rtl::Variant& data_packet, const std::string& key_field,
                 const std::string& key, const std::string& field, const std::string& value,
                 const std::string& method, const std::string& extra) {
    const db::Packet data = db::PacketFromVariant(data_packet);
    const db::PacketRow& stored = RowOf(data, key_field, key);
    db::PacketRow changed{db::RowStatus::kModified, stored.values, stored.values};
    const int f = data.FieldIndex(field);
    if (f < 0) throw std::logic_error("no field " + field);
    changed.values[static_cast<size_t>(f)] =
        value.empty() ? db::FieldValue() : db::FieldValue(value);
    db::Packet delta = DeltaOf(data);
    delta.rows.push_back(std::move(changed));
    Send(method, db::PacketToVariant(delta), extra);
  }

  std::unique_ptr<net::IRemoteObject> session_;
  std::vector<rtl::Variant> last_args_;
};

}  // namespace qmxtest
