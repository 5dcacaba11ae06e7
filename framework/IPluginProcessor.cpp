#include "framework/IPluginProcessor.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace plugkit {

namespace {

// Conversions between the host's 32-bit samples and the processor's 64-bit ones, in runs
// of eight so the compiler turns the inner loop into vector code.
template <class From, class To>
inline void convert(const From* __restrict in, To* __restrict out, int n) {
  int i = 0;
  for (; i + 8 <= n; i += 8)
    for (int k = 0; k < 8; ++k) out[i + k] = static_cast<To>(in[i + k]);
  for (; i < n; ++i) out[i] = static_cast<To>(in[i]);
}

// True when two buffers of `bytes` bytes do not overlap.
inline bool apart(const void* a, const void* b, size_t bytes) {
  const auto x = reinterpret_cast<uintptr_t>(a), y = reinterpret_cast<uintptr_t>(b);
  return x + bytes <= y || y + bytes <= x;
}

inline void accumulate(const double* __restrict in, float* __restrict out, int n) {
  int i = 0;
  for (; i + 8 <= n; i += 8)
    for (int k = 0; k < 8; ++k) out[i + k] += static_cast<float>(in[i + k]);
  for (; i < n; ++i) out[i] += static_cast<float>(in[i]);
}

// Splits text at every occurrence of sep, dropping empty pieces.
std::vector<std::string> split(const std::string& text, char sep) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t at = text.find(sep, start);
    const size_t end = at == std::string::npos ? text.size() : at;
    if (end > start) pieces.push_back(text.substr(start, end - start));
    if (at == std::string::npos) break;
    start = at + 1;
  }
  return pieces;
}

// Reads one side of a configuration ("2", "2.1", "*") into config; answers its channel total.
int parseSide(const std::string& side, ERoute direction, IOConfig& config) {
  int total = 0;
  for (const std::string& token : split(side, '.')) {
    int nChans = 0;
    if (token == "*") {
      nChans = IOConfig::kWildcardChannels;
    } else {
      errno = 0;
      const long value = std::strtol(token.c_str(), nullptr, 10);
      nChans = static_cast<int>(std::clamp<long>(value, 0, 4096));
    }
    total += nChans;
    if (nChans != 0) config.AddBusInfo(direction, nChans);
  }
  return total;
}

}  // namespace

IPluginProcessor::IPluginProcessor(const Config& config, EAPI)
    : mPluginKind(config.pluginKind),
      mTakesMidi(config.takesMidi),
      mSendsMidi(config.sendsMidi),
      mTakesMpe(config.takesMpe),
      mLatency(config.latency) {
  int totalNIn = 0, totalNOut = 0, totalNInBuses = 0, totalNOutBuses = 0;
  ParseChannelIOStr(config.channelIO, mIOConfigs, totalNIn, totalNOut, totalNInBuses, totalNOutBuses);

  mInputPointers.assign(static_cast<size_t>(totalNIn), nullptr);
  mOutputPointers.assign(static_cast<size_t>(totalNOut), nullptr);
  mChannelData[kInput].resize(static_cast<size_t>(totalNIn));
  mChannelData[kOutput].resize(static_cast<size_t>(totalNOut));
  for (int i = 0; i < totalNIn; ++i) mChannelData[kInput][static_cast<size_t>(i)].mData = &mInputPointers[i];
  for (int i = 0; i < totalNOut; ++i) mChannelData[kOutput][static_cast<size_t>(i)].mData = &mOutputPointers[i];
}

IPluginProcessor::~IPluginProcessor() = default;

int IPluginProcessor::ParseChannelIOStr(const char* text, std::vector<IOConfig>& configs, int& totalNInChans,
                                        int& totalNOutChans, int& totalNInBuses, int& totalNOutBuses) {
  totalNInChans = totalNOutChans = totalNInBuses = totalNOutBuses = 0;
  if (text == nullptr) return 0;
  int count = 0;
  for (const std::string& item : split(text, ' ')) {
    IOConfig config;
    const size_t dash = item.find('-');
    const std::string inSide = item.substr(0, dash);
    const std::string outSide = dash == std::string::npos ? std::string() : item.substr(dash + 1);
    const int nIn = parseSide(inSide, kInput, config);
    const int nOut = parseSide(outSide, kOutput, config);
    totalNInChans = std::max(totalNInChans, nIn);
    totalNOutChans = std::max(totalNOutChans, nOut);
    totalNInBuses = std::max(totalNInBuses, config.NBuses(kInput));
    totalNOutBuses = std::max(totalNOutBuses, config.NBuses(kOutput));
    configs.push_back(std::move(config));
    ++count;
  }
  return count;
}

