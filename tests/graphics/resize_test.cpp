// Resize and scale: the order of notifications, the no-op cases, the scale limits, the
// sizes reported to the host, the screen scale and the corner drags.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/graphics/fake_delegate.h"
#include "tests/support/canvas/event_driver.h"
#include "tests/support/canvas/test_canvas.h"

using namespace gfxtest;
using sp::test::EventDriver;
using sp::test::TestCanvas;
using sp::test::TestPlatform;

namespace {

// A canvas and a control that write their resize steps into the delegate's log.
class LoggingCanvas : public TestCanvas {
public:
  LoggingCanvas(TestPlatform& p, FakeDelegate& d) : TestCanvas(p, d), dlg(d) {}
  void PlatformResize(bool parentHasResized) override {
    dlg.log.push_back(std::string("PlatformResize ") + (parentHasResized ? "true" : "false"));
    TestCanvas::PlatformResize(parentHasResized);
  }
  void DrawResize() override {
    dlg.log.push_back("DrawResize");
    TestCanvas::DrawResize();
  }
  void AfterResize() override { dlg.log.push_back("AfterResize"); }
  FakeDelegate& dlg;
};

class Step : public Probe {
public:
  Step(const IRECT& r, FakeDelegate& d, const char* name) : Probe(r), dlg(d), mName(name) {}
  void OnResize() override { dlg.log.push_back(std::string("OnResize ") + mName); }
  void OnRescale() override { dlg.log.push_back(std::string("OnRescale ") + mName); }
  void SetDirty(bool trigger, int valIdx) override {
    dlg.log.push_back(std::string("Dirty ") + mName);
    Probe::SetDirty(trigger, valIdx);
  }
  FakeDelegate& dlg;
  std::string mName;
};

// The panel's corner control: the drag sum in points over the base width gives the scale.
class CornerScale : public Probe {
public:
  using Probe::Probe;
  float startWidth = 0.f, sum = 0.f;
  void OnMouseDown(float, float, const IMouseMod&) override {
    ICanvas* g = GetGraphics();
    startWidth = std::trunc(static_cast<float>(g->Width()) * g->GetDrawScale());
    sum = 0.f;
  }
  void OnMouseDrag(float, float, float dX, float dY, const IMouseMod&) override {
    ICanvas* g = GetGraphics();
    calls.push_back("OnMouseDrag");
    sum += std::max(dX, dY) * g->GetDrawScale();
    const float s = std::clamp((startWidth + sum) / 640.f, 0.75f, 2.f);
    if (s != g->GetDrawScale()) g->Resize(g->Width(), g->Height(), s, true);
  }
};

class ResizeTest : public ::testing::Test {
protected:
  void SetUp() override {
    dlg.logUI = false;
    dlg.SetMakeGraphicsFunc([this]() -> ICanvas* { return new LoggingCanvas(platform, dlg); });
    dlg.SetLayoutFunc([this](ICanvas* g) {
      ++layouts;
      if (layouts == 1) {
        g->AttachControl(new Step(IRECT(0, 0, 10, 10), dlg, "a"));
        g->AttachControl(new Step(IRECT(20, 0, 30, 10), dlg, "b"));
      }
    });
    dlg.OpenWindow(nullptr);
    g = platform.canvas();
    ASSERT_NE(g, nullptr);
    dlg.log.clear();
  }
  void TearDown() override { dlg.CloseWindow(); }

  FakeDelegate dlg;
  TestPlatform platform;
  TestCanvas* g = nullptr;
  int layouts = 0;
};

}  // namespace

TEST_F(ResizeTest, EffectiveResizeFollowsTheGoldenOrder) {
  g->Resize(640, 400, 1.5f, true);
  EXPECT_EQ(dlg.log, (Log{"Constrain 640x400", "HostResize 960x600", "PlatformResize true", "OnResize a",
                          "OnResize b", "Dirty a", "Dirty b", "DrawResize", "AfterResize"}));
  EXPECT_EQ(layouts, 1);
  EXPECT_EQ(g->GetDrawScale(), 1.5f);
  EXPECT_EQ(g->WindowWidth(), 960);

  g->SetLayoutOnResize(true);
  g->Resize(640, 400, 2.f, true);
  EXPECT_EQ(layouts, 2);
}

TEST_F(ResizeTest, ResizesThatChangeNothingDoNothing) {
  g->Resize(640, 400, 4.f, true);
  dlg.productRule = true;
  struct Row {
    int w, h;
    float scale;
  } rows[] = {{640, 400, 4.f}, {700, 400, 4.f}, {640, 400, 10.f}};
  for (const Row& r : rows) {
    dlg.log.clear();
    g->Resize(r.w, r.h, r.scale, true);
    EXPECT_EQ(dlg.log, (Log{"Constrain " + std::to_string(r.w) + "x" + std::to_string(r.h)}))
        << r.w << "x" << r.h << " at " << r.scale;
  }
}

