// The update check: version and page rules, the shared record and when a fetch is due, the
// opt-out marker, the environment overrides and the published state.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "services/json.h"
#include "services/updates.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using namespace brightloom::updates;
using brightloom::net::HttpResult;
using sp::test::readFile;
using sp::test::TempDir;
using sp::test::writeFile;

namespace {

constexpr std::int64_t kNow = 1000000;
constexpr const char* kFeed = R"({"spectrapoise":{"version":"0.5.0","page":"/spectrapoise#download"}})";
constexpr const char* kOldFeed = R"({"spectrapoise":{"version":"0.4.11","page":"/old"}})";

std::string record(const std::string& checkedAt, const std::string& feedLiteral = "\"\"") {
  return "{\"version\":1,\"checked_at\":" + checkedAt + ",\"feed\":" + feedLiteral + "}\n";
}

// Every test gets its own data folder through the environment, as the plug-in would.
class UpdateCheckTest : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("BRIGHTLOOM_DATA_DIR", dir_.path().c_str(), 1);
    setenv("BRIGHTLOOM_UPDATES_URL", "https://127.0.0.1:9/updates.json", 1);
  }

  const fs::path& folder() const { return dir_.path(); }
  fs::path recordPath() const { return dir_ / "updates.json"; }

  // An update check whose clock and fetch are scripted.
  std::unique_ptr<UpdateCheck> make(HttpResult answer = {200, kFeed}) {
    Config config;
    config.product = "spectrapoise";
    config.version = "0.4.10";
    config.folder = "/nonexistent/ignored";
    config.feedUrl = "https://unused.example/updates.json";
    config.now = [this] { return now_; };
    config.fetch = [this, answer](const std::string& address) {
      ++fetches_;
      fetchedAddress_ = address;
      recordDuringFetch_ = readFile(recordPath());
      return answer;
    };
    return std::make_unique<UpdateCheck>(std::move(config));
  }

  TempDir dir_;
  std::int64_t now_ = kNow;
  int fetches_ = 0;
  std::string fetchedAddress_;
  std::string recordDuringFetch_;
};

}  // namespace

// ---- versions and notices ----

TEST(UpdateVersion, ThreeGroupsOfOneToFourDigits) {
  struct Case {
    std::string text;
    bool valid;
    int major, minor, patch;
  };
  const std::vector<Case> cases = {
      {"0.4.10", true, 0, 4, 10},  {"12.0.1234", true, 12, 0, 1234}, {"0001.02.9999", true, 1, 2, 9999},
      {"1.2", false, 0, 0, 0},     {"1.2.3.4", false, 0, 0, 0},      {"v0.5.0", false, 0, 0, 0},
      {"0.5.0-beta", false, 0, 0, 0}, {"12345.0.0", false, 0, 0, 0}, {" 1.2.3", false, 0, 0, 0},
      {"1.2.3 ", false, 0, 0, 0},  {"1..3", false, 0, 0, 0},         {"", false, 0, 0, 0},
      {"1.2.-3", false, 0, 0, 0},  {"1.2.3.", false, 0, 0, 0},
  };
  for (const auto& c : cases) {
    const ParsedVersion v = parseVersion(c.text);
    EXPECT_EQ(v.valid, c.valid) << c.text;
    if (c.valid) {
      EXPECT_EQ(v.major, c.major);
      EXPECT_EQ(v.minor, c.minor);
      EXPECT_EQ(v.patch, c.patch);
    }
  }
}

