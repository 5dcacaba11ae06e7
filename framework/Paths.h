#pragma once
// Where things are on disk: the user's and the system's standard folders, this module's
// bundle and its resources, and resource files searched by name and type. Any thread;
// nothing raises: a folder that cannot be found answers empty (or unchanged) text.
//
// Only the module's own bundle (registered with RegisterOwnBundle) can be found by its
// identifier; any other identifier counts as a missing bundle.
//
// Paths.cpp holds what every platform shares; the platform's folders and the module's
// own path are in Paths_<platform>.cpp (Paths_linux.cpp: XDG folders, dladdr, passwd).
#include "framework/StringBuf.h"

namespace plugkit {

enum EResourceLocation { kNotFound = 0, kAbsolutePath = 1 };

// Records this module's bundle identifier (done by the plug-in base at construction).
void RegisterOwnBundle(const char* bundleId);
// The full path of this module's shared object, resolved once (dladdr + realpath).
const char* ModuleFilePath();
// Replaces the module path (tests place a copied bundle; the empty text restores the real one).
void SetModuleFilePathForTesting(const char* path);

void HostPath(StringBuf& path, const char* bundleId);
void PluginPath(StringBuf& path, const char* bundleId);
void BundleResourcePath(StringBuf& path, const char* bundleId);
bool IsAUv3AppExtensionBundleID(const char* bundleId);
void DesktopPath(StringBuf& path);
void UserHomePath(StringBuf& path);
void VST3PresetsPath(StringBuf& path, const char* makerName, const char* pluginName, bool isSystem);
void INIPath(StringBuf& path, const char* pluginName);
void AppSupportPath(StringBuf& path, bool isSystem = false);
void AppGroupContainerPath(StringBuf& path, const char* appGroupId);
void SharedMusicPath(StringBuf& path);

bool GetResourcePathFromBundle(const char* fileName, const char* type, StringBuf& path, const char* bundleId);
bool GetResourcePathFromSharedLocation(const char* fileName, const char* type, StringBuf& path,
                                       const char* sharedResourcesSubPath);
EResourceLocation LocateResource(const char* fileName, const char* type, StringBuf& path, const char* bundleId,
                                 void* platformContext, const char* sharedResourcesSubPath);

bool AppIsSandboxed();
bool IsXPCAuHost();
bool IsOOPAuv3AppExtension();

namespace detail {
// The platform's body behind ModuleFilePath: this module's file, resolved (empty text
// when it cannot be found).
void ResolveModuleFilePath(StringBuf& path);
}  // namespace detail

}  // namespace plugkit
