// Notices over the real socket, on the selected backend: what the desks that
// asked for them are told of committed changes and of edits in progress, and
// what they are not told. The PostgreSQL cases also run several servers on
// one database and take a server's listener away.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "appserver/notices/notice_hub.h"
#include "appserver/rules/refusal.h"
#include "appserver/serving/embedded_server.h"
#include "appserver/storage/postgres/pg_listener.h"
#include "embedded_on.h"
#include "net/frame.h"
#include "net/socket_connection.h"
#include "rdm_client.h"
#include "rdm_fixture.h"

namespace appserver::testing {
namespace {

using net::NoticeChange;
using net::NoticeFrame;
using net::NoticeItem;
using net::NoticeKind;
using qmxtest::NoticeDesk;
using qmxtest::NoticesOf;

constexpr size_t kBound = 8;  // notices waiting for one desk before it is told to reload

class Notices : public ::testing::Test {
 protected:
  void SetUp() override { QMX_REQUIRE_DATABASE(db_); }
  static EmbeddedServerOptions On(const qmxtest::TestDatabase& db) {
    EmbeddedServerOptions o = ServerOptionsOn(db);
    o.max_queued_notices = kBound;
    return o;
  }
  bool OnPostgres() const { return db_.backend() == qmxtest::TestBackend::kPostgres; }

  // Renames VL_VENDA from `from` to `to` through `desk`; the server's answer.
  static Variant Rename(net::TSocketConnection& desk, const std::string& from,
                        const std::string& to) {
    DeltaBuilder change(kFactFields);
    change.Modify(qmxtest::DemoVenda(from), qmxtest::DemoVenda(to));
    return desk.AppServer().Call("SetFatos", {change.Build(), "FATO_VENDAS"});
  }
  // Renames the fact table FATO_ESTOQUE: a change the tests use as a marker,
  // so that a desk that received it has received everything before it.
  static void Mark(net::TSocketConnection& desk, const std::string& name) {
    const std::vector<Row> rows =
        Rows(desk.AppServer().Call("GetTabelas", {"FATO_ESTOQUE", false}));
    ASSERT_EQ(rows.size(), 1u);
    DeltaBuilder change(kTableFields);
    change.Modify({"FATO_ESTOQUE", rows[0].at("NMTABELADW"), "N"}, {"FATO_ESTOQUE", name, "N"});
    ASSERT_EQ(ErrorText(desk.AppServer().Call("SetTabelas", {change.Build()})), "");
  }
  static bool IsMark(const NoticeFrame& n) {
    return n.kind == NoticeKind::kChange && n.table == "FATO_ESTOQUE" &&
           n.item_kind == NoticeItem::kTable;
  }

  qmxtest::TestDatabase db_;
  EmbeddedServer server_{On(db_)};
};

TEST_F(Notices, ACommittedChangeReachesTheOtherDesksNeverItsAuthorNorForARefusal) {
  auto author = NoticeDesk(server_.Port());
  auto other = NoticeDesk(server_.Port());
  auto deaf = qmxtest::RdmClient(server_.Port());  // never asked for notices
  deaf->Open();

  ASSERT_TRUE(Rename(*author, "Valor vendido", "Valor bruto").IsEmpty());
  // A notice already waiting when the desk makes a call is kept for it, on
  // the same link.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(Rows(other->AppServer().Call("GetTabelas", {"", false})).size(), 3u);
  std::vector<NoticeFrame> got = NoticesOf(*other, 1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].kind, NoticeKind::kChange);
  EXPECT_EQ(got[0].table, "FATO_VENDAS");
  EXPECT_EQ(got[0].item_kind, NoticeItem::kFact);
  EXPECT_EQ(got[0].item, "VL_VENDA");
  EXPECT_EQ(got[0].change, NoticeChange::kUpdate);
  EXPECT_EQ(got[0].when.size(), 24u) << got[0].when;  // 2026-12-08T09:15:02.123Z