TEST_F(UpdateCheckTest, NoticeOnlyForANewerVersionWithASafePage) {
  auto check = make();
  auto feedWith = [](const std::string& version, const std::string& page) {
    return "{\"spectrapoise\":{\"version\":" + brightloom::json::quote(version) +
           ",\"page\":" + brightloom::json::quote(page) + "}}";
  };
  struct Case {
    std::string feed;
    bool notice;
  };
  const std::string page = "/spectrapoise#download";
  const std::vector<Case> cases = {
      {feedWith("0.4.10", page), false},
      {feedWith("0.4.9", page), false},
      {feedWith("0.4.11", page), true},
      {feedWith("0.5.0", page), true},
      {feedWith("1.0.0", page), true},
      {feedWith("0.10.0", page), true},
      {feedWith("v0.5.0", page), false},
      {feedWith("0.5.0-beta", page), false},
      {feedWith("12345.0.0", page), false},
      {feedWith("0.5.0", ""), false},
      {feedWith("0.5.0", "spectrapoise"), false},
      {feedWith("0.5.0", "//evil.example"), false},
      {feedWith("0.5.0", "/a b"), false},
      {feedWith("0.5.0", "/a?b"), false},
      {feedWith("0.5.0", "/a.html"), false},
      {feedWith("0.5.0", "/" + std::string(100, 'a')), false},
      {feedWith("0.5.0", "/" + std::string(99, 'a')), true},
      {feedWith("0.5.0", "/A-z_0/9#x"), true},
      {R"({"spectrapoise":{"version":"0.5.0"}})", false},
      {R"({"spectrapoise":{"version":5,"page":"/p"}})", false},
      {R"({"spectrapoise":"0.5.0"})", false},
      {R"({"other":{"version":"0.5.0","page":"/p"}})", false},
      {R"({"spectrapoise":1,"spectrapoise":{"version":"0.5.0","page":"/p"}})", false},
      {R"({})", false},
      {R"([{"spectrapoise":{"version":"0.5.0","page":"/p"}}])", false},
      {"{", false},
      {"", false},
  };
  for (const auto& c : cases) {
    const auto notice = check->noticeFrom(UpdateCheck::Record{kNow, c.feed});
    EXPECT_EQ(notice.has_value(), c.notice) << c.feed;
  }
  const auto notice = check->noticeFrom(UpdateCheck::Record{kNow, kFeed});
  ASSERT_TRUE(notice);
  EXPECT_EQ(notice->version, "0.5.0");
  EXPECT_EQ(notice->url, "https://www.brightloom.example/spectrapoise#download");

  Config older{"spectrapoise", "0.9.9", folder(), "", {}, {}, {}};
  EXPECT_TRUE(UpdateCheck(older).noticeFrom(UpdateCheck::Record{kNow, feedWith("0.10.0", "/p")}));
  Config badRunning{"spectrapoise", "dev", folder(), "", {}, {}, {}};
  EXPECT_FALSE(UpdateCheck(badRunning).noticeFrom(UpdateCheck::Record{kNow, kFeed}));
}

// ---- the record ----

TEST_F(UpdateCheckTest, RecordIsOneExactLine) {
  EXPECT_EQ(UpdateCheck::recordText({1700000000, ""}), R"({"version":1,"checked_at":1700000000,"feed":""})" "\n");
  EXPECT_EQ(UpdateCheck::recordText({1700000000, ""}).size(), 48u);
  EXPECT_EQ(UpdateCheck::recordText({-5, "{\"a\":\"\t\"}"}),
            "{\"version\":1,\"checked_at\":-5,\"feed\":\"{\\\"a\\\":\\\"\\t\\\"}\"}\n");

  auto check = make();
  ASSERT_TRUE(check->writeRecord({kNow, kFeed}));
  EXPECT_EQ(readFile(recordPath()), UpdateCheck::recordText({kNow, kFeed}));
  const auto back = check->readRecord();
  EXPECT_EQ(back.checkedAt, kNow);
  EXPECT_EQ(back.feed, kFeed);
  // Only the record itself is left in the folder.
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder())) names.push_back(e.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"updates.json"});
}

TEST_F(UpdateCheckTest, DamagedRecordsReadAsNothing) {
  auto check = make();
  struct Case {
    std::string text;
    std::int64_t checkedAt;
    std::string feed;
  };
  const std::vector<Case> cases = {
      {"", 0, ""},
      {"not json", 0, ""},
      {"[1]", 0, ""},
      {record("1.5"), 0, ""},
      {record("\"5\""), 0, ""},
      {record("1e300"), 0, ""},
      {record("1e400"), 0, ""},
      {record("-1e400"), 0, ""},
      {record("9223372036854775807"), 0, ""},  // 2^63 as a double: out of range
      {record("-9223372036854775808"), INT64_MIN, ""},
      {record("-0"), 0, ""},
      {record("42", "\"{\""), 42, ""},        // feed that is no JSON
      {record("42", "17"), 42, ""},           // feed that is no string
      {record("42", "\"[]\""), 42, "[]"},     // any JSON value counts
      {"{\"checked_at\":7,\"checked_at\":8}", 7, ""},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(writeFile(recordPath(), c.text));
    const auto r = check->readRecord();
    EXPECT_EQ(r.checkedAt, c.checkedAt) << c.text;
    EXPECT_EQ(r.feed, c.feed) << c.text;
  }
  // Larger than 65,536 bytes: ignored whole.
  ASSERT_TRUE(writeFile(recordPath(), record("42") + std::string(65536, ' ')));
  EXPECT_EQ(check->readRecord().checkedAt, 0);
  // A FIFO at the record's name is not opened for a blocking read.
  fs::remove(recordPath());
  ASSERT_EQ(::mkfifo(recordPath().c_str(), 0600), 0);
  EXPECT_EQ(check->readRecord().checkedAt, 0);
  auto another = make();  // the constructor reads it too
  EXPECT_FALSE(another->notice());
}

