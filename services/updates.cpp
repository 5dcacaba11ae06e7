#include "services/updates.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <random>
#include <system_error>

#include "framework/Paths.h"
#include "framework/StringBuf.h"
#include "framework/FileWrite.h"
#include "services/files.h"
#include "services/json.h"

namespace brightloom::updates {

namespace {

constexpr std::size_t kMaxPageBytes = 100;

const char* nonEmptyEnv(const char* name) {
  const char* value = std::getenv(name);
  return (value != nullptr && value[0] != '\0') ? value : nullptr;
}

std::int64_t systemSeconds() {
  using namespace std::chrono;
  // Whole microseconds divided down, truncating toward zero.
  return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count() / 1000000;
}

// Only finite whole numbers that fit a signed 64-bit integer; anything else reads as 0, so a
// damaged record makes the check due instead of silencing it for good.
std::int64_t checkedAtFrom(const json::Value* value) {
  if (value == nullptr || value->kind != json::Value::kNumber) return 0;
  const double d = value->number;
  if (!std::isfinite(d) || d != std::trunc(d)) return 0;
  if (d < -9223372036854775808.0 || d >= 9223372036854775808.0) return 0;
  return static_cast<std::int64_t>(d);
}

bool isDue(std::int64_t checkedAt, std::int64_t t) {
  // Unsigned difference: no overflow for any pair of values.
  return checkedAt > t ||
         static_cast<std::uint64_t>(t) - static_cast<std::uint64_t>(checkedAt) >=
             static_cast<std::uint64_t>(kCheckIntervalSeconds);
}

bool isPagePath(std::string_view page) {
  if (page.empty() || page.size() > kMaxPageBytes || page[0] != '/') return false;
  if (page.size() > 1 && page[1] == '/') return false;
  return std::all_of(page.begin(), page.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '/' ||
           c == '#' || c == '_' || c == '-';
  });
}

bool isNewer(const ParsedVersion& a, const ParsedVersion& b) {
  if (a.major != b.major) return a.major > b.major;
  if (a.minor != b.minor) return a.minor > b.minor;
  return a.patch > b.patch;
}

std::uint32_t randomNumber() {
  try {
    std::random_device device;
    return static_cast<std::uint32_t>(device());
  } catch (...) {
    static std::atomic<std::uint32_t> fallback{static_cast<std::uint32_t>(::getpid()) * 2654435761u};
    return fallback.fetch_add(0x9E3779B9u) ^ static_cast<std::uint32_t>(systemSeconds());
  }
}

}  // namespace

std::filesystem::path makerDataFolder() {
  StringBuf root;
  plugkit::AppSupportPath(root, false);
  const std::filesystem::path base = root.Get();
  // Without an absolute root there is no place to keep the record: no folder, no checks.
  if (!base.is_absolute()) return {};
  return base / "Brightloom" / "Shared";
}

ParsedVersion parseVersion(std::string_view text) {
  ParsedVersion v;
  int* parts[3] = {&v.major, &v.minor, &v.patch};
  std::size_t pos = 0;
  for (int group = 0; group < 3; ++group) {
    if (group > 0) {
      if (pos >= text.size() || text[pos] != '.') return ParsedVersion{};
      ++pos;
    }
    int value = 0;
    std::size_t digits = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
      if (++digits > 4) return ParsedVersion{};
      value = value * 10 + (text[pos] - '0');
      ++pos;
    }
    if (digits == 0) return ParsedVersion{};
    *parts[group] = value;
  }
  if (pos != text.size()) return ParsedVersion{};
  v.valid = true;
  return v;
}

UpdateCheck::UpdateCheck(Config config) : config_(std::move(config)) {
  if (!config_.now) config_.now = systemSeconds;
  if (!config_.fetch) {
    // The default fetch gives up as soon as the schedule is stopped, so destroying an instance
    // never waits for the network.
    config_.fetch = [this](const std::string& address) {
      net::SendOptions options;
      options.cancel = &stopping_;
      return net::send(address, 8, options);
    };
  }
  if (!config_.mayUseNetwork) config_.mayUseNetwork = net::mayUseNetwork;
  if (const char* url = nonEmptyEnv("BRIGHTLOOM_UPDATES_URL")) config_.feedUrl = url;
  if (const char* dir = nonEmptyEnv("BRIGHTLOOM_DATA_DIR")) config_.folder = dir;
  reload();
}

