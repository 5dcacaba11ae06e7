#pragma once
// Building the whole editor panel on an empty graphics context: fonts, background, every
// control in drawing order with its tag and group, each wired to the plug-in's editor
// services. Every rectangle is in the fixed 640 x 400 base units; the context scales the
// panel by its draw scale, so a resize never rebuilds it.
//
// The tags and groups the plug-in finds controls by are declared in plugin/panel_roles.h:
// 0 title, 1 footer, 2 spectrum, 3 legend, 4 readouts, 5 loudness meter, 6 loudness target
// chip, 7 target chip; groups "correct-shade", "freeze-shade", "bypass-shade".
//
// Main thread. A context that already holds controls is refused (nothing is attached):
// its tags would collide.
#include "graphics/ICanvas.h"
#include "plugin/editor_services.h"

namespace balance_panel {

// The logo's resource file.
inline constexpr const char* kLogoFile = "spectrapoise-lockup.svg";

// hostBypassed: the host's bypass is on (the bypass shade shows as for "Bypass").
// Answers false, attaching nothing, for a context that holds controls.
bool layOutPanel(plugkit::canvas::ICanvas& g, spectrapoise::plugin::EditorServices& plug, bool hostBypassed);

}  // namespace balance_panel
