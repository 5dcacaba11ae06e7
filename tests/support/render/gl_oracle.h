#pragma once
// NanoVG's own GL3 back end on Mesa's software renderer (EGL, surfaceless), drawing into an
// RGBA8 + stencil framebuffer object: the reference the Metal back end is compared with.
// Test and benchmark use only. Thread: the creating thread (the GL context is current there).
// Failures: create answers null with a reason (no EGL display, no GL 3.3 core context).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct NVGcontext;

namespace sp::test {

class GlOracle {
public:
  // A w x h pixel target; flags are NanoVG's GL creation flags (1 antialias, 2 stencil strokes).
  static std::unique_ptr<GlOracle> create(int w, int h, int flags, std::string* error);
  ~GlOracle();

  NVGcontext* vg() const { return vg_; }
  void clear(float r, float g, float b, float a);  // straight colour, written premultiplied
  // Premultiplied RGBA, top row first.
  std::vector<uint8_t> readPixels() const;
  // One pixel, read back to close a frame (benchmarks).
  void finish() const;

private:
  GlOracle() = default;
  struct Gl;
  std::unique_ptr<Gl> gl_;
  NVGcontext* vg_ = nullptr;
  int w_ = 0, h_ = 0;
};

}  // namespace sp::test
