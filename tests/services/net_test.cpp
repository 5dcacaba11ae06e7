// HTTPS helper against the loopback server: accepted answers, refusals, time-out, certificate
// checks, cancellation; and the sandbox rule for network use.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "services/net.h"
#include "shims/apple/security/SecTask.h"
#include "tests/services/fetch_probe.h"
#include "tests/services/loopback_server.h"
#include "tests/services/stalling_listeners.h"

using namespace brightloom::net;
using sp::test::Clock;
using sp::test::secondsSince;

namespace {

// The update check's time-out. A refusal, a cancel or a shorter time-out must end well under it;
// how far under is the machine's business.
constexpr int kFetchTimeoutSeconds = 8;
constexpr double kWellUnderTheTimeOut = kFetchTimeoutSeconds / 2.0;

// Gives a fetch time to reach the phase a test stalls it in (the phase cannot be observed).
bool waitAWhile() {
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  return true;
}

constexpr const char* kFeed = R"({"spectrapoise":{"version":"0.5.0","page":"/spectrapoise#download"}})";

}  // namespace

TEST(HttpsFetch, AcceptsCompleteAnswersAndRefusesRedirectsAndOversizedBodies) {
  SP_REQUIRE_LOOPBACK_SERVER(server);
  struct Case {
    std::string path;
    int status;
    std::string body;  // "#<n>": n bytes of 'x'
  };
  const std::vector<Case> cases = {
      {"/updates.json", 200, kFeed},
      {"/404", 404, "nope"},
      {"/redir", 0, ""},
      {"/big/65536", 200, "#65536"},
      {"/big/65537", 0, ""},
      {"/big/1000000", 0, ""},
      {"/array", 200, "[]"},
      {"/empty", 200, ""},
      {"/accept", 200, "application/json"},
  };
  SendOptions options;
  options.caFile = server.caFile;
  for (const auto& c : cases) {
    const HttpResult r = send(server.url(c.path), 2, options);
    EXPECT_EQ(r.status, c.status) << c.path;
    if (!c.body.empty() && c.body[0] == '#') {
      EXPECT_EQ(r.body, std::string(std::stoul(c.body.substr(1)), 'x')) << c.path;
    } else {
      EXPECT_EQ(r.body, c.body) << c.path;
    }
  }
}

TEST(HttpsFetch, RefusesBadAndNonHttpsAddressesAtOnce) {
  SP_REQUIRE_LOOPBACK_SERVER(server);
  const std::vector<std::string> addresses = {
      "",
      "not a url",
      "https://",
      "127.0.0.1/updates.json",
      "http://127.0.0.1:" + std::to_string(server.port) + "/updates.json",
      "file:///etc/passwd",
      "ftp://127.0.0.1/x",
      "https://127.0.0.1:" + std::to_string(server.port) + "/updates json",
  };
  for (const auto& address : addresses) {
    const auto start = Clock::now();
    const HttpResult r = getJson(address, kFetchTimeoutSeconds);
    EXPECT_EQ(r.status, 0) << address;
    EXPECT_EQ(r.body, "") << address;
    EXPECT_LT(secondsSince(start), kWellUnderTheTimeOut) << address;
  }
}

TEST(HttpsFetch, VerifiesTheServerCertificateAlways) {
  SP_REQUIRE_LOOPBACK_SERVER(server);
  // The system's trust store does not know the throw-away CA.
  EXPECT_EQ(getJson(server.url("/updates.json"), 2).status, 0);
  // Trusted CA, but the certificate names another host.
  SendOptions options;
  options.caFile = server.caFile;
  const HttpResult other = send(server.otherUrl("/updates.json"), 2, options);
  EXPECT_EQ(other.status, 0);
  EXPECT_EQ(other.body, "");
}

TEST(HttpsFetch, ServerThatNeverAnswersTimesOut) {
  SP_REQUIRE_LOOPBACK_SERVER(server);
  SendOptions options;
  options.caFile = server.caFile;
  const auto start = Clock::now();
  const HttpResult r = send(server.url("/hang"), 2, options);
  const double elapsed = secondsSince(start);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.body, "");
  EXPECT_GE(elapsed, 1.5);
  EXPECT_LE(elapsed, 2 + 5);
}

