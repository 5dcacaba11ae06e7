#pragma once
// A logging editor delegate with a small parameter table, and probe controls that log
// the calls they receive. Shared by the graphics suites.
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/ICanvasEditorDelegate.h"
#include "graphics/ICanvas.h"
#include "pluginterfaces/vst/ivstcontextmenu.h"
#include "tests/support/canvas/test_canvas.h"

namespace gfxtest {

using namespace plugkit::canvas;
using plugkit::IParam;
using Log = std::vector<std::string>;

inline std::string fmt(const char* format, double a) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, a);
  return buf;
}

// Parameters: 0 "Switch" (bool off/on), 1 "Loudness Target" (-36..-6, step 0.5, default
// -14), 2 "Mode" (enum of four), 3 "High Crossover" (1500..16000 Hz, step 10, default 6000,
// exponential), 4 "Amount" (-3..3, stepped 0.5), 5 "Free" (-3..3, unstepped), 6 "Level"
// (integer 0..100, default 50).
class FakeDelegate : public ICanvasEditorDelegate {
public:
  explicit FakeDelegate(int extraParams = 0) : ICanvasEditorDelegate(7 + extraParams) {
    GetParam(0)->InitBool("Switch", false);
    GetParam(1)->InitDouble("Loudness Target", -14.0, -36.0, -6.0, 0.5, "LUFS", IParam::kFlagStepped);
    GetParam(2)->InitEnum("Mode", 2, {"One", "Two", "Three", "Four"});
    GetParam(3)->InitDouble("High Crossover", 6000.0, 1500.0, 16000.0, 10.0, "Hz", IParam::kFlagStepped, "",
                            IParam::ShapeExp());
    GetParam(4)->InitDouble("Amount", 0.0, -3.0, 3.0, 0.5, "", IParam::kFlagStepped);
    GetParam(4)->SetDisplayPrecision(2);
    GetParam(5)->InitDouble("Free", 0.0, -3.0, 3.0, 0.001, "");
    GetParam(5)->SetDisplayPrecision(3);
    GetParam(6)->InitInt("Level", 50, 0, 100, "%");
    for (int i = 7; i < NParams(); ++i) GetParam(i)->InitDouble("Extra", 0.0, 0.0, 1.0, 0.01);
  }

  mutable Log log;
  // The size rule: "default" clamps to the limits; "product" also forces 640 x 400.
  bool productRule = false;
  bool hostAnswer = true;
  bool logUI = true;  // OnUIOpen / OnUIClose / OnParamChangeUI into the log
  std::vector<IMidiMsg> midi;
  Steinberg::Vst::IComponentHandler* handler = nullptr;
  Steinberg::IPlugView* view = nullptr;

  void BeginInformHostOfParamChangeFromUI(int paramIdx) override { log.push_back("Begin " + std::to_string(paramIdx)); }
  void EndInformHostOfParamChangeFromUI(int paramIdx) override { log.push_back("End " + std::to_string(paramIdx)); }
  void SendParameterValueFromUI(int paramIdx, double value) override {
    log.push_back("Send " + std::to_string(paramIdx) + " " + fmt("%.4g", value));
    ICanvasEditorDelegate::SendParameterValueFromUI(paramIdx, value);
  }
  void OnParamChangeUI(int paramIdx, plugkit::EParamSource source) override {
    if (logUI) log.push_back("ParamChangeUI " + std::to_string(paramIdx) + " " + std::to_string(source));
  }
  bool EditorResizeFromUI(int w, int h, bool needsPlatformResize) override {
    if (!needsPlatformResize) return true;
    log.push_back("HostResize " + std::to_string(w) + "x" + std::to_string(h));
    return hostAnswer;
  }
  bool ConstrainEditorResize(int& w, int& h) const override {
    log.push_back("Constrain " + std::to_string(w) + "x" + std::to_string(h));
    if (productRule) {
      w = 640;
      h = 400;
      return true;
    }
    return ICanvasEditorDelegate::ConstrainEditorResize(w, h);
  }
  void OnUIOpen() override {
    if (logUI) log.push_back("OnUIOpen");
    ICanvasEditorDelegate::OnUIOpen();
  }
  void OnUIClose() override {
    if (logUI) log.push_back("OnUIClose");
  }
  void SendMidiMsgFromUI(const IMidiMsg& msg) override { midi.push_back(msg); }
  Steinberg::Vst::IComponentHandler* GetHostComponentHandler() const override { return handler; }
  Steinberg::IPlugView* GetHostPlugView() const override { return view; }

