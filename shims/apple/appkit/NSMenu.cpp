#include "shims/apple/appkit/NSMenu.h"

#include "shims/apple/appkit/NSApplication.h"

NSPtr<NSMenuItem> NSMenuItem::separatorItem() {
  auto* item = new NSMenuItem("", "", "");
  item->mSeparator = true;
  item->mEnabled = false;
  return NSPtr<NSMenuItem>::adopt(item);
}

NSMenuItem::NSMenuItem(std::string title, SEL action, std::string keyEquivalent)
    : mTitle(std::move(title)), mAction(std::move(action)), mKeyEquivalent(std::move(keyEquivalent)) {}

NSMenuItem::~NSMenuItem() {
  if (mSubmenu) mSubmenu->mSupermenu = nullptr;
}

void NSMenuItem::setSubmenu(NSMenu* menu) {
  if (mSubmenu) mSubmenu->mSupermenu = nullptr;
  mSubmenu = NSPtr<NSMenu>::retain(menu);
  if (menu != nullptr) menu->mSupermenu = mMenu;
}

NSMenu::NSMenu(std::string title) : mTitle(std::move(title)) {}

NSMenu::~NSMenu() {
  for (NSMenuItem* item : mItems) {
    item->mMenu = nullptr;
    item->release();
  }
}

void NSMenu::addItem(NSMenuItem* item) {
  if (item == nullptr) return;
  item->retain();
  item->mMenu = this;
  if (item->mSubmenu) item->mSubmenu->mSupermenu = this;
  mItems.push_back(item);
}

NSMenuItem* NSMenu::addItemWithTitle(const std::string& title, const SEL& action, const std::string& keyEquivalent) {
  auto* item = new NSMenuItem(title, action, keyEquivalent);
  addItem(item);
  item->release();
  return item;
}

void NSMenu::setSubmenu(NSMenu* menu, NSMenuItem* item) {
  if (item != nullptr) item->setSubmenu(menu);
}

NSMenuItem* NSMenu::itemAtIndex(NSInteger index) const {
  if (index < 0 || index >= numberOfItems()) return nullptr;
  return mItems[static_cast<size_t>(index)];
}

NSInteger NSMenu::indexOfItem(const NSMenuItem* item) const {
  for (size_t i = 0; i < mItems.size(); ++i)
    if (mItems[i] == item) return static_cast<NSInteger>(i);
  return -1;
}

namespace {

uiscript::MenuSnapshot::Item snapshotItem(const NSMenuItem& item);

std::vector<uiscript::MenuSnapshot::Item> snapshotItems(const NSMenu& menu) {
  std::vector<uiscript::MenuSnapshot::Item> items;
  for (const NSMenuItem* item : menu.itemArray()) items.push_back(snapshotItem(*item));
  return items;
}

uiscript::MenuSnapshot::Item snapshotItem(const NSMenuItem& item) {
  uiscript::MenuSnapshot::Item s;
  s.text = item.title();
  s.flags = (item.isSeparatorItem() ? 8 : 0) | (!item.isSeparatorItem() && !item.isEnabled() ? 1 : 0) |
            (item.indentationLevel() > 0 ? 2 : 0) | (item.state() == NSControlStateValueOn ? 4 : 0);
  s.tag = static_cast<int>(item.tag());
  if (const NSMenu* sub = item.submenu()) {
    s.hasSubmenu = true;
    s.submenu = snapshotItems(*sub);
  }
  return s;
}

}  // namespace

bool NSMenu::popUpMenuPositioningItem(NSMenuItem* item, NSPoint location, NSView* view) {
  NSPtr<NSMenu> hold = NSPtr<NSMenu>::retain(this);
  uiscript::Script& script = NSApp->script();
  uiscript::ShownMenu shown;
  shown.menu.title = mTitle;
  shown.menu.chosenIndex = static_cast<int>(indexOfItem(item));
  shown.menu.items = snapshotItems(*this);
  shown.locationX = static_cast<float>(location.x);
  shown.locationY = static_cast<float>(location.y);
  shown.positioningItem = shown.menu.chosenIndex;
  script.menus.push_back(shown);

  ++NSApp->modalDepth;
  NSMenuItem* chosen = nullptr;
  const std::optional<uiscript::Script::MenuAnswer> answer = script.takeMenu();
  if (!answer) {
    script.fail("unscripted popup menu \"" + mTitle + "\"");
  } else if (!answer->dismiss) {
    if (answer->path.empty()) script.fail("empty menu path");
    const NSMenu* current = this;
    for (size_t k = 0; k < answer->path.size() && current != nullptr; ++k) {
      NSMenuItem* step = current->itemAtIndex(answer->path[k]);
      if (step == nullptr) {
        script.fail("menu path step " + std::to_string(k) + ": no item " + std::to_string(answer->path[k]));
        current = nullptr;
      } else if (k + 1 < answer->path.size()) {
        current = step->submenu();
        if (current == nullptr) script.fail("menu path step " + std::to_string(k) + ": item has no submenu");
      } else if (step->hasSubmenu() || step->isSeparatorItem() || !step->isEnabled()) {
        script.fail("menu path ends on an item that cannot be chosen: \"" + step->title() + "\"");
      } else {
        chosen = step;
      }
    }
  }
  --NSApp->modalDepth;
  if (chosen == nullptr) return false;
  NSPtr<NSMenuItem> holdItem = NSPtr<NSMenuItem>::retain(chosen);
  if (NSObject* target = chosen->target()) target->performAction(chosen->action(), chosen);
  return true;
}
