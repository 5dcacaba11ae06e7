// The drawn menu, the drawn text entry and the plot, on the headless canvas (recording off)
// measuring text with the real Roboto face through the vector graphics library:
// - a menu of 1,000 items opened and its first frame drawn, beside 100 items; a hover that
//   scrolls it, at both sizes;
// - a keystroke in the middle of a 1,000-character entry (insert, re-measure, draw) beside
//   100 characters; anchor: one measure of the whole string's advance;
// - a plot of 4 functions drawn at 1,024 and 16,384 points with its layer cache on and off.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>

#include "framework/ICanvasEditorDelegate.h"
#include "graphics/stock/PopupMenuControl.h"
#include "graphics/stock/TextEntryControl.h"
#include "graphics/stock/VectorPadsAndFrames.h"
#include "tests/graphics/stock/advance_canvas.h"

namespace {

using namespace plugkit::canvas;

class Delegate : public ICanvasEditorDelegate {
public:
  Delegate() : ICanvasEditorDelegate(0) {}
  void OnUIOpen() override {}
};

class Requester : public IControl {
public:
  explicit Requester(const IRECT& r) : IControl(r) {}
  void Draw(ICanvas&) override {}
};

// A canvas measuring with the real face, recording nothing, with a requester attached.
struct Editor {
  Editor() : canvas(platform, dlg) {
    canvas.setRecording(false);
    canvas.setRemoveControlsOnDestroy(true);
    requester = new Requester(IRECT(100, 100, 160, 120));
    canvas.AttachControl(requester);
  }
  sp::test::TestPlatform platform;
  Delegate dlg;
  stocktest::AdvanceCanvas canvas;
  Requester* requester;
};

void fillMenu(IPopupMenu& menu, int n) {
  for (int i = 0; i < n; ++i) menu.AddItem(("Preset number " + std::to_string(i)).c_str());
}

void BM_MenuOpenToFirstFrame(benchmark::State& state) {
  Editor e;
  AttachPopupMenuControl(e.canvas);
  auto* menu = static_cast<IPopupMenuControl*>(e.canvas.GetPopupMenuControl());
  IPopupMenu items;
  fillMenu(items, static_cast<int>(state.range(0)));
  for (auto _ : state) {
    e.canvas.CreatePopupMenu(*e.requester, items, e.requester->GetRECT());
    e.canvas.tick();
    state.PauseTiming();
    menu->CloseNow();
    e.canvas.tick();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_MenuOpenToFirstFrame)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_MenuScrollingHover(benchmark::State& state) {
  Editor e;
  AttachPopupMenuControl(e.canvas);
  auto* menu = static_cast<IPopupMenuControl*>(e.canvas.GetPopupMenuControl());
  IPopupMenu items;
  fillMenu(items, static_cast<int>(state.range(0)));
  e.canvas.CreatePopupMenu(*e.requester, items, e.requester->GetRECT());
  IPopupMenuControl::MenuPanel* panel = menu->GetPanel(0);
  if (!panel->mScroller) state.SkipWithError("the menu does not scroll");
  const IRECT first = *panel->GetCell(0), last = *panel->GetCell(panel->NCells() - 1);
  bool down = true;
  for (auto _ : state) {
    // Down to the end and back up, one item per hover.
    const int offset = panel->mScrollItemOffset;
    const IRECT& cell = down ? last : first;
    e.canvas.OnMouseOver(cell.CentreX(), cell.CentreY(), IMouseMod());
    e.canvas.tick();
    if (panel->mScrollItemOffset == offset) down = !down;
  }
}
BENCHMARK(BM_MenuScrollingHover)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_EntryKeystroke(benchmark::State& state) {
  Editor e;
  AttachTextEntryControl(e.canvas);
  auto* entry = static_cast<ITextEntryControl*>(e.canvas.GetTextEntryControl());
  e.requester->SetTextEntryLength(0);
  const int n = static_cast<int>(state.range(0));
  std::string text;
  for (int i = 0; i < n; ++i) text += static_cast<char>('a' + i % 26);
  e.canvas.CreateTextEntry(*e.requester, DEFAULT_TEXT, IRECT(0, 0, 640, 30), text.c_str());
  e.canvas.OnKeyDown(0, 0, IKeyPress("", kVK_END));
  for (int i = 0; i < n / 2; ++i) e.canvas.OnKeyDown(0, 0, IKeyPress("", kVK_LEFT));
  for (auto _ : state) {
    e.canvas.OnKeyDown(0, 0, IKeyPress("x", 'X'));
    e.canvas.PrepareRegion(e.canvas.GetBounds());
    entry->Draw(e.canvas);
    e.canvas.OnKeyDown(0, 0, IKeyPress("", kVK_BACK));
  }
  if (entry->NChars() != n) state.SkipWithError("the text changed length");
}
BENCHMARK(BM_EntryKeystroke)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

// Anchor: the advance of the whole string, measured once.
void BM_AdvanceOfWholeString(benchmark::State& state) {
  Editor e;
  std::string text;
  for (int i = 0; i < state.range(0); ++i) text += static_cast<char>('a' + i % 26);
  for (auto _ : state) benchmark::DoNotOptimize(e.canvas.advance(DEFAULT_TEXT, text.c_str()));
}
BENCHMARK(BM_AdvanceOfWholeString)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_PlotFrame(benchmark::State& state) {
  Editor e;
  const std::vector<IVPlotControl::Plot> plots = {
      {COLOR_RED, [](double x) { return std::sin(x * 6.283185307179586); }},
      {COLOR_GREEN, [](double x) { return std::cos(x * 12.566370614359172); }},
      {COLOR_BLUE, [](double x) { return 2.0 * x - 1.0; }},
      {COLOR_BLACK, [](double x) { return std::tanh(8.0 * (x - 0.5)); }},
  };
  auto* plot = new IVPlotControl(IRECT(0, 0, 640, 400), plots, static_cast<int>(state.range(0)), "Plot", DEFAULT_STYLE,
                                 -1.f, 1.f, state.range(1) != 0);
  e.canvas.AttachControl(plot);
  for (auto _ : state) {
    e.canvas.PrepareRegion(e.canvas.GetBounds());
    plot->Draw(e.canvas);
  }
}
BENCHMARK(BM_PlotFrame)
    ->ArgNames({"points", "layer"})
    ->Args({1024, 0})
    ->Args({1024, 1})
    ->Args({16384, 0})
    ->Args({16384, 1})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
