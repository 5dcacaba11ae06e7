#pragma once
// The panel's look as the layout builds it: the fixed colours, the palette around an accent
// (with the hue opposite it), the text styles and the knob style. Plain values; nothing
// here fails. Any thread.
#include "graphics/Style.h"
#include "graphics/VectorStyle.h"
#include "ui/palette.h"

namespace spectrapoise::plugin {

// The colour of the hue opposite (r, g, b), at the same saturation and lightness, brought
// into the perceived-level range 47..200. Greys (saturation below 0.15), black and colours
// whose opposite is too dark to scale give the warning orange (255, 157, 46).
void oppositeHue(int r, int g, int b, int& outR, int& outG, int& outB);

}  // namespace spectrapoise::plugin

namespace balance_panel {

using plugkit::canvas::IVStyle;

inline constexpr IColor kWindowBackground{255, 10, 10, 10};
inline constexpr IColor kMainPanelFill{255, 20, 20, 20};
inline constexpr IColor kShadeFill{173, 20, 20, 20};
inline constexpr IColor kDividerFill{18, 250, 250, 250};
inline constexpr IColor kKnobRing{36, 250, 250, 250};
inline constexpr IColor kEntryBackground{255, 30, 30, 30};
inline constexpr IColor kEntryForeground{255, 250, 250, 250};

// The palette's fixed text colours and its warning (the fallback of the opposite hue too).
inline constexpr IColor kText{255, 250, 250, 250};
inline constexpr IColor kTextMuted = kText.WithAlpha(107);
inline constexpr IColor kTextFaint = kText.WithAlpha(77);
inline constexpr IColor kWarning{255, 255, 157, 46};

// The preset bar.
inline constexpr IColor kPresetBarFill{255, 17, 17, 17};
inline constexpr IColor kPresetBarLine = kText.WithAlpha(26);
inline constexpr IColor kPresetButtonFill = kMainPanelFill;
inline constexpr IColor kPresetButtonFrame = kTextFaint;
inline constexpr IColor kPresetButtonHover = kText.WithAlpha(20);
inline constexpr IColor kPresetLabel = kText;
inline constexpr IColor kPresetLabelDim = kTextMuted;
inline constexpr IColor kPresetConfirm = kWarning;

// The legend's item names beside the target chip.
inline constexpr IColor kLegendText = kTextMuted;

// The update notice: the pill, the pill under the pointer, its text (the window's background).
inline constexpr IColor kUpdatePillFill{255, 252, 120, 92};
inline constexpr IColor kUpdatePillHover{255, 253, 146, 124};
inline constexpr IColor kUpdatePillText = kWindowBackground;

// The corner scale's triangle, and the triangle under the pointer.
inline constexpr IColor kCornerGrip = kText.WithAlpha(36);
inline constexpr IColor kCornerGripHover = kText.WithAlpha(90);

// The palette around an accent (its alpha is ignored: the palette's accent is opaque).
Palette makePalette(const IColor& accent);

// The layout's text styles.
struct PanelTexts {
  IText title;         // "RobotoCondensed-Bold" 21, left
  IText pill;          // "Roboto-Regular" 10, centre
  IText logoFallback;  // "RobotoCondensed-Bold" 14, muted, left
  IText footer;        // "Roboto-Regular" 11, faint, right
  IText caption;       // "Roboto-Regular" 10, muted, centre
  IText axis;          // "Roboto-Regular" 9, centre
  IText chip;          // "Roboto-Regular" 11.5, left, with the entry colours
  IText knobLabel;     // "Roboto-Regular" 9.5, muted, centre
  IText knobEntry;     // "Roboto-Regular" 9.5, centre, with the entry colours
};
const PanelTexts& panelTexts();

// The knobs' vector style: no label, value, frame or shadows, the widget 0.92 of its box,
// the value arc in the accent.
IVStyle knobStyle(const IColor& accent);

}  // namespace balance_panel
