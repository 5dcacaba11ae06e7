// The software GPU's fast paths (stencil-only runs, constant colours, texel copies, the lazy
// stencil clear) against pixel-by-pixel shading: every scene is drawn twice, with the fast
// paths on and off, and every byte of the result must match. The scenes: each gallery scene
// (the busy scene among them) at pixel ratios 1, 1.5 and 2, and edge scenes for the proofs'
// borders: images drawn 1:1 over opaque, translucent and empty pixels at whole and half pixel
// offsets with each filter and address mode, rotated and fractional scissors over solid
// fills and shapes inside the scissor's ramp, whole-frame content under small scissors,
// large concave fills, large translucent fills under every composite
// operation (each also without antialiasing), and the frame copy of a framebuffer onto the
// window's drawable at ratios 1, 1.5 and 2, and at the panel's window sizes on screens of
// scale 1 and 2.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "shims/apple/metal/MetalTesting.h"
#include "tests/support/render/metal_target.h"
#include "tools/gallery/scenes.h"

namespace sp::test {
namespace {

using DrawFn = void (*)(NVGcontext* vg, float w, float h, const gallery::Assets& a);

// Premultiplied images (texture type RGBA, drawn as they are stored, like framebuffers) in
// place of the gallery's straight-alpha ones: 16 x 16 with translucent, opaque and empty
// texels, with the flags of each filter and address mode.
void addPremultipliedImages(NVGcontext* vg, gallery::Assets& a) {
  uint8_t rgba[16 * 16 * 4];
  for (int i = 0; i < 16 * 16; ++i) {
    const int x = i % 16, y = i / 16;
    const int alpha = (x + y) % 3 == 0 ? 255 : (x * y) % 5 == 0 ? 0 : 40 + 13 * x;
    rgba[i * 4 + 0] = uint8_t(x * 16 * alpha / 255);
    rgba[i * 4 + 1] = uint8_t(y * 16 * alpha / 255);
    rgba[i * 4 + 2] = uint8_t((255 - x * 8) * alpha / 255);
    rgba[i * 4 + 3] = uint8_t(alpha);
  }
  const int flags[5] = {0, NVG_IMAGE_NEAREST, NVG_IMAGE_REPEATX | NVG_IMAGE_REPEATY,
                        NVG_IMAGE_NEAREST | NVG_IMAGE_REPEATX, NVG_IMAGE_REPEATY};
  for (int i = 0; i < 5; ++i) a.images[i] = nvgCreateImageRGBA(vg, 16, 16, flags[i] | NVG_IMAGE_PREMULTIPLIED, rgba);
}

// Sets the fast-path switch for the test's scope.
struct FastPaths {
  explicit FastPaths(bool on) { mtl::testing::setFastPaths(on); }
  ~FastPaths() { mtl::testing::setFastPaths(true); }
};

constexpr int kFlags = NVG_ANTIALIAS | NVG_STENCIL_STROKES | NVG_TRIPLE_BUFFER;

std::vector<uint8_t> drawOffscreen(DrawFn draw, int w, int h, float ratio, bool fast, bool premultipliedImages, int flags) {
  FastPaths paths(fast);
  MetalTarget t(w, h, flags);
  EXPECT_TRUE(t.vg());
  if (!t.vg()) return {};
  gallery::Assets assets;
  std::string error;
  EXPECT_TRUE(gallery::loadAssets(t.vg(), assets, &error)) << error;
  if (premultipliedImages) addPremultipliedImages(t.vg(), assets);
  // Two frames: the second draws over stencil and pipeline state the first left behind.
  for (int frame = 0; frame < 2; ++frame) {
    t.begin(ratio, nvgRGBA(20, 30, 40, frame == 0 ? 255 : 0));
    draw(t.vg(), float(w) / ratio, float(h) / ratio, assets);
    t.end();
  }
  return t.pixels();
}

// The index of the first differing byte, or -1.
long firstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size()) return 0;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) return long(i);
  return -1;
}

