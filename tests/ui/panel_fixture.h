#pragma once
// A fake plug-in for the panel's suites: an editor delegate with the product's 18
// parameters that logs what reaches the host ("Begin 2", "Send 2 0.4862", "End 2"), and an
// editor open on the headless test canvas (text measured 0.5 x size per code point), with
// mouse-over on and a background. The panel's palette and text styles as the layout builds them, with the
// green accent.
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "framework/ICanvasEditorDelegate.h"
#include "graphics/ICanvas.h"
#include "plugin/parameters.h"
#include "tests/support/canvas/draw_ops.h"
#include "tests/support/canvas/event_driver.h"
#include "tests/support/canvas/path_box.h"
#include "tests/support/canvas/test_canvas.h"
#include "ui/palette.h"

namespace uitest {

using namespace plugkit::canvas;
using namespace spectrapoise::plugin;
using balance_panel::Palette;
using sp::test::DrawOp;
using Log = std::vector<std::string>;

class FakePlug : public ICanvasEditorDelegate {
public:
  FakePlug() : ICanvasEditorDelegate(kParamCount) { declareParameters(*this); }

  Log log;

  void BeginInformHostOfParamChangeFromUI(int paramIdx) override { log.push_back("Begin " + std::to_string(paramIdx)); }
  void EndInformHostOfParamChangeFromUI(int paramIdx) override { log.push_back("End " + std::to_string(paramIdx)); }
  void SendParameterValueFromUI(int paramIdx, double value) override {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4g", value);
    log.push_back("Send " + std::to_string(paramIdx) + " " + buf);
    ICanvasEditorDelegate::SendParameterValueFromUI(paramIdx, value);
  }
  // A value set by the host: stored, then shown by every control bound to it.
  void setParam(int paramIdx, double value) {
    GetParam(paramIdx)->Set(value);
    SendParameterValueFromDelegate(paramIdx, value, false);
  }
  double value(int paramIdx) const { return GetParam(paramIdx)->Value(); }
  // The log entries that are value sends.
  Log sends() const {
    Log out;
    for (const std::string& e : log)
      if (e.rfind("Send", 0) == 0) out.push_back(e);
    return out;
  }
};

inline Palette testPalette() {
  return Palette{IColor(255, 250, 250, 250), IColor(107, 250, 250, 250), IColor(77, 250, 250, 250),
                 IColor(18, 250, 250, 250),  IColor(255, 255, 157, 46),  IColor(255, 255, 77, 94),
                 IColor(255, 21, 232, 121),  IColor(255, 15, 15, 15),    IColor(255, 232, 21, 132)};
}
inline IText style(const char* font, float size, const IColor& colour, ETextHAlign align = ETextHAlign::Centre) {
  return IText(size, colour, font, align, ETextVAlign::Middle);
}
inline IText entryStyle(IText text) { return text.WithEntryColors(IColor(255, 30, 30, 30), IColor(255, 250, 250, 250)); }

// One drawn shape: the path commands after a PathClear, and the fill or stroke that ended it.
struct Shape {
  std::vector<DrawOp> path;
  DrawOp paint;
  bool fill() const { return paint.kind == DrawOp::PathFill; }
  IColor colour() const { return sp::test::colorOf(paint); }
  float thickness() const { return paint.args.empty() ? 0.f : paint.args[0]; }
  // The points of the path's move and line commands, in order.
  std::vector<std::pair<float, float>> points() const {
    std::vector<std::pair<float, float>> out;
    for (const DrawOp& op : path)
      if (op.kind == DrawOp::PathMoveTo || op.kind == DrawOp::PathLineTo) out.emplace_back(op.args[0], op.args[1]);
    return out;
  }
  // The box around the path in panel units (sp::test::PathBox).
  IRECT bounds() const { return sp::test::pathBox(path); }
};

inline std::vector<Shape> shapesOf(const sp::test::TestCanvas& g) {
  std::vector<Shape> out;
  std::vector<DrawOp> path;
  for (const DrawOp& op : g.drawOps()) {
    switch (op.kind) {
      case DrawOp::PathClear: path.clear(); break;
      case DrawOp::PathMoveTo:
      case DrawOp::PathLineTo:
      case DrawOp::PathArc:
      case DrawOp::PathClose:
      case DrawOp::PathCubicBezierTo:
      case DrawOp::PathQuadraticBezierTo: path.push_back(op); break;
      case DrawOp::PathFill:
      case DrawOp::PathStroke:
        out.push_back({path, op});
        path.clear();
        break;
      default: break;
    }
  }
  return out;
}

// Rectangles equal within tol on every edge.
inline ::testing::AssertionResult rectNear(const IRECT& actual, const IRECT& expected, float tol = 0.01f) {
  if (std::fabs(actual.L - expected.L) <= tol && std::fabs(actual.T - expected.T) <= tol &&
      std::fabs(actual.R - expected.R) <= tol && std::fabs(actual.B - expected.B) <= tol)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "(" << actual.L << ", " << actual.T << ", " << actual.R << ", " << actual.B
                                       << ") is not (" << expected.L << ", " << expected.T << ", " << expected.R
                                       << ", " << expected.B << ")";
}

// A comma-decimal LC_NUMERIC, as hosts set, for the life of the object (when installed).
class CommaLocale {
public:
  CommaLocale() : mPrevious(std::setlocale(LC_NUMERIC, nullptr)) {
    mActive = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
  }
  ~CommaLocale() { std::setlocale(LC_NUMERIC, mPrevious.c_str()); }
  bool active() const { return mActive; }

private:
  std::string mPrevious;
  bool mActive = false;
};

class PanelTest : public ::testing::Test {
protected:
  void SetUp() override {
    plug.SetMakeGraphicsFunc(platform.graphicsFactory(plug));
    plug.OpenWindow(nullptr);
    g = platform.canvas();
    ASSERT_NE(g, nullptr);
    g->EnableMouseOver(true);
    // As on the panel, the first control is the background (which never gets mouse-over).
    g->AttachPanelBackground(IColor(255, 10, 10, 10));
  }
  void TearDown() override {
    if (plug.GetGraphics() != nullptr) plug.CloseWindow();
  }

