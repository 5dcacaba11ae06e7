#pragma once
// Platform-neutral description of a popup menu: a title, items (each with text, flags,
// a tag and an optional owned submenu), the index of the chosen item and a completion
// function run when the menu closes.
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace plugkit::canvas {

class IPopupMenu {
public:
  class Item {
  public:
    enum Flags : int { kNoFlags = 0, kDisabled = 1, kTitle = 2, kChecked = 4, kSeparator = 8 };

    explicit Item(const char* text, int flags = kNoFlags, int tag = -1);
    // Takes ownership of the submenu.
    Item(const char* text, IPopupMenu* submenu);
    ~Item();
    Item(const Item&) = delete;
    Item& operator=(const Item&) = delete;

    const char* GetText() const { return mText.c_str(); }
    void SetText(const char* text) { mText = text != nullptr ? text : ""; }
    bool GetHasText() const { return !mText.empty(); }

    int GetFlags() const { return mFlags; }
    void SetFlags(int flags) { mFlags = flags; }
    bool GetEnabled() const { return (mFlags & kDisabled) == 0; }
    bool GetChecked() const { return (mFlags & kChecked) != 0; }
    bool GetIsTitle() const { return (mFlags & kTitle) != 0; }
    bool GetIsSeparator() const { return (mFlags & kSeparator) != 0; }
    void SetEnabled(bool enabled) { setFlag(kDisabled, !enabled); }
    void SetChecked(bool checked) { setFlag(kChecked, checked); }
    void SetTitle(bool title) { setFlag(kTitle, title); }

    int GetTag() const { return mTag; }
    void SetTag(int tag) { mTag = tag; }

    IPopupMenu* GetSubmenu() const { return mSubmenu.get(); }
    // Replaces (and deletes) the current submenu; takes ownership of the new one.
    void SetSubmenu(IPopupMenu* submenu);

  private:
    void setFlag(int flag, bool on) { mFlags = on ? (mFlags | flag) : (mFlags & ~flag); }

    std::string mText;
    std::unique_ptr<IPopupMenu> mSubmenu;
    int mFlags = kNoFlags;
    int mTag = -1;
  };

  using CompletionFunc = std::function<void(IPopupMenu*)>;

  explicit IPopupMenu(const char* rootTitle = "", int prefix = 0, bool multiCheck = false,
                      std::initializer_list<const char*> items = {});
  ~IPopupMenu();
  IPopupMenu(const IPopupMenu&) = delete;
  IPopupMenu& operator=(const IPopupMenu&) = delete;

  // Inserts at index: -1 appends, -2 sorts by case-insensitive text (in front of an equal
  // item), 0 or more inserts before min(index, count), any other negative inserts first.
  // The menu owns the item from here; a null item is ignored and gives null.
  Item* AddItem(Item* item, int index = -1);
  Item* AddItem(const char* text, int index = -1, int itemFlags = Item::kNoFlags);
  // An item that opens the submenu (the menu takes ownership). When this menu has a
  // completion function, the submenu gets a copy of it first.
  Item* AddItem(const char* text, int index, IPopupMenu* submenu);
  Item* AddItem(const char* text, IPopupMenu* submenu, int index = -1);
  Item* AddSeparator(int index = -1);

  // Deletes the item at index with its submenu; out of range does nothing.
  void RemoveItem(int index);
  // Deletes every item; the title, prefix, chosen index and completion stay.
  void RemoveAllItems();
  // Empties the menu for reuse: no items, chosen index -1, no prefix, no multiple checks,
  // the given title. The completion function stays.
  void Reset(const char* rootTitle = "");

  int NItems() const { return static_cast<int>(mItems.size()); }
  Item* GetItem(int index) const;
  int GetIndexOf(const Item* item) const;
  const char* GetItemText(int index) const;

  int GetChosenItemIdx() const { return mChosenItemIdx; }
  void SetChosenItemIdx(int index) { mChosenItemIdx = index; }
  Item* GetChosenItem() const { return GetItem(mChosenItemIdx); }

  const char* GetRootTitle() const { return mRootTitle.c_str(); }
  void SetRootTitle(const char* title) { mRootTitle = title != nullptr ? title : ""; }
  int GetPrefix() const { return mPrefix; }
  void SetPrefix(int prefix) { mPrefix = prefix; }
  bool GetMultiCheck() const { return mMultiCheck; }
  void SetMultiCheck(bool multi) { mMultiCheck = multi; }

  void SetFunction(CompletionFunc func) { mFunc = std::move(func); }
  const CompletionFunc& GetFunction() const { return mFunc; }
  void ExecFunction() {
    if (mFunc) mFunc(this);
  }

  // Unchecks every item of the tree below this menu and checks the given one.
  void CheckItemAlone(const Item* item);
  // Removes (and deletes) the items of this menu, one level, whose submenu has no items.
  void RemoveEmptySubmenus();

  bool IsItemChecked(int index) const;
  void CheckItem(int index, bool checked);
  void SetItemEnabled(int index, bool enabled);

private:
  int insertionIndex(const Item& item, int index) const;

  int mPrefix = 0;
  int mChosenItemIdx = -1;
  bool mMultiCheck = false;
  std::vector<std::unique_ptr<Item>> mItems;
  CompletionFunc mFunc;
  std::string mRootTitle;
};

}  // namespace plugkit::canvas
