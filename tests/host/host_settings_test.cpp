// The host's command line.
#include <gtest/gtest.h>

#include "host_settings.h"
#include "orb/server_address.h"

namespace {

host::ParseOutcome Parse(QStringList args) {
  args.prepend(QStringLiteral("qmx-host"));
  return host::ParseHostCommandLine(args);
}

TEST(HostSettingsTest, ServerPackageFolderAndScreensToOpen) {
  const host::ParseOutcome out =
      Parse({"--server", "10.0.0.5:2170", "--package-dir", "/opt/qmx", "--open", " qmx00600 "});
  ASSERT_FALSE(out.exit_code);
  ASSERT_TRUE(out.settings.server);
  EXPECT_EQ(out.settings.server->host, "10.0.0.5");
  EXPECT_EQ(out.settings.server->port, 2170);
  EXPECT_EQ(out.settings.package_dir, "/opt/qmx");
  EXPECT_EQ(out.settings.open_screens, std::vector<std::string>{"QMX00600"});

  host::ApplyHostSettings(out.settings);
  EXPECT_EQ(orb::WebURL(), "10.0.0.5");
  EXPECT_EQ(orb::WebPort(), 2170);
  // Without --server: the environment variable, then the default.
  const QByteArray saved = qgetenv("QMX_SERVER");
  EXPECT_FALSE(Parse({}).settings.server);
  host::ApplyHostSettings(Parse({}).settings);
  qputenv("QMX_SERVER", "127.0.0.2:3000");
  EXPECT_EQ(orb::WebURL(), "127.0.0.2");
  EXPECT_EQ(orb::WebPort(), 3000);
  qunsetenv("QMX_SERVER");
  EXPECT_EQ(orb::WebURL(), "127.0.0.1");
  EXPECT_EQ(orb::WebPort(), 2160);
  if (!saved.isEmpty()) qputenv("QMX_SERVER", saved);
}

TEST(HostSettingsTest, MalformedOrUnknownArgumentsEndWithAnError) {
  EXPECT_EQ(Parse({"--server", "semporta"}).exit_code, 2);
  EXPECT_EQ(Parse({"--server", "host:99999"}).exit_code, 2);
  EXPECT_EQ(Parse({"--server"}).exit_code, 2);
  EXPECT_EQ(Parse({"--desconhecida"}).exit_code, 2);
  EXPECT_EQ(Parse({"sobrando"}).exit_code, 2);
  EXPECT_EQ(Parse({"--help"}).exit_code, 0);
}

}  // namespace
