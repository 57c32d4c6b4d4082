#include "server/remote_calls.h"

namespace qmx00600 {

using net::Arg;
using rtl::Variant;

Variant RemoteCalls::Call(std::string_view method, std::vector<Arg> args) {
  return check_(server_().Call(method, std::move(args)));
}

Variant RemoteCalls::CallUnchecked(std::string_view method, std::vector<Arg> args) {
  return server_().Call(method, std::move(args));
}

Variant RemoteCalls::GetInicial() {
  return Call("GetInicial", {});
}

Variant RemoteCalls::GetDimeFatos(const std::string& table, Variant& dimensions, Variant& facts) {
  return Call("GetDimeFatos", {table, "", "", "", Arg::Ref(dimensions), Arg::Ref(facts)});
}

Variant RemoteCalls::GetDimeFatosCheck(Variant& table, const std::string& field,
                                       const std::string& name_or_number, const std::string& mode) {
  return Call("GetDimeFatos", {Arg::Ref(table), field, name_or_number, mode, "", ""});
}

Variant RemoteCalls::GetTabelas(Variant& code, bool drill) {
  return Call("GetTabelas", {Arg::Ref(code), drill});
}

Variant RemoteCalls::GetTabelasAll(bool drill) {
  return Call("GetTabelas", {"", drill});
}

Variant RemoteCalls::GetFields(const std::string& kind, Variant& table) {
  return Call("GetFields", {kind, Arg::Ref(table)});
}

Variant RemoteCalls::GetFields(const std::string& kind, const std::string& table) {
  return Call("GetFields", {kind, table});
}

Variant RemoteCalls::getVdUpdDimeDW(Variant& table, const std::string& dimension) {
  return Call("getVdUpdDimeDW", {Arg::Ref(table), dimension});
}

Variant RemoteCalls::setDelManyDrill(const Variant& packet, Variant& table) {
  return Call("setDelManyDrill", {packet, Arg::Ref(table)});
}

Variant RemoteCalls::GetDimeFatosDrill(const std::string& drill_table, Variant& facts,
                                       Variant& dimensions) {
  return Call("GetDimeFatosDrill", {drill_table, Arg::Ref(facts), Arg::Ref(dimensions)});
}

Variant RemoteCalls::getVdDrill(const std::string& a, const std::string& b, const std::string& c,
                                const std::string& d) {
  return Call("getVdDrill", {a, b, c, d});
}

Variant RemoteCalls::getVdDelDrill(const std::string& drill_table, bool list_only,
                                   const Variant& version) {
  if (version.IsEmpty() || version.IsNull()) return Call("getVdDelDrill", {drill_table, list_only});
  return Call("getVdDelDrill", {drill_table, list_only, version});
}

Variant RemoteCalls::setDelDrillDw(const Variant& packet, const std::string& drill_table) {
  return Call("setDelDrillDw", {packet, drill_table});
}

Variant RemoteCalls::setDelDrillDw(const Variant& packet, Variant& fact_key) {
  return Call("setDelDrillDw", {packet, Arg::Ref(fact_key)});
}

Variant RemoteCalls::getVdFatosDrill(const std::string& drill_table, const std::string& field,
                                     const std::string& value) {
  return Call("getVdFatosDrill", {drill_table, field, value});
}

Variant RemoteCalls::getVdDimeDrill(const std::string& drill_table, const std::string& field,
                                    const std::string& value) {
  return Call("getVdDimeDrill", {drill_table, field, value});
}

}  // namespace qmx00600
