#include "app/options.h"

#include <vector>

#include <gtest/gtest.h>

namespace parley {
namespace {

std::optional<EngineOptions> Parse(std::vector<std::string> args, int* status) {
  args.insert(args.begin(), "parley");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  return ParseOptions(static_cast<int>(argv.size()), argv.data(), "/opt/parley", status);
}

TEST(Options, DefaultsAreTheBuiltInConstants) {
  int status = -1;
  auto o = Parse({}, &status);
  ASSERT_TRUE(o);
  const EngineConfig& c = o->config;
  EXPECT_EQ(c.link_address, "127.0.0.1");
  EXPECT_EQ(c.link_port, 12012);
  EXPECT_EQ(c.gateway_port, 4001);
  EXPECT_EQ(c.gateway_host, kDefaultGatewayHost);
  EXPECT_EQ(c.web_base, kDefaultWebBase);
  EXPECT_EQ(c.web_port, 80);
  EXPECT_EQ(c.gateway_timeout_seconds, 30);
  EXPECT_EQ(c.watchdog_seconds, 0);
  EXPECT_EQ(c.web_timeout_seconds, 30);
  EXPECT_EQ(c.link_message_timeout_seconds, 30);
  EXPECT_EQ(c.GetModuleDir(), "/opt/parley/");
  EXPECT_EQ(c.UiProgram(), "/opt/parley/QX_Flex/QXv1.exe");
}

TEST(Options, EveryFlagSetsItsValue) {
  int status = -1;
  auto o = Parse({"--link-address",
                  "0.0.0.0",
                  "--link-port",
                  "5000",
                  "--gateway",
                  "127.0.0.1:14001",
                  "--web-base",
                  "http://127.0.0.1/",
                  "--web-port",
                  "8080",
                  "--home",
                  "/srv/qx/",
                  "--gateway-timeout",
                  "2",
                  "--web-timeout",
                  "7",
                  "--watchdog",
                  "5",
                  "--link-message-timeout",
                  "3",
                  "--ui-program",
                  "none",
                  "--log-level",
                  "debug"},
                 &status);
  ASSERT_TRUE(o);
  const EngineConfig& c = o->config;
  EXPECT_EQ(c.link_address, "0.0.0.0");
  EXPECT_EQ(c.link_port, 5000);
  EXPECT_EQ(c.gateway_host, "127.0.0.1");
  EXPECT_EQ(c.gateway_port, 14001);
  EXPECT_EQ(c.web_base, "http://127.0.0.1");
  EXPECT_EQ(c.web_port, 8080);
  EXPECT_EQ(c.GetModuleDir(), "/srv/qx/");
  EXPECT_EQ(c.gateway_timeout_seconds, 2);
  EXPECT_EQ(c.watchdog_seconds, 5);
  EXPECT_TRUE(c.UiProgram().empty());
  EXPECT_EQ(o->log_level, "debug");
  EXPECT_EQ(c.web_timeout_seconds, 7);
  EXPECT_EQ(c.link_message_timeout_seconds, 3);
}

TEST(Options, InvalidValuesEndWithStatus2) {
  for (std::vector<std::string> args : {std::vector<std::string>{"--gateway", "nohost"},
                                        {"--gateway", "h:0"},
                                        {"--gateway", "h:65536"},
                                        {"--link-port", "70000"},
                                        {"--log-level", "loud"},
                                        {"--gateway-timeout", "0"},
                                        {"--link-message-timeout", "0"},
                                        {"--bogus"}}) {
    int status = -1;
    EXPECT_FALSE(Parse(args, &status)) << args[0];
    EXPECT_EQ(status, 2) << args[0];
  }
}

TEST(Options, SplitHostPortTakesTheLastColon) {
  std::string host;
  uint16_t port = 0;
  ASSERT_TRUE(SplitHostPort("[::1]:4001", &host, &port));
  EXPECT_EQ(host, "::1");
  EXPECT_EQ(port, 4001);
  EXPECT_FALSE(SplitHostPort(":4001", &host, &port));
  EXPECT_FALSE(SplitHostPort("host:", &host, &port));
  EXPECT_FALSE(SplitHostPort("host:12x", &host, &port));
}

}  // namespace
}  // namespace parley