void expectSameBytes(DrawFn draw, const std::string& name, int w, int h, float ratio, bool premultipliedImages = false,
                     int flags = kFlags) {
  const std::vector<uint8_t> fast = drawOffscreen(draw, w, h, ratio, true, premultipliedImages, flags);
  const std::vector<uint8_t> exact = drawOffscreen(draw, w, h, ratio, false, premultipliedImages, flags);
  ASSERT_EQ(fast.size(), size_t(w) * size_t(h) * 4);
  const long at = firstDifference(fast, exact);
  if (at >= 0) {
    const long px = at / 4;
    ADD_FAILURE() << name << " at ratio " << ratio << ": byte " << at % 4 << " of pixel (" << px % w << ", " << px / w
                  << ") is " << int(fast[size_t(at)]) << " with the fast paths, " << int(exact[size_t(at)]) << " without; see "
                  << savePng(name + "-fast", w, h, fast) << " and " << savePng(name + "-exact", w, h, exact);
  }
}

TEST(FastPaths, GallerySceneBytesMatchPixelByPixelShading) {
  for (const gallery::Scene& scene : gallery::scenes())
    for (float ratio : {1.f, 1.5f, 2.f}) expectSameBytes(scene.draw, scene.name, int(320 * ratio), int(200 * ratio), ratio);
}

// Images on whole pixels (texel centres on pixel centres) and near or off them, over opaque,
// translucent and empty pixels, nearest and linear, clamped and repeated.
void drawImageEdges(NVGcontext* vg, float, float, const gallery::Assets& a) {
  nvgBeginPath(vg);
  nvgRect(vg, 0, 0, 150, 200);
  nvgFillColor(vg, nvgRGBA(200, 100, 50, 255));
  nvgFill(vg);
  nvgBeginPath(vg);
  nvgRect(vg, 150, 0, 80, 200);
  nvgFillColor(vg, nvgRGBA(0, 90, 200, 120));
  nvgFill(vg);
  for (int i = 0; i < 5; ++i) {
    for (int j = 0; j < 6; ++j) {
      const float dx[6] = {0, 0.5f, 0.25f, 0, 0.01f, 1.f / 1024}, dy[6] = {0, 0, 0.5f, 0.125f, 0.02f, 0};
      const float x = 4 + j * 52 + dx[j], y = 4 + i * 38 + dy[j];
      nvgBeginPath(vg);
      nvgRect(vg, x - 3, y - 3, 40, 30);  // past the image on two sides: clamped or repeated
      nvgFillPaint(vg, nvgImagePattern(vg, x, y, 16, 16, 0, a.images[i], 1.f));
      nvgFill(vg);
    }
  }
  // A framebuffer-sized image pattern whose texels are not on the pixels (scale 1.5).
  nvgBeginPath(vg);
  nvgRect(vg, 240, 150, 60, 40);
  nvgFillPaint(vg, nvgImagePattern(vg, 240, 150, 24, 24, 0, a.images[4], 0.5f));
  nvgFill(vg);
}

// Solid fills under scissors: axis-aligned on fractional edges, rotated, intersected.
void drawScissorEdges(NVGcontext* vg, float, float, const gallery::Assets&) {
  const float edges[4] = {0.f, 0.25f, 0.5f, 0.75f};
  for (int i = 0; i < 4; ++i) {
    nvgSave(vg);
    nvgScissor(vg, 10 + i * 70 + edges[i], 10 + edges[i], 50.5f, 40 - edges[i]);
    nvgBeginPath(vg);
    nvgRect(vg, 5 + i * 70, 5, 70, 60);
    nvgFillColor(vg, nvgRGBA(250, 240, 10, i % 2 ? 255 : 140));
    nvgFill(vg);
    nvgRestore(vg);
  }
  nvgSave(vg);
  nvgTranslate(vg, 160, 130);
  nvgRotate(vg, 0.7f);
  nvgScissor(vg, -60, -30, 120, 60);
  nvgBeginPath(vg);
  nvgCircle(vg, 0, 0, 70);
  nvgFillColor(vg, nvgRGBA(30, 200, 90, 255));
  nvgFill(vg);
  nvgRestore(vg);
  nvgSave(vg);
  nvgScissor(vg, 20, 90, 100, 100);
  nvgIntersectScissor(vg, 60.3f, 120.6f, 200, 200);
  nvgBeginPath(vg);
  nvgRect(vg, 0, 80, 320, 120);
  nvgFillColor(vg, nvgRGBA(200, 30, 200, 255));
  nvgFill(vg);
  nvgRestore(vg);
}

