#pragma once
// Colour, text style, blend and paint records. Plain values, copied member-wise.
#include <algorithm>
#include <cstring>

#include "graphics/Geometry.h"

namespace plugkit::canvas {

// Four channels 0..255, alpha first. The default is opaque black.
struct IColor {
  int A = 255;
  int R = 0;
  int G = 0;
  int B = 0;

  constexpr IColor() = default;
  constexpr IColor(int a, int r, int g, int b) : A(a), R(r), G(g), B(b) {}
  bool operator==(const IColor&) const = default;

  constexpr IColor WithAlpha(int a) const { return {a, R, G, B}; }
  // Alpha from an opacity 0..1 (truncated).
  IColor WithOpacity(float opacity) const {
    return {static_cast<int>(std::clamp(opacity, 0.f, 1.f) * 255.f), R, G, B};
  }
  // Every channel limited to 0..255.
  void Clamp() {
    A = std::clamp(A, 0, 255);
    R = std::clamp(R, 0, 255);
    G = std::clamp(G, 0, 255);
    B = std::clamp(B, 0, 255);
  }
};

enum class ETextHAlign : int { Left = 0, Centre = 1, Right = 2 };
enum class ETextVAlign : int { Top = 0, Middle = 1, Bottom = 2 };

// A text style: font identifier (as registered with the font loader), size in UI units,
// colour, the two colours of an in-place text box, rotation in degrees and alignment
// inside the target rectangle. The default is "Roboto-Regular" 14, black, centred.
struct IText {
  static constexpr int kFontLength = 64;

  char font[kFontLength] = "Roboto-Regular";
  float size = 14.f;
  IColor color{255, 0, 0, 0};
  IColor entryBackground{255, 255, 255, 255};
  IColor entryColor{255, 0, 0, 0};
  float angle = 0.f;
  ETextHAlign align = ETextHAlign::Centre;
  ETextVAlign valign = ETextVAlign::Middle;

  constexpr IText() = default;
  constexpr explicit IText(float size_, const IColor& color_ = IColor(), const char* font_ = nullptr,
                 ETextHAlign align_ = ETextHAlign::Centre, ETextVAlign valign_ = ETextVAlign::Middle,
                 float angle_ = 0.f, const IColor& entryBackground_ = IColor(255, 255, 255, 255),
                 const IColor& entryColor_ = IColor(255, 0, 0, 0))
      : size(size_), color(color_), entryBackground(entryBackground_), entryColor(entryColor_),
        angle(angle_), align(align_), valign(valign_) {
    SetFont(font_);
  }

  // Copies at most 63 bytes; null means "Roboto-Regular".
  constexpr void SetFont(const char* name) {
    if (name == nullptr) name = "Roboto-Regular";
    int i = 0;
    for (; i < kFontLength - 1 && name[i] != '\0'; ++i) font[i] = name[i];
    for (; i < kFontLength; ++i) font[i] = '\0';
  }
  IText WithFont(const char* name) const { IText t = *this; t.SetFont(name); return t; }
  IText WithSize(float s) const { IText t = *this; t.size = s; return t; }
  IText WithColor(const IColor& c) const { IText t = *this; t.color = c; return t; }
  IText WithAlign(ETextHAlign a) const { IText t = *this; t.align = a; return t; }
  IText WithVAlign(ETextVAlign a) const { IText t = *this; t.valign = a; return t; }
  IText WithAngle(float a) const { IText t = *this; t.angle = a; return t; }
  IText WithEntryColors(const IColor& background, const IColor& foreground) const {
    IText t = *this;
    t.entryBackground = background;
    t.entryColor = foreground;
    return t;
  }

  bool operator==(const IText& o) const {
    return std::strcmp(font, o.font) == 0 && size == o.size && color == o.color &&
           entryBackground == o.entryBackground && entryColor == o.entryColor && angle == o.angle &&
           align == o.align && valign == o.valign;
  }
};

// Composite methods; the drawing backend maps each to its composite operation.
enum class EBlend : int {
  Default = 0,  // source over
  SrcIn = 1,
  SrcOut = 2,
  SrcAtop = 3,
  DstOver = 4,
  DstIn = 5,
  DstOut = 6,
  DstAtop = 7,
  Add = 8,
  XOR = 9,
};

// How a drawing operation is composited: a method and an opacity multiplied into the
// alpha of what is drawn. A null IBlend pointer means the default.
struct IBlend {
  EBlend method = EBlend::Default;
  float weight = 1.f;

  constexpr IBlend() = default;
  constexpr IBlend(EBlend m, float w) : method(m), weight(w) {}
  bool operator==(const IBlend&) const = default;
};

// Weight of an optional blend (1 without one).
inline float BlendWeight(const IBlend* blend) { return blend != nullptr ? blend->weight : 1.f; }

enum class EPatternType : int { Solid = 0, Linear = 1, Radial = 2, Sweep = 3 };
enum class EPatternExtend : int { None = 0, Pad = 1, Reflect = 2, Repeat = 3 };

struct IColorStop {
  IColor color{255, 0, 0, 0};
  float offset = 0.f;
  bool operator==(const IColorStop&) const = default;
};

// A fill or stroke paint: solid colour or gradient with up to 16 stops. The transform maps
// UI coordinates into pattern space (a gradient is placed by inverting it).
struct IPattern {
  static constexpr int kMaxStops = 16;

  EPatternType type = EPatternType::Solid;
  EPatternExtend extend = EPatternExtend::Pad;
  IColorStop stops[kMaxStops];
  int nStops = 0;
  IMatrix transform;

  IPattern() = default;
  // A solid paint of one colour: type solid, extend pad, one stop at offset 0.
  IPattern(const IColor& color) {  // NOLINT(google-explicit-constructor): colours stand for paints
    stops[0] = {color, 0.f};
    nStops = 1;
  }
  explicit IPattern(EPatternType t) : type(t) {}

  // Appends a stop; ignored once 16 are held.
  void AddStop(const IColor& color, float offset) {
    if (nStops < kMaxStops) stops[nStops++] = {color, offset};
  }
  const IColorStop& GetStop(int i) const { return stops[std::clamp(i, 0, kMaxStops - 1)]; }
  int NStops() const { return nStops; }
  void SetTransform(const IMatrix& m) { transform = m; }
};

// Stroke and fill options of the path operations.
enum class ELineCap : int { Butt = 0, Round = 1, Square = 2 };
enum class ELineJoin : int { Miter = 0, Round = 1, Bevel = 2 };
enum class EFillRule : int { Winding = 0, EvenOdd = 1, Preserve = 2 };
enum class EWinding : int { CW = 0, CCW = 1 };

struct IStrokeOptions {
  float miterLimit = 10.f;
  bool preserve = false;
  ELineCap cap = ELineCap::Butt;
  ELineJoin join = ELineJoin::Miter;
  float dashArray[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  float dashOffset = 0.f;
  int dashCount = 0;
};

struct IFillOptions {
  EFillRule fillRule = EFillRule::Winding;
  bool preserve = false;
};

}  // namespace plugkit::canvas
