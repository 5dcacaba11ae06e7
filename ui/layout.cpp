// The editor's panel layout: the one panel file that sees the whole plug-in class. It wires
// the panel's controls to the plug-in's editor services (plugin/editor_services.h), which
// is all the controls themselves may use. The controls are not built yet: the editor
// opens without controls.
#include "plugin/SpectraPoise.h"

void SpectraPoise::layout(plugkit::canvas::ICanvas*) {}
