#pragma once
// A test canvas that measures text with the vector graphics library's own font engine and
// the real Roboto face: DoMeasureText gives the glyph-ink box (as the drawing class does),
// MeasureTextAdvance the pen advance (the value nvgTextBounds returns). The library runs
// with render callbacks that do nothing; only its text measuring is used. For the suites
// and benchmarks that need real glyph widths (SP_FONT_DIR names the Roboto folder).
#include <string>

#include "nanovg.h"
#include "tests/support/canvas/test_canvas.h"

namespace stocktest {

class AdvanceCanvas : public sp::test::TestCanvas {
public:
  AdvanceCanvas(sp::test::TestPlatform& platform, plugkit::canvas::ICanvasEditorDelegate& dlg, int w = 640,
                int h = 400)
      : TestCanvas(platform, dlg, w, h) {
    NVGparams params{};
    params.renderCreate = [](void*, void*) { return 1; };
    params.renderCreateTexture = [](void*, int, int, int, int, const unsigned char*) { return 1; };
    params.renderDeleteTexture = [](void*, int) { return 1; };
    params.renderUpdateTexture = [](void*, int, int, int, int, int, const unsigned char*) { return 1; };
    params.renderGetTextureSize = [](void*, int, int* tw, int* th) {
      *tw = *th = 512;
      return 1;
    };
    params.renderViewport = [](void*, float, float, float) {};
    params.renderCancel = [](void*) {};
    params.renderFlush = [](void*) {};
    params.renderFill = [](void*, NVGpaint*, NVGcompositeOperationState, NVGscissor*, float, const float*,
                           const NVGpath*, int) {};
    params.renderStroke = [](void*, NVGpaint*, NVGcompositeOperationState, NVGscissor*, float, float,
                             const NVGpath*, int) {};
    params.renderTriangles = [](void*, NVGpaint*, NVGcompositeOperationState, NVGscissor*, const NVGvertex*, int,
                                float) {};
    params.renderDelete = [](void*) {};
    mVG = nvgCreateInternal(&params, nullptr);
    if (mVG != nullptr)
      mFont = nvgCreateFont(mVG, "Roboto-Regular", (std::string(SP_FONT_DIR) + "/RobotoTTF/Roboto-Regular.ttf").c_str());
  }
  ~AdvanceCanvas() override {
    if (mVG != nullptr) nvgDeleteInternal(mVG);
  }

  bool fontLoaded() const { return mVG != nullptr && mFont >= 0; }

  // The pen advance of str in the style (nvgTextBounds' return).
  float advance(const plugkit::canvas::IText& text, const char* str) const {
    float box[4];
    return setUp(text) ? nvgTextBounds(mVG, 0.f, 0.f, str, nullptr, box) : 0.f;
  }

  float DoMeasureText(const plugkit::canvas::IText& text, const char* str, plugkit::canvas::IRECT& bounds) const override {
    float box[4] = {0, 0, 0, 0};
    if (setUp(text)) nvgTextBounds(mVG, 0.f, 0.f, str, nullptr, box);
    bounds = plugkit::canvas::IRECT(box[0], box[1], box[2], box[3]);
    return box[2] - box[0];
  }
  float MeasureTextAdvance(const plugkit::canvas::IText& text, const char* str) const override {
    return str != nullptr && str[0] != '\0' ? advance(text, str) : 0.f;
  }

private:
  bool setUp(const plugkit::canvas::IText& text) const {
    if (!fontLoaded()) return false;
    nvgFontFaceId(mVG, mFont);
    nvgFontSize(mVG, text.size);
    nvgTextAlign(mVG, NVG_ALIGN_LEFT | NVG_ALIGN_TOP);
    return true;
  }

  NVGcontext* mVG = nullptr;
  int mFont = -1;
};

}  // namespace stocktest
