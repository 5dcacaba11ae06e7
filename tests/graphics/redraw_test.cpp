// The redraw loop: the optimised dirty-rectangle list, and which controls draw where.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "graphics/IContainerBase.h"
#include "graphics/IRECTList.h"
#include "tests/graphics/fake_delegate.h"
#include "tests/support/canvas/test_canvas.h"
#include "tests/support/canvas/test_clock.h"

using namespace gfxtest;
using sp::test::DrawOp;
using sp::test::TestCanvas;
using sp::test::TestPlatform;

namespace {

using Cells = std::set<std::pair<int, int>>;

// The unit cells of a 0..20 grid covered by the rectangles.
Cells covered(const std::vector<IRECT>& rects) {
  Cells cells;
  for (const IRECT& r : rects)
    for (int x = 0; x < 20; ++x)
      for (int y = 0; y < 20; ++y)
        if (r.ContainsPoint(x + 0.5f, y + 0.5f)) cells.insert({x, y});
  return cells;
}

std::vector<IRECT> optimised(const std::vector<IRECT>& input) {
  IRECTList list;
  for (const IRECT& r : input) list.Add(r);
  list.Optimize();
  std::vector<IRECT> out;
  for (int i = 0; i < list.Size(); ++i) out.push_back(list.Get(i));
  return out;
}

bool overlap(const IRECT& a, const IRECT& b) {
  return std::min(a.R, b.R) > std::max(a.L, b.L) && std::min(a.B, b.B) > std::max(a.T, b.T);
}

class Box : public IContainerBase {
public:
  using IContainerBase::IContainerBase;
  void Draw(ICanvas&) override {}
};

}  // namespace

TEST(RectList, OptimiseKeepsTheCoveredAreaAndRemovesEveryOverlap) {
  std::mt19937 rng(12345);
  std::uniform_int_distribution<int> coord(0, 20), count(2, 12);
  for (int round = 0; round < 3000; ++round) {
    std::vector<IRECT> input;
    const int n = count(rng);
    while (static_cast<int>(input.size()) < n) {
      int l = coord(rng), r = coord(rng), t = coord(rng), b = coord(rng);
      if (l == r || t == b) continue;
      input.emplace_back(static_cast<float>(std::min(l, r)), static_cast<float>(std::min(t, b)),
                         static_cast<float>(std::max(l, r)), static_cast<float>(std::max(t, b)));
    }
    const std::vector<IRECT> out = optimised(input);
    ASSERT_EQ(covered(out), covered(input)) << "round " << round;
    for (size_t i = 0; i < out.size(); ++i)
      for (size_t j = i + 1; j < out.size(); ++j) ASSERT_FALSE(overlap(out[i], out[j])) << "round " << round;
  }
}

TEST(RectList, OptimiseFixtures) {
  EXPECT_EQ(optimised({{0, 0, 10, 10}, {0, 0, 10, 10}}), (std::vector<IRECT>{{0, 0, 10, 10}}));
  EXPECT_EQ(optimised({{2, 2, 5, 5}, {0, 0, 10, 10}}), (std::vector<IRECT>{{0, 0, 10, 10}}));
  // Same left and right edges, touching: merged.
  EXPECT_EQ(optimised({{0, 0, 10, 5}, {0, 5, 10, 12}}), (std::vector<IRECT>{{0, 0, 10, 12}}));
  // The plus sign: the crossing strip is inside the bar, and both arms stay covered.
  const std::vector<IRECT> plus = optimised({{0, 10, 30, 20}, {10, 0, 20, 30}});
  EXPECT_EQ(covered(plus), covered({{0, 10, 30, 20}, {10, 0, 20, 30}}));
  EXPECT_EQ(plus.size(), 3u);
  // A corner overlap is split into parts that cover the same area once.
  const std::vector<IRECT> corner = optimised({{0, 0, 10, 10}, {5, 5, 15, 15}});
  EXPECT_EQ(covered(corner), covered({{0, 0, 10, 10}, {5, 5, 15, 15}}));
  for (size_t i = 0; i < corner.size(); ++i)
    for (size_t j = i + 1; j < corner.size(); ++j) EXPECT_FALSE(overlap(corner[i], corner[j]));
  // Rectangles that only touch at a corner are left as they are.
  EXPECT_EQ(optimised({{0, 0, 10, 10}, {10, 10, 20, 20}}).size(), 2u);
}

namespace {

class RedrawTest : public EditorTest {
protected:
  void SetUp() override {
    EditorTest::SetUp();
    if (HasFatalFailure()) return;
    g->tick();
    g->clearDrawOps();
  }

