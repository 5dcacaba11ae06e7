// The state chunk: its exact bytes for a known state, the round trip through the chunk
// hooks and through the host's getState/setState, chunks that are refused whole, the
// repairs applied to chunks that read, and a mutation fuzz of the reader.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "plugin/state_chunk.h"
#include "tests/support/plugin/plugin_harness.h"
#include "tools/testhost/plugin_host.h"

namespace {

using namespace sp::test;
using namespace spectrapoise::plugin;

// Bytes written independently of the plug-in's writer.
class Bytes {
public:
  Bytes& i32(std::int32_t v) { return raw(&v, 4); }
  Bytes& f64(double v) { return raw(&v, 8); }
  // A tag's first character is its most significant byte: "SPS1" is stored "1SPS".
  Bytes& tag(const char* t) { return raw(std::string{t[3], t[2], t[1], t[0]}.data(), 4); }
  Bytes& str(const std::string& s) { return i32(static_cast<std::int32_t>(s.size())).raw(s.data(), s.size()); }
  Bytes& raw(const void* p, std::size_t n) {
    const auto* b = static_cast<const std::uint8_t*>(p);
    data.insert(data.end(), b, b + n);
    return *this;
  }
  std::vector<std::uint8_t> data;
};

// Every field of a chunk, to build valid and broken chunks from.
struct Spec {
  int accent = 3;
  int width = 800;
  int height = 500;
  std::string presetName = "Wärm";
  int modified = 1;
  std::vector<double> values;  // as many as `count` says, written as they are
  int count = kParamCount;
  int bypass = 0;
  bool withTarget = true;
  int kind = 2;
  std::string targetName = "Warm";
  std::string source = "ref.wav";
  int bands = 180;
  std::vector<double> curve = std::vector<double>(180);
  std::vector<double> spread = std::vector<double>(180);
  int resolution = 0;
  bool withResolution = true;
  int mode = 1;
  bool withLoudness = true;

  Spec() {
    // Every parameter off its default, each on its step.
    values = {1, -20.5, 150, 8000, 1, 20, 30, 40, 60, 9.5, 1, 1.25, -2.5, 3.75, -4, 1500, 70, 0.5};
    for (int k = 0; k < 180; ++k) {
      curve[static_cast<std::size_t>(k)] = -0.05 * k + 3.0;
      spread[static_cast<std::size_t>(k)] = 0.01 * k;
    }
  }

  std::vector<std::uint8_t> build() const {
    Bytes b;
    b.tag("SPS1").i32(1).i32(accent).i32(width).i32(height).str(presetName).i32(modified).i32(count);
    for (const double v : values) b.f64(v);
    b.i32(bypass);
    if (withTarget) {
      b.tag("SPT1").i32(kind).str(targetName).str(source).i32(bands);
      for (const double v : curve) b.f64(v);
      for (const double v : spread) b.f64(v);
      b.i32(bypass);
    }
    if (withResolution) b.tag("SPR1").i32(resolution).i32(bypass);
    if (withLoudness) b.tag("SPL1").i32(mode).i32(bypass);
    return b.data;
  }
  std::size_t P() const { return presetName.size(); }
  std::size_t TS() const { return targetName.size() + source.size(); }
};

plugkit::IByteChunk chunkOf(const std::vector<std::uint8_t>& bytes) {
  plugkit::IByteChunk chunk;
  if (!bytes.empty()) chunk.PutBytes(bytes.data(), static_cast<int>(bytes.size()));
  return chunk;
}

std::vector<std::uint8_t> bytesOf(const plugkit::IByteChunk& chunk) {
  return std::vector<std::uint8_t>(chunk.GetData(), chunk.GetData() + chunk.Size());
}

std::vector<std::uint8_t> serialized(const SpectraPoise& plug) {
  plugkit::IByteChunk chunk;
  EXPECT_TRUE(plug.SerializeState(chunk));
  return bytesOf(chunk);
}

std::int32_t int32At(const std::vector<std::uint8_t>& bytes, std::size_t pos) {
  std::int32_t v = 0;
  std::memcpy(&v, bytes.data() + pos, 4);
  return v;
}

// The test host driving an instance that a PlugPtr also holds (destroy the host first).
std::unique_ptr<testhost::Plugin> hostFor(SpectraPoise& plug) {
  plug.addRef();
  std::string error;
  auto host = testhost::Plugin::adopt(static_cast<Steinberg::Vst::IAudioProcessor*>(&plug), error);
  EXPECT_NE(host, nullptr) << error;
  EXPECT_EQ(host->initialize(nullptr), Steinberg::kResultOk);
  Steinberg::Vst::SpeakerArrangement stereo = Steinberg::Vst::SpeakerArr::kStereo;
  EXPECT_EQ(host->processor()->setBusArrangements(&stereo, 1, &stereo, 1), Steinberg::kResultOk);
  EXPECT_EQ(host->setup(48000.0, 256, Steinberg::Vst::kSample64), Steinberg::kResultOk);
  return host;
}

// An instance in the state that Spec() describes (closed editor, kept scale 1).
PlugPtr plugInSpecState() {
  PlugPtr plug = makePlug();
  const plugkit::IByteChunk chunk = chunkOf(Spec().build());
  EXPECT_EQ(plug->UnserializeState(chunk, 0), chunk.Size() - 4);
  return plug;
}

// Golden bytes and round trip ----------------------------------------------------------

TEST(StateChunk, WritesTheKnownStateByteForByte) {
  PlugPtr plug = plugInSpecState();
  const Spec spec;
  const std::vector<std::uint8_t> bytes = serialized(*plug);
  EXPECT_EQ(bytes, spec.build());
  ASSERT_EQ(bytes.size(), 3108 + spec.P() + spec.TS());
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "1SPS");

