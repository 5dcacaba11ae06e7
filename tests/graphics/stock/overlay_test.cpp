// The value bubble, the corner resizer and the frame-rate display: where the bubble goes,
// how long it stays on the test clock while its caller is dragged and after, one bubble per
// touch; the corner drag and double click; frame readings from the redraw's frame times,
// whatever the locale.
#include <algorithm>
#include <clocale>
#include <cmath>
#include <string>
#include <vector>

#include "graphics/stock/OverlayControls.h"
#include "tests/graphics/stock/stock_fixture.h"

using namespace stocktest;

namespace {

// A control that takes the pointer and shows its bubble on each press and drag.
class Dragged : public IControl {
public:
  explicit Dragged(const IRECT& r, const char* text = "0.50") : IControl(r), mText(text) {}
  void Draw(ICanvas&) override {}
  void OnMouseDown(float x, float y, const IMouseMod&) override { show(x, y); }
  void OnMouseDrag(float x, float y, float, float, const IMouseMod&) override { show(x, y); }
  void show(float x, float y) { GetUI()->ShowBubbleControl(this, x, y, mText.c_str(), EDirection::Horizontal); }

private:
  std::string mText;
};

class OverlayTest : public StockTest {
protected:
  IBubbleControl* bubble(int idx = 0) { return static_cast<IBubbleControl*>(g->GetBubbleControl(idx)); }
};

}  // namespace

// ---------------------------------------------------------------------------------------
// Bubble

TEST_F(OverlayTest, TheBubbleSitsBesideOrAboveThePointAndTurnsAtTheEdges) {
  AttachBubbleControl(*g);
  auto* caller = attach(new Dragged(IRECT(560, 90, 600, 110)));
  struct Case {
    const char* what;
    float x, y;
    EDirection dir;
    IRECT minimum;
    IRECT expected;
    int arrow;
  };
  const Case cases[] = {
      {"right of the point", 500, 100, EDirection::Horizontal, IRECT(), IRECT(500, 83, 558, 117), 3},
      {"turned at the right edge", 600, 100, EDirection::Horizontal, IRECT(), IRECT(502, 83, 560, 117), 1},
      {"above the point", 300, 100, EDirection::Vertical, IRECT(), IRECT(271, 66, 329, 100), 2},
      {"below the caller at the top edge", 300, 20, EDirection::Vertical, IRECT(), IRECT(271, 40, 329, 74), 0},
      {"at least the minimum content", 100, 100, EDirection::Horizontal, IRECT(0, 0, 60, 30),
       IRECT(100, 75, 190, 125), 3},
  };
  for (const Case& c : cases) {
    g->ShowBubbleControl(caller, c.x, c.y, "0.50", c.dir, c.minimum);
    expectRect(bubble()->GetBubbleBounds(), c.expected, c.what);
    EXPECT_EQ(bubble()->GetArrowDirection(), c.arrow) << c.what;
  }
  EXPECT_STREQ(bubble()->GetStr(), "0.50");
}

TEST_F(OverlayTest, TheBubbleFollowsTheEditorSizeUnlessItsBoundsWereSet) {
  AttachBubbleControl(*g);
  auto* caller = attach(new Dragged(IRECT(300, 90, 340, 110)));
  g->ShowBubbleControl(caller, 350, 100, "0.50", EDirection::Horizontal);
  EXPECT_EQ(bubble()->GetArrowDirection(), 3);
  g->Resize(400, 250, 1.f);
  g->ShowBubbleControl(caller, 350, 100, "0.50", EDirection::Horizontal);
  EXPECT_EQ(bubble()->GetArrowDirection(), 1);
  bubble()->SetMaxBounds(IRECT(0, 0, 1000, 1000));
  g->ShowBubbleControl(caller, 350, 100, "0.50", EDirection::Horizontal);
  EXPECT_EQ(bubble()->GetArrowDirection(), 3);
}

