// The calling convention of the remote data module rdmEstrutura: one method
// per remote method the screen calls directly, arguments in the server's
// order, texts as wide strings, flags as booleans, packets as variants; an
// argument the server writes back is a reference to the caller's variable.
//
// Every result goes through the result check (CheckOleContents) before it is
// returned, also for the methods whose callers use nothing of it; an error
// report therefore never comes back from here: it ends the operation with
// its message. Call failures (ECallError) pass through unchanged.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "net/app_server.h"
#include "rtl/variant.h"

namespace qmx00600 {

class RemoteCalls {
 public:
  using ServerFn = std::function<net::IAppServer&()>;
  using CheckFn = std::function<rtl::Variant(const rtl::Variant&)>;

  // `server` is asked for the dispatch interface at every call (the
  // connection's AppServer); `check` is the screen's CheckOleContents.
  RemoteCalls(ServerFn server, CheckFn check)
      : server_(std::move(server)), check_(std::move(check)) {}

  // Any method by name: the one road every call below takes. The saves
  // (SetTabelas, SetFatos, ...) go this way from the save sequence, with the
  // arguments its table of members describes.
  rtl::Variant Call(std::string_view method, std::vector<net::Arg> args);
  // The same road without the result check, for a caller that handles one
  // error report itself; it owes every other answer Check.
  rtl::Variant CallUnchecked(std::string_view method, std::vector<net::Arg> args);
  rtl::Variant Check(const rtl::Variant& result) { return check_(result); }

  rtl::Variant GetInicial();
  // Load form: the server fills `dimensions` and `facts`.
  rtl::Variant GetDimeFatos(const std::string& table, rtl::Variant& dimensions,
                            rtl::Variant& facts);
  // Check form; mode "VD_FATO" or "VD_DIME".
  rtl::Variant GetDimeFatosCheck(rtl::Variant& table, const std::string& field,
                                 const std::string& name_or_number, const std::string& mode);
  // With a code, passed by reference.
  rtl::Variant GetTabelas(rtl::Variant& code, bool drill);
  // Every fact table (false) or drill table (true).
  rtl::Variant GetTabelasAll(bool drill);
  // kind "F" or "D".
  rtl::Variant GetFields(const std::string& kind, rtl::Variant& table);
  rtl::Variant GetFields(const std::string& kind, const std::string& table);
  rtl::Variant getVdUpdDimeDW(rtl::Variant& table, const std::string& dimension);
  rtl::Variant setDelManyDrill(const rtl::Variant& packet, rtl::Variant& table);
  // The server fills `facts` and `dimensions` (this order, the reverse of
  // GetDimeFatos).
  rtl::Variant GetDimeFatosDrill(const std::string& drill_table, rtl::Variant& facts,
                                 rtl::Variant& dimensions);
  rtl::Variant getVdDrill(const std::string& a, const std::string& b, const std::string& c,
                          const std::string& d);
  // `version`: the NRVERSAO of the answer the person consented to, sent as a
  // third argument only when there is one (older servers take two).
  rtl::Variant getVdDelDrill(const std::string& drill_table, bool list_only,
                             const rtl::Variant& version = {});
  // Key: a drill-table code.
  rtl::Variant setDelDrillDw(const rtl::Variant& packet, const std::string& drill_table);
  // Key: "$$" and a fact-table code, by reference.
  rtl::Variant setDelDrillDw(const rtl::Variant& packet, rtl::Variant& fact_key);
  rtl::Variant getVdFatosDrill(const std::string& drill_table, const std::string& field,
                               const std::string& value);
  rtl::Variant getVdDimeDrill(const std::string& drill_table, const std::string& field,
                              const std::string& value);

 private:
  ServerFn server_;
  CheckFn check_;
};

}  // namespace qmx00600
