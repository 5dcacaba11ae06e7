// The update notice: the pill sized to its text and right-aligned in its space (never
// wider), the title moved to end 10 units left of it and back to 504 without it, nothing
// drawn or hit without a notice, clicks passing left of it, the page opened once per
// click, the hover cursor and fill, the settings item, and a title relayout made inside
// the dirty scan redrawing everything it uncovers.
#include <gtest/gtest.h>

#include <string>

#include "graphics/ITextControl.h"
#include "services/updates.h"
#include "tests/ui/panel_fixture.h"
#include "ui/panel_wiring.h"
#include "ui/update_pill.h"

using namespace uitest;
using brightloom::controls::UpdatePillControl;
namespace updates = brightloom::updates;

namespace {

const IRECT kPillSpace(364, 41, 524, 65);
const IRECT kTitle(20, 41, 504, 69);

class Probe : public IControl {
public:
  explicit Probe(const IRECT& r) : IControl(r) {}
  void Draw(ICanvas&) override {}
  void OnMouseDown(float, float, const IMouseMod&) override { ++presses; }
  int presses = 0;
};

class UpdatePill : public PanelTest {
protected:
  void SetUp() override {
    PanelTest::SetUp();
    updates::Config config;
    config.product = "spectrapoise";
    config.version = "0.4.10";
    config.now = [] { return std::int64_t{1000}; };
    config.fetch = [](const std::string&) { return brightloom::net::HttpResult{}; };
    config.mayUseNetwork = [] { return false; };
    checker = std::make_unique<updates::UpdateCheck>(config);
    checker->setEnabled(true);
    offer("");
  }
  void TearDown() override {
    offer("");
    PanelTest::TearDown();
  }
  // Makes the checker hold a notice of that version (none for "").
  void offer(const std::string& version) {
    const std::string feed =
        version.empty() ? "{}" : R"({"spectrapoise":{"version":")" + version + R"(","page":"/spectrapoise"}})";
    ASSERT_TRUE(checker->writeRecord({1000, feed}));
    checker->reload();
  }
  // The title (tag 0), a probe under the pill's space, and the pill.
  void build(const std::string& titleText = "SPECTRAPOISE") {
    title = attach(new ITextControl(kTitle, titleText.c_str(), style("RobotoCondensed-Bold", 21, kPalette.text,
                                                                      ETextHAlign::Left)),
                   0);
    below = attach(new Probe(IRECT(300, 41, 530, 69)));
    pill = attach(new UpdatePillControl(kPillSpace, IColor(255, 252, 120, 92), IColor(255, 253, 146, 124),
                                        IColor(255, 10, 10, 10), style("Roboto-Regular", 10, kPalette.text),
                                        checker.get(), balance_panel::titleRelayout(*g)));
  }

  const Palette kPalette = testPalette();
  std::unique_ptr<updates::UpdateCheck> checker;
  ITextControl* title = nullptr;
  Probe* below = nullptr;
  UpdatePillControl* pill = nullptr;
};

}  // namespace

TEST_F(UpdatePill, ANoticeShowsAPillSizedToItsTextAndTheTitleEndsLeftOfIt) {
  offer("0.5.0");
  build();
  g->tick();
  EXPECT_EQ(pill->label(), "0.5.0 AVAILABLE");
  EXPECT_EQ(pill->url(), "https://www.brightloom.example/spectrapoise");
  // 15 characters of 5 units, plus two thirds of the height.
  EXPECT_TRUE(rectNear(pill->pillRect(), IRECT(433, 41, 524, 65)));
  EXPECT_TRUE(rectNear(title->GetRECT(), IRECT(20, 41, 423, 69)));
  EXPECT_TRUE(rectNear(title->GetTargetRECT(), IRECT(20, 41, 423, 69)));

  draw(*pill);
  const auto fills = shapes();
  ASSERT_EQ(fills.size(), 1u);
  EXPECT_EQ(fills[0].colour(), IColor(255, 252, 120, 92));
  EXPECT_TRUE(rectNear(fills[0].bounds(), IRECT(433, 43.4f, 524, 62.6f)));
  const sp::test::DrawOp text = textOp("0.5.0 AVAILABLE");
  EXPECT_EQ(text.textStyle.color, IColor(255, 10, 10, 10));
  EXPECT_EQ(text.textStyle.align, ETextHAlign::Centre);
}

TEST_F(UpdatePill, AWideNoticeFillsTheWholeSpaceAndNoMore) {
  offer("1234.5678.9012");
  build();
  // Size 12: 24 characters of 6 units, 144 with the 16 of the ends reach the 160 there are.
  pill->SetText(style("Roboto-Regular", 12, kPalette.text));
  EXPECT_EQ(pill->pillRect(), kPillSpace);
  EXPECT_TRUE(rectNear(title->GetRECT(), IRECT(20, 41, 354, 69)));
  pill->SetText(style("Roboto-Regular", 20, kPalette.text));
  EXPECT_EQ(pill->pillRect(), kPillSpace);
}

