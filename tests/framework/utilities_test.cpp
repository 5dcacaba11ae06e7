// Growable buffer, text, pointer list and mutex utilities.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "framework/HeapBuf.h"
#include "framework/Mutex.h"
#include "framework/PtrList.h"
#include "framework/StringBuf.h"

namespace {

struct ResizeCase {
  const char* name;
  int granularity;
  int startSize;
  int newSize;
  bool resizedown;
  int expectedSize;
  int expectedAllocation;  // -1: unchanged from before the call
};

TEST(HeapBuf, ResizeTable) {
  const ResizeCase cases[] = {
      {"page granularity grows to whole pages less the header", 4096, 0, 5000, true, 5000, 8096},
      {"string granularity adds its slack", 128, 0, 10, true, 10, 138},
      {"same size changes nothing", 4096, 5000, 5000, true, 5000, -1},
      {"shrink above threshold keeps the block", 4096, 5000, 4000, true, 4000, -1},
      {"shrink without resizedown keeps the block", 4096, 5000, 10, false, 10, -1},
      {"too large is refused", 4096, 100, INT_MAX - 10, true, 100, -1},
      {"too large is refused (small granularity)", 128, 100, INT_MAX - 10, true, 100, -1},
      {"negative counts as zero", 4096, 100, -5, true, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HeapBuf hb(c.granularity);
    hb.Resize(c.startSize);
    const int before = hb.GetAllocated();
    const void* data = hb.Get();
    hb.Resize(c.newSize, c.resizedown);
    EXPECT_EQ(hb.GetSize(), c.expectedSize);
    if (c.expectedAllocation < 0) {
      EXPECT_EQ(hb.GetAllocated(), before);
      EXPECT_EQ(hb.Get(), data);
    } else {
      EXPECT_EQ(hb.GetAllocated(), c.expectedAllocation);
    }
  }
}

TEST(HeapBuf, ShrinkBelowThresholdReallocates) {
  HeapBuf hb(128);
  hb.Resize(100000);
  const int big = hb.GetAllocated();
  hb.Resize(10, true);  // threshold = max(1, min(alloc - 512, alloc / 2))
  EXPECT_EQ(hb.GetSize(), 10);
  EXPECT_LT(hb.GetAllocated(), big);
  EXPECT_EQ(hb.GetAllocated(), 10 + 128);
}

TEST(HeapBuf, KeepsContentWhenGrowing) {
  HeapBuf hb(4096);
  hb.Resize(16);
  for (int i = 0; i < 16; ++i) static_cast<unsigned char*>(hb.Get())[i] = static_cast<unsigned char>(i);
  hb.Resize(1 << 20);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(static_cast<unsigned char*>(hb.Get())[i], i);
}

// Copying a buffer whose allocation fails reports std::bad_alloc; an assigned-to buffer
// keeps its size and bytes. The allocation is made to fail by an address-space limit in
// a child process.
TEST(HeapBuf, FailedCopyIsReportedAndLeavesTheTargetAsItWas) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "an address-space limit does not combine with a sanitizer's shadow memory";
#else
  enum Outcome { kReported = 0, kAssignmentSilent = 1, kTargetChanged = 2, kConstructionSilent = 4, kNoLimit = 8 };
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    HeapBuf source(4096);
    if (!source.CopyFrom(nullptr, 64 << 20)) _exit(kNoLimit);
    HeapBuf target(128);
    target.CopyFrom("kept", 4);
    long pages = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
      if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
      std::fclose(statm);
    }
    const rlim_t limit = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (16 << 20);
    const rlimit address{limit, limit};
    if (pages <= 0 || setrlimit(RLIMIT_AS, &address) != 0) _exit(kNoLimit);
    int outcome = kReported;
    try {
      target = source;
      outcome |= kAssignmentSilent;
    } catch (const std::bad_alloc&) {
    }
    if (target.GetSize() != 4 || std::memcmp(target.Get(), "kept", 4) != 0) outcome |= kTargetChanged;
    try {
      HeapBuf copy(source);
      outcome |= kConstructionSilent;
    } catch (const std::bad_alloc&) {
    }
    _exit(outcome);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), kReported);
#endif
}

