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

IPluginVST3* MakePlug(const InstanceInfo& info) { return new SpectraPoise(info); }

}  // namespace plugkit
