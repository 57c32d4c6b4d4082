// RdmEstrutura: the remote data module "QMX00600.rdmEstrutura", one instance
// per client connection, each with its own storage session.
//
// Invoke answers the eighteen methods by their exact names. Business refusals
// come back as error reports (a one-element array holding the refusal text)
// after every write of the call is rolled back; a call that cannot be made
// (unknown method, wrong argument count or kind, malformed packet) throws
// net::ECallError; a failure of the database throws StorageError, which the
// server reports to the client as a call failure.
#pragma once

#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "appserver/rules/structure.h"
#include "appserver/storage/history.h"
#include "appserver/storage/storage.h"
#include "appserver/storage/table_versions.h"
#include "net/remote_object.h"

namespace appserver {

class CallArgs;
struct EntityRules;
class NoticeHub;
class SessionNotices;

class RdmEstrutura final : public net::IRemoteObject {
 public:
  static constexpr std::string_view kObjectName = "QMX00600.rdmEstrutura";

  // Every change is recorded in the history unless `record_history` is false
  // (benchmarks measure the cost of recording that way); table versions are
  // kept either way.
  explicit RdmEstrutura(std::unique_ptr<Storage> storage, bool record_history = true);
  ~RdmEstrutura() override;  // an edit in progress ends with the session
  void SetConnectionInfo(const net::ConnectionInfo& info) override;
  // The server's desks, which this session's committed changes and edits are
  // told to; without a hub nothing is told.
  void SetNoticeHub(std::shared_ptr<NoticeHub> hub);
  void SetNoticeOutlet(std::shared_ptr<net::NoticeOutlet> outlet) override;
  // The name the history records for the server that takes this session's calls.
  void SetServerName(std::string name) { origin_.server = std::move(name); }
  rtl::Variant Invoke(std::string_view method, std::vector<rtl::Variant>& args) override;

  // The method names Invoke answers for the screen's eighteen calls; Invoke
  // also answers kEditMethod.
  static std::vector<std::string_view> MethodNames();
  // InformarEdicao(table, kind, item): the person began editing an item
  // ("tabela", "fato", "dimensao", "fato_drill", "dimensao_drill"); with an
  // empty table the edit ended. Answers empty.
  static constexpr std::string_view kEditMethod = "InformarEdicao";

 private:
  struct Method;
  static std::span<const Method> Methods();  // the eighteen, in the order clients list them
  static const Method* Find(std::string_view name);

  rtl::Variant GetInicial(std::vector<rtl::Variant>& args);
  rtl::Variant GetDimeFatos(std::vector<rtl::Variant>& args);
  rtl::Variant SetTabelas(std::vector<rtl::Variant>& args);
  rtl::Variant GetTabelas(std::vector<rtl::Variant>& args);
  rtl::Variant SetFatos(std::vector<rtl::Variant>& args);
  rtl::Variant SetDime(std::vector<rtl::Variant>& args);
  rtl::Variant GetFields(std::vector<rtl::Variant>& args);
  rtl::Variant GetVdUpdDimeDW(std::vector<rtl::Variant>& args);
  rtl::Variant SetDelManyDrill(std::vector<rtl::Variant>& args);
  rtl::Variant SetTabelaDrill(std::vector<rtl::Variant>& args);
  rtl::Variant GetDimeFatosDrill(std::vector<rtl::Variant>& args);
  rtl::Variant GetVdDrill(std::vector<rtl::Variant>& args);
  rtl::Variant GetVdDelDrill(std::vector<rtl::Variant>& args);
  rtl::Variant SetDelDrillDw(std::vector<rtl::Variant>& args);
  rtl::Variant GetVdFatosDrill(std::vector<rtl::Variant>& args);
  rtl::Variant SetFatosDrill(std::vector<rtl::Variant>& args);
  rtl::Variant GetVdDimeDrill(std::vector<rtl::Variant>& args);
  rtl::Variant SetDimeDrill(std::vector<rtl::Variant>& args);
  rtl::Variant InformarEdicao(std::vector<rtl::Variant>& args);
  // SetFatosDrill and SetDimeDrill: one change packet saved under `rules`.
  rtl::Variant SaveDrillItems(const char* method, std::vector<rtl::Variant>& args,
                              const EntityRules& rules);

  rtl::Variant SaveTables(std::vector<rtl::Variant>& args, const char* method, bool drill);
  // Clears the links named in a TABELAS packet: of fact table `fact` to each
  // listed drill table, or (fact empty) of each listed fact table to `drill`.
  void ClearListedLinks(const CallArgs& args, size_t packet, const std::string& fact,
                        const std::string& drill);
  // Refuses with kChangedMeanwhile when the client sent a `version` of `table`
  // that is no longer current; inside the caller's write transaction.
  void RequireCurrent(const std::string& table, const std::optional<std::string>& version);
  // A list of registered tables, each row with its version.
  rtl::Variant TablesPacket(std::vector<Record> tables);
  // The answer of a drill question: rows of `fields`, each with the version of
  // `subject`, the table whose links the consent to it would drop.
  rtl::Variant QuestionAnswer(const std::vector<db::PacketField>& fields,
                              std::vector<std::vector<std::string>> rows,
                              const std::string& subject);

  ChangeOrigin origin_;  // the connection, and the method of the call in progress
  SeenVersions seen_;    // what this connection has seen of each table's version
  std::unique_ptr<Storage> storage_;
  Structure structure_;
  bool read_only_ = false;                   // a leitor's connection (access.h)
  std::unique_ptr<SessionNotices> notices_;  // with a hub only
};

}  // namespace appserver
