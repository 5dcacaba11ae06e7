#pragma once
// Milliseconds of the monotonic clock, the one time base of animations and frame times.
// Tests install their own source so frames and animations step deterministically.
namespace plugkit::canvas {

double NowMs();
// Replaces the clock; null restores the monotonic clock. Main thread only.
void SetTimeSource(double (*source)());

}  // namespace plugkit::canvas
