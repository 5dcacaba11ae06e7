// The stock gallery: every stock control attached on its two pages, drawn, and clicked once
// through the dispatch, with every host edit balanced; the second page's prompts drawn by
// the drawn menu and text entry, and its slider's bubble.
#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "graphics/stock/DirBrowseControlBase.h"
#include "graphics/stock/OverlayControls.h"
#include "graphics/stock/PopupMenuControl.h"
#include "graphics/stock/TextEntryControl.h"
#include "graphics/stock/VectorButtons.h"
#include "graphics/stock/VectorSliders.h"
#include "tests/graphics/stock/stock_fixture.h"
#include "tests/support/canvas/image_fixture.h"
#include "tests/support/temp_dir.h"
#include "tools/stock_gallery/stock_gallery.h"

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

// The pairs of controls whose rectangles meet, as "tag/tag" (pairs allowed to meet skipped).
std::vector<std::string> overlaps(const std::vector<std::pair<int, IRECT>>& rects,
                                  const std::function<bool(int, int)>& allowed = nullptr) {
  std::vector<std::string> out;
  for (size_t i = 0; i < rects.size(); ++i)
    for (size_t j = i + 1; j < rects.size(); ++j) {
      const IRECT meet = rects[i].second.Intersect(rects[j].second);
      if (meet.Width() > 0.f && meet.Height() > 0.f && !(allowed && allowed(rects[i].first, rects[j].first)))
        out.push_back(std::to_string(rects[i].first) + "/" + std::to_string(rects[j].first));
    }
  return out;
}

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

TEST_F(StockGalleryTest, NoControlOverlapsAnotherAndEachHasRoomForItsParts) {
  std::vector<std::pair<int, IRECT>> rects;
  for (int tag = stock_gallery::kLink; tag < stock_gallery::kEndTag; ++tag)
    rects.emplace_back(tag, g->GetControlWithTag(tag)->GetRECT());
  auto grouped = [](int a, int b) {
    const bool member = a == stock_gallery::kLabel || a == stock_gallery::kButton;
    return b == stock_gallery::kGroup && member;
  };
  EXPECT_EQ(overlaps(rects, grouped), std::vector<std::string>{});

  // A row per radio option, each as tall as its mark, none on another.
  auto* radio = static_cast<IVRadioButtonControl*>(g->GetControlWithTag(stock_gallery::kRadio));
  const std::vector<IRECT>& rows = radio->GetTabRects();
  ASSERT_EQ(rows.size(), 4u);
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_GE(rows[i].Height(), 10.f) << i;
    if (i > 0) {
      EXPECT_LE(rows[i - 1].B, rows[i].T + 1e-3f) << i;
    }
  }
  // The vertical slider's track has a length, and a drag up raises it.
  auto* slider = static_cast<IVSliderControl*>(g->GetControlWithTag(stock_gallery::kVerticalSlider));
  EXPECT_GT(slider->GetTrack().Height(), 20.f);
  dlg.hostSets(kMix, 0.5);
  const IRECT t = slider->GetTrack();
  mouse->press(t.CentreX(), t.CentreY());
  mouse->dragTo(t.CentreX(), t.CentreY() - 5.f);
  mouse->release();
  EXPECT_GT(slider->GetValue(), 0.5);
}

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

// ---------------------------------------------------------------------------------------
// The second page: image controls, the file menu and the special controls

namespace {

class StockImageGalleryTest : public StockTest {
protected:
  void SetUp() override {
    StockTest::SetUp();
    if (HasFatalFailure()) return;
    using sp::test::RGBAImage;
    auto load = [this](const char* name, const RGBAImage& image, int frames) {
      const std::string png = sp::test::encodePNG(image);
      return g->LoadBitmap(name, png.data(), static_cast<int>(png.size()), frames, false, 1);
    };
    ASSERT_TRUE(sp::test::writeFile(folder / "beta.txt", "b"));
    ASSERT_TRUE(sp::test::writeFile(folder / "alpha.txt", "a"));
    ASSERT_TRUE(sp::test::writeFile(folder / "skip.wav", "w"));
    params.frames = load("gallery-frames.png", RGBAImage::gradient(30, 90), 3);
    params.handle = load("gallery-handle.png", RGBAImage::solid(12, 20, 40, 40, 200), 1);
    params.font = load("gallery-font.png", RGBAImage::gradient(6, 12 * 96), 96);
    ASSERT_TRUE(params.frames.IsValid() && params.handle.IsValid() && params.font.IsValid());
    folderPath = folder.path().string();
    params.folder = folderPath.c_str();
    params.level = kLevel;
    params.toggle = kPower;
    params.three = kThree;
    stock_gallery::attachImagesAndOverlays(*g, params);
  }
  IRECT rectOf(int tag) { return g->GetControlWithTag(tag)->GetRECT(); }
  void clickAt(int tag) {
    const IRECT& r = g->GetControlWithTag(tag)->GetTargetRECT();
    mouse->click(r.CentreX(), r.CentreY());
  }

  sp::test::TempDir folder;
  std::string folderPath;
  stock_gallery::ImageParams params;
};

}  // namespace

