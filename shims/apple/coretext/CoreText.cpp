// Fonts from bytes and descriptors over them; installed fonts found through fontconfig.
#include "shims/apple/coretext/CoreText.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

#include "shims/apple/corefoundation/CFRuntime.h"

namespace {

constexpr size_t kMaxFontFileBytes = size_t{64} << 20;

}  // namespace

struct __CGDataProvider : __CFRuntimeBase {
  std::vector<uint8_t> owned;  // a file's bytes
  std::string filename;        // the file they came from
  const uint8_t* data = nullptr;
  size_t size = 0;
  void* info = nullptr;
  CGDataProviderReleaseDataCallback releaseData = nullptr;
  ~__CGDataProvider() override {
    if (releaseData != nullptr) releaseData(info, data, size);
  }
};

struct __CGFont : __CFRuntimeBase {
  CGDataProviderRef provider = nullptr;
  ~__CGFont() override { CGDataProviderRelease(provider); }
};

struct __CTFontDescriptor : __CFRuntimeBase {
  CTFontAttributes attributes;
  CGDataProviderRef provider = nullptr;  // the bytes of a font made from bytes
  ~__CTFontDescriptor() override { CGDataProviderRelease(provider); }
};

struct __CTFont : __CFRuntimeBase {
  CGFontRef graphicsFont = nullptr;
  double size = 0.0;
  ~__CTFont() override { CGFontRelease(graphicsFont); }
};

const char* const kCTFontFamilyNameAttribute = "NSFontFamilyAttribute";
const char* const kCTFontStyleNameAttribute = "NSFontFaceAttribute";
const char* const kCTFontURLAttribute = "NSCTFontFileURLAttribute";

CGDataProviderRef CGDataProviderCreateWithFilename(const char* filename) {
  if (filename == nullptr || filename[0] == '\0') return nullptr;
  FILE* f = std::fopen(filename, "rb");
  if (f == nullptr) return nullptr;
  auto* provider = new (std::nothrow) __CGDataProvider();
  bool ok = provider != nullptr && std::fseek(f, 0, SEEK_END) == 0;
  const long length = ok ? std::ftell(f) : -1;
  ok = ok && length >= 0 && static_cast<size_t>(length) <= kMaxFontFileBytes && std::fseek(f, 0, SEEK_SET) == 0;
  if (ok) {
    try {
      provider->owned.resize(static_cast<size_t>(length));
    } catch (...) {
      ok = false;
    }
  }
  ok = ok && std::fread(provider->owned.data(), 1, provider->owned.size(), f) == provider->owned.size();
  std::fclose(f);
  if (!ok) {
    delete provider;
    return nullptr;
  }
  try {
    provider->filename = filename;
  } catch (...) {
    delete provider;
    return nullptr;
  }
  provider->data = provider->owned.data();
  provider->size = provider->owned.size();
  return provider;
}

CGDataProviderRef CGDataProviderCreateWithData(void* info, const void* data, size_t size,
                                               CGDataProviderReleaseDataCallback releaseData) {
  if (data == nullptr && size > 0) return nullptr;
  auto* provider = new (std::nothrow) __CGDataProvider();
  if (provider == nullptr) return nullptr;
  provider->data = static_cast<const uint8_t*>(data);
  provider->size = size;
  provider->info = info;
  provider->releaseData = releaseData;
  return provider;
}

std::vector<uint8_t> CGDataProviderCopyData(CGDataProviderRef provider) {
  if (provider == nullptr || provider->size == 0) return {};
  return std::vector<uint8_t>(provider->data, provider->data + provider->size);
}

void CGDataProviderRelease(CGDataProviderRef provider) { CFRelease(provider); }

CGFontRef CGFontCreateWithDataProvider(CGDataProviderRef provider) {
  if (provider == nullptr || provider->size < 12) return nullptr;
  const uint8_t* p = provider->data;
  const bool font = (p[0] == 0 && p[1] == 1 && p[2] == 0 && p[3] == 0) || std::memcmp(p, "true", 4) == 0 ||
                    std::memcmp(p, "OTTO", 4) == 0 || std::memcmp(p, "ttcf", 4) == 0 ||
                    std::memcmp(p, "typ1", 4) == 0;
  if (!font) return nullptr;
  auto* f = new (std::nothrow) __CGFont();
  if (f == nullptr) return nullptr;
  f->provider = static_cast<CGDataProviderRef>(const_cast<void*>(CFRetain(provider)));
  return f;
}

void CGFontRelease(CGFontRef font) { CFRelease(font); }

CTFontRef CTFontCreateWithGraphicsFont(CGFontRef graphicsFont, double size, const void*, CTFontDescriptorRef) {
  if (graphicsFont == nullptr) return nullptr;
  auto* font = new (std::nothrow) __CTFont();
  if (font == nullptr) return nullptr;
  font->graphicsFont = static_cast<CGFontRef>(const_cast<void*>(CFRetain(graphicsFont)));
  font->size = size;
  return font;
}

double CTFontGetSize(CTFontRef font) { return font != nullptr ? font->size : 0.0; }

