#include "plugin/panel_feed.h"

namespace spectrapoise::plugin {

void PanelFeed::prepare(double rate) {
  input.prepare(rate);
  output.prepare(rate);
  preparedRate = rate;
  left_.assign(kPieceFrames, 0.f);
  right_.assign(kPieceFrames, 0.f);
}

void PanelFeed::drain(SampleRing& ring, dsp::SpectrumAnalysis& analysis) {
  for (;;) {
    const std::size_t n = ring.read(left_.data(), right_.data(), left_.size());
    if (n == 0) return;
    analysis.push(left_.data(), right_.data(), n);
  }
}

}  // namespace spectrapoise::plugin