// ---- when a fetch is due ----

TEST_F(UpdateCheckTest, DueTable) {
  struct Case {
    std::string recordText;  // empty: no record
    bool fetch;
  };
  const std::vector<Case> cases = {
      {"", true},
      {record(std::to_string(kNow - 600)), true},
      {record(std::to_string(kNow - 599)), false},
      {record(std::to_string(kNow - 100)), false},
      {record(std::to_string(kNow)), false},
      {record(std::to_string(kNow + 50)), true},  // the clock went back
      {record("1.5"), true},
      {record("\"x\""), true},
      {"{broken", true},
      {record("1e300"), true},
      {record("-9223372036854775808"), true},
  };
  for (const auto& c : cases) {
    fs::remove(recordPath());
    if (!c.recordText.empty()) {
      ASSERT_TRUE(writeFile(recordPath(), c.recordText));
    }
    fetches_ = 0;
    recordDuringFetch_.clear();
    auto check = make();
    check->checkIfDue();
    EXPECT_EQ(fetches_, c.fetch ? 1 : 0) << c.recordText;
    if (c.fetch) {
      // The turn was taken before the request.
      EXPECT_EQ(recordDuringFetch_, UpdateCheck::recordText({kNow, ""})) << c.recordText;
      EXPECT_EQ(readFile(recordPath()), UpdateCheck::recordText({kNow, kFeed})) << c.recordText;
    }
  }
}

TEST_F(UpdateCheckTest, FailedOrUnusableAnswersKeepTheOldFeedWithTheNewTime) {
  const std::vector<HttpResult> answers = {
      {200, "[]"}, {200, ""}, {200, "{"}, {200, "\"text\""}, {404, kFeed}, {0, ""}, {500, "{}"},
      {200, "{" + std::string(40000, '\n') + "}"},  // its record would pass 65,536 bytes
  };
  for (const auto& answer : answers) {
    ASSERT_TRUE(writeFile(recordPath(), UpdateCheck::recordText({kNow - 1000, kOldFeed})));
    auto check = make(answer);
    check->checkIfDue();
    EXPECT_EQ(readFile(recordPath()), UpdateCheck::recordText({kNow, kOldFeed})) << answer.body.substr(0, 20);
    EXPECT_EQ(check->readRecord().feed, kOldFeed);
  }
  // A usable answer replaces it, even one without this product.
  ASSERT_TRUE(writeFile(recordPath(), UpdateCheck::recordText({kNow - 1000, kOldFeed})));
  auto check = make({200, "{}"});
  check->checkIfDue();
  EXPECT_EQ(check->readRecord().feed, "{}");
}

TEST_F(UpdateCheckTest, FeedIsStoredOnlyWhileTheRecordStaysReadable) {
  // Spaces need no escaping: the record is the empty-feed envelope plus the feed's bytes.
  const std::size_t room = kMaxRecordBytes - UpdateCheck::recordText({kNow, ""}).size();
  const std::string fits = "{" + std::string(room - 2, ' ') + "}";
  const std::string tooBig = "{" + std::string(room - 1, ' ') + "}";
  ASSERT_EQ(UpdateCheck::recordText({kNow, fits}).size(), kMaxRecordBytes);

  auto check = make({200, fits});
  check->checkIfDue();
  EXPECT_EQ(check->readRecord().feed, fits);

  now_ += 600;
  ASSERT_TRUE(writeFile(recordPath(), UpdateCheck::recordText({kNow, kOldFeed})));
  auto second = make({200, tooBig});
  second->checkIfDue();
  EXPECT_EQ(second->readRecord().checkedAt, now_);
  EXPECT_EQ(second->readRecord().feed, kOldFeed);
}

TEST_F(UpdateCheckTest, NoFolderMarkerOrNetworkMeansNoRequest) {
  {
    ASSERT_TRUE(writeFile(dir_ / "file", "x"));
    setenv("BRIGHTLOOM_DATA_DIR", (dir_ / "file" / "sub").c_str(), 1);
    auto check = make();
    check->checkIfDue();
    EXPECT_EQ(fetches_, 0);
    setenv("BRIGHTLOOM_DATA_DIR", folder().c_str(), 1);
  }
  {
    ASSERT_TRUE(writeFile(dir_ / "updates-off", ""));
    auto check = make();
    check->checkIfDue();
    EXPECT_EQ(fetches_, 0);
    EXPECT_FALSE(check->enabled());
    fs::remove(dir_ / "updates-off");
    fs::create_directory(dir_ / "updates-off");  // any kind of file counts
    check->checkIfDue();
    EXPECT_EQ(fetches_, 0);
    fs::remove(dir_ / "updates-off");
    fs::create_symlink(dir_ / "nowhere", dir_ / "updates-off");
    check->checkIfDue();
    EXPECT_EQ(fetches_, 0);
    check->setEnabled(true);  // removes the link itself
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir_ / "updates-off")));
    EXPECT_TRUE(check->enabled());
    fs::remove(recordPath());
  }
  {
    Config config{"spectrapoise", "0.4.10", folder(), "", [] { return kNow; },
                  [this](const std::string&) { ++fetches_; return HttpResult{200, kFeed}; },
                  [] { return false; }};
    UpdateCheck check(std::move(config));
    check.checkIfDue();
    EXPECT_EQ(fetches_, 0);
    EXPECT_FALSE(fs::exists(recordPath()));
  }
}