CTFontDescriptorRef CTFontCopyFontDescriptor(CTFontRef font) {
  if (font == nullptr) return nullptr;
  auto* d = new (std::nothrow) __CTFontDescriptor();
  if (d == nullptr) return nullptr;
  try {
    d->attributes.path = font->graphicsFont->provider->filename;
  } catch (...) {
    delete d;
    return nullptr;
  }
  d->provider = static_cast<CGDataProviderRef>(const_cast<void*>(CFRetain(font->graphicsFont->provider)));
  return d;
}

CTFontDescriptorRef CTFontDescriptorCreateWithAttributes(const CTFontAttributes& attributes) {
  auto* d = new (std::nothrow) __CTFontDescriptor();
  if (d == nullptr) return nullptr;
  try {
    d->attributes = attributes;
  } catch (...) {
    delete d;
    return nullptr;
  }
  return d;
}

namespace {

std::mutex& fontconfigMutex() {
  static std::mutex m;
  return m;
}

// The configuration of the installed fonts, loaded once and kept for the process (under
// the mutex).
FcConfig* fontconfigConfig() {
  static FcConfig* const config = FcInitLoadConfigAndFonts();
  return config;
}

bool mandatory(const std::vector<std::string>& names, const char* attribute) {
  return std::find(names.begin(), names.end(), attribute) != names.end();
}

}  // namespace

std::vector<CTFontDescriptorRef> CTFontDescriptorCreateMatchingFontDescriptors(
    CTFontDescriptorRef descriptor, const std::vector<std::string>& mandatoryAttributes) {
  std::vector<CTFontDescriptorRef> matches;
  if (descriptor == nullptr) return matches;
  const CTFontAttributes& want = descriptor->attributes;
  const bool byFamily = mandatory(mandatoryAttributes, kCTFontFamilyNameAttribute);
  const bool byStyle = mandatory(mandatoryAttributes, kCTFontStyleNameAttribute);
  if ((byFamily && want.family.empty()) || (byStyle && want.style.empty())) return matches;

  std::vector<std::string> files;
  {
    std::lock_guard<std::mutex> lock(fontconfigMutex());
    FcConfig* config = fontconfigConfig();
    if (config == nullptr) return matches;
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FILE, static_cast<char*>(nullptr));
    if (pattern != nullptr && objects != nullptr) {
      if (byFamily)
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(want.family.c_str()));
      if (byStyle) FcPatternAddString(pattern, FC_STYLE, reinterpret_cast<const FcChar8*>(want.style.c_str()));
      if (FcFontSet* set = FcFontList(config, pattern, objects)) {
        for (int i = 0; i < set->nfont; ++i) {
          FcChar8* file = nullptr;
          if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) == FcResultMatch && file != nullptr)
            files.emplace_back(reinterpret_cast<const char*>(file));
        }
        FcFontSetDestroy(set);
      }
    }
    if (objects != nullptr) FcObjectSetDestroy(objects);
    if (pattern != nullptr) FcPatternDestroy(pattern);
  }
  std::sort(files.begin(), files.end());
  for (const std::string& file : files) {
    if (CTFontDescriptorRef match = CTFontDescriptorCreateWithAttributes({want.family, want.style, file}))
      matches.push_back(match);
  }
  return matches;
}

std::string CTFontDescriptorCopyAttribute(CTFontDescriptorRef descriptor, const char* attribute) {
  if (descriptor == nullptr || attribute == nullptr) return "";
  if (std::strcmp(attribute, kCTFontFamilyNameAttribute) == 0) return descriptor->attributes.family;
  if (std::strcmp(attribute, kCTFontStyleNameAttribute) == 0) return descriptor->attributes.style;
  if (std::strcmp(attribute, kCTFontURLAttribute) == 0) return descriptor->attributes.path;
  return "";
}

CGDataProviderRef CTFontDescriptorGetDataProvider(CTFontDescriptorRef descriptor) {
  return descriptor != nullptr ? descriptor->provider : nullptr;
}

CTFontRef CTFontCreateUIFontForLanguage(CTFontUIFontType, double size, const char*) {
  std::string file;
  {
    std::lock_guard<std::mutex> lock(fontconfigMutex());
    FcConfig* config = fontconfigConfig();
    FcPattern* pattern = config != nullptr ? FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif")) : nullptr;
    if (pattern != nullptr) {
      FcConfigSubstitute(config, pattern, FcMatchPattern);
      FcDefaultSubstitute(pattern);
      FcResult result = FcResultNoMatch;
      if (FcPattern* match = FcFontMatch(config, pattern, &result)) {
        FcChar8* path = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path != nullptr)
          file = reinterpret_cast<const char*>(path);
        FcPatternDestroy(match);
      }
      FcPatternDestroy(pattern);
    }
  }
  CGDataProviderRef provider = CGDataProviderCreateWithFilename(file.c_str());
  CGFontRef graphicsFont = CGFontCreateWithDataProvider(provider);
  CGDataProviderRelease(provider);
  CTFontRef font = CTFontCreateWithGraphicsFont(graphicsFont, size, nullptr, nullptr);
  CGFontRelease(graphicsFont);
  return font;
}
