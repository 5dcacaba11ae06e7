#include "platform/mac/ICanvasMenus.h"

#include "platform/mac/ICanvasView.h"
#include "platform/mac/PromptRules.h"

using namespace plugkit::canvas;

bool ICanvasMenuRcvr_vSpectraPoise_vst3::performAction(const SEL& sel, NSObject* sender) {
  if (sel != "onMenuSelection:") return false;
  mItem = NSPtr<NSMenuItem>::retain(static_cast<NSMenuItem*>(sender));
  return true;
}

ICanvasMenu_vSpectraPoise_vst3::ICanvasMenu_vSpectraPoise_vst3(IPopupMenu* menu,
                                                               ICanvasMenuRcvr_vSpectraPoise_vst3* receiver)
    : NSMenu(""), mIPopupMenu(menu) {
  setAutoenablesItems(false);
  if (menu == nullptr) return;
  for (int i = 0; i < menu->NItems(); ++i) {
    const IPopupMenu::Item* item = menu->GetItem(i);
    const MenuItemLook look = LookOf(*item);
    NSMenuItem* added = nullptr;
    if (look.separator) {
      addItem(NSMenuItem::separatorItem().get());
      continue;
    }
    const std::string title = MenuItemTitle(menu->GetPrefix(), i, item->GetText());
    if (look.submenu) {
      added = addItemWithTitle(title, "", "");
      auto sub = NSPtr<ICanvasMenu_vSpectraPoise_vst3>::adopt(
          new ICanvasMenu_vSpectraPoise_vst3(item->GetSubmenu(), receiver));
      setSubmenu(sub.get(), added);
    } else {
      added = addItemWithTitle(title, "onMenuSelection:", "");
      added->setTarget(receiver);
    }
    added->setIndentationLevel(look.indent);
    added->setEnabled(look.enabled);
    added->setState(look.checked ? NSControlStateValueOn : NSControlStateValueOff);
  }
}

IPopupMenu* ICanvasView_vSpectraPoise_vst3::createPopupMenu(IPopupMenu& menu, NSRect bounds) {
  ICanvasViewRef hold = ICanvasViewRef::retain(this);
  auto receiver = NSPtr<ICanvasMenuRcvr_vSpectraPoise_vst3>::adopt(new ICanvasMenuRcvr_vSpectraPoise_vst3(bounds));
  auto nsMenu = NSPtr<ICanvasMenu_vSpectraPoise_vst3>::adopt(new ICanvasMenu_vSpectraPoise_vst3(&menu, receiver.get()));
  const MenuPlacement place = PlaceMenu(menu.GetChosenItemIdx(), static_cast<int>(nsMenu->numberOfItems()),
                                        {bounds.origin.x, bounds.origin.y, bounds.size.width, bounds.size.height});
  NSMenuItem* positioning = place.positioningItem >= 0 ? nsMenu->itemAtIndex(place.positioningItem) : nullptr;
  nsMenu->popUpMenuPositioningItem(positioning, {place.x, place.y}, this);

  NSMenuItem* chosen = receiver->menuItem();
  if (chosen == nullptr || chosen->menu() == nullptr) return nullptr;
  // Every menu of the tree was built here.
  auto* owner = static_cast<ICanvasMenu_vSpectraPoise_vst3*>(chosen->menu());
  IPopupMenu* model = owner->iPopupMenu();
  const NSInteger index = owner->indexOfItem(chosen);
  if (model == nullptr || index < 0) return nullptr;
  model->SetChosenItemIdx(static_cast<int>(index));
  return model;
}
