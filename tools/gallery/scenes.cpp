// The test scenes (see Scenes.h). Coordinates are points of a 640 x 400 frame.
#include "tools/gallery/scenes.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "nanovg.h"

namespace gallery {
namespace {

constexpr float kPi = 3.14159265358979f;

// A small deterministic generator, so every back end draws the same scene.
struct Lcg {
  uint32_t s;
  float next() {
    s = s * 1664525u + 1013904223u;
    return float(s >> 8) / float(1u << 24);
  }
  float range(float lo, float hi) { return lo + (hi - lo) * next(); }
};

// 16 x 16 pixels in straight-alpha RGBA; the other layouts carry the same picture.
void imagePixel(int x, int y, uint8_t rgba[4]) {
  rgba[0] = uint8_t(x * 16);
  rgba[1] = uint8_t(y * 16);
  rgba[2] = uint8_t(255 - x * 8);
  rgba[3] = uint8_t(((x / 4 + y / 4) % 2) ? 255 : 96);
}

void star(NVGcontext* vg, float cx, float cy, float r) {
  for (int i = 0; i < 5; ++i) {
    const float a = -kPi / 2 + i * 4 * kPi / 5;
    const float x = cx + r * std::cos(a), y = cy + r * std::sin(a);
    if (i == 0)
      nvgMoveTo(vg, x, y);
    else
      nvgLineTo(vg, x, y);
  }
  nvgClosePath(vg);
}

void drawFills(NVGcontext* vg, float, float, const Assets&) {
  nvgBeginPath(vg);
  nvgRect(vg, 10, 10, 100, 50);
  nvgFillColor(vg, nvgRGBA(255, 0, 0, 255));
  nvgFill(vg);

  nvgBeginPath(vg);
  star(vg, 300, 200, 80);
  nvgFillColor(vg, nvgRGBA(255, 200, 0, 255));
  nvgFill(vg);

  // A square with a square hole, and a lone square wound as a hole.
  nvgBeginPath(vg);
  nvgRect(vg, 420, 20, 120, 120);
  nvgRect(vg, 450, 50, 60, 60);
  nvgPathWinding(vg, NVG_HOLE);
  nvgFillColor(vg, nvgRGBA(0, 160, 80, 255));
  nvgFill(vg);

  nvgBeginPath(vg);
  nvgRect(vg, 420, 200, 100, 60);
  nvgPathWinding(vg, NVG_HOLE);
  nvgFillColor(vg, nvgRGBA(40, 90, 220, 255));
  nvgFill(vg);

  nvgBeginPath(vg);
  nvgCircle(vg, 80, 200, 50);
  nvgFillColor(vg, nvgRGBA(200, 40, 200, 200));
  nvgFill(vg);

  nvgBeginPath(vg);
  nvgRoundedRect(vg, 30, 300, 160, 70, 16);
  nvgEllipse(vg, 300, 340, 70, 30);
  nvgFillColor(vg, nvgRGBA(250, 250, 250, 160));
  nvgFill(vg);

  nvgBeginPath(vg);
  nvgMoveTo(vg, 560, 300);
  nvgBezierTo(vg, 640, 300, 560, 400, 620, 390);
  nvgLineTo(vg, 540, 390);
  nvgClosePath(vg);
  nvgFillColor(vg, nvgRGBA(255, 120, 40, 255));
  nvgFill(vg);
}

void drawGradients(NVGcontext* vg, float, float, const Assets&) {
  nvgBeginPath(vg);
  nvgRect(vg, 350, 300, 200, 80);
  nvgFillPaint(vg, nvgLinearGradient(vg, 400, 0, 500, 0, nvgRGBA(0, 0, 0, 255), nvgRGBA(255, 255, 255, 255)));
  nvgFill(vg);

  nvgBeginPath(vg);
  nvgCircle(vg, 120, 120, 90);
  nvgFillPaint(vg, nvgRadialGradient(vg, 100, 100, 10, 90, nvgRGBA(255, 240, 120, 255), nvgRGBA(200, 30, 30, 255)));
  nvgFill(vg);

  // A box-gradient shadow under a rounded rectangle.
  nvgBeginPath(vg);
  nvgRect(vg, 260, 20, 220, 160);
  nvgFillPaint(vg, nvgBoxGradient(vg, 280, 40, 180, 110, 12, 20, nvgRGBA(0, 0, 0, 200), nvgRGBA(0, 0, 0, 0)));
  nvgFill(vg);
  nvgBeginPath(vg);
  nvgRoundedRect(vg, 280, 36, 180, 110, 12);
  nvgFillPaint(vg, nvgLinearGradient(vg, 280, 36, 280, 146, nvgRGBA(90, 160, 255, 255), nvgRGBA(20, 40, 120, 255)));
  nvgFill(vg);

  // A concave shape with a gradient (stencil path).
  nvgBeginPath(vg);
  star(vg, 560, 120, 70);
  nvgFillPaint(vg, nvgLinearGradient(vg, 490, 50, 630, 190, nvgRGBA(0, 200, 120, 255), nvgRGBA(0, 40, 160, 128)));
  nvgFill(vg);

  nvgBeginPath(vg);
  nvgRect(vg, 20, 250, 300, 40);
  nvgFillPaint(vg, nvgLinearGradient(vg, 20, 0, 320, 0, nvgRGBA(255, 0, 0, 255), nvgRGBA(0, 0, 255, 0)));
  nvgFill(vg);
}

void drawStrokes(NVGcontext* vg, float, float, const Assets&) {
  // Two crossing lines in one stroke: with stencil strokes their overlap is drawn once.
  nvgBeginPath(vg);
  nvgMoveTo(vg, 400, 50);
  nvgLineTo(vg, 500, 150);
  nvgMoveTo(vg, 500, 50);
  nvgLineTo(vg, 400, 150);
  nvgStrokeColor(vg, nvgRGBA(0, 0, 255, 128));
  nvgStrokeWidth(vg, 10);
  nvgStroke(vg);

  const int caps[3] = {NVG_BUTT, NVG_ROUND, NVG_SQUARE};
  const int joins[3] = {NVG_MITER, NVG_ROUND, NVG_BEVEL};
  for (int i = 0; i < 3; ++i) {
    nvgBeginPath(vg);
    nvgMoveTo(vg, 30 + i * 110, 60);
    nvgLineTo(vg, 70 + i * 110, 20);
    nvgLineTo(vg, 110 + i * 110, 60);
    nvgLineCap(vg, caps[i]);
    nvgLineJoin(vg, joins[i]);
    nvgStrokeWidth(vg, 12);
    nvgStrokeColor(vg, nvgRGBA(220, 220, 40, 255));
    nvgStroke(vg);
  }
  nvgLineCap(vg, NVG_BUTT);
  nvgLineJoin(vg, NVG_MITER);

  for (int i = 0; i < 8; ++i) {
    nvgBeginPath(vg);
    nvgMoveTo(vg, 20, 100 + i * 12);
    nvgBezierTo(vg, 120, 60 + i * 12, 220, 160 + i * 12, 340, 100 + i * 12);
    nvgStrokeWidth(vg, 0.5f + i * 0.5f);
    nvgStrokeColor(vg, nvgRGBA(255, 255, 255, 255));
    nvgStroke(vg);
  }

  nvgBeginPath(vg);
  nvgCircle(vg, 150, 300, 60);
  nvgStrokeWidth(vg, 6);
  nvgStrokePaint(vg, nvgLinearGradient(vg, 90, 240, 210, 360, nvgRGBA(255, 60, 60, 255), nvgRGBA(60, 60, 255, 255)));
  nvgStroke(vg);

  nvgBeginPath(vg);
  nvgMoveTo(vg, 300, 380);
  for (int i = 0; i < 12; ++i) nvgLineTo(vg, 310 + i * 25, i % 2 ? 250 : 370);
  nvgStrokeWidth(vg, 3);
  nvgStrokeColor(vg, nvgRGBA(120, 255, 160, 200));
  nvgStroke(vg);
}

void drawImages(NVGcontext* vg, float, float, const Assets& a) {
  for (int t = 0; t < 5; ++t) {
    const float x = 20 + t * 120, y = 20;
    nvgBeginPath(vg);
    nvgRect(vg, x, y, 96, 96);
    nvgFillPaint(vg, nvgImagePattern(vg, x, y, 96, 96, 0, a.images[t], 1.0f));
    nvgFill(vg);
  }
  nvgBeginPath(vg);
  nvgRect(vg, 20, 150, 280, 120);
  nvgFillPaint(vg, nvgImagePattern(vg, 20, 150, 32, 32, 0, a.checker, 1.0f));
  nvgFill(vg);

  nvgSave(vg);
  nvgTranslate(vg, 460, 240);
  nvgRotate(vg, 0.4f);
  nvgBeginPath(vg);
  nvgRoundedRect(vg, -80, -60, 160, 120, 20);
  nvgFillPaint(vg, nvgImagePattern(vg, -80, -60, 160, 120, 0, a.images[4], 0.8f));
  nvgFill(vg);
  nvgRestore(vg);

  nvgBeginPath(vg);
  nvgCircle(vg, 100, 340, 40);
  nvgFillPaint(vg, nvgImagePattern(vg, 60, 300, 80, 80, 0, a.images[0], 1.0f));
  nvgFill(vg);
}

void drawText(NVGcontext* vg, float, float, const Assets& a) {
  nvgFontFaceId(vg, a.font);
  nvgFontSize(vg, 14);
  nvgTextAlign(vg, NVG_ALIGN_LEFT | NVG_ALIGN_BASELINE);
  nvgFillColor(vg, nvgRGBA(255, 255, 255, 255));
  nvgText(vg, 20, 40, "Hg", nullptr);
  const float sizes[5] = {10, 14, 20, 32, 56};
  float y = 80;
  for (float s : sizes) {
    nvgFontSize(vg, s);
    nvgFillColor(vg, nvgRGBA(230, 230, 255, 255));
    nvgText(vg, 20, y, "SpectraPoise \xe2\x88\x92" "3.5 dB \xc2\xb7 Hg", nullptr);
    y += s * 1.3f;
  }
  nvgFontSize(vg, 18);
  nvgFillColor(vg, nvgRGBA(255, 160, 60, 255));
  nvgTextBox(vg, 380, 60, 240, "Text through fontstash, with wrapping of a longer line into a box.", nullptr);
}

void drawScissor(NVGcontext* vg, float, float, const Assets&) {
  nvgSave(vg);
  nvgScissor(vg, 50, 50, 200, 120);
  nvgBeginPath(vg);
  nvgCircle(vg, 150, 110, 100);
  nvgFillColor(vg, nvgRGBA(255, 80, 80, 255));
  nvgFill(vg);
  nvgRestore(vg);

  nvgSave(vg);
  nvgTranslate(vg, 450, 150);
  nvgRotate(vg, 0.3f);
  nvgScissor(vg, -80, -60, 160, 120);
  nvgIntersectScissor(vg, -40, -100, 200, 180);
  nvgBeginPath(vg);
  nvgRect(vg, -150, -150, 300, 300);
  nvgFillPaint(vg, nvgLinearGradient(vg, -150, 0, 150, 0, nvgRGBA(80, 255, 80, 255), nvgRGBA(80, 80, 255, 255)));
  nvgFill(vg);
  nvgRestore(vg);

  nvgSave(vg);
  nvgScissor(vg, 40, 260, 300, 40);
  nvgBeginPath(vg);
  nvgMoveTo(vg, 40, 240);
  nvgLineTo(vg, 340, 320);
  nvgStrokeWidth(vg, 8);
  nvgStrokeColor(vg, nvgRGBA(255, 255, 0, 255));
  nvgStroke(vg);
  nvgRestore(vg);
}

void drawComposite(NVGcontext* vg, float, float, const Assets&) {
  const int ops[11] = {NVG_SOURCE_OVER, NVG_SOURCE_IN, NVG_SOURCE_OUT, NVG_ATOP, NVG_DESTINATION_OVER, NVG_DESTINATION_IN,
                       NVG_DESTINATION_OUT, NVG_DESTINATION_ATOP, NVG_LIGHTER, NVG_COPY, NVG_XOR};
  for (int i = 0; i < 11; ++i) {
    const float x = 20 + (i % 6) * 100, y = 30 + (i / 6) * 180;
    nvgGlobalCompositeOperation(vg, NVG_SOURCE_OVER);
    nvgBeginPath(vg);
    nvgRect(vg, x, y, 60, 60);
    nvgFillColor(vg, nvgRGBA(255, 0, 0, 255));
    nvgFill(vg);
    nvgGlobalCompositeOperation(vg, ops[i]);
    nvgBeginPath(vg);
    nvgCircle(vg, x + 55, y + 55, 30);
    nvgFillColor(vg, nvgRGBA(0, 0, 255, 200));
    nvgFill(vg);
  }
  nvgGlobalCompositeOperation(vg, NVG_SOURCE_OVER);
}

void drawBusyScene(NVGcontext* vg, float w, float h, const Assets& a) {
  Lcg rng{12345};
  for (int i = 0; i < 300; ++i) {
    const float x = rng.range(0, w - 60), y = rng.range(0, h - 40);
    const float rw = rng.range(20, 60), rh = rng.range(12, 40);
    const uint8_t r = uint8_t(rng.range(40, 255)), g = uint8_t(rng.range(40, 255)), b = uint8_t(rng.range(40, 255));
    nvgBeginPath(vg);
    nvgRoundedRect(vg, x, y, rw, rh, 4);
    nvgFillPaint(vg, nvgLinearGradient(vg, x, y, x, y + rh, nvgRGBA(r, g, b, 255), nvgRGBA(r / 2, g / 2, b / 2, 220)));
    nvgFill(vg);
  }
  for (int i = 0; i < 50; ++i) {
    nvgBeginPath(vg);
    nvgMoveTo(vg, rng.range(0, w), rng.range(0, h));
    nvgBezierTo(vg, rng.range(0, w), rng.range(0, h), rng.range(0, w), rng.range(0, h), rng.range(0, w), rng.range(0, h));
    nvgStrokeWidth(vg, rng.range(1, 4));
    nvgStrokeColor(vg, nvgRGBA(255, 255, 255, uint8_t(rng.range(120, 255))));
    nvgStroke(vg);
  }
  nvgFontFaceId(vg, a.font);
  nvgFontSize(vg, 14);
  nvgTextAlign(vg, NVG_ALIGN_LEFT | NVG_ALIGN_BASELINE);
  nvgFillColor(vg, nvgRGBA(250, 250, 250, 230));
  char line[96];
  for (int i = 0; i < 20; ++i) {
    std::snprintf(line, sizeof line, "Line %02d: the quick brown fox jumps over the lazy dog 0123456789", i);
    nvgText(vg, 10, 18 + i * 19.f, line, nullptr);
  }
}

void drawPlain(NVGcontext* vg, float w, float h, const Assets&) {
  nvgBeginPath(vg);
  nvgRect(vg, 0, 0, w, h);
  nvgFillColor(vg, nvgRGBA(30, 34, 40, 255));
  nvgFill(vg);
}

}  // namespace

std::string robotoPath() { return std::string(SP_FONT_DIR) + "/RobotoTTF/Roboto-Regular.ttf"; }

bool loadAssets(NVGcontext* vg, Assets& a, std::string* error) {
  a.font = nvgCreateFont(vg, "Roboto-Regular", robotoPath().c_str());
  if (a.font < 0) {
    if (error) *error = "could not load " + robotoPath();
    return false;
  }
  uint8_t rgba[16 * 16 * 4], bgra[16 * 16 * 4], rgb[16 * 16 * 3], bgr[16 * 16 * 3], alpha[16 * 16];
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const int i = y * 16 + x;
      uint8_t p[4];
      imagePixel(x, y, p);
      for (int c = 0; c < 4; ++c) rgba[i * 4 + c] = p[c];
      bgra[i * 4 + 0] = p[2];
      bgra[i * 4 + 1] = p[1];
      bgra[i * 4 + 2] = p[0];
      bgra[i * 4 + 3] = p[3];
      for (int c = 0; c < 3; ++c) {
        rgb[i * 3 + c] = p[c];
        bgr[i * 3 + c] = p[2 - c];
      }
      alpha[i] = p[0];
    }
  const uint8_t* data[5] = {alpha, bgr, bgra, rgb, rgba};
  const NVGtexture types[5] = {NVG_TEXTURE_ALPHA, NVG_TEXTURE_BGR, NVG_TEXTURE_BGRA, NVG_TEXTURE_RGB, NVG_TEXTURE_RGBA};
  for (int t = 0; t < 5; ++t) {
    a.images[t] = nvgCreateImageRaw(vg, 16, 16, 0, types[t], data[t]);
    if (a.images[t] == 0) {
      if (error) *error = "could not create a test image";
      return false;
    }
  }
  uint8_t checker[8 * 8 * 4];
  for (int i = 0; i < 64; ++i) {
    const bool on = ((i % 8) / 2 + (i / 8) / 2) % 2 != 0;
    checker[i * 4 + 0] = on ? 255 : 30;
    checker[i * 4 + 1] = on ? 255 : 30;
    checker[i * 4 + 2] = on ? 255 : 60;
    checker[i * 4 + 3] = 255;
  }
  a.checker = nvgCreateImageRGBA(vg, 8, 8, NVG_IMAGE_REPEATX | NVG_IMAGE_REPEATY | NVG_IMAGE_NEAREST, checker);
  if (a.checker == 0) {
    if (error) *error = "could not create the checker image";
    return false;
  }
  return true;
}

void drawBusy(NVGcontext* vg, float w, float h, const Assets& a) { drawBusyScene(vg, w, h, a); }
void drawPlainFill(NVGcontext* vg, float w, float h, const Assets& a) { drawPlain(vg, w, h, a); }

const std::vector<Scene>& scenes() {
  static const std::vector<Scene> list = {
      {"fills", drawFills},       {"gradients", drawGradients}, {"strokes", drawStrokes},
      {"images", drawImages},     {"text", drawText},           {"scissor", drawScissor},
      {"composite", drawComposite}, {"busy", drawBusyScene},    {"plain", drawPlain},
  };
  return list;
}

}  // namespace gallery
