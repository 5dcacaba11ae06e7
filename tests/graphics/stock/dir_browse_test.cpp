// The directory browser base on temporary folder trees: which files are listed and under
// which names, submenus per folder and per path, the item list in menu order with tags
// that index the files, selection, folders that cannot be read, and links that lead back
// up the tree.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "graphics/stock/DirBrowseControlBase.h"
#include "tests/support/temp_dir.h"

using namespace plugkit::canvas;
namespace fs = std::filesystem;

namespace {

class Browser : public IDirBrowseControlBase {
public:
  using IDirBrowseControlBase::IDirBrowseControlBase;
  void Draw(ICanvas&) override {}
};

// The menu as text: items separated by ", ", a submenu as "name [ ... ]".
std::string outline(const IPopupMenu& menu) {
  std::string out;
  for (int i = 0; i < menu.NItems(); ++i) {
    if (i > 0) out += ", ";
    const IPopupMenu::Item* item = menu.GetItem(i);
    out += item->GetText();
    if (item->GetSubmenu() != nullptr) out += " [" + outline(*item->GetSubmenu()) + "]";
  }
  return out;
}

std::vector<std::string> itemTexts(const Browser& b) {
  std::vector<std::string> out;
  for (int i = 0; i < b.NItems(); ++i) out.emplace_back(b.GetItem(i)->GetText());
  return out;
}

class DirBrowseTest : public ::testing::Test {
protected:
  void file(const std::string& rel) { ASSERT_TRUE(sp::test::writeFile(dir / rel, "x")); }
  void folder(const std::string& rel) { fs::create_directories(dir / rel); }
  void link(const std::string& rel, const std::string& target) { fs::create_directory_symlink(target, dir / rel); }

  // Every item's tag names the file the item stands for.
  void expectTagsIndexFiles(const Browser& b) {
    for (int i = 0; i < b.NItems(); ++i) {
      const IPopupMenu::Item* item = b.GetItem(i);
      const std::string path = b.GetFile(item->GetTag());
      EXPECT_EQ(fs::path(path).filename().string().rfind(item->GetText(), 0), 0u) << item->GetText() << " vs " << path;
      EXPECT_TRUE(fs::is_regular_file(path)) << path;
    }
  }

  sp::test::TempDir dir;
};

}  // namespace

TEST_F(DirBrowseTest, OnlyRegularFilesEndingInTheExtensionAreListedAndTheExtensionHidden) {
  for (const char* name : {"a.wav", "b.wav.wav", ".wav", "a.wav.txt", "A.WAV", "c.wa"}) file(name);
  folder("x.wav");
  ASSERT_EQ(::mkfifo((dir / "y.wav").c_str(), 0600), 0);
  fs::create_symlink(dir / "a.wav", dir / "l.wav");
  fs::create_symlink(dir / "missing", dir / "broken.wav");

  Browser b(IRECT(), ".wav", false, false);
  b.AddPath(dir.path().c_str(), "");
  b.SetupMenu();
  EXPECT_EQ(outline(b.GetMainMenu()), "a, b.wav, l");
  EXPECT_EQ(b.NItems(), 3);
  expectTagsIndexFiles(b);

  Browser shown(IRECT(), ".wav", true, false);
  shown.AddPath(dir.path().c_str(), "");
  shown.SetupMenu();
  EXPECT_EQ(outline(shown.GetMainMenu()), "a.wav, b.wav.wav, l.wav");
}

TEST_F(DirBrowseTest, RecursionMakesASubmenuPerFolderAndDropsEmptyOnes) {
  file("a.wav");
  file("b.wav.wav");
  file("Sub/c.wav");
  folder("Empty");
  file("Sub2/x.txt");
  file("Deep/Deeper/Empty2/none.txt");

  Browser b(IRECT(), ".wav", false, true);
  b.AddPath(dir.path().c_str(), "");
  b.SetupMenu();
  EXPECT_EQ(outline(b.GetMainMenu()), "a, b.wav, Sub [c]");
  EXPECT_EQ(itemTexts(b), (std::vector<std::string>{"a", "b.wav", "c"}));
  expectTagsIndexFiles(b);

  Browser keep(IRECT(), ".wav", false, true, true);
  keep.AddPath(dir.path().c_str(), "");
  keep.SetupMenu();
  EXPECT_EQ(outline(keep.GetMainMenu()), "a, b.wav, Deep [Deeper [Empty2 []]], Empty [], Sub [c], Sub2 []");
}

TEST_F(DirBrowseTest, FilesInASubfolderTakeItsPlaceInTheItemList) {
  file("a.wav");
  file("m/m1.wav");
  file("m/m2.wav");
  file("z.wav");
  Browser b(IRECT(), ".wav", false, true);
  b.AddPath(dir.path().c_str(), "");
  b.SetupMenu();
  EXPECT_EQ(itemTexts(b), (std::vector<std::string>{"a", "m1", "m2", "z"}));
  expectTagsIndexFiles(b);
}

