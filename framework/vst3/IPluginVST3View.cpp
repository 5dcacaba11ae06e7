#include "framework/vst3/IPluginVST3View.h"

#include <atomic>
#include <cstring>
#include <string>

#include "framework/vst3/IPluginVST3.h"
#include "shims/vst3sdk/keycodes.h"
#include "shims/vst3sdk/utf_convert.h"

using namespace Steinberg;

namespace plugkit {

namespace {

std::string& extraPlatformType() {
  static std::string type;
  return type;
}

bool platformTypeAccepted(FIDString type) {
  if (type == nullptr) return false;
  if (std::strcmp(type, kPlatformTypeNSView) == 0) return true;
  const std::string& extra = extraPlatformType();
  return !extra.empty() && extra == type;
}

}  // namespace

void SetExtraPlatformTypeForTesting(const char* type) { extraPlatformType() = type != nullptr ? type : ""; }

int VSTKeyCodeToVK(int keyCode, char character) {
  if (keyCode == 0 || keyCode == KEY_EQUALS) {
    if (character >= '0' && character <= '9') return character;
    if (character >= 'A' && character <= 'Z') return character;
    if (character >= 'a' && character <= 'z') return character - 32;
    return 0;
  }
  switch (keyCode) {
    case KEY_BACK: return 8;
    case KEY_TAB: return 9;
    case KEY_CLEAR: return 12;
    case KEY_RETURN:
    case KEY_ENTER: return 13;
    case KEY_PAUSE: return 19;
    case KEY_ESCAPE: return 27;
    case KEY_SPACE: return 32;
    case KEY_NEXT:
    case KEY_PAGEDOWN: return 34;
    case KEY_END: return 35;
    case KEY_HOME: return 36;
    case KEY_LEFT: return 37;
    case KEY_UP: return 38;
    case KEY_RIGHT: return 39;
    case KEY_DOWN: return 40;
    case KEY_PAGEUP: return 33;
    case KEY_SELECT: return 41;
    case KEY_PRINT: return 42;
    case KEY_SNAPSHOT: return 44;
    case KEY_INSERT: return 45;
    case KEY_DELETE: return 46;
    case KEY_HELP: return 47;
    case KEY_NUMLOCK: return 144;
    case KEY_SCROLL: return 145;
    case KEY_SHIFT: return 16;
    case KEY_CONTROL: return 17;
    case KEY_ALT: return 18;
    default: break;
  }
  if (keyCode >= KEY_NUMPAD0 && keyCode <= KEY_NUMPAD9) return 96 + (keyCode - KEY_NUMPAD0);
  if (keyCode >= KEY_MULTIPLY && keyCode <= KEY_DIVIDE) return 106 + (keyCode - KEY_MULTIPLY);
  if (keyCode >= KEY_F1 && keyCode <= KEY_F12) return 112 + (keyCode - KEY_F1);
  if (keyCode >= VKEY_FIRST_ASCII) return keyCode - 80;
  return 0;
}

IKeyPress TranslateKeyMessage(char16 key, int16 keyCode, int16 modifiers) {
  char16_t character = key;
  if (character == 0) {
    const int low = keyCode & 0xFF;
    if (low < 128)
      character = low == KEY_SPACE ? u' ' : 0;
    else
      character = static_cast<char16_t>(low - 80);
  }
  char text[8] = {};
  if (character != 0) {
    const char16_t in[2] = {character, 0};
    char utf8[8] = {};
    if (vst3shim::utf16ToUtf8(in, 1, utf8, sizeof(utf8)) == 1) text[0] = utf8[0];
  }
  const int vk = VSTKeyCodeToVK(keyCode, static_cast<char>(static_cast<signed char>(text[0])));
  return IKeyPress(text, vk, (modifiers & kShiftKey) != 0, (modifiers & kCommandKey) != 0,
                   (modifiers & kAlternateKey) != 0);
}

IPluginVST3View::IPluginVST3View(IPluginVST3& owner) : mOwner(owner) { mOwner.addRef(); }

IPluginVST3View::~IPluginVST3View() {
  withdrawFrameRunLoop();
  if (plugFrame != nullptr) {
    plugFrame->release();
    plugFrame = nullptr;
  }
  mOwner.ForgetView(this);
  mOwner.release();
}

tresult PLUGIN_API IPluginVST3View::isPlatformTypeSupported(FIDString type) {
  return mOwner.HasUI() && platformTypeAccepted(type) ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API IPluginVST3View::attached(void* parent, FIDString type) {
  try {
    if (!mOwner.HasUI() || !platformTypeAccepted(type) || mOpen) return kResultFalse;
    offerFrameRunLoop();
    if (mOwner.OpenWindow(parent) == nullptr) {
      mOwner.CloseWindow();
      return kResultFalse;
    }
    mOpen = true;
    CPluginView::attached(parent, type);
    return kResultOk;
  } catch (...) {
    return kResultFalse;
  }
}

tresult PLUGIN_API IPluginVST3View::removed() {
  try {
    if (mOwner.HasUI() && mOpen) mOwner.CloseWindow();
  } catch (...) {
  }
  mOpen = false;
  withdrawFrameRunLoop();
  return CPluginView::removed();
}

tresult IPluginVST3View::handleKey(char16 key, int16 keyCode, int16 modifiers, bool up) {
  try {
    IKeyPress press;
    if (mOwner.GetHost() == kHostReaper) {
      if (keyCode != KEY_SPACE && !(keyCode == 0 && key == u' ')) return kResultFalse;
      press = IKeyPress(" ", 32, (modifiers & kShiftKey) != 0, (modifiers & kCommandKey) != 0,
                        (modifiers & kAlternateKey) != 0);
    } else {
      press = TranslateKeyMessage(key, keyCode, modifiers);
    }
    const bool handled = up ? mOwner.OnKeyUp(press) : mOwner.OnKeyDown(press);
    return handled ? kResultOk : kResultFalse;
  } catch (...) {
    return kResultFalse;
  }
}

tresult PLUGIN_API IPluginVST3View::onKeyDown(char16 key, int16 keyCode, int16 modifiers) {
  return handleKey(key, keyCode, modifiers, false);
}

tresult PLUGIN_API IPluginVST3View::onKeyUp(char16 key, int16 keyCode, int16 modifiers) {
  return handleKey(key, keyCode, modifiers, true);
}

tresult PLUGIN_API IPluginVST3View::getSize(ViewRect* size) {
  if (size == nullptr) return kInvalidArgument;
  if (!mOwner.HasUI()) return kResultFalse;
  *size = ViewRect(0, 0, mOwner.GetEditorWidth(), mOwner.GetEditorHeight());
  return kResultOk;
}

tresult PLUGIN_API IPluginVST3View::onSize(ViewRect* newSize) {
  if (newSize == nullptr || !mOwner.GetHostResizeEnabled()) return kResultFalse;
  try {
    rect = *newSize;
    mOwner.OnParentWindowResize(newSize->getWidth(), newSize->getHeight());
  } catch (...) {
  }
  return kResultOk;
}

tresult PLUGIN_API IPluginVST3View::canResize() {
  if (!mOwner.HasUI()) return kResultFalse;
  return mOwner.GetHostResizeEnabled() ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API IPluginVST3View::checkSizeConstraint(ViewRect* r) {
  if (r == nullptr) return kInvalidArgument;
  try {
    int width = r->right - r->left;
    int height = r->bottom - r->top;
    if (!mOwner.ConstrainEditorResize(width, height)) {
      r->right = r->left + width;
      r->bottom = r->top + height;
    }
  } catch (...) {
  }
  return kResultOk;
}

tresult PLUGIN_API IPluginVST3View::setFrame(IPlugFrame* frame) {
  if (frame == plugFrame) return kResultTrue;
  withdrawFrameRunLoop();
  if (plugFrame != nullptr) plugFrame->release();
  plugFrame = frame;
  if (plugFrame != nullptr) {
    plugFrame->addRef();
    offerFrameRunLoop();
  }
  return kResultTrue;
}

tresult PLUGIN_API IPluginVST3View::setContentScaleFactor(ScaleFactor) { return kResultOk; }

bool IPluginVST3View::Resize(int width, int height) {
  if (mOpen && plugFrame != nullptr) {
    ViewRect r(0, 0, width, height);
    plugFrame->resizeView(this, &r);
  }
  return true;
}

void IPluginVST3View::offerFrameRunLoop() {
  if (plugFrame == nullptr) return;
  FUnknownPtr<Linux::IRunLoop> loop(plugFrame);
  if (loop) mOwner.SetViewRunLoop(this, loop);
}

void IPluginVST3View::withdrawFrameRunLoop() { mOwner.SetViewRunLoop(this, nullptr); }

uint32 PLUGIN_API IPluginVST3View::addRef() {
  return static_cast<uint32>(mRefs.fetch_add(1, std::memory_order_relaxed) + 1);
}

uint32 PLUGIN_API IPluginVST3View::release() {
  const int32 left = mRefs.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0) delete this;
  return static_cast<uint32>(left);
}

tresult PLUGIN_API IPluginVST3View::queryInterface(const TUID iid, void** obj) {
  if (obj == nullptr) return kInvalidArgument;
  if (FUnknownPrivate::iidEqual(iid, IPlugViewContentScaleSupport::iid)) {
    addRef();
    *obj = static_cast<IPlugViewContentScaleSupport*>(this);
    return kResultOk;
  }
  if (FUnknownPrivate::iidEqual(iid, IPlugView::iid)) {
    addRef();
    *obj = static_cast<IPlugView*>(this);
    return kResultOk;
  }
  return FObject::queryInterface(iid, obj);
}

}  // namespace plugkit
