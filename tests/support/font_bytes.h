#pragma once
// Font files for the font suites: the build's Roboto files, and fonts and collections
// assembled from tables (big-endian, as font files are).
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace fontbytes {

using Bytes = std::vector<uint8_t>;

inline std::string robotoRegularPath() { return std::string(SP_FONT_DIR) + "/RobotoTTF/Roboto-Regular.ttf"; }
inline std::string robotoCondensedBoldPath() { return std::string(SP_FONT_DIR) + "/RobotoCondensed-Bold.ttf"; }

inline Bytes readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v >> 8));
  b.push_back(static_cast<uint8_t>(v));
}
inline void put32(Bytes& b, uint32_t v) {
  put16(b, v >> 16);
  put16(b, v & 0xFFFF);
}
inline uint32_t get32(const Bytes& b, size_t at) {
  return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) | b[at + 3];
}
inline void set32(Bytes& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v >> 24);
  b[at + 1] = static_cast<uint8_t>(v >> 16);
  b[at + 2] = static_cast<uint8_t>(v >> 8);
  b[at + 3] = static_cast<uint8_t>(v);
}

// A single font of the given tables (tag, bytes), each 4-byte aligned.
inline Bytes buildFont(const std::vector<std::pair<std::string, Bytes>>& tables) {
  Bytes f;
  put32(f, 0x00010000);
  put16(f, static_cast<uint32_t>(tables.size()));
  put16(f, 0);
  put16(f, 0);
  put16(f, 0);
  uint32_t offset = 12 + 16 * static_cast<uint32_t>(tables.size());
  for (const auto& [tag, bytes] : tables) {
    f.insert(f.end(), tag.begin(), tag.begin() + 4);
    put32(f, 0);
    put32(f, offset);
    put32(f, static_cast<uint32_t>(bytes.size()));
    offset += (static_cast<uint32_t>(bytes.size()) + 3) & ~3u;
  }
  for (const auto& [tag, bytes] : tables) {
    f.insert(f.end(), bytes.begin(), bytes.end());
    while (f.size() % 4) f.push_back(0);
  }
  return f;
}

inline Bytes headTable(uint16_t unitsPerEm, uint16_t macStyle) {
  Bytes t(54, 0);
  t[18] = static_cast<uint8_t>(unitsPerEm >> 8);
  t[19] = static_cast<uint8_t>(unitsPerEm);
  t[44] = static_cast<uint8_t>(macStyle >> 8);
  t[45] = static_cast<uint8_t>(macStyle);
  return t;
}

inline Bytes hheaTable(int16_t ascender, int16_t descender) {
  Bytes t(36, 0);
  t[4] = static_cast<uint8_t>(static_cast<uint16_t>(ascender) >> 8);
  t[5] = static_cast<uint8_t>(ascender);
  t[6] = static_cast<uint8_t>(static_cast<uint16_t>(descender) >> 8);
  t[7] = static_cast<uint8_t>(descender);
  return t;
}

// One name record: platform, encoding, language, name id and the stored bytes; a length
// of -1 stores the bytes' size.
struct NameRecord {
  uint16_t platform, encoding, language, id;
  Bytes text;
  int length = -1;
};

inline Bytes nameTable(const std::vector<NameRecord>& records) {
  Bytes t;
  put16(t, 0);
  put16(t, static_cast<uint32_t>(records.size()));
  put16(t, 6 + 12 * static_cast<uint32_t>(records.size()));
  Bytes storage;
  for (const NameRecord& r : records) {
    put16(t, r.platform);
    put16(t, r.encoding);
    put16(t, r.language);
    put16(t, r.id);
    put16(t, r.length < 0 ? static_cast<uint32_t>(r.text.size()) : static_cast<uint32_t>(r.length));
    put16(t, static_cast<uint32_t>(storage.size()));
    storage.insert(storage.end(), r.text.begin(), r.text.end());
  }
  t.insert(t.end(), storage.begin(), storage.end());
  return t;
}

inline Bytes utf16be(const std::u16string& s) {
  Bytes b;
  for (char16_t c : s) put16(b, c);
  return b;
}

inline Bytes ascii(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A collection of the fonts: each face's table offsets rewritten to count from the start
// of the collection, as they do in collection files.
inline Bytes buildCollection(const std::vector<Bytes>& fonts) {
  Bytes c;
  c.insert(c.end(), {'t', 't', 'c', 'f'});
  put32(c, 0x00010000);
  put32(c, static_cast<uint32_t>(fonts.size()));
  const size_t table = c.size();
  for (size_t i = 0; i < fonts.size(); ++i) put32(c, 0);
  for (size_t i = 0; i < fonts.size(); ++i) {
    while (c.size() % 4) c.push_back(0);
    const uint32_t base = static_cast<uint32_t>(c.size());
    set32(c, table + 4 * i, base);
    Bytes face = fonts[i];
    const uint32_t count = (uint32_t{face[4]} << 8) | face[5];
    for (uint32_t k = 0; k < count; ++k) set32(face, 12 + 16 * k + 8, get32(face, 12 + 16 * k + 8) + base);
    c.insert(c.end(), face.begin(), face.end());
  }
  return c;
}

}  // namespace fontbytes
