// The check of a font face before the glyph rasteriser reads it: every table, offset, count
// and value it reads while mapping characters, measuring and drawing glyphs and kerning.
#include <algorithm>
#include <cstdint>
#include <cmath>
#include <cstdlib>
#include <new>
#include <vector>

#include "graphics/FontInfo.h"

namespace plugkit::canvas {

namespace {

// A check walks at most this many items (records, glyphs, points, pairs) before it gives up.
constexpr int64_t kMaxWork = int64_t{1} << 24;
// Composite glyphs nest at most this deep.
constexpr int kMaxComponentDepth = 8;
// The outline points of one glyph with its components, as the rasteriser expands them.
constexpr int64_t kMaxGlyphVertices = 16384;

struct Fault {
  const char* why;
};

// A bounds-checked view of one table (or of the whole font).
class Bytes {
public:
  Bytes(const uint8_t* data, uint32_t size) : mData(data), mSize(size) {}
  bool has(uint64_t offset, uint64_t length) const { return offset <= mSize && length <= mSize - offset; }
  void need(uint64_t offset, uint64_t length, const char* why) const {
    if (!has(offset, length)) throw Fault{why};
  }
  uint8_t u8(uint64_t o, const char* why) const {
    need(o, 1, why);
    return mData[o];
  }
  uint16_t u16(uint64_t o, const char* why) const {
    need(o, 2, why);
    return static_cast<uint16_t>((mData[o] << 8) | mData[o + 1]);
  }
  int16_t s16(uint64_t o, const char* why) const { return static_cast<int16_t>(u16(o, why)); }
  uint32_t u32(uint64_t o, const char* why) const {
    need(o, 4, why);
    return (static_cast<uint32_t>(mData[o]) << 24) | (static_cast<uint32_t>(mData[o + 1]) << 16) |
           (static_cast<uint32_t>(mData[o + 2]) << 8) | mData[o + 3];
  }
  Bytes sub(uint64_t offset, uint64_t length, const char* why) const {
    need(offset, length, why);
    return Bytes(mData + offset, static_cast<uint32_t>(length));
  }
  Bytes from(uint64_t offset, const char* why) const {
    need(offset, 0, why);
    return sub(offset, mSize - offset, why);
  }
  uint32_t size() const { return mSize; }

private:
  const uint8_t* mData;
  uint32_t mSize;
};

struct Box {
  int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // always holds 0, 0 (lines carry 0 as control)
  void add(int32_t x, int32_t y) {
    x0 = std::min(x0, x), x1 = std::max(x1, x);
    y0 = std::min(y0, y), y1 = std::max(y1, y);
  }
};

class Checker {
public:
  Checker(const uint8_t* data, uint32_t size, const IFontInfo& info) : mFile(data, size), mInfo(info) {}

