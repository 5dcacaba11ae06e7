// The vector knob: its geometry (track, handle, pointer), the track from the anchor to the
// value, widgets too small for a track, dragging and the final send on release, the value
// text and its entry, the texts taken from the parameter. The SVG control: drawn directly,
// or through a layer that is redrawn only when it no longer fits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/ISVGControl.h"
#include "graphics/IVKnobControl.h"
#include "graphics/svg/svg_builder.h"
#include "tests/graphics/fake_delegate.h"
#include "tests/support/canvas/draw_ops.h"
#include "tests/support/canvas/event_driver.h"

using namespace gfxtest;
using sp::test::describe;
using sp::test::DrawOp;
using sp::test::EventDriver;
using sp::test::num;
using sp::test::nums;

namespace {

// A knob that logs the geometry handed to its three drawing steps, then draws as usual.
class KnobProbe : public IVKnobControl {
public:
  using IVKnobControl::IVKnobControl;
  void DrawHandle(ICanvas& g, const IRECT& b) override {
    log.push_back("handle" + nums({b.L, b.T, b.R, b.B}));
    IVKnobControl::DrawHandle(g, b);
  }
  void DrawIndicatorTrack(ICanvas& g, float angle, float cx, float cy, float radius) override {
    log.push_back("track" + nums({angle, cx, cy, radius}));
    IVKnobControl::DrawIndicatorTrack(g, angle, cx, cy, radius);
  }
  void DrawPointer(ICanvas& g, float angle, float cx, float cy, float radius) override {
    log.push_back("pointer" + nums({angle, cx, cy, radius}));
    IVKnobControl::DrawPointer(g, angle, cx, cy, radius);
  }
  std::vector<std::string> log;
};

IVStyle widgetOnly() {
  IVStyle style = DEFAULT_STYLE;
  style.showLabel = false;
  style.showValue = false;
  return style;
}

class KnobTest : public EditorTest {
protected:
  KnobProbe* attach(const IRECT& r, float value, float anchor = -135.f, float track = 2.f, int param = 5) {
    auto* knob = new KnobProbe(r, param, "", widgetOnly(), false, false, -135.f, 135.f, anchor, EDirection::Vertical,
                               4.0, track);
    g->AttachControl(knob);
    knob->SetValue(value);
    g->clearDrawOps();
    return knob;
  }
  void draw(IControl* c) {
    g->clearDrawOps();
    c->Draw(*g);
  }
  // The path built for each stroke of that thickness, as texts.
  std::vector<std::vector<std::string>> strokes(float thickness) const {
    std::vector<std::vector<std::string>> out;
    std::vector<std::string> path;
    for (const DrawOp& op : g->drawOps()) {
      if (op.kind == DrawOp::PathClear) path.clear();
      if (op.kind == DrawOp::PathMoveTo || op.kind == DrawOp::PathLineTo || op.kind == DrawOp::PathArc)
        path.push_back(describe(op));
      if (op.kind == DrawOp::PathStroke) {
        if (op.args[0] == thickness) out.push_back(path);
        path.clear();
      }
    }
    return out;
  }
};

using SVGControlTest = KnobTest;

}  // namespace

// ---------------------------------------------------------------------------------------
// Knob geometry and drawing

TEST_F(KnobTest, A32UnitKnobHasTrackHandleAndPointerInProportion) {
  KnobProbe* knob = attach(IRECT(0, 0, 32, 32), 0.5f);
  ASSERT_EQ(knob->GetWidgetBounds(), IRECT(0, 0, 32, 32));
  EXPECT_EQ(knob->GetRadius(), 15.f);
  EXPECT_EQ(knob->GetTrackBounds(), IRECT(-1, -1, 33, 33));
  draw(knob);
  EXPECT_EQ(knob->log, (std::vector<std::string>{"track 0 16 16 15", "handle 5 5 27 27", "pointer 0 16 16 11"}));
  // Value 0.5 on -135..135 points straight up, from 0.1 to 1.0 of the handle's radius.
  EXPECT_EQ(strokes(2.5f), (std::vector<std::vector<std::string>>{{"M 16 14.9", "L 16 5"}}));
  // The track from the anchor at -135 to 0, in the Extra1 colour.
  const auto track = strokes(2.f);
  ASSERT_EQ(track.size(), 1u);
  EXPECT_EQ(track[0], (std::vector<std::string>{"A 16 16 15 -135 0"}));
  const auto painted = g->opsOf({DrawOp::PathStroke});
  bool extra1 = false;
  for (const DrawOp& op : painted) extra1 |= op.args[0] == 2.f && sp::test::colorOf(op) == DEFAULT_STYLE.colorSpec.GetColor(kExtra1);
  EXPECT_TRUE(extra1);
}