UpdateCheck::~UpdateCheck() { stopSchedule(); }

std::filesystem::path UpdateCheck::offFile() const {
  return config_.folder.empty() ? std::filesystem::path() : config_.folder / std::string(kOffFileName);
}

std::filesystem::path UpdateCheck::recordFile() const {
  return config_.folder.empty() ? std::filesystem::path() : config_.folder / std::string(kRecordFileName);
}

bool UpdateCheck::offFileExists() const {
  const std::filesystem::path path = offFile();
  if (path.empty()) return false;
  // Any directory entry counts, a dangling link too; an unreadable status counts as absent.
  std::error_code ec;
  const auto status = std::filesystem::symlink_status(path, ec);
  return !ec && std::filesystem::exists(status);
}

std::optional<std::string> UpdateCheck::readFile(const std::filesystem::path& path) {
  if (path.empty()) return std::nullopt;
  // A FIFO at this name must not stall the caller: only a regular file is opened.
  const int fd = files::openRegularFile(path);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  std::optional<std::string> result;
  if (::fstat(fd, &st) == 0 && st.st_size <= static_cast<off_t>(kMaxRecordBytes)) {
    std::string text(kMaxRecordBytes + 1, '\0');
    std::size_t got = 0;
    bool ok = true;
    while (got < text.size()) {
      const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
      if (n < 0) {
        if (errno == EINTR) continue;
        ok = false;
        break;
      }
      if (n == 0) break;
      got += static_cast<std::size_t>(n);
    }
    if (ok && got <= kMaxRecordBytes) {
      text.resize(got);
      result = std::move(text);
    }
  }
  ::close(fd);
  return result;
}

bool UpdateCheck::writeFile(const std::filesystem::path& path, std::string_view text) {
  if (path.filename().empty()) return false;
  std::error_code ec;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
  return plugkit::WriteThroughTemporary(
      path, text, [&] { return path.native() + ".tmp-" + std::to_string(randomNumber()); });
}

std::string UpdateCheck::recordText(const Record& record) {
  return "{\"version\":1,\"checked_at\":" + std::to_string(record.checkedAt) +
         ",\"feed\":" + json::quote(record.feed) + "}\n";
}

UpdateCheck::Record UpdateCheck::readRecord() const {
  Record record;
  const std::optional<std::string> content = readFile(recordFile());
  if (!content) return record;
  const std::optional<json::Value> document = json::parse(*content);
  if (!document || document->kind != json::Value::kObject) return record;
  record.checkedAt = checkedAtFrom(document->member("checked_at"));
  const json::Value* feed = document->member("feed");
  if (feed != nullptr && feed->kind == json::Value::kString && feed->text.size() <= kMaxRecordBytes &&
      json::parse(feed->text)) {
    record.feed = feed->text;
  }
  return record;
}

bool UpdateCheck::writeRecord(const Record& record) const {
  const std::filesystem::path path = recordFile();
  return !path.empty() && writeFile(path, recordText(record));
}

std::optional<Notice> UpdateCheck::noticeFrom(const Record& record) const {
  if (record.feed.size() > kMaxRecordBytes) return std::nullopt;
  const std::optional<json::Value> feed = json::parse(record.feed);
  if (!feed || feed->kind != json::Value::kObject || feed->object.empty()) return std::nullopt;
  const json::Value* entry = feed->member(config_.product);
  if (entry == nullptr) return std::nullopt;
  const std::optional<std::string> version = entry->string("version");
  const std::optional<std::string> page = entry->string("page");
  if (!version || !page || !isPagePath(*page)) return std::nullopt;
  const ParsedVersion offered = parseVersion(*version);
  const ParsedVersion running = parseVersion(config_.version);
  if (!offered.valid || !running.valid || !isNewer(offered, running)) return std::nullopt;
  return Notice{*version, std::string(kSiteOrigin) + *page};
}