  void run() {
    const uint32_t face = mInfo.FaceOffset();
    const uint16_t numTables = mFile.u16(face + 4, "table directory cut short");
    mFile.need(face + 12, 16ull * numTables, "table directory runs past the end");
    if (!mInfo.HasTable("glyf")) throw Fault{"no glyf table (outlines in CFF are not supported)"};

    const Bytes head = required("head", 54, "head table missing or short");
    const uint16_t upm = head.u16(18, "head");
    if (upm < 16 || upm > 16384) throw Fault{"units per em out of range"};
    mLongLoca = head.u16(50, "head") == 1;
    if (head.u16(50, "head") > 1) throw Fault{"unknown glyph location format"};

    const Bytes maxp = required("maxp", 6, "maxp table missing or short");
    mGlyphs = maxp.u16(4, "maxp");
    if (mGlyphs == 0) throw Fault{"font has no glyphs"};

    const Bytes hhea = required("hhea", 36, "hhea table missing or short");
    const int32_t ascender = hhea.s16(4, "hhea"), descender = hhea.s16(6, "hhea");
    mLineHeight = ascender - descender;
    if (mLineHeight < upm / 4 || mLineHeight > 4 * static_cast<int32_t>(upm))
      throw Fault{"ascender and descender out of proportion to the em"};
    const uint16_t longMetrics = hhea.u16(34, "hhea");
    if (longMetrics == 0 || longMetrics > mGlyphs) throw Fault{"horizontal metrics count out of range"};

    const Bytes hmtx = required("hmtx", 4ull * longMetrics + 2ull * (mGlyphs - longMetrics),
                                "hmtx table shorter than its glyph count");
    for (uint32_t g = 0; g < longMetrics; ++g) {
      work(1);
      sane(hmtx.s16(4ull * g, "hmtx"), "advance width out of proportion");
    }

    checkCmap();
    checkGlyphs();
    if (present("GPOS"))
      checkGpos();
    else if (present("kern"))
      checkKern();
  }

private:
  void work(int64_t n) {
    mWork += n;
    if (mWork > kMaxWork) throw Fault{"font too large to check"};
  }
  bool present(const char* tag) const { return mInfo.HasTable(tag); }
  // The rasteriser takes the first record of a tag wherever it points: one outside the
  // bytes is a fault, not an absence.
  Bytes table(const char* tag) const {
    uint32_t length = 0;
    const uint32_t at = mInfo.FindTable(tag, &length);
    if (at == 0 && mInfo.HasTable(tag)) throw Fault{"a table lies outside the font's bytes"};
    return at == 0 ? Bytes(nullptr, 0) : mFile.sub(at, length, "table");
  }
  // The table of the tag with at least minLength bytes.
  Bytes required(const char* tag, uint64_t minLength, const char* why) const {
    const Bytes t = table(tag);
    if (t.size() < minLength) throw Fault{why};
    return t;
  }
  void sane(int32_t units, const char* why) const {
    if (std::abs(units) > kMaxMetricRatio * mLineHeight) throw Fault{why};
  }
  void glyphIndex(uint64_t g) const {
    if (g >= mGlyphs) throw Fault{"character map points past the last glyph"};
  }

  // The last encoding record the rasteriser understands is the one it uses.
  void checkCmap() {
    const Bytes cmap = required("cmap", 4, "cmap table missing or short");
    const uint16_t records = cmap.u16(2, "cmap header cut short");
    cmap.need(4, 8ull * records, "cmap records run past the table");
    uint64_t map = 0;
    for (uint32_t i = 0; i < records; ++i) {
      const uint16_t platform = cmap.u16(4 + 8 * i, "cmap"), encoding = cmap.u16(6 + 8 * i, "cmap");
      if ((platform == 3 && (encoding == 1 || encoding == 10)) || platform == 0)
        map = cmap.u32(8 + 8 * i, "cmap");
    }
    if (map == 0) throw Fault{"no Unicode character map"};
    const Bytes sub = cmap.from(map, "character map outside the cmap table");
    const uint16_t format = sub.u16(0, "character map cut short");
    if (format == 0) {
      const uint16_t bytes = sub.u16(2, "character map cut short");
      for (uint32_t c = 6; c < bytes; ++c) glyphIndex(sub.u8(c, "character map runs past the table"));
    } else if (format == 6) {
      const uint16_t count = sub.u16(8, "character map cut short");
      work(count);
      for (uint32_t i = 0; i < count; ++i) glyphIndex(sub.u16(10 + 2ull * i, "character map runs past the table"));
    } else if (format == 4) {
      checkCmap4(sub);
    } else if (format == 12 || format == 13) {
      const uint32_t groups = sub.u32(12, "character map cut short");
      sub.need(16, 12ull * groups, "character map groups run past the table");
      work(groups);
      for (uint64_t i = 0; i < groups; ++i) {
        const uint32_t first = sub.u32(16 + 12 * i, "cmap"), last = sub.u32(20 + 12 * i, "cmap");
        const uint32_t glyph = sub.u32(24 + 12 * i, "cmap");
        if (last < first) throw Fault{"character map group runs backwards"};
        glyphIndex(static_cast<uint64_t>(glyph) + (format == 12 ? last - first : 0));
      }
    } else {
      throw Fault{"character map format not supported"};
    }
  }

