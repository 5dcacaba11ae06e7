// gallery: draws the test scenes through NanoVG on the Metal back end and writes one PNG per
// scene (and one of the window's picture) into a folder, for a reviewer to look at.
//
//     gallery [out-dir]        (default: gallery-out)
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "render/metal/nanovg_mtl.h"
#include "shims/apple/metal/Metal.h"
#include "tools/png/png_file.h"
#include "tools/gallery/scenes.h"

namespace {

constexpr int kWidth = 640, kHeight = 400;

bool drawToPng(NVGcontext* vg, MVGframebuffer* fb, int w, int h, float ratio, const gallery::Scene& scene,
               const gallery::Assets& assets, const std::string& path) {
  mvgBindFramebuffer(fb);
  nvgBeginFrame(vg, float(w) / ratio, float(h) / ratio, ratio);
  mvgClearWithColor(vg, nvgRGBA(24, 26, 30, 255));
  scene.draw(vg, float(w) / ratio, float(h) / ratio, assets);
  nvgEndFrame(vg);
  std::vector<uint8_t> rgba(size_t(w) * size_t(h) * 4);
  mvgReadPixels(vg, fb->image, 0, 0, w, h, rgba.data());
  mvgBindFramebuffer(nullptr);
  return pngfile::writePremultipliedPng(path, w, h, rgba);
}

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path out = argc > 1 ? argv[1] : "gallery-out";
  std::error_code ec;
  std::filesystem::create_directories(out, ec);

  mtl::MetalLayer layer;
  layer.setDrawableSize({double(kWidth), double(kHeight)});
  NVGcontext* vg = nvgCreateMTL(&layer, NVG_ANTIALIAS | NVG_STENCIL_STROKES | NVG_TRIPLE_BUFFER);
  if (!vg) {
    std::fprintf(stderr, "gallery: could not create the NanoVG context\n");
    return 1;
  }
  gallery::Assets assets;
  std::string error;
  if (!gallery::loadAssets(vg, assets, &error)) {
    std::fprintf(stderr, "gallery: %s\n", error.c_str());
    nvgDeleteMTL(vg);
    return 1;
  }
  MVGframebuffer* fb = mvgCreateFramebuffer(vg, kWidth, kHeight, 0);
  MVGframebuffer* fb2 = mvgCreateFramebuffer(vg, kWidth * 2, kHeight * 2, 0);
  int failures = fb && fb2 ? 0 : 1;
  for (const auto& scene : gallery::scenes()) {
    const std::string path = (out / (std::string(scene.name) + ".png")).string();
    const std::string path2 = (out / (std::string(scene.name) + "@2x.png")).string();
    if (fb && drawToPng(vg, fb, kWidth, kHeight, 1.f, scene, assets, path))
      std::printf("%s\n", path.c_str());
    else
      ++failures;
    if (fb2 && drawToPng(vg, fb2, kWidth * 2, kHeight * 2, 2.f, scene, assets, path2))
      std::printf("%s\n", path2.c_str());
    else
      ++failures;
  }

  // The window: the fills scene presented to the layer; its picture is BGRA.
  nvgBeginFrame(vg, kWidth, kHeight, 1.f);
  mvgClearWithColor(vg, nvgRGBA(24, 26, 30, 255));
  gallery::scenes().front().draw(vg, kWidth, kHeight, assets);
  nvgEndFrame(vg);
  if (auto front = layer.frontTexture()) {
    std::vector<uint8_t> px(front->width() * front->height() * 4);
    front->getBytes(px.data(), front->width() * 4, mtl::Region::make2D(0, 0, front->width(), front->height()), 0);
    for (size_t i = 0; i < px.size(); i += 4) std::swap(px[i], px[i + 2]);
    const std::string path = (out / "window.png").string();
    if (pngfile::writePremultipliedPng(path, int(front->width()), int(front->height()), px))
      std::printf("%s\n", path.c_str());
    else
      ++failures;
  } else {
    ++failures;
  }

  mvgDeleteFramebuffer(fb);
  mvgDeleteFramebuffer(fb2);
  nvgDeleteMTL(vg);
  return failures == 0 ? 0 : 1;
}
