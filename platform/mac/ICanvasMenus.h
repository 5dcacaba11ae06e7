#pragma once
// The native popup menu of the editor view: an NSMenu built from a menu model (titles with
// the model's number prefix, separators, submenus, title items indented, disabled items
// greyed, checked items marked) and the receiver that catches the chosen item. Main thread.
#include "graphics/IPopupMenu.h"
#include "shims/apple/appkit/AppKit.h"

// Catches the chosen item (onMenuSelection:).
class ICanvasMenuRcvr_vSpectraPoise_vst3 : public NSView {
public:
  using NSView::NSView;
  bool performAction(const SEL& sel, NSObject* sender) override;
  NSMenuItem* menuItem() const { return mItem.get(); }

private:
  NSPtr<NSMenuItem> mItem;
};

class ICanvasMenu_vSpectraPoise_vst3 : public NSMenu {
public:
  // Builds the menu (and its submenus) from the model; items act on the receiver.
  ICanvasMenu_vSpectraPoise_vst3(plugkit::canvas::IPopupMenu* menu, ICanvasMenuRcvr_vSpectraPoise_vst3* receiver);
  plugkit::canvas::IPopupMenu* iPopupMenu() const { return mIPopupMenu; }

private:
  plugkit::canvas::IPopupMenu* mIPopupMenu;
};
