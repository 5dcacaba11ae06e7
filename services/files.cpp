#include "services/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <atomic>
#include <system_error>

#include "framework/FileWrite.h"

namespace brightloom::files {

namespace {

constexpr std::size_t kMaxNameBytes = 80;

bool isUnsafeByte(unsigned char c) {
  switch (c) {
    case '"': case '*': case '/': case ':': case '<': case '>': case '?': case '\\': case '|':
      return true;
    default:
      return c < 0x20;
  }
}

bool isContinuationByte(unsigned char c) { return c >= 0x80 && c <= 0xBF; }

char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool isReservedDeviceName(const std::string& name) {
  std::string head = name.substr(0, name.find('.'));
  for (char& c : head) c = upperAscii(c);
  if (head == "CON" || head == "PRN" || head == "AUX" || head == "NUL") return true;
  return head.size() == 4 && (head.compare(0, 3, "COM") == 0 || head.compare(0, 3, "LPT") == 0) &&
         head[3] >= '1' && head[3] <= '9';
}

}  // namespace

std::filesystem::path pathForName(const std::filesystem::path& folder, std::string_view name,
                                  std::string_view extension, std::string_view fallback) {
  std::string clean(name);
  for (char& c : clean) {
    if (isUnsafeByte(static_cast<unsigned char>(c))) c = '-';
  }

  if (clean.size() > kMaxNameBytes) {
    std::size_t end = kMaxNameBytes;
    while (end > 0 && isContinuationByte(static_cast<unsigned char>(clean[end]))) --end;
    clean.resize(end);
  }

  const std::size_t first = clean.find_first_not_of(". ");
  if (first == std::string::npos) {
    clean.clear();
  } else {
    clean = clean.substr(first, clean.find_last_not_of(". ") - first + 1);
  }

  if (clean.empty()) clean = std::string(fallback);
  if (isReservedDeviceName(clean)) clean += '-';

  clean += extension;
  return folder / clean;
}

bool replaceFile(const std::filesystem::path& path, std::string_view text, std::string& error) {
  std::error_code ec;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);

  // <file name>.partial-<pid>-<n>: unique per process and call, so concurrent writers of one
  // target never share a temporary file.
  static std::atomic<unsigned long long> counter{0};
  const std::string base = path.native() + ".partial-" + std::to_string(::getpid()) + "-";
  const bool ok = plugkit::WriteThroughTemporary(path, text, [&] {
    return base + std::to_string(counter.fetch_add(1, std::memory_order_relaxed));
  });
  if (!ok) error = "could not write " + path.string();
  return ok;
}

bool deleteNamedFile(const std::filesystem::path& path, std::string& error) {
  std::error_code ec;
  const bool removed = std::filesystem::remove(path, ec);
  if (!ec && removed) return true;
  error = "could not delete " + path.filename().string();
  return false;
}

std::vector<std::filesystem::path> filesWithExtension(const std::filesystem::path& folder,
                                                      std::string_view extension) {
  std::vector<std::filesystem::path> result;
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) return result;
  std::filesystem::directory_iterator it(folder, ec);
  if (ec) return result;
  for (; it != std::filesystem::directory_iterator(); ++it) {
    std::error_code statusError;
    if (!it->is_regular_file(statusError)) continue;
    if (it->path().extension().native() == extension) result.push_back(it->path());
  }
  return result;
}

int openRegularFile(const std::filesystem::path& path, bool* notRegular) {
  if (notRegular != nullptr) *notRegular = false;
  int fd = -1;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  struct stat st {};
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  const int flags = regular ? ::fcntl(fd, F_GETFL) : -1;
  if (!regular || flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    if (notRegular != nullptr) *notRegular = !regular;
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace brightloom::files
