#include "appserver/rules/call_args.h"

#include <algorithm>

#include "appserver/rules/codes.h"

#include "db/errors.h"
#include "net/app_server.h"
#include "rtl/strings.h"

namespace appserver {

CallArgs::CallArgs(std::string_view method, std::vector<rtl::Variant>& args, size_t expected)
    : CallArgs(method, args, expected, expected) {}

CallArgs::CallArgs(std::string_view method, std::vector<rtl::Variant>& args, size_t least,
                   size_t most)
    : method_(method), args_(args) {
  if (args.size() < least || args.size() > most) {
    const std::string count = least == most ? std::to_string(least)
                                            : std::to_string(least) + " a " + std::to_string(most);
    throw net::ECallError(method_ + " espera " + count + " argumento(s), " + "recebeu " +
                          std::to_string(args.size()) + ".");
  }
}

void CallArgs::Fail(size_t i, const std::string& what) const {
  throw net::ECallError(method_ + ": argumento " + std::to_string(i + 1) + " " + what + ".");
}

std::string CallArgs::Text(size_t i) const {
  const rtl::Variant& v = args_[i];
  if (v.IsEmpty() || v.IsNull()) return {};
  if (!v.IsString()) Fail(i, "deve ser um texto");
  std::string text = v.AsString();
  if (text.size() > kMaxTextBytes) Fail(i, "é longo demais");
  if (!rtl::IsValidUtf8(text)) Fail(i, "não é texto UTF-8 válido");
  return text;
}

bool CallArgs::Flag(size_t i) const {
  const rtl::Variant& v = args_[i];
  if (v.Type() != rtl::varBoolean) Fail(i, "deve ser um valor lógico");
  return v.AsBoolean();
}

db::Packet CallArgs::Packet(size_t i) const {
  const rtl::Variant& v = args_[i];
  if (!v.IsByteArray()) Fail(i, "deve ser um pacote de dados");
  try {
    return db::PacketFromVariant(v);
  } catch (const db::EPacketError& e) {
    Fail(i, "não é um pacote válido (" + e.Message() + ")");
  }
}

TableDelta ReadTableDelta(std::string_view method, std::vector<rtl::Variant>& raw) {
  CallArgs args(method, raw, 2);
  TableDelta d{args.Packet(0), NormaliseCode(args.Text(1))};
  args.Set(1, d.table);
  return d;
}

DrillFieldValue ReadDrillFieldValue(std::string_view method, std::vector<rtl::Variant>& raw,
                                    std::initializer_list<std::string_view> fields) {
  CallArgs args(method, raw, 3);
  DrillFieldValue v{NormaliseCode(args.Text(0)), rtl::UpperCase(rtl::Trim(args.Text(1))),
                    args.Text(2)};
  if (std::find(fields.begin(), fields.end(), v.field) == fields.end())
    throw net::ECallError(std::string(method) + ": campo desconhecido \"" + v.field + "\".");
  return v;
}

}  // namespace appserver
