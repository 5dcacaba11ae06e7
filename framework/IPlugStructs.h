#pragma once
// Small records and enumerations shared by the plug-in framework, the VST3 binding and
// the editor side: parameter-change sources, host and API ids, channel directions, MIDI
// and SysEx messages, the key-press record and the host's transport.
#include <cstdint>
#include <cstring>

namespace plugkit {

// A four-character code as a 32-bit word, first character in the most significant byte.
constexpr uint32_t FourCC(const char (&code)[5]) {
  return (uint32_t{static_cast<unsigned char>(code[0])} << 24) | (uint32_t{static_cast<unsigned char>(code[1])} << 16) |
         (uint32_t{static_cast<unsigned char>(code[2])} << 8) | uint32_t{static_cast<unsigned char>(code[3])};
}

// Where a parameter change came from.
enum EParamSource { kReset = 0, kHost = 1, kPresetRecall = 2, kUI = 3, kDelegate = 4 };

// The plug-in API the object is built for.
enum EAPI { kAPIVST2 = 0, kAPIVST3 = 1, kAPIAU = 2, kAPIAUv3 = 3, kAPIAAX = 4, kAPIAPP = 5, kAPIWAM = 6,
            kAPIWEB = 7, kAPICLAP = 8 };

// Channel direction.
enum ERoute { kInput = 0, kOutput = 1 };

// Host ids found from the host's name (-1 until identified, 0 unknown).
enum EHost {
  kHostUninit = -1,
  kHostUnknown = 0,
  kHostReaper = 1,
  kHostProTools = 2,
  kHostCubase = 3,
  kHostNuendo = 4,
  kHostSonar = 5,
  kHostVegas = 6,
  kHostFL = 7,
  kHostSamplitude = 8,
  kHostAbletonLive = 9,
  kHostTracktion = 10,
  kHostNTracks = 11,
  kHostMelodyneStudio = 12,
  kHostVSTScanner = 13,
  kHostAULab = 14,
  kHostForte = 15,
  kHostChainer = 16,
  kHostAudition = 17,
  kHostOrion = 18,
  kHostBias = 19,
  kHostSAWStudio = 20,
  kHostLogic = 21,
  kHostGarageBand = 22,
  kHostDigitalPerformer = 23,
  kHostStandalone = 24,
  kHostAudioMulch = 25,
  kHostStudioOne = 26,
  kHostVST3TestHost = 27,
  kHostArdour = 28,
  kHostRenoise = 29,
  kHostOpenMPT = 30,
  kHostWaveLab = 31,
  kHostWaveLabElements = 32,
  kHostTwistedWave = 33,
  kHostBitwig = 34,
  kHostWWW = 35,
  kHostReason = 36,
  kHostGoldWave5x = 37,
  kHostWaveform = 38,
  kHostAudacity = 39,
  kHostAcoustica = 40,
  kHostPluginDoctor = 41,
  kHostiZotopeRX = 42,
  kHostSAVIHost = 43,
  kHostBlueCat = 44,
  kHostMixbus = 45,
};

// One short MIDI message with its sample offset in the block.
struct IMidiMsg {
  int mOffset = 0;
  uint8_t mStatus = 0;
  uint8_t mData1 = 0;
  uint8_t mData2 = 0;

  IMidiMsg() = default;
  IMidiMsg(int offset, uint8_t status, uint8_t data1, uint8_t data2)
      : mOffset(offset), mStatus(status), mData1(data1), mData2(data2) {}

  int Channel() const { return mStatus & 0x0F; }
  int StatusMsg() const { return mStatus >> 4; }
  void Clear() { *this = IMidiMsg(); }

  // The name of a MIDI controller number (0-127); "" for numbers outside.
  static const char* CCNameStr(int controller);
};

// A SysEx message: a view of bytes owned by someone else.
struct ISysEx {
  int mOffset = 0;
  const uint8_t* mData = nullptr;
  int mSize = 0;

  ISysEx() = default;
  ISysEx(int offset, const uint8_t* data, int size) : mOffset(offset), mData(data), mSize(size) {}
};

// A SysEx message copied into a fixed record, for the queues between threads.
struct SysExData {
  static constexpr int kMaxBytes = 512;
  int mOffset = 0;
  int mSize = 0;
  uint8_t mData[kMaxBytes] = {};

  SysExData() = default;
  // Copies at most kMaxBytes bytes (longer messages are cut); zeros when there are none.
  SysExData(int offset, int size, const void* data) : mOffset(offset) {
    mSize = size < 0 ? 0 : (size > kMaxBytes ? kMaxBytes : size);
    if (data != nullptr && mSize > 0) std::memcpy(mData, data, static_cast<size_t>(mSize));
  }
};

// A key press handed to the editor: virtual-key code (Windows numbering), the typed
// character as zero-terminated UTF-8, and the shift, control and alt flags.
struct IKeyPress {
  int VK = 0;
  char utf8[5] = {};
  bool S = false;
  bool C = false;
  bool A = false;

  IKeyPress() = default;
  IKeyPress(const char* str, int vk, bool s = false, bool c = false, bool a = false) : VK(vk), S(s), C(c), A(a) {
    if (str != nullptr) std::memcpy(utf8, str, strnlen(str, sizeof(utf8) - 1));
  }
};

// The host's transport, filled before every block.
struct ITimeInfo {
  double mTempo = 120.0;
  double mSamplePos = -1.0;
  double mPPQPos = -1.0;
  double mLastBar = -1.0;
  double mCycleStart = -1.0;
  double mCycleEnd = -1.0;
  int mNumerator = 4;
  int mDenominator = 4;
  bool mTransportIsRunning = false;
  bool mTransportLoopEnabled = false;
};

}  // namespace plugkit