  // Segments searched with the header's own search numbers: they must be the standard ones,
  // the ends must rise and the last must end at U+FFFF; every character of every segment
  // must reach a glyph inside the font.
  void checkCmap4(const Bytes& sub) {
    const uint16_t segX2 = sub.u16(6, "character map cut short");
    const uint32_t segments = segX2 / 2u;
    if (segments == 0 || segX2 % 2 != 0) throw Fault{"character map segment count is damaged"};
    uint32_t range = 1, selector = 0;
    while (range * 2 <= segments) range *= 2, ++selector;
    if (sub.u16(8, "cmap") != 2 * range || sub.u16(10, "cmap") != selector ||
        sub.u16(12, "cmap") != 2 * (segments - range))
      throw Fault{"character map search numbers are damaged"};
    const uint64_t ends = 14, starts = ends + 2ull * segments + 2, deltas = starts + 2ull * segments,
                   rangeOffsets = deltas + 2ull * segments;
    sub.need(ends, rangeOffsets + 2ull * segments - ends, "character map segments run past the table");
    int64_t previousEnd = -1;
    for (uint32_t s = 0; s < segments; ++s) {
      const uint16_t end = sub.u16(ends + 2 * s, "cmap"), start = sub.u16(starts + 2 * s, "cmap");
      const uint16_t delta = sub.u16(deltas + 2 * s, "cmap");
      const uint16_t rangeOffset = sub.u16(rangeOffsets + 2 * s, "cmap");
      if (end <= previousEnd || start > end) throw Fault{"character map segments overlap or run backwards"};
      previousEnd = end;
      work(end - start + 1);
      for (uint32_t c = start; c <= end; ++c) {
        if (rangeOffset == 0) {
          glyphIndex((c + delta) & 0xFFFFu);
        } else {
          glyphIndex(sub.u16(rangeOffsets + 2ull * s + rangeOffset + 2ull * (c - start),
                             "character map glyph array runs past the table"));
        }
      }
    }
    if (previousEnd != 0xFFFF) throw Fault{"character map does not end at U+FFFF"};
  }

  // Every glyph's location, header, box, outline and components.
  void checkGlyphs() {
    const Bytes glyf = table("glyf");
    const uint64_t entry = mLongLoca ? 4 : 2;
    const Bytes loca = required("loca", (static_cast<uint64_t>(mGlyphs) + 1) * entry,
                                "loca table shorter than its glyph count");
    mStart.resize(mGlyphs + 1);
    for (uint32_t g = 0; g <= mGlyphs; ++g)
      mStart[g] = mLongLoca ? loca.u32(4ull * g, "loca") : 2u * loca.u16(2ull * g, "loca");
    for (uint32_t g = 0; g < mGlyphs; ++g) {
      if (mStart[g] > mStart[g + 1] || mStart[g + 1] > glyf.size())
        throw Fault{"glyph locations run backwards or past the glyf table"};
    }
    mGlyf = glyf;
    mBoxes.assign(mGlyphs, Box());
    mVertices.assign(mGlyphs, -1);
    mHeight.assign(mGlyphs, 0);
    for (uint32_t g = 0; g < mGlyphs; ++g) glyph(g, 0);
  }

  // The vertex count the rasteriser makes of glyph g (its box in mBoxes[g]). Both this walk
  // (depth) and the rasteriser's (mHeight, over glyphs met before) nest at most
  // kMaxComponentDepth deep.
  int64_t glyph(uint32_t g, int depth) {
    if (g >= mGlyphs) return 0;  // the rasteriser draws nothing for it
    if (mVertices[g] >= 0) return mVertices[g];
    if (mVertices[g] == -2 || depth > kMaxComponentDepth) throw Fault{"composite glyphs nest too deep or in a loop"};
    if (mStart[g] == mStart[g + 1]) return mVertices[g] = 0;
    mVertices[g] = -2;
    const Bytes data = mGlyf.sub(mStart[g], mStart[g + 1] - mStart[g], "glyf");
    const int16_t contours = data.s16(0, "glyph header cut short");
    const int16_t x0 = data.s16(2, "glyph header cut short"), y0 = data.s16(4, "glyf"), x1 = data.s16(6, "glyf"),
                  y1 = data.s16(8, "glyph header cut short");
    if (x0 > x1 || y0 > y1) throw Fault{"glyph box runs backwards"};
    for (int32_t v : {x0, y0, x1, y1}) sane(v, "glyph box out of proportion");
    int64_t vertices = 0;
    Box box;
    if (contours > 0)
      vertices = simpleGlyph(data, contours, box);
    else if (contours < 0)
      vertices = compositeGlyph(data, g, depth, box);
    if (vertices > kMaxGlyphVertices) throw Fault{"glyph outline too large"};
    if (mHeight[g] > kMaxComponentDepth) throw Fault{"composite glyphs nest too deep or in a loop"};
    mBoxes[g] = box;
    return mVertices[g] = vertices;
  }

