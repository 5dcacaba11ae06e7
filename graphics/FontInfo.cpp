#include "graphics/FontInfo.h"

#include <cstring>
#include <string>

#include "shims/vst3sdk/utf_convert.h"

namespace plugkit::canvas {

namespace {

constexpr uint32_t kHeadBytes = 46;  // through macStyle
constexpr uint32_t kHheaBytes = 10;  // through the line gap
constexpr uint32_t kNameHeaderBytes = 6;
constexpr uint32_t kNameRecordBytes = 12;

}  // namespace

uint16_t IFontInfo::U16(uint32_t offset) const {
  return static_cast<uint16_t>((mData[offset] << 8) | mData[offset + 1]);
}

IFontInfo::IFontInfo(const void* data, uint32_t dataSize, uint32_t faceIdx)
    : mData(static_cast<const uint8_t*>(data)), mSize(data != nullptr ? dataSize : 0) {
  if (mData == nullptr || !FindFace(faceIdx)) {
    mData = nullptr;
    return;
  }
  uint32_t headLength = 0, hheaLength = 0;
  mHeadLocation = FindTable("head", &headLength);
  mNameLocation = FindTable("name", &mNameLength);
  mHheaLocation = FindTable("hhea", &hheaLength);
  mFdscLocation = FindTable("fdsc", nullptr);
  if (headLength < kHeadBytes) mHeadLocation = 0;
  if (hheaLength < kHheaBytes) mHheaLocation = 0;
  if (mNameLength < kNameHeaderBytes) mNameLocation = 0;
  if (!IsValid()) return;
  mMacStyle = U16(mHeadLocation + 44);
  mUnitsPerEm = U16(mHeadLocation + 18);
  mFamily = SearchFontString(1);
  mStyle = SearchFontString(2);
  mAscender = static_cast<int16_t>(U16(mHheaLocation + 4));
  mDescender = static_cast<int16_t>(U16(mHheaLocation + 6));
  mLineGap = static_cast<int16_t>(U16(mHheaLocation + 8));
}

bool IFontInfo::FindFace(uint32_t faceIdx) {
  if (mSize < 4) return false;
  const uint8_t* p = mData;
  const bool single = (p[0] == '1' && p[1] == 0 && p[2] == 0 && p[3] == 0) ||
                      (p[0] == 0 && p[1] == 1 && p[2] == 0 && p[3] == 0) || std::memcmp(p, "OTTO", 4) == 0 ||
                      std::memcmp(p, "typ1", 4) == 0;
  if (single) {
    if (faceIdx != 0) return false;
    mFaceOffset = 0;
  } else if (std::memcmp(p, "ttcf", 4) == 0) {
    if (mSize < 12) return false;
    const uint32_t version = (static_cast<uint32_t>(U16(4)) << 16) | U16(6);
    const uint32_t count = (static_cast<uint32_t>(U16(8)) << 16) | U16(10);
    if ((version != 0x00010000 && version != 0x00020000) || faceIdx >= count) return false;
    const uint64_t entry = 12 + 4 * static_cast<uint64_t>(faceIdx);
    if (!Has(entry, 4)) return false;
    mFaceOffset = (static_cast<uint32_t>(U16(static_cast<uint32_t>(entry))) << 16) |
                  U16(static_cast<uint32_t>(entry) + 2);
  } else {
    return false;
  }
  return Has(mFaceOffset, 12);  // the face's directory header
}

uint32_t IFontInfo::FindTable(const char tag[4], uint32_t* tableLength) const {
  if (tableLength != nullptr) *tableLength = 0;
  const uint32_t count = U16(mFaceOffset + 4);
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t record = static_cast<uint64_t>(mFaceOffset) + 12 + 16 * static_cast<uint64_t>(i);
    if (!Has(record, 16)) return 0;
    const uint32_t r = static_cast<uint32_t>(record);
    if (std::memcmp(mData + r, tag, 4) != 0) continue;
    const uint32_t offset = (static_cast<uint32_t>(U16(r + 8)) << 16) | U16(r + 10);
    const uint32_t length = (static_cast<uint32_t>(U16(r + 12)) << 16) | U16(r + 14);
    if (offset == 0 || !Has(offset, length)) return 0;
    if (tableLength != nullptr) *tableLength = length;
    return offset;
  }
  return 0;
}

