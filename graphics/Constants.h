#pragma once
// Named colours, blends, text styles and the default vector style used as defaults
// across the editor.
#include "graphics/Style.h"
#include "graphics/VectorStyle.h"

namespace plugkit::canvas {

inline constexpr IColor COLOR_TRANSPARENT{0, 0, 0, 0};
inline constexpr IColor COLOR_TRANSLUCENT{10, 0, 0, 0};
inline constexpr IColor COLOR_BLACK{255, 0, 0, 0};
inline constexpr IColor COLOR_BLACK_DROP_SHADOW{128, 0, 0, 0};
inline constexpr IColor COLOR_GRAY{255, 127, 127, 127};
inline constexpr IColor COLOR_LIGHT_GRAY{255, 240, 240, 240};
inline constexpr IColor COLOR_MID_GRAY{255, 200, 200, 200};
inline constexpr IColor COLOR_DARK_GRAY{255, 70, 70, 70};
inline constexpr IColor COLOR_WHITE{255, 255, 255, 255};
inline constexpr IColor COLOR_RED{255, 255, 0, 0};
inline constexpr IColor COLOR_GREEN{255, 0, 255, 0};
inline constexpr IColor COLOR_BLUE{255, 0, 0, 255};
inline constexpr IColor COLOR_YELLOW{255, 255, 255, 0};
inline constexpr IColor COLOR_ORANGE{255, 255, 127, 0};
inline constexpr IColor COLOR_INDIGO{255, 75, 0, 130};
inline constexpr IColor COLOR_VIOLET{255, 148, 0, 211};

// Defaults of the vector colour roles, in role order.
inline constexpr IColor DEFAULT_BGCOLOR = COLOR_TRANSPARENT;
inline constexpr IColor DEFAULT_FGCOLOR = COLOR_MID_GRAY;
inline constexpr IColor DEFAULT_PRCOLOR = COLOR_LIGHT_GRAY;
inline constexpr IColor DEFAULT_FRCOLOR = COLOR_DARK_GRAY;
inline constexpr IColor DEFAULT_HLCOLOR = COLOR_TRANSLUCENT;
inline constexpr IColor DEFAULT_SHCOLOR{60, 0, 0, 0};
inline constexpr IColor DEFAULT_X1COLOR = COLOR_BLACK;
inline constexpr IColor DEFAULT_X2COLOR = COLOR_GREEN;
inline constexpr IColor DEFAULT_X3COLOR = COLOR_BLUE;

inline constexpr IVColorSpec DEFAULT_COLOR_SPEC{DEFAULT_BGCOLOR, DEFAULT_FGCOLOR, DEFAULT_PRCOLOR,
                                                DEFAULT_FRCOLOR, DEFAULT_HLCOLOR, DEFAULT_SHCOLOR,
                                                DEFAULT_X1COLOR, DEFAULT_X2COLOR, DEFAULT_X3COLOR};

inline constexpr IColor DEFAULT_TEXT_FGCOLOR = COLOR_BLACK;
inline constexpr IColor DEFAULT_TEXTENTRY_BGCOLOR = COLOR_WHITE;
inline constexpr IColor DEFAULT_TEXTENTRY_FGCOLOR = COLOR_BLACK;

// Level-meter colours.
inline constexpr IColor LED1{255, 36, 157, 16};
inline constexpr IColor LED2{255, 153, 191, 28};
inline constexpr IColor LED3{255, 215, 222, 37};
inline constexpr IColor LED4{255, 247, 153, 33};

// Keyboard colours: black keys, white keys, pressed key, frame, highlighted key.
inline constexpr IColor DEFAULT_BK_COLOR{255, 70, 70, 70};
inline constexpr IColor DEFAULT_WK_COLOR{255, 240, 240, 240};
inline constexpr IColor DEFAULT_PK_COLOR{60, 0, 0, 0};
inline constexpr IColor DEFAULT_FR_COLOR = COLOR_BLACK;
inline constexpr IColor DEFAULT_HK_COLOR = COLOR_ORANGE;

inline constexpr IBlend BLEND_75{EBlend::Default, 0.75f};
inline constexpr IBlend BLEND_50{EBlend::Default, 0.5f};
inline constexpr IBlend BLEND_25{EBlend::Default, 0.25f};
inline constexpr IBlend BLEND_10{EBlend::Default, 0.1f};
inline constexpr IBlend BLEND_05{EBlend::Default, 0.05f};
inline constexpr IBlend BLEND_01{EBlend::Default, 0.01f};
inline constexpr IBlend BLEND_DST_IN{EBlend::DstIn, 1.f};
inline constexpr IBlend BLEND_DST_OVER{EBlend::DstOver, 1.f};

inline constexpr IText DEFAULT_TEXT{14.f, DEFAULT_TEXT_FGCOLOR, "Roboto-Regular", ETextHAlign::Centre,
                                    ETextVAlign::Middle, 0.f, DEFAULT_TEXTENTRY_BGCOLOR,
                                    DEFAULT_TEXTENTRY_FGCOLOR};
inline constexpr IText DEFAULT_LABEL_TEXT{19.f, DEFAULT_TEXT_FGCOLOR, "Roboto-Regular", ETextHAlign::Centre,
                                          ETextVAlign::Top, 0.f, DEFAULT_TEXTENTRY_BGCOLOR,
                                          DEFAULT_TEXTENTRY_FGCOLOR};
inline constexpr IText DEFAULT_VALUE_TEXT{14.f, DEFAULT_TEXT_FGCOLOR, "Roboto-Regular", ETextHAlign::Centre,
                                          ETextVAlign::Bottom, 0.f, DEFAULT_TEXTENTRY_BGCOLOR,
                                          DEFAULT_TEXTENTRY_FGCOLOR};

inline constexpr IVStyle DEFAULT_STYLE{};

}  // namespace plugkit::canvas
