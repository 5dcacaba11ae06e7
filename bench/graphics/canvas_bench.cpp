// One redraw tick of the editor on the headless canvas (idle, one and five dirty controls
// among 40), the dirty-rectangle optimisation, and pointer drags dispatched over 40 controls.
#include <benchmark/benchmark.h>

#include <random>

#include "framework/ICanvasEditorDelegate.h"
#include "graphics/ICanvas.h"
#include "graphics/IRECTList.h"
#include "tests/support/canvas/test_canvas.h"

namespace {

using namespace plugkit::canvas;

class Delegate : public ICanvasEditorDelegate {
public:
  Delegate() : ICanvasEditorDelegate(40) {
    for (int i = 0; i < NParams(); ++i) GetParam(i)->InitDouble("p", 0.5, 0.0, 1.0, 0.001);
  }
  void OnUIOpen() override {}
};

// A control that fills its rectangle, as most panel controls do at least once.
class Tile : public IControl {
public:
  using IControl::IControl;
  void Draw(ICanvas& g) override {
    const IRECT& r = GetRECT();
    g.PathClear();
    g.PathMoveTo(r.L, r.T);
    g.PathLineTo(r.R, r.T);
    g.PathLineTo(r.R, r.B);
    g.PathLineTo(r.L, r.B);
    g.PathClose();
    g.PathFill(IPattern(IColor(255, 30, 30, 30)));
  }
  void OnMouseDrag(float, float, float dX, float dY, const IMouseMod&) override {
    SetValue(GetValue() + 0.001 * (dX - dY));
    SetDirty(true);
  }
};

// 40 controls on a 8 x 5 grid over 640 x 400, each linked to its own parameter.
struct Editor {
  Delegate dlg;
  sp::test::TestPlatform platform;
  sp::test::TestCanvas* g = nullptr;

  Editor() {
    dlg.SetMakeGraphicsFunc(platform.graphicsFactory(dlg));
    dlg.SetLayoutFunc([](ICanvas* graphics) {
      for (int i = 0; i < 40; ++i) {
        const float x = static_cast<float>(i % 8) * 80.f, y = static_cast<float>(i / 8) * 80.f;
        graphics->AttachControl(new Tile(IRECT(x + 4, y + 4, x + 76, y + 76), i), i);
      }
    });
    dlg.OpenWindow(nullptr);
    g = platform.canvas();
    g->setRecording(false);
    g->tick();
  }
  ~Editor() { dlg.CloseWindow(); }
};

void BM_TickIdle(benchmark::State& state) {
  Editor e;
  for (auto _ : state) benchmark::DoNotOptimize(e.g->tick());
}
BENCHMARK(BM_TickIdle);

// The idle work marks tags 2, 3, 4, 5 and 7 dirty every 20 ms; one dirty control is the
// smallest redraw.
void BM_TickDirty(benchmark::State& state) {
  Editor e;
  const int tags1[] = {2};
  const int tags5[] = {2, 3, 4, 5, 7};
  const bool five = state.range(0) == 5;
  for (auto _ : state) {
    if (five)
      for (int tag : tags5) e.g->GetControlWithTag(tag)->SetDirty(false);
    else
      for (int tag : tags1) e.g->GetControlWithTag(tag)->SetDirty(false);
    benchmark::DoNotOptimize(e.g->tick());
  }
}
BENCHMARK(BM_TickDirty)->Arg(1)->Arg(5);

void BM_Optimize(benchmark::State& state) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> x(0.f, 600.f), y(0.f, 360.f), size(4.f, 120.f);
  std::vector<IRECT> rects;
  for (int i = 0; i < state.range(0); ++i) {
    const float l = std::floor(x(rng)), t = std::floor(y(rng));
    rects.emplace_back(l, t, std::min(640.f, l + std::floor(size(rng))), std::min(400.f, t + std::floor(size(rng))));
  }
  IRECTList list;
  for (auto _ : state) {
    list.Clear();
    for (const IRECT& r : rects) list.Add(r);
    list.Optimize();
    benchmark::DoNotOptimize(list.Size());
  }
}
BENCHMARK(BM_Optimize)->Arg(8)->Arg(64)->Arg(256)->Unit(benchmark::kMicrosecond);

// A press, 1,000 drags and a release on one of 40 controls; each drag sends a value.
void BM_DispatchDrags(benchmark::State& state) {
  Editor e;
  IMouseInfo at;
  at.mod.L = true;
  for (auto _ : state) {
    at.x = 330.f, at.y = 170.f, at.dX = 0.f, at.dY = 0.f;
    e.g->OnMouseDown({at});
    for (int i = 0; i < 1000; ++i) {
      at.dX = (i & 1) ? 1.f : -1.f;
      at.x += at.dX;
      e.g->OnMouseDrag({at});
    }
    e.g->OnMouseUp({at});
  }
  state.SetItemsProcessed(state.iterations() * 1002);
}
BENCHMARK(BM_DispatchDrags)->Unit(benchmark::kMicrosecond);

}  // namespace
