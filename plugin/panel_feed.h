#pragma once
// The panel's side of the audio: the two rings the audio thread fills while the editor is
// open (input before the correction, output after it), and on the main thread the two
// panel analyses fed from them, with the snapshot the spectrum panel draws, the readouts
// and the view resolution.
//
// Threads: the editor-open flag and the rings are shared with the audio thread (the flag is
// atomic, each ring has one producer and one consumer); everything else is the main
// thread's alone.
#include <atomic>
#include <vector>

#include "engine/dsp/engine_types.h"
#include "engine/dsp/spectrum_analysis.h"
#include "plugin/sample_ring.h"

namespace spectrapoise::plugin {

struct PanelFeed {
  // Frames taken from a ring at a time.
  static constexpr std::size_t kPieceFrames = 4096;

  // Audio thread to panel. Fed only while the editor is open and the plug-in not bypassed.
  std::atomic<bool> editorOpen{false};
  SampleRing inputRing;
  SampleRing outputRing;

  // Main thread.
  dsp::SpectrumAnalysis input;
  dsp::SpectrumAnalysis output;
  double preparedRate = 0.0;  // the rate both analyses were prepared for; 0: not yet
  bool outputRunning = false;  // the correction was wanted at the last analysis
  dsp::CorrectionGains gains{};  // the published gains as last read for drawing
  int resolution = 2;            // view smoothing, an index into kResolutionOctaves
  dsp::SpectrumView view{};
  dsp::Readouts readouts{};

  // Prepares both analyses for the rate and sizes the scratch buffers (allocates).
  void prepare(double rate);
  // Pushes every unread frame of the ring into the analysis, a piece at a time.
  void drain(SampleRing& ring, dsp::SpectrumAnalysis& analysis);

private:
  std::vector<float> left_;
  std::vector<float> right_;
};

}  // namespace spectrapoise::plugin