  // Entries of the log that start with one of the prefixes, in order.
  Log only(std::initializer_list<const char*> prefixes) const {
    Log out;
    for (const std::string& e : log)
      for (const char* p : prefixes)
        if (e.rfind(p, 0) == 0) {
          out.push_back(e);
          break;
        }
    return out;
  }
  Log gestures() const { return only({"Begin", "Send", "End"}); }
};

// A control that logs its hooks; optionally rebuilds its target in OnResize.
class Probe : public IControl {
public:
  using IControl::IControl;
  Log calls;
  bool insetTargetOnResize = false;
  std::function<void(Probe&, float, float, float, float)> onDrag;
  std::function<void(Probe&)> onDown;
  std::function<void(Probe&, float)> onWheel;
  std::function<void(Probe&, IPopupMenu*, int)> onMenu;
  std::function<bool(Probe&, const IKeyPress&)> onKey;

  void Draw(ICanvas& g) override {
    calls.push_back("Draw");
    drawClips.push_back(g.GetClipRect());
  }
  void OnInit() override { calls.push_back("OnInit"); }
  void OnResize() override {
    calls.push_back("OnResize");
    if (insetTargetOnResize) SetTargetRECT(GetRECT().GetPadded(-2.f));
  }
  void OnRescale() override { calls.push_back("OnRescale"); }
  void OnAttached() override { calls.push_back("OnAttached"); }
  void OnMouseDown(float x, float y, const IMouseMod& mod) override {
    calls.push_back("OnMouseDown");
    if (onDown) onDown(*this);
    IControl::OnMouseDown(x, y, mod);
  }
  void OnMouseUp(float, float, const IMouseMod&) override { calls.push_back("OnMouseUp"); }
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod&) override {
    calls.push_back("OnMouseDrag");
    if (onDrag) onDrag(*this, x, y, dX, dY);
  }
  void OnMouseDblClick(float x, float y, const IMouseMod& mod) override {
    calls.push_back("OnMouseDblClick");
    IControl::OnMouseDblClick(x, y, mod);
  }
  void OnMouseWheel(float, float, const IMouseMod&, float d) override {
    calls.push_back("OnMouseWheel");
    if (onWheel) onWheel(*this, d);
  }
  void OnMouseOver(float x, float y, const IMouseMod& mod) override {
    calls.push_back("OnMouseOver");
    IControl::OnMouseOver(x, y, mod);
  }
  void OnMouseOut() override {
    calls.push_back("OnMouseOut");
    IControl::OnMouseOut();
  }
  bool OnKeyDown(float, float, const IKeyPress& key) override {
    calls.push_back("OnKeyDown");
    return onKey ? onKey(*this, key) : false;
  }
  void OnPopupMenuSelection(IPopupMenu* menu, int valIdx) override {
    calls.push_back(std::string("OnPopupMenuSelection ") + (menu ? std::to_string(menu->GetChosenItemIdx()) : "null"));
    if (onMenu) onMenu(*this, menu, valIdx);
    else IControl::OnPopupMenuSelection(menu, valIdx);
  }
  void OnTextEntryCompletion(const char* str, int valIdx) override {
    calls.push_back(std::string("OnTextEntryCompletion ") + str);
  }
  void OnContextSelection(int item) override { calls.push_back("OnContextSelection " + std::to_string(item)); }
  void OnMidi(const IMidiMsg& msg) override { calls.push_back("OnMidi " + std::to_string(msg.mStatus)); }
  void OnMsgFromDelegate(int msgTag, int, const void*) override { calls.push_back("OnMsg " + std::to_string(msgTag)); }

  bool called(const std::string& name) const {
    for (const std::string& c : calls)
      if (c == name) return true;
    return false;
  }
  int count(const std::string& name) const {
    int n = 0;
    for (const std::string& c : calls) n += c == name;
    return n;
  }
  std::vector<IRECT> drawClips;
};

// A fake delegate with its editor open on the headless test canvas. Suites derive from it
// and add their own set-up after EditorTest::SetUp.
class EditorTest : public ::testing::Test {
protected:
  void SetUp() override {
    dlg.logUI = false;
    dlg.SetMakeGraphicsFunc(platform.graphicsFactory(dlg));
    dlg.OpenWindow(nullptr);
    g = platform.canvas();
    ASSERT_NE(g, nullptr);
  }
  void TearDown() override {
    if (dlg.GetGraphics() != nullptr) dlg.CloseWindow();
  }

  FakeDelegate dlg;
  sp::test::TestPlatform platform;
  sp::test::TestCanvas* g = nullptr;
};

}  // namespace gfxtest
