#include "framework/Paths.h"

#include <dlfcn.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

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

std::string resolvedModulePath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ModuleFilePath), &info) == 0 || info.dli_fname == nullptr) return {};
  char resolved[PATH_MAX];
  if (realpath(info.dli_fname, resolved) == nullptr) return info.dli_fname;
  return resolved;
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

std::string homeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return home;
  struct passwd pw {};
  struct passwd* result = nullptr;
  std::vector<char> buffer(16384);
  if (getpwuid_r(getuid(), &pw, buffer.data(), buffer.size(), &result) == 0 && result != nullptr &&
      result->pw_dir != nullptr)
    return result->pw_dir;
  return "/";
}

std::string stripTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// A folder named in ~/.config/user-dirs.dirs (XDG_DESKTOP_DIR, XDG_MUSIC_DIR), else $HOME/<fallback>.
std::string userDir(const char* key, const char* fallback) {
  const std::string home = homeFolder();
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  const std::string config = (configHome != nullptr && configHome[0] == '/') ? configHome : home + "/.config";
  std::ifstream in(config + "/user-dirs.dirs");
  std::string line;
  const std::string prefix = std::string(key) + "=";
  while (std::getline(in, line)) {
    if (line.compare(0, prefix.size(), prefix) != 0) continue;
    std::string value = line.substr(prefix.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    if (value.compare(0, 5, "$HOME") == 0) value = home + value.substr(5);
    if (!value.empty() && value[0] == '/') return stripTrailingSlashes(value);
  }
  return home + "/" + fallback;
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
  static const std::string resolved = resolvedModulePath();
  std::lock_guard<std::mutex> lock(pathsMutex());
  return modulePathOverride().empty() ? resolved.c_str() : modulePathOverride().c_str();
}

void SetModuleFilePathForTesting(const char* path) {
  std::lock_guard<std::mutex> lock(pathsMutex());
  modulePathOverride() = path ? path : "";
}

void HostPath(StringBuf& path, const char* bundleId) {
  if (bundleId == nullptr) return;
  char resolved[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", resolved, sizeof(resolved) - 1);
  if (n <= 0) return;
  resolved[n] = '\0';
  path.Set(resolved);
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

void DesktopPath(StringBuf& path) { path.Set(userDir("XDG_DESKTOP_DIR", "Desktop").c_str()); }

void UserHomePath(StringBuf& path) { path.Set(homeFolder().c_str()); }

void VST3PresetsPath(StringBuf& path, const char* makerName, const char* pluginName, bool isSystem) {
  const std::string root = isSystem ? std::string("/usr/share/vst3/presets") : homeFolder() + "/.vst3/presets";
  path.SetFormatted(1024, "%s/%s/%s/", root.c_str(), makerName ? makerName : "", pluginName ? pluginName : "");
}

void INIPath(StringBuf& path, const char* pluginName) {
  AppSupportPath(path, false);
  path.AppendFormatted(1024, "/%s", pluginName ? pluginName : "");
}

void AppSupportPath(StringBuf& path, bool isSystem) {
  if (isSystem) {
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::string first = (dirs != nullptr && *dirs != '\0') ? std::string(dirs).substr(0, std::strcspn(dirs, ":"))
                                                           : std::string("/usr/local/share");
    if (first.empty() || first[0] != '/') first = "/usr/local/share";
    path.Set(stripTrailingSlashes(first).c_str());
    return;
  }
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome != nullptr && dataHome[0] == '/') {
    path.Set(stripTrailingSlashes(dataHome).c_str());
    return;
  }
  path.Set(stripTrailingSlashes(homeFolder() + "/.local/share").c_str());
}

void AppGroupContainerPath(StringBuf& path, const char* appGroupId) { path.Set(""); }

void SharedMusicPath(StringBuf& path) { path.Set(userDir("XDG_MUSIC_DIR", "Music").c_str()); }

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

// Linux has no app sandbox containers, XPC audio-unit hosts or app extensions.
bool AppIsSandboxed() { return false; }
bool IsXPCAuHost() { return false; }
bool IsOOPAuv3AppExtension() { return false; }

}  // namespace plugkit