  Probe* attach(const IRECT& r) {
    auto* p = new Probe(r);
    g->AttachControl(p);
    return p;
  }
};

}  // namespace

TEST_F(RedrawTest, NothingDirtyDrawsNothing) {
  EXPECT_FALSE(g->tick());
  IRECTList empty;
  g->Draw(empty);
  EXPECT_EQ(g->count(DrawOp::BeginFrame), 0);
  EXPECT_EQ(g->count(DrawOp::EndFrame), 0);
}

TEST_F(RedrawTest, OnlyDirtyControlsDrawClippedToTheirGrownAlignedRectangle) {
  Probe* lone = attach(IRECT(10, 10, 20, 20));
  Probe* far = attach(IRECT(100, 100, 120, 120));
  Probe* near = attach(IRECT(21, 10, 30, 20));
  ASSERT_TRUE(g->tick());
  lone->calls.clear(), far->calls.clear(), near->calls.clear();
  lone->drawClips.clear(), near->drawClips.clear();
  g->clearDrawOps();

  lone->SetDirty(false);
  ASSERT_TRUE(g->tick());
  ASSERT_EQ(g->lastDirtyRects().Size(), 1);
  EXPECT_EQ(lone->drawClips, (std::vector<IRECT>{{9, 9, 21, 21}}));
  EXPECT_EQ(far->count("Draw"), 0);
  // The neighbour touches the grown rectangle and draws only inside it.
  EXPECT_EQ(near->drawClips, (std::vector<IRECT>{{20, 9, 21, 21}}));
  EXPECT_EQ(g->count(DrawOp::BeginFrame), 1);
  EXPECT_EQ(g->count(DrawOp::EndFrame), 1);
  EXPECT_FALSE(g->tick());  // everything clean again
}

TEST_F(RedrawTest, EachControlStartsWithIdentityEmptyPathAndItsClip) {
  // Each control leaves a transform and a path behind; the next one must not see them.
  struct Scribbler : Probe {
    using Probe::Probe;
    int checked = 0;
    void Draw(ICanvas& gr) override {
      Probe::Draw(gr);
      const auto& ops = static_cast<TestCanvas&>(gr).drawOps();
      ASSERT_GE(ops.size(), 3u);
      const size_t n = ops.size();
      EXPECT_EQ(ops[n - 3].kind, DrawOp::SetTransform);
      EXPECT_TRUE(ops[n - 3].matrix.IsIdentity());
      EXPECT_EQ(ops[n - 2].kind, DrawOp::PathClear);
      EXPECT_EQ(ops[n - 1].kind, DrawOp::SetClip);
      EXPECT_EQ(ops[n - 1].rect, gr.GetClipRect());
      EXPECT_TRUE(gr.GetTransform().IsIdentity());
      ++checked;
      gr.PathTransformSetMatrix(IMatrix(2, 0, 0, 2, 5, 5));
      gr.PathMoveTo(0, 0);
      gr.PathLineTo(5, 5);
    }
  };
  auto* a = new Scribbler(IRECT(0, 0, 10, 10));
  auto* b = new Scribbler(IRECT(5, 0, 15, 10));
  g->AttachControl(a);
  g->AttachControl(b);
  ASSERT_TRUE(g->tick());
  EXPECT_GE(a->checked, 1);
  EXPECT_GE(b->checked, 1);
}

TEST_F(RedrawTest, HiddenBackgroundStillDrawsOtherHiddenControlsDoNot) {
  Probe* bg = attach(IRECT(0, 0, 640, 400));
  Probe* hidden = attach(IRECT(10, 10, 20, 20));
  bg->Hide(true);
  hidden->Hide(true);
  ASSERT_TRUE(g->tick());
  EXPECT_GE(bg->count("Draw"), 1);
  EXPECT_EQ(hidden->count("Draw"), 0);
}

TEST_F(RedrawTest, ContainerCutsTheClipInsideThePassRectangle) {
  auto* box = new Box(IRECT(0, 0, 100, 100));
  g->AttachControl(box);
  auto* child = new Probe(IRECT(90, 10, 110, 20));
  box->AddChildControl(child);
  child->drawClips.clear();
  IRECTList list;
  list.Add(IRECT(95, 0, 105, 30));
  g->Draw(list);
  EXPECT_EQ(child->drawClips, (std::vector<IRECT>{{95, 9, 101, 21}}));

  // A dirty child partly outside its container asks only for its visible part.
  g->SetAllControlsClean();
  child->SetDirty(false);
  IRECTList dirty;
  ASSERT_TRUE(g->IsDirty(dirty));
  ASSERT_EQ(dirty.Size(), 1);
  EXPECT_EQ(dirty.Get(0), IRECT(89.25f, 9.25f, 100.75f, 20.75f));
  // Wholly outside: nothing to redraw.
  child->SetPosition(300, 300);
  g->SetAllControlsClean();
  child->SetDirty(false);
  IRECTList none;
  g->IsDirty(none);
  EXPECT_EQ(none.Size(), 0);
}

