#include <gtest/gtest.h>

#include <climits>

#include "common/ProxyText.h"
#include "support/ParamName.h"

namespace mzt {
namespace {

struct ProxyRow {
  std::string name;
  std::string text;
  std::string host;
  int port;
};

class ProxyTextTest : public ::testing::TestWithParam<ProxyRow> {};

TEST_P(ProxyTextTest, ReadsHostAndPort) {
  auto proxy = ParseProxyText(GetParam().text);
  ASSERT_TRUE(proxy.has_value());
  EXPECT_EQ(proxy->host, GetParam().host);
  EXPECT_EQ(proxy->port, GetParam().port);
}

TEST(ProxyTextDirectTest, NoHostOrNoPortMeansDirect) {
  for (const char* text : {"host", "host:0", "host:abc", ":3128", "", "http://",
                           "http://user:pw@host:3128/"})
    EXPECT_FALSE(ParseProxyText(text).has_value()) << text;
}

const std::string kLongHost = "proxy-with-a-long-name.example.internal";  // 39 characters

INSTANTIATE_TEST_SUITE_P(
    Rules, ProxyTextTest,
    ::testing::Values(
        ProxyRow{"HostAndPort", "host:8080", "host", 8080},
        ProxyRow{"SchemeAndSlashRemoved", "http://host:3128/", "host", 3128},
        ProxyRow{"HttpsScheme", "https://10.0.0.1:443", "10.0.0.1", 443},
        ProxyRow{"SeveralTrailingSlashes", "http://host:3128///", "host", 3128},
        ProxyRow{"PortReadUpToNonDigit", "host:8080abc", "host", 8080},
        ProxyRow{"OnlyFirstColonSplits", "host:81:82", "host", 81},
        ProxyRow{"DoubleSlashCutsHost", "http//host:3128", "//host", 3128},
        ProxyRow{"FirstDoubleSlashAfterFirstCharacter", "a//b//c:81", "//b//c", 81},
        ProxyRow{"LeadingDoubleSlashStays", "//host:81", "//host", 81},
        ProxyRow{"LongHostKeptWhole", kLongHost + ":3128", kLongHost, 3128},
        ProxyRow{"NegativePortPassedOn", "host:-5", "host", -5},
        ProxyRow{"HugePortClamped", "host:99999999999", "host", INT_MAX}),
    test::RowName());

}  // namespace
}  // namespace mzt