// Shapes whose edges lie a fraction of a pixel inside or outside their scissor, where the
// mask ramps from 0 to 1 (drawn without antialiasing too, so no fringe keeps them away).
void drawScissorRamp(NVGcontext* vg, float, float, const gallery::Assets&) {
  const float in[8] = {0.05f, 0.1f, 0.2f, 0.3f, 0.35f, 0.45f, 0.55f, -0.2f};
  for (int i = 0; i < 8; ++i) {
    const float x = 10.1f + i * 38, y = 10.15f;
    nvgSave(vg);
    nvgScissor(vg, x, y, 30, 60);
    nvgBeginPath(vg);
    nvgRect(vg, x + in[i], y + in[i], 30 - 2 * in[i], 60 - 2 * in[i]);
    nvgFillColor(vg, nvgRGBA(255, 255, 255, 255));
    nvgFill(vg);
    nvgBeginPath(vg);
    nvgRect(vg, x + in[i], y + 70 + in[i], 30 - 2 * in[i], 40);
    nvgFillPaint(vg, nvgLinearGradient(vg, x, y + 70, x, y + 110, nvgRGBA(255, 0, 0, 255), nvgRGBA(0, 0, 255, 200)));
    nvgFill(vg);
    nvgRestore(vg);
  }
}

// The whole frame filled with a linear gradient from `from` at (0, 0) to `to` at (ex, ey).
void fillFrame(NVGcontext* vg, float w, float h, float ex, float ey, NVGcolor from, NVGcolor to) {
  nvgBeginPath(vg);
  nvgRect(vg, 0, 0, w, h);
  nvgFillPaint(vg, nvgLinearGradient(vg, 0, 0, ex, ey, from, to));
  nvgFill(vg);
}

