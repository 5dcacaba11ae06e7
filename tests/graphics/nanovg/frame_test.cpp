// The frame of the NanoVG drawing class: the main framebuffer's size for every editor size
// and pair of scales, frames begun at the window's size, partial redraws that keep the rest of
// the picture, the copy onto the view, a refused main framebuffer, and teardown (no texture
// outlives the window, deferred framebuffers of an aborted frame).
#include <gtest/gtest.h>

#include <memory>

#include "render/metal/MVGContext.h"
#include "tests/support/nanovg/busy_panel.h"
#include "tests/graphics/nanovg/nanovg_fixture.h"

namespace nanovgtest {
namespace {

struct SizeCase {
  int w, h;
  float drawScale, screenScale;
  int fbW, fbH;          // main framebuffer in pixels
  float frameW, frameH;  // nvgBeginFrame's window size in points
};

TEST(Frame, MainFramebufferAndFrameFollowTheWindowAndBothScales) {
  const SizeCase cases[] = {
      {640, 400, 1.25f, 2.f, 1600, 1000, 800.f, 500.f},
      {641, 400, 1.5f, 1.f, 961, 600, 961.f, 600.f},  // 961.5 truncated
      {640, 400, 0.75f, 2.f, 960, 600, 480.f, 300.f},
  };
  for (const SizeCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " at " + std::to_string(c.drawScale) + " on " +
                 std::to_string(c.screenScale));
    Editor e(c.w, c.h, c.drawScale, c.screenScale);
    ASSERT_NE(e.g->GetMainFramebuffer(), nullptr);
    const auto tex = mvgImageHandle(e.vg(), e.g->GetMainFramebuffer()->image);
    ASSERT_TRUE(tex);
    EXPECT_EQ(int(tex->width()), c.fbW);
    EXPECT_EQ(int(tex->height()), c.fbH);

    std::pair<unsigned, unsigned> viewport{};
    float points[2] = {};
    e.draw([&](ICanvas& g) {
      mvg::MVGContext* mc = mvg::contextOf(static_cast<NVGcontext*>(static_cast<ICanvasNanoVG&>(g).GetDrawContext()));
      viewport = mc->viewPortSize();
      const auto* size = static_cast<const float*>(mc->currentBuffers()->viewSizeBuffer->contents());
      points[0] = size[0];
      points[1] = size[1];
    });
    EXPECT_EQ(viewport.first, unsigned(c.fbW));
    EXPECT_EQ(viewport.second, unsigned(c.fbH));
    EXPECT_FLOAT_EQ(points[0], c.frameW);
    EXPECT_FLOAT_EQ(points[1], c.frameH);
    // The view's drawable got the whole picture.
    int dw = 0, dh = 0;
    e.g->drawablePixels(&dw, &dh);
    EXPECT_EQ(dw, c.fbW);
    EXPECT_EQ(dh, c.fbH);
  }
}

TEST(Frame, APartialRedrawKeepsTheRestOfThePictureOnTheView) {
  IColor colorB = COLOR_BLUE;
  IControl* a = nullptr;
  IControl* b = nullptr;
  int drawsA = 0;
  Editor e(200, 100, 1.f, 1.f, [&](ICanvas* c) {
    a = c->AttachControl(new sp::test::DrawControl(IRECT(10, 10, 60, 60), [&](ICanvas& g, const IRECT& r) {
      ++drawsA;
      g.FillRect(COLOR_RED, r);
    }));
    b = c->AttachControl(new sp::test::DrawControl(IRECT(100, 10, 150, 60), [&](ICanvas& g, const IRECT& r) {
      g.FillRect(colorB, r);
    }));
  });
  ASSERT_TRUE(e.g->tick());  // frame 1: everything
  expectNear(e.g->drawablePixel(30, 30), {255, 0, 0, 255}, 0, "A after frame 1");
  expectNear(e.g->drawablePixel(120, 30), {0, 0, 255, 255}, 0, "B after frame 1");

  colorB = COLOR_GREEN;
  b->SetDirty(false);
  ASSERT_TRUE(e.g->tick());  // frame 2: only B
  EXPECT_EQ(drawsA, 1);
  expectNear(e.g->drawablePixel(30, 30), {255, 0, 0, 255}, 0, "A still red");
  expectNear(e.g->drawablePixel(120, 30), {0, 255, 0, 255}, 0, "B now green");
  expectNear(e.g->drawablePixel(80, 80), {0, 0, 0, 0}, 0, "nothing drawn there");
  sp::test::savePng("nanovg-frame-partial", 200, 100, e.g->drawablePixels());
}

TEST(Frame, OpeningDrawingAndClosingThreeTimesLeavesNoTexture) {
  for (int round = 0; round < 3; ++round) {
    std::weak_ptr<mtl::Texture> mainTexture;
    std::weak_ptr<mtl::Device> device;
    {
      Editor e(120, 80, 1.5f, 2.f, [](ICanvas* c) { c->LoadFont("Roboto-Regular", "Roboto-Regular.ttf"); });
      e.draw([](ICanvas& g) {
        g.FillRoundRect(COLOR_ORANGE, IRECT(5, 5, 60, 40), 6.f);
        g.DrawText(IText(14.f), "Text", IRECT(0, 40, 120, 80));
      });
      mainTexture = mvgImageHandle(e.vg(), e.g->GetMainFramebuffer()->image);
      device = mvgDevice(e.vg());
      ASSERT_FALSE(mainTexture.expired());
    }
    EXPECT_TRUE(mainTexture.expired()) << "round " << round;
    EXPECT_TRUE(device.expired()) << "round " << round;
  }
}

TEST(Frame, GetPointIsOpaqueBlackAndTheAPIIsNamed) {
  Editor e;
  EXPECT_EQ(e.g->GetPoint(0, 0), COLOR_BLACK);
  EXPECT_EQ(e.g->GetPoint(-5, 1000), COLOR_BLACK);
  EXPECT_STREQ(e.g->GetDrawingAPIStr(), "NanoVG | Metal");
  EXPECT_EQ(e.g->GetDrawContext(), static_cast<void*>(e.vg()));
}

TEST(Frame, ARefusedMainFramebufferDrawsNothingAndShowsNothing) {
  // 640 x 26 = 16640 pixels: wider than the renderer's largest texture.
  Editor e(640, 400, 1.f, 26.f);
  EXPECT_EQ(e.g->GetMainFramebuffer(), nullptr);
  e.draw([](ICanvas& g) { g.FillRect(COLOR_RED, IRECT(0, 0, 10, 10)); });
  EXPECT_TRUE(e.pixels.empty());
  EXPECT_FALSE(e.g->InFrame());
}

TEST(Frame, AFramebufferReleasedInsideAFrameLivesUntilItsEnd) {
  Editor e;
  std::weak_ptr<mtl::Texture> inside, outside;
  int insideImage = 0;
  e.draw([&](ICanvas& g) {
    auto* bitmap = new ICanvasNanoVG::Bitmap(e.g, e.vg(), 16, 16, 1.f, 1.f);
    insideImage = bitmap->GetImage();
    inside = mvgImageHandle(e.vg(), insideImage);
    delete bitmap;
    EXPECT_TRUE(mvgImageHandle(e.vg(), insideImage)) << "deleted inside the frame: kept until its end";
  });
  EXPECT_FALSE(mvgImageHandle(e.vg(), insideImage));
  EXPECT_TRUE(inside.expired());

  auto* bitmap = new ICanvasNanoVG::Bitmap(e.g, e.vg(), 16, 16, 1.f, 1.f);
  const int outsideImage = bitmap->GetImage();
  outside = mvgImageHandle(e.vg(), outsideImage);
  delete bitmap;
  EXPECT_FALSE(mvgImageHandle(e.vg(), outsideImage)) << "deleted outside a frame: at once";
  EXPECT_TRUE(outside.expired());
}

TEST(Frame, ClosingAfterAnAbortedFrameDeletesItsDeferredFramebuffersFirst) {
  Editor e;
  e.g->BeginFrame();
  // Released inside the frame: waits on the deletion stack; the frame never ends.
  delete new ICanvasNanoVG::Bitmap(e.g, e.vg(), 16, 16, 1.f, 1.f);
  e.g->PathClear();
  e.g->PathRect(IRECT(0, 0, 10, 10));
  e.dlg.CloseWindow();  // under ASan: no framebuffer of a freed context is touched
  EXPECT_EQ(e.dlg.GetGraphics(), nullptr);
}

TEST(Frame, ABusyPanelLandsOnTheViewAtScreenScale2) {
  sp::test::EditorDelegate dlg;
  dlg.SetMakeGraphicsFunc(NanoVGTestCanvas::factory(dlg, 640, 400, 1.f, 2.f));
  dlg.SetLayoutFunc(sp::test::attachBusyPanel);
  dlg.OpenWindow(nullptr);
  auto* g = static_cast<NanoVGTestCanvas*>(dlg.GetGraphics());
  ASSERT_TRUE(g->tick());
  int w = 0, h = 0;
  const std::vector<uint8_t> view = g->drawablePixels(&w, &h);
  sp::test::savePng("nanovg-busy-panel", w, h, view);
  ASSERT_EQ(w, 1280);
  expectNear(sp::test::pixelAt(view, w, 4, 4), {14, 15, 18, 255}, 0, "background");
  expectNear(sp::test::pixelAt(view, w, 30, 372), {20, 22, 26, 255}, 0, "spectrum ground");  // below the curves
  const Rgba cap = sp::test::pixelAt(view, w, 2 * 35, 2 * 230);  // first knob's cap
  expectNear(cap, {200, 200, 205, 255}, 0, "knob cap");
  dlg.CloseWindow();
}

}  // namespace
}  // namespace nanovgtest
