// Where things are on disk: the parts that are the same on every platform (this
// module's bundle, the resource searches). The platform's folders and the module's own
// path come from Paths_<platform>.cpp.
#include "framework/Paths.h"

#include <sys/stat.h>

#include <cstring>
#include <mutex>
#include <string>

namespace plugkit {

namespace {

std::mutex& pathsMutex() {
  static std::mutex m;
  return m;
}

std::string& ownBundleId() {
  static std::string id;
  return id;
}

std::string& modulePathOverride() {
  static std::string p;
  return p;
}

bool isOwnBundle(const char* bundleId) {
  if (bundleId == nullptr || *bundleId == '\0') return false;
  std::lock_guard<std::mutex> lock(pathsMutex());
  return !ownBundleId().empty() && ownBundleId() == bundleId;
}

std::string parentOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return {};
  return path.substr(0, slash == 0 ? 1 : slash);
}

// The bundle folder (".../SpectraPoise.vst3") holding this module, or empty when the module
// does not sit in a bundle's Contents/<arch>/ folder.
std::string bundleFolder() {
  const std::string module = ModuleFilePath();
  const std::string archDir = parentOf(module);
  const std::string contents = parentOf(archDir);
  if (contents.size() < 9 || contents.compare(contents.size() - 9, 9, "/Contents") != 0) return {};
  return parentOf(contents);
}

bool fileExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool equalsIgnoreCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    char ca = *a, cb = *b;
    if (ca >= 'A' && ca <= 'Z') ca = static_cast<char>(ca - 'A' + 'a');
    if (cb >= 'A' && cb <= 'Z') cb = static_cast<char>(cb - 'A' + 'a');
    if (ca != cb) return false;
  }
  return *a == *b;
}

// The name's extension (after its last ".") equals type ignoring ASCII case; a name without
// any "." matches only when the whole name equals the type.
bool typeMatches(const char* name, const char* type) {
  if (type == nullptr) return false;
  const char* dot = std::strrchr(name, '.');
  return equalsIgnoreCase(dot ? dot + 1 : name, type);
}

std::string stripExtension(const std::string& name) {
  const size_t dot = name.find_last_of('.');
  const size_t slash = name.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return name;
  return name.substr(0, dot);
}

}  // namespace

void RegisterOwnBundle(const char* bundleId) {
  std::lock_guard<std::mutex> lock(pathsMutex());
  ownBundleId() = bundleId ? bundleId : "";
}

const char* ModuleFilePath() {
  static const std::string resolved = [] {
    StringBuf path;
    detail::ResolveModuleFilePath(path);
    return std::string(path.Get());
  }();
  std::lock_guard<std::mutex> lock(pathsMutex());
  return modulePathOverride().empty() ? resolved.c_str() : modulePathOverride().c_str();
}

void SetModuleFilePathForTesting(const char* path) {
  std::lock_guard<std::mutex> lock(pathsMutex());
  modulePathOverride() = path ? path : "";
}

void PluginPath(StringBuf& path, const char* bundleId) {
  if (!isOwnBundle(bundleId)) return;
  const std::string bundle = bundleFolder();
  if (bundle.empty()) return;
  std::string folder = parentOf(bundle);
  if (folder != "/") folder += "/";
  path.Set(folder.c_str());
}

void BundleResourcePath(StringBuf& path, const char* bundleId) {
  std::string id = bundleId ? bundleId : "";
  if (IsAUv3AppExtensionBundleID(bundleId)) id += "Framework";
  const std::string bundle = isOwnBundle(id.c_str()) ? bundleFolder() : std::string();
  path.Set(bundle.empty() ? "" : (bundle + "/Contents/Resources").c_str());
}

bool IsAUv3AppExtensionBundleID(const char* bundleId) {
  return bundleId != nullptr && std::strstr(bundleId, ".AUv3") != nullptr;
}

void INIPath(StringBuf& path, const char* pluginName) {
  AppSupportPath(path, false);
  path.AppendFormatted(1024, "/%s", pluginName ? pluginName : "");
}

bool GetResourcePathFromBundle(const char* fileName, const char* type, StringBuf& path, const char* bundleId) {
  StringBuf resources;
  BundleResourcePath(resources, bundleId);
  const std::string stem = fileName ? stripExtension(fileName) : std::string();
  if (!resources.Empty() && !stem.empty() && fileName && typeMatches(fileName, type)) {
    const std::string candidate = std::string(resources.Get()) + "/" + stem + "." + type;
    if (fileExists(candidate)) {
      path.Set(candidate.c_str());
      return true;
    }
  }
  path.Set("");
  return false;
}

bool GetResourcePathFromSharedLocation(const char* fileName, const char* type, StringBuf& path,
                                       const char* sharedResourcesSubPath) {
  if (fileName != nullptr && sharedResourcesSubPath != nullptr && *sharedResourcesSubPath != '\0' &&
      typeMatches(fileName, type)) {
    std::string last = fileName;
    const size_t slash = last.find_last_of('/');
    if (slash != std::string::npos) last = last.substr(slash + 1);
    const std::string stem = stripExtension(last);
    if (!stem.empty()) {
      StringBuf music;
      SharedMusicPath(music);
      const std::string candidate =
          std::string(music.Get()) + "/" + sharedResourcesSubPath + "/Resources/" + stem + "." + type;
      if (fileExists(candidate)) {
        path.Set(candidate.c_str());
        return true;
      }
    }
  }
  path.Set("");
  return false;
}

EResourceLocation LocateResource(const char* fileName, const char* type, StringBuf& path, const char* bundleId,
                                 void* platformContext, const char* sharedResourcesSubPath) {
  if (fileName == nullptr || *fileName == '\0') return kNotFound;
  if (GetResourcePathFromBundle(fileName, type, path, bundleId)) return kAbsolutePath;
  if (GetResourcePathFromSharedLocation(fileName, type, path, sharedResourcesSubPath)) return kAbsolutePath;
  if (fileExists(fileName)) {
    path.Set(fileName);
    return kAbsolutePath;
  }
  return kNotFound;
}

}  // namespace plugkit
