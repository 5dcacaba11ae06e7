// The stock gallery: every stock control attached on one layout, drawn, and clicked once
// through the dispatch, with every host edit balanced.
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "tests/graphics/stock/stock_fixture.h"
#include "tools/stock_gallery/StockGallery.h"

using namespace stocktest;

namespace {

class StockGalleryTest : public StockTest {
protected:
  void SetUp() override {
    StockTest::SetUp();
    if (HasFatalFailure()) return;
    stock_gallery::Params params;
    params.toggle = kPower;
    params.choice = kLetter;
    params.steps = kSteps;
    params.level = kMix;
    params.x = kLevel;
    params.y = kMix;
    stock_gallery::attach(*g, params);
  }
};

// Every Send lies inside an open edit of its parameter, and every edit that began ended.
void expectBalancedEdits(const Log& log) {
  std::map<int, int> open;
  for (const std::string& entry : log) {
    const size_t space = entry.find(' ');
    const std::string kind = entry.substr(0, space);
    const int param = std::stoi(entry.substr(space + 1));
    if (kind == "Begin") {
      ++open[param];
    } else if (kind == "End") {
      EXPECT_GT(open[param], 0) << "an edit of " << param << " ended that never began";
      --open[param];
    } else {
      EXPECT_GT(open[param], 0) << entry << " outside an edit";
    }
  }
  for (const auto& [param, count] : open) EXPECT_EQ(count, 0) << "an edit of " << param << " left open";
}

}  // namespace

TEST_F(StockGalleryTest, EveryStockControlIsPlacedAndDrawsFiniteShapes) {
  for (int tag = stock_gallery::kLink; tag < stock_gallery::kEndTag; ++tag) {
    IControl* c = g->GetControlWithTag(tag);
    ASSERT_NE(c, nullptr) << "tag " << tag;
    EXPECT_TRUE(g->GetBounds().Contains(c->GetRECT()) || tag == stock_gallery::kGroup) << "tag " << tag;
  }
  // The group frame surrounds the label and the button.
  const IRECT group = g->GetControlWithTag(stock_gallery::kGroup)->GetRECT();
  EXPECT_TRUE(group.Contains(g->GetControlWithTag(stock_gallery::kLabel)->GetRECT()));
  EXPECT_TRUE(group.Contains(g->GetControlWithTag(stock_gallery::kButton)->GetRECT()));

  g->clearDrawOps();
  ASSERT_TRUE(g->tick());
  EXPECT_GT(g->count(sp::test::DrawOp::PathFill), 50);
  for (const sp::test::DrawOp& op : g->drawOps())
    for (float a : op.args) ASSERT_TRUE(std::isfinite(a)) << sp::test::describe(op);
}

TEST_F(StockGalleryTest, AClickOnEachControlKeepsEveryHostEditBalanced) {
  // The prompts the clicks open, in order: the caption's menu, the menu button's menu after
  // its splash, the swatch's colour.
  platform.chooseMenuItem({1});
  platform.chooseMenuItem({3});
  platform.pickColor(COLOR_RED);
  dlg.log.clear();
  for (int tag = stock_gallery::kLink; tag < stock_gallery::kEndTag; ++tag) {
    IControl* c = g->GetControlWithTag(tag);
    const IRECT& r = c->GetTargetRECT();
    mouse->click(r.CentreX(), r.CentreY());
    after(17);
    platform.queue.drain();
  }
  after(200);
  platform.queue.drain();
  expectBalancedEdits(dlg.log);
  EXPECT_EQ(g->NOpenGestures(), 0);
  EXPECT_EQ(platform.openedURLs.size(), 1u);
  EXPECT_EQ(dlg.GetParam(kLetter)->Value(), 3.0) << "the menu button's choice came last";
  EXPECT_TRUE(platform.scriptEmpty());
}
