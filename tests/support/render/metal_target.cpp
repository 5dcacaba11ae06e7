// Offscreen NanoVG target on the Metal back end (see metal_target.h).
#include "tests/support/render/metal_target.h"

#include <cstdlib>
#include <filesystem>

#include "tests/support/temp_dir.h"
#include "tools/png/png_file.h"

namespace sp::test {

MetalTarget::MetalTarget(int w, int h, int flags) : w_(w), h_(h), pixels_(size_t(w) * size_t(h) * 4) {
  layer_.setDrawableSize({double(w), double(h)});
  vg_ = nvgCreateMTL(&layer_, flags);
  if (vg_) fb_ = mvgCreateFramebuffer(vg_, w, h, 0);
}

MetalTarget::~MetalTarget() {
  mvgDeleteFramebuffer(fb_);
  if (vg_) nvgDeleteMTL(vg_);
}

void MetalTarget::begin(float ratio, NVGcolor clear) {
  mvgBindFramebuffer(fb_);
  nvgBeginFrame(vg_, float(w_) / ratio, float(h_) / ratio, ratio);
  mvgClearWithColor(vg_, clear);
}

const std::vector<uint8_t>& MetalTarget::end() {
  nvgEndFrame(vg_);
  mvgReadPixels(vg_, fb_->image, 0, 0, w_, h_, pixels_.data());
  mvgBindFramebuffer(nullptr);
  return pixels_;
}

Rgba MetalTarget::at(int x, int y) const { return pixelAt(pixels_, w_, x, y); }

Rgba pixelAt(const std::vector<uint8_t>& rgba, int w, int x, int y) {
  const size_t i = (size_t(y) * size_t(w) + size_t(x)) * 4;
  return {rgba[i], rgba[i + 1], rgba[i + 2], rgba[i + 3]};
}

std::string savePng(const std::string& name, int w, int h, const std::vector<uint8_t>& rgba) {
  const char* dir = std::getenv("SP_RENDER_PNG_DIR");
  const std::filesystem::path folder = dir && *dir ? std::filesystem::path(dir) : tempRoot() / "png";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  const std::string path = (folder / (name + ".png")).string();
  pngfile::writePremultipliedPng(path, w, h, rgba);
  return path;
}

}  // namespace sp::test
