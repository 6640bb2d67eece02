#include <gtest/gtest.h>

#include <climits>

#include "common/ProxyText.h"
#include "support/ParamName.h"

namespace mzt {
namespace {

struct ProxyRow {
  std::string name;
  std::string text;
  bool direct;
  std::string host;
  int port;
};

class ProxyTextTest : public ::testing::TestWithParam<ProxyRow> {};

TEST_P(ProxyTextTest, ReadsHostAndPort) {
  const ProxyRow& row = GetParam();
  auto proxy = ParseProxyText(row.text);
  if (row.direct) {
    EXPECT_FALSE(proxy.has_value()) << proxy->host << ":" << proxy->port;
    return;
  }
  ASSERT_TRUE(proxy.has_value());
  EXPECT_EQ(proxy->host, row.host);
  EXPECT_EQ(proxy->port, row.port);
}

const std::string kLongHost = "proxy-with-a-long-name.example.internal";  // 39 characters

INSTANTIATE_TEST_SUITE_P(
    Rules, ProxyTextTest,
    ::testing::Values(
        ProxyRow{"HostAndPort", "host:8080", false, "host", 8080},
        ProxyRow{"SchemeAndSlashRemoved", "http://host:3128/", false, "host", 3128},
        ProxyRow{"HttpsScheme", "https://10.0.0.1:443", false, "10.0.0.1", 443},
        ProxyRow{"SeveralTrailingSlashes", "http://host:3128///", false, "host", 3128},
        ProxyRow{"PortReadUpToNonDigit", "host:8080abc", false, "host", 8080},
        ProxyRow{"OnlyFirstColonSplits", "host:81:82", false, "host", 81},
        ProxyRow{"NoColonIsDirect", "host", true, "", 0},
        ProxyRow{"PortZeroIsDirect", "host:0", true, "", 0},
        ProxyRow{"NonNumericPortIsDirect", "host:abc", true, "", 0},
        ProxyRow{"EmptyHostIsDirect", ":3128", true, "", 0},
        ProxyRow{"EmptyTextIsDirect", "", true, "", 0},
        ProxyRow{"SchemeOnlyIsDirect", "http://", true, "", 0},
        ProxyRow{"UserInfoIsNotUnderstood", "http://user:pw@host:3128/", true, "", 0},
        ProxyRow{"DoubleSlashCutsHost", "http//host:3128", false, "//host", 3128},
        ProxyRow{"FirstDoubleSlashAfterFirstCharacter", "a//b//c:81", false, "//b//c", 81},
        ProxyRow{"LeadingDoubleSlashStays", "//host:81", false, "//host", 81},
        ProxyRow{"LongHostKeptWhole", kLongHost + ":3128", false, kLongHost, 3128},
        ProxyRow{"NegativePortPassedOn", "host:-5", false, "host", -5},
        ProxyRow{"HugePortClamped", "host:99999999999", false, "host", INT_MAX}),
    test::RowName());

}  // namespace
}  // namespace mzt
