#include "framework/FileWrite.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace plugkit {

namespace {

// Writes all bytes, resuming after short writes and interrupted calls.
bool writeAll(int fd, std::string_view text) {
  const char* p = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return false;
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

int CreateExclusiveFile(const std::function<std::string()>& nextTemporaryPath, std::string& path) {
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    path = nextTemporaryPath();
    // O_EXCL: never reuse or follow whatever already lies at that name.
    do {
      fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0 && errno != EEXIST) return -1;  // Another name would fail the same way.
  }
  if (fd < 0) errno = EEXIST;
  return fd;
}

bool WriteThroughTemporary(const std::filesystem::path& target, std::string_view text,
                           const std::function<std::string()>& nextTemporaryPath) {
  std::string tempPath;
  const int fd = CreateExclusiveFile(nextTemporaryPath, tempPath);
  if (fd < 0) return false;

  bool ok = writeAll(fd, text);
  ok = ok && ::fsync(fd) == 0;
  // close is not retried: on Linux the descriptor is released even when it reports EINTR.
  if (::close(fd) != 0) ok = false;
  ok = ok && std::rename(tempPath.c_str(), target.c_str()) == 0;
  if (!ok) ::unlink(tempPath.c_str());
  return ok;
}

}  // namespace plugkit
