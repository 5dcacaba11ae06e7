// The corner scale control: a drag rescales the editor by the pointer's larger movement in
// window points (right or down enlarges) within 0.75..2, also over many events while the
// editor rescales under the pointer; a double click returns to scale 1; hovering shows the
// diagonal cursor and leaving restores the one before; the triangle's colours.
#include <gtest/gtest.h>

#include "tests/ui/panel_fixture.h"
#include "ui/corner_scale.h"

using namespace uitest;
using balance_panel::CornerScaleControl;
using sp::test::EventDriver;

namespace {

const IRECT kCorner(626, 386, 638, 398);

class CornerScale : public PanelTest {
protected:
  void SetUp() override {
    PanelTest::SetUp();
    corner = attach(new CornerScaleControl(kCorner, 640.f, 0.75f, 2.f, IColor(36, 250, 250, 250),
                                           IColor(90, 250, 250, 250)));
  }
  // A press at the corner's centre and one drag event by (dx, dy) points.
  float dragOnce(float dx, float dy) {
    EventDriver mouse(*g);
    mouse.press(632, 392);
    mouse.dragByPoints(dx, dy);
    mouse.release();
    return g->GetDrawScale();
  }

  CornerScaleControl* corner = nullptr;
};

}  // namespace

TEST_F(CornerScale, OneDragEventCountsItsLargerMovementInPoints) {
  struct Case {
    float dx, dy, scale;
  } cases[] = {{160, 0, 1.25f}, {30, 10, 1.046875f}, {-5, 20, 1.03125f}, {2000, 0, 2.f}, {-2000, -2000, 0.75f},
               {0, 0, 1.f}};
  for (const Case& c : cases) {
    g->Resize(640, 400, 1.f, true);
    EXPECT_FLOAT_EQ(dragOnce(c.dx, c.dy), c.scale) << c.dx << ", " << c.dy;
    EXPECT_EQ(g->Width(), 640);
    EXPECT_EQ(g->Height(), 400);
  }
  // From another scale, the same movement in points.
  g->Resize(640, 400, 1.5f, true);
  EXPECT_FLOAT_EQ(dragOnce(64, 0), 1.6f);
}

TEST_F(CornerScale, ManyEventsFollowThePointerWhileTheEditorRescalesUnderIt) {
  // The view reports positions in logical units of the scale at each event: points / scale.
  EventDriver mouse(*g);
  const float pressX = 632.f, pressY = 392.f;
  mouse.press(pressX, pressY);
  for (int k = 1; k <= 10; ++k) {
    const float pointerX = pressX + 16.f * k;  // window points (the press was at scale 1)
    const float scale = g->GetDrawScale();
    mouse.dragTo(pointerX / scale, pressY / scale);
    EXPECT_FLOAT_EQ(g->GetDrawScale(), (640.f + 16.f * k) / 640.f) << "event " << k;
    EXPECT_TRUE(g->ControlIsCaptured(corner));
  }
  mouse.release();
  EXPECT_EQ(g->WindowWidth(), 800);
}

TEST_F(CornerScale, ADoubleClickReturnsToScaleOne) {
  g->Resize(640, 400, 1.7f, true);
  EventDriver mouse(*g);
  mouse.doubleClick(632, 392);
  EXPECT_EQ(g->GetDrawScale(), 1.f);
  EXPECT_EQ(g->WindowWidth(), 640);
  EXPECT_EQ(g->WindowHeight(), 400);
}

TEST_F(CornerScale, HoverShowsTheResizeCursorAndLeavingRestoresThePreviousOne) {
  g->SetMouseCursor(ECursor::Hand);
  EventDriver mouse(*g);
  mouse.moveTo(632, 392);
  EXPECT_EQ(g->GetCursorKind(), ECursor::SizeNWSE);
  mouse.moveTo(634, 394);  // still over it: the kept cursor stays the hand
  mouse.moveTo(300, 200);
  EXPECT_EQ(g->GetCursorKind(), ECursor::Hand);
}

TEST_F(CornerScale, DrawsItsTriangleInTheHoverColourWhileHovered) {
  draw(*corner);
  ASSERT_EQ(shapes().size(), 1u);
  EXPECT_EQ(shapes()[0].colour(), IColor(36, 250, 250, 250));
  EXPECT_EQ(shapes()[0].points(), (std::vector<std::pair<float, float>>{{626, 398}, {638, 386}, {638, 398}}));
  EventDriver mouse(*g);
  mouse.moveTo(632, 392);
  draw(*corner);
  EXPECT_EQ(shapes()[0].colour(), IColor(90, 250, 250, 250));
}
