// The 20 ms main-thread tick: the freeze capture always; with the editor open, the panel's
// analysis (or only the target while bypassed).
#include "graphics/ICanvas.h"
#include "plugin/SpectraPoise.h"

using namespace spectrapoise::plugin;

void SpectraPoise::OnIdle() {
  captureFreeze();

  if (!editorOpen_.load() || GetUI() == nullptr) return;
  const bool bypassed = paramOn(kBypass) || GetBypassed();
  if (bypassed)
    viewTarget();
  else
    analyseForPanel();
}
