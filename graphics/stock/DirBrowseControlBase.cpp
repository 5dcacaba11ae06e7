#include "graphics/stock/DirBrowseControlBase.h"

#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace plugkit::canvas {

namespace {

// The canonical form of a path (links resolved), or empty when it does not resolve.
std::string resolved(const std::string& path) {
  char buf[PATH_MAX];
  return ::realpath(path.c_str(), buf) != nullptr ? std::string(buf) : std::string();
}

// Whether ancestor is path itself or one of its parent folders, case aside.
bool isSelfOrAncestor(const std::string& ancestor, const std::string& path) {
  if (ancestor.empty() || ancestor.size() > path.size()) return false;
  if (::strncasecmp(ancestor.c_str(), path.c_str(), ancestor.size()) != 0) return false;
  return ancestor.size() == path.size() || path[ancestor.size()] == '/' || ancestor == "/";
}

}  // namespace

// ---------------------------------------------------------------------------------------
// DirScan

DirScan::~DirScan() { close(); }

void DirScan::close() {
  if (mDir != nullptr) ::closedir(mDir);
  mDir = nullptr;
  mEntry = nullptr;
}

int DirScan::First(const char* dir) {
  if (dir == nullptr || dir[0] == '\0') return -1;
  close();
  mPath = dir;
  while (!mPath.empty() && (mPath.back() == '/' || mPath.back() == '\\')) mPath.pop_back();
  if (mPath.empty()) mPath = "/";
  mDir = ::opendir(mPath.c_str());
  if (mDir == nullptr) return 1;
  return Next() ? 0 : 1;
}

bool DirScan::Next() {
  mEntry = mDir != nullptr ? ::readdir(mDir) : nullptr;
  return mEntry != nullptr;
}

const char* DirScan::GetCurrentName() const { return mEntry != nullptr ? mEntry->d_name : ""; }

void DirScan::GetCurrentFullFN(StringBuf& out) const {
  out.Set(mPath.c_str());
  if (mPath != "/") out.Append("/");
  out.Append(GetCurrentName());
}

int DirScan::GetCurrentIsDirectory() const {
  if (mEntry == nullptr) return 0;
  StringBuf full;
  GetCurrentFullFN(full);
  struct stat st;
  switch (mEntry->d_type) {
    case DT_DIR: return 1;
    case DT_LNK: {
      if (::stat(full.Get(), &st) != 0 || !S_ISDIR(st.st_mode)) return 0;
      return isSelfOrAncestor(resolved(full.Get()), resolved(mPath)) ? 4 : 2;
    }
    case DT_UNKNOWN: {
      // The file system did not say: ask it about the entry itself, then its target.
      if (::lstat(full.Get(), &st) != 0) return 0;
      if (S_ISDIR(st.st_mode)) return 1;
      if (!S_ISLNK(st.st_mode) || ::stat(full.Get(), &st) != 0 || !S_ISDIR(st.st_mode)) return 0;
      return isSelfOrAncestor(resolved(full.Get()), resolved(mPath)) ? 4 : 2;
    }
    default: return 0;
  }
}

// ---------------------------------------------------------------------------------------
// The browser base

IDirBrowseControlBase::IDirBrowseControlBase(const IRECT& bounds, const char* extension, bool showFileExtensions,
                                             bool scanRecursively, bool showEmptySubmenus)
    : IContainerBase(bounds),
      mScanRecursively(scanRecursively),
      mShowFileExtensions(showFileExtensions),
      mShowEmptySubmenus(showEmptySubmenus),
      mExtension(extension != nullptr ? extension : "") {}

void IDirBrowseControlBase::AddPath(const char* path, const char* label) {
  mPaths.emplace_back(path != nullptr ? path : "");
  mPathLabels.emplace_back(label != nullptr ? label : "");
}

void IDirBrowseControlBase::ClearPathList() {
  mPaths.clear();
  mPathLabels.clear();
  mFiles.clear();
  mItems.clear();
  mSelectedItemIndex = -1;
}

IPopupMenu::Item* IDirBrowseControlBase::GetItem(int idx) const {
  return idx >= 0 && idx < NItems() ? mItems[static_cast<size_t>(idx)] : nullptr;
}

const char* IDirBrowseControlBase::GetFile(int idx) const {
  return idx >= 0 && idx < NFiles() ? mFiles[static_cast<size_t>(idx)].c_str() : "";
}