  int64_t simpleGlyph(const Bytes& data, int contours, Box& box) {
    work(contours);
    int32_t previous = -1;
    for (int c = 0; c < contours; ++c) {
      const int32_t end = data.u16(10 + 2 * c, "contour ends run past the glyph");
      if (end <= previous) throw Fault{"contour ends run backwards"};
      previous = end;
    }
    const uint32_t points = static_cast<uint32_t>(previous) + 1;
    const uint32_t lastContourStart = contours > 1 ? data.u16(10 + 2 * (contours - 2), "glyf") + 1u : 0u;
    const uint16_t instructions = data.u16(10 + 2ull * contours, "glyph instructions cut short");
    uint64_t at = 12 + 2ull * contours + instructions;
    work(points);
    std::vector<uint8_t> flags(points);
    for (uint32_t i = 0; i < points;) {
      const uint8_t f = data.u8(at++, "glyph flags run past the glyph");
      uint32_t repeat = 1;
      if (f & 8) repeat += data.u8(at++, "glyph flags run past the glyph");
      for (uint32_t k = 0; k < repeat && i < points; ++k) flags[i++] = f;
    }
    // A one-point last contour that starts off the curve makes the rasteriser read a point
    // past the end.
    if (lastContourStart + 1 == points && !(flags[points - 1] & 1)) throw Fault{"glyph outline is damaged"};
    std::vector<int32_t> xs(points), ys(points);
    for (int axis = 0; axis < 2; ++axis) {
      const uint8_t shortBit = axis == 0 ? 2 : 4, sameBit = axis == 0 ? 16 : 32;
      int32_t v = 0;
      for (uint32_t i = 0; i < points; ++i) {
        if (flags[i] & shortBit) {
          const int32_t d = data.u8(at++, "glyph coordinates run past the glyph");
          v += (flags[i] & sameBit) ? d : -d;
        } else if (!(flags[i] & sameBit)) {
          v += data.s16(at, "glyph coordinates run past the glyph");
          at += 2;
        }
        v = static_cast<int16_t>(v);
        (axis == 0 ? xs : ys)[i] = v;
      }
    }
    for (uint32_t i = 0; i < points; ++i) box.add(xs[i], ys[i]);
    return points + 2ll * contours;
  }

  // Components placed by offsets (not by matching points) with their transforms; every
  // transformed vertex must stay a 16-bit coordinate.
  int64_t compositeGlyph(const Bytes& data, uint32_t self, int depth, Box& box) {
    uint64_t at = 10;
    int64_t vertices = 0;
    for (bool more = true; more;) {
      work(1);
      const uint16_t flags = data.u16(at, "component runs past the glyph");
      const uint16_t index = data.u16(at + 2, "component runs past the glyph");
      at += 4;
      if (!(flags & 2)) throw Fault{"components placed by matching points are not supported"};
      float m[6] = {1, 0, 0, 1, 0, 0};
      if (flags & 1) {
        m[4] = data.s16(at, "component runs past the glyph"), m[5] = data.s16(at + 2, "component runs past the glyph");
        at += 4;
      } else {
        m[4] = static_cast<int8_t>(data.u8(at, "component runs past the glyph"));
        m[5] = static_cast<int8_t>(data.u8(at + 1, "component runs past the glyph"));
        at += 2;
      }
      auto f2dot14 = [&](uint64_t o) { return data.s16(o, "component runs past the glyph") / 16384.0f; };
      if (flags & 8) {
        m[0] = m[3] = f2dot14(at), at += 2;
      } else if (flags & 64) {
        m[0] = f2dot14(at), m[3] = f2dot14(at + 2), at += 4;
      } else if (flags & 128) {
        m[0] = f2dot14(at), m[1] = f2dot14(at + 2), m[2] = f2dot14(at + 4), m[3] = f2dot14(at + 6), at += 8;
      }
      more = (flags & 32) != 0;
      const int64_t n = glyph(index, depth + 1);
      if (index < mGlyphs) mHeight[self] = std::max(mHeight[self], mHeight[index] + 1);
      vertices += n;
      if (vertices > kMaxGlyphVertices) throw Fault{"glyph outline too large"};
      if (n == 0) continue;
      const Box& c = mBoxes[index];
      // The rasteriser scales the transformed point by the lengths of the matrix columns.
      const float sx = std::sqrt(m[0] * m[0] + m[1] * m[1]), sy = std::sqrt(m[2] * m[2] + m[3] * m[3]);
      for (int32_t x : {c.x0, c.x1})
        for (int32_t y : {c.y0, c.y1}) {
          const float tx = sx * (m[0] * x + m[2] * y + m[4]), ty = sy * (m[1] * x + m[3] * y + m[5]);
          if (!(tx >= -32768.f && tx <= 32767.f && ty >= -32768.f && ty <= 32767.f))
            throw Fault{"component transform leaves the coordinate range"};
          box.add(static_cast<int32_t>(tx), static_cast<int32_t>(ty));
        }
    }
    return vertices;
  }

