#pragma once
// This plug-in's preset files: "<name>.sppreset" in "SpectraPoise/Presets" under the user's
// application-support folder, first line "SpectraPoise preset 1".
#include "services/presets.h"

namespace spectrapoise::offline {

inline constexpr brightloom::presets::Format kPresetFormat{".sppreset", "SpectraPoise preset 1", "SpectraPoise",
                                                           "SpectraPoise"};

}  // namespace spectrapoise::offline
