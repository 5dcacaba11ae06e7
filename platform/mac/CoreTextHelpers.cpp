#include "platform/mac/CoreTextHelpers.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "framework/Paths.h"
#include "graphics/FontInfo.h"

namespace plugkit::canvas {

// ---- Fonts and descriptors ----

CoreTextFont::CoreTextFont(CTFontDescriptorRef descriptor, CGDataProviderRef provider, const char* styleName,
                           bool isSystem)
    : PlatformFont(isSystem), mDescriptor(descriptor), mProvider(provider), mStyle(styleName != nullptr ? styleName : "") {}

CoreTextFont::~CoreTextFont() {
  CFRelease(mDescriptor);
  CGDataProviderRelease(mProvider);
}

std::unique_ptr<IFontData> CoreTextFont::GetFontData() {
  const std::vector<uint8_t> bytes = CGDataProviderCopyData(mProvider);
  if (bytes.empty() || bytes.size() > static_cast<size_t>(INT32_MAX)) return nullptr;
  const int size = static_cast<int>(bytes.size());
  const int face = mStyle.Empty() ? 0 : GetFaceIdx(bytes.data(), size, mStyle.Get());
  if (face < 0) return nullptr;
  return std::make_unique<IFontData>(bytes.data(), size, face);
}

CoreTextFontDescriptor::CoreTextFontDescriptor(CTFontDescriptorRef descriptor, double emRatio)
    : mDescriptor(descriptor), mEMRatio(emRatio) {
  CFRetain(mDescriptor);
}

CoreTextFontDescriptor::~CoreTextFontDescriptor() { CFRelease(mDescriptor); }

namespace {

// A CoreTextFont over the provider's bytes (taking the provider), or null.
PlatformFontPtr fontOverBytes(CGDataProviderRef provider) {
  if (provider == nullptr) return nullptr;
  CGFontRef cgFont = CGFontCreateWithDataProvider(provider);
  CTFontRef ctFont = CTFontCreateWithGraphicsFont(cgFont, 0.0, nullptr, nullptr);
  CTFontDescriptorRef descriptor = CTFontCopyFontDescriptor(ctFont);
  CFRelease(ctFont);
  CGFontRelease(cgFont);
  if (descriptor == nullptr) {
    CGDataProviderRelease(provider);
    return nullptr;
  }
  auto font = std::unique_ptr<CoreTextFont>(new (std::nothrow) CoreTextFont(descriptor, provider, "", false));
  if (!font) {
    CFRelease(descriptor);
    CGDataProviderRelease(provider);
  }
  return font;
}

// The system's interface font, in place of a font whose bytes fail the check for drawing;
// null when that one fails too.
PlatformFontPtr fallbackFont() {
  CTFontRef ui = CTFontCreateUIFontForLanguage(kCTFontUIFontSystem, 0.0, nullptr);
  CTFontDescriptorRef descriptor = CTFontCopyFontDescriptor(ui);
  CFRelease(ui);
  CGDataProviderRef provider = CTFontDescriptorGetDataProvider(descriptor);
  if (provider == nullptr) {
    CFRelease(descriptor);
    return nullptr;
  }
  CFRetain(provider);
  PlatformFontPtr font(new (std::nothrow) CoreTextFont(descriptor, provider, "", true));
  if (!font) {
    CFRelease(descriptor);
    CGDataProviderRelease(provider);
    return nullptr;
  }
  const std::unique_ptr<IFontData> data = font->GetFontData();
  if (!data || !data->IsValid()) return nullptr;
  return font;
}

// The font when its bytes can be drawn with; a damaged font is reported and the system's
// interface font takes its place, so that text under its ID still draws.
PlatformFontPtr usableOrFallback(PlatformFontPtr font, const char* fontID) {
  if (!font) return nullptr;
  const std::unique_ptr<IFontData> data = font->GetFontData();
  if (!data || data->IsValid()) return font;  // a face the bytes lack stays a failure
  PlatformFontPtr fallback = fallbackFont();
  std::fprintf(stderr, "SpectraPoise: font \"%s\" is damaged (%s); %s\n", fontID != nullptr ? fontID : "",
               data->Fault(), fallback ? "the system font stands in" : "no system font can stand in");
  return fallback;
}

}  // namespace

// ---- Loaders ----

namespace CoreTextHelpers {

PlatformFontPtr LoadPlatformFont(const char* fontID, const char* fileNameOrResID, const char* bundleID,
                                 const char* sharedResourcesSubPath) {
  StringBuf path;
  if (LocateResource(fileNameOrResID, "ttf", path, bundleID, nullptr, sharedResourcesSubPath) == kNotFound)
    return nullptr;
  return usableOrFallback(fontOverBytes(CGDataProviderCreateWithFilename(path.Get())), fontID);
}

PlatformFontPtr LoadPlatformFont(const char* fontID, const char* fontName, ETextStyle style) {
  if (fontName == nullptr || fontName[0] == '\0') return nullptr;
  const char* styleName = style == ETextStyle::Bold ? "Bold" : style == ETextStyle::Italic ? "Italic" : "Regular";
  CTFontDescriptorRef wanted = CTFontDescriptorCreateWithAttributes({fontName, styleName, ""});
  if (wanted == nullptr) return nullptr;
  std::vector<CTFontDescriptorRef> matches = CTFontDescriptorCreateMatchingFontDescriptors(
      wanted, {kCTFontFamilyNameAttribute, kCTFontStyleNameAttribute});
  CFRelease(wanted);
  PlatformFontPtr font;
  for (CTFontDescriptorRef match : matches) {
    if (!font) {
      const std::string file = CTFontDescriptorCopyAttribute(match, kCTFontURLAttribute);
      if (CGDataProviderRef provider = CGDataProviderCreateWithFilename(file.c_str())) {
        CFRetain(match);
        font.reset(new (std::nothrow) CoreTextFont(match, provider, styleName, true));
        if (!font) {
          CFRelease(match);
          CGDataProviderRelease(provider);
        }
      }
    }
    CFRelease(match);
  }
  return usableOrFallback(std::move(font), fontID);
}

PlatformFontPtr LoadPlatformFont(const char* fontID, void* data, int size) {
  if (data == nullptr || size <= 0) return nullptr;
  auto* copy = new (std::nothrow) uint8_t[static_cast<size_t>(size)];
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, data, static_cast<size_t>(size));
  CGDataProviderRef provider = CGDataProviderCreateWithData(nullptr, copy, static_cast<size_t>(size),
                                                            [](void*, const void* bytes, size_t) {
                                                              delete[] static_cast<const uint8_t*>(bytes);
                                                            });
  if (provider == nullptr) {
    delete[] copy;
    return nullptr;
  }
  return usableOrFallback(fontOverBytes(provider), fontID);
}

void CachePlatformFont(const char* fontID, const PlatformFontPtr& font, StaticStorage<CoreTextFontDescriptor>& cache) {
  if (!font || fontID == nullptr) return;
  StaticStorage<CoreTextFontDescriptor>::Accessor lock(cache);
  auto descriptor = static_cast<CTFontDescriptorRef>(const_cast<void*>(font->GetDescriptor()));
  if (descriptor == nullptr || cache.Find(fontID, 1.0) != nullptr) return;
  const std::unique_ptr<IFontData> data = font->GetFontData();
  double emRatio = 1.0;
  if (data && data->IsValid())
    emRatio = IFontInfo(data->Get(), static_cast<uint32_t>(data->GetSize()), static_cast<uint32_t>(data->GetFaceIdx()))
                  .EmRatio();
  cache.Add(new CoreTextFontDescriptor(descriptor, emRatio), fontID, 1.0);
}

CoreTextFontDescriptor* GetCTFontDescriptor(const IText& text, StaticStorage<CoreTextFontDescriptor>& cache) {
  StaticStorage<CoreTextFontDescriptor>::Accessor lock(cache);
  return cache.Find(text.font, 1.0);
}

}  // namespace CoreTextHelpers

}  // namespace plugkit::canvas