  const std::size_t p = spec.P();
  const std::size_t pts = p + spec.TS();
  EXPECT_EQ(int32At(bytes, 180 + p), static_cast<std::int32_t>(plugkit::FourCC("SPT1")));
  EXPECT_EQ(int32At(bytes, 3084 + pts), static_cast<std::int32_t>(plugkit::FourCC("SPR1")));
  EXPECT_EQ(int32At(bytes, 3096 + pts), static_cast<std::int32_t>(plugkit::FourCC("SPL1")));
  for (const std::size_t f : {176 + p, 3080 + pts, 3092 + pts, 3104 + pts}) EXPECT_EQ(int32At(bytes, f), 0) << f;
}

TEST(StateChunk, RoundTripRestoresEveryFieldAndEndsAtTheLastBypassWord) {
  const PlugPtr a = plugInSpecState();
  const std::vector<std::uint8_t> bytes = serialized(*a);

  PlugPtr b = makePlug();
  const plugkit::IByteChunk chunk = chunkOf(bytes);
  EXPECT_EQ(b->UnserializeState(chunk, 0), static_cast<int>(bytes.size()) - 4);
  EXPECT_EQ(serialized(*b), bytes);

  const SpectraPoise::Target t = b->currentTarget();
  EXPECT_EQ(t.kind, TargetKind::Saved);
  EXPECT_EQ(t.name, "Warm");
  EXPECT_EQ(t.source, "ref.wav");
  EXPECT_EQ(t.curve[179], Spec().curve[179]);
  EXPECT_EQ(b->presetName(), "Wärm");
  EXPECT_TRUE(b->presetModified());
  EXPECT_EQ(b->accentIndex(), 3);
  EXPECT_EQ(b->resolutionIndex(), 0);
  EXPECT_TRUE(b->integratedDisplay());
  EXPECT_EQ(b->GetEditorWidth(), 800);
  EXPECT_EQ(b->GetEditorHeight(), 500);
  for (int i = 0; i < kParamCount; ++i) EXPECT_EQ(b->GetParam(i)->Value(), Spec().values[static_cast<std::size_t>(i)]);
}

