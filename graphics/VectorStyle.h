#pragma once
// The shared look of vector controls: the nine colour roles and the style record.
#include <initializer_list>

#include "graphics/Style.h"

namespace plugkit::canvas {

enum EVColor : int {
  kBackground = 0,
  kForeground = 1,
  kPressed = 2,
  kFrame = 3,
  kHighlight = 4,
  kShadow = 5,
  kExtra1 = 6,
  kExtra2 = 7,
  kExtra3 = 8,
  kNumVColors = 9,
};

// Shapes of pressable vector widgets.
enum class EVShape : int { Rectangle = 0, Ellipse = 1, Triangle = 2, HalfRoundedRectangle = 3, AllRoundedRectangle = 4 };

// Default colour of each role.
inline constexpr IColor kDefaultVColors[kNumVColors] = {
    {0, 0, 0, 0},          // background: transparent
    {255, 200, 200, 200},  // foreground: mid grey
    {255, 240, 240, 240},  // pressed: light grey
    {255, 70, 70, 70},     // frame: dark grey
    {10, 0, 0, 0},         // highlight: translucent
    {60, 0, 0, 0},         // shadow
    {255, 0, 0, 0},        // extra 1: black
    {255, 0, 255, 0},      // extra 2: green
    {255, 0, 0, 255},      // extra 3: blue
};

// Nine colours indexed by EVColor. Built from a list: the listed colours fill the slots in
// order and every slot beyond the list takes its role's default.
struct IVColorSpec {
  IColor colors[kNumVColors];

  constexpr IVColorSpec() {
    for (int i = 0; i < kNumVColors; ++i) colors[i] = kDefaultVColors[i];
  }
  constexpr IVColorSpec(std::initializer_list<IColor> list) {
    int i = 0;
    for (const IColor& c : list) {
      if (i >= kNumVColors) break;
      colors[i++] = c;
    }
    for (; i < kNumVColors; ++i) colors[i] = kDefaultVColors[i];
  }

  constexpr const IColor& GetColor(EVColor role) const { return colors[role]; }
  constexpr void SetColor(EVColor role, const IColor& c) { colors[role] = c; }
  bool operator==(const IVColorSpec& o) const {
    for (int i = 0; i < kNumVColors; ++i)
      if (!(colors[i] == o.colors[i])) return false;
    return true;
  }
};

// Where a vector control's label sits relative to its widget.
enum class EVLabelSide : int { Above = 0, Right = 1, Below = 2, Left = 3 };

struct IVStyle {
  bool hideCursor = true;
  bool showLabel = true;
  bool showValue = true;
  bool drawFrame = true;
  bool drawShadows = true;
  bool emboss = false;
  float roundness = 0.f;
  float frameThickness = 1.f;
  float shadowOffset = 3.f;
  float widgetFrac = 1.f;
  float angle = 0.f;
  IVColorSpec colorSpec;
  IText labelText{19.f, IColor(255, 0, 0, 0), "Roboto-Regular", ETextHAlign::Centre, ETextVAlign::Top};
  IText valueText{14.f, IColor(255, 0, 0, 0), "Roboto-Regular", ETextHAlign::Centre, ETextVAlign::Bottom};
  EVLabelSide labelSide = EVLabelSide::Above;
};

}  // namespace plugkit::canvas
