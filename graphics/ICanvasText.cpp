// Font registration and the geometry of rotated text.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "graphics/ICanvas.h"

namespace plugkit::canvas {

bool ICanvas::registerFont(const char* fontID, const PlatformFontPtr& font) {
  if (!font) return false;
  const bool ok = LoadAPIFont(fontID, font);
  if (ok) CachePlatformFont(fontID, font);
  return ok;
}

bool ICanvas::LoadFont(const char* fontID, const char* fileNameOrResID) {
  if (fontID == nullptr || fontID[0] == '\0' || fileNameOrResID == nullptr || fileNameOrResID[0] == '\0')
    return false;
  const PlatformFontPtr font = LoadPlatformFont(fontID, fileNameOrResID);
  return registerFont(fontID, font);
}

bool ICanvas::LoadFont(const char* fontID, void* data, int size) {
  if (fontID == nullptr || fontID[0] == '\0' || data == nullptr || size <= 0) return false;
  const PlatformFontPtr font = LoadPlatformFont(fontID, data, size);
  return registerFont(fontID, font);
}

bool ICanvas::LoadFont(const char* fontID, const char* fontName, ETextStyle style) {
  if (fontID == nullptr || fontID[0] == '\0' || fontName == nullptr || fontName[0] == '\0') return false;
  const PlatformFontPtr font = LoadPlatformFont(fontID, fontName, style);
  return registerFont(fontID, font);
}

void ICanvas::CalculateTextRotation(const IText& text, const IRECT& bounds, IRECT& rect, double& tx,
                                    double& ty) const {
  if (text.angle == 0.f || !std::isfinite(text.angle)) return;

  // The corners rotated about the origin, clockwise on screen.
  const double a = static_cast<double>(text.angle) * std::numbers::pi / 180.0;
  const double c = std::cos(a), s = std::sin(a);
  const double xs[4] = {rect.L, rect.R, rect.R, rect.L};
  const double ys[4] = {rect.T, rect.T, rect.B, rect.B};
  double minX = 0, minY = 0, maxX = 0, maxY = 0;
  for (int i = 0; i < 4; ++i) {
    const double x = xs[i] * c - ys[i] * s;
    const double y = xs[i] * s + ys[i] * c;
    if (i == 0 || x < minX) minX = x;
    if (i == 0 || x > maxX) maxX = x;
    if (i == 0 || y < minY) minY = y;
    if (i == 0 || y > maxY) maxY = y;
  }
  rect = IRECT(static_cast<float>(minX), static_cast<float>(minY), static_cast<float>(maxX), static_cast<float>(maxY));

  switch (text.align) {
    case ETextHAlign::Left: tx = bounds.L - rect.L; break;
    case ETextHAlign::Centre: tx = bounds.CentreX() - rect.CentreX(); break;
    case ETextHAlign::Right: tx = bounds.R - rect.R; break;
  }
  switch (text.valign) {
    case ETextVAlign::Top: ty = bounds.T - rect.T; break;
    case ETextVAlign::Middle: ty = bounds.CentreY() - rect.CentreY(); break;
    case ETextVAlign::Bottom: ty = bounds.B - rect.B; break;
  }
}

void ICanvas::DoMeasureTextRotation(const IText& text, const IRECT& bounds, IRECT& rect) const {
  double tx = 0.0, ty = 0.0;
  CalculateTextRotation(text, bounds, rect, tx, ty);
  rect.Translate(static_cast<float>(tx), static_cast<float>(ty));
}

}  // namespace plugkit::canvas
