// The 20 ms main-thread tick: the work other threads and deferred editor actions asked for
// (freeze capture, accent rebuild, pending saves, the reference-file learning result, the
// preset-modified tracking) and, while the editor is open, bringing it up to date (shades,
// panel snapshot, live controls, title and footer).
#include <cmath>
#include <cstring>

#include "graphics/ICanvas.h"
#include "graphics/ITextControl.h"
#include "plugin/SpectraPoise.h"
#include "plugin/panel_roles.h"
#include "plugin/version.h"

using namespace spectrapoise::plugin;

namespace {

bool inGroup(const plugkit::canvas::IControl* control, const char* group) {
  return std::strcmp(control->GetGroup(), group) == 0;
}

// Hidden exactly when `hidden`, touching the control only when that changes.
void showUnless(plugkit::canvas::IControl* control, bool hidden) {
  if (control->IsHidden() != hidden) control->Hide(hidden);
}

}  // namespace

void SpectraPoise::OnIdle() {
  // A modal box shown by a step runs the host's loop, which may tick again: that tick
  // waits for the next one.
  if (idleRunning_) return;
  idleRunning_ = true;
  try {
    idleTick();
  } catch (...) {
    idleRunning_ = false;
    throw;
  }
  idleRunning_ = false;
}

void SpectraPoise::idleTick() {
  captureFreeze();

  if (plugkit::canvas::ICanvas* ui = GetUI()) keptPlatformScale_ = ui->GetPlatformWindowScale();

  if (accentIndex_.load() == kDawColorAccent) {
    int r = 0, g = 0, b = 0;
    const int packed = trackColour(r, g, b) ? ((r & 0xFF) << 16) | ((g & 0xFF) << 8) | (b & 0xFF) : -1;
    if (packed != keptTrackColour_) {
      keptTrackColour_ = packed;
      accentRebuild_.store(true);
    }
  }

  if (accentRebuild_.exchange(false) && GetUI() != nullptr) {
    // Removing the controls under a drag, an open menu or text entry, or inside a prompt's
    // answer would delete what is in use: the rebuild waits for a quiet tick.
    if (editorBusy())
      accentRebuild_.store(true);
    else
      rebuildEditor();
  }

  refreshTrackLabel();

  // The saves and the learning result may show boxes: not over a drag, an open menu or
  // text entry, or inside a prompt's answer. They wait for a quiet tick.
  if (!editorBusy()) runPendingWork();
  trackPresetModified();

  // The steps above may have shown boxes, during which the editor may have closed.
  plugkit::canvas::ICanvas* ui = GetUI();
  if (ui == nullptr || !panel_.editorOpen.load()) return;

  const bool bypassed = paramOn(kBypass) || GetBypassed();
  ui->ForAllControlsFunc([bypassed](plugkit::canvas::IControl* c) {
    if (inGroup(c, kBypassShade)) showUnless(c, !bypassed);
  });

  if (bypassed)
    viewTarget();
  else
    analyseForPanel();

  for (const int tag : kLiveTags)
    if (plugkit::canvas::IControl* c = ui->GetControlWithTag(tag)) c->SetDirty(false);

  refreshShades();
  refreshFooter();
}

void SpectraPoise::runPendingWork() {
  if (pendingPresetName_) {
    const std::string name = std::move(*pendingPresetName_);
    pendingPresetName_.reset();
    savePreset(name, true);
  }
  if (pendingTargetName_) {
    const std::string name = std::move(*pendingTargetName_);
    pendingTargetName_.reset();
    saveTarget(name);
  }
  installLearningResult();
}

bool SpectraPoise::editorBusy() const {
  const plugkit::canvas::ICanvas* ui = GetUI();
  return ui != nullptr && (ui->ControlIsCaptured() || ui->GetControlInPopupMenu() != nullptr ||
                           ui->GetControlInTextEntry() != nullptr || ui->PromptCallbacksRunning() > 0 ||
                           ui->ModalRunDepth() > 0);
}

void SpectraPoise::sendAllParamsToEditor() {
  for (int i = 0; i < NParams(); ++i) {
    const plugkit::IParam& param = *GetParam(i);
    SendParameterValueFromDelegate(i, normalizedForEdit(param, param.Value()), true);
  }
}

void SpectraPoise::rebuildEditor() {
  plugkit::canvas::ICanvas* ui = GetUI();
  ui->RemoveAllControls();
  forgetFooter();
  LayoutUI(ui);
  sendAllParamsToEditor();
  ui->SetAllControlsDirty();
}

void SpectraPoise::refreshTrackLabel() {
  StringBuf label;
  trackLabel(label);
  if (std::strcmp(label.Get(), keptTrackLabel_.Get()) == 0) return;
  keptTrackLabel_ = label;
  plugkit::canvas::ICanvas* ui = GetUI();
  if (ui == nullptr || !panel_.editorOpen.load()) return;
  if (auto* title = dynamic_cast<plugkit::canvas::ITextControl*>(ui->GetControlWithTag(kTitleTag)))
    title->SetStr(label.Empty() ? kProductTitle : label.Get());
}

void SpectraPoise::refreshShades() {
  const bool correctOn = paramOn(kCorrect);
  const bool correctLive = correctOn && !paramOn(kBypass);
  const bool freezeShown = correctOn && paramOn(kFreeze);
  GetUI()->ForAllControlsFunc([&](plugkit::canvas::IControl* c) {
    if (inGroup(c, kCorrectShade))
      showUnless(c, correctOn);
    else if (inGroup(c, kFreezeShade))
      showUnless(c, !freezeShown);
    else if (correctLive && dynamic_cast<AmountCaptionRole*>(c) != nullptr)
      c->SetDirty(false);
  });
}

std::string SpectraPoise::footerText() const {
  return std::string("SpectraPoise ") + kVersion + " · " + std::to_string(GetLatency()) + " samples latency";
}

void SpectraPoise::refreshFooter() {
  const std::string footer = footerText();
  if (footer == keptFooter_) return;
  if (auto* control = dynamic_cast<plugkit::canvas::ITextControl*>(GetUI()->GetControlWithTag(kFooterTag))) {
    control->SetStr(footer.c_str());
    keptFooter_ = footer;
  }
}
