#pragma once
// Temporary folders for tests: one root per test process (made by the test main),
// and a fresh sub-folder per TempDir object, removed when it goes.
#include <filesystem>
#include <string>

namespace sp::test {

// The process's temporary root (created before any test runs).
const std::filesystem::path& tempRoot();

class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
  std::filesystem::path path_;
};

// Writes bytes to a file, creating parent folders. Returns false on failure.
bool writeFile(const std::filesystem::path& path, const std::string& bytes);
// Reads a whole file; empty when missing.
std::string readFile(const std::filesystem::path& path);

}  // namespace sp::test