TEST_F(UpdatePill, WithoutANoticeNothingIsDrawnOrHitAndClicksReachBelow) {
  build();
  g->tick();
  EXPECT_TRUE(pill->pillRect().IsEmpty());
  EXPECT_EQ(title->GetRECT(), kTitle);
  draw(*pill);
  EXPECT_TRUE(g->drawOps().empty());
  EXPECT_FALSE(pill->IsHit(500, 50));
  sp::test::EventDriver mouse(*g);
  mouse.click(500, 50);
  EXPECT_EQ(below->presses, 1);
  EXPECT_TRUE(platform.openedURLs.empty());
}

TEST_F(UpdatePill, AClickOnThePillOpensThePageOnceAndAClickLeftOfItReachesBelow) {
  offer("0.5.0");
  build();
  g->tick();
  sp::test::EventDriver mouse(*g);
  mouse.click(430, 50);  // left of the pill, inside its space
  EXPECT_EQ(below->presses, 1);
  EXPECT_TRUE(platform.openedURLs.empty());
  mouse.click(480, 50);
  ASSERT_EQ(platform.openedURLs.size(), 1u);
  EXPECT_EQ(platform.openedURLs[0], "https://www.brightloom.example/spectrapoise");
  EXPECT_EQ(below->presses, 1);
}

TEST_F(UpdatePill, HoverShowsTheHandAndTheHoverFill) {
  offer("0.5.0");
  build();
  g->tick();
  sp::test::EventDriver mouse(*g);
  mouse.moveTo(480, 50);
  EXPECT_TRUE(pill->hovered());
  EXPECT_EQ(g->GetCursorKind(), ECursor::Hand);
  draw(*pill);
  EXPECT_EQ(shapes().at(0).colour(), IColor(255, 253, 146, 124));
  mouse.moveTo(200, 200);
  EXPECT_FALSE(pill->hovered());
  EXPECT_EQ(g->GetCursorKind(), ECursor::Arrow);
}

TEST_F(UpdatePill, TheNoticeComingAndGoingMovesTheTitleAtTheNextFrame) {
  build();
  g->tick();
  offer("0.5.0");
  EXPECT_EQ(title->GetRECT(), kTitle);
  g->tick();
  EXPECT_TRUE(rectNear(title->GetRECT(), IRECT(20, 41, 423, 69)));
  // Switching checks off removes the notice; the title reaches 504 again.
  checker->setEnabled(false);
  g->tick();
  EXPECT_TRUE(pill->pillRect().IsEmpty());
  EXPECT_EQ(title->GetRECT(), kTitle);
}

TEST_F(UpdatePill, TheSettingsItemIsCheckedWhileChecksAreOn) {
  build();
  IPopupMenu menu;
  pill->addMenuItems(menu);
  ASSERT_EQ(menu.NItems(), 2);
  EXPECT_STREQ(menu.GetItemText(0), "Check for updates");
  EXPECT_TRUE(menu.IsItemChecked(0));
  EXPECT_TRUE(menu.GetItem(1)->GetIsSeparator());
  checker->setEnabled(false);
  IPopupMenu off;
  pill->addMenuItems(off);
  EXPECT_FALSE(off.IsItemChecked(0));
}

TEST_F(UpdatePill, ATitleRelayoutInsideTheDirtyScanRedrawsWhatItUncovers) {
  // A long title reaching under the pill's space, then a notice that fills the space: the
  // title shrinks to end at 354 during the dirty scan, after the title was scanned. The
  // area between its new end and the pill (354.75 .. 363.25) held title text: it must be
  // redrawn in the same frame, and again when the notice goes.
  build(std::string(100, 'W'));
  pill->SetText(style("Roboto-Regular", 12, kPalette.text));
  g->tick();
  offer("1234.5678.9012");
  g->clearDrawOps();
  ASSERT_TRUE(g->tick());
  EXPECT_TRUE(rectNear(title->GetRECT(), IRECT(20, 41, 354, 69)));
  auto covered = [&](const IRECT& gap) {
    for (int i = 0; i < g->lastDirtyRects().Size(); ++i)
      if (g->lastDirtyRects().Get(i).Contains(gap)) return true;
    return false;
  };
  EXPECT_TRUE(covered(IRECT(354.75f, 41, 363.25f, 69)));
  // The background was drawn over the gap in that frame.
  bool background = false;
  for (const sp::test::DrawOp& op : g->opsOf({sp::test::DrawOp::PathFill}))
    if (sp::test::colorOf(op) == IColor(255, 10, 10, 10) && op.clip.L <= 354.75f && op.clip.R >= 363.25f)
      background = true;
  EXPECT_TRUE(background);

  offer("");
  ASSERT_TRUE(g->tick());
  EXPECT_EQ(title->GetRECT(), kTitle);
  EXPECT_TRUE(covered(IRECT(354.75f, 41, 504.75f, 69)));
}