  void checkKern() {
    const Bytes kern = table("kern");
    if (kern.u16(2, "kern table cut short") == 0) return;
    if (kern.u16(8, "kern table cut short") != 1) return;
    const uint16_t pairs = kern.u16(10, "kern table cut short");
    kern.need(18, 6ull * pairs, "kerning pairs run past the table");
    work(pairs);
    for (uint32_t i = 0; i < pairs; ++i) sane(kern.s16(22 + 6ull * i, "kern"), "kerning out of proportion");
  }

  // Pair adjustments (lookup type 2) as the rasteriser reads them: coverage and class tables
  // of the formats it knows, every coverage index inside the pair sets, every class inside
  // the class counts, and the records of the one value format it uses.
  void checkGpos() {
    const Bytes gpos = table("GPOS");
    if (gpos.u16(0, "GPOS table cut short") != 1 || gpos.u16(2, "GPOS table cut short") != 0) return;
    const Bytes list = gpos.from(gpos.u16(8, "GPOS table cut short"), "GPOS lookup list outside the table");
    const uint16_t lookups = list.u16(0, "GPOS lookup list cut short");
    for (uint32_t i = 0; i < lookups; ++i) {
      work(1);
      const Bytes lookup = list.from(list.u16(2 + 2ull * i, "GPOS lookup list cut short"), "GPOS lookup outside");
      const uint16_t type = lookup.u16(0, "GPOS lookup cut short");
      const uint16_t subtables = lookup.u16(4, "GPOS lookup cut short");
      if (type != 2) continue;
      for (uint32_t s = 0; s < subtables; ++s) {
        work(1);
        pairSubtable(lookup.from(lookup.u16(6 + 2ull * s, "GPOS lookup cut short"), "GPOS subtable outside"));
      }
    }
  }