  // Attaches the control and shows it the parameters' current values.
  template <class Control>
  Control* attach(Control* control, int tag = kNoTag) {
    g->AttachControl(control, tag);
    for (int slot = 0; slot < control->NVals(); ++slot)
      if (const plugkit::IParam* param = control->GetParam(slot)) control->SetValue(param->GetNormalized(), slot);
    return control;
  }
  // Draws the control alone on a cleared recording.
  void draw(IControl& control) {
    g->clearDrawOps();
    control.Draw(*g);
  }
  // The recorded texts, in order.
  std::vector<sp::test::DrawOp> texts() const { return g->opsOf({sp::test::DrawOp::DrawText}); }
  // The recorded text op showing exactly str (fails the test when there is none).
  sp::test::DrawOp textOp(const std::string& str) const {
    for (const sp::test::DrawOp& op : texts())
      if (op.text == str) return op;
    ADD_FAILURE() << "no text \"" << str << "\" drawn";
    return {};
  }
  std::vector<Shape> shapes() const { return shapesOf(*g); }
  std::vector<Shape> shapesIn(const IColor& colour) const {
    std::vector<Shape> out;
    for (const Shape& s : shapes())
      if (s.colour() == colour) out.push_back(s);
    return out;
  }
  bool drewText(const std::string& str) const {
    for (const sp::test::DrawOp& op : texts())
      if (op.text == str) return true;
    return false;
  }

  FakePlug plug;
  sp::test::TestPlatform platform;
  sp::test::TestCanvas* g = nullptr;
};

}  // namespace uitest