TEST_F(OverlayTest, TheBubbleStaysWhileTheDragIsHeldAndFadesForGoodAfterTheRelease) {
  AttachBubbleControl(*g);
  attach(new Dragged(IRECT(100, 100, 200, 200)));
  mouse->press(150, 150);
  IBubbleControl* b = bubble();
  EXPECT_EQ(b->GetState(), IBubbleControl::kFadingIn);
  EXPECT_FALSE(b->IsHidden());
  after(100);
  EXPECT_NEAR(b->GetBlend().weight, 0.475f, 1e-5);
  for (int t = 0; t < 3000; t += 50) {
    if (t % 500 == 0) mouse->dragTo(150.f + static_cast<float>(t % 7), 150);
    after(50);
    ASSERT_FALSE(b->IsHidden()) << t << " ms into the drag";
  }
  EXPECT_EQ(b->GetState(), IBubbleControl::kShown);
  mouse->release();
  int hiddenAt = -1;
  for (int t = 0; t <= 1300 && hiddenAt < 0; t += 20) {
    after(20);
    if (b->IsHidden()) hiddenAt = t + 20;
  }
  ASSERT_GT(hiddenAt, 0);
  EXPECT_LE(hiddenAt, 1220);
  EXPECT_EQ(b->GetState(), IBubbleControl::kHidden);
  EXPECT_FALSE(b->GetAnimationFunction());
  for (int i = 0; i < 50; ++i) after(100);
  EXPECT_TRUE(b->IsHidden());
}

TEST_F(OverlayTest, ABubbleWhoseCallerIsRemovedFadesOut) {
  AttachBubbleControl(*g);
  auto* caller = attach(new Dragged(IRECT(100, 100, 200, 200)));
  mouse->press(150, 150);
  after(300);
  g->RemoveControl(caller);
  EXPECT_EQ(bubble()->GetCaller(), nullptr);
  for (int i = 0; i < 70; ++i) after(20);
  EXPECT_TRUE(bubble()->IsHidden());
  mouse->release();
}

TEST_F(OverlayTest, NoBubbleAttachedShowsNothing) {
  attach(new Dragged(IRECT(100, 100, 200, 200)));
  mouse->press(150, 150);
  mouse->release();
  EXPECT_EQ(g->NBubbleControls(), 0);
  g->tick();
}

TEST_F(OverlayTest, WithMultiTouchEachTouchHasABubbleOfItsOwn) {
  AttachBubbleControl(*g);
  AttachBubbleControl(*g);
  g->EnableMultiTouch(true);
  auto* left = attach(new Dragged(IRECT(0, 100, 100, 200), "L"));
  attach(new Dragged(IRECT(300, 100, 400, 200), "R"));
  auto touch = [](float x, float y, uint64_t id) {
    IMouseInfo p;
    p.x = x;
    p.y = y;
    p.mod.L = true;
    p.mod.touchID = id;
    return p;
  };
  g->OnMouseDown({touch(50, 150, 7), touch(350, 150, 9)});
  IBubbleControl* first = bubble(0)->GetTouchID() == 7 ? bubble(0) : bubble(1);
  IBubbleControl* second = first == bubble(0) ? bubble(1) : bubble(0);
  EXPECT_EQ(first->GetTouchID(), 7u);
  EXPECT_STREQ(first->GetStr(), "L");
  EXPECT_EQ(second->GetTouchID(), 9u);
  EXPECT_STREQ(second->GetStr(), "R");
  // The same touch keeps its bubble.
  left->show(60, 150);
  EXPECT_EQ(first->GetTouchID(), 7u);
  EXPECT_STREQ(second->GetStr(), "R");
}

