// The editor's panel layout as the plug-in's layout function: the one panel file that sees
// the whole plug-in class. The panel itself is built over the plug-in's editor services
// (ui/panel_layout.h); the host's bypass comes from the framework.
#include "plugin/SpectraPoise.h"
#include "ui/panel_layout.h"

void SpectraPoise::layout(plugkit::canvas::ICanvas* graphics) {
  if (graphics != nullptr) balance_panel::layOutPanel(*graphics, *this, GetBypassed());
}