bool IFontInfo::HasTable(const char tag[4]) const {
  if (mData == nullptr) return false;
  const uint32_t count = U16(mFaceOffset + 4);
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t record = static_cast<uint64_t>(mFaceOffset) + 12 + 16 * static_cast<uint64_t>(i);
    if (!Has(record, 16)) return false;
    const uint32_t r = static_cast<uint32_t>(record);
    if (std::memcmp(mData + r, tag, 4) == 0) return U16(r + 8) != 0 || U16(r + 10) != 0;
  }
  return false;
}

double IFontInfo::EmRatio() const {
  const int height = static_cast<int>(mAscender) - static_cast<int>(mDescender);
  if (!IsValid() || height <= 0) return 1.0;
  return static_cast<double>(mUnitsPerEm) / static_cast<double>(height);
}

StringBuf IFontInfo::SearchFontString(int nameID) const {
  StringBuf s = GetFontString(nameID, EStringID::Windows);
  if (s.Empty()) s = GetFontString(nameID, EStringID::Mac);
  return s;
}

StringBuf IFontInfo::GetFontString(int nameID, EStringID platform) const {
  if (mData == nullptr || mNameLocation == 0) return StringBuf("");
  const uint32_t table = mNameLocation;
  const uint32_t tableEnd = table + mNameLength;  // checked to lie inside the bytes
  const uint32_t count = U16(table + 2);
  const uint32_t storage = table + U16(table + 4);
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t record = static_cast<uint64_t>(table) + kNameHeaderBytes + kNameRecordBytes * i;
    if (record + kNameRecordBytes > tableEnd) break;
    const uint32_t r = static_cast<uint32_t>(record);
    const uint16_t platformID = U16(r), encodingID = U16(r + 2), languageID = U16(r + 4), id = U16(r + 6);
    const uint16_t length = U16(r + 8), offset = U16(r + 10);
    const bool windows = platformID == 3 && encodingID == 1 && languageID == 1033;
    const bool mac = platformID == 1 && encodingID == 0 && languageID == 0;
    if (id != nameID || !(platform == EStringID::Windows ? windows : mac)) continue;

    const uint64_t start = static_cast<uint64_t>(storage) + offset;
    std::string out;
    if (platform == EStringID::Windows) {
      const uint32_t units = length / 2u;
      if (units == 0 || !Has(start, 2ull * units)) return StringBuf("");
      std::u16string text(units, u'\0');
      for (uint32_t k = 0; k < units; ++k) text[k] = static_cast<char16_t>(U16(static_cast<uint32_t>(start + 2 * k)));
      out = vst3shim::utf16ToUtf8(text.data(), text.size());  // unpaired halves become U+FFFD
    } else {
      // Up to the length, or the first zero byte; a length of 0 scans to the first zero
      // byte inside the bytes.
      if (start > mSize) return StringBuf("");
      const uint64_t end = length > 0 ? start + length : mSize;
      if (end > mSize) return StringBuf("");
      for (uint64_t k = start; k < end && mData[k] != 0; ++k) out += static_cast<char>(mData[k]);
    }
    return StringBuf(out.c_str());
  }
  return StringBuf("");
}

int GetFaceIdx(const void* data, int size, const char* styleName) {
  if (data == nullptr || size <= 0) return -1;
  const char* wanted = styleName != nullptr ? styleName : "";
  for (uint32_t face = 0;; ++face) {
    const IFontInfo info(data, static_cast<uint32_t>(size), face);
    if (!info.IsValid()) return -1;
    const char* style = info.GetStyle().Get();
    if (style[0] == '\0') continue;
    if (wanted[0] == '\0' || std::strcmp(style, wanted) == 0) return static_cast<int>(face);
  }
}

}  // namespace plugkit::canvas
