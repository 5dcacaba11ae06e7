#pragma once
// Test hooks of the software GPU (Metal.h). Any thread; they affect devices as stated.
#include "shims/apple/metal/Metal.h"

namespace mtl::testing {

// How devices made from now on run their command buffers (Synchronous by default).
void setDefaultExecution(Device::Execution execution);
// While set, newLibraryWithData answers null with an error, as for a damaged library.
void setRejectLibraries(bool reject);
// While off, render passes started from now on shade every pixel one by one through the
// fragment function, as the reference for the rasteriser's fast paths (on by default).
void setFastPaths(bool on);
// Worker-thread devices only: holds back (lets go) the command buffers not yet started.
void pause(Device& device);
void resume(Device& device);

}  // namespace mtl::testing