// The host's bypass flag ends every block, and the host frame adds its own word after the
// chunk; setState reads the chunk's last one.
TEST(StateChunk, HostStateCarriesTheBypassFlagInEveryBlock) {
  for (const bool bypassed : {false, true}) {
    SCOPED_TRACE(bypassed);
    PlugPtr source = makePlug();
    auto host = hostFor(*source);
    host->start();
    testhost::AudioBlock block(2, 2, 256, Steinberg::Vst::kSample64);
    block.setFrames(256);
    testhost::ParameterChanges changes;
    changes.add(0x10000, 0, bypassed ? 1.0 : 0.0);
    host->process(block, &changes);

    bool ok = false;
    const std::string state = host->getState(&ok);
    ASSERT_TRUE(ok);
    const std::vector<std::uint8_t> bytes(state.begin(), state.end());
    const Spec spec;
    // The plug-in's default state: empty preset name, "Balanced" (8 bytes, no source).
    ASSERT_EQ(bytes.size(), 3108u + 8u + 4u);
    for (const std::size_t f : {176u, 3080u + 8u, 3092u + 8u, 3104u + 8u, 3108u + 8u})
      EXPECT_EQ(int32At(bytes, f), bypassed ? 1 : 0) << f;

    PlugPtr target = makePlug();
    auto other = hostFor(*target);
    ASSERT_EQ(other->setState(state), Steinberg::kResultOk);
    EXPECT_EQ(other->controller()->getParamNormalized(0x10000), bypassed ? 1.0 : 0.0);
    host->stop();
  }
}

TEST(StateChunk, GetStateAndSetStateCarryTheWholeState) {
  PlugPtr a = plugInSpecState();
  auto hostA = hostFor(*a);
  bool ok = false;
  const std::string state = hostA->getState(&ok);
  ASSERT_TRUE(ok);

  PlugPtr b = makePlug();
  auto hostB = hostFor(*b);
  ASSERT_EQ(hostB->setState(state), Steinberg::kResultOk);
  EXPECT_EQ(serialized(*b), serialized(*a));
  EXPECT_NEAR(hostB->controller()->getParamNormalized(kFreeze), 1.0, 0.0);
}

// Refused chunks ---------------------------------------------------------------------------

struct Broken {
  const char* what;
  std::vector<std::uint8_t> bytes;
};

std::vector<Broken> brokenChunks() {
  std::vector<Broken> cases;
  cases.push_back({"empty", {}});
  cases.push_back({"100-byte plain block", std::vector<std::uint8_t>(100, 0)});
  {
    std::vector<std::uint8_t> b = Spec().build();
    b.resize(20);
    cases.push_back({"20-byte tagged header", b});
  }
  for (const std::int32_t length : {-5, 0x7FFFFFFF, 100000}) {
    Bytes b;
    b.tag("SPS1").i32(1).i32(0).i32(640).i32(400).i32(length).raw("abcdefgh", 8);
    std::vector<std::uint8_t> tail = Spec().build();
    b.raw(tail.data() + 24 + 5, tail.size() - 29);  // the rest of a valid chunk after its name
    cases.push_back({"preset name length", b.data});
  }
  {
    std::vector<std::uint8_t> b = Spec().build();
    b.resize(32 + Spec().P() + 10 * 8);  // the values cut after 10
    cases.push_back({"values cut after 10", b});
  }
  {
    Spec s;
    s.count = -1;
    cases.push_back({"negative count", s.build()});
  }
  {
    Spec s;
    s.count = 0x7FFFFFFF;
    cases.push_back({"huge count", s.build()});
  }
  {
    std::vector<std::uint8_t> b = Spec().build();
    b.resize(24 + Spec().P() + 6);  // inside the modified flag and the count
    cases.push_back({"cut inside the count", b});
  }
  return cases;
}

TEST(StateChunk, BrokenChunksAreRefusedAndChangeNothing) {
  PlugPtr plug = plugInSpecState();
  const std::vector<std::uint8_t> before = serialized(*plug);
  for (const Broken& c : brokenChunks()) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(plug->UnserializeState(chunkOf(c.bytes), 0), -1);
    EXPECT_EQ(serialized(*plug), before);
  }
  EXPECT_EQ(plug->UnserializeState(chunkOf(Spec().build()), -1), -1);
  EXPECT_EQ(serialized(*plug), before);
}