void UpdateCheck::checkIfDue() {
  if (offFileExists()) return;
  if (!config_.mayUseNetwork()) return;
  Record record = readRecord();
  const std::int64_t t = config_.now();
  if (!isDue(record.checkedAt, t)) return;

  // Take the turn first: other instances see the fresh time and skip. No folder to record in
  // means no request.
  record.checkedAt = t;
  if (!writeRecord(record)) return;

  const net::HttpResult result = config_.fetch(config_.feedUrl);
  if (result.status != 200 || result.body.size() > net::kMaxBodyBytes) return;
  const std::optional<json::Value> body = json::parse(result.body);
  if (!body || body->kind != json::Value::kObject) return;
  Record updated{t, result.body};
  // A feed whose quoted form would push the record past what readers accept is not stored:
  // the record keeps the earlier feed with the new time.
  if (recordText(updated).size() > kMaxRecordBytes) return;
  writeRecord(updated);
}

void UpdateCheck::reload() {
  const bool on = !offFileExists();
  std::optional<Notice> fresh;
  if (on) fresh = noticeFrom(readRecord());
  std::lock_guard<std::mutex> lock(mutex_);
  const bool changed = on != enabled_ || fresh.has_value() != notice_.has_value() ||
                       (fresh && notice_ && *fresh != *notice_);
  enabled_ = on;
  notice_ = std::move(fresh);
  if (changed) ++changes_;
}

void UpdateCheck::setEnabled(bool on) {
  const std::filesystem::path marker = offFile();
  if (!marker.empty()) {
    if (on) {
      std::error_code ec;
      std::filesystem::remove(marker, ec);
    } else {
      writeFile(marker, kOffFileText);
    }
  }
  reload();
}

UpdateCheck::Status UpdateCheck::status() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return Status{enabled_, notice_, changes_};
}

bool UpdateCheck::enabled() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return enabled_;
}

std::optional<Notice> UpdateCheck::notice() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return notice_;
}

std::uint32_t UpdateCheck::changes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return changes_;
}

void UpdateCheck::setStartJitterLimitForTesting(int milliseconds) {
  std::lock_guard<std::mutex> lock(scheduleMutex_);
  jitterLimitMs_ = std::max(0, milliseconds);
}

void UpdateCheck::startSchedule(int startDelayMs) {
  std::lock_guard<std::mutex> lock(scheduleMutex_);
  if (thread_.joinable() || stopping_.load()) return;
  try {
    thread_ = std::thread(&UpdateCheck::runSchedule, this, std::max(0, startDelayMs));
  } catch (const std::system_error&) {
    // No thread, no checks: the plug-in works on without them.
  }
}

void UpdateCheck::stopSchedule() {
  std::thread thread;
  {
    std::lock_guard<std::mutex> lock(scheduleMutex_);
    stopping_.store(true);
    thread = std::move(thread_);
  }
  wake_.notify_all();
  if (thread.joinable()) thread.join();
}

void UpdateCheck::runSchedule(int startDelayMs) {
  using namespace std::chrono;
  int jitterLimit;
  {
    std::lock_guard<std::mutex> lock(scheduleMutex_);
    jitterLimit = jitterLimitMs_;
  }
  std::mt19937 generator(randomNumber());
  const int jitter = std::uniform_int_distribution<int>(0, jitterLimit)(generator);
  const auto stopRequested = [this] { return stopping_.load(); };
  {
    std::unique_lock<std::mutex> lock(scheduleMutex_);
    if (wake_.wait_for(lock, milliseconds(std::int64_t{startDelayMs} + jitter), stopRequested)) return;
  }
  std::optional<steady_clock::time_point> lastCycleEnd;
  while (!stopping_.load()) {
    if (!lastCycleEnd || steady_clock::now() - *lastCycleEnd >= seconds(kCheckIntervalSeconds)) {
      try {
        checkIfDue();
        reload();
      } catch (...) {
        // An exception leaving this thread would end the host; the next cycle tries again.
      }
      lastCycleEnd = steady_clock::now();
    }
    std::unique_lock<std::mutex> lock(scheduleMutex_);
    if (wake_.wait_for(lock, milliseconds(5000), stopRequested)) return;
  }
}

}  // namespace brightloom::updates
