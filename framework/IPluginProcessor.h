#pragma once
// The audio half of the plug-in object, independent of the plug-in API: channel
// configurations parsed from the Config text, one record per input and output channel,
// the host's buffers attached for each block (64-bit in place, 32-bit through per-channel
// 64-bit scratch buffers), ProcessBlock or bypass pass-through, and the sample rate,
// block size, latency (with its bypass delay line), tail, transport and flags.
//
// Per-block operations run on the audio thread and allocate nothing. SetBlockSize and
// SetLatency allocate: main thread, processing stopped.
#include <atomic>
#include <cstdint>
#include <vector>

#include "framework/Config.h"
#include "framework/IPlugStructs.h"
#include "framework/StringBuf.h"

namespace plugkit {

// One bus of a channel configuration; a wildcard bus has kWildcardChannels channels.
struct IBusInfo {
  ERoute mDirection;
  int mNChans;
};

// One parsed channel configuration: per direction a list of buses.
struct IOConfig {
  static constexpr int kWildcardChannels = -64;
  std::vector<IBusInfo> mBusInfo[2];

  void AddBusInfo(ERoute direction, int nChans) { mBusInfo[direction].push_back(IBusInfo{direction, nChans}); }
  const IBusInfo* GetBusInfo(ERoute direction, int index) const {
    const auto& buses = mBusInfo[direction];
    return (index >= 0 && index < static_cast<int>(buses.size())) ? &buses[static_cast<size_t>(index)] : nullptr;
  }
  int NBuses(ERoute direction) const { return static_cast<int>(mBusInfo[direction].size()); }
  // The channel count of a bus; 0 when there is no such bus.
  int NChansOnBusSAFE(ERoute direction, int index) const {
    const IBusInfo* bus = GetBusInfo(direction, index);
    return bus ? bus->mNChans : 0;
  }
  // Sum of the channel counts (a wildcard adds kWildcardChannels).
  int GetTotalNChannels(ERoute direction) const {
    int total = 0;
    for (const IBusInfo& bus : mBusInfo[direction]) total += bus.mNChans;
    return total;
  }
  bool ContainsWildcard(ERoute direction) const {
    for (const IBusInfo& bus : mBusInfo[direction])
      if (bus.mNChans == kWildcardChannels) return true;
    return false;
  }
};

// One channel of the processor. mData points at the channel's slot in its direction's
// pointer array; setting the slot is how a buffer is attached.
template <class TIN = float, class TOUT = double>
struct IChannelData {
  bool mConnected = false;
  TOUT** mData = nullptr;
  TIN* mIncoming = nullptr;
  std::vector<TOUT> mScratchBuf;
  StringBuf mLabel;
};

// Latency compensation for bypass: a ring of `delay` samples per input channel.
template <class T>
class NChanDelayLine {
public:
  NChanDelayLine(int nInChans, int nOutChans) : mNInChans(nInChans), mNOutChans(nOutChans) {}

  // Allocates: main thread only.
  void SetDelayTime(int delaySamples) {
    mDelay = delaySamples > 0 ? delaySamples : 0;
    mBuffer.assign(static_cast<size_t>(mNInChans) * static_cast<size_t>(mDelay), T(0));
    mWritePos = 0;
  }
  int GetDelayTime() const { return mDelay; }

  void ProcessBlock(T** inputs, T** outputs, int nFrames) {
    if (mDelay <= 0) return;
    const int nChans = mNInChans < mNOutChans ? mNInChans : mNOutChans;
    for (int s = 0; s < nFrames; ++s) {
      for (int c = 0; c < nChans; ++c) {
        T* ring = mBuffer.data() + static_cast<size_t>(c) * static_cast<size_t>(mDelay);
        const T in = inputs[c] ? inputs[c][s] : T(0);
        const T delayed = ring[mWritePos];
        ring[mWritePos] = in;
        if (outputs[c]) outputs[c][s] = delayed;
      }
      if (++mWritePos >= mDelay) mWritePos = 0;
    }
  }

private:
  std::vector<T> mBuffer;
  int mNInChans;
  int mNOutChans;
  int mWritePos = 0;
  int mDelay = 0;
};

class IPluginProcessor {
public:
  // The largest scratch size per channel; longer host blocks are sliced by the binding.
  static constexpr int kMaxBlockSize = 65536;

  IPluginProcessor(const Config& config, EAPI api);
  virtual ~IPluginProcessor();
  IPluginProcessor(const IPluginProcessor&) = delete;
  IPluginProcessor& operator=(const IPluginProcessor&) = delete;

  // Hooks.
  // Default: copies input channel i to output channel i (zeros where there is no input).
  virtual void ProcessBlock(double** inputs, double** outputs, int nFrames);
  virtual void ProcessMidiMsg(const IMidiMsg& msg) { SendMidiMsg(msg); }
  virtual void ProcessSysEx(const ISysEx& msg) {}
  virtual void OnReset() {}
  virtual void OnActivate(bool active) {}
  virtual bool SendMidiMsg(const IMidiMsg& msg) = 0;
  virtual bool SendMidiMsgs(const std::vector<IMidiMsg>& msgs);
  virtual bool SendSysEx(const ISysEx& msg) { return false; }
  virtual void GetBusName(ERoute direction, int busIdx, int nBuses, StringBuf& name) const;
  virtual void SetLatency(int latency);
  virtual void SetTailSize(int tailSize) { mTailSize = tailSize; }

