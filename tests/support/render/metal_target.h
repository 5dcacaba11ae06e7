#pragma once
// A NanoVG context on the Metal back end drawing into an offscreen framebuffer, for pixel
// tests: begin a frame, draw through NanoVG, end it and read the premultiplied RGBA back.
// Thread: the test's. Failures: vg() (and framebuffer()) are null when they could not be made.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "render/metal/nanovg_mtl.h"
#include "shims/apple/metal/Metal.h"

namespace sp::test {

using Rgba = std::array<int, 4>;

class MetalTarget {
public:
  MetalTarget(int w, int h, int flags = NVG_ANTIALIAS | NVG_STENCIL_STROKES | NVG_TRIPLE_BUFFER);
  ~MetalTarget();
  MetalTarget(const MetalTarget&) = delete;
  MetalTarget& operator=(const MetalTarget&) = delete;

  NVGcontext* vg() const { return vg_; }
  MVGframebuffer* framebuffer() const { return fb_; }
  mtl::MetalLayer& layer() { return layer_; }
  int width() const { return w_; }
  int height() const { return h_; }

  // Binds the framebuffer, begins a frame of w/ratio x h/ratio points and clears to `clear`.
  void begin(float ratio = 1.f, NVGcolor clear = nvgRGBAf(0, 0, 0, 0));
  // Ends the frame and reads the framebuffer back (premultiplied RGBA, top row first).
  const std::vector<uint8_t>& end();
  const std::vector<uint8_t>& pixels() const { return pixels_; }
  Rgba at(int x, int y) const;

private:
  mtl::MetalLayer layer_;
  NVGcontext* vg_ = nullptr;
  MVGframebuffer* fb_ = nullptr;
  int w_, h_;
  std::vector<uint8_t> pixels_;
};

// Pixel (x, y) of premultiplied RGBA rows of width w.
Rgba pixelAt(const std::vector<uint8_t>& rgba, int w, int x, int y);
// Writes the picture as a PNG (for looking at) into $SP_RENDER_PNG_DIR when set, else into the
// test process's temporary folder; answers its path.
std::string savePng(const std::string& name, int w, int h, const std::vector<uint8_t>& rgba);

}  // namespace sp::test