int IPluginProcessor::MaxNBuses(ERoute direction, int* configIdx) const {
  int maxBuses = 0;
  int index = 0;
  for (int i = 0; i < NIOConfigs(); ++i) {
    const int n = mIOConfigs[static_cast<size_t>(i)].NBuses(direction);
    if (n >= maxBuses) {
      maxBuses = n;
      index = i;
    }
  }
  if (configIdx != nullptr) *configIdx = index;
  return maxBuses;
}

int IPluginProcessor::MaxNChannelsForBus(ERoute direction, int busIdx) const {
  if (NIOConfigs() == 0) return 0;
  if (mIOConfigs[0].ContainsWildcard(direction)) return -1;
  int maxChans = 0;
  for (const IOConfig& config : mIOConfigs) maxChans = std::max(maxChans, config.NChansOnBusSAFE(direction, busIdx));
  return maxChans;
}

int IPluginProcessor::GetIOConfigWithChanCounts(const std::vector<int>& inputBuses,
                                                const std::vector<int>& outputBuses) const {
  for (int i = 0; i < NIOConfigs(); ++i) {
    const IOConfig& config = mIOConfigs[static_cast<size_t>(i)];
    if (config.NBuses(kInput) != static_cast<int>(inputBuses.size()) ||
        config.NBuses(kOutput) != static_cast<int>(outputBuses.size()))
      continue;
    bool match = true;
    for (size_t b = 0; b < inputBuses.size() && match; ++b)
      match = config.NChansOnBusSAFE(kInput, static_cast<int>(b)) == inputBuses[b];
    for (size_t b = 0; b < outputBuses.size() && match; ++b)
      match = config.NChansOnBusSAFE(kOutput, static_cast<int>(b)) == outputBuses[b];
    if (match) return i;
  }
  return -1;
}

bool IPluginProcessor::LegalIO(int nIn, int nOut) const {
  if (NIOConfigs() == 0) return false;
  if (nIn < 0 && nOut < 0) return true;
  for (const IOConfig& config : mIOConfigs) {
    const bool inOk = nIn < 0 || config.GetTotalNChannels(kInput) == nIn;
    const bool outOk = nOut < 0 || config.GetTotalNChannels(kOutput) == nOut;
    if (inOk && outOk) return true;
  }
  return false;
}

int IPluginProcessor::NChannelsConnected(ERoute direction) const {
  int count = 0;
  for (const IChannelData<>& channel : mChannelData[direction]) count += channel.mConnected ? 1 : 0;
  return count;
}

bool IPluginProcessor::IsChannelConnected(ERoute direction, int chIdx) const {
  const auto& channels = mChannelData[direction];
  return chIdx >= 0 && chIdx < static_cast<int>(channels.size()) && channels[static_cast<size_t>(chIdx)].mConnected;
}

void IPluginProcessor::GetBusName(ERoute direction, int busIdx, int nBuses, StringBuf& name) const {
  if (direction == kInput) {
    if (nBuses == 1)
      name.Set("Input");
    else if (nBuses == 2)
      name.Set(busIdx == 0 ? "Main" : "Aux");
    else
      name.SetFormatted(32, "Input %i", busIdx);
  } else {
    if (nBuses == 1)
      name.Set("Output");
    else
      name.SetFormatted(32, "Output %i", busIdx);
  }
}

void IPluginProcessor::SetChannelConnections(ERoute direction, int idx, int n, bool connected) {
  auto& channels = Channels(direction);
  const int count = static_cast<int>(channels.size());
  if (idx < 0) return;
  const int end = static_cast<int>(std::min<int64_t>(int64_t{idx} + n, count));
  for (int i = idx; i < end; ++i) {
    IChannelData<>& channel = channels[static_cast<size_t>(i)];
    if (!connected) {
      double* scratch = channel.mScratchBuf.empty() ? nullptr : channel.mScratchBuf.data();
      if (channel.mConnected && scratch != nullptr)
        std::memset(scratch, 0, channel.mScratchBuf.size() * sizeof(double));
      *channel.mData = scratch;
      channel.mIncoming = nullptr;
    }
    channel.mConnected = connected;
  }
}

