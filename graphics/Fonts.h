#pragma once
// Fonts as the graphics context registers them: a platform font found by file, by family
// and style, or from memory, and the bytes with the face index that the drawing backend
// reads from it, checked once when they are taken (graphics/FontInfo.h).
#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/FontInfo.h"

namespace plugkit::canvas {

// The style of a system font looked up by family name.
enum class ETextStyle : int { Normal = 0, Bold = 1, Italic = 2 };

// A font file's bytes (a copy) and the face to use inside it (0 for a single font).
class IFontData {
public:
  IFontData() = default;
  IFontData(const void* data, int size, int faceIdx)
      : mBytes(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + (size > 0 ? size : 0)),
        mFaceIdx(faceIdx) {
    if (!mBytes.empty() && mFaceIdx >= 0)
      mFault = CheckFontForDrawing(mBytes.data(), static_cast<uint32_t>(mBytes.size()), static_cast<uint32_t>(mFaceIdx));
  }
  virtual ~IFontData() = default;

  const uint8_t* Get() const { return mBytes.empty() ? nullptr : mBytes.data(); }
  int GetSize() const { return static_cast<int>(mBytes.size()); }
  int GetFaceIdx() const { return mFaceIdx; }
  // Holds bytes, names a face, and the face passed the check for drawing.
  virtual bool IsValid() const { return !mBytes.empty() && mFaceIdx >= 0 && mFault == nullptr; }
  // Why the bytes cannot be drawn with (null when they can).
  const char* Fault() const {
    if (mBytes.empty()) return "no font bytes";
    if (mFaceIdx < 0) return "no face of the wanted style";
    return mFault;
  }

private:
  std::vector<uint8_t> mBytes;
  int mFaceIdx = -1;
  const char* mFault = "no font bytes";
};

// A font as the platform found it. The graphics context keeps it only while registering.
class PlatformFont {
public:
  explicit PlatformFont(bool isSystem) : mSystem(isSystem) {}
  virtual ~PlatformFont() = default;
  PlatformFont(const PlatformFont&) = delete;
  PlatformFont& operator=(const PlatformFont&) = delete;

  // The platform's descriptor of the font (null where the platform has none).
  virtual const void* GetDescriptor() const { return nullptr; }
  virtual std::unique_ptr<IFontData> GetFontData() = 0;
  bool IsSystem() const { return mSystem; }

private:
  bool mSystem;
};

using PlatformFontPtr = std::unique_ptr<PlatformFont>;

}  // namespace plugkit::canvas
