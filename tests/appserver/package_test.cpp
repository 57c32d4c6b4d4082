// The Debian packages of the server: built with cpack, unpacked with dpkg -x
// into a temporary folder, and the unpacked program started on a fresh
// database with the settings file the package installs.
#include <signal.h>
#include <stdio.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "net/socket_connection.h"
#include "rdm_fixture.h"
#include "server_process.h"

namespace appserver::testing {
namespace {

namespace fs = std::filesystem;

std::string Quoted(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Runs a shell command; its exit status and what it printed.
std::pair<int, std::string> Shell(const std::string& command) {
  FILE* p = popen((command + " 2>&1").c_str(), "r");
  std::string out;
  char buf[4096];
  size_t n;
  while (p && (n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int status = p ? pclose(p) : -1;
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

fs::path Find(const fs::path& folder, const std::string& prefix) {
  for (const auto& e : fs::directory_iterator(folder))
    if (e.path().filename().string().starts_with(prefix) && e.path().extension() == ".deb")
      return e.path();
  return {};
}

Variant GetInicial(uint16_t port) {
  net::TSocketConnection c(nullptr);
  c.SetServerName(std::string(RdmEstrutura::kObjectName));
  c.SetPort(port);
  return c.AppServer().Call("GetInicial");
}

TEST(ServerPackage, UnpackedServerStartsOnAFreshDatabaseWithThePackagedSettings) {
  TempDir work;
  const fs::path out = fs::path(work.path()) / "pacotes", root = fs::path(work.path()) / "raiz";
  auto [built, log] =
      Shell(std::string(QMX_CPACK) + " --config " + Quoted(QMX_CPACK_CONFIG) +
            " -G DEB -D 'CPACK_COMPONENTS_ALL=common;server' -B " + Quoted(out.string()));
  ASSERT_EQ(built, 0) << log;
  fs::path server = Find(out, "qmx-server_"), common = Find(out, "qmx-common_");
  ASSERT_FALSE(server.empty()) << log;
  ASSERT_FALSE(common.empty()) << log;
  for (const fs::path& deb : {server, common}) {
    auto [rc, text] = Shell("dpkg -x " + Quoted(deb.string()) + " " + Quoted(root.string()));
    ASSERT_EQ(rc, 0) << text;
  }
  EXPECT_EQ(Shell("dpkg-deb -I " + Quoted(server.string()) + " conffiles").second,
            "/etc/qmx/qmx-server.conf\n");
  EXPECT_NE(Shell("dpkg-deb -f " + Quoted(server.string()) + " Depends").second.find("qmx-common"),
            std::string::npos);

  std::string unit = ReadFile(root / "usr/lib/systemd/system/qmx-server.service");
  EXPECT_NE(unit.find("\nUser=qmx\n"), std::string::npos) << unit;
  EXPECT_NE(unit.find("ExecStart=/usr/bin/qmx-server --config /etc/qmx/qmx-server.conf"),
            std::string::npos)
      << unit;
  const fs::path settings = root / "etc/qmx/qmx-server.conf";
  ASSERT_TRUE(fs::exists(settings));

  // The packaged program, through its link in usr/bin, with the packaged
  // settings (the listen address given here wins over the file's).
  const std::string program = (root / "usr/bin/qmx-server").string();
  const std::string db = (fs::path(work.path()) / "dados" / "qmx.db").string();
  ServerProcess sqlite(
      program, {"--config", settings.string(), "--db", db, "--listen", "127.0.0.1:0"}, work.path());
  uint16_t port = sqlite.Port();
  ASSERT_NE(port, 0) << sqlite.Log();
  EXPECT_NE(sqlite.Log().find("(criado)"), std::string::npos) << sqlite.Log();
  EXPECT_EQ(GetInicial(port).Length(), 4u);
  EXPECT_EQ(sqlite.Terminate(SIGTERM), 0) << sqlite.Log();

  qmxtest::TestDatabase pg(qmxtest::TestBackend::kPostgres);
  if (!pg.Available()) GTEST_SKIP() << "SQLite verificado; " << pg.SkipReason();
  ServerProcess postgres(program,
                         {"--config", settings.string(), "--db", pg.target().location, "--schema",
                          pg.target().schema, "--listen", "127.0.0.1:0", "--demo"},
                         work.path());
  port = postgres.Port();
  ASSERT_NE(port, 0) << postgres.Log();
  EXPECT_EQ(GetInicial(port).Length(), 4u);
  EXPECT_EQ(postgres.Terminate(SIGTERM), 0) << postgres.Log();
}

}  // namespace
}  // namespace appserver::testing
