// What a state costs the host's main thread: a state whose preset name is huge loads with
// work in proportion to its size, the name copied once into place, and the idle ticks that
// follow never copy it again. Work is counted as the bytes the thread allocates.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/plugin/heap_use.h"
#include "tests/support/plugin/plugin_harness.h"

namespace {

using namespace sp::test;

std::vector<std::uint8_t> bytesOf(const plugkit::IByteChunk& chunk) {
  return std::vector<std::uint8_t>(chunk.GetData(), chunk.GetData() + chunk.Size());
}

// A fresh instance's state with this preset name in place of its empty one.
plugkit::IByteChunk stateNamed(const std::string& name) {
  PlugPtr source = makePlug();
  plugkit::IByteChunk plain;
  EXPECT_TRUE(source->SerializeState(plain));
  const std::vector<std::uint8_t> bytes = bytesOf(plain);
  constexpr std::size_t kNameLength = 20;  // tag, version, accent, width, height
  std::int32_t length = 0;
  std::memcpy(&length, bytes.data() + kNameLength, 4);
  EXPECT_EQ(length, 0);

  length = static_cast<std::int32_t>(name.size());
  plugkit::IByteChunk named;
  named.PutBytes(bytes.data(), kNameLength);
  named.PutBytes(&length, 4);
  named.PutBytes(name.data(), static_cast<int>(name.size()));
  named.PutBytes(bytes.data() + kNameLength + 4, static_cast<int>(bytes.size() - kNameLength - 4));
  return named;
}

TEST(StateCost, AHugePresetNameIsCopiedOnceAndNeverByTheIdleTick) {
  const std::size_t sizes[] = {std::size_t{1} << 20, std::size_t{8} << 20};
  long long loadBytes[2] = {};
  for (int k = 0; k < 2; ++k) {
    const std::size_t n = sizes[k];
    SCOPED_TRACE(n);
    const plugkit::IByteChunk chunk = stateNamed(std::string(n, 'p'));
    PlugPtr plug = makePlug();

    int end = 0;
    const heapuse::Use load = heapuse::during([&] { end = plug->UnserializeState(chunk, 0); });
    ASSERT_EQ(end, chunk.Size() - 4);
    EXPECT_LE(load.bytes, static_cast<long long>(n + n / 8)) << "the name is copied once";
    loadBytes[k] = load.bytes;

    const heapuse::Use ticks = heapuse::during([&] {
      for (int i = 0; i < 50; ++i) plug->OnIdle();
    });
    EXPECT_LT(ticks.bytes, 64 * 1024) << "an idle tick copies no name";

    // Everything restores as from any other state.
    EXPECT_EQ(plug->presetName().size(), n);
    plugkit::IByteChunk again;
    ASSERT_TRUE(plug->SerializeState(again));
    EXPECT_TRUE(bytesOf(again) == bytesOf(chunk));
  }
  EXPECT_LT(loadBytes[1], 9 * loadBytes[0]) << "eight times the name, about eight times the work";
}

}  // namespace
