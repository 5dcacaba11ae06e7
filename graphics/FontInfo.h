#pragma once
// The tables of a TrueType or OpenType font (a single font or one face of a font
// collection): the family and style names, the style bits, the units per em and the
// vertical metrics that the platform fonts need, and the check of every table the glyph
// rasteriser will read before a font reaches the drawing backend. Every offset, count and
// length read from the bytes is checked against their size: a font that fails a check is
// invalid (empty names, zero metrics). Any thread; the bytes are not copied and must
// outlive the object.
#include <cstdint>

#include "framework/StringBuf.h"

namespace plugkit::canvas {

class IFontInfo {
public:
  enum class EStringID : int { Mac = 0, Windows = 1 };

  IFontInfo(const void* data, uint32_t dataSize, uint32_t faceIdx);

  // The bytes, the face's table directory and the head, name and hhea tables were found.
  bool IsValid() const { return mData != nullptr && mHeadLocation && mNameLocation && mHheaLocation; }

  const StringBuf& GetFamily() const { return mFamily; }
  const StringBuf& GetStyle() const { return mStyle; }
  uint16_t GetMacStyle() const { return mMacStyle; }
  uint16_t GetUnitsPerEm() const { return mUnitsPerEm; }
  int16_t GetAscender() const { return mAscender; }
  int16_t GetDescender() const { return mDescender; }
  int16_t GetLineGap() const { return mLineGap; }
  // Units per em / (ascender - descender); 1 when that height is not above 0 or the font
  // is invalid.
  double EmRatio() const;

  // A name-table string as UTF-8: the Windows Unicode record (platform 3, encoding 1,
  // language 1033) first, the Macintosh one (1, 0, 0) when that is empty.
  StringBuf SearchFontString(int nameID) const;
  // The record of that platform; "" when there is none. Unpaired surrogates of a Windows
  // string become U+FFFD.
  StringBuf GetFontString(int nameID, EStringID platform) const;

  // The first directory record of the tag: its location (0 when absent or outside the
  // bytes) and its length in tableLength.
  uint32_t FindTable(const char tag[4], uint32_t* tableLength) const;
  // A directory record of the tag points somewhere (offset not 0), inside the bytes or not.
  bool HasTable(const char tag[4]) const;
  // Where the face's table directory starts.
  uint32_t FaceOffset() const { return mFaceOffset; }

private:
  // Places the face's table directory: a single font is face 0 only; a collection's face
  // directory sits at the offset stored for it. Table offsets count from the start of the
  // bytes in both.
  bool FindFace(uint32_t faceIdx);
  bool Has(uint64_t offset, uint64_t length) const { return offset <= mSize && length <= mSize - offset; }
  uint16_t U16(uint32_t offset) const;

  const uint8_t* mData = nullptr;
  uint32_t mSize = 0;
  uint32_t mFaceOffset = 0;
  uint32_t mHeadLocation = 0;
  uint32_t mNameLocation = 0;
  uint32_t mNameLength = 0;
  uint32_t mHheaLocation = 0;
  uint32_t mFdscLocation = 0;
  StringBuf mFamily;
  StringBuf mStyle;
  uint16_t mMacStyle = 0;
  uint16_t mUnitsPerEm = 0;
  int16_t mAscender = 0;
  int16_t mDescender = 0;
  int16_t mLineGap = 0;
};

// The face of the font bytes whose style name equals styleName (an empty styleName takes
// the first face with any style); -1 when no face has it.
int GetFaceIdx(const void* data, int size, const char* styleName);

// Why the glyph rasteriser could not use the face safely, or null when it can: the table
// directory, head, hhea, maxp, hmtx, cmap, loca and glyf (simple and composite outlines),
// kern and GPOS are each checked for every offset, count and value the rasteriser reads,
// and the metrics for sizes that keep its fixed-point glyph records in range (advances,
// boxes and kerning within kMaxMetricRatio line heights). Outlines in CFF are refused. The
// work is bounded whatever the bytes hold; a font too large to check is refused too.
const char* CheckFontForDrawing(const void* data, uint32_t size, uint32_t faceIdx);

// Advances, glyph boxes and kerning of a font that passes the check stay within this many
// line heights (ascender - descender): the drawing backend limits its glyph sizes to match.
constexpr int kMaxMetricRatio = 4;

}  // namespace plugkit::canvas