TEST_F(KnobTest, TrackRunsFromTheAnchorToTheValue) {
  struct Case {
    float anchor;
    float value;
    std::string arc;
  };
  const std::vector<Case> cases = {
      {0.f, 0.25f, "A 16 16 15 -67.5 0"},   {0.f, 0.75f, "A 16 16 15 0 67.5"},
      {-135.f, 0.f, "A 16 16 15 -135 -135"}, {-135.f, 1.f, "A 16 16 15 -135 135"},
      {135.f, 0.5f, "A 16 16 15 0 135"},
  };
  for (const Case& c : cases) {
    KnobProbe* knob = attach(IRECT(0, 0, 32, 32), c.value, c.anchor);
    draw(knob);
    EXPECT_EQ(strokes(2.f), (std::vector<std::vector<std::string>>{{c.arc}})) << c.anchor << " " << c.value;
    g->RemoveControl(knob);
  }
}

TEST_F(KnobTest, NoTrackWithoutRoomOrSize) {
  struct Case {
    IRECT bounds;
    float track;
    bool trackCalled;  // DrawIndicatorTrack is called only with a radius above 0
    bool trackDrawn;
    std::string handle;
  };
  const std::vector<Case> cases = {
      {IRECT(0, 0, 1, 1), 2.f, false, false, "handle 0 0 1 1"},          // radius -0.5; a handle 1 wide
      {IRECT(0, 0, 2, 6), 2.f, false, false, "handle 0.5 2.5 1.5 3.5"},  // radius 0
      {IRECT(0, 0, 7, 7), 2.f, true, true, "handle 3 3 4 4"},            // under 8 across: handle 1 wide
      {IRECT(0, 0, 32, 32), 0.f, true, false, "handle 4 4 28 28"},       // track size 0
  };
  for (const Case& c : cases) {
    KnobProbe* knob = attach(c.bounds, 0.3f, -135.f, c.track);
    draw(knob);
    ASSERT_EQ(knob->log.size(), c.trackCalled ? 3u : 2u) << c.handle;
    EXPECT_EQ(knob->log[0].rfind("track", 0) == 0, c.trackCalled) << c.handle;
    EXPECT_EQ(knob->log[c.trackCalled ? 1 : 0], c.handle);
    EXPECT_EQ(strokes(c.track).size(), c.trackDrawn ? 1u : 0u) << c.handle;
    g->RemoveControl(knob);
  }
  // Called directly with no radius, the track draws nothing either.
  KnobProbe* knob = attach(IRECT(0, 0, 32, 32), 0.3f);
  g->clearDrawOps();
  knob->IVKnobControl::DrawIndicatorTrack(*g, 10.f, 16.f, 16.f, -1.f);
  EXPECT_TRUE(g->drawOps().empty());
}

TEST_F(KnobTest, DragBoundsAreHalfTheWidgetAcrossItsLongerSide) {
  KnobProbe* tall = attach(IRECT(0, 0, 32, 32), 0.f);
  EXPECT_EQ(tall->GetKnobDragBounds(), IRECT(0, 8, 32, 24));
  KnobProbe* wide = attach(IRECT(0, 100, 64, 132), 0.f);
  EXPECT_EQ(wide->GetKnobDragBounds(), IRECT(24, 100, 40, 132));
}

// ---------------------------------------------------------------------------------------
// Knob mouse

