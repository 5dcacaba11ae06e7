#pragma once
// The stock suites' set-up: a delegate with one parameter of each type that logs the host
// edits it receives, an editor open on the headless test canvas with mouse-over on, the
// test clock as the time source, a background panel, a scripted pointer, and readers of what was drawn.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "framework/ICanvasEditorDelegate.h"
#include "graphics/Constants.h"
#include "graphics/ICanvas.h"
#include "tests/support/canvas/draw_ops.h"
#include "tests/support/canvas/event_driver.h"
#include "tests/support/canvas/path_box.h"
#include "tests/support/canvas/test_canvas.h"
#include "tests/support/canvas/test_clock.h"

namespace stocktest {

using namespace plugkit::canvas;
using plugkit::IParam;
using Log = std::vector<std::string>;

// Parameters, one of each type: 0 "Power" (bool off/on), 1 "Steps" (int 0..4), 2 "Letter"
// (enum A, B, C, D), 3 "Level" (double 0..1, unstepped), 4 "Mix" (double 0..100 %,
// unstepped), 5 "Three" (int 0..2).
enum Param : int { kPower = 0, kSteps = 1, kLetter = 2, kLevel = 3, kMix = 4, kThree = 5, kNumParams = 6 };

class StockDelegate : public ICanvasEditorDelegate {
public:
  StockDelegate() : ICanvasEditorDelegate(kNumParams) {
    GetParam(kPower)->InitBool("Power", false);
    GetParam(kSteps)->InitInt("Steps", 0, 0, 4);
    GetParam(kLetter)->InitEnum("Letter", 0, {"A", "B", "C", "D"});
    GetParam(kLevel)->InitDouble("Level", 0.5, 0.0, 1.0, 0.001, "");
    GetParam(kLevel)->SetDisplayPrecision(2);
    GetParam(kMix)->InitDouble("Mix", 50.0, 0.0, 100.0, 0.1, "%");
    GetParam(kThree)->InitInt("Three", 0, 0, 2);
  }

  // "Begin p", "Send p v" and "End p", in order.
  Log log;

  void BeginInformHostOfParamChangeFromUI(int paramIdx) override { log.push_back("Begin " + std::to_string(paramIdx)); }
  void EndInformHostOfParamChangeFromUI(int paramIdx) override { log.push_back("End " + std::to_string(paramIdx)); }
  void SendParameterValueFromUI(int paramIdx, double value) override {
    log.push_back("Send " + std::to_string(paramIdx) + " " + sp::test::num(value));
    ICanvasEditorDelegate::SendParameterValueFromUI(paramIdx, value);
  }

  // The host's parameter moves and tells the editor, as a host automation does.
  void hostSets(int paramIdx, double normalized) {
    GetParam(paramIdx)->SetNormalized(normalized);
    SendParameterValueFromDelegate(paramIdx, normalized, true);
  }
};

class StockTest : public ::testing::Test {
protected:
  void SetUp() override {
    clock.setQueue(&platform.queue);
    dlg.SetMakeGraphicsFunc([this]() -> ICanvas* { return makeCanvas(); });
    dlg.OpenWindow(nullptr);
    g = platform.canvas();
    ASSERT_NE(g, nullptr);
    g->EnableMouseOver(true);
    // Index 0 is the background, which never hears the pointer move over it.
    g->AttachPanelBackground(IPattern(COLOR_WHITE));
    mouse.emplace(*g);
  }
  void TearDown() override {
    mouse.reset();
    if (dlg.GetGraphics() != nullptr) dlg.CloseWindow();
  }
  // The canvas the editor opens on; suites may make a subclass.
  virtual sp::test::TestCanvas* makeCanvas() { return new sp::test::TestCanvas(platform, dlg); }

  template <class C>
  C* attach(C* control, int tag = kNoTag, const char* group = "") {
    g->AttachControl(control, tag, group);
    return control;
  }

  // Advances the clock and runs one display tick (animations step, dirty controls draw).
  void after(double ms) {
    clock.advance(ms);
    g->tick();
  }

  // Draws one control alone into an empty recording, with the whole editor as the region.
  void drawOnly(IControl& c) {
    g->PrepareRegion(g->GetBounds());
    g->clearDrawOps();
    c.Draw(*g);
  }

  sp::test::TestPlatform platform;
  sp::test::TestClock clock;
  StockDelegate dlg;
  sp::test::TestCanvas* g = nullptr;
  std::optional<sp::test::EventDriver> mouse;
};

// One fill as the test canvas recorded it: its paint colour and the box of its path.
struct Fill {
  IColor color;
  IRECT box;
  bool hasBlend = false;
};

// The fills recorded, each with the bounding box of the path it filled (arcs count as
// their whole circle, curves as their points), in UI units.
inline std::vector<Fill> fills(const sp::test::TestCanvas& g) {
  std::vector<Fill> out;
  sp::test::PathBox box;
  for (const sp::test::DrawOp& op : g.drawOps()) {
    switch (op.kind) {
      case sp::test::DrawOp::PathClear: box.clear(); break;
      case sp::test::DrawOp::PathFill:
        out.push_back({sp::test::colorOf(op), box.rect(), op.hasBlend});
        if (!op.fill.preserve) box.clear();
        break;
      case sp::test::DrawOp::PathStroke:
        if (!op.stroke.preserve) box.clear();
        break;
      default: box.add(op); break;
    }
  }
  return out;
}

// The colour of the last fill whose box holds the point: what a pixel there shows, for
// rectangular fills.
inline std::optional<IColor> colourAt(const sp::test::TestCanvas& g, float x, float y) {
  std::optional<IColor> found;
  for (const Fill& f : fills(g))
    if (x >= f.box.L && x <= f.box.R && y >= f.box.T && y <= f.box.B) found = f.color;
  return found;
}

// The texts drawn, in order.
inline std::vector<std::string> texts(const sp::test::TestCanvas& g) {
  std::vector<std::string> out;
  for (const sp::test::DrawOp& op : g.opsOf({sp::test::DrawOp::DrawText})) out.push_back(op.text);
  return out;
}

inline void expectRect(const IRECT& actual, const IRECT& expected, const std::string& what = "") {
  EXPECT_NEAR(actual.L, expected.L, 1e-4) << what;
  EXPECT_NEAR(actual.T, expected.T, 1e-4) << what;
  EXPECT_NEAR(actual.R, expected.R, 1e-4) << what;
  EXPECT_NEAR(actual.B, expected.B, 1e-4) << what;
}

// A style without label, value, frame or shadow: the widget is the whole control.
inline IVStyle bareStyle() {
  IVStyle s = DEFAULT_STYLE;
  s.showLabel = false;
  s.showValue = false;
  s.drawFrame = false;
  s.drawShadows = false;
  return s;
}

}  // namespace stocktest