  void pairSubtable(const Bytes& t) {
    const uint16_t format = t.u16(0, "GPOS subtable cut short");
    const int64_t coverageMax = coverage(t.from(t.u16(2, "GPOS subtable cut short"), "GPOS coverage outside"));
    if (format == 1) {
      const uint16_t value1 = t.u16(4, "GPOS"), value2 = t.u16(6, "GPOS"), sets = t.u16(8, "GPOS subtable cut short");
      if (coverageMax >= sets) throw Fault{"GPOS coverage points past its pair sets"};
      for (uint32_t i = 0; i < sets; ++i) {
        work(1);
        const Bytes set = t.from(t.u16(10 + 2ull * i, "GPOS pair sets cut short"), "GPOS pair set outside");
        const uint16_t count = set.u16(0, "GPOS pair set cut short");
        if (value1 != 4 || value2 != 0) continue;
        set.need(2, 4ull * count, "GPOS pairs run past the table");
        work(count);
        for (uint32_t k = 0; k < count; ++k) sane(set.s16(4 + 4ull * k, "GPOS"), "kerning out of proportion");
      }
    } else if (format == 2) {
      const uint16_t value1 = t.u16(4, "GPOS"), value2 = t.u16(6, "GPOS");
      const int64_t class1 = classes(t.from(t.u16(8, "GPOS subtable cut short"), "GPOS class table outside"));
      const int64_t class2 = classes(t.from(t.u16(10, "GPOS subtable cut short"), "GPOS class table outside"));
      const uint16_t count1 = t.u16(12, "GPOS subtable cut short"), count2 = t.u16(14, "GPOS subtable cut short");
      if (class1 >= count1 || class2 >= count2) throw Fault{"GPOS class outside its class count"};
      if (value1 != 4 || value2 != 0) return;
      const uint64_t records = static_cast<uint64_t>(count1) * count2;
      t.need(16, 2 * records, "GPOS class records run past the table");
      work(static_cast<int64_t>(records));
      for (uint64_t k = 0; k < records; ++k) sane(t.s16(16 + 2 * k, "GPOS"), "kerning out of proportion");
    } else {
      throw Fault{"GPOS pair format not supported"};
    }
  }

  // The largest coverage index the table can give (-1 when it covers nothing).
  int64_t coverage(const Bytes& c) {
    const uint16_t format = c.u16(0, "GPOS coverage cut short"), count = c.u16(2, "GPOS coverage cut short");
    work(count);
    if (format == 1) {
      c.need(4, 2ull * count, "GPOS coverage runs past the table");
      return static_cast<int64_t>(count) - 1;
    }
    if (format != 2) throw Fault{"GPOS coverage format not supported"};
    c.need(4, 6ull * count, "GPOS coverage runs past the table");
    int64_t most = -1;
    for (uint32_t i = 0; i < count; ++i) {
      const uint16_t first = c.u16(4 + 6ull * i, "GPOS"), last = c.u16(6 + 6ull * i, "GPOS");
      if (last >= first) most = std::max<int64_t>(most, c.u16(8 + 6ull * i, "GPOS") + int64_t{last} - first);
    }
    return most;
  }

  // The largest class the table can give (-1 when it gives none).
  int64_t classes(const Bytes& c) {
    const uint16_t format = c.u16(0, "GPOS class table cut short");
    int64_t most = -1;
    if (format == 1) {
      const uint16_t count = c.u16(4, "GPOS class table cut short");
      c.need(6, 2ull * count, "GPOS classes run past the table");
      work(count);
      for (uint32_t i = 0; i < count; ++i) most = std::max<int64_t>(most, c.u16(6 + 2ull * i, "GPOS"));
    } else if (format == 2) {
      const uint16_t count = c.u16(2, "GPOS class table cut short");
      c.need(4, 6ull * count, "GPOS classes run past the table");
      work(count);
      for (uint32_t i = 0; i < count; ++i) most = std::max<int64_t>(most, c.u16(8 + 6ull * i, "GPOS"));
    } else {
      throw Fault{"GPOS class format not supported"};
    }
    return most;
  }

  Bytes mFile;
  const IFontInfo& mInfo;
  Bytes mGlyf{nullptr, 0};
  bool mLongLoca = false;
  uint32_t mGlyphs = 0;
  int32_t mLineHeight = 0;
  int64_t mWork = 0;
  std::vector<uint32_t> mStart;
  std::vector<Box> mBoxes;
  std::vector<int64_t> mVertices;  // -1 not yet seen, -2 being expanded
  std::vector<int> mHeight;        // the deepest chain of components below each glyph
};

}  // namespace

const char* CheckFontForDrawing(const void* data, uint32_t size, uint32_t faceIdx) {
  if (data == nullptr || size == 0) return "no font bytes";
  const IFontInfo info(data, size, faceIdx);
  if (!info.IsValid()) return "not a font, or its face, head, name or hhea table is missing or damaged";
  try {
    Checker(static_cast<const uint8_t*>(data), size, info).run();
  } catch (const Fault& f) {
    return f.why;
  } catch (const std::bad_alloc&) {
    return "out of memory while checking the font";
  }
  return nullptr;
}

}  // namespace plugkit::canvas
