#pragma once
// Platform fonts through CoreText: a font resource of the plug-in's bundle (found with the
// framework's resource lookup), an installed font by family and style, or bytes in memory,
// each loaded into a CoreTextFont whose bytes and face the drawing backend takes; and the
// process-wide cache of font descriptors that lets a native text field show the font the
// editor registered, at the matching size.
//
// Any thread; the cache is used under its mutex (StaticStorage::Accessor). Loaders answer
// null, never throw: a missing resource, an unreadable file, no installed match, bytes that
// are no font. A font asked for a style its bytes lack gives no font data. A font whose
// bytes fail the check for drawing (graphics/FontInfo.h) is reported on stderr and the
// system's interface font is answered in its place (null when that fails too).
#include <memory>

#include "graphics/Fonts.h"
#include "graphics/StaticStorage.h"
#include "graphics/Style.h"
#include "shims/apple/coretext/CoreText.h"

namespace plugkit::canvas {

// A font CoreText loaded: its descriptor and the provider of its bytes (both owned), and
// the style to pick inside a collection ("" for bundle and memory fonts: face 0).
class CoreTextFont : public PlatformFont {
public:
  CoreTextFont(CTFontDescriptorRef descriptor, CGDataProviderRef provider, const char* styleName, bool isSystem);
  ~CoreTextFont() override;
  const void* GetDescriptor() const override { return mDescriptor; }
  // A copy of the bytes with the face of the style (face 0 without one); null when the
  // bytes are empty or no face has the style.
  std::unique_ptr<IFontData> GetFontData() override;
  const char* GetStyleName() const { return mStyle.Get(); }

private:
  CTFontDescriptorRef mDescriptor;
  CGDataProviderRef mProvider;
  StringBuf mStyle;
};

// A cached descriptor (retained) and its em ratio: units per em / (ascender - descender),
// the factor from the graphics context's text sizes (ascender to descender) to point
// sizes (the em).
class CoreTextFontDescriptor {
public:
  CoreTextFontDescriptor(CTFontDescriptorRef descriptor, double emRatio);
  ~CoreTextFontDescriptor();
  CoreTextFontDescriptor(const CoreTextFontDescriptor&) = delete;
  CoreTextFontDescriptor& operator=(const CoreTextFontDescriptor&) = delete;
  CTFontDescriptorRef GetDescriptor() const { return mDescriptor; }
  double GetEMRatio() const { return mEMRatio; }

private:
  CTFontDescriptorRef mDescriptor;
  double mEMRatio;
};

namespace CoreTextHelpers {

// The resource fileNameOrResID of type "ttf" in the bundle (then the shared resources
// under the sub-path, then as a file path).
PlatformFontPtr LoadPlatformFont(const char* fontID, const char* fileNameOrResID, const char* bundleID,
                                 const char* sharedResourcesSubPath);
// The first installed font of the family in the style ("Bold", "Italic", else "Regular")
// whose file can be read.
PlatformFontPtr LoadPlatformFont(const char* fontID, const char* fontName, ETextStyle style);
// A copy of size bytes.
PlatformFontPtr LoadPlatformFont(const char* fontID, void* data, int size);
// Remembers the font's descriptor under fontID (at scale 1) unless one is there already.
void CachePlatformFont(const char* fontID, const PlatformFontPtr& font, StaticStorage<CoreTextFontDescriptor>& cache);
// The descriptor cached for the text's font, or null.
CoreTextFontDescriptor* GetCTFontDescriptor(const IText& text, StaticStorage<CoreTextFontDescriptor>& cache);

}  // namespace CoreTextHelpers

}  // namespace plugkit::canvas
