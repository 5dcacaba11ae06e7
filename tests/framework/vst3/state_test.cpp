// The VST3 state frame: the plug-in's chunk, then a 4-byte bypass word; read in blocks
// of 128 bytes, refused whole when anything is wrong.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "framework/vst3/HostRunLoop_linux.h"
#include "shims/apple/corefoundation/CFHostRunLoop.h"
#include "tests/framework/vst3/vst3_fixture.h"

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;
using sp::test::Bound;
using testhost::ScriptedStream;

// The parameters of a plug-in, for "nothing changed" checks.
std::vector<double> values(const sp::test::TestPlugin& plug) {
  std::vector<double> v;
  for (int i = 0; i < plug.NParams(); ++i) v.push_back(plug.GetParam(i)->Value());
  return v;
}

std::string savedState(Bound& b) {
  bool ok = false;
  std::string bytes = b.host->getState(&ok);
  EXPECT_TRUE(ok);
  return bytes;
}

TEST(State, RoundTripCarriesParametersAndBypass) {
  Bound source;
  source.host->setup(48000, 64, kSample32);
  source.host->start();
  testhost::AudioBlock block(2, 2, 64, kSample32);
  testhost::ParameterChanges changes;
  changes.add(plugkit::kBypassParamId, 0, 1.0);
  changes.add(3, 0, 0.25);
  source.host->process(block, &changes);
  source.plug->GetParam(10)->Set(1);
  const std::string bytes = savedState(source);
  ASSERT_EQ(bytes.size(), 144u + 4u);
  int32_t bypass = 0;
  std::memcpy(&bypass, bytes.data() + 144, 4);
  EXPECT_EQ(bypass, 1);

  Bound target;
  target.plug->clearLog();
  ASSERT_EQ(target.host->setState(bytes), kResultOk);
  EXPECT_EQ(values(*target.plug), values(*source.plug));
  EXPECT_DOUBLE_EQ(target.controller()->getParamNormalized(plugkit::kBypassParamId), 1.0);
  EXPECT_NEAR(target.controller()->getParamNormalized(3), 0.25, 1e-9);
  EXPECT_EQ(target.plug->countInLog("OnRestoreState"), 1);
  EXPECT_FALSE(target.plug->GetBypassed());  // the processor's flag moves only in process
}

TEST(State, ReadInBlocksWithWaveLabsFailingLastRead) {
  Bound source;
  std::string bytes = savedState(source);
  bytes.append(268 - bytes.size(), '\0');  // extra bytes after the frame are read and ignored
  struct Case {
    const char* host;
    bool failLast;
    int chunk;
    tresult result;
  } cases[] = {
      {"testhost", false, 268, kResultOk},
      {"WaveLab 11", true, 268, kResultOk},
      {"testhost", true, 228, kResultOk},
      {"Cubase 13", true, 228, kResultOk},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.host) + (c.failLast ? ", failing last read" : ""));
    Bound target(sp::test::productConfig(), c.host);
    ScriptedStream stream(bytes);
    stream.readSizes = {100, 128, 40};
    if (c.failLast) stream.failingRead = 2;
    EXPECT_EQ(target.host->component()->setState(&stream), c.result);
    EXPECT_EQ(target.plug->lastChunkSize, c.chunk);
  }
}

TEST(State, StreamStartingInsideOtherDataRestores) {
  Bound source;
  source.plug->GetParam(1)->Set(-20);
  const std::string bytes = savedState(source);
  Bound target;
  ScriptedStream stream(std::string(100, 'x') + bytes, 100);
  stream.seekable = false;
  ASSERT_EQ(target.host->component()->setState(&stream), kResultOk);
  EXPECT_DOUBLE_EQ(target.plug->GetParam(1)->Value(), -20);
  EXPECT_EQ(stream.seeks, 0);
}

