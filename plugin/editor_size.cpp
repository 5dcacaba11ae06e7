// Editor size and scale: the size rule, the host's resize of the window, the draw scale the
// settings menu and the corner resizer read and set.
#include "plugin/editor_size.h"

#include <algorithm>
#include <cmath>

#include "graphics/ICanvas.h"
#include "plugin/SpectraPoise.h"

namespace spectrapoise::plugin {

float usablePlatformScale(float scale) {
  if (!(scale > 0.f) || !std::isfinite(scale)) return 1.f;
  return std::min(scale, 16.f);
}

int roundToInt(double value) {
  if (std::isnan(value)) return 0;
  return static_cast<int>(std::round(std::clamp(value, -1e9, 1e9)));
}

bool applySizeRule(int& width, int& height, float s) {
  s = usablePlatformScale(s);
  const int maxWidth = s > 1.f ? roundToInt(static_cast<double>(kMaxEditorWidth) * s) : kMaxEditorWidth;
  const int maxHeight = s > 1.f ? roundToInt(static_cast<double>(kMaxEditorHeight) * s) : kMaxEditorHeight;
  const int askedWidth = width;
  const int askedHeight = height;
  const bool within =
      width >= kMinEditorWidth && width <= maxWidth && height >= kMinEditorHeight && height <= maxHeight;

  width = width < kMinEditorWidth ? kMinEditorWidth : std::min(width, maxWidth);
  height = height < kMinEditorHeight ? kMinEditorHeight : std::min(height, maxHeight);
  if (static_cast<float>(width) / static_cast<float>(height) > kEditorAspect)
    width = roundToInt(static_cast<double>(height) * 1.6);
  else
    height = roundToInt(static_cast<double>(width) / 1.6);
  return within && width == askedWidth && height == askedHeight;
}

}  // namespace spectrapoise::plugin

using namespace spectrapoise::plugin;

float SpectraPoise::platformScale() const {
  if (const plugkit::canvas::ICanvas* ui = GetUI()) return ui->GetPlatformWindowScale();
  return keptPlatformScale_;
}

bool SpectraPoise::ConstrainEditorResize(int& width, int& height) const {
  return applySizeRule(width, height, platformScale());
}

void SpectraPoise::OnParentWindowResize(int width, int height) {
  plugkit::canvas::ICanvas* ui = GetUI();
  if (ui == nullptr) return;
  const float s = usablePlatformScale(ui->GetPlatformWindowScale());
  keptPlatformScale_ = s;
  applySizeRule(width, height, s);
  const float scale = std::min(static_cast<float>(width) / (static_cast<float>(kEditorWidth) * s),
                               static_cast<float>(height) / (static_cast<float>(kEditorHeight) * s));
  if (std::fabs(scale - ui->GetDrawScale()) > 0.001f) ui->Resize(kEditorWidth, kEditorHeight, scale, false);
  SetEditorSize(width, height);
}

float SpectraPoise::editorScale() const {
  if (const plugkit::canvas::ICanvas* ui = GetUI())
    return static_cast<float>(ui->WindowWidth()) / static_cast<float>(kEditorWidth);
  if (GetEditorWidth() >= 1)
    return static_cast<float>(GetEditorWidth()) /
           (usablePlatformScale(keptPlatformScale_) * static_cast<float>(kEditorWidth));
  return 1.f;
}

void SpectraPoise::applyEditorScale(float scale) {
  plugkit::canvas::ICanvas* ui = GetUI();
  if (ui == nullptr || !std::isfinite(scale)) return;
  int width = roundToInt(static_cast<double>(kEditorWidth) * scale);
  int height = roundToInt(static_cast<double>(kEditorHeight) * scale);
  applySizeRule(width, height, ui->GetPlatformWindowScale());
  const float drawScale = std::min(static_cast<float>(height) / static_cast<float>(kEditorHeight),
                                   static_cast<float>(width) / static_cast<float>(kEditorWidth));
  ui->Resize(kEditorWidth, kEditorHeight, drawScale, true);
}
