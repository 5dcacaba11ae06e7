#pragma once
// An open editor on the headless test canvas with a minimal layout standing in for the
// panel: the controls the plug-in addresses (tags 0 title, 1 footer, 2 spectrum, 3 legend,
// 4 readouts, 5 loudness meter, 7 target chip; the three shade groups; one amount caption)
// as probes that count how often the plug-in marks, hides or retitles them.
#include <gtest/gtest.h>

#include <string>

#include "graphics/ICanvas.h"
#include "graphics/ITextControl.h"
#include "plugin/editor_services.h"
#include "plugin/panel_roles.h"
#include "tests/support/plugin/plugin_harness.h"
#include "tests/support/canvas/test_canvas.h"

namespace sp::test {

class Probe : public plugkit::canvas::IControl {
public:
  explicit Probe(const plugkit::canvas::IRECT& r, int paramIdx = plugkit::canvas::kNoLinkedParam)
      : IControl(r, paramIdx) {}
  void Draw(plugkit::canvas::ICanvas&) override {}
  void SetDirty(bool triggerAction = true, int valIdx = plugkit::canvas::kEveryValIdx) override {
    ++dirtyCalls;
    IControl::SetDirty(triggerAction, valIdx);
  }
  void Hide(bool hide) override {
    ++hideCalls;
    IControl::Hide(hide);
  }
  int dirtyCalls = 0;
  int hideCalls = 0;
};

class TextProbe : public plugkit::canvas::ITextControl {
public:
  explicit TextProbe(const plugkit::canvas::IRECT& r, const char* text) : ITextControl(r, text) {}
  void SetStr(const char* str) override {
    ++sets;
    ITextControl::SetStr(str);
  }
  int sets = 0;
};

// The target chip: hands a typed name to the plug-in's pending slot, through the editor
// services as the panel's chip does.
class ChipProbe : public Probe, public spectrapoise::plugin::TargetChipRole {
public:
  ChipProbe(const plugkit::canvas::IRECT& r, spectrapoise::plugin::EditorServices& plug) : Probe(r), plug_(plug) {}
  bool hasTextHandler() const override { return textHandler; }
  void OnTextEntryCompletion(const char* str, int) override { plug_.setPendingTargetName(str); }
  bool textHandler = true;

private:
  spectrapoise::plugin::EditorServices& plug_;
};

class CaptionProbe : public Probe, public spectrapoise::plugin::AmountCaptionRole {
public:
  using Probe::Probe;
};

// The controls of the last layout.
struct MinimalPanel {
  TextProbe* title = nullptr;
  TextProbe* footer = nullptr;
  Probe* spectrum = nullptr;
  Probe* legend = nullptr;
  Probe* readouts = nullptr;
  Probe* meter = nullptr;
  ChipProbe* chip = nullptr;
  Probe* bypassShade = nullptr;
  Probe* correctShade = nullptr;
  Probe* freezeShade = nullptr;
  CaptionProbe* caption = nullptr;
  Probe* correctKnob = nullptr;  // bound to "Correct"
};

// A fresh instance without its worker, the user's preset and target folders emptied, and
// the editor open on the test canvas with the minimal layout.
class EditorFixture : public ::testing::Test {
protected:
  void SetUp() override;
  // Opens the editor (again) through the plug-in's delegate.
  void openEditor();
  void closeEditor();
  plugkit::canvas::ICanvas* ui() const { return plug->GetUI(); }
  // One idle tick.
  void tick() { plug->OnIdle(); }

  TestPlatform platform;
  PlugPtr plug;
  MinimalPanel panel;
  int layouts = 0;
  SpectraPoise::Options options;  // set before SetUp to change the instance
};

// Empties the user's preset and target folders (shared by the tests of one process).
void clearUserFolders(const SpectraPoise& plug);

}  // namespace sp::test
