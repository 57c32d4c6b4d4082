#include "orb/server_address.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "rtl/exceptions.h"

namespace orb {
namespace {

class ServerAddressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearServerAddress();
    unsetenv(kServerEnvironmentVariable);
  }
  void TearDown() override { SetUp(); }
  static void SetEnv(const char* value) { setenv(kServerEnvironmentVariable, value, 1); }
};

TEST_F(ServerAddressTest, DefaultsWhenNothingIsSet) {
  EXPECT_EQ(WebURL(), "127.0.0.1");
  EXPECT_EQ(WebPort(), 2160);
  SetEnv("");  // an empty variable counts as unset
  EXPECT_EQ(WebURL(), "127.0.0.1");
}

TEST_F(ServerAddressTest, TheEnvironmentComesBeforeTheDefaultAndIsReadAtEachCall) {
  SetEnv("servidor.local:3000");
  EXPECT_EQ(WebURL(), "servidor.local");
  EXPECT_EQ(WebPort(), 3000);
  SetEnv("[::1]:2161");
  EXPECT_EQ(WebURL(), "::1");
  EXPECT_EQ(WebPort(), 2161);
}

TEST_F(ServerAddressTest, TheExplicitSettingComesFirst) {
  SetEnv("servidor.local:3000");
  SetServerAddress({"10.0.0.5", 4000});
  EXPECT_EQ(WebURL(), "10.0.0.5");
  EXPECT_EQ(WebPort(), 4000);
  ClearServerAddress();
  EXPECT_EQ(WebPort(), 3000);
}

TEST_F(ServerAddressTest, MalformedValuesAreClearErrorsNeverTheDefault) {
  for (const char* bad : {"servidor", "servidor:", ":2160", "servidor:0", "servidor:65536",
                          "servidor:21a0", "servidor:-1", "ser vidor:2160", "::1:2160", "[::1]2160",
                          "[::1:2160", "servidor:999999999999"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(ParseServerAddress(bad), rtl::Exception);
    SetEnv(bad);
    try {
      WebURL();
      ADD_FAILURE() << "accepted";
    } catch (const rtl::Exception& e) {
      EXPECT_NE(e.Message().find("QMX_SERVER"), std::string::npos) << e.Message();
      EXPECT_NE(e.Message().find(bad), std::string::npos) << e.Message();
    }
  }
  SetEnv("serv\xFFidor:2160");
  EXPECT_THROW(WebPort(), rtl::Exception);
  EXPECT_THROW(SetServerAddress({"", 2160}), rtl::Exception);
  EXPECT_THROW(SetServerAddress({"host", 70000}), rtl::Exception);
  SetEnv("servidor:1");
  EXPECT_EQ(WebPort(), 1);  // a refused explicit setting left nothing behind
}

TEST_F(ServerAddressTest, ParsesTheAcceptedForms) {
  ServerAddress a = ParseServerAddress("127.0.0.1:65535");
  EXPECT_EQ(a.host, "127.0.0.1");
  EXPECT_EQ(a.port, 65535);
  a = ParseServerAddress("[fe80::1]:1");
  EXPECT_EQ(a.host, "fe80::1");
  EXPECT_EQ(a.port, 1);
}

}  // namespace
}  // namespace orb