TEST_F(RedrawTest, StrictDrawingDrawsTheAlignedUnionOnce) {
  Probe* left = attach(IRECT(10, 10, 20, 20));
  Probe* middle = attach(IRECT(50, 10, 60, 20));
  Probe* right = attach(IRECT(90, 10, 100, 20));
  g->tick();
  left->drawClips.clear(), middle->drawClips.clear(), right->drawClips.clear();

  left->SetDirty(false);
  right->SetDirty(false);
  g->tick();
  EXPECT_TRUE(middle->drawClips.empty());  // not in any dirty rectangle

  g->SetStrictDrawing(true);  // marks everything dirty
  g->tick();
  left->drawClips.clear(), middle->drawClips.clear(), right->drawClips.clear();
  left->SetDirty(false);
  right->SetDirty(false);
  g->tick();
  EXPECT_EQ(middle->drawClips, (std::vector<IRECT>{{49, 9, 61, 21}}));  // inside the union
  EXPECT_EQ(left->drawClips.size(), 1u);
}

TEST_F(RedrawTest, FractionalScalesKeepClipsOnDevicePixels) {
  g->Resize(640, 400, 1.5f, true);
  g->tick();
  Probe* p = attach(IRECT(10.1f, 10.1f, 20.3f, 20.3f));
  p->drawClips.clear();
  g->tick();
  ASSERT_EQ(p->drawClips.size(), 1u);
  const IRECT c = p->drawClips[0];
  for (float edge : {c.L, c.T, c.R, c.B}) EXPECT_NEAR(edge * 1.5f, std::round(edge * 1.5f), 1e-4f);
  EXPECT_LE(c.L, 10.1f - 0.75f);
  EXPECT_GE(c.R, 20.3f + 0.75f);
}

TEST_F(RedrawTest, AnimatingControlsRedrawEveryTickUntilTheirAnimationEnds) {
  sp::test::TestClock clock;
  clock.addTimer(1000, 60, [this] { g->tick(); });
  Probe* p = attach(IRECT(0, 0, 10, 10));
  int displayTicks = 0;
  g->SetDisplayTickFunc([&] { ++displayTicks; });
  g->tick();
  p->calls.clear();
  DefaultClickActionFunc(p);
  clock.advance(1000.0 / 60 * 3);
  EXPECT_EQ(p->count("Draw"), 3);
  clock.advance(200);
  p->calls.clear();
  clock.advance(100);
  EXPECT_EQ(p->count("Draw"), 0);
  EXPECT_GT(displayTicks, 10);
}

namespace {

// A control that, once armed, marks other controls from its IsDirty, as the panel's update
// pill relayouts its neighbour there.
class Relayouter : public Probe {
public:
  using Probe::Probe;
  std::function<void()> onScan;
  bool IsDirty() override {
    if (onScan) {
      auto mark = std::move(onScan);
      onScan = nullptr;
      mark();
      return true;
    }
    return Probe::IsDirty();
  }
};

}  // namespace

TEST_F(RedrawTest, MarksMadeDuringTheDirtyScanAreNeverLost) {
  struct Case {
    const char* name;
    std::function<void(ICanvas&, Probe& earlier)> mark;
  } cases[] = {
      {"every control marked", [](ICanvas& g, Probe&) { g.SetAllControlsDirty(); }},
      {"one scanned control marked", [](ICanvas&, Probe& earlier) { earlier.SetDirty(false); }},
      {"scanned control moved", [](ICanvas& g, Probe& earlier) { g.SetControlBounds(&earlier, IRECT(300, 10, 340, 30)); }},
  };
  for (const Case& c : cases) {
    Probe* earlier = attach(IRECT(10, 10, 50, 30));
    auto* pill = new Relayouter(IRECT(100, 10, 200, 30));
    g->AttachControl(pill);
    g->tick();
    earlier->calls.clear();
    earlier->drawClips.clear();

    pill->onScan = [&] { c.mark(*g, *earlier); };
    g->tick();
    g->tick();
    // Drawn in this frame or the next, where it is now, and clean afterwards.
    ASSERT_GE(earlier->count("Draw"), 1) << c.name;
    EXPECT_TRUE(earlier->drawClips.back().Contains(earlier->GetRECT())) << c.name;
    EXPECT_FALSE(earlier->IsDirty()) << c.name;
    g->RemoveAllControls();
    g->tick();
  }
}