TEST_F(StockImageGalleryTest, NoControlOverlapsAnotherAndTheThreeFrameSwitchStepsItsParameter) {
  std::vector<std::pair<int, IRECT>> rects;
  for (int tag = stock_gallery::kFileMenu; tag < stock_gallery::kEndImageTag; ++tag)
    rects.emplace_back(tag, g->GetControlWithTag(tag)->GetRECT());
  rects.emplace_back(0, g->GetFPSDisplay()->GetRECT());
  EXPECT_EQ(overlaps(rects), std::vector<std::string>{});
  // Wide enough for the interface name and the reading side by side.
  EXPECT_GE(g->GetFPSDisplay()->GetRECT().Width(), 200.f);

  // Each click one frame on, each a whole step of the parameter: 1, 2, then back to 0.
  std::vector<double> values;
  for (int i = 0; i < 3; ++i) {
    clickAt(stock_gallery::kBitmapSwitch);
    values.push_back(dlg.GetParam(kThree)->Value());
  }
  EXPECT_EQ(values, (std::vector<double>{1.0, 2.0, 0.0}));
}

TEST_F(StockImageGalleryTest, EveryControlIsPlacedAndTheSpecialSlotsAreFilled) {
  for (int tag = stock_gallery::kFileMenu; tag < stock_gallery::kEndImageTag; ++tag) {
    IControl* c = g->GetControlWithTag(tag);
    ASSERT_NE(c, nullptr) << "tag " << tag;
    EXPECT_TRUE(g->GetBounds().Contains(c->GetRECT())) << "tag " << tag;
  }
  EXPECT_NE(g->GetPopupMenuControl(), nullptr);
  EXPECT_NE(g->GetTextEntryControl(), nullptr);
  EXPECT_EQ(g->NBubbleControls(), 1);
  EXPECT_NE(g->GetCornerResizer(), nullptr);
  ASSERT_NE(g->GetFPSDisplay(), nullptr);
  EXPECT_FALSE(g->GetFPSDisplay()->GetRECT().Intersects(g->GetCornerResizer()->GetRECT()));

  g->clearDrawOps();
  ASSERT_TRUE(g->tick());
  EXPECT_GE(g->count(sp::test::DrawOp::DrawBitmap), 8);
  EXPECT_GT(g->count(sp::test::DrawOp::PathFill), 10);
  for (const sp::test::DrawOp& op : g->drawOps())
    for (float a : op.args) ASSERT_TRUE(std::isfinite(a)) << sp::test::describe(op);
}

TEST_F(StockImageGalleryTest, ClicksKeepEveryHostEditBalancedAndPromptsAreDrawn) {
  dlg.log.clear();
  for (int tag = stock_gallery::kSVGButton; tag < stock_gallery::kEndImageTag; ++tag) {
    clickAt(tag);
    after(17);
  }
  after(200);
  expectBalancedEdits(dlg.log);
  EXPECT_EQ(g->NOpenGestures(), 0);

  // The file menu opens in the drawn menu, sorted, without the other files.
  auto* menu = static_cast<IPopupMenuControl*>(g->GetPopupMenuControl());
  clickAt(stock_gallery::kFileMenu);
  ASSERT_TRUE(menu->IsExpanded());
  ASSERT_EQ(menu->GetPanel(0)->NCells(), 2);
  after(101);
  const IRECT* first = menu->GetPanel(0)->GetCell(0);
  mouse->click(first->CentreX(), first->CentreY());
  StringBuf chosen;
  static_cast<IDirBrowseControlBase*>(g->GetControlWithTag(stock_gallery::kFileMenu))->GetSelectedFile(chosen);
  EXPECT_EQ(std::string(chosen.Get()), (folder / "alpha.txt").string());

  // The caption's value is typed into the drawn text entry.
  dlg.log.clear();
  clickAt(stock_gallery::kValueCaption);
  auto* entry = static_cast<ITextEntryControl*>(g->GetTextEntryControl());
  ASSERT_TRUE(entry->IsEditing());
  for (const char* key : {"0", ".", "2", "5"}) mouse->keyDown(key[0] == '.' ? 0 : key[0], key);
  mouse->keyDown(kVK_RETURN, "\r");
  // The click's own edit, then the typed value's.
  EXPECT_EQ(dlg.log, (Log{"Begin 3", "End 3", "Begin 3", "Send 3 0.25", "End 3"}));
  EXPECT_NEAR(dlg.GetParam(kLevel)->Value(), 0.25, 1e-9);
}

TEST_F(StockImageGalleryTest, DraggingTheBitmapSliderShowsItsValueInTheBubble) {
  const IRECT r = g->GetControlWithTag(stock_gallery::kBitmapSlider)->GetRECT();
  mouse->press(r.CentreX(), r.CentreY());
  mouse->dragTo(r.CentreX() + 10.f, r.CentreY());
  auto* bubble = static_cast<IBubbleControl*>(g->GetBubbleControl(0));
  EXPECT_FALSE(bubble->IsHidden());
  EXPECT_EQ(bubble->GetCaller(), g->GetControlWithTag(stock_gallery::kBitmapSlider));
  StringBuf shown;
  dlg.GetParam(kLevel)->GetDisplay(shown);
  EXPECT_STREQ(bubble->GetStr(), shown.Get());
  mouse->release();
  for (int i = 0; i < 80; ++i) after(20);
  EXPECT_TRUE(bubble->IsHidden());
}
