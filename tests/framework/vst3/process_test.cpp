// The VST3 processing path: transport, parameter changes, bypass, 32- and 64-bit audio,
// untrusted block shapes, slicing, MIDI, and no allocation on the audio thread.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tests/support/alloc_counter.h"
#include "tests/framework/vst3/vst3_fixture.h"

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;
using sp::test::Bound;
using testhost::AudioBlock;
using testhost::ParameterChanges;

constexpr int32 kSizes[] = {kSample32, kSample64};

const char* sizeName(int32 size) { return size == kSample64 ? "64-bit" : "32-bit"; }

struct Running : Bound {
  explicit Running(int32 sampleSize = kSample32, int maxBlock = 512, int32 mode = kRealtime,
                   const plugkit::Config& config = sp::test::productConfig())
      : Bound(config) {
    EXPECT_EQ(host->setup(48000, maxBlock, sampleSize, mode), kResultOk);
    host->start();
    plug->clearLog();
    plug->clearChanges();
  }
};

TEST(Process, LastPointOfEachQueueLandsOnceAtItsOffset) {
  Running r;
  AudioBlock block(2, 2, 512, kSample32);
  ParameterChanges changes;
  changes.add(5, 10, 0.2);
  changes.add(5, 200, 0.9);
  r.host->process(block, &changes);
  ASSERT_EQ(r.plug->nChanges.load(), 1);
  EXPECT_EQ(r.plug->changes[0].idx, 5);
  EXPECT_EQ(r.plug->changes[0].source, plugkit::kHost);
  EXPECT_EQ(r.plug->changes[0].offset, 200);
  EXPECT_DOUBLE_EQ(r.plug->GetParam(5)->Value(), 90);

  r.plug->clearChanges();
  changes.clear();
  changes.add(0, 0, 0.6);  // bool: rounds to 1
  changes.add(70000, 0, 0.5);  // between the bypass id and the MIDI ids: ignored
  changes.add(18, 0, 0.5);     // beyond the parameters: ignored
  changes.add(6, 3, 0.7);
  changes.queueAt(3)->failReads = true;  // its last point cannot be read: skipped
  r.host->process(block, &changes);
  ASSERT_EQ(r.plug->nChanges.load(), 1);
  EXPECT_DOUBLE_EQ(r.plug->GetParam(0)->Value(), 1.0);
  EXPECT_DOUBLE_EQ(r.plug->GetParam(6)->Value(), 50.0);

  r.plug->clearChanges();
  changes.clear();
  changes.add(7, 0, std::nan(""));  // a NaN from the host reads as 0
  r.host->process(block, &changes);
  EXPECT_DOUBLE_EQ(r.plug->GetParam(7)->Value(), 0.0);
}

TEST(Process, BypassAboveOneHalfPassesThrough) {
  for (int32 size : kSizes) {
    SCOPED_TRACE(sizeName(size));
    Running r(size);
    r.plug->processGain = 2.0;  // processing doubles, pass-through copies
    AudioBlock block(2, 2, 64, size);
    block.fillIn(0.25);
    ParameterChanges changes;
    changes.add(plugkit::kBypassParamId, 0, 0.5);
    block.setFrames(64);
    r.host->process(block, &changes);
    EXPECT_FALSE(r.plug->GetBypassed());
    EXPECT_DOUBLE_EQ(block.out(1, 63), 0.5);
    changes.clear();
    changes.add(plugkit::kBypassParamId, 0, 0.51);
    const int before = r.plug->processBlocks.load();
    r.host->process(block, &changes);
    EXPECT_TRUE(r.plug->GetBypassed());
    EXPECT_EQ(r.plug->processBlocks.load(), before);
    EXPECT_DOUBLE_EQ(block.out(1, 63), 0.25);
  }
}

TEST(Process, OfflineFlagComesFromTheSetup) {
  Running r(kSample32, 512, kOffline);
  AudioBlock block(2, 2, 64, kSample32);
  block.data().processMode = kRealtime;  // the block's own mode does not count
  block.setFrames(64);
  r.host->process(block);
  EXPECT_TRUE(r.plug->sawOffline.load());
  EXPECT_TRUE(r.plug->GetRenderingOffline());
  ASSERT_EQ(r.host->setup(48000, 512, kSample32, kRealtime), kResultOk);
  r.host->process(block);
  EXPECT_FALSE(r.plug->sawOffline.load());
}

