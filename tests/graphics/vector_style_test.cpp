// The vector mix-in: the layout of label, value and widget, the pressable shapes in their
// states and colours, the splash, and restyling every vector control at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "graphics/Constants.h"
#include "graphics/IVectorBase.h"
#include "tests/graphics/fake_delegate.h"
#include "tests/support/canvas/draw_ops.h"
#include "tests/support/canvas/event_driver.h"
#include "tests/support/canvas/path_box.h"
#include "tests/support/canvas/test_clock.h"

using namespace gfxtest;
using namespace sp::test;
using Path = std::vector<std::string>;
using sp::test::EventDriver;
using sp::test::TestClock;
using sp::test::TestPlatform;

namespace {

// A vector control whose target is its widget.
class VControl : public IControl, public IVectorBase {
public:
  VControl(const IRECT& bounds, const char* label, const IVStyle& style = DEFAULT_STYLE, bool labelInWidget = false,
           bool valueInWidget = false)
      : IControl(bounds), IVectorBase(style, labelInWidget, valueInWidget) {
    AttachIControl(this, label);
  }
  void Draw(ICanvas&) override {}
  void OnResize() override { SetTargetRECT(MakeRects(mRECT)); }
  void OnAppearanceChanged() override { ++appearanceChanges; }
  int appearanceChanges = 0;
};

class VectorTest : public EditorTest {
protected:
  void SetUp() override {
    EditorTest::SetUp();
    if (HasFatalFailure()) return;
    g->clearDrawOps();
  }

  VControl* attach(const IRECT& r, const char* label = "", const IVStyle& style = DEFAULT_STYLE) {
    auto* c = new VControl(r, label, style);
    g->AttachControl(c);
    return c;
  }