TEST_F(KnobTest, SixteenUnitsUpWithGearingFourAddAQuarterAndReleaseSendsAgain) {
  KnobProbe* knob = attach(IRECT(0, 0, 32, 32), 0.f);
  knob->SetValueFromUserInput(0.25);
  dlg.log.clear();
  EventDriver mouse(*g);
  mouse.press(16, 16);
  mouse.dragTo(16, 0);
  EXPECT_NEAR(knob->GetValue(), 0.5, 1e-9);
  EXPECT_TRUE(knob->GetMouseDown());
  mouse.release();
  EXPECT_FALSE(knob->GetMouseDown());
  EXPECT_EQ(dlg.gestures(), (Log{"Begin 5", "Send 5 0.5", "Send 5 0.5", "End 5"}));
}

TEST_F(KnobTest, ActionKnobRunsItsActionAndDoubleClickRestoresTheDefault) {
  int actions = 0;
  auto* knob = new IVKnobControl(IRECT(0, 0, 32, 32), [&actions](IControl*) { ++actions; }, "", widgetOnly());
  g->AttachControl(knob);
  EventDriver mouse(*g);
  mouse.press(16, 16);
  mouse.dragTo(16, 8);
  mouse.release();
  EXPECT_NEAR(knob->GetValue(), 0.125, 1e-9);
  EXPECT_EQ(actions, 2);  // the drag and the release

  auto* linked = new IVKnobControl(IRECT(40, 0, 72, 32), 1, "", widgetOnly());
  g->AttachControl(linked);
  linked->SetValueFromUserInput(0.9);
  mouse.doubleClick(56, 16);
  EXPECT_NEAR(linked->GetValue(), dlg.GetParam(1)->ToNormalized(-14.0), 1e-9);
}

TEST_F(KnobTest, ValueTextTakesClicksOnlyWhenEditable) {
  g->EnableMouseOver(true);
  g->AttachPanelBackground(IColor(255, 30, 30, 30));  // index 0 never gets mouse-over
  for (const bool editable : {true, false}) {
    auto* knob = new IVKnobControl(IRECT(0, 0, 60, 80), 1, "Target", DEFAULT_STYLE, editable);
    g->AttachControl(knob);
    const IRECT value = knob->GetValueBounds();
    ASSERT_GT(value.Height(), 0.f);
    ASSERT_FALSE(knob->GetWidgetBounds().ContainsPoint(value.CentreX(), value.CentreY()));
    const float vx = value.CentreX(), vy = value.CentreY();
    EXPECT_EQ(knob->IsHit(vx, vy), editable);
    EXPECT_TRUE(knob->IsHit(knob->GetWidgetBounds().CentreX(), knob->GetWidgetBounds().CentreY()));

    EventDriver mouse(*g);
    mouse.moveTo(vx, vy);
    EXPECT_EQ(knob->GetValueMouseOver(), editable);
    if (editable) platform.leaveTextOpen();
    const size_t entries = platform.textEntries.size();
    mouse.click(vx, vy);
    EXPECT_EQ(platform.textEntries.size(), entries + (editable ? 1u : 0u));
    if (editable) g->dismissTextEntry();
    EXPECT_FALSE(knob->GetMouseDown());
    mouse.moveTo(500, 500);
    EXPECT_FALSE(knob->GetValueMouseOver());
    g->RemoveControl(knob);
  }
}

TEST_F(KnobTest, TextsComeFromTheLinkedParameter) {
  auto* unnamed = new IVKnobControl(IRECT(0, 0, 60, 80), 1);
  auto* named = new IVKnobControl(IRECT(60, 0, 120, 80), 1, "Mine");
  g->AttachControl(unnamed);
  g->AttachControl(named);
  StringBuf display;
  dlg.GetParam(1)->GetDisplayWithLabel(display);
  EXPECT_STREQ(unnamed->GetLabelStr(), "Loudness Target");
  EXPECT_STREQ(named->GetLabelStr(), "Mine");
  EXPECT_STREQ(unnamed->GetValueStr(), display.Get());
  EXPECT_EQ(unnamed->GetText().valign, DEFAULT_STYLE.valueText.valign);  // the style's value text
  EXPECT_EQ(unnamed->GetText().valign, ETextVAlign::Bottom);
  EXPECT_TRUE(unnamed->GetPromptDisabled());

  unnamed->SetValue(1.0);
  unnamed->SetDirty(true, 0);
  dlg.GetParam(1)->GetDisplayWithLabel(display);
  EXPECT_STREQ(unnamed->GetValueStr(), display.Get());
  EXPECT_STREQ(named->GetValueStr(), display.Get());  // linked to the same parameter
}

