#pragma once
// The plug-in as the editor's panel sees it: everything the panel's controls may read and
// change, and nothing else. The panel's files include this header; only the layout, which
// wires the controls to these services, sees the whole plug-in class.
//
// Threads: the main thread (the editor's), unless a call says otherwise. Nothing here
// throws: the user actions (presets, target menu) report their failures in a message box
// of their own.
#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/dsp/engine_types.h"
#include "graphics/Style.h"
#include "plugin/meter_readings.h"
#include "services/presets.h"

namespace brightloom::updates {
class UpdateCheck;
}

namespace plugkit::canvas {
class IPopupMenu;
}

namespace spectrapoise::plugin {

class EditorServices {
public:
  // The panel's analysis, refreshed by the plug-in's idle tick while the editor is open:
  // the spectrum snapshot, the correction readouts and the published gains as last read.
  virtual const dsp::SpectrumView& spectrumView() const = 0;
  virtual const dsp::Readouts& readouts() const = 0;
  virtual const dsp::CorrectionGains& panelGains() const = 0;
  // The rate the audio runs at (48000 until the host prepared the plug-in).
  virtual double sampleRate() const = 0;

  // A parameter's value in its own units (any thread). The panel's edit in the same units:
  // one host gesture, snapped to the step and clamped, every linked control showing the
  // new value and every control redrawn.
  virtual double paramValue(int paramIdx) const = 0;
  virtual void setFromPanel(int paramIdx, double value) = 0;

  // The loudness meter: the readings (any thread), the integrated-versus-short-term display
  // (setIntegratedDisplay answers the previous mode) and the reset of the integrated
  // measurement and the peak since reset, honoured by the next audio block.
  virtual MeterReadings meterReadings() const = 0;
  virtual bool integratedDisplay() const = 0;
  virtual bool setIntegratedDisplay(bool integrated) = 0;
  virtual void requestMeterReset() = 0;

  // Settings menu and corner resizer: the view resolution (0..2, smoothing over 1/3, 1/2
  // or 1 octave), the accent colour (0..5, 5 the track's colour; a change rebuilds the
  // panel on the next tick) and the window size as a scale of 640 x 400.
  virtual int resolutionIndex() const = 0;
  virtual void setResolutionIndex(int index) = 0;
  virtual int accentIndex() const = 0;
  virtual void setAccentIndex(int index) = 0;
  virtual plugkit::canvas::IColor resolvedAccent(int alpha) const = 0;
  virtual float editorScale() const = 0;
  virtual void applyEditorScale(float scale) = 0;

  // Title and footer: the host track's label as the idle tick saw it last (empty: none),
  // and forgetting the footer written last, so that the next tick writes it into new
  // controls.
  virtual const char* keptTrackLabel() const = 0;
  virtual void forgetFooter() = 0;

  // Target chip: its text, its menu (filled together with one action per item), the
  // action of the item picked, and the name typed into its entry (saved on the next tick).
  virtual std::string targetChipLabel() const = 0;
  virtual void buildTargetMenu(plugkit::canvas::IPopupMenu& menu) = 0;
  virtual void runTargetMenuAction(int index) = 0;
  virtual std::size_t targetMenuActionCount() const = 0;
  virtual void setPendingTargetName(std::string name) = 0;

  // Preset bar. A name whose save needs the overwrite question goes to
  // setPendingPresetName; the next tick saves it with the question.
  virtual std::filesystem::path presetDirectory() const = 0;
  virtual std::vector<brightloom::presets::SavedPreset> savedPresets() const = 0;
  virtual std::string presetName() const = 0;
  virtual bool presetModified() const = 0;
  virtual void loadPreset(const brightloom::presets::SavedPreset& preset) = 0;
  virtual void savePreset(const std::string& name, bool askBeforeReplacing) = 0;
  virtual void removePreset(const brightloom::presets::SavedPreset& preset) = 0;
  virtual void setPendingPresetName(std::string name) = 0;

  // The update notice's checker, shared with the plug-in.
  virtual std::shared_ptr<brightloom::updates::UpdateCheck> updateCheck() const = 0;

protected:
  ~EditorServices() = default;
};

}  // namespace spectrapoise::plugin