// Whole-frame content under small scissors (the way a dirty rectangle clips a redraw): solid,
// gradient and image fills, a concave (stencilled) fill, strokes and text reaching far past
// the scissor, rotated and on fractional edges, over a drawn background; then fills under
// composite operations that write where the scissor mask is 0.
void drawScissorOutside(NVGcontext* vg, float w, float h, const gallery::Assets& a) {
  const auto content = [&](float t) {
    nvgBeginPath(vg);
    nvgRect(vg, 0, 0, w, h);
    nvgFillColor(vg, nvgRGBA(40, 120, 200, 200));
    nvgFill(vg);
    nvgBeginPath(vg);
    nvgRoundedRect(vg, 5, 5, w - 10, h - 10, 6);
    nvgFillPaint(vg, nvgLinearGradient(vg, 0, 0, w, h, nvgRGBA(255, 200, 0, 255), nvgRGBA(0, 60, 255, 120)));
    nvgFill(vg);
    nvgBeginPath(vg);
    nvgMoveTo(vg, 0, h);
    for (int i = 0; i <= 16; ++i) nvgLineTo(vg, w * float(i) / 16.f, h * (0.2f + 0.6f * float((i * 7 + int(t)) % 5) / 4.f));
    nvgLineTo(vg, w, h);
    nvgClosePath(vg);
    nvgFillColor(vg, nvgRGBA(250, 250, 250, 90));
    nvgFill(vg);
    nvgBeginPath(vg);
    for (int i = 0; i < 6; ++i) {
      nvgMoveTo(vg, 3 + float(i) * 50, 2);
      nvgLineTo(vg, w - float(i) * 40, h - 3);
    }
    nvgStrokeWidth(vg, 1.5f + t);
    nvgStrokeColor(vg, nvgRGBA(255, 60, 60, 230));
    nvgStroke(vg);
    nvgBeginPath(vg);
    nvgRect(vg, 0, 0, w, h / 2);
    nvgFillPaint(vg, nvgImagePattern(vg, 0, 0, 16, 16, 0, a.images[4], 0.7f));
    nvgFill(vg);
    if (a.font >= 0) {
      nvgFontFaceId(vg, a.font);
      nvgFontSize(vg, 14);
      nvgFillColor(vg, nvgRGBA(255, 255, 255, 220));
      for (int i = 0; i < 8; ++i) nvgText(vg, 2, 16 + float(i) * 24, "Scissored text, far past its clip", nullptr);
    }
  };
  fillFrame(vg, w, h, w, 0, nvgRGBA(90, 0, 40, 255), nvgRGBA(0, 90, 40, 140));
  const float boxes[4][4] = {{40, 30, 60, 20}, {120.25f, 61.5f, 33.5f, 47.75f}, {200, 10, 1, 120}, {10, 150, 300, 0.5f}};
  for (const auto& b : boxes) {
    nvgSave(vg);
    nvgScissor(vg, b[0], b[1], b[2], b[3]);
    content(b[0] / 100.f);
    nvgRestore(vg);
  }
  nvgSave(vg);
  nvgTranslate(vg, 250, 120);
  nvgRotate(vg, 0.4f);
  nvgScissor(vg, -30, -20, 60, 40);
  nvgTranslate(vg, -250, -120);
  content(0.5f);
  nvgRestore(vg);
  const int ops[3] = {NVG_COPY, NVG_SOURCE_IN, NVG_DESTINATION_OUT};
  for (int i = 0; i < 3; ++i) {
    nvgSave(vg);
    nvgGlobalCompositeOperation(vg, ops[i]);
    nvgScissor(vg, 20 + float(i) * 90, 170, 50, 20);
    nvgBeginPath(vg);
    nvgRect(vg, float(i) * 90, 160, 90, 40);
    nvgFillColor(vg, nvgRGBA(0, 255, 120, 160));
    nvgFill(vg);
    nvgRestore(vg);
  }
}

// Large concave fills (stencil, then a cover pass that tests it), opaque and translucent,
// with holes and overlapping sub-paths, over a drawn background: past the pixel count where
// a colour gets its table.
void drawLargeConcave(NVGcontext* vg, float w, float h, const gallery::Assets&) {
  fillFrame(vg, w, h, 0, h, nvgRGBA(10, 60, 90, 255), nvgRGBA(120, 20, 60, 200));
  const auto star = [&](float cx, float cy, float r) {
    for (int i = 0; i < 10; ++i) {
      const float a = float(i) * 3.14159265f / 5.f, rr = i % 2 ? r * 0.4f : r;
      if (i == 0)
        nvgMoveTo(vg, cx + rr * std::sin(a), cy - rr * std::cos(a));
      else
        nvgLineTo(vg, cx + rr * std::sin(a), cy - rr * std::cos(a));
    }
    nvgClosePath(vg);
  };
  const NVGcolor colours[3] = {nvgRGBA(250, 200, 30, 255), nvgRGBA(30, 220, 250, 140), nvgRGBA(255, 255, 255, 60)};
  for (int i = 0; i < 3; ++i) {
    nvgBeginPath(vg);
    star(60 + float(i) * 100, 70, 60);
    nvgRect(vg, 20 + float(i) * 100, 130, 90, 60);
    nvgRect(vg, 40 + float(i) * 100, 145, 40, 30);
    nvgPathWinding(vg, NVG_HOLE);
    nvgFillColor(vg, colours[i]);
    nvgFill(vg);
  }
  nvgSave(vg);
  nvgScissor(vg, 30, 40, 200, 100);
  nvgBeginPath(vg);
  star(150, 100, 90);
  nvgFillColor(vg, nvgRGBA(200, 60, 250, 180));
  nvgFill(vg);
  nvgRestore(vg);
}