// ---------------------------------------------------------------------------------------
// SVG control

namespace {

// A 10 x 10 image: one red square.
struct Square {
  Square() {
    svg::ImageBuilder b(10, 10);
    NSVGshape* shape = b.AddShape();
    b.AddRect(shape, 0, 0, 10, 10);
    svg::ImageBuilder::SetColor(shape->fill, svg::PackColor(255, 0, 0));
    image = b.Release();
  }
  ~Square() { nsvgDelete(image); }
  ISVG svg() const { return ISVG(image); }
  NSVGimage* image;
};

}  // namespace

TEST_F(SVGControlTest, WithoutALayerTheImageIsDrawnWithTheBlend) {
  Square square;
  auto* control = new ISVGControl(IRECT(10, 10, 30, 30), square.svg());
  control->SetBlend(IBlend(EBlend::Default, 0.5f));
  g->AttachControl(control);
  g->tick();
  EXPECT_EQ(g->count(DrawOp::CreateBitmap), 0);
  const auto fills = g->opsOf({DrawOp::PathFill});
  ASSERT_EQ(fills.size(), 1u);
  EXPECT_TRUE(fills[0].hasBlend);
  EXPECT_EQ(fills[0].blend.weight, 0.5f);
  EXPECT_EQ(fills[0].matrix, IMatrix(2, 0, 0, 2, 10, 10));
}

TEST_F(SVGControlTest, ALayeredImageIsDrawnOnceAndThenOnlyItsBitmap) {
  Square square;
  auto* control = new ISVGControl(IRECT(10, 10, 30, 30), square.svg(), true);
  control->SetBlend(IBlend(EBlend::Default, 0.5f));
  g->AttachControl(control);
  g->tick();
  // Into the layer without the blend; the layer with it.
  EXPECT_EQ(g->count(DrawOp::CreateBitmap), 1);
  const auto first = g->opsOf({DrawOp::PathFill, DrawOp::DrawBitmap});
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(first[0].kind, DrawOp::PathFill);
  EXPECT_FALSE(first[0].hasBlend);
  EXPECT_EQ(describe(first[1]), "bitmap 10 10 30 30 0 0");
  EXPECT_EQ(first[1].blend.weight, 0.5f);
  const void* bitmap = first[1].bitmap;

  g->clearDrawOps();
  control->SetDirty(false);
  g->tick();
  const auto second = g->opsOf({DrawOp::PathFill, DrawOp::DrawBitmap, DrawOp::CreateBitmap, DrawOp::UpdateLayer});
  ASSERT_EQ(second.size(), 1u);
  EXPECT_EQ(second[0].kind, DrawOp::DrawBitmap);
  EXPECT_EQ(second[0].bitmap, bitmap);

  // Moved: drawn into a new layer.
  g->clearDrawOps();
  g->SetControlPosition(control, 40, 10);
  g->tick();
  EXPECT_EQ(g->count(DrawOp::CreateBitmap), 1);
  EXPECT_EQ(g->count(DrawOp::PathFill), 1);
}

TEST_F(SVGControlTest, NoImageOrNoAreaStartsNoLayer) {
  Square square;
  g->AttachControl(new ISVGControl(IRECT(10, 10, 30, 30), ISVG(), true));
  g->AttachControl(new ISVGControl(IRECT(40, 10, 40, 30), square.svg(), true));
  g->AttachControl(new ISVGControl(IRECT(50, 10, 70, 30), ISVG(), false));
  g->tick();
  EXPECT_EQ(g->count(DrawOp::CreateBitmap), 0);
  EXPECT_EQ(g->count(DrawOp::UpdateLayer), 0);
  EXPECT_EQ(g->count(DrawOp::PathFill), 0);
  EXPECT_EQ(g->count(DrawOp::DrawBitmap), 0);
}