TEST(State, BadStreamsAreRefusedWithNothingChanged) {
  Bound source;
  for (int i = 0; i < 18; ++i) source.plug->GetParam(i)->SetNormalized(0.9);
  const std::string bytes = savedState(source);
  struct Case {
    const char* what;
    std::string bytes;
    bool failFirstRead;
  } cases[] = {
      {"empty stream", "", false},
      {"chunk without the bypass word", bytes.substr(0, 144), false},
      {"bypass word cut short", bytes.substr(0, 146), false},
      {"chunk cut inside the values", bytes.substr(0, 100), false},
      {"the first read fails", bytes, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bound target;
    target.plug->GetParam(5)->Set(12);
    const std::vector<double> before = values(*target.plug);
    const double bypassObject = target.controller()->getParamNormalized(plugkit::kBypassParamId);
    target.plug->clearLog();
    ScriptedStream stream(c.bytes);
    if (c.failFirstRead) {
      stream.failingRead = 0;
      stream.failingReadDelivers = false;
    }
    EXPECT_EQ(target.host->component()->setState(&stream), kResultFalse);
    EXPECT_EQ(values(*target.plug), before);
    EXPECT_DOUBLE_EQ(target.controller()->getParamNormalized(plugkit::kBypassParamId), bypassObject);
    EXPECT_EQ(target.plug->countInLog("OnRestoreState"), 0);
    EXPECT_EQ(stream.seeks, 0);
  }
  Bound target;
  EXPECT_EQ(target.host->component()->setState(nullptr), kResultFalse);
}

// A plug-in whose own chunk reader refuses everything, and counts its runs.
struct Refusing : sp::test::TestPlugin {
  int reads = 0;
  int UnserializeState(const plugkit::IByteChunk&, int) override {
    ++reads;
    return -1;
  }
};

TEST(State, RejectedChunkIsRefusedWithoutSeeking) {
  auto* plug = new Refusing();
  std::string error;
  auto host = testhost::Plugin::adopt(static_cast<IAudioProcessor*>(plug), error);
  host->initialize(nullptr);
  ScriptedStream stream(std::string(148, '\0'));
  EXPECT_EQ(host->component()->setState(&stream), kResultFalse);
  EXPECT_EQ(stream.seeks, 0);
  // A reader that refused the chunk whole changed nothing: the old state is not re-applied
  // (that would run the reader's side effects for nothing).
  EXPECT_EQ(plug->reads, 1);
}

TEST(State, FailingOrShortWritesAreReported) {
  for (int failing : {0, 1}) {
    for (bool shortWrite : {false, true}) {
      SCOPED_TRACE("write " + std::to_string(failing) + (shortWrite ? " short" : " failing"));
      Bound b;
      ScriptedStream stream;
      if (shortWrite)
        stream.shortWrite = failing;
      else
        stream.failingWrite = failing;
      EXPECT_EQ(b.host->component()->getState(&stream), kResultFalse);
    }
  }
  Bound b;
  EXPECT_EQ(b.host->component()->getState(nullptr), kResultFalse);
}

TEST(State, SavingRunsTheOwedTickWhileNoLoopDrivesTheTimer) {
  Bound b;
  b.plug->pendingRequest = true;
  savedState(b);
  EXPECT_EQ(b.plug->requestsTaken, 1);

  auto* loop = new testhost::RunLoop();
  plugkit::OfferHostRunLoop(*b.plug->GetTimer(), kCFHostRunLoopInitialize, loop);
  b.plug->pendingRequest = true;
  savedState(b);
  EXPECT_EQ(b.plug->requestsTaken, 1);  // the loop's own tick will take it
  loop->fire(1);
  EXPECT_EQ(b.plug->requestsTaken, 2);
  plugkit::OfferHostRunLoop(*b.plug->GetTimer(), kCFHostRunLoopInitialize, nullptr);
  loop->release();
}

TEST(State, InitializeContextRunLoopDrivesTheTimer) {
  Bound b(sp::test::productConfig(), "testhost", false);
  auto* loop = new testhost::RunLoop();
  b.context->setRunLoop(loop);
  ASSERT_EQ(b.host->initialize(static_cast<IHostApplication*>(b.context)), kResultOk);
  EXPECT_EQ(loop->timerCount(), 1);
  loop->fire(2);
  EXPECT_EQ(b.plug->countInLog("OnIdle"), 2);
  b.host->terminate();
  EXPECT_EQ(loop->timerCount(), 0);
  loop->release();
}

}  // namespace