void IPluginProcessor::SetChannelLabel(ERoute direction, int idx, const char* format, bool zeroBased) {
  auto& channels = Channels(direction);
  if (idx < 0 || idx >= static_cast<int>(channels.size()) || format == nullptr) return;
  channels[static_cast<size_t>(idx)].mLabel.SetFormatted(32, format, zeroBased ? idx : idx + 1);
}

const char* IPluginProcessor::GetChannelLabel(ERoute direction, int idx) const {
  const auto& channels = mChannelData[direction];
  if (idx < 0 || idx >= static_cast<int>(channels.size())) return "";
  return channels[static_cast<size_t>(idx)].mLabel.Get();
}

void IPluginProcessor::LimitToStereoIO() {
  const int nIn = MaxNChannels(kInput);
  const int nOut = MaxNChannels(kOutput);
  if (nIn > 2) SetChannelConnections(kInput, 2, nIn - 2, false);
  if (nOut > 2) SetChannelConnections(kOutput, 2, nOut - 2, true);
}

void IPluginProcessor::AttachBuffers(ERoute direction, int idx, int n, double** buffers, int nFrames) {
  auto& channels = Channels(direction);
  const int count = static_cast<int>(channels.size());
  if (idx < 0 || buffers == nullptr) return;
  const int end = static_cast<int>(std::min<int64_t>(int64_t{idx} + n, count));
  for (int i = idx; i < end; ++i) {
    IChannelData<>& channel = channels[static_cast<size_t>(i)];
    if (!channel.mConnected) continue;
    double* host = *buffers++;
    if (host == nullptr) {
      // A missing channel buffer reads as silence and takes no output.
      double* scratch = channel.mScratchBuf.empty() ? nullptr : channel.mScratchBuf.data();
      if (scratch != nullptr && direction == kInput)
        std::memset(scratch, 0, sizeof(double) * static_cast<size_t>(std::clamp(nFrames, 0, mBlockSize)));
      *channel.mData = scratch;
    } else {
      *channel.mData = host;
    }
  }
}

void IPluginProcessor::AttachBuffers(ERoute direction, int idx, int n, float** buffers, int nFrames) {
  auto& channels = Channels(direction);
  const int count = static_cast<int>(channels.size());
  if (idx < 0 || buffers == nullptr) return;
  const int frames = std::clamp(nFrames, 0, mBlockSize);
  const int end = static_cast<int>(std::min<int64_t>(int64_t{idx} + n, count));
  for (int i = idx; i < end; ++i) {
    IChannelData<>& channel = channels[static_cast<size_t>(i)];
    if (!channel.mConnected) continue;
    double* scratch = channel.mScratchBuf.empty() ? nullptr : channel.mScratchBuf.data();
    float* host = *buffers++;
    if (direction == kInput) {
      if (scratch != nullptr && frames > 0) {
        if (host != nullptr) {
          convert(host, scratch, frames);
        } else {
          std::memset(scratch, 0, sizeof(double) * static_cast<size_t>(frames));
        }
      }
      *channel.mData = scratch;
    } else {
      *channel.mData = scratch;
      channel.mIncoming = host;
    }
  }
}

void IPluginProcessor::ProcessBuffers(double, int nFrames) {
  ProcessBlock(mInputPointers.data(), mOutputPointers.data(), std::clamp(nFrames, 0, mBlockSize));
}

void IPluginProcessor::ProcessBuffers(float, int nFrames) {
  const int frames = std::clamp(nFrames, 0, mBlockSize);
  ProcessBlock(mInputPointers.data(), mOutputPointers.data(), frames);
  for (IChannelData<>& channel : mChannelData[kOutput]) {
    if (!channel.mConnected || channel.mIncoming == nullptr || *channel.mData == nullptr) continue;
    convert(*channel.mData, channel.mIncoming, frames);
  }
}

void IPluginProcessor::ProcessBuffersAccumulating(int nFrames) {
  const int frames = std::clamp(nFrames, 0, mBlockSize);
  ProcessBlock(mInputPointers.data(), mOutputPointers.data(), frames);
  for (IChannelData<>& channel : mChannelData[kOutput]) {
    if (!channel.mConnected || channel.mIncoming == nullptr || *channel.mData == nullptr) continue;
    accumulate(*channel.mData, channel.mIncoming, frames);
  }
}

