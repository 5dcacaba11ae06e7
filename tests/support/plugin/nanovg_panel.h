#pragma once
// The product's panel drawn for real: a SpectraPoise instance (no worker thread; the user's
// folders emptied, update checks on without a notice) with the editor open on the headless
// NanoVG canvas (the NanoVG drawing class on the software renderer) at a screen scale,
// laid out by SpectraPoise::layout with the bundle's logo; stereo at 48 kHz with "Correct"
// on, fixed published gains, and a dull, boomy pink noise to play in 20 ms pieces, each
// followed by the plug-in's idle tick (where the panel's analysis drains its rings).
// For the pixel suites and the panel benchmark (header only: they link sp_ui,
// sp_plugin_test_support and sp_test_nanovg_canvas). Main thread; failures are gtest failures
// where a test runs, none otherwise. A suite may hand in a maker of the instance (a
// subclass that feeds the panel a snapshot of its own).
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "plugin/SpectraPoise.h"
#include "plugin/parameters.h"
#include "services/updates.h"
#include "tests/support/nanovg/nanovg_canvas.h"
#include "tests/support/plugin/editor_fixture.h"
#include "tests/support/plugin/plugin_harness.h"
#include "ui/panel_layout.h"

namespace sp::test {

class NanoVGPanel {
public:
  // Makes the instance with the fixture's options.
  using InstanceMaker = std::function<SpectraPoise*(const SpectraPoise::Options&)>;

  // sourceDir: the source tree, where resources/ holds the logo; make: the instance's
  // maker (none: the product's class).
  NanoVGPanel(float screenScale, const std::string& sourceDir, const InstanceMaker& make = {}) : screen(screenScale) {
    SpectraPoise::Options options;
    options.startWorker = false;
    plug = sp::test::PlugPtr(make ? make(options) : new SpectraPoise(plugkit::InstanceInfo{}, options));
    sp::test::clearUserFolders(*plug);
    plug->updateCheck()->setEnabled(true);
    offer("");
    plug->setGraphicsMaker([s = screenScale](plugkit::canvas::ICanvasEditorDelegate& dlg, int w, int h, int,
                                             float scale) { return sp::test::NanoVGTestCanvas::factory(dlg, w, h, scale, s)(); });
    std::ifstream in(sourceDir + "/resources/spectrapoise-lockup.svg", std::ios::binary);
    const std::string svg{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    SpectraPoise* product = plug.get();
    plug->SetLayoutFunc([product, svg](plugkit::canvas::ICanvas* g) {
      if (!svg.empty())
        g->LoadSVG(balance_panel::kLogoFile, static_cast<const void*>(svg.data()), static_cast<int>(svg.size()));
      product->layout(g);
    });
    sp::test::connect(*plug, 2, 2);
    sp::test::resetAt(*plug, 48000.0);
    plug->OpenWindow(nullptr);
    g = static_cast<sp::test::NanoVGTestCanvas*>(plug->GetUI());
    setParam(spectrapoise::plugin::kCorrect, 1.0);
    input = sp::test::coloured(sp::test::pinkNoise(48000 * 4, 0.1, 7), {0.0, 4.0, 1.0, -2.0, -4.0}, 48000.0);
    plug->publishGains({1.2, -3.0, -0.8, 1.5, 3.1});
  }
  ~NanoVGPanel() { offer(""); }
  NanoVGPanel(const NanoVGPanel&) = delete;
  NanoVGPanel& operator=(const NanoVGPanel&) = delete;

  // A parameter set by the host, shown by the controls.
  void setParam(int paramIdx, double value) {
    sp::test::hostSet(*plug, paramIdx, value);
    plug->SendParameterValueFromDelegate(paramIdx, value, false);
  }
  // 20 ms of the signal through the plug-in, then one idle tick.
  void playPiece() {
    sp::test::Stereo piece(kPiece);
    for (std::size_t i = 0; i < kPiece; ++i) {
      piece.left[i] = input.left[(played + i) % input.size()];
      piece.right[i] = input.right[(played + i) % input.size()];
    }
    played += kPiece;
    sp::test::processAll(*plug, piece, 480);
    plug->OnIdle();
  }
  void play(double seconds) {
    for (double t = 0.0; t < seconds; t += 0.02) playPiece();
  }
  // The update checker holds a notice of that version (none for "").
  void offer(const std::string& version) {
    brightloom::updates::UpdateCheck& checker = *plug->updateCheck();
    const std::string feed =
        version.empty() ? "{}" : R"({"spectrapoise":{"version":")" + version + R"(","page":"/spectrapoise"}})";
    checker.writeRecord({1, feed});
    checker.reload();
  }

  static constexpr std::size_t kPiece = 960;
  float screen;
  sp::test::PlugPtr plug;
  sp::test::NanoVGTestCanvas* g = nullptr;
  sp::test::Stereo input;
  std::size_t played = 0;
};

}  // namespace sp::test