TEST(Process, TransportFromTheContext) {
  Running r;
  AudioBlock block(2, 2, 64, kSample32);
  block.setFrames(64);
  r.host->process(block);  // no context yet: all zero
  EXPECT_DOUBLE_EQ(r.plug->GetTimeInfo().mTempo, 0.0);
  EXPECT_DOUBLE_EQ(r.plug->GetTimeInfo().mSamplePos, -1.0);
  EXPECT_EQ(r.plug->GetTimeInfo().mDenominator, 0);

  ProcessContext context{};
  context.state = ProcessContext::kProjectTimeMusicValid | ProcessContext::kPlaying;  // 0x202
  context.projectTimeSamples = 48000;
  context.tempo = 90;
  context.timeSigNumerator = 3;
  context.timeSigDenominator = 8;
  r.host->process(block, nullptr, &context);
  EXPECT_DOUBLE_EQ(r.plug->GetTimeInfo().mSamplePos, 48000.0);
  EXPECT_TRUE(r.plug->GetTimeInfo().mTransportIsRunning);
  EXPECT_FALSE(r.plug->GetTimeInfo().mTransportLoopEnabled);
  EXPECT_EQ(r.plug->GetTimeInfo().mNumerator, 3);

  r.host->process(block);  // a block without a context keeps the last one
  EXPECT_DOUBLE_EQ(r.plug->GetTimeInfo().mTempo, 90.0);
  context.state = ProcessContext::kPlaying;
  r.host->process(block, nullptr, &context);
  EXPECT_DOUBLE_EQ(r.plug->GetTimeInfo().mSamplePos, -1.0);
}

TEST(Process, FlushAppliesParametersWithoutAudio) {
  Running r;
  AudioBlock block(2, 2, 64, kSample32);
  block.fillOut(7.0);
  block.setFrames(0);
  ParameterChanges changes;
  changes.add(9, 0, 1.0);
  r.host->process(block, &changes);
  EXPECT_DOUBLE_EQ(r.plug->GetParam(9)->Value(), 60);
  EXPECT_EQ(r.plug->processBlocks.load(), 0);
  EXPECT_DOUBLE_EQ(block.out(0, 0), 7.0);
}

TEST(Process, MonoHostBusOnTheStereoPlugin) {
  for (int32 size : kSizes) {
    SCOPED_TRACE(sizeName(size));
    Running r(size);
    AudioBlock stereo(2, 2, 64, size);
    stereo.fillIn(1.0);
    stereo.setFrames(64);
    r.host->process(stereo);
    AudioBlock mono(1, 2, 64, size);
    mono.fillIn(0.5);
    mono.setFrames(64);
    r.host->process(mono);
    EXPECT_TRUE(r.plug->IsChannelConnected(plugkit::kInput, 0));
    EXPECT_FALSE(r.plug->IsChannelConnected(plugkit::kInput, 1));
    EXPECT_DOUBLE_EQ(mono.out(0, 10), 0.5);
    EXPECT_DOUBLE_EQ(mono.out(1, 10), 0.0);  // silence, not the last stereo block
  }
}

TEST(Process, MissingBusesAndNullArraysAreDisconnected) {
  for (int32 size : kSizes) {
    SCOPED_TRACE(sizeName(size));
    Running r(size);
    AudioBlock block(2, 2, 64, size);
    block.fillIn(1.0);
    block.setFrames(64);
    r.host->process(block);

    block.removeInputBus();
    block.fillOut(9.0);
    r.host->process(block);
    EXPECT_EQ(r.plug->NChannelsConnected(plugkit::kInput), 0);
    EXPECT_DOUBLE_EQ(block.out(0, 5), 0.0);  // no input: silence

    block.restoreBuses();
    block.nullInputArrays();
    r.host->process(block);
    EXPECT_DOUBLE_EQ(block.out(1, 5), 0.0);

    block.restoreBuses();
    block.removeOutputBus();
    block.fillOut(9.0);
    r.host->process(block);
    EXPECT_EQ(r.plug->NChannelsConnected(plugkit::kOutput), 0);
    EXPECT_DOUBLE_EQ(block.out(0, 5), 9.0);  // never written

    block.restoreBuses();
    block.nullOutputArrays();
    r.host->process(block);
    EXPECT_DOUBLE_EQ(block.out(0, 5), 9.0);
  }
}

