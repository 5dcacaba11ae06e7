#pragma once
// The update check: a background schedule that fetches the maker's update feed when the record
// shared by every instance and process on the machine says at least 600 s have passed since the
// last attempt by any of them, keeps the last good feed in that record, and derives the notice
// the panel shows. The user can switch it off with a marker file in the same folder.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "services/net.h"

namespace brightloom::updates {

// The maker's web site and feed. Reserved names: a build that is not configured otherwise
// (BRIGHTLOOM_UPDATES_URL) never reaches a real host.
inline constexpr std::string_view kSiteOrigin = "https://www.brightloom.example";
inline constexpr std::string_view kFeedUrl = "https://www.brightloom.example/updates.json";
// Seconds between two fetches, machine-wide.
inline constexpr std::int64_t kCheckIntervalSeconds = 600;
// The start delay the plug-in passes to startSchedule.
inline constexpr int kStartDelayMs = 10000;

// The maker's data folder: the user's application-support folder / "Brightloom" / "Shared".
std::filesystem::path makerDataFolder();

struct Config {
  std::string product;  // key of the product's entry in the feed, e.g. "spectrapoise"
  std::string version;  // running version, e.g. "1.2.3"
  std::filesystem::path folder;
  std::string feedUrl;
  std::function<std::int64_t()> now;                               // Unix seconds
  std::function<net::HttpResult(const std::string& address)> fetch;
  std::function<bool()> mayUseNetwork;
};

struct Notice {
  std::string version;
  std::string url;
  bool operator==(const Notice&) const = default;
};

struct ParsedVersion {
  int major = 0;
  int minor = 0;
  int patch = 0;
  bool valid = false;
};
// Valid only for exactly three dot-separated groups of one to four ASCII digits.
ParsedVersion parseVersion(std::string_view text);

inline constexpr std::string_view kRecordFileName = "updates.json";
inline constexpr std::string_view kOffFileName = "updates-off";
inline constexpr std::string_view kOffFileText =
    "The Brightloom plug-ins do not check for updates while this file is here.\n";
// Neither the record nor a feed in it may be larger.
inline constexpr std::size_t kMaxRecordBytes = 65536;

class UpdateCheck {
public:
  struct Record {
    std::int64_t checkedAt = 0;
    std::string feed;
  };

  // What the panel reads, all taken under one lock.
  struct Status {
    bool enabled = true;
    std::optional<Notice> notice;
    std::uint32_t changes = 0;
  };

  // Fills empty hooks with the defaults, applies BRIGHTLOOM_UPDATES_URL and BRIGHTLOOM_DATA_DIR
  // (each when set and not empty), then reloads, so an earlier record's notice shows at once.
  explicit UpdateCheck(Config config);
  // Stops the schedule first.
  ~UpdateCheck();
  UpdateCheck(const UpdateCheck&) = delete;
  UpdateCheck& operator=(const UpdateCheck&) = delete;

  // Rereads the marker and the record and publishes enabled, notice and changes.
  void reload();
  // Fetches the feed when due and stores it in the record.
  void checkIfDue();
  // Removes (on) or writes (off) the marker, then reloads.
  void setEnabled(bool on);

  // Starts the schedule thread: waits startDelayMs plus 0..6000 ms of random jitter, runs one
  // cycle (checkIfDue, reload), then a cycle at least every 600 s of monotonic time. A second
  // call, or a call after stopSchedule, is ignored.
  void startSchedule(int startDelayMs);
  // Stops and joins the schedule thread. Wakes its waits at once and abandons the default fetch
  // within about 50 ms; an injected fetch hook is waited for.
  void stopSchedule();

  Status status() const;
  bool enabled() const;
  std::optional<Notice> notice() const;
  std::uint32_t changes() const;

  const Config& config() const { return config_; }
  std::filesystem::path offFile() const;
  std::filesystem::path recordFile() const;
  Record readRecord() const;
  bool writeRecord(const Record& record) const;
  std::optional<Notice> noticeFrom(const Record& record) const;

  // Whole files of at most kMaxRecordBytes from regular files only; nothing otherwise.
  static std::optional<std::string> readFile(const std::filesystem::path& path);
  // Writes through a temporary "<name>.tmp-<random>" beside the target and a rename.
  static bool writeFile(const std::filesystem::path& path, std::string_view text);
  // The record's text: one line of JSON ended by LF.
  static std::string recordText(const Record& record);

  // Test seam: the upper bound of the schedule's random start jitter (6000 ms by default).
  void setStartJitterLimitForTesting(int milliseconds);

private:
  void runSchedule(int startDelayMs);
  bool offFileExists() const;

  Config config_;

  mutable std::mutex mutex_;  // guards enabled_, notice_, changes_
  bool enabled_ = true;
  std::optional<Notice> notice_;
  std::uint32_t changes_ = 0;

  std::mutex scheduleMutex_;  // guards thread_ and the waits
  std::condition_variable wake_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
  int jitterLimitMs_ = 6000;
};

}  // namespace brightloom::updates