TEST(HttpsFetch, CancelAbandonsAWaitingRequestPromptly) {
  SP_REQUIRE_LOOPBACK_SERVER(server);
  SendOptions options;
  options.caFile = server.caFile;
  const sp::test::CancelledFetch fetch =
      sp::test::cancelFetch(server.url("/hang"), kFetchTimeoutSeconds, options, waitAWhile);
  const double elapsed = fetch.secondsToReturn;
  const HttpResult& result = fetch.result;
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.body, "");
  EXPECT_LT(elapsed, kWellUnderTheTimeOut);
  std::printf("cancelled fetch returned %.0f ms after the request\n", elapsed * 1000);
}

// A fetch stalled while connecting or during TLS set-up (the name lookup: stuck_resolver_test,
// waiting for data: the tests above) ends at a cancel or at its time-out all the same.
namespace {

struct StalledPhase {
  const char* name;
  int port;
};

std::vector<StalledPhase> stalledPhases(const sp::test::FullQueueListener& connecting,
                                        const sp::test::SilentListener& tlsSetUp) {
  return {{"connecting", connecting.port()}, {"TLS set-up", tlsSetUp.port()}};
}

std::string loopbackUrl(int port) { return "https://127.0.0.1:" + std::to_string(port) + "/updates.json"; }

}  // namespace

TEST(HttpsFetch, CancelHoldsWhileConnectingAndDuringTlsSetUp) {
  const sp::test::FullQueueListener connecting;
  const sp::test::SilentListener tlsSetUp;
  for (const StalledPhase& phase : stalledPhases(connecting, tlsSetUp)) {
    ASSERT_GT(phase.port, 0) << phase.name;
    const sp::test::CancelledFetch fetch =
        sp::test::cancelFetch(loopbackUrl(phase.port), kFetchTimeoutSeconds, SendOptions{}, waitAWhile);
    EXPECT_EQ(fetch.result.status, 0) << phase.name;
    EXPECT_EQ(fetch.result.body, "") << phase.name;
    EXPECT_LT(fetch.secondsToReturn, kWellUnderTheTimeOut) << phase.name;
  }
}

TEST(HttpsFetch, TimeOutHoldsWhileConnectingAndDuringTlsSetUp) {
  constexpr int kTimeout = 1;
  const sp::test::FullQueueListener connecting;
  const sp::test::SilentListener tlsSetUp;
  for (const StalledPhase& phase : stalledPhases(connecting, tlsSetUp)) {
    ASSERT_GT(phase.port, 0) << phase.name;
    const auto start = Clock::now();
    const HttpResult r = send(loopbackUrl(phase.port), kTimeout);
    const double elapsed = secondsSince(start);
    EXPECT_EQ(r.status, 0) << phase.name;
    EXPECT_EQ(r.body, "") << phase.name;
    EXPECT_GE(elapsed, kTimeout * 0.5) << phase.name;
    EXPECT_LT(elapsed, kTimeout + 5) << phase.name;
  }
}

// ---- network permission ----

TEST(NetworkPermission, OnlyASandboxWithoutTheNetworkEntitlementForbidsIt) {
  using security::EntitlementValue;
  using Type = EntitlementValue::Type;
  const EntitlementValue yes{Type::kBoolean, true};
  const EntitlementValue no{Type::kBoolean, false};
  const EntitlementValue text{Type::kString, false};
  const std::string sandbox = "com.apple.security.app-sandbox";
  const std::string network = "com.apple.security.network.client";
  struct Case {
    security::Entitlements entitlements;
    bool failCreation;
    bool allowed;
  };
  const std::vector<Case> cases = {
      {{}, false, true},
      {{{sandbox, no}}, false, true},
      {{{sandbox, text}}, false, true},
      {{{sandbox, yes}}, false, false},
      {{{sandbox, yes}, {network, no}}, false, false},
      {{{sandbox, yes}, {network, text}}, false, false},
      {{{sandbox, yes}, {network, yes}}, false, true},
      {{{sandbox, yes}}, true, true},  // no task: not entitled to a sandbox either
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    security::setEntitlementsForTesting(cases[i].entitlements, cases[i].failCreation);
    EXPECT_EQ(detail::computeMayUseNetwork(), cases[i].allowed) << "case " << i;
  }
  security::setEntitlementsForTesting(std::nullopt);
  EXPECT_FALSE(entitled(sandbox));
  EXPECT_TRUE(mayUseNetwork());
}
