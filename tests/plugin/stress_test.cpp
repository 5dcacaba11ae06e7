// The threads of one instance together: the audio thread with random blocks and host
// changes, the correction worker (short sleeps), and the main thread's idle and panel work.
// Run under ThreadSanitizer; the ring test checks the frames themselves.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include "tests/support/plugin/plugin_harness.h"

namespace {

using namespace sp::test;
using namespace spectrapoise::plugin;
using Clock = std::chrono::steady_clock;

constexpr double kStressSeconds = 3.0;

SpectraPoise::Options fastWorker() {
  SpectraPoise::Options o;
  o.busySleepMs = 1;
  o.idleSleepMs = 1;
  return o;
}

// Lets the main thread call OnReset only while the audio thread waits, as hosts do.
class Parking {
public:
  // Audio thread, between blocks.
  void checkpoint() {
    if (!wanted_.load(std::memory_order_acquire)) return;
    parked_.store(true, std::memory_order_release);
    while (wanted_.load(std::memory_order_acquire)) std::this_thread::yield();
    parked_.store(false, std::memory_order_release);
  }
  // Main thread: runs work with the audio thread parked.
  template <class Work>
  void whileParked(const std::atomic<bool>& audioRunning, Work&& work) {
    wanted_.store(true, std::memory_order_release);
    while (!parked_.load(std::memory_order_acquire) && audioRunning.load()) std::this_thread::yield();
    work();
    wanted_.store(false, std::memory_order_release);
    while (parked_.load(std::memory_order_acquire)) std::this_thread::yield();
  }

private:
  std::atomic<bool> wanted_{false};
  std::atomic<bool> parked_{false};
};

TEST(Stress, AudioWorkerAndMainThreadTogether) {
  SpectraPoise* plug = new SpectraPoise(plugkit::InstanceInfo{}, fastWorker());
  connect(*plug, 2, 2);
  const Stereo noise = pinkNoise(1 << 16, 0.2, 61);
  std::atomic<bool> stop{false};
  std::atomic<bool> audioRunning{true};
  Parking parking;

  std::thread audio([&] {
    std::mt19937 rng(7);
    std::vector<double> l(4096), r(4096);
    std::size_t pos = 0;
    while (!stop.load()) {
      parking.checkpoint();
      const int n = std::uniform_int_distribution<int>(1, 4096)(rng);
      for (int i = 0; i < n; ++i, ++pos) {
        l[static_cast<std::size_t>(i)] = noise.left[pos % noise.size()];
        r[static_cast<std::size_t>(i)] = noise.right[pos % noise.size()];
      }
      const int change = std::uniform_int_distribution<int>(0, 15)(rng);
      if (change == 0) hostSet(*plug, kCorrect, plug->paramOn(kCorrect) ? 0.0 : 1.0);
      if (change == 1) hostSet(*plug, kFreeze, plug->paramOn(kFreeze) ? 0.0 : 1.0);
      if (change == 2) hostSet(*plug, kBypass, plug->paramOn(kBypass) ? 0.0 : 1.0);
      if (change == 3) hostSet(*plug, kFrozenLoMid, std::uniform_real_distribution<double>(-6, 6)(rng));
      if (change == 4) plug->SetRenderingOffline(!plug->GetRenderingOffline());
      if (change == 5) hostSet(*plug, kMidCrossover, std::uniform_real_distribution<double>(400, 6000)(rng));
      double* io[2] = {l.data(), r.data()};
      plug->ProcessBlock(io, io, n);
    }
    audioRunning.store(false);
  });

  std::mt19937 rng(11);
  const auto end = Clock::now() + std::chrono::duration<double>(kStressSeconds);
  int tick = 0;
  while (Clock::now() < end) {
    plug->OnIdle();  // freeze capture; panel analysis while the editor is open
    switch (std::uniform_int_distribution<int>(0, 9)(rng)) {
      case 0: plug->OnUIOpen(); break;
      case 1: plug->OnUIClose(); break;
      case 2: plug->analyseForPanel(); break;
      case 3: {
        SpectraPoise::Target t;
        t.kind = TargetKind::Learned;
        t.name = "Learned " + std::to_string(tick);
        t.curve[static_cast<std::size_t>(tick % 180)] = 3.0;
        plug->setTarget(t);
        break;
      }
      case 4: plug->setFromPanel(kCorrectTilt, std::uniform_real_distribution<double>(0, 100)(rng)); break;
      case 5: plug->requestMeterReset(); break;
      case 6: plug->setFromPanel(kFreeze, tick % 2); break;
      case 7: (void)plug->meterReadings(); (void)plug->regionHoldLevels(); (void)plug->currentTarget(); break;
      case 8:
        if (tick % 40 == 8) {
          parking.whileParked(audioRunning, [&] {
            plug->SetSampleRate(tick % 80 == 8 ? 44100.0 : 48000.0);
            plug->OnReset();
          });
        }
        break;
      default: break;
    }
    ++tick;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  stop.store(true);
  audio.join();
  plug->release();  // destroyed while its worker may be in the middle of a pass
  SUCCEED() << tick << " main-thread ticks";
}

TEST(Stress, RingFramesArriveInOrderWithCountedDrops) {
  SampleRing ring;
  ring.setPositionsForTesting((std::uint64_t{1} << 32) - 10);
  constexpr long kTotal = 2'000'000;
  std::atomic<long> dropped{0};
  std::atomic<bool> done{false};

  std::thread producer([&] {
    std::mt19937 rng(3);
    std::vector<double> block(4096);
    long next = 0;
    while (next < kTotal) {
      const int n = static_cast<int>(std::min<long>(std::uniform_int_distribution<int>(1, 4096)(rng), kTotal - next));
      for (int i = 0; i < n; ++i) block[static_cast<std::size_t>(i)] = static_cast<double>((next + i) % (1 << 23));
      const int written = ring.write(block.data(), block.data(), n);
      dropped.fetch_add(n - written);
      next += n;
    }
    done.store(true);
  });

  // Values are frame counters modulo 2^23 (exact in a float); a gap in them is a drop.
  constexpr long kModulo = 1 << 23;
  std::vector<float> l(4096), r(4096);
  long seen = 0;
  long gaps = 0;
  long expected = 0;  // the frame number the next value should carry
  for (long reads = 0;; ++reads) {
    if (reads % 64 == 63) std::this_thread::sleep_for(std::chrono::milliseconds(1));  // let the ring overflow
    const bool finished = done.load();
    const std::size_t n = ring.read(l.data(), r.data(), 1 + static_cast<std::size_t>(reads % 4096));
    for (std::size_t i = 0; i < n; ++i) {
      ASSERT_EQ(l[i], r[i]);
      const long gap = (static_cast<long>(l[i]) - expected % kModulo + kModulo) % kModulo;
      gaps += gap;
      expected += gap + 1;
      ++seen;
    }
    if (n == 0 && finished) break;
  }
  producer.join();
  // Every frame either arrived, in order, or was counted as dropped by the producer.
  EXPECT_GT(dropped.load(), 0);
  EXPECT_EQ(gaps + (kTotal - expected), dropped.load());
  EXPECT_EQ(seen + dropped.load(), kTotal);
}

TEST(Stress, CreateAndDestroyWhileProcessing) {
  const Stereo noise = pinkNoise(2048, 0.2, 62);
  for (int cycle = 0; cycle < 200; ++cycle) {
    SpectraPoise* plug = new SpectraPoise(plugkit::InstanceInfo{}, fastWorker());
    connect(*plug, 2, 2);
    hostSet(*plug, kCorrect, 1.0);
    std::thread audio([&] {
      Stereo out(noise.size());
      for (std::size_t start = 0; start < noise.size(); start += 1024) processRange(*plug, noise, out, start, 1024);
    });
    plug->OnIdle();
    audio.join();
    plug->release();  // the worker is usually mid-pass on the frames just written
  }
}

}  // namespace