TEST(StateChunk, HostStateThatDoesNotReadIsRefused) {
  PlugPtr plug = plugInSpecState();
  auto host = hostFor(*plug);
  const std::vector<std::uint8_t> before = serialized(*plug);
  for (const Broken& c : brokenChunks()) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(host->setState(std::string(c.bytes.begin(), c.bytes.end())), Steinberg::kResultFalse);
    EXPECT_EQ(serialized(*plug), before);
  }
}

// Chunks that read, with repairs --------------------------------------------------------

TEST(StateChunk, PlainParameterBlockSetsTheParametersOnly) {
  PlugPtr plug = plugInSpecState();
  Bytes b;
  for (int i = 0; i < kParamCount; ++i) b.f64(i == kLoudnessTarget ? -30.0 : (i == kCorrectSpeed ? NAN : 0.0));
  b.i32(1);  // the frame's bypass word
  EXPECT_EQ(plug->UnserializeState(chunkOf(b.data), 0), 144);
  EXPECT_EQ(plug->GetParam(kLoudnessTarget)->Value(), -30.0);
  EXPECT_EQ(plug->GetParam(kCorrectSpeed)->Value(), 15.0);  // not a number: the default
  EXPECT_EQ(plug->GetParam(kCorrect)->Value(), 0.0);
  EXPECT_EQ(plug->currentTarget().name, "Warm");  // only parameters
  EXPECT_EQ(plug->presetName(), "Wärm");
}

TEST(StateChunk, ValuesThatAreNotNumbersTakeTheirDefaults) {
  Spec s;
  s.values[kLoudnessTarget] = NAN;
  s.values[kLowCrossover] = std::numeric_limits<double>::infinity();
  PlugPtr plug = makePlug();
  const plugkit::IByteChunk chunk = chunkOf(s.build());
  EXPECT_EQ(plug->UnserializeState(chunk, 0), chunk.Size() - 4);
  EXPECT_EQ(plug->GetParam(kLoudnessTarget)->Value(), -14.0);
  EXPECT_EQ(plug->GetParam(kLowCrossover)->Value(), 200.0);
  EXPECT_EQ(plug->GetParam(kHighCrossover)->Value(), 8000.0);
}

TEST(StateChunk, AccentOutsideTheTableReadsAsGreen) {
  for (const int accent : {6, -1}) {
    Spec s;
    s.accent = accent;
    PlugPtr plug = makePlug();
    EXPECT_GT(plug->UnserializeState(chunkOf(s.build()), 0), 0);
    EXPECT_EQ(plug->accentIndex(), 0) << accent;
  }
}

TEST(StateChunk, SizeWithAnotherAspectReadsAs640By400) {
  Spec s;
  s.width = 800;
  s.height = 600;
  PlugPtr plug = makePlug();
  EXPECT_GT(plug->UnserializeState(chunkOf(s.build()), 0), 0);
  EXPECT_EQ(plug->restoredEditorWidth(), 640);
  EXPECT_EQ(plug->restoredEditorHeight(), 400);
  EXPECT_EQ(plug->GetEditorWidth(), 640);
  EXPECT_EQ(plug->GetEditorHeight(), 400);

  // A huge stored size is limited, never overflowed.
  s.width = 0x7FFFFFF0;
  s.height = static_cast<int>(0x7FFFFFF0 / 1.6);
  EXPECT_GT(plug->UnserializeState(chunkOf(s.build()), 0), 0);
  EXPECT_EQ(plug->GetEditorWidth(), 1280);
  EXPECT_EQ(plug->GetEditorHeight(), 800);
}

TEST(StateChunk, ParameterCountOtherThan18) {
  Spec more;
  more.count = 20;
  more.values.push_back(99.0);
  more.values.push_back(98.0);
  PlugPtr plug = makePlug();
  const plugkit::IByteChunk longer = chunkOf(more.build());
  EXPECT_EQ(plug->UnserializeState(longer, 0), longer.Size() - 4);
  EXPECT_EQ(plug->GetParam(kFrozenHiMid)->Value(), 0.5);
  EXPECT_EQ(plug->currentTarget().name, "Warm");

  Spec fewer;
  fewer.count = 3;
  fewer.values.resize(3);
  const plugkit::IByteChunk shorter = chunkOf(fewer.build());
  EXPECT_EQ(plug->UnserializeState(shorter, 0), shorter.Size() - 4);
  EXPECT_EQ(plug->GetParam(kLowCrossover)->Value(), 150.0);
  EXPECT_EQ(plug->GetParam(kHighCrossover)->Value(), 6000.0);  // past the count: default
  EXPECT_EQ(plug->GetParam(kCorrect)->Value(), 0.0);
}

