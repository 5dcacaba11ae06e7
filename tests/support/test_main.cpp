// Test main shared by every suite. Before any test (and any thread) starts it gives the
// process a fresh temporary root and points every user and maker folder into it, and
// points the update feed at a loopback address, so no test touches the user's folders
// or any host beyond 127.0.0.1.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "tests/support/temp_dir.h"

namespace sp::test {
void setTempRoot(const std::filesystem::path& root);
}

namespace {

bool isEmpty(const char* name) {
  const char* v = std::getenv(name);
  return v == nullptr || *v == '\0';
}

void setIfEmpty(const char* name, const std::string& value) {
  if (isEmpty(name)) setenv(name, value.c_str(), 1);
}

}  // namespace

int main(int argc, char** argv) {
  std::string pattern = (std::filesystem::temp_directory_path() / "sp-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    return 2;
  }
  const std::filesystem::path root = pattern;
  sp::test::setTempRoot(root);

  setIfEmpty("BRIGHTLOOM_DATA_DIR", (root / "brightloom-data").string());
  setIfEmpty("BRIGHTLOOM_UPDATES_URL", "https://127.0.0.1:9/updates.json");
  setenv("XDG_DATA_HOME", (root / "xdg-data").string().c_str(), 1);
  setenv("NO_PROXY", "127.0.0.1,localhost", 1);
  if (isEmpty("BRIGHTLOOM_DATA_DIR") || isEmpty("BRIGHTLOOM_UPDATES_URL")) {
    std::fprintf(stderr, "test main: BRIGHTLOOM variables must not be empty\n");
    std::abort();
  }

  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();

  std::error_code ec;
  std::filesystem::remove_all(root, ec);
  return result;
}