TEST_F(UpdateCheckTest, TwoInstancesSharingAFolderFetchOnce) {
  auto first = make();
  auto second = make();
  first->checkIfDue();
  now_ += 5;
  second->checkIfDue();
  EXPECT_EQ(fetches_, 1);
  now_ += 600;
  second->checkIfDue();
  EXPECT_EQ(fetches_, 2);
}

// ---- environment ----

TEST_F(UpdateCheckTest, EnvironmentOverridesOnlyWhenSetAndNotEmpty) {
  auto check = make();
  EXPECT_EQ(check->config().folder, folder());
  check->checkIfDue();
  EXPECT_EQ(fetchedAddress_, "https://127.0.0.1:9/updates.json");

  setenv("BRIGHTLOOM_UPDATES_URL", "", 1);
  setenv("BRIGHTLOOM_DATA_DIR", "", 1);
  auto plain = make();
  EXPECT_EQ(plain->config().feedUrl, "https://unused.example/updates.json");
  EXPECT_EQ(plain->config().folder, fs::path("/nonexistent/ignored"));
  unsetenv("BRIGHTLOOM_UPDATES_URL");
  unsetenv("BRIGHTLOOM_DATA_DIR");
  auto unset = make();
  EXPECT_EQ(unset->config().feedUrl, "https://unused.example/updates.json");

  const fs::path expected = fs::path(std::getenv("XDG_DATA_HOME")) / "Brightloom" / "Shared";
  EXPECT_EQ(makerDataFolder(), expected);
  EXPECT_EQ(kFeedUrl, "https://www.brightloom.example/updates.json");
}

// ---- enabling, disabling and the published state ----

TEST_F(UpdateCheckTest, StoredNoticeShowsAtConstructionWithoutNetwork) {
  ASSERT_TRUE(writeFile(recordPath(), UpdateCheck::recordText({kNow, kFeed})));
  auto check = make();
  const auto status = check->status();
  EXPECT_TRUE(status.enabled);
  ASSERT_TRUE(status.notice);
  EXPECT_EQ(status.notice->version, "0.5.0");
  EXPECT_EQ(status.changes, 1u);
  EXPECT_EQ(fetches_, 0);
}

TEST_F(UpdateCheckTest, SwitchingOffAndOnFollowsTheMarker) {
  ASSERT_TRUE(writeFile(recordPath(), UpdateCheck::recordText({kNow, kFeed})));
  auto check = make();
  const std::uint32_t before = check->changes();

  check->setEnabled(false);
  EXPECT_EQ(readFile(dir_ / "updates-off"),
            "The Brightloom plug-ins do not check for updates while this file is here.\n");
  EXPECT_EQ(readFile(dir_ / "updates-off").size(), 74u);
  EXPECT_FALSE(check->enabled());
  EXPECT_FALSE(check->notice());
  EXPECT_EQ(check->changes(), before + 1);

  check->setEnabled(false);  // nothing changes
  EXPECT_EQ(check->changes(), before + 1);

  check->setEnabled(true);
  EXPECT_FALSE(fs::exists(dir_ / "updates-off"));
  EXPECT_TRUE(check->enabled());
  ASSERT_TRUE(check->notice());
  EXPECT_EQ(check->notice()->version, "0.5.0");
  EXPECT_EQ(check->changes(), before + 2);
  EXPECT_EQ(fetches_, 0);

  // A new feed version counts as a change; the same one does not.
  check->reload();
  EXPECT_EQ(check->changes(), before + 2);
  ASSERT_TRUE(writeFile(recordPath(), UpdateCheck::recordText({kNow, R"({"spectrapoise":{"version":"0.6.0","page":"/p"}})"})));
  check->reload();
  EXPECT_EQ(check->changes(), before + 3);
  EXPECT_EQ(check->notice()->url, "https://www.brightloom.example/p");
}