TEST(StateChunk, UnreadableTargetBlockGivesTheBuiltInTarget) {
  struct Case {
    const char* what;
    void (*apply)(Spec&);
  };
  const Case cases[] = {
      {"179 bands", [](Spec& s) { s.bands = 179; }},
      {"kind 4", [](Spec& s) { s.kind = 4; }},
      {"NaN in the spread", [](Spec& s) { s.spread[100] = NAN; }},
      {"no target block", [](Spec& s) { s.withTarget = false; }},
      {"target name runs past the end", [](Spec& s) { s.targetName = std::string(40000, 'x'); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Spec s;
    c.apply(s);
    std::vector<std::uint8_t> bytes = s.build();
    if (s.targetName.size() > 10000) bytes.resize(180 + s.P() + 12 + 100);
    PlugPtr plug = makePlug();
    plug->setTarget(SpectraPoise::Target{TargetKind::Factory, "Rock", "", {}, {}});
    EXPECT_EQ(plug->UnserializeState(chunkOf(bytes), 0), static_cast<int>(176 + s.P()));
    const SpectraPoise::Target t = plug->currentTarget();
    EXPECT_EQ(t.kind, TargetKind::Balanced);
    EXPECT_EQ(t.name, "Balanced");
    EXPECT_EQ(plug->resolutionIndex(), 2);
    EXPECT_FALSE(plug->integratedDisplay());
    EXPECT_EQ(plug->GetParam(kLoudnessTarget)->Value(), -20.5);  // the header block still applies
  }
}

TEST(StateChunk, ResolutionAndLoudnessBlocksOutOfRange) {
  const Spec base;
  const int pts = static_cast<int>(base.P() + base.TS());
  {
    Spec s;
    s.resolution = 3;
    PlugPtr plug = makePlug();
    EXPECT_EQ(plug->UnserializeState(chunkOf(s.build()), 0), 3080 + pts);
    EXPECT_EQ(plug->resolutionIndex(), 2);
    EXPECT_FALSE(plug->integratedDisplay());  // the loudness block is not looked for
    EXPECT_EQ(plug->currentTarget().name, "Warm");
  }
  {
    Spec s;
    s.mode = 2;
    PlugPtr plug = makePlug();
    EXPECT_EQ(plug->UnserializeState(chunkOf(s.build()), 0), 3092 + pts);
    EXPECT_EQ(plug->resolutionIndex(), 0);
    EXPECT_FALSE(plug->integratedDisplay());
  }
  {
    Spec s;
    s.withLoudness = false;
    PlugPtr plug = makePlug();
    plug->setIntegratedDisplay(true);
    EXPECT_EQ(plug->UnserializeState(chunkOf(s.build()), 0), 3092 + pts);
    EXPECT_FALSE(plug->integratedDisplay());
  }
}

TEST(StateChunk, ReadingFromAPositionInsideALargerChunk) {
  std::vector<std::uint8_t> bytes(7, 0xAB);
  const std::vector<std::uint8_t> chunk = Spec().build();
  bytes.insert(bytes.end(), chunk.begin(), chunk.end());
  PlugPtr plug = makePlug();
  EXPECT_EQ(plug->UnserializeState(chunkOf(bytes), 7), static_cast<int>(bytes.size()) - 4);
  EXPECT_EQ(plug->presetName(), "Wärm");
}

// Each parameter is stored once: an audio block running meanwhile never sees a default in
// place of the restored value.
TEST(StateChunkThreads, AudioThreadNeverSeesADefaultInPlaceOfTheRestoredValue) {
  PlugPtr plug = makePlug();
  Spec s;
  s.values[kCorrect] = 1.0;  // default off
  const plugkit::IByteChunk chunk = chunkOf(s.build());
  ASSERT_GT(plug->UnserializeState(chunk, 0), 0);
  std::atomic<bool> stop{false};
  std::atomic<int> sawDefault{0};
  std::thread audio([&] {
    while (!stop.load())
      if (plug->GetParam(kCorrect)->Value() < 0.5) sawDefault.fetch_add(1);
  });
  for (int i = 0; i < 2000; ++i) plug->UnserializeState(chunk, 0);
  stop.store(true);
  audio.join();
  EXPECT_EQ(sawDefault.load(), 0);
}

// Mutation fuzz ----------------------------------------------------------------------------

TEST(StateChunkFuzz, MutatedChunksAreRefusedOrReadWithinTheirBounds) {
  PlugPtr plug = plugInSpecState();
  std::vector<std::vector<std::uint8_t>> seeds{Spec().build(), std::vector<std::uint8_t>(148, 0)};
  {
    Spec s;
    s.presetName.clear();
    s.targetName.clear();
    s.source.clear();
    seeds.push_back(s.build());
  }
  const std::int32_t interesting[] = {0,          1,   -1, 2, 3, 4, 5, 6, 18, 179, 180, 181, 0x7FFFFFFF,
                                      INT32_MIN, 3000, static_cast<std::int32_t>(plugkit::FourCC("SPS1")), static_cast<std::int32_t>(plugkit::FourCC("SPT1")), static_cast<std::int32_t>(plugkit::FourCC("SPR1")), static_cast<std::int32_t>(plugkit::FourCC("SPL1"))};
  std::mt19937 rng(20240611);
#if defined(SP_ASAN_BUILD) || defined(SP_TSAN_BUILD)
  const int rounds = 3000;
#else
  const int rounds = 20000;
#endif
  int refused = 0;
  int read = 0;
  for (int round = 0; round < rounds; ++round) {
    std::vector<std::uint8_t> bytes = seeds[rng() % seeds.size()];
    const int mutations = 1 + static_cast<int>(rng() % 4);
    for (int m = 0; m < mutations; ++m) {
      const std::size_t size = bytes.size();
      switch (rng() % 5) {
        case 0:  // flip a byte
          if (size > 0) bytes[rng() % size] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
          break;
        case 1:  // an interesting int32 at a 4-byte-aligned or any offset
          if (size >= 4) {
            const std::int32_t v = interesting[rng() % std::size(interesting)];
            std::memcpy(bytes.data() + rng() % (size - 3), &v, 4);
          }
          break;
        case 2:  // cut
          bytes.resize(size == 0 ? 0 : rng() % size);
          break;
        case 3: {  // a non-finite double
          if (size >= 8) {
            const double v = (rng() & 1) ? NAN : -std::numeric_limits<double>::infinity();
            std::memcpy(bytes.data() + rng() % (size - 7), &v, 8);
          }
          break;
        }
        default:  // random bytes appended
          for (int k = static_cast<int>(rng() % 16); k > 0; --k) bytes.push_back(static_cast<std::uint8_t>(rng()));
          break;
      }
    }
    const plugkit::IByteChunk chunk = chunkOf(bytes);
    const int start = (rng() % 8 == 0) ? static_cast<int>(rng() % (bytes.size() + 2)) - 1 : 0;
    const std::vector<std::uint8_t> before = serialized(*plug);
    const int end = plug->UnserializeState(chunk, start);
    if (end == -1) {
      ++refused;
      ASSERT_EQ(serialized(*plug), before) << "round " << round;
    } else {
      ++read;
      ASSERT_GE(end, 0) << "round " << round;
      ASSERT_LE(end, static_cast<int>(bytes.size())) << "round " << round;
    }
    // Parameters always hold values inside their ranges.
    for (int i = 0; i < kParamCount; ++i) {
      const plugkit::IParam* p = plug->GetParam(i);
      ASSERT_NE(p, nullptr);
      const double v = p->Value();
      ASSERT_TRUE(v >= p->GetMin() && v <= p->GetMax()) << i;
    }
  }
  // The mutations reach both outcomes often.
  EXPECT_GT(refused, rounds / 10);
  EXPECT_GT(read, rounds / 10);
}

}  // namespace
