#pragma once
// The test platform's main queue: menus shown on the next turn, sheet completions and
// scripted text commits run when the test drains it. The queue type of every scripted
// platform (shims/apple/appkit/UIScript.h).
#include "shims/apple/appkit/UIScript.h"

namespace sp::test {

using MainQueue = uiscript::MainQueue;

}  // namespace sp::test
