#include "tests/support/temp_dir.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>

namespace sp::test {

namespace {
std::filesystem::path& rootStorage() {
  static std::filesystem::path root;
  return root;
}
std::atomic<int> counter{0};
}  // namespace

void setTempRoot(const std::filesystem::path& root) { rootStorage() = root; }

const std::filesystem::path& tempRoot() { return rootStorage(); }

TempDir::TempDir() {
  path_ = tempRoot() / ("t" + std::to_string(counter.fetch_add(1)));
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  // Restore write permission first so tests that lock folders clean up.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

bool writeFile(const std::filesystem::path& path, const std::string& bytes) {
  std::error_code ec;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace sp::test