TEST_F(OverlayTest, TheBubbleIsARoundedBodyWithItsArrowTowardsThePoint) {
  AttachBubbleControl(*g);
  auto* caller = attach(new Dragged(IRECT(100, 100, 200, 200)));
  g->ShowBubbleControl(caller, 500, 100, "0.50", EDirection::Horizontal);
  drawOnly(*bubble());
  const IRECT inner = bubble()->GetBubbleBounds().GetPadded(-10.f);
  bool tip = false;
  for (const sp::test::DrawOp& op : g->opsOf({sp::test::DrawOp::PathLineTo}))
    if (op.args[0] == inner.L - 10.f && op.args[1] == inner.CentreY()) tip = true;
  EXPECT_TRUE(tip);
  EXPECT_EQ(g->count(sp::test::DrawOp::PathArc), 4);
  EXPECT_EQ(g->count(sp::test::DrawOp::DropShadow), 1);
  EXPECT_EQ(texts(*g), (std::vector<std::string>{"0.50"}));
}

// ---------------------------------------------------------------------------------------
// Corner resizer

TEST_F(OverlayTest, DraggingTheCornerScalesTheEditor) {
  AttachCornerResizer(*g, EUIResizerMode::Scale, false, COLOR_TRANSLUCENT, COLOR_BLACK, COLOR_RED, 20.f);
  IControl* corner = g->GetCornerResizer();
  expectRect(corner->GetRECT(), IRECT(620, 380, 640, 400));
  mouse->press(630, 390);
  EXPECT_TRUE(g->IsResizingInProcess());
  drawOnly(*corner);
  EXPECT_EQ(fills(*g).at(0).color, COLOR_RED);
  mouse->dragTo(787.5f, 487.5f);
  mouse->release();
  EXPECT_FALSE(g->IsResizingInProcess());
  EXPECT_FLOAT_EQ(g->GetDrawScale(), 1.25f);
  EXPECT_EQ(g->WindowWidth(), 800);
  EXPECT_EQ(g->WindowHeight(), 500);
  // Still 20 points on screen.
  expectRect(corner->GetRECT(), IRECT(624, 384, 640, 400));

  mouse->doubleClick(632, 392);
  EXPECT_FLOAT_EQ(g->GetDrawScale(), 1.f);
  EXPECT_EQ(g->WindowWidth(), 640);
}

TEST_F(OverlayTest, InSizeModeTheCornerSetsTheLogicalSize) {
  AttachCornerResizer(*g, EUIResizerMode::Size, false);
  mouse->press(630, 390);
  mouse->dragTo(700, 450);
  mouse->release();
  EXPECT_EQ(g->Width(), 700);
  EXPECT_EQ(g->Height(), 450);
  expectRect(g->GetCornerResizer()->GetRECT(), IRECT(680, 430, 700, 450));
  // A second resizer is not taken.
  AttachCornerResizer(*g, EUIResizerMode::Scale, false);
  EXPECT_EQ(g->GetResizerMode(), EUIResizerMode::Size);
}

TEST_F(OverlayTest, TheCornerShowsTheResizeCursorWhileThePointerIsOverIt) {
  AttachCornerResizer(*g);
  g->SetMouseCursor(ECursor::Hand);
  mouse->moveTo(635, 395);
  EXPECT_EQ(g->GetCursorKind(), ECursor::SizeNWSE);
  drawOnly(*g->GetCornerResizer());
  EXPECT_EQ(fills(*g).at(0).color, COLOR_BLACK);
  mouse->moveTo(300, 300);
  EXPECT_EQ(g->GetCursorKind(), ECursor::Hand);
}

// ---------------------------------------------------------------------------------------
// Frame-rate display

namespace {

class FrameRateTest : public OverlayTest {
protected:
  IFPSDisplayControl* display() { return static_cast<IFPSDisplayControl*>(g->GetFPSDisplay()); }
  std::vector<std::string> readings() {
    drawOnly(*display());
    return texts(*g);
  }
  // The line points of the plot drawn last in the box (0, 0, 102, 44): from its move to the
  // plot's bottom-left (2, 42) up to its fill.
  std::vector<sp::test::DrawOp> plotPoints() {
    std::vector<sp::test::DrawOp> points;
    bool inPlot = false;
    for (const sp::test::DrawOp& op : g->drawOps()) {
      if (op.kind == sp::test::DrawOp::PathMoveTo) inPlot = op.args[0] == 2.f && op.args[1] == 42.f;
      if (inPlot && op.kind == sp::test::DrawOp::PathLineTo) points.push_back(op);
      if (op.kind == sp::test::DrawOp::PathFill) inPlot = false;
    }
    return points;
  }
};

}  // namespace