// Large translucent solid fills (their colour tables) under every composite operation.
void drawTranslucentEdges(NVGcontext* vg, float w, float h, const gallery::Assets&) {
  fillFrame(vg, w, h, w, h, nvgRGBA(255, 0, 0, 255), nvgRGBA(0, 0, 255, 60));
  const int ops[11] = {NVG_SOURCE_OVER, NVG_SOURCE_IN, NVG_SOURCE_OUT, NVG_ATOP, NVG_DESTINATION_OVER, NVG_DESTINATION_IN,
                       NVG_DESTINATION_OUT, NVG_DESTINATION_ATOP, NVG_LIGHTER, NVG_COPY, NVG_XOR};
  for (int i = 0; i < 11; ++i) {
    nvgGlobalCompositeOperation(vg, ops[i]);
    nvgBeginPath(vg);
    nvgRect(vg, float(i) * 28.f, 10.f + float(i % 3) * 20.f, 60.f, 150.f);
    nvgFillColor(vg, nvgRGBA(uint8_t(20 * i), 200, uint8_t(255 - 20 * i), uint8_t(40 + 20 * i)));
    nvgFill(vg);
  }
  nvgGlobalCompositeOperation(vg, NVG_SOURCE_OVER);
  nvgGlobalCompositeBlendFunc(vg, NVG_DST_COLOR, NVG_ONE_MINUS_SRC_ALPHA);
  nvgBeginPath(vg);
  nvgRect(vg, 10, 120, 300, 70);
  nvgFillColor(vg, nvgRGBA(180, 90, 250, 200));
  nvgFill(vg);
  nvgGlobalCompositeOperation(vg, NVG_SOURCE_OVER);
}

TEST(FastPaths, EdgeSceneBytesMatchPixelByPixelShading) {
  const struct {
    const char* name;
    DrawFn draw;
  } scenes[] = {{"image-edges", drawImageEdges},
                {"scissor-edges", drawScissorEdges},
                {"scissor-ramp", drawScissorRamp},
                {"scissor-outside", drawScissorOutside},
                {"large-concave", drawLargeConcave},
                {"translucent-edges", drawTranslucentEdges}};
  for (const auto& s : scenes)
    for (float ratio : {1.f, 1.5f, 2.f}) {
      expectSameBytes(s.draw, s.name, int(320 * ratio), int(200 * ratio), ratio);
      expectSameBytes(s.draw, std::string(s.name) + "-aliased", int(320 * ratio), int(200 * ratio), ratio, false, 0);
    }
  for (const gallery::Scene& scene : gallery::scenes())
    if (std::string(scene.name) == "images")
      for (float ratio : {1.f, 2.f}) expectSameBytes(scene.draw, "images-premultiplied", 320, 200, ratio, true);
  expectSameBytes(drawImageEdges, "image-edges-premultiplied", 320, 200, 1.f, true);
  expectSameBytes(drawImageEdges, "image-edges-premultiplied-2x", 640, 400, 2.f, true);
}