TEST(Process, MoreHostBusesThanTheComponentHas) {
  Running r;
  AudioBlock first(2, 2, 64, kSample32), second(2, 2, 64, kSample32);
  first.fillIn(0.5);
  AudioBusBuffers outs[2] = {first.data().outputs[0], second.data().outputs[0]};
  AudioBusBuffers ins[2] = {first.data().inputs[0], second.data().inputs[0]};
  ProcessData& data = first.data();
  data.outputs = outs;
  data.inputs = ins;
  data.numOutputs = 2;
  data.numInputs = 2;
  data.numSamples = 64;
  second.fillOut(3.0);
  outs[1].silenceFlags = 0xFF;
  r.host->process(first);
  EXPECT_DOUBLE_EQ(first.out(0, 1), 0.5);
  EXPECT_DOUBLE_EQ(second.out(0, 1), 3.0);
  EXPECT_EQ(outs[0].silenceFlags, 0u);
  EXPECT_EQ(outs[1].silenceFlags, 0xFFu);
}

TEST(Process, BlocksLongerThanTheMaximumAreSliced) {
  for (int32 size : kSizes) {
    SCOPED_TRACE(sizeName(size));
    Running r(size, 256);
    AudioBlock block(2, 2, 512, size);
    for (int i = 0; i < 512; ++i) block.setIn(0, i, i * 0.001);
    block.setFrames(512);
    r.host->process(block);
    EXPECT_EQ(r.plug->processBlocks.load(), 2);
    EXPECT_EQ(r.plug->maxBlockFrames.load(), 256);
    for (int i : {0, 255, 256, 511}) EXPECT_DOUBLE_EQ(block.out(0, i), block.in(0, i)) << i;
  }
}

TEST(Process, PassThroughIsBitExactOverRandomBlockSizes) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> sample(-1.0, 1.0);
  std::uniform_int_distribution<int> blockSize(1, 4096);
  for (int32 size : kSizes) {
    SCOPED_TRACE(sizeName(size));
    Running r(size, 4096);
    AudioBlock block(2, 2, 4096, size);
    int blocks = 0;
    for (int frames = 0; frames < 48000; ++blocks) {
      const int n = blockSize(rng);
      for (int c = 0; c < 2; ++c)
        for (int i = 0; i < n; ++i) block.setIn(c, i, sample(rng));
      block.setFrames(n);
      r.host->process(block);
      for (int c = 0; c < 2; ++c)
        for (int i = 0; i < n; ++i) ASSERT_EQ(block.out(c, i), block.in(c, i)) << "block " << blocks << " frame " << i;
      frames += n;
    }
  }
}

TEST(Process, ImpossibleSetupsAreRefusedAndTheOldSetupStays) {
  Running r(kSample32, 512);
  struct Case {
    const char* what;
    ProcessSetup setup;
  } cases[] = {
      {"zero rate", {kRealtime, kSample32, 512, 0.0}},
      {"negative rate", {kRealtime, kSample32, 512, -48000.0}},
      {"NaN rate", {kRealtime, kSample32, 512, std::nan("")}},
      {"infinite rate", {kRealtime, kSample32, 512, INFINITY}},
      {"zero block", {kRealtime, kSample32, 0, 48000.0}},
      {"negative block", {kRealtime, kSample32, -5, 48000.0}},
      {"unknown sample size", {kRealtime, 7, 512, 48000.0}},
  };
  for (Case c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(r.host->processor()->setupProcessing(c.setup), kResultFalse);
    EXPECT_DOUBLE_EQ(r.plug->GetSampleRate(), 48000.0);
    EXPECT_EQ(r.plug->GetBlockSize(), 512);
    EXPECT_EQ(r.plug->GetProcessSetup().symbolicSampleSize, kSample32);
  }
  EXPECT_EQ(r.host->processor()->canProcessSampleSize(kSample64), kResultTrue);
  EXPECT_EQ(r.host->processor()->canProcessSampleSize(2), kResultFalse);
  ProcessSetup huge{kRealtime, kSample64, 1 << 28, 96000.0};  // scratch capped, longer blocks sliced
  EXPECT_EQ(r.host->processor()->setupProcessing(huge), kResultOk);
  EXPECT_EQ(r.plug->GetBlockSize(), plugkit::IPluginProcessor::kMaxBlockSize);
  EXPECT_EQ(r.plug->countInLog("OnReset"), 1);
}

