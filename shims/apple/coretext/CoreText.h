#pragma once
// Stand-in for the part of CoreText and CoreGraphics that loads fonts: data providers over
// font bytes (a file or memory), fonts made from them, their descriptors, descriptors made
// from a family and style, and matching them against the fonts installed on the system
// (through fontconfig: family and style matched exactly, every file it lists).
//
// Where the platform passes CoreFoundation containers, this stand-in passes standard ones:
// attribute dictionaries are CTFontAttributes, arrays are std::vector, URLs are paths, data
// is a byte vector. Every object is a CoreFoundation object (CFRetain / CFRelease; the
// Create and Copy functions hand out one reference; null is accepted everywhere).
//
// Any thread: objects are immutable once made, and matching is serialised. Failures answer
// null or empty: an unreadable file, bytes that are no font, no installed match.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "shims/apple/corefoundation/CoreFoundation.h"

typedef struct __CGDataProvider* CGDataProviderRef;
typedef struct __CGFont* CGFontRef;
typedef struct __CTFont* CTFontRef;
typedef struct __CTFontDescriptor* CTFontDescriptorRef;
typedef void (*CGDataProviderReleaseDataCallback)(void* info, const void* data, size_t size);

// ---- CoreGraphics: data providers and fonts ----

// The bytes of a file, read whole when the provider is made; null when it cannot be read
// (or is larger than 64 MiB).
CGDataProviderRef CGDataProviderCreateWithFilename(const char* filename);
// Bytes owned by the caller until releaseData(info, data, size) is called, when the
// provider goes (not when it cannot be made: then the caller still owns them).
CGDataProviderRef CGDataProviderCreateWithData(void* info, const void* data, size_t size,
                                               CGDataProviderReleaseDataCallback releaseData);
// A copy of the provider's bytes (empty for null).
std::vector<uint8_t> CGDataProviderCopyData(CGDataProviderRef provider);
void CGDataProviderRelease(CGDataProviderRef provider);

// A font over the provider's bytes (it keeps the provider); null when the bytes do not
// begin like a font or a font collection.
CGFontRef CGFontCreateWithDataProvider(CGDataProviderRef provider);
void CGFontRelease(CGFontRef font);

// ---- CoreText: fonts and descriptors ----

// Attribute names, for matching and CTFontDescriptorCopyAttribute.
extern const char* const kCTFontFamilyNameAttribute;
extern const char* const kCTFontStyleNameAttribute;
extern const char* const kCTFontURLAttribute;

// A descriptor's attributes: family and style names and the file (empty when unknown).
struct CTFontAttributes {
  std::string family;
  std::string style;
  std::string path;
};

// A font of a size from a font made from bytes (matrix and attributes are not used).
CTFontRef CTFontCreateWithGraphicsFont(CGFontRef graphicsFont, double size, const void* matrix,
                                       CTFontDescriptorRef attributes);
double CTFontGetSize(CTFontRef font);
// The font's descriptor; it keeps the font's bytes (and names their file when they came
// from one).
CTFontDescriptorRef CTFontCopyFontDescriptor(CTFontRef font);

CTFontDescriptorRef CTFontDescriptorCreateWithAttributes(const CTFontAttributes& attributes);
// The installed fonts that match every mandatory attribute (family and style names
// compared exactly), each with its file; ordered by file path. The caller releases them.
std::vector<CTFontDescriptorRef> CTFontDescriptorCreateMatchingFontDescriptors(
    CTFontDescriptorRef descriptor, const std::vector<std::string>& mandatoryAttributes);
// The attribute's value ("" when the descriptor lacks it); kCTFontURLAttribute gives the
// file's path.
std::string CTFontDescriptorCopyAttribute(CTFontDescriptorRef descriptor, const char* attribute);
// The bytes a descriptor of a font made from bytes keeps (null for other descriptors).
CGDataProviderRef CTFontDescriptorGetDataProvider(CTFontDescriptorRef descriptor);

// The system's user-interface font (the installed sans-serif face fontconfig matches best,
// read from its file) at the size; null when there is none or its file cannot be read.
// The language is not used.
enum CTFontUIFontType : int { kCTFontUIFontSystem = 2 };
CTFontRef CTFontCreateUIFontForLanguage(CTFontUIFontType uiType, double size, const char* language);
