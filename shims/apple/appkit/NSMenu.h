#pragma once
// The AppKit stand-in's menus: items with a title, an action sent to a target, a submenu,
// an indentation level, an enabled flag and a state; a menu pops up modally at a location
// in a view and is answered by the application's script (an index path down through
// submenus, or dismissal); the shown tree is recorded in the script. Main thread only.
#include <string>
#include <vector>

#include "shims/apple/appkit/AppKitTypes.h"

class NSMenu;
class NSView;

enum : NSInteger { NSControlStateValueOff = 0, NSControlStateValueOn = 1 };

class NSMenuItem : public NSObject {
public:
  static NSPtr<NSMenuItem> separatorItem();
  NSMenuItem(std::string title, SEL action, std::string keyEquivalent);

  const std::string& title() const { return mTitle; }
  void setTitle(std::string title) { mTitle = std::move(title); }
  bool isSeparatorItem() const { return mSeparator; }
  const SEL& action() const { return mAction; }
  void setAction(SEL action) { mAction = std::move(action); }
  const std::string& keyEquivalent() const { return mKeyEquivalent; }
  // Not retained (Cocoa's targets are weak).
  NSObject* target() const { return mTarget; }
  void setTarget(NSObject* target) { mTarget = target; }
  NSMenu* submenu() const { return mSubmenu.get(); }
  bool hasSubmenu() const { return static_cast<bool>(mSubmenu); }
  void setSubmenu(NSMenu* menu);
  NSInteger indentationLevel() const { return mIndentation; }
  void setIndentationLevel(NSInteger level) { mIndentation = level; }
  bool isEnabled() const { return mEnabled; }
  void setEnabled(bool enabled) { mEnabled = enabled; }
  NSInteger state() const { return mState; }
  void setState(NSInteger state) { mState = state; }
  NSInteger tag() const { return mTag; }
  void setTag(NSInteger tag) { mTag = tag; }
  NSMenu* menu() const { return mMenu; }

protected:
  ~NSMenuItem() override;

private:
  friend class NSMenu;

  std::string mTitle;
  SEL mAction;
  std::string mKeyEquivalent;
  NSObject* mTarget = nullptr;
  NSPtr<NSMenu> mSubmenu;
  NSInteger mIndentation = 0;
  bool mEnabled = true;
  NSInteger mState = NSControlStateValueOff;
  NSInteger mTag = 0;
  bool mSeparator = false;
  NSMenu* mMenu = nullptr;
};

class NSMenu : public NSObject {
public:
  explicit NSMenu(std::string title);

  const std::string& title() const { return mTitle; }
  void setAutoenablesItems(bool autoenables) { mAutoenables = autoenables; }
  bool autoenablesItems() const { return mAutoenables; }
  // Retains the item.
  void addItem(NSMenuItem* item);
  // A new item (the menu keeps it; the answer is not retained for the caller).
  NSMenuItem* addItemWithTitle(const std::string& title, const SEL& action, const std::string& keyEquivalent);
  void setSubmenu(NSMenu* menu, NSMenuItem* item);
  NSInteger numberOfItems() const { return static_cast<NSInteger>(mItems.size()); }
  // Null outside the menu.
  NSMenuItem* itemAtIndex(NSInteger index) const;
  // -1 when the item is not in this menu.
  NSInteger indexOfItem(const NSMenuItem* item) const;
  const std::vector<NSMenuItem*>& itemArray() const { return mItems; }
  NSMenu* supermenu() const { return mSupermenu; }

  // Shows the menu (a modal run that returns when it closes) with item placed at location
  // (null item: the menu's top left at location) in view's coordinates. The script's menu
  // answer chooses: the chosen item's action goes to its target, and the answer is true. A
  // dismissal, an unscripted menu or a path that ends on an item that cannot be chosen (a
  // separator, a disabled item, an item with a submenu) chooses nothing and answers false;
  // the last two are failures.
  virtual bool popUpMenuPositioningItem(NSMenuItem* item, NSPoint location, NSView* view);

protected:
  ~NSMenu() override;

private:
  friend class NSMenuItem;

  std::string mTitle;
  bool mAutoenables = true;
  std::vector<NSMenuItem*> mItems;
  NSMenu* mSupermenu = nullptr;
};