TEST_F(DirBrowseTest, SeveralPathsGetASubmenuEachInTheOrderAdded) {
  file("one/b.wav");
  file("two/a.wav");
  Browser b(IRECT(), ".wav", false, true);
  b.AddPath((dir / "two").c_str(), "Second");
  b.AddPath((dir / "one").c_str(), "First");
  b.AddPath((dir / "missing").c_str(), "Gone");
  b.SetupMenu();
  // The per-path submenus stay, even when empty.
  EXPECT_EQ(outline(b.GetMainMenu()), "Second [a], First [b], Gone []");
  EXPECT_EQ(itemTexts(b), (std::vector<std::string>{"a", "b"}));
  expectTagsIndexFiles(b);

  b.ClearPathList();
  EXPECT_EQ(b.NItems(), 0);
  b.SetupMenu();
  EXPECT_EQ(b.GetMainMenu().NItems(), 0);
}

TEST_F(DirBrowseTest, LinksBackUpTheTreeAndCyclesOfLinksEndTheScan) {
  file("Sub/c.wav");
  link("Sub/up", "..");
  file("A/a.wav");
  file("B/b.wav");
  link("A/toB", "../B");
  link("B/toA", "../A");

  Browser b(IRECT(), ".wav", false, true);
  b.AddPath(dir.path().c_str(), "");
  b.SetupMenu();
  // A and B are entered once each, as the root's own folders; their links to each other
  // lead to folders already claimed.
  EXPECT_EQ(outline(b.GetMainMenu()), "A [a], B [b], Sub [c]");
  expectTagsIndexFiles(b);
}

int countSubmenus(const IPopupMenu& menu) {
  int n = 0;
  for (int i = 0; i < menu.NItems(); ++i)
    if (const IPopupMenu* sub = menu.GetItem(i)->GetSubmenu()) n += 1 + countSubmenus(*sub);
  return n;
}

TEST_F(DirBrowseTest, SiblingFoldersLinkedToEachOtherAreEachEnteredOnce) {
  // Seven folders, each linking to the six others: every order of descent would be a
  // different path through them.
  const int n = 7;
  for (int i = 0; i < n; ++i) {
    const std::string name = "F" + std::to_string(i);
    file(name + "/f" + std::to_string(i) + ".wav");
    for (int j = 0; j < n; ++j)
      if (j != i) link(name + "/to" + std::to_string(j), "../F" + std::to_string(j));
  }
  // And one link from outside the mesh into it, met before the folder itself.
  link("E", "F3");

  Browser b(IRECT(), ".wav", false, true);
  b.AddPath(dir.path().c_str(), "");
  b.SetupMenu();
  EXPECT_EQ(outline(b.GetMainMenu()), "F0 [f0], F1 [f1], F2 [f2], F3 [f3], F4 [f4], F5 [f5], F6 [f6]");
  EXPECT_EQ(countSubmenus(b.GetMainMenu()), n);
  EXPECT_EQ(b.NItems(), n);
  expectTagsIndexFiles(b);
}

TEST_F(DirBrowseTest, SelectionFindsTheItemOfAFile) {
  file("a.wav");
  file("m/m1.wav");
  file("z.wav");
  Browser b(IRECT(), ".wav", false, true);
  b.AddPath(dir.path().c_str(), "");
  b.SetupMenu();
  const std::string m1 = (dir / "m/m1.wav").string();
  EXPECT_EQ(b.SetSelectedFile(m1.c_str()), 1);
  StringBuf selected;
  b.GetSelectedFile(selected);
  EXPECT_STREQ(selected.Get(), m1.c_str());
  b.CheckSelectedItem();
  EXPECT_TRUE(b.GetItem(1)->GetChecked());
  EXPECT_FALSE(b.GetItem(0)->GetChecked());

  EXPECT_EQ(b.SetSelectedFile((dir / "nothing.wav").c_str()), -1);
  b.GetSelectedFile(selected);
  EXPECT_STREQ(selected.Get(), "");
  b.CheckSelectedItem();  // nothing selected: nothing changes
  EXPECT_TRUE(b.GetItem(1)->GetChecked());
}

TEST_F(DirBrowseTest, DirScanReportsEntriesAndWhatTheyAre) {
  DirScan scan;
  EXPECT_EQ(scan.First(""), -1);
  EXPECT_EQ(scan.First((dir / "missing").c_str()), 1);
  folder("Inner");
  link("Inner/self", ".");
  link("Inner/parent", "..");
  folder("Other");
  link("Inner/other", "../Other");
  file("Inner/f.txt");
  ASSERT_EQ(scan.First(((dir / "Inner").string() + "/").c_str()), 0);
  std::vector<std::string> seen;
  do {
    const std::string name = scan.GetCurrentName();
    if (name == "." || name == "..") continue;
    StringBuf full;
    scan.GetCurrentFullFN(full);
    EXPECT_EQ(std::string(full.Get()), (dir / "Inner" / name).string());
    seen.push_back(name + "=" + std::to_string(scan.GetCurrentIsDirectory()));
  } while (scan.Next());
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, (std::vector<std::string>{"f.txt=0", "other=2", "parent=4", "self=4"}));
  EXPECT_EQ(scan.GetCurrentIsDirectory(), 0);  // past the last entry
}
