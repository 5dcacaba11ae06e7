#pragma once
// The AppKit stand-in, whole: a headless desktop for the editor's Cocoa code. Views and
// windows with real coordinate conversions, events injected by a script, menus, alerts,
// text fields, open and save panels and the colour panel that record what was shown and
// answer from the application's script, pasteboards in memory, cursors and URL opening
// recorded (see each header). Main thread only.
#include "shims/apple/appkit/AppKitFoundation.h"
#include "shims/apple/appkit/AppKitTypes.h"
#include "shims/apple/appkit/NSApplication.h"
#include "shims/apple/appkit/NSMenu.h"
#include "shims/apple/appkit/NSPanels.h"
#include "shims/apple/appkit/NSTextField.h"
#include "shims/apple/appkit/NSView.h"
#include "shims/apple/appkit/NSWorkspace.h"
