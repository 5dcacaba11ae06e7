// The stock XY pad, plot, group frame and colour swatch: pointer mapping, sampling,
// bounds taken from a group, the frame's caption gap, swatch cells and the colour prompt's
// answers, also after the swatch is gone.
#include <cmath>
#include <string>
#include <vector>

#include "graphics/stock/VectorPadsAndFrames.h"
#include "tests/graphics/stock/stock_fixture.h"

using namespace stocktest;

namespace {

// The test canvas, also noting the colour and title each colour prompt opened with.
class ColourCanvas : public sp::test::TestCanvas {
public:
  using TestCanvas::TestCanvas;
  using plugkit::canvas::ICanvas::PromptForColor;
  bool PromptForColor(IColor& color, const char* str, ColorCompletion completion) override {
    asked.push_back(color);
    titles.emplace_back(str != nullptr ? str : "");
    kept = completion;  // a chooser may answer again, long after
    return TestCanvas::PromptForColor(color, str, std::move(completion));
  }
  ColorCompletion kept;
  std::vector<IColor> asked;
  std::vector<std::string> titles;
};

class StockPadsTest : public StockTest {
protected:
  sp::test::TestCanvas* makeCanvas() override { return new ColourCanvas(platform, dlg); }
  ColourCanvas& canvas() { return static_cast<ColourCanvas&>(*g); }
};

bool allFinite(const sp::test::TestCanvas& g) {
  for (const sp::test::DrawOp& op : g.drawOps())
    for (float a : op.args)
      if (!std::isfinite(a)) return false;
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// XY pad

TEST_F(StockPadsTest, XYPadMapsThePointerOverItsPad) {
  struct Case {
    const char* name;
    float radius;
    bool edgeReaching;
    float pressX, pressY, dragX, dragY;
    double x, y;
  };
  const std::vector<Case> cases = {
      {"left of the pad", 10, true, 50, 50, -20, 50, 0.0, 0.5},
      {"above the pad", 10, true, 50, 50, 50, -10, 0.5, 1.0},
      {"inside, edge-reaching", 10, true, 25, 75, 25, 75, 0.25, 0.25},
      {"inside, the pad less the radius", 10, false, 25, 75, 25, 75, 0.1875, 0.1875},
      {"below and right of the smaller pad", 10, false, 50, 50, 95, 95, 1.0, 0.0},
  };
  for (const Case& c : cases) {
    auto* pad = attach(new IVXYPadControl(IRECT(0, 0, 100, 100), {kLevel, kMix}, "", bareStyle(), c.radius,
                                          c.edgeReaching));
    dlg.log.clear();
    mouse->press(c.pressX, c.pressY);
    EXPECT_TRUE(pad->GetMouseDown()) << c.name;
    EXPECT_TRUE(g->CursorIsHidden()) << c.name;
    mouse->dragTo(c.dragX, c.dragY);
    EXPECT_NEAR(pad->GetValue(0), c.x, 1e-6) << c.name;
    EXPECT_NEAR(pad->GetValue(1), c.y, 1e-6) << c.name;
    mouse->release();
    EXPECT_FALSE(g->CursorIsHidden()) << c.name;
    EXPECT_FALSE(pad->GetMouseDown()) << c.name;
    ASSERT_GE(dlg.log.size(), 4u) << c.name;
    EXPECT_EQ((Log{dlg.log[0], dlg.log[1]}), (Log{"Begin 3", "Begin 4"})) << c.name;
    EXPECT_EQ((Log{dlg.log[dlg.log.size() - 2], dlg.log.back()}), (Log{"End 3", "End 4"})) << c.name;
    g->RemoveControl(pad);
  }
}

TEST_F(StockPadsTest, XYPadGivenFewerParametersStillHasTwoValues) {
  auto* one = attach(new IVXYPadControl(IRECT(0, 0, 100, 100), {kLevel}, "", bareStyle()));
  ASSERT_EQ(one->NVals(), 2);
  EXPECT_EQ(one->GetParamIdx(1), kNoLinkedParam);
  dlg.log.clear();
  mouse->click(25, 75);
  EXPECT_NEAR(one->GetValue(1), 0.25, 1e-6);
  EXPECT_EQ(dlg.log.front(), "Begin 3");
  for (const std::string& entry : dlg.log) EXPECT_EQ(entry.find(" 4"), std::string::npos) << entry;

  auto* none = attach(new IVXYPadControl(IRECT(200, 0, 300, 100), {}, "", bareStyle()));
  ASSERT_EQ(none->NVals(), 2);
  dlg.log.clear();
  mouse->click(250, 50);
  EXPECT_TRUE(dlg.log.empty());
  EXPECT_NEAR(none->GetValue(0), 0.5, 1e-6);
}

TEST_F(StockPadsTest, XYPadDrawsItsCrossAndAHandleClippedToThePad) {
  IVStyle style = bareStyle();
  style.drawFrame = true;
  style.frameThickness = 2.f;
  auto* pad = attach(new IVXYPadControl(IRECT(0, 0, 100, 100), {kLevel, kMix}, "", style, 10.f, true));
  pad->SetValue(1.0, 0);
  pad->SetValue(1.0, 1);
  drawOnly(*pad);
  const auto clips = g->clips();
  ASSERT_GE(clips.size(), 1u);
  expectRect(clips[0], IRECT(1, 1, 99, 99), "the pad less half the frame");
  const auto f = fills(*g);
  expectRect(f.back().box, IRECT(90, -10, 110, 10), "the handle centred on the top-right corner");
  const auto paths = sp::test::described(*g, false);
  EXPECT_NE(std::find(paths.begin(), paths.end(), "M 50 0"), paths.end()) << "vertical cross line";
  EXPECT_NE(std::find(paths.begin(), paths.end(), "M 0 50"), paths.end()) << "horizontal cross line";
}

// ---------------------------------------------------------------------------------------
// Plot

TEST_F(StockPadsTest, PlotSamplesEachFunctionAtEvenlySpacedX) {
  std::vector<double> first, second;
  const std::vector<IVPlotControl::Plot> plots = {
      {COLOR_RED, [&first](double x) { first.push_back(x); return x; }},
      {COLOR_BLUE, [&second](double x) { second.push_back(x); return 1.0 - x; }},
  };
  auto* plot = attach(new IVPlotControl(IRECT(0, 0, 100, 120), plots, 2, "", bareStyle(), 0.f, 1.f));
  drawOnly(*plot);
  EXPECT_EQ(first, (std::vector<double>{0.0, 1.0}));
  EXPECT_EQ(second, (std::vector<double>{0.0, 1.0}));
  // The curve area leaves a twelfth of the height above and below.
  const auto paths = sp::test::described(*g, false);
  EXPECT_NE(std::find(paths.begin(), paths.end(), "M 0 110"), paths.end());
  EXPECT_NE(std::find(paths.begin(), paths.end(), "L 100 10"), paths.end());
  const auto strokes = g->opsOf({sp::test::DrawOp::PathStroke});
  EXPECT_EQ(sp::test::colorOf(strokes.back()), COLOR_BLUE);
  EXPECT_FLOAT_EQ(strokes.back().args[0], plot->GetTrackSize());

  // An added function redraws the plot.
  plot->SetClean();
  plot->AddPlotFunc(COLOR_GREEN, [](double) { return 0.5; });
  EXPECT_TRUE(plot->IsDirty());
  EXPECT_EQ(plot->NPlots(), 3);
}

TEST_F(StockPadsTest, PlotWithOnePointOrAnEmptyRangeStaysFinite) {
  std::vector<double> xs;
  auto* one = attach(new IVPlotControl(IRECT(0, 0, 100, 120), {{COLOR_RED, [&xs](double x) {
                                                                  xs.push_back(x);
                                                                  return x;
                                                                }}},
                                       1, "", bareStyle()));
  EXPECT_EQ(one->NPoints(), 2);
  drawOnly(*one);
  EXPECT_EQ(xs, (std::vector<double>{0.0, 1.0}));
  EXPECT_TRUE(allFinite(*g));

  auto* flat = attach(new IVPlotControl(IRECT(0, 0, 100, 120), {{COLOR_RED, [](double x) { return x; }}}, 3, "",
                                        bareStyle(), 2.f, 2.f));
  drawOnly(*flat);
  EXPECT_TRUE(allFinite(*g));
  const auto paths = sp::test::described(*g, false);
  EXPECT_NE(std::find(paths.begin(), paths.end(), "M 0 60"), paths.end()) << "mid-height";
  EXPECT_NE(std::find(paths.begin(), paths.end(), "L 100 60"), paths.end());
}

TEST_F(StockPadsTest, APlotWithALayerCallsItsFunctionsOnlyWhenTheLayerIsRedrawn) {
  int calls[3] = {0, 0, 0};
  const std::vector<IVPlotControl::Plot> plots = {
      {COLOR_RED, [&calls](double x) { ++calls[0]; return x; }},
      {COLOR_BLUE, [&calls](double x) { ++calls[1]; return 1.0 - x; }},
  };
  auto* plot = attach(new IVPlotControl(IRECT(0, 0, 100, 120), plots, 10, "", bareStyle(), 0.f, 1.f, true));
  auto frame = [&] {
    drawOnly(*plot);
    return std::vector<int>{calls[0], calls[1], calls[2]};
  };
  EXPECT_EQ(frame(), (std::vector<int>{10, 10, 0}));
  // The cached frame: the layer drawn with the control's blend, no function called.
  EXPECT_EQ(frame(), (std::vector<int>{10, 10, 0}));
  const auto drawn = g->opsOf({sp::test::DrawOp::DrawBitmap});
  ASSERT_EQ(drawn.size(), 1u);
  EXPECT_TRUE(drawn[0].hasBlend);
  EXPECT_EQ(g->count(sp::test::DrawOp::PathStroke), 0);

  plot->AddPlotFunc(COLOR_GREEN, [&calls](double) { ++calls[2]; return 0.5; });
  EXPECT_EQ(frame(), (std::vector<int>{20, 20, 10}));
  EXPECT_EQ(frame(), (std::vector<int>{20, 20, 10}));
  g->Resize(640, 400, 2.f);
  EXPECT_EQ(frame(), (std::vector<int>{30, 30, 20}));
  g->SetScreenScale(2.f);
  EXPECT_EQ(frame(), (std::vector<int>{40, 40, 30}));
  plot->SetColor(kFrame, COLOR_RED);
  EXPECT_EQ(frame(), (std::vector<int>{50, 50, 40}));
  g->SetControlBounds(plot, IRECT(10, 10, 110, 130));
  EXPECT_EQ(frame(), (std::vector<int>{60, 60, 50}));
  EXPECT_EQ(frame(), (std::vector<int>{60, 60, 50}));
}

TEST_F(StockPadsTest, APlotWithoutALayerCallsItsFunctionsEveryFrame) {
  int calls = 0;
  auto* plot = attach(new IVPlotControl(IRECT(0, 0, 100, 120), {{COLOR_RED, [&calls](double x) {
                                                                   ++calls;
                                                                   return x;
                                                                 }}},
                                        10, "", bareStyle()));
  drawOnly(*plot);
  drawOnly(*plot);
  EXPECT_EQ(calls, 20);
  EXPECT_EQ(g->count(sp::test::DrawOp::DrawBitmap), 0);
}

TEST_F(StockPadsTest, APlotWhoseLayerCannotBeMadeDrawsItsBodyDirectly) {
  platform.failBitmapCreation = true;
  auto* plot = attach(new IVPlotControl(IRECT(0, 0, 100, 120), {{COLOR_RED, [](double x) { return x; }}}, 10, "",
                                        bareStyle(), -1.f, 1.f, true));
  drawOnly(*plot);
  EXPECT_GT(g->count(sp::test::DrawOp::PathStroke), 0);
}

// ---------------------------------------------------------------------------------------
// Group frame

TEST_F(StockPadsTest, GroupTakesTheUnionOfItsMembersGrownByItsMargins) {
  attach(new IVXYPadControl(IRECT(10, 10, 50, 30), {}, "", bareStyle()), kNoTag, "pair");
  attach(new IVXYPadControl(IRECT(60, 40, 90, 70), {}, "", bareStyle()), kNoTag, "pair");
  attach(new IVXYPadControl(IRECT(0, 0, 0, 0), {}, "", bareStyle()), kNoTag, "pair");  // empty: skipped
  attach(new IVXYPadControl(IRECT(300, 300, 310, 310), {}, "", bareStyle()), kNoTag, "other");
  auto* group = attach(new IVGroupControl("", "pair", 5, 20, 5, 5, bareStyle()));
  expectRect(group->GetRECT(), IRECT(5, -10, 95, 75));
  EXPECT_TRUE(group->GetIgnoreMouse());

  auto* lonely = attach(new IVGroupControl("", "nobody", 5, 20, 5, 5, bareStyle()));
  expectRect(lonely->GetRECT(), IRECT(-5, -20, 5, 5), "margins around nothing");

  group->SetBoundsBasedOnGroup("other", 1, 1, 1, 1);
  expectRect(group->GetRECT(), IRECT(299, 299, 311, 311));
  EXPECT_STREQ(group->GetGroupName(), "other");
}

TEST_F(StockPadsTest, GroupFrameLeavesAGapForItsCaption) {
  IVStyle style = DEFAULT_STYLE;
  style.drawShadows = false;
  style.frameThickness = 2.f;
  // "Group" at 19 measures 47.5 x 19.
  auto* group = attach(new IVGroupControl(IRECT(0, 0, 200, 100), "Group", 10.f, style));
  expectRect(group->GetLabelBounds(), IRECT(2, 0, 69.5f, 19), "indented, widened by the gap");
  expectRect(group->GetWidgetBounds(), IRECT(0, 8.5f, 200, 100), "top line through the caption");
  drawOnly(*group);
  const auto paths = sp::test::described(*g, false);
  ASSERT_GE(paths.size(), 9u);
  EXPECT_EQ(paths[0], "text Group 2 0 69.5 19") << "the caption first";
  EXPECT_EQ(paths[2], "M 69.5 9.5");
  EXPECT_EQ(paths[paths.size() - 2], "L 2 9.5");
  EXPECT_EQ(sp::test::colorOf(g->opsOf({sp::test::DrawOp::PathStroke}).at(0)), style.colorSpec.GetColor(kFrame));
  EXPECT_EQ(texts(*g), (std::vector<std::string>{"Group"}));

  // Without a caption the frame closes at the middle of the top.
  auto* closed = attach(new IVGroupControl(IRECT(0, 0, 200, 100), "", 10.f, style));
  drawOnly(*closed);
  const auto closedPaths = sp::test::described(*g, false);
  EXPECT_EQ(closedPaths[1], "M 100 0");
  EXPECT_EQ(closedPaths[0], "clear");
  EXPECT_EQ(closedPaths[closedPaths.size() - 2], "L 100 0");
}

// ---------------------------------------------------------------------------------------
// Colour swatch

TEST_F(StockPadsTest, SwatchCellsSitTwoUnitsInsideTheirShareOfTheWidget) {
  auto* row = attach(new IVColorSwatchControl(IRECT(0, 0, 200, 20), "", nullptr, bareStyle(),
                                              IVColorSwatchControl::ECellLayout::Row,
                                              {kBackground, kForeground, kPressed, kFrame}));
  ASSERT_EQ(row->GetCellRects().size(), 4u);
  expectRect(row->GetCellRects()[0], IRECT(2, 2, 48, 18), "cell 0");
  expectRect(row->GetCellRects()[3], IRECT(152, 2, 198, 18), "cell 3");

  auto* column = attach(new IVColorSwatchControl(IRECT(0, 0, 20, 200), "", nullptr, bareStyle(),
                                                 IVColorSwatchControl::ECellLayout::Column,
                                                 {kBackground, kForeground, kPressed, kFrame}));
  expectRect(column->GetCellRects()[1], IRECT(2, 52, 18, 98), "column cell 1");

  // Ten roles in a block: three columns, four rows, every cell inside the widget.
  auto* block = attach(new IVColorSwatchControl(IRECT(0, 0, 90, 120), "", nullptr, bareStyle(),
                                                IVColorSwatchControl::ECellLayout::Block,
                                                {kBackground, kForeground, kPressed, kFrame, kHighlight, kShadow,
                                                 kExtra1, kExtra2, kExtra3, kExtra1}));
  ASSERT_EQ(block->GetCellRects().size(), 10u);
  expectRect(block->GetCellRects()[9], IRECT(2, 92, 28, 118), "tenth cell");
  for (const IRECT& c : block->GetCellRects()) EXPECT_TRUE(IRECT(0, 0, 90, 120).Contains(c));

  auto* empty = attach(new IVColorSwatchControl(IRECT(0, 0, 90, 120), "", nullptr, bareStyle(),
                                                IVColorSwatchControl::ECellLayout::Block, {}));
  EXPECT_TRUE(empty->GetCellRects().empty());
}

TEST_F(StockPadsTest, SwatchDrawsLabelledCellsWithASwatchAtTheRight) {
  IVStyle style = bareStyle();
  style.colorSpec.SetColor(kFrame, COLOR_RED);
  auto* swatch = attach(new IVColorSwatchControl(IRECT(0, 0, 200, 20), "", nullptr, style,
                                                 IVColorSwatchControl::ECellLayout::Row, {kFrame, kExtra2},
                                                 {"Frame"}));
  drawOnly(*swatch);
  const auto f = fills(*g);
  ASSERT_EQ(f.size(), 2u);
  expectRect(f[0].box, IRECT(74, 2, 98, 18), "the right quarter of a labelled cell");
  EXPECT_EQ(f[0].color, COLOR_RED);
  expectRect(f[1].box, IRECT(102, 2, 198, 18), "an unlabelled cell is all swatch");
  const auto drawn = g->opsOf({sp::test::DrawOp::DrawText});
  ASSERT_EQ(drawn.size(), 1u);
  expectRect(drawn[0].rect, IRECT(2, 2, 69.2f, 18));
  EXPECT_EQ(drawn[0].textStyle.align, ETextHAlign::Right);

  // Hover marks the cell's outline and runs no action.
  int actions = 0;
  swatch->SetActionFunction([&actions](IControl*) { ++actions; });
  mouse->moveTo(150, 10);
  EXPECT_EQ(swatch->GetMouseOverCell(), 1);
  drawOnly(*swatch);
  EXPECT_EQ(sp::test::colorOf(g->opsOf({sp::test::DrawOp::PathStroke}).at(1)), COLOR_GRAY);
  mouse->moveTo(150, 100);
  EXPECT_EQ(swatch->GetMouseOverCell(), -1);
  EXPECT_EQ(actions, 0);
}

TEST_F(StockPadsTest, SwatchClickPromptsWithTheRolesColourAndTakesTheAnswer) {
  std::vector<std::pair<int, IColor>> chosen;
  auto* swatch = attach(new IVColorSwatchControl(
      IRECT(0, 0, 200, 20), "", [&chosen](int cell, IColor c) { chosen.emplace_back(cell, c); }, bareStyle(),
      IVColorSwatchControl::ECellLayout::Row, {kBackground, kForeground, kPressed, kFrame}));
  platform.pickColor(COLOR_RED);
  mouse->click(125, 10);
  ASSERT_EQ(canvas().asked.size(), 1u);
  EXPECT_EQ(canvas().asked[0], DEFAULT_STYLE.colorSpec.GetColor(kPressed));
  EXPECT_EQ(canvas().titles[0], "Choose a color");
  EXPECT_TRUE(chosen.empty()) << "the chooser answers later";
  platform.queue.drain();
  ASSERT_EQ(chosen.size(), 1u);
  EXPECT_EQ(chosen[0].first, 2);
  EXPECT_EQ(chosen[0].second, COLOR_RED);
  EXPECT_EQ(swatch->GetColor(kPressed), COLOR_RED);

  // A click between cells asks nothing.
  mouse->click(50, 10);
  EXPECT_EQ(canvas().asked.size(), 1u);
}

TEST_F(StockPadsTest, SwatchRemovedBeforeTheAnswerHearsNothing) {
  int answers = 0;
  auto* swatch = attach(new IVColorSwatchControl(IRECT(0, 0, 200, 20), "",
                                                 [&answers](int, IColor) { ++answers; }, bareStyle(),
                                                 IVColorSwatchControl::ECellLayout::Row, {kBackground, kForeground}));
  platform.pickColor(COLOR_RED);
  mouse->click(150, 10);
  g->RemoveControl(swatch);
  platform.queue.drain();
  EXPECT_EQ(answers, 0);
  EXPECT_EQ(g->GetControlInColorPrompt(), nullptr);
}

// A chooser answers as often as the user picks: once the swatch is gone, by any way of
// removing it, a later answer does nothing.
TEST_F(StockPadsTest, AChooserAnsweringAgainAfterTheSwatchWentDoesNothing) {
  enum class Removal { ByItself, FromItsAnswer, AllControls };
  for (Removal removal : {Removal::ByItself, Removal::FromItsAnswer, Removal::AllControls}) {
    SCOPED_TRACE(static_cast<int>(removal));
    int answers = 0;
    IVColorSwatchControl* swatch = nullptr;
    swatch = attach(new IVColorSwatchControl(
        IRECT(0, 0, 200, 20), "",
        [&, removal](int, IColor) {
          ++answers;
          if (removal == Removal::FromItsAnswer) g->RemoveControl(swatch);
        },
        bareStyle(), IVColorSwatchControl::ECellLayout::Row, {kBackground, kForeground}));
    platform.pickColor(COLOR_RED);
    mouse->click(150, 10);
    platform.queue.drain();
    EXPECT_EQ(answers, 1);
    if (removal == Removal::ByItself) g->RemoveControl(swatch);
    if (removal == Removal::AllControls) g->RemoveAllControls();
    ASSERT_TRUE(canvas().kept);
    canvas().kept(COLOR_BLUE);
    canvas().kept(COLOR_GREEN);
    EXPECT_EQ(answers, 1);
    EXPECT_EQ(g->GetControlInColorPrompt(), nullptr);
  }
}
