#include "ui/panel_text.h"

#include <cmath>
#include <cstdarg>

#include "framework/StringBuf.h"

namespace balance_panel {

namespace {

bool isContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

std::string decibels(double value, bool plusSign, bool dropZeroDecimal, double floor) {
  if (!std::isfinite(value) || value <= floor) return std::string(kMinus) + "inf";
  // Beyond 1e15 a double has no tenths left to round (and x 10 could overflow).
  const double r = std::fabs(value) < 1e15 ? std::round(value * 10.0) / 10.0 : value;
  const double magnitude = std::fabs(r);
  // Wide enough for any finite double in full.
  constexpr int kDigits = 330;
  const std::string digits = dropZeroDecimal && magnitude == std::floor(magnitude)
                                 ? formatC(kDigits, "%.0f", magnitude)
                                 : formatC(kDigits, "%.1f", magnitude);
  if (r < 0.0) return kMinus + digits;
  if (plusSign && r > 0.0) return "+" + digits;
  return digits;
}

std::string formatC(int maxLength, const char* format, ...) {
  if (maxLength < 0) maxLength = 0;
  std::string out(static_cast<std::size_t>(maxLength) + 1, '\0');
  va_list args;
  va_start(args, format);
  const int written = FormatCLocale(out.data(), out.size(), format, args);
  va_end(args);
  out.resize(written < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(written), out.size() - 1));
  return out;
}

float textWidth(const ICanvas& g, const IText& style, const std::string& text) {
  IRECT box;
  return g.MeasureText(style, text.c_str(), box);
}

void dropLastCharacter(std::string& text) {
  if (text.empty()) return;
  const std::size_t last = text.size() - 1;
  std::size_t start = last;
  while (start > 0 && isContinuation(text[start])) --start;
  // text[start] leads the last character, unless it is a one-byte character that stray
  // continuation bytes follow (they go alone) or the text began with stray bytes.
  const bool strayAfterSingleByte =
      start < last && static_cast<unsigned char>(text[start]) < 0x80;
  text.resize(strayAfterSingleByte ? start + 1 : start);
}

std::string fitWithEllipsis(const ICanvas& g, const IText& style, std::string label, float width) {
  if (textWidth(g, style, label) <= width) return label;
  while (!label.empty() && textWidth(g, style, label + kEllipsis) > width) dropLastCharacter(label);
  return label + kEllipsis;
}

}  // namespace balance_panel
