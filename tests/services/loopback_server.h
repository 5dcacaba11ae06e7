#pragma once
// The loopback HTTPS server started by the CTest fixture (https_server.py): its ports and the
// throw-away CA that signed its certificates, read from the state file the fixture wrote into
// $SP_TEST_HTTPS_DIR.
#include <cstdlib>
#include <string>

#include "services/json.h"
#include "tests/support/temp_dir.h"

namespace sp::test {

struct LoopbackServer {
  int port = 0;        // certificate for IP 127.0.0.1
  int otherPort = 0;   // certificate for DNS other.test only
  std::string caFile;

  bool ready() const { return port > 0 && otherPort > 0 && !caFile.empty(); }
  std::string url(const std::string& path) const {
    return "https://127.0.0.1:" + std::to_string(port) + path;
  }
  std::string otherUrl(const std::string& path) const {
    return "https://127.0.0.1:" + std::to_string(otherPort) + path;
  }
};

inline LoopbackServer loopbackServer() {
  LoopbackServer server;
  const char* dir = std::getenv("SP_TEST_HTTPS_DIR");
  if (dir == nullptr) return server;
  const auto state = brightloom::json::parse(readFile(std::string(dir) + "/state.json"));
  if (!state) return server;
  if (const auto* p = state->member("port"); p && p->kind == brightloom::json::Value::kNumber) {
    server.port = static_cast<int>(p->number);
  }
  if (const auto* p = state->member("other_port"); p && p->kind == brightloom::json::Value::kNumber) {
    server.otherPort = static_cast<int>(p->number);
  }
  server.caFile = state->string("ca_file").value_or("");
  return server;
}

}  // namespace sp::test

// Skips the test (with a reason) when the fixture's server is not running.
#define SP_REQUIRE_LOOPBACK_SERVER(server)                                                     \
  const ::sp::test::LoopbackServer server = ::sp::test::loopbackServer();                      \
  if (!server.ready()) GTEST_FAIL() << "loopback HTTPS server not running (run through ctest)"