TEST(StringBuf, FormattedTextIsCutToMaxlen) {
  StringBuf s;
  const std::string forty(40, 'x');
  s.SetFormatted(32, "%s", forty.c_str());
  EXPECT_EQ(s.GetLength(), 32);
  EXPECT_EQ(std::string(s.Get()), std::string(32, 'x'));
  s.AppendFormatted(4, "%d", 123456);
  EXPECT_EQ(std::string(s.Get()), std::string(32, 'x') + "1234");
}

TEST(StringBuf, AppendWithoutBufferStartsAtZero) {
  StringBuf s;
  EXPECT_STREQ(s.Get(), "");
  s.AppendFormatted(10, "%.1f", 2.5);
  EXPECT_STREQ(s.Get(), "2.5");
  StringBuf t;
  t.Append("abc");
  EXPECT_STREQ(t.Get(), "abc");
}

TEST(StringBuf, SetFromOwnSuffixWhileGrowing) {
  StringBuf s;
  s.Set("0123456789");
  s.Set(s.Get() + 4);
  EXPECT_STREQ(s.Get(), "456789");
  StringBuf big;
  big.Set(std::string(120, 'a').c_str());
  big.Append(big.Get() + 60);  // grows past the first allocation
  EXPECT_EQ(std::string(big.Get()), std::string(180, 'a'));
}

TEST(StringBuf, SetInsertDelete) {
  StringBuf s;
  s.Set("hello world", 5);
  EXPECT_STREQ(s.Get(), "hello");
  s.Insert(", big", 5);
  EXPECT_STREQ(s.Get(), "hello, big");
  s.DeleteSub(0, 7);
  EXPECT_STREQ(s.Get(), "big");
  s.Set("");
  EXPECT_STREQ(s.Get(), "");
  s.Set("abc");
  s.SetLen(1);
  EXPECT_STREQ(s.Get(), "a");
}

TEST(StringBuf, FormattingIgnoresTheProcessLocale) {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous ? previous : "C";
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "de_DE.UTF-8 not installed";
  StringBuf s;
  s.SetFormatted(32, "%.1f", 2.5);
  char* end = nullptr;
  const double parsed = ParseDoubleCLocale("1.5", &end);
  std::setlocale(LC_NUMERIC, saved.c_str());
  EXPECT_STREQ(s.Get(), "2.5");
  EXPECT_DOUBLE_EQ(parsed, 1.5);
}

struct Tracked;
std::vector<int>* gOrder = nullptr;
PtrList<Tracked>* gList = nullptr;

struct Tracked {
  int id;
  explicit Tracked(int i) : id(i) {}
  ~Tracked() {
    gOrder->push_back(id);
    EXPECT_EQ(gList->Find(this), -1) << "item " << id << " still listed while it is destroyed";
  }
};

TEST(PtrList, EmptyDeletesLastToFirstAndUnlistsFirst) {
  std::vector<int> order;
  PtrList<Tracked> list;
  gOrder = &order;
  gList = &list;
  for (int i = 0; i < 5; ++i) list.Add(new Tracked(i));
  list.Empty(true);
  EXPECT_EQ(list.GetSize(), 0);
  EXPECT_EQ(order, (std::vector<int>{4, 3, 2, 1, 0}));
}

void countingDelete(void* p) {
  ++*static_cast<int*>(p);
}

TEST(PtrList, InsertFindDeleteWithFunction) {
  int a = 0, b = 0, c = 0;
  PtrList<int> list;
  list.Add(&a);
  list.Add(&c);
  list.Insert(1, &b);
  EXPECT_EQ(list.Find(&b), 1);
  EXPECT_EQ(list.Get(2), &c);
  EXPECT_EQ(list.Get(3), nullptr);
  EXPECT_EQ(list.Get(-1), nullptr);
  list.Delete(0, true, countingDelete);
  EXPECT_EQ(a, 1);
  list.Empty(true, countingDelete);
  EXPECT_EQ(b, 1);
  EXPECT_EQ(c, 1);
  list.Empty(false);
}

TEST(Mutex, ScopedLockIsRecursive) {
  Mutex m;
  {
    MutexLock outer(&m);
    MutexLock inner(&m);
  }
  MutexLock none(nullptr);
  SUCCEED();
}

}  // namespace