TEST(Process, NothingIsAllocated) {
  alloccount::start();
  int* probe = new int(1);  // the counter sees this thread's allocations
  asm volatile("" : : "g"(probe) : "memory");
  delete probe;
  ASSERT_EQ(alloccount::stop(), 1);
  for (int32 size : kSizes) {
    SCOPED_TRACE(sizeName(size));
    Running r(size, 512);
    AudioBlock stereo(2, 2, 1024, size), mono(1, 2, 1024, size);
    ParameterChanges changes;
    ProcessContext context{};
    context.state = ProcessContext::kProjectTimeMusicValid;
    stereo.setFrames(1024);  // twice the maximum: sliced
    mono.setFrames(100);
    r.host->process(stereo);  // warm up
    for (int round = 0; round < 2; ++round) {
      changes.clear();
      for (ParamID id = 0; id < 18; ++id) changes.add(id, 5, 0.3 + 0.1 * round);
      changes.add(plugkit::kBypassParamId, 0, round == 0 ? 1.0 : 0.0);
      alloccount::start();
      r.host->process(stereo, &changes, &context);
      r.host->process(mono, &changes);
      stereo.removeInputBus();
      r.host->process(stereo);
      stereo.restoreBuses();
      const long allocations = alloccount::stop();
      EXPECT_EQ(allocations, 0) << "round " << round;
    }
  }
}

TEST(Process, MidiControllersAndEditorMessages) {
  Running r(kSample32, 512, kRealtime, sp::test::midiConfig());
  AudioBlock block(2, 2, 64, kSample32);
  block.setFrames(64);
  ParameterChanges changes;
  changes.add(plugkit::kMIDICCParamStartIdx + 130 * 1 + 7, 12, 1.0);    // channel 1, volume
  changes.add(plugkit::kMIDICCParamStartIdx + 129, 3, 0.5);             // pitch bend centre
  changes.add(plugkit::kMIDICCParamStartIdx + 130 * 16 + 7, 0, 1.0);    // channel 16 does not exist
  r.host->process(block, &changes);
  ASSERT_EQ(r.plug->nMidi.load(), 2);
  EXPECT_EQ(r.plug->midi[0].mStatus, 0xB1);
  EXPECT_EQ(r.plug->midi[0].mData1, 7);
  EXPECT_EQ(r.plug->midi[0].mData2, 127);
  EXPECT_EQ(r.plug->midi[0].mOffset, 12);
  EXPECT_EQ(r.plug->midi[1].mStatus, 0xE0);
  EXPECT_EQ(r.plug->midi[1].mData1, 0);
  EXPECT_EQ(r.plug->midi[1].mData2, 64);

  // The editor's queue holds 32: the 33rd message is dropped.
  r.plug->nMidi.store(0);
  for (int i = 0; i < 33; ++i) r.plug->SendMidiMsgFromUI(plugkit::IMidiMsg(0, 0x90, static_cast<uint8_t>(i), 100));
  testhost::EventList events;
  block.data().inputEvents = &events;
  Event noteOn{};
  noteOn.type = Event::kNoteOnEvent;
  noteOn.noteOn.channel = 2;
  noteOn.noteOn.pitch = 64;
  noteOn.noteOn.velocity = 1.0f;
  events.addEvent(noteOn);
  noteOn.noteOn.channel = 40;  // no such channel: skipped
  events.addEvent(noteOn);
  r.host->process(block);
  ASSERT_EQ(r.plug->nMidi.load(), 1 + 32);
  EXPECT_EQ(r.plug->midi[0].mStatus, 0x92);
  EXPECT_EQ(r.plug->midi[32].mData1, 31);
}

}  // namespace
