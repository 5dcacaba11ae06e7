// Stand-in for the panel layout while the panel library is not part of the build: the
// editor opens without controls.
#include "plugin/SpectraPoise.h"

void SpectraPoise::layout(plugkit::canvas::ICanvas*) {}
