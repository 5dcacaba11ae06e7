// Linux bodies of the platform's folders: the user's home (HOME, else the password
// database), the XDG user and data folders, the host's executable and this module's own
// file (dladdr). There are no app sandboxes, XPC hosts or app extensions here.
#include "framework/Paths.h"

#include <dlfcn.h>
#include <pwd.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace plugkit {

namespace {

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

}  // namespace

namespace detail {

void ResolveModuleFilePath(StringBuf& path) {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ResolveModuleFilePath), &info) == 0 || info.dli_fname == nullptr) {
    path.Set("");
    return;
  }
  char resolved[PATH_MAX];
  path.Set(realpath(info.dli_fname, resolved) != nullptr ? resolved : info.dli_fname);
}

}  // namespace detail

void HostPath(StringBuf& path, const char* bundleId) {
  if (bundleId == nullptr) return;
  char resolved[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", resolved, sizeof(resolved) - 1);
  if (n <= 0) return;
  resolved[n] = '\0';
  path.Set(resolved);
}

void DesktopPath(StringBuf& path) { path.Set(userDir("XDG_DESKTOP_DIR", "Desktop").c_str()); }

void UserHomePath(StringBuf& path) { path.Set(homeFolder().c_str()); }

void VST3PresetsPath(StringBuf& path, const char* makerName, const char* pluginName, bool isSystem) {
  const std::string root = isSystem ? std::string("/usr/share/vst3/presets") : homeFolder() + "/.vst3/presets";
  path.SetFormatted(1024, "%s/%s/%s/", root.c_str(), makerName ? makerName : "", pluginName ? pluginName : "");
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

// Linux has no app sandbox containers, XPC audio-unit hosts or app extensions.
bool AppIsSandboxed() { return false; }
bool IsXPCAuHost() { return false; }
bool IsOOPAuv3AppExtension() { return false; }

}  // namespace plugkit
