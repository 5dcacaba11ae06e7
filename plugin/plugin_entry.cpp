// What this module's factory registers and creates.
#include "framework/vst3/PluginEntry.h"
#include "plugin/SpectraPoise.h"

namespace plugkit {

const ModuleInfo& GetModuleInfo() {
  static const ModuleInfo info{
      "Brightloom",
      "https://www.brightloom.example",
      "",
      {0xF2AEE70D, 0x00DE4F4E, 0x42726C6D /* 'Brlm' */, 0x42725370 /* 'BrSp' */},
      "SpectraPoise",
      "Fx|Analyzer|Mastering",
      "0.4.10",
      "VST 3.8.1",
  };
  return info;
}

// A refused thread start (or any other failure while building the instance) reaches the
// host as a failed creation, never as an exception.
IPluginVST3* MakePlug(const InstanceInfo& info) {
  try {
    return new SpectraPoise(info);
  } catch (...) {
    return nullptr;
  }
}

}  // namespace plugkit