// The drawing class's frame: the busy scene into a framebuffer, then that framebuffer drawn
// as an image pattern over the whole window, landing on the layer's drawable. With an
// offset, the window first gets a background and the copy lands that far off the pixels.
std::vector<uint8_t> drawToWindow(int pointsW, int pointsH, float ratio, bool fast, float offset) {
  FastPaths paths(fast);
  mtl::MetalLayer layer;
  const int w = int(float(pointsW) * ratio), h = int(float(pointsH) * ratio);
  layer.setDrawableSize({double(w), double(h)});
  NVGcontext* vg = nvgCreateMTL(&layer, NVG_ANTIALIAS | NVG_TRIPLE_BUFFER);
  EXPECT_TRUE(vg);
  if (!vg) return {};
  gallery::Assets assets;
  std::string error;
  EXPECT_TRUE(gallery::loadAssets(vg, assets, &error)) << error;
  MVGframebuffer* fb = mvgCreateFramebuffer(vg, w, h, 0);
  EXPECT_TRUE(fb);
  std::vector<uint8_t> bytes(size_t(w) * size_t(h) * 4);
  if (fb) {
    mvgBindFramebuffer(fb);
    nvgBeginFrame(vg, float(pointsW), float(pointsH), ratio);
    mvgClearWithColor(vg, nvgRGBA(0, 0, 0, 0));
    gallery::drawBusy(vg, float(pointsW), float(pointsH), assets);
    nvgEndFrame(vg);
    mvgBindFramebuffer(nullptr);
    nvgBeginFrame(vg, float(pointsW), float(pointsH), ratio);
    if (offset != 0.f) {
      nvgBeginPath(vg);
      nvgRect(vg, 0, 0, float(pointsW), float(pointsH) / 2);
      nvgFillPaint(vg, nvgLinearGradient(vg, 0, 0, float(pointsW), 0, nvgRGBA(255, 255, 0, 255), nvgRGBA(0, 90, 255, 100)));
      nvgFill(vg);
    }
    nvgBeginPath(vg);
    nvgRect(vg, 0, 0, float(pointsW), float(pointsH));
    nvgFillPaint(vg, nvgImagePattern(vg, offset, offset / 2, float(pointsW), float(pointsH), 0, fb->image, 1.f));
    nvgFill(vg);
    nvgEndFrame(vg);
    auto front = layer.frontTexture();
    EXPECT_TRUE(front);
    if (front) front->getBytes(bytes.data(), size_t(w) * 4, mtl::Region::make2D(0, 0, size_t(w), size_t(h)), 0);
    mvgDeleteFramebuffer(fb);
  }
  nvgDeleteMTL(vg);
  return bytes;
}

void expectSameWindowBytes(int pointsW, int pointsH, float ratio, float offset) {
  const std::vector<uint8_t> fast = drawToWindow(pointsW, pointsH, ratio, true, offset);
  const std::vector<uint8_t> exact = drawToWindow(pointsW, pointsH, ratio, false, offset);
  EXPECT_EQ(firstDifference(fast, exact), -1) << pointsW << " x " << pointsH << " points, ratio " << ratio << ", offset " << offset;
  // Not vacuous: the copy carries the scene (some pixel is neither empty nor one colour).
  bool varied = false;
  for (size_t i = 4; i < fast.size() && !varied; i += 4) varied = fast[i] != fast[0] || fast[i + 3] != fast[3];
  EXPECT_TRUE(varied);
}

TEST(FastPaths, FrameCopiedToTheWindowMatchesPixelByPixelShading) {
  for (float ratio : {1.f, 1.5f, 2.f})
    for (float offset : {0.f, 1.f, 0.5f, 1.f / 4096, 0.002f}) expectSameWindowBytes(321, 200, ratio, offset);
}

// The panel's window at each window scale (0.75, 1, 1.5, 2 times 640 x 400 points) on screens
// of scale 1 and 2, up to 2560 x 1600 pixels, where texel positions reach the thousands; at
// the largest window also a copy a fraction of the texel slack off the pixels.
TEST(FastPaths, FrameCopiedToEveryWindowSizeMatchesPixelByPixelShading) {
  for (const float window : {0.75f, 1.f, 1.5f, 2.f})
    for (const float ratio : {1.f, 2.f}) {
      expectSameWindowBytes(int(640 * window), int(400 * window), ratio, 0.f);
      if (window == 2.f) expectSameWindowBytes(1280, 800, ratio, 1.f / 16384);
    }
}

}  // namespace
}  // namespace sp::test
