#include "graphics/IPopupMenu.h"

#include <algorithm>

namespace plugkit::canvas {

namespace {

// Case-insensitive comparison of ASCII letters only, so the order never depends on the
// process locale.
int compareFolded(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char ca = static_cast<unsigned char>(a[i]);
    unsigned char cb = static_cast<unsigned char>(b[i]);
    if (ca >= 'A' && ca <= 'Z') ca = static_cast<unsigned char>(ca - 'A' + 'a');
    if (cb >= 'A' && cb <= 'Z') cb = static_cast<unsigned char>(cb - 'A' + 'a');
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace

IPopupMenu::Item::Item(const char* text, int flags, int tag) : mFlags(flags), mTag(tag) { SetText(text); }

IPopupMenu::Item::Item(const char* text, IPopupMenu* submenu) : mSubmenu(submenu) { SetText(text); }

IPopupMenu::Item::~Item() = default;

void IPopupMenu::Item::SetSubmenu(IPopupMenu* submenu) {
  if (submenu != mSubmenu.get()) mSubmenu.reset(submenu);
}

IPopupMenu::IPopupMenu(const char* rootTitle, int prefix, bool multiCheck, std::initializer_list<const char*> items)
    : mPrefix(prefix), mMultiCheck(multiCheck) {
  SetRootTitle(rootTitle);
  for (const char* text : items) AddItem(text);
}

IPopupMenu::~IPopupMenu() {
  // Items go from the last to the first, each with its submenu.
  while (!mItems.empty()) mItems.pop_back();
}

int IPopupMenu::insertionIndex(const Item& item, int index) const {
  const int count = NItems();
  if (index == -1) return count;
  if (index >= 0) return std::min(index, count);
  if (index != -2) return 0;

  const std::string text = item.GetText();
  int lo = 0, hi = count;
  while (lo < hi) {
    const int mid = lo + (hi - lo) / 2;
    const int cmp = compareFolded(text, mItems[mid]->GetText());
    if (cmp == 0) return mid;
    if (cmp < 0)
      hi = mid;
    else
      lo = mid + 1;
  }
  return lo;
}

IPopupMenu::Item* IPopupMenu::AddItem(Item* item, int index) {
  if (item == nullptr) return nullptr;
  std::unique_ptr<Item> owned(item);
  const int at = insertionIndex(*item, index);
  mItems.insert(mItems.begin() + at, std::move(owned));
  return item;
}

IPopupMenu::Item* IPopupMenu::AddItem(const char* text, int index, int itemFlags) {
  return AddItem(new Item(text, itemFlags), index);
}

IPopupMenu::Item* IPopupMenu::AddItem(const char* text, int index, IPopupMenu* submenu) {
  if (mFunc && submenu != nullptr) submenu->SetFunction(mFunc);
  return AddItem(new Item(text, submenu), index);
}

IPopupMenu::Item* IPopupMenu::AddItem(const char* text, IPopupMenu* submenu, int index) {
  return AddItem(text, index, submenu);
}

IPopupMenu::Item* IPopupMenu::AddSeparator(int index) { return AddItem(new Item("", Item::kSeparator), index); }

void IPopupMenu::RemoveItem(int index) {
  if (index < 0 || index >= NItems()) return;
  mItems.erase(mItems.begin() + index);
}

void IPopupMenu::RemoveAllItems() {
  while (!mItems.empty()) mItems.pop_back();
}

void IPopupMenu::Reset(const char* rootTitle) {
  RemoveAllItems();
  mChosenItemIdx = -1;
  mPrefix = 0;
  mMultiCheck = false;
  SetRootTitle(rootTitle);
}

IPopupMenu::Item* IPopupMenu::GetItem(int index) const {
  if (index < 0 || index >= NItems()) return nullptr;
  return mItems[index].get();
}

int IPopupMenu::GetIndexOf(const Item* item) const {
  for (int i = 0; i < NItems(); ++i)
    if (mItems[i].get() == item) return i;
  return -1;
}

const char* IPopupMenu::GetItemText(int index) const {
  const Item* item = GetItem(index);
  return item != nullptr ? item->GetText() : "";
}

void IPopupMenu::CheckItemAlone(const Item* item) {
  for (auto& each : mItems) {
    each->SetChecked(false);
    if (IPopupMenu* sub = each->GetSubmenu())
      sub->CheckItemAlone(item);
    else if (each.get() == item)
      each->SetChecked(true);
  }
}

void IPopupMenu::RemoveEmptySubmenus() {
  std::erase_if(mItems, [](const std::unique_ptr<Item>& item) {
    const IPopupMenu* sub = item->GetSubmenu();
    return sub != nullptr && sub->NItems() == 0;
  });
}

bool IPopupMenu::IsItemChecked(int index) const {
  const Item* item = GetItem(index);
  return item != nullptr && item->GetChecked();
}

void IPopupMenu::CheckItem(int index, bool checked) {
  if (Item* item = GetItem(index)) item->SetChecked(checked);
}

void IPopupMenu::SetItemEnabled(int index, bool enabled) {
  if (Item* item = GetItem(index)) item->SetEnabled(enabled);
}

}  // namespace plugkit::canvas