  // Refused (stale old values) and failed (no such method) calls commit
  // nothing and tell nothing: the next notice the others get is the mark.
  EXPECT_EQ(ErrorText(Rename(*author, "Valor vendido", "Outro nome")), kChangedMeanwhile);
  EXPECT_THROW(author->AppServer().Call("SetFatos", {Variant("não é pacote"), "FATO_VENDAS"}),
               net::ECallError);
  auto marker = NoticeDesk(server_.Port());
  Mark(*marker, "Estoque marcado");
  got = NoticesOf(*other, 1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_TRUE(IsMark(got[0]));
  // The author heard the mark, and nothing of its own.
  got = NoticesOf(*author, 1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_TRUE(IsMark(got[0]));
  EXPECT_TRUE(deaf->TakeNotices().empty());
  EXPECT_EQ(Rows(deaf->AppServer().Call("GetTabelas", {"", false})).size(), 3u);
}

TEST_F(Notices, AnEditIsToldUntilItEndsOrItsConnectionGoes) {
  auto editor = NoticeDesk(server_.Port());
  auto other = NoticeDesk(server_.Port());
  editor->AppServer().Call(RdmEstrutura::kEditMethod, {"fato_vendas", "fato", "vl_venda"});
  std::vector<NoticeFrame> got = NoticesOf(*other, 1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].kind, NoticeKind::kEditing);
  EXPECT_EQ(got[0].table, "FATO_VENDAS");
  EXPECT_EQ(got[0].item_kind, NoticeItem::kFact);
  EXPECT_EQ(got[0].item, "VL_VENDA");
  EXPECT_FALSE(got[0].account.empty());

  editor->AppServer().Call(RdmEstrutura::kEditMethod, {"", "", ""});
  got = NoticesOf(*other, 1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].kind, NoticeKind::kEditEnded);
  EXPECT_EQ(got[0].item, "VL_VENDA");

  editor->AppServer().Call(RdmEstrutura::kEditMethod, {"FATO_VENDAS", "dimensao", "CD_LOJA"});
  ASSERT_EQ(NoticesOf(*other, 1).size(), 1u);
  editor->Close();
  got = NoticesOf(*other, 1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].kind, NoticeKind::kEditEnded);
  EXPECT_EQ(got[0].item_kind, NoticeItem::kDimension);
  EXPECT_EQ(got[0].item, "CD_LOJA");
}

// A desk that asked for notices and does not read them: a socket with a small
// receive buffer, which fills after a few hundred notices.
class SilentDesk {
 public:
  explicit SilentDesk(uint16_t port) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    const int small = 2048;
    setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) ADD_FAILURE() << "connect";
    timeval tv{1, 0};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    std::vector<uint8_t> out;
    net::HelloFrame hello;
    hello.version = net::kProtocolVersion;
    hello.object_name = std::string(RdmEstrutura::kObjectName);
    net::EncodeHello(out, hello);
    net::EncodeSubscribe(out, true);
    send(fd_, out.data(), out.size(), MSG_NOSIGNAL);
  }
  ~SilentDesk() { close(fd_); }
  // The next frame, or nothing when none came within a second.
  std::optional<net::Frame> Next() {
    uint8_t prefix[4];
    if (!ReadExact(prefix, 4)) return std::nullopt;
    std::vector<uint8_t> payload(prefix[0] | (prefix[1] << 8) | (prefix[2] << 16) |
                                 (uint32_t{prefix[3]} << 24));
    if (!ReadExact(payload.data(), payload.size())) return std::nullopt;
    return net::DecodePayload(payload);
  }

 private:
  bool ReadExact(uint8_t* p, size_t n) {
    while (n > 0) {
      const ssize_t r = recv(fd_, p, n, 0);
      if (r <= 0) return false;
      p += r;
      n -= static_cast<size_t>(r);
    }
    return true;
  }
  int fd_;
};