  // Channel configurations.
  int NIOConfigs() const { return static_cast<int>(mIOConfigs.size()); }
  const IOConfig* GetIOConfig(int idx) const {
    return (idx >= 0 && idx < NIOConfigs()) ? &mIOConfigs[static_cast<size_t>(idx)] : nullptr;
  }
  int MaxNBuses(ERoute direction, int* configIdx = nullptr) const;
  int MaxNChannelsForBus(ERoute direction, int busIdx) const;
  int GetIOConfigWithChanCounts(const std::vector<int>& inputBuses, const std::vector<int>& outputBuses) const;
  bool LegalIO(int nIn, int nOut) const;
  int MaxNChannels(ERoute direction) const { return static_cast<int>(mChannelData[direction].size()); }
  int NChannelsConnected(ERoute direction) const;
  bool IsChannelConnected(ERoute direction, int chIdx) const;
  // Parses a configuration text such as "1-1 2-2"; returns the number of configurations.
  static int ParseChannelIOStr(const char* text, std::vector<IOConfig>& configs, int& totalNInChans,
                               int& totalNOutChans, int& totalNInBuses, int& totalNOutBuses);

  // Channel management.
  // Disconnecting points a channel's slot at its scratch buffer and, when the channel was
  // connected, zeroes that buffer, so a channel the host stops feeding reads silence.
  void SetChannelConnections(ERoute direction, int idx, int n, bool connected);
  void SetChannelLabel(ERoute direction, int idx, const char* format, bool zeroBased = true);
  const char* GetChannelLabel(ERoute direction, int idx) const;
  void LimitToStereoIO();

  // Per block (audio thread). nFrames never exceeds the block size here: the binding
  // slices longer host blocks, and these operations cut what is left over.
  void AttachBuffers(ERoute direction, int idx, int n, double** buffers, int nFrames);
  void AttachBuffers(ERoute direction, int idx, int n, float** buffers, int nFrames);
  void ProcessBuffers(double, int nFrames);
  void ProcessBuffers(float, int nFrames);
  void ProcessBuffersAccumulating(int nFrames);
  void PassThroughBuffers(double, int nFrames);
  void PassThroughBuffers(float, int nFrames);
  void ZeroScratchBuffers();

  // Settings (main thread, processing stopped). SetBlockSize is all or nothing: on
  // allocation failure it throws and nothing changed.
  void SetBlockSize(int blockSize);
  void SetSampleRate(double sampleRate) { mSampleRate = sampleRate; }
  void InitLatencyDelay();

  // State.
  double GetSampleRate() const { return mSampleRate; }
  int GetBlockSize() const { return mBlockSize; }
  int GetLatency() const { return mLatency; }
  int GetTailSize() const { return mTailSize; }
  bool GetTailIsInfinite() const { return mTailSize == 0x7FFFFFFF; }
  // Written on the audio thread, read by the idle tick: relaxed atomics.
  bool GetBypassed() const { return mBypassed.load(std::memory_order_relaxed); }
  void SetBypassed(bool bypassed) { mBypassed.store(bypassed, std::memory_order_relaxed); }
  bool GetRenderingOffline() const { return mRenderingOffline.load(std::memory_order_relaxed); }
  void SetRenderingOffline(bool offline) { mRenderingOffline.store(offline, std::memory_order_relaxed); }
  const ITimeInfo& GetTimeInfo() const { return mTimeInfo; }
  double GetSamplesPerBeat() const;
  double GetTempo() const { return mTimeInfo.mTempo; }
  double GetSamplePos() const { return mTimeInfo.mSamplePos; }
  bool GetTransportIsRunning() const { return mTimeInfo.mTransportIsRunning; }
  int GetPluginKind() const { return mPluginKind; }
  bool DoesMIDIIn() const { return mTakesMidi; }
  bool DoesMIDIOut() const { return mSendsMidi; }
  bool DoesMPE() const { return mTakesMpe; }
  int GetAUPluginType() const;
  // The pointer arrays handed to ProcessBlock (one slot per channel).
  double** GetInputPointers() { return mInputPointers.data(); }
  double** GetOutputPointers() { return mOutputPointers.data(); }

protected:
  ITimeInfo mTimeInfo;

private:
  std::vector<IChannelData<>>& Channels(ERoute direction) { return mChannelData[direction]; }

  int mPluginKind = 0;
  bool mTakesMidi = false;
  bool mSendsMidi = false;
  bool mTakesMpe = false;
  int mLatency = 0;
  double mSampleRate = 48000.0;
  int mBlockSize = 0;
  int mTailSize = 0;
  std::atomic<bool> mBypassed{false};
  std::atomic<bool> mRenderingOffline{false};
  std::vector<IOConfig> mIOConfigs;
  std::vector<double*> mInputPointers;
  std::vector<double*> mOutputPointers;
  std::vector<IChannelData<>> mChannelData[2];
  std::vector<NChanDelayLine<double>> mLatencyDelay;  // empty, or one line when there are inputs
};

}  // namespace plugkit