void IDirBrowseControlBase::SetupMenu() {
  mFiles.clear();
  mItems.clear();
  mMainMenu.RemoveAllItems();
  mMainMenu.SetChosenItemIdx(-1);
  mSelectedItemIndex = -1;
  if (mPaths.size() == 1) {
    ScanDirectory(mPaths[0].c_str(), mMainMenu);
  } else {
    for (size_t i = 0; i < mPaths.size(); ++i) {
      auto* submenu = new IPopupMenu();
      mMainMenu.AddItem(mPathLabels[i].c_str(), static_cast<int>(i), submenu);
      ScanDirectory(mPaths[i].c_str(), *submenu);
    }
  }
  CollectSortedItems(&mMainMenu);
}

void IDirBrowseControlBase::ScanDirectory(const char* path, IPopupMenu& menu) {
  const std::string root = path != nullptr ? path : "";
  struct stat st;
  if (::stat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
  std::set<FolderId> claimed{FolderId(st.st_dev, st.st_ino)};
  scanDirectory(root, menu, claimed);
}

void IDirBrowseControlBase::scanDirectory(const std::string& path, IPopupMenu& menu, std::set<FolderId>& claimed) {
  struct Entry {
    std::string name, full;
    int folder;         // as DirScan reports it
    bool enter = false;  // a folder this scan enters from here
  };
  std::vector<Entry> entries;
  DirScan scan;
  if (scan.First(path.c_str()) == 0) {
    do {
      std::string name = scan.GetCurrentName();
      if (name.empty() || name[0] == '.') continue;
      StringBuf full;
      scan.GetCurrentFullFN(full);
      entries.push_back({std::move(name), full.Get(), scan.GetCurrentIsDirectory()});
    } while (scan.Next());
  }

  if (mScanRecursively) {
    // This folder's own subfolders first, then its links to folders nobody claimed yet; a
    // link back up the tree (4) never.
    for (int kind : {1, 2}) {
      for (Entry& e : entries) {
        if (e.folder != kind) continue;
        struct stat sub;
        if (::stat(e.full.c_str(), &sub) != 0 || !S_ISDIR(sub.st_mode)) continue;
        e.enter = claimed.emplace(sub.st_dev, sub.st_ino).second;
      }
    }
  }

  for (const Entry& e : entries) {
    if (mScanRecursively && e.folder != 0) {
      if (!e.enter) continue;
      auto* submenu = new IPopupMenu();
      menu.AddItem(e.name.c_str(), -2, submenu);
      scanDirectory(e.full, *submenu, claimed);
      continue;
    }

    if (mExtension.empty()) continue;
    const size_t at = e.name.rfind(mExtension);
    if (at == std::string::npos || at == 0 || at + mExtension.size() != e.name.size()) continue;
    // Regular files and links to them only: not a folder, a pipe or a device so named.
    struct stat file;
    if (::stat(e.full.c_str(), &file) != 0 || !S_ISREG(file.st_mode)) continue;
    const std::string text = mShowFileExtensions ? e.name : e.name.substr(0, at);
    menu.AddItem(new IPopupMenu::Item(text.c_str(), IPopupMenu::Item::kNoFlags, NFiles()), -2);
    mFiles.emplace_back(e.full);
  }
  if (!mShowEmptySubmenus) menu.RemoveEmptySubmenus();
}

void IDirBrowseControlBase::CollectSortedItems(IPopupMenu* menu) {
  if (menu == nullptr) return;
  for (int i = 0; i < menu->NItems(); ++i) {
    IPopupMenu::Item* item = menu->GetItem(i);
    if (item->GetSubmenu() != nullptr)
      CollectSortedItems(item->GetSubmenu());
    else
      mItems.push_back(item);
  }
}

int IDirBrowseControlBase::SetSelectedFile(const char* path) {
  mSelectedItemIndex = -1;
  if (path == nullptr) return -1;
  for (int i = 0; i < NItems(); ++i) {
    const int tag = mItems[static_cast<size_t>(i)]->GetTag();
    if (tag >= 0 && tag < NFiles() && mFiles[static_cast<size_t>(tag)] == path) {
      mSelectedItemIndex = i;
      break;
    }
  }
  return mSelectedItemIndex;
}

void IDirBrowseControlBase::GetSelectedFile(StringBuf& path) const {
  const IPopupMenu::Item* item = GetItem(mSelectedItemIndex);
  path.Set(item != nullptr ? GetFile(item->GetTag()) : "");
}

void IDirBrowseControlBase::CheckSelectedItem() {
  if (const IPopupMenu::Item* item = GetItem(mSelectedItemIndex)) mMainMenu.CheckItemAlone(item);
}

}  // namespace plugkit::canvas