TEST_F(Notices, ADeskThatFallsBehindIsToldOnceToReloadInsteadOfAnEndlessQueue) {
  SilentDesk silent(server_.Port());
  const auto accept = silent.Next();
  ASSERT_TRUE(accept && std::holds_alternative<net::AcceptFrame>(*accept));
  auto author = qmxtest::RdmClient(server_.Port());
  // A long name makes long notices: the buffers between the server and the
  // silent desk fill after fewer changes.
  net::ClientSecurity security = author->Security();
  security.user_name = std::string(200, 'a');
  author->SetSecurity(security);
  constexpr int kChanges = 600;
  std::string name = "Valor vendido";
  for (int i = 0; i < kChanges; ++i) {
    const std::string next = "Valor " + std::to_string(i);
    ASSERT_TRUE(Rename(*author, name, next).IsEmpty());
    name = next;
  }
  int changes = 0, reloads = 0;
  while (auto frame = silent.Next()) {
    const auto* n = std::get_if<NoticeFrame>(&*frame);
    ASSERT_NE(n, nullptr);
    (n->kind == NoticeKind::kReloadAll ? reloads : changes) += 1;
    if (changes + reloads > kChanges) break;
  }
  EXPECT_GE(reloads, 1);
  EXPECT_LT(changes, kChanges);
}

TEST_F(Notices, OnPostgresTheDesksOfEveryServerAreToldThroughTheDatabase) {
  if (!OnPostgres()) GTEST_SKIP() << "several servers share a PostgreSQL database only";
  EmbeddedServer second(On(db_)), third(On(db_));
  for (auto* s : {&server_, &second, &third})
    for (int i = 0; i < 500 && !s->HearsNotices(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  auto author = NoticeDesk(server_.Port());
  auto beside = NoticeDesk(server_.Port());
  auto far = NoticeDesk(second.Port());
  auto farther = NoticeDesk(third.Port());

  ASSERT_TRUE(Rename(*author, "Valor vendido", "Valor bruto").IsEmpty());
  for (auto* desk : {beside.get(), far.get(), farther.get()}) {
    std::vector<NoticeFrame> got = NoticesOf(*desk, 1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].item, "VL_VENDA");
    EXPECT_EQ(got[0].change, NoticeChange::kUpdate);
  }
  // A refusal on the third server is told nowhere; the mark from the second
  // is the author's first notice.
  auto late = qmxtest::RdmClient(third.Port());
  EXPECT_EQ(ErrorText(Rename(*late, "Valor vendido", "Outro")), kChangedMeanwhile);
  Mark(*far, "Estoque marcado");
  for (auto* desk : {author.get(), beside.get(), farther.get()}) {
    std::vector<NoticeFrame> got = NoticesOf(*desk, 1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_TRUE(IsMark(got[0]));
  }
  EXPECT_TRUE(NoticesOf(*far, 0, 200).empty());
}

TEST_F(Notices, AServerThatLosesItsListenerTellsItsDesksToReloadAndListensAgain) {
  if (!OnPostgres()) GTEST_SKIP() << "the listener is PostgreSQL's";
  for (int i = 0; i < 500 && !server_.HearsNotices(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_TRUE(server_.HearsNotices());
  auto desk = NoticeDesk(server_.Port());
  const std::string listen = "LISTEN \"" + PostgresNoticeChannel(db_.target().schema) + "\"";
  EXPECT_EQ(qmxtest::PostgresScalar(db_.target().location,
                                    "SELECT count(pg_terminate_backend(pid)) FROM "
                                    "pg_stat_activity WHERE query = '" +
                                        listen + "'"),
            "1");
  std::vector<NoticeFrame> got = NoticesOf(*desk, 1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].kind, NoticeKind::kReloadAll);
  // And the changes of others reach it again.
  auto author = qmxtest::RdmClient(server_.Port());
  ASSERT_TRUE(Rename(*author, "Valor vendido", "Valor bruto").IsEmpty());
  got = NoticesOf(*desk, 1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].item, "VL_VENDA");
}

}  // namespace
}  // namespace appserver::testing