void IPluginProcessor::PassThroughBuffers(double, int nFrames) {
  nFrames = std::clamp(nFrames, 0, mBlockSize);
  if (mLatency != 0 && !mLatencyDelay.empty())
    mLatencyDelay.front().ProcessBlock(mInputPointers.data(), mOutputPointers.data(), nFrames);
  else
    IPluginProcessor::ProcessBlock(mInputPointers.data(), mOutputPointers.data(), nFrames);
}

void IPluginProcessor::PassThroughBuffers(float, int nFrames) {
  PassThroughBuffers(0.0, nFrames);
  const int frames = std::clamp(nFrames, 0, mBlockSize);
  for (IChannelData<>& channel : mChannelData[kOutput]) {
    if (!channel.mConnected || channel.mIncoming == nullptr || *channel.mData == nullptr) continue;
    convert(*channel.mData, channel.mIncoming, frames);
  }
}

void IPluginProcessor::ZeroScratchBuffers() {
  for (auto& channels : mChannelData)
    for (IChannelData<>& channel : channels)
      if (!channel.mScratchBuf.empty())
        std::memset(channel.mScratchBuf.data(), 0, sizeof(double) * channel.mScratchBuf.size());
}

void IPluginProcessor::ProcessBlock(double** inputs, double** outputs, int nFrames) {
  if (outputs == nullptr || nFrames <= 0) return;
  const int nIn = MaxNChannels(kInput);
  const int nOut = MaxNChannels(kOutput);
  const size_t bytes = sizeof(double) * static_cast<size_t>(nFrames);
  for (int i = 0; i < nOut; ++i) {
    double* out = outputs[i];
    if (out == nullptr) continue;
    const double* in = (inputs != nullptr && i < nIn) ? inputs[i] : nullptr;
    if (in == nullptr)
      std::memset(out, 0, bytes);
    else if (apart(in, out, bytes))
      convert(in, out, nFrames);
    else if (in != out)
      std::memmove(out, in, bytes);  // overlapping; in place needs no copy
  }
}

bool IPluginProcessor::SendMidiMsgs(const std::vector<IMidiMsg>& msgs) {
  bool all = true;
  for (const IMidiMsg& msg : msgs) all = SendMidiMsg(msg) && all;
  return all;
}

void IPluginProcessor::SetBlockSize(int blockSize) {
  if (blockSize <= 0 || blockSize == mBlockSize) return;
  blockSize = std::min(blockSize, kMaxBlockSize);
  // Allocate every new buffer first, then swap them in: a failure changes nothing.
  std::vector<std::vector<double>> fresh[2];
  for (int d = 0; d < 2; ++d) {
    fresh[d].resize(mChannelData[d].size());
    for (auto& buffer : fresh[d]) buffer.assign(static_cast<size_t>(blockSize), 0.0);
  }
  for (int d = 0; d < 2; ++d) {
    auto& channels = mChannelData[d];
    for (size_t i = 0; i < channels.size(); ++i) {
      IChannelData<>& channel = channels[i];
      const double* old = channel.mScratchBuf.empty() ? nullptr : channel.mScratchBuf.data();
      channel.mScratchBuf.swap(fresh[d][i]);
      // A slot that pointed at the old scratch (or at nothing) follows the new one.
      if (*channel.mData == old || *channel.mData == nullptr) *channel.mData = channel.mScratchBuf.data();
    }
  }
  mBlockSize = blockSize;
}

void IPluginProcessor::SetLatency(int latency) {
  mLatency = latency;
  if (!mLatencyDelay.empty()) mLatencyDelay.front().SetDelayTime(latency);
}

void IPluginProcessor::InitLatencyDelay() {
  mLatencyDelay.clear();
  const int nIn = MaxNChannels(kInput);
  if (nIn > 0) {
    mLatencyDelay.emplace_back(nIn, MaxNChannels(kOutput));
    mLatencyDelay.front().SetDelayTime(mLatency);
  }
}

double IPluginProcessor::GetSamplesPerBeat() const {
  return mTimeInfo.mTempo > 0.0 ? mSampleRate * 60.0 / mTimeInfo.mTempo : 0.0;
}

int IPluginProcessor::GetAUPluginType() const {
  switch (mPluginKind) {
    case 0: return mTakesMidi ? static_cast<int>(FourCC("aumf")) : static_cast<int>(FourCC("aufx"));
    case 1: return static_cast<int>(FourCC("aumu"));
    case 2: return static_cast<int>(FourCC("aumi"));
    case 3: return static_cast<int>(FourCC("augn"));
    default: return static_cast<int>(FourCC("aufx"));
  }
}

}  // namespace plugkit
