// The host's context menu for a parameter (right click on a linked control), and the
// computer-keyboard MIDI key handler.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "framework/ICanvasEditorDelegate.h"
#include "graphics/ICanvas.h"
#include "shims/vst3sdk/utf_convert.h"

namespace plugkit::canvas {

namespace {

using Steinberg::Vst::IContextMenu;
using Steinberg::Vst::IContextMenuItem;

void setName(IContextMenuItem& item, const char* text) {
  // UTF-8 into at most 127 units and a terminator; a surrogate pair is never split.
  const char* s = text != nullptr ? text : "";
  vst3shim::utf8ToUtf16(s, std::strlen(s), reinterpret_cast<char16_t*>(item.name), 128);
}

void addItems(IContextMenu& host, const IPopupMenu& menu, Steinberg::Vst::IContextMenuTarget* target, int& tag) {
  for (int i = 0; i < menu.NItems(); ++i) {
    const IPopupMenu::Item* item = menu.GetItem(i);
    IContextMenuItem entry{};
    setName(entry, item->GetText());
    if (item->GetIsSeparator()) {
      entry.flags = IContextMenuItem::kIsSeparator;
      entry.tag = tag++;
      host.addItem(entry, target);
    } else if (const IPopupMenu* sub = item->GetSubmenu()) {
      entry.flags = IContextMenuItem::kIsGroupStart;
      entry.tag = tag++;
      host.addItem(entry, target);
      addItems(host, *sub, target, tag);
      IContextMenuItem end{};
      setName(end, "");
      end.flags = IContextMenuItem::kIsGroupEnd;
      end.tag = tag++;
      host.addItem(end, target);
    } else {
      int flags = 0;
      if (item->GetChecked()) flags |= IContextMenuItem::kIsChecked;
      if (!item->GetEnabled()) flags |= IContextMenuItem::kIsDisabled;
      entry.flags = flags;
      entry.tag = tag++;
      host.addItem(entry, target);
    }
  }
}

Steinberg::int32 toViewCoordinate(float v) {
  if (!std::isfinite(v)) return 0;
  return static_cast<Steinberg::int32>(std::clamp(v, -1e9f, 1e9f));
}

}  // namespace

void ICanvas::PopupHostContextMenuForParam(IControl* control, int paramIdx, float x, float y) {
  mPromptPopupMenu.RemoveAllItems();
  mPromptPopupMenu.SetChosenItemIdx(-1);
  if (control != nullptr) {
    const std::weak_ptr<const int> alive = mAlive;
    control->CreateContextMenu(mPromptPopupMenu);
    if (alive.expired()) return;  // the control closed the editor
  }

  Steinberg::Vst::IComponentHandler* handler = mDelegate->GetHostComponentHandler();
  Steinberg::IPlugView* view = mDelegate->GetHostPlugView();
  if (handler == nullptr || view == nullptr) return;

  Steinberg::Vst::IComponentHandler3* handler3 = nullptr;
  if (handler->queryInterface(Steinberg::Vst::IComponentHandler3::iid, reinterpret_cast<void**>(&handler3)) !=
          Steinberg::kResultOk ||
      handler3 == nullptr)
    return;

  const Steinberg::Vst::ParamID paramID = static_cast<Steinberg::Vst::ParamID>(paramIdx);
  if (IContextMenu* menu = handler3->createContextMenu(view, &paramID)) {
    int tag = 0;
    addItems(*menu, mPromptPopupMenu, control, tag);
    menu->popup(toViewCoordinate(x * mDrawScale), toViewCoordinate(y * mDrawScale));
    menu->release();
  }
  handler3->release();
}

void ICanvas::PopupHostContextMenuForParam(int controlIdx, int paramIdx, float x, float y) {
  PopupHostContextMenuForParam(GetControl(controlIdx), paramIdx, x, y);
}

void ICanvas::SetQwertyMidiKeyHandlerFunc(std::function<void(const IMidiMsg&)> func) {
  // The base note and the held notes are shared by every editor of the process.
  static int sBase = 48;
  static bool sHeld[128] = {};

  SetKeyHandlerFunc([this, func](const IKeyPress& key, bool isUp) {
    auto send = [&](const IMidiMsg& msg) {
      mDelegate->SendMidiMsgFromUI(msg);
      if (func) func(msg);
    };
    const int vk = key.VK;
    if (vk < 'A' || vk > 'Z') return true;

    if (vk == 'Z' || vk == 'X') {
      if (isUp) return true;
      sBase = vk == 'Z' ? std::min(std::max(sBase, 36) - 12, 96) : std::min(std::max(sBase, 12), 84) + 12;
      // Held notes are released, and forgotten, so the next press of their key plays.
      for (int note = 0; note < 128; ++note) {
        if (!sHeld[note]) continue;
        sHeld[note] = false;
        send(IMidiMsg(0, 128, static_cast<uint8_t>(note), 0));
      }
      return true;
    }

    static const char kKeys[] = "AWSEDFTGYHUJKOL";
    const char* at = std::strchr(kKeys, vk);
    if (at == nullptr) return true;
    const int note = std::clamp(sBase + static_cast<int>(at - kKeys), 0, 127);
    if (!isUp && !sHeld[note]) {
      sHeld[note] = true;
      send(IMidiMsg(0, 144, static_cast<uint8_t>(note), 127));
    } else if (isUp && sHeld[note]) {
      sHeld[note] = false;
      send(IMidiMsg(0, 128, static_cast<uint8_t>(note), 0));
    }
    return true;
  });
}

}  // namespace plugkit::canvas
