// The editor's panel layout. The panel's controls are not built yet: the editor opens
// without controls.
#include "plugin/SpectraPoise.h"

void SpectraPoise::layout(plugkit::canvas::ICanvas*) {}