TEST_F(FrameRateTest, FramesEveryTwentyMillisecondsReadFiftyFramesPerSecond) {
  ShowFPSDisplay(*g, true);
  ASSERT_NE(display(), nullptr);
  expectRect(display()->GetRECT(), IRECT(10, 10, 210, 60));
  EXPECT_EQ(readings(), (std::vector<std::string>{"Frame Time"}));  // nothing measured yet
  for (int i = 0; i < 10; ++i) after(20);
  EXPECT_NEAR(display()->GetAverage(), 0.02f, 1e-6);
  EXPECT_EQ(readings(), (std::vector<std::string>{"Frame Time", "50.00 FPS", "20.00 ms"}));

  const std::string before = std::setlocale(LC_ALL, nullptr);
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no de_DE.UTF-8 locale";
  const std::vector<std::string> german = readings();
  std::setlocale(LC_ALL, before.c_str());
  EXPECT_EQ(german, (std::vector<std::string>{"Frame Time", "50.00 FPS", "20.00 ms"}));
}

TEST_F(FrameRateTest, AClickCyclesTheReading) {
  ShowFPSDisplay(*g, true);
  for (int i = 0; i < 5; ++i) after(20);
  mouse->click(100, 30);
  EXPECT_EQ(display()->GetStyle(), IFPSDisplayControl::EStyle::Ms);
  EXPECT_EQ(readings(), (std::vector<std::string>{"Frame Time", "20.00 ms"}));
  mouse->click(100, 30);
  EXPECT_EQ(readings(), (std::vector<std::string>{"Frame Time", "120.0 %"}));  // 20 ms of a 60 Hz budget
  mouse->click(100, 30);
  EXPECT_EQ(display()->GetStyle(), IFPSDisplayControl::EStyle::Fps);
}

TEST_F(FrameRateTest, ThePlotRunsFromTheOldestFrameToTheNewest) {
  ShowFPSDisplay(*g, true, IRECT(0, 0, 102, 44));
  auto* d = display();
  mouse->click(50, 20);  // frame times
  for (int i = 0; i < 99; ++i) d->Update(0.005f);
  d->Update(0.030f);  // the newest is slow
  drawOnly(*d);
  const std::vector<sp::test::DrawOp> points = plotPoints();
  ASSERT_EQ(points.size(), 101u);
  // Plot area (2, 2, 100, 42): 5 ms at a quarter of the height, 30 ms (above 20) at the top.
  EXPECT_FLOAT_EQ(points[0].args[0], 2.f);
  EXPECT_FLOAT_EQ(points[0].args[1], 32.f);
  EXPECT_FLOAT_EQ(points[99].args[0], 100.f);
  EXPECT_FLOAT_EQ(points[99].args[1], 2.f);
  EXPECT_FLOAT_EQ(points[98].args[1], 32.f);
}

