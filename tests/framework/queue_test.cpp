// The single-producer, single-consumer queue between the audio and main threads, and
// the editor-to-processor queues behind it.
#include <gtest/gtest.h>

#include <thread>

#include "framework/IPluginQueue.h"

namespace {

using plugkit::IPluginQueue;

TEST(PluginQueue, FullDropsEmptyLeavesTheOutput) {
  IPluginQueue<int> queue(4);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(queue.Push(i));
  EXPECT_FALSE(queue.Push(99));
  EXPECT_EQ(queue.ElementsAvailable(), 4u);
  int out = -1;
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(queue.Pop(out));
    EXPECT_EQ(out, i);  // the dropped entry never overwrote one
  }
  out = 123;
  EXPECT_FALSE(queue.Pop(out));
  EXPECT_EQ(out, 123);
  // Wraps around the ring.
  for (int round = 0; round < 10; ++round) {
    EXPECT_TRUE(queue.Push(round));
    ASSERT_TRUE(queue.Pop(out));
    EXPECT_EQ(out, round);
  }
}

// One producer, one consumer, every entry arrives once and in order (run under TSan).
TEST(PluginQueue, TwoThreadsInOrder) {
  struct Entry {
    int index;
    double value[4];
  };
  IPluginQueue<Entry> queue(16);
  constexpr int kCount = 20000;
  std::thread producer([&] {
    for (int i = 0; i < kCount;) {
      Entry e{i, {double(i), double(i) + 1, double(i) + 2, double(i) + 3}};
      if (queue.Push(e))
        ++i;
      else
        std::this_thread::yield();
    }
  });
  int expected = 0;
  bool torn = false;
  while (expected < kCount) {
    Entry e{};
    if (!queue.Pop(e)) {
      std::this_thread::yield();
      continue;
    }
    if (e.index != expected || e.value[3] != double(expected) + 3) torn = true;
    ++expected;
  }
  producer.join();
  EXPECT_FALSE(torn);
  EXPECT_EQ(queue.ElementsAvailable(), 0u);
}

}  // namespace