  // Each fill and stroke as "F|S (A R G B) L T R B[ blend]": the paint's colour and the
  // box of the path it painted, in UI units.
  std::vector<std::string> paintSummary() const {
    std::vector<std::string> out;
    PathBox box;
    for (const DrawOp& op : g->drawOps()) {
      switch (op.kind) {
        case DrawOp::PathClear: box.clear(); break;
        case DrawOp::PathFill:
        case DrawOp::PathStroke: {
          const IColor c = colorOf(op);
          const IRECT r = box.rect();
          out.push_back(std::string(op.kind == DrawOp::PathFill ? "F" : "S") + " (" + num(c.A) + nums({double(c.R), double(c.G), double(c.B)}) +
                        ")" + nums({r.L, r.T, r.R, r.B}) + (op.hasBlend ? " blend" : ""));
          box.clear();
          break;
        }
        default: box.add(op); break;
      }
    }
    return out;
  }
};

IVStyle styleWith(const std::function<void(IVStyle&)>& change) {
  IVStyle s = DEFAULT_STYLE;
  change(s);
  return s;
}

void expectRect(const IRECT& actual, const IRECT& expected, const std::string& what) {
  EXPECT_NEAR(actual.L, expected.L, 1e-4) << what;
  EXPECT_NEAR(actual.T, expected.T, 1e-4) << what;
  EXPECT_NEAR(actual.R, expected.R, 1e-4) << what;
  EXPECT_NEAR(actual.B, expected.B, 1e-4) << what;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Layout

TEST_F(VectorTest, LabelValueAndWidgetShareTheBounds) {
  // The test canvas measures "Gain" at 19 as 38 x 19 and "-3.0 dB" at 14 as 49 x 14.
  const IRECT bounds(0, 0, 100, 120);
  struct Case {
    const char* name;
    const char* label;
    std::function<void(IVStyle&)> style;
    bool hasHandle;
    IRECT label_, value, widget;
  };
  const auto none = [](IVStyle&) {};
  const std::vector<Case> cases = {
      {"label above", "Gain", none, false, {31, 0, 69, 19}, {17.66f, 106, 82.34f, 120}, {0, 19, 100, 106}},
      {"label right", "Gain", [](IVStyle& s) { s.labelSide = EVLabelSide::Right; }, false,
       {62, 50.5f, 100, 69.5f}, {-1.34f, 106, 63.34f, 120}, {0, 0, 62, 106}},
      {"label below", "Gain", [](IVStyle& s) { s.labelSide = EVLabelSide::Below; }, false,
       {31, 101, 69, 120}, {17.66f, 87, 82.34f, 101}, {0, 0, 100, 87}},
      {"label left", "Gain", [](IVStyle& s) { s.labelSide = EVLabelSide::Left; }, false,
       {0, 50.5f, 38, 69.5f}, {36.66f, 106, 101.34f, 120}, {38, 0, 100, 106}},
      {"empty label takes no space", "", none, false, {}, {17.66f, 106, 82.34f, 120}, {0, 0, 100, 106}},
      {"hidden label takes no space", "Gain", [](IVStyle& s) { s.showLabel = false; }, false,
       {}, {17.66f, 106, 82.34f, 120}, {0, 0, 100, 106}},
      {"value on top", "Gain", [](IVStyle& s) { s.valueText.valign = ETextVAlign::Top; }, false,
       {31, 0, 69, 19}, {17.66f, 19, 82.34f, 33}, {0, 33, 100, 120}},
      {"value in the middle", "Gain", [](IVStyle& s) { s.valueText.valign = ETextVAlign::Middle; }, false,
       {31, 0, 69, 19}, {17.66f, 62.5f, 82.34f, 76.5f}, {0, 19, 100, 120}},
      {"no value", "Gain", [](IVStyle& s) { s.showValue = false; }, false, {31, 0, 69, 19}, {}, {0, 19, 100, 120}},
      {"half the widget", "Gain", [](IVStyle& s) { s.widgetFrac = 0.5f; }, false,
       {31, 0, 69, 19}, {17.66f, 106, 82.34f, 120}, {25, 40.75f, 75, 84.25f}},
      {"handle leaves room for frame and shadow", "Gain", none, true,
       {31, 0, 69, 19}, {17.66f, 106, 82.34f, 120}, {3.5f, 19.5f, 96.5f, 116.5f}},
  };
  for (const Case& c : cases) {
    VControl* v = attach(bounds, c.label, styleWith(c.style));
    v->SetValueStr("-3.0 dB");
    const IRECT widget = v->MakeRects(bounds, c.hasHandle);
    expectRect(widget, c.widget, std::string(c.name) + " widget");
    expectRect(v->GetWidgetBounds(), c.widget, std::string(c.name) + " stored widget");
    expectRect(v->GetLabelBounds(), c.label_, std::string(c.name) + " label");
    expectRect(v->GetValueBounds(), c.value, std::string(c.name) + " value");
    g->RemoveControl(v);
  }

  // Label and value inside the widget take the widget's rectangle.
  auto* inside = new VControl(bounds, "Gain", DEFAULT_STYLE, true, true);
  g->AttachControl(inside);
  inside->SetValueStr("-3.0 dB");
  inside->MakeRects(bounds);
  EXPECT_EQ(inside->GetLabelBounds(), bounds);
  EXPECT_EQ(inside->GetValueBounds(), bounds);
  EXPECT_EQ(inside->GetTargetRECT(), bounds);
}

// ---------------------------------------------------------------------------------------
// Pressable shapes

TEST_F(VectorTest, EllipseHandleInEveryState) {
  struct Case {
    const char* name;
    bool emboss, pressed, mouseOver, disabled;
    std::vector<std::string> expected;
  };
  const std::string frame = "S (255 70 70 70) 0 0 40 40 blend";
  const std::vector<Case> cases = {
      {"resting", false, false, false, false,
       {"F (60 0 0 0) 3 3 43 43", "F (255 200 200 200) 0 0 40 40", frame}},
      {"disabled: darker, no shadow", false, false, false, true, {"F (255 137 137 137) 0 0 40 40", frame}},
      {"hovered", false, false, true, false,
       {"F (60 0 0 0) 3 3 43 43", "F (255 200 200 200) 0 0 40 40", "F (10 0 0 0) 0 0 40 40 blend", frame}},
      {"pressed", false, true, false, false, {"F (255 240 240 240) 0 0 40 40", frame}},
      {"pressed and disabled", false, true, false, true, {"F (255 177 177 177) 0 0 40 40", frame}},
      {"embossed", true, false, false, false,
       {"F (60 0 0 0) 3 3 43 43", "F (255 240 240 240) 0 0 40 40", "F (60 0 0 0) 3 3 43 43",
        "F (255 200 200 200) 3 3 37 37", frame}},
      {"embossed and hovered", true, false, true, false,
       {"F (60 0 0 0) 3 3 43 43", "F (255 240 240 240) 0 0 40 40", "F (60 0 0 0) 3 3 43 43",
        "F (255 200 200 200) 3 3 37 37", "F (10 0 0 0) 3 3 37 37 blend", frame}},
      {"embossed and pressed", true, true, false, false,
       {"F (255 240 240 240) 0 0 40 40 blend", "F (60 0 0 0) 0 0 40 40 blend", "F (255 200 200 200) 3 3 40 40",
        "F (255 240 240 240) 3 3 37 37", frame}},
  };
  for (const Case& c : cases) {
    VControl* v = attach(IRECT(0, 0, 40, 40), "", styleWith([&](IVStyle& s) { s.emboss = c.emboss; }));
    g->clearDrawOps();
    v->DrawPressableShape(*g, EVShape::Ellipse, IRECT(0, 0, 40, 40), c.pressed, c.mouseOver, c.disabled);
    EXPECT_EQ(paintSummary(), c.expected) << c.name;
    g->RemoveControl(v);
  }

  // Frame and shadows off: the foreground alone.
  VControl* plain = attach(IRECT(0, 0, 40, 40), "", styleWith([](IVStyle& s) {
                             s.drawFrame = false;
                             s.drawShadows = false;
                           }));
  g->clearDrawOps();
  plain->DrawPressableEllipse(*g, IRECT(0, 0, 40, 40), false, false, false);
  EXPECT_EQ(paintSummary(), (std::vector<std::string>{"F (255 200 200 200) 0 0 40 40"}));
}

TEST_F(VectorTest, PressedHandleOfAnAnimatingControlShowsTheSplashInsideIt) {
  VControl* v = attach(IRECT(0, 0, 40, 40));
  g->PrepareRegion(IRECT(0, 0, 100, 100));
  v->SetAnimationFunction([](IControl*) {}, 100);
  v->SetSplashPoint(10, 12);
  v->SetSplashRadius(0.1f);  // 5 units
  g->clearDrawOps();
  v->DrawPressableEllipse(*g, IRECT(0, 0, 40, 40), true, false, false);
  EXPECT_EQ(paintSummary(), (std::vector<std::string>{"F (255 240 240 240) 0 0 40 40", "F (10 0 0 0) 5 7 15 17",
                                                      "S (255 70 70 70) 0 0 40 40 blend"}));
  const auto p = paints(*g);
  EXPECT_EQ(p[1].clip, IRECT(0, 0, 40, 40));
  EXPECT_EQ(p[2].clip, IRECT(0, 0, 100, 100));
}

TEST_F(VectorTest, RectangleRoundsOnlyTheCornersAskedFor) {
  VControl* v = attach(IRECT(0, 0, 40, 20), "", styleWith([](IVStyle& s) { s.roundness = 1.f; }));
  v->DrawPressableShape(*g, EVShape::HalfRoundedRectangle, IRECT(0, 0, 40, 20), false, false, false);
  // The handle sits inside half the frame, with room for the shadow right and below.
  std::vector<std::string> arcs;
  for (const std::string& op : described(*g, false))
    if (op[0] == 'A') arcs.push_back(op);
  ASSERT_EQ(arcs.size(), 12u);  // shadow, fill and frame
  EXPECT_EQ(std::vector<std::string>(arcs.begin() + 4, arcs.begin() + 8),
            (Path{"A 11.5 8.5 8 270 360", "A 28.5 8.5 8 0 90", "A 36.5 16.5 0 90 180", "A 3.5 16.5 0 180 270"}));
  EXPECT_EQ(paintSummary(), (std::vector<std::string>{"F (60 0 0 0) 6.5 3.5 39.5 19.5",
                                                      "F (255 200 200 200) 3.5 0.5 36.5 16.5",
                                                      "S (255 70 70 70) 3.5 0.5 36.5 16.5 blend"}));

  // Square corners: plain rectangle paths.
  g->clearDrawOps();
  v->SetRoundness(0.f);
  v->DrawPressableShape(*g, EVShape::AllRoundedRectangle, IRECT(0, 0, 40, 20), false, false, false);
  EXPECT_EQ(g->count(DrawOp::PathArc), 0);
  EXPECT_EQ(g->count(DrawOp::PathLineTo), 9);

  // Unknown shapes draw nothing.
  g->clearDrawOps();
  v->DrawPressableShape(*g, static_cast<EVShape>(9), IRECT(0, 0, 40, 20), false, false, false);
  EXPECT_TRUE(g->drawOps().empty());
}

TEST_F(VectorTest, TriangleTurnsAboutTheCentreOfItsHandle) {
  VControl* v = attach(IRECT(0, 0, 40, 40), "", styleWith([](IVStyle& s) { s.angle = 180.f; }));
  v->DrawPressableShape(*g, EVShape::Triangle, IRECT(0, 0, 40, 40), false, false, false);
  const Path ops = described(*g, false);
  // Shadow first, moved by the offset; then the foreground pointing down.
  EXPECT_EQ(Path(ops.begin(), ops.begin() + 6), (Path{"clear", "M 39.5 3.5", "L 23 39.5", "L 6.5 3.5", "Z", "F"}));
  EXPECT_EQ(Path(ops.begin() + 6, ops.begin() + 12), (Path{"clear", "M 36.5 0.5", "L 20 36.5", "L 3.5 0.5", "Z", "F"}));
  EXPECT_EQ(colorOf(paints(*g).at(1)), DEFAULT_FGCOLOR);

  g->clearDrawOps();
  v->DrawPressableTriangle(*g, IRECT(0, 0, 40, 40), true, true, 0.f, true);
  EXPECT_EQ(paintSummary(), (std::vector<std::string>{"F (255 177 177 177) 3.5 0.5 36.5 36.5",
                                                      "F (10 0 0 0) 3.5 0.5 36.5 36.5 blend",
                                                      "S (255 70 70 70) 3.5 0.5 36.5 36.5 blend"}));
}

TEST_F(VectorTest, DisabledColoursAre63DarkerAndKeepTheirAlpha) {
  struct Case {
    IColor in, out;
  };
  for (const Case& c : std::vector<Case>{{IColor(255, 200, 200, 200), IColor(255, 137, 137, 137)},
                                         {IColor(255, 10, 200, 255), IColor(255, 0, 137, 192)},
                                         {IColor(60, 0, 0, 0), IColor(60, 0, 0, 0)},
                                         {IColor(17, 63, 64, 62), IColor(17, 0, 1, 0)}})
    EXPECT_EQ(IVectorBase::Disabled(c.in, true), c.out);
  EXPECT_EQ(IVectorBase::Disabled(IColor(1, 2, 3, 4), false), IColor(1, 2, 3, 4));
}

TEST_F(VectorTest, BackgroundLabelAndValueUseTheirStylesAndTheControlsBlend) {
  VControl* v = attach(IRECT(0, 0, 100, 120), "Gain");
  v->SetValueStr("-3.0 dB");
  v->MakeRects(v->GetRECT());
  v->SetDisabled(true);
  g->clearDrawOps();
  v->DrawBackground(*g, v->GetRECT());
  v->DrawLabel(*g);
  v->DrawValue(*g, true);
  EXPECT_EQ(described(*g, false),
            (Path{"clear", "M 0 0", "L 100 0", "L 100 120", "L 0 120", "Z", "F", "text Gain 31 0 69 19", "clear",
                  "M 17.66 106", "L 82.34 106", "L 82.34 120", "L 17.66 120", "Z", "F",
                  "text -3.0 dB 17.66 106 82.34 120"}));
  const auto p = paints(*g);
  EXPECT_EQ(colorOf(p[0]), DEFAULT_BGCOLOR);
  EXPECT_FLOAT_EQ(p[0].blend.weight, 0.25f);
  EXPECT_EQ(colorOf(p[1]), COLOR_TRANSLUCENT);
  EXPECT_FALSE(p[1].hasBlend);
  const auto texts = g->opsOf({DrawOp::DrawText});
  EXPECT_EQ(texts[0].textStyle, DEFAULT_LABEL_TEXT);
  EXPECT_EQ(texts[1].textStyle, DEFAULT_VALUE_TEXT);
  EXPECT_FLOAT_EQ(texts[1].blend.weight, 0.25f);

  // No label height or no label shown: no label; no value shown: only the hover shade.
  v->SetShowLabel(false);
  v->SetShowValue(false);
  g->clearDrawOps();
  v->DrawLabel(*g);
  v->DrawValue(*g, false);
  EXPECT_TRUE(g->drawOps().empty());
}

// ---------------------------------------------------------------------------------------
// Splash and restyling

TEST_F(VectorTest, SplashGrowsFromTheClickPointForItsHundredMilliseconds) {
  TestClock clock;
  VControl* v = attach(IRECT(0, 0, 100, 100));
  EventDriver mouse(*g);
  mouse.click(30, 40);
  const int before = v->appearanceChanges;
  SplashClickActionFunc(v);
  EXPECT_EQ(v->GetSplashPoint(), (IPointF{30, 40}));
  EXPECT_GT(v->appearanceChanges, before);
  ASSERT_TRUE(v->GetAnimationFunction());
  clock.advance(50);
  v->Animate();
  EXPECT_FLOAT_EQ(v->GetSplashRadius(), 25.f);
  clock.advance(60);
  v->Animate();
  EXPECT_FALSE(v->GetAnimationFunction());

  // Without the vector part the click starts nothing, and the animation only ends.
  auto* probe = new Probe(IRECT(0, 0, 10, 10));
  g->AttachControl(probe);
  SplashClickActionFunc(probe);
  EXPECT_FALSE(probe->GetAnimationFunction());
  probe->SetAnimationFunction(SplashAnimationFunc, 100);
  clock.advance(50);
  probe->Animate();
  EXPECT_TRUE(probe->GetAnimationFunction());
  clock.advance(60);
  probe->Animate();
  EXPECT_FALSE(probe->GetAnimationFunction());
  SplashAnimationFunc(nullptr);
  SplashClickActionFunc(nullptr);
}

TEST_F(VectorTest, SplashIsClippedAndTheWholeAreaIsDrawableAgainAfterwards) {
  VControl* v = attach(IRECT(0, 0, 100, 100));
  g->PrepareRegion(IRECT(0, 0, 100, 100));
  v->SetSplashPoint(10, 10);
  v->SetSplashRadius(0.2f);
  g->clearDrawOps();
  v->DrawSplash(*g, IRECT(0, 0, 30, 30));
  EXPECT_EQ(described(*g), (Path{"T 1 0 0 1 0 0", "clip 0 0 30 30", "T 1 0 0 1 0 0", "clear", "M 10 0",
                                 "A 10 10 10 0 360", "Z", "F", "T 1 0 0 1 0 0", "clip 0 0 100 100",
                                 "T 1 0 0 1 0 0"}));
  EXPECT_EQ(colorOf(paints(*g).at(0)), DEFAULT_HLCOLOR);
}

TEST_F(VectorTest, RestylingReachesEveryVectorControlAndNothingElse) {
  VControl* a = attach(IRECT(0, 0, 10, 10));
  g->AttachControl(new Probe(IRECT(0, 0, 10, 10)));  // not a vector control: left alone
  VControl* b = attach(IRECT(0, 0, 10, 10));
  const IVStyle style = styleWith([](IVStyle& s) {
    s.roundness = 0.5f;
    s.colorSpec.SetColor(kForeground, COLOR_RED);
  });
  const int aBefore = a->appearanceChanges, bBefore = b->appearanceChanges;
  g->StyleAllVectorControls(style);
  for (VControl* v : {a, b}) {
    EXPECT_FLOAT_EQ(v->GetStyle().roundness, 0.5f);
    EXPECT_EQ(v->GetColor(kForeground), COLOR_RED);
  }
  EXPECT_EQ(a->appearanceChanges, aBefore + 1);
  EXPECT_EQ(b->appearanceChanges, bBefore + 1);
}
