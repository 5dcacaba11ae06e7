// What this module's factory registers and creates: the composition of the product. The
// plug-in gets the panel's layout and the platform's graphics maker here (the Mac graphics
// class, which opens the "NSView" editor).
#include <memory>

#include "framework/vst3/PluginEntry.h"
#include "platform/mac/ICanvasMac.h"
#include "plugin/SpectraPoise.h"
#include "plugin/version.h"

namespace plugkit {

const ModuleInfo& GetModuleInfo() {
  static const ModuleInfo info{
      "Brightloom",
      "https://www.brightloom.example",
      "",
      {0xF2AEE70D, 0x00DE4F4E, 0x42726C6D /* 'Brlm' */, 0x42725370 /* 'BrSp' */},
      "SpectraPoise",
      "Fx|Analyzer|Mastering",
      spectrapoise::plugin::kVersion,
      "VST 3.8.1",
  };
  return info;
}

// A failure while building the instance (a refused thread start, memory) propagates as
// its exception: the factory answers the host by its cause and frees what was built.
IPluginVST3* MakePlug(const InstanceInfo& info) {
  auto plug = std::make_unique<SpectraPoise>(info);
  SpectraPoise* product = plug.get();
  plug->SetLayoutFunc([product](canvas::ICanvas* graphics) { product->layout(graphics); });
  plug->setGraphicsMaker([product](canvas::ICanvasEditorDelegate& dlg, int w, int h, int fps, float scale) {
    return canvas::MakeGraphics(dlg, w, h, fps, scale, product->GetBundleID(), product->GetAppGroupID(),
                                "SpectraPoise");
  });
  return plug.release();
}

}  // namespace plugkit