TEST_F(ResizeTest, ScaleIsClampedToTheLimitsAndNonFiniteScalesAreIgnored) {
  struct Row {
    float asked, stored;
  } rows[] = {{10.f, 4.f}, {0.1f, 0.5f}, {1.25f, 1.25f}};
  for (const Row& r : rows) {
    g->Resize(640, 400, r.asked, true);
    EXPECT_EQ(g->GetDrawScale(), r.stored) << r.asked;
  }
  g->SetScaleConstraints(2.f, 1.f);
  EXPECT_EQ(g->GetMinScale(), 1.f);
  EXPECT_EQ(g->GetMaxScale(), 2.f);
  g->Resize(640, 400, 3.f, true);
  EXPECT_EQ(g->GetDrawScale(), 2.f);
  g->Resize(640, 400, 0.7f, true);
  EXPECT_EQ(g->GetDrawScale(), 1.f);
  dlg.log.clear();
  g->Resize(640, 400, std::numeric_limits<float>::quiet_NaN(), true);
  g->Resize(640, 400, std::numeric_limits<float>::infinity(), true);
  EXPECT_EQ(g->GetDrawScale(), 1.f);
  EXPECT_TRUE(dlg.only({"HostResize"}).empty());
}

TEST_F(ResizeTest, HostHearsTheTruncatedWindowSize) {
  g->Resize(641, 400, 1.5f, true);
  EXPECT_EQ(dlg.only({"HostResize"}), (Log{"HostResize 961x600"}));
  dlg.log.clear();
  g->Resize(640, 400, 1.f, false);
  EXPECT_TRUE(dlg.only({"HostResize"}).empty());
  EXPECT_EQ(dlg.only({"PlatformResize"}), (Log{"PlatformResize true"}));
  dlg.hostAnswer = false;
  dlg.log.clear();
  g->Resize(640, 400, 2.f, true);
  EXPECT_EQ(dlg.only({"PlatformResize"}), (Log{"PlatformResize false"}));
}

TEST_F(ResizeTest, ScreenScaleAlwaysResizesAndRescalesEverything) {
  g->SetScreenScale(g->GetScreenScale());
  EXPECT_EQ(dlg.log, (Log{"HostResize 640x400", "PlatformResize true", "OnRescale a", "OnRescale b", "Dirty a",
                          "Dirty b", "DrawResize"}));
  g->SetScreenScale(2.f);
  EXPECT_EQ(g->GetScreenScale(), 2.f);
  EXPECT_EQ(g->GetBackingPixelScale(), 2.f);
  dlg.log.clear();
  g->SetScreenScale(0.f);
  g->SetScreenScale(-1.f);
  g->SetScreenScale(std::numeric_limits<float>::quiet_NaN());
  EXPECT_TRUE(dlg.log.empty());
  EXPECT_EQ(g->GetScreenScale(), 2.f);
}

TEST_F(ResizeTest, ControlResizingFromItsOwnDragKeepsItsCapture) {
  auto* corner = new CornerScale(IRECT(626, 386, 638, 398));
  g->AttachControl(corner);
  EventDriver mouse(*g);
  mouse.press(630, 390);
  for (int i = 0; i < 16; ++i) mouse.dragByPoints(10.f, 0.f);
  mouse.release();
  EXPECT_EQ(corner->count("OnMouseDrag"), 16);
  EXPECT_FLOAT_EQ(g->GetDrawScale(), 1.25f);
  EXPECT_EQ(g->Width(), 640);
}

TEST_F(ResizeTest, ResizeFromOutsideReleasesOtherCapturesAndEndsTheirGestures) {
  auto* knob = new Probe(IRECT(100, 100, 150, 150), 6);
  knob->onDown = [this](Probe&) { g->HideMouseCursor(true, true); };
  g->AttachControl(knob);
  EventDriver mouse(*g);
  mouse.press(120, 120);
  g->Resize(640, 400, 1.5f, true);
  EXPECT_FALSE(g->ControlIsCaptured());
  EXPECT_FALSE(g->CursorIsHidden());
  mouse.release();
  EXPECT_EQ(dlg.gestures(), (Log{"Begin 6", "End 6"}));
}

TEST_F(ResizeTest, CornerResizerDragScalesFromThePressPointAndSkipsAPressAtTheEdge) {
  EventDriver mouse(*g);
  mouse.press(320, 200);
  g->StartDragResize();
  mouse.dragTo(480, 300);
  EXPECT_FLOAT_EQ(g->GetDrawScale(), 1.5f);
  mouse.release();
  EXPECT_FALSE(g->IsResizingInProcess());

  // A press at x = 0 leaves nothing to divide by: the drag changes nothing.
  mouse.press(0, 100);
  g->StartDragResize();
  mouse.dragTo(50, 150);
  EXPECT_FLOAT_EQ(g->GetDrawScale(), 1.5f);
  mouse.release();

  g->SetResizerMode(EUIResizerMode::Size);
  mouse.press(100, 100);
  g->StartDragResize();
  mouse.dragTo(700.9f, 450.2f);
  EXPECT_EQ(g->Width(), 700);
  EXPECT_EQ(g->Height(), 450);
  mouse.release();
}
