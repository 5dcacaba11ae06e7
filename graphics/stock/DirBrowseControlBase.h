#pragma once
// IDirBrowseControlBase: one or more folders turned into a popup menu of the files in them
// with a chosen extension (one submenu per subfolder, alphabetical), and a flat list of the
// file items in menu order, so a control can step through the files or show the one
// selected. DirScan is the small folder reader under it.
//
// A file is listed when it is a regular file (or a link to one) whose name does not begin
// with "." and ends with the extension, which must not start at its first character
// (byte-exact, case-sensitive). Without extensions shown the item text is the name up to
// the extension: "a.wav" is "a", "b.wav.wav" is "b.wav". Each item's tag is the index of its
// full path in the files list. One scan enters each folder (by device and inode) at most
// once, so links between folders cost no more than the folders themselves: a folder's own
// subfolders are claimed before any of them is scanned, then the links in it to folders
// not yet claimed; a link to a folder entered or claimed elsewhere (up the tree, a
// sibling, a cycle) is left out.
//
// Main thread only. Nothing here fails: a folder that cannot be read adds nothing, an
// unknown path selects nothing.
#include <dirent.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "framework/StringBuf.h"
#include "graphics/IContainerBase.h"
#include "graphics/IPopupMenu.h"

namespace plugkit::canvas {

class DirScan {
public:
  DirScan() = default;
  ~DirScan();
  DirScan(const DirScan&) = delete;
  DirScan& operator=(const DirScan&) = delete;

  // Opens the folder (a trailing separator removed; "/" stays) and reads its first entry:
  // 0 when there is one, 1 when the folder cannot be opened or is empty, -1 for an empty path.
  int First(const char* dir);
  // The next entry: false at the end.
  bool Next();
  // 0: no entry or not a folder; 1: a folder; 2: a link to a folder; 4: a link to the
  // scanned folder or one of its ancestors.
  int GetCurrentIsDirectory() const;
  // The scanned path, "/" and the entry's name.
  void GetCurrentFullFN(StringBuf& out) const;
  const char* GetCurrentName() const;

private:
  void close();

  DIR* mDir = nullptr;
  struct dirent* mEntry = nullptr;
  std::string mPath;
};

class IDirBrowseControlBase : public IContainerBase {
public:
  // extension: the ending to accept, dot included (".wav").
  IDirBrowseControlBase(const IRECT& bounds, const char* extension, bool showFileExtensions = true,
                        bool scanRecursively = true, bool showEmptySubmenus = false);

  void AddPath(const char* path, const char* label);
  // Forgets paths, labels, files and items.
  void ClearPathList();
  // Rebuilds the main menu from the paths: one path scanned straight into it, several
  // each into a submenu named by its label.
  void SetupMenu();
  void ScanDirectory(const char* path, IPopupMenu& menu);
  // Appends every item without a submenu, depth first in menu order.
  void CollectSortedItems(IPopupMenu* menu);

  // Selects the item of the file with exactly this path: its position, or -1.
  int SetSelectedFile(const char* path);
  void GetSelectedFile(StringBuf& path) const;
  // Checks the selected item alone in the whole menu; nothing without a selection.
  void CheckSelectedItem();
  int NItems() const { return static_cast<int>(mItems.size()); }

  IPopupMenu& GetMainMenu() { return mMainMenu; }
  int GetSelectedItemIdx() const { return mSelectedItemIndex; }
  IPopupMenu::Item* GetItem(int idx) const;
  int NFiles() const { return static_cast<int>(mFiles.size()); }
  const char* GetFile(int idx) const;

protected:
  bool mScanRecursively;
  bool mShowFileExtensions;
  bool mShowEmptySubmenus;
  int mSelectedItemIndex = -1;
  IPopupMenu mMainMenu;
  std::vector<std::string> mPaths;
  std::vector<std::string> mPathLabels;
  std::vector<std::string> mFiles;
  std::vector<IPopupMenu::Item*> mItems;
  std::string mExtension;

private:
  using FolderId = std::pair<unsigned long long, unsigned long long>;  // device and inode
  void scanDirectory(const std::string& path, IPopupMenu& menu, std::set<FolderId>& claimed);
};

}  // namespace plugkit::canvas
