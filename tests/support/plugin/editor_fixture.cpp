#include "tests/support/plugin/editor_fixture.h"

#include <filesystem>

namespace sp::test {

using plugkit::canvas::IRECT;

void clearUserFolders(const SpectraPoise& plug) {
  std::error_code ec;
  std::filesystem::remove_all(plug.presetDirectory(), ec);
  std::filesystem::remove_all(plug.targetDirectory(), ec);
}

void EditorFixture::SetUp() {
  options.startWorker = false;
  plug = PlugPtr(new SpectraPoise(plugkit::InstanceInfo{}, options));
  clearUserFolders(*plug);
  plug->setGraphicsMaker([this](plugkit::canvas::ICanvasEditorDelegate& dlg, int w, int h, int fps, float scale) {
    return platform.graphicsFactory(dlg, w, h, fps, scale)();
  });
  plug->SetLayoutFunc([this](plugkit::canvas::ICanvas* g) {
    ++layouts;
    panel = MinimalPanel{};
    panel.title = static_cast<TextProbe*>(g->AttachControl(new TextProbe(IRECT(0, 0, 200, 20), "SPECTRAPOISE"), 0));
    panel.footer = static_cast<TextProbe*>(g->AttachControl(new TextProbe(IRECT(0, 380, 640, 400), ""), 1));
    panel.spectrum = static_cast<Probe*>(g->AttachControl(new Probe(IRECT(0, 20, 400, 300)), 2));
    panel.legend = static_cast<Probe*>(g->AttachControl(new Probe(IRECT(400, 20, 640, 40)), 3));
    panel.readouts = static_cast<Probe*>(g->AttachControl(new Probe(IRECT(400, 40, 640, 100)), 4));
    panel.meter = static_cast<Probe*>(g->AttachControl(new Probe(IRECT(400, 100, 640, 200)), 5));
    panel.chip = static_cast<ChipProbe*>(g->AttachControl(new ChipProbe(IRECT(200, 0, 320, 20), *plug), 7));
    panel.caption = static_cast<CaptionProbe*>(g->AttachControl(new CaptionProbe(IRECT(0, 300, 60, 320)), -1));
    panel.correctKnob = static_cast<Probe*>(
        g->AttachControl(new Probe(IRECT(60, 300, 120, 340), spectrapoise::plugin::kCorrect), -1));
    panel.correctShade =
        static_cast<Probe*>(g->AttachControl(new Probe(IRECT(0, 300, 320, 380)), -1, "correct-shade"));
    panel.freezeShade =
        static_cast<Probe*>(g->AttachControl(new Probe(IRECT(320, 300, 640, 380)), -1, "freeze-shade"));
    panel.bypassShade = static_cast<Probe*>(g->AttachControl(new Probe(IRECT(0, 0, 640, 400)), -1, "bypass-shade"));
    plug->forgetFooter();
  });
  openEditor();
}

void EditorFixture::openEditor() {
  ASSERT_NE(plug->OpenWindow(nullptr), nullptr);
  ASSERT_NE(plug->GetUI(), nullptr);
}

void EditorFixture::closeEditor() { plug->CloseWindow(); }

}  // namespace sp::test
