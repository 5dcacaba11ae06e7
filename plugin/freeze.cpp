// Freeze: the parameter-change hook that latches "Freeze" and raises the capture request
// when the host or the editor switches it on, and the capture on the main thread that turns
// the last live gains into the frozen parameters.
#include <algorithm>
#include <cstdint>
#include <optional>

#include "plugin/SpectraPoise.h"

using namespace spectrapoise::plugin;

void SpectraPoise::OnParamChange(int paramIdx, plugkit::EParamSource source, int) {
  if (paramIdx == kFreeze) {
    const bool on = GetParam(kFreeze)->Value() >= 0.5;
    const bool fromUser = source == plugkit::kHost || source == plugkit::kUI;
    if (fromUser && on && !link_.freezeLatched()) link_.requestFreezeCapture();
    if (!on) link_.dropFreezeCaptureRequest();
    link_.setFreezeLatched(on);
    return;
  }
  for (const int frozen : kFrozenParams) {
    if (paramIdx != frozen) continue;
    // A frozen value set by hand, by the host or by a preset wins over a pending capture.
    if (!link_.captureInProgress()) link_.dropFreezeCaptureRequest();
    return;
  }
}

void SpectraPoise::captureFreeze() {
  const std::optional<std::uint64_t> request = link_.pendingFreezeCapture();
  if (!request) return;

  const CorrectionGains remembered = link_.rememberedGains();
  std::array<double, 5> values{};
  for (std::size_t i = 0; i < 5; ++i) {
    const double amount = GetParam(kAmountParams[i])->Value() / 100.0;
    values[i] = amount > 0.0 ? std::clamp(remembered[i] / amount, -24.0, 24.0) : 0.0;
  }

  link_.setCaptureInProgress(true);
  for (std::size_t i = 0; i < 5; ++i) setFromPanel(kFrozenParams[i], values[i]);
  link_.setCaptureInProgress(false);

  // Cleared only when nothing happened meanwhile: a request raised again during the
  // capture (Freeze off and on) is taken on the next tick.
  link_.completeFreezeCapture(*request);
}