// The percentage style's plot is scaled as its reading: shares of the 60 Hz frame budget,
// full at 100 %.
TEST_F(FrameRateTest, ThePercentagePlotShowsTheShareOfTheFrameBudgetAsItsReadingDoes) {
  ShowFPSDisplay(*g, true, IRECT(0, 0, 102, 44));
  auto* d = display();
  mouse->click(50, 20);
  mouse->click(50, 20);
  ASSERT_EQ(d->GetStyle(), IFPSDisplayControl::EStyle::Percentage);
  for (int i = 0; i < 98; ++i) d->Update(0.005f);  // 30 % of 16.7 ms
  d->Update(0.0125f);                             // 75 %
  d->Update(0.032f);                              // 192 %: at the top
  drawOnly(*d);
  const std::vector<sp::test::DrawOp> points = plotPoints();
  ASSERT_EQ(points.size(), 101u);
  EXPECT_NEAR(points[0].args[1], 42.f - 0.3f * 40.f, 1e-3);
  EXPECT_NEAR(points[98].args[1], 42.f - 0.75f * 40.f, 1e-3);
  EXPECT_NEAR(points[99].args[1], 2.f, 1e-3);
  const std::vector<std::string> r = texts(*g);
  ASSERT_FALSE(r.empty());
  EXPECT_EQ(r.back(), "32.1 %");  // the mean: (98 x 5 + 12.5 + 32) ms / 100 of 16.7 ms
}

// The plot fills in as frames arrive and the texts lie over it: each must stand out
// against the plot's fill and against the background around it.
TEST_F(FrameRateTest, TheTextsStandOutAgainstAFullPlotInEveryStyle) {
  // WCAG contrast ratio of two opaque colours (1 to 21).
  auto luminance = [](const IColor& c) {
    auto lin = [](int v) {
      const double s = v / 255.0;
      return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * lin(c.R) + 0.7152 * lin(c.G) + 0.0722 * lin(c.B);
  };
  auto contrast = [&](const IColor& a, const IColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
  };
  // Frame times that take each style's plot to the top.
  const struct {
    IFPSDisplayControl::EStyle style;
    float frameTime;
  } cases[] = {{IFPSDisplayControl::EStyle::Fps, 0.005f},
               {IFPSDisplayControl::EStyle::Ms, 0.030f},
               {IFPSDisplayControl::EStyle::Percentage, 0.030f}};
  ShowFPSDisplay(*g, true);
  auto* d = display();
  for (const auto& c : cases) {
    while (d->GetStyle() != c.style) mouse->click(100, 30);
    for (int i = 0; i < IFPSDisplayControl::kNumSamples; ++i) d->Update(c.frameTime);
    drawOnly(*d);
    const std::vector<Fill> painted = fills(*g);
    ASSERT_EQ(painted.size(), 2u);  // the background, then the plot
    const IColor background = painted[0].color, plot = painted[1].color;
    const IRECT r = d->GetRECT();
    expectRect(painted[1].box, IRECT(r.L + 2.f, r.T + 2.f, r.R, r.B), "the plot reaches the top");
    const std::vector<sp::test::DrawOp>& ops = g->drawOps();
    size_t plotAt = 0;
    for (size_t i = 0; i < ops.size(); ++i)
      if (ops[i].kind == sp::test::DrawOp::PathFill) plotAt = i;
    int shown = 0;
    for (size_t i = 0; i < ops.size(); ++i) {
      if (ops[i].kind != sp::test::DrawOp::DrawText) continue;
      ++shown;
      EXPECT_GT(i, plotAt) << ops[i].text << " drawn under the plot";
      EXPECT_GE(contrast(ops[i].textStyle.color, plot), 4.5) << ops[i].text << " over the plot";
      EXPECT_GE(contrast(ops[i].textStyle.color, background), 4.5) << ops[i].text << " over the background";
    }
    EXPECT_GE(shown, 2) << "the label and a reading";
  }
}

TEST_F(FrameRateTest, HiddenTheDisplayIsGoneAndTheFrameAfterItsReturnIsNotMeasured) {
  ShowFPSDisplay(*g, true);
  mouse->moveTo(100, 30);
  ShowFPSDisplay(*g, false);
  EXPECT_EQ(display(), nullptr);
  EXPECT_EQ(g->GetMouseOverControl(), nullptr);
  after(5000);
  ShowFPSDisplay(*g, true);
  after(20);
  after(20);
  EXPECT_NEAR(display()->GetAverage(), 0.02f, 1e-6);
}
