#include "platform/mac/KeyMap.h"

#include <locale.h>
#include <wctype.h>

#include "shims/vst3sdk/utf_convert.h"

namespace plugkit::canvas {

namespace {

// Key codes 51..126 with a fixed answer (0: none).
int tableKey(int keyCode) {
  switch (keyCode) {
    case 51: return 8;    // delete (backspace)
    case 65: return 110;  // keypad decimal
    case 67: return 106;  // keypad multiply
    case 69: return 107;  // keypad plus
    case 71: return 144;  // keypad clear
    case 75: return 111;  // keypad divide
    case 76: return 0x800D;  // keypad enter
    case 78: return 109;  // keypad minus
    case 81: return 108;  // keypad equals
    case 91: return 104;  // keypad 8
    case 92: return 105;  // keypad 9
    case 96: return 116;  // F5
    case 97: return 117;  // F6
    case 98: return 118;  // F7
    case 99: return 114;  // F3
    case 100: return 119;  // F8
    case 101: return 120;  // F9
    case 103: return 122;  // F11
    case 105: return 124;  // F13
    case 106: return 127;  // F16
    case 107: return 125;  // F14
    case 109: return 121;  // F10
    case 111: return 123;  // F12
    case 113: return 126;  // F15
    case 114: return 45;   // help
    case 115: return 36;   // home
    case 116: return 33;   // page up
    case 117: return 46;   // forward delete
    case 118: return 115;  // F4
    case 119: return 35;   // end
    case 120: return 113;  // F2
    case 121: return 34;   // page down
    case 122: return 112;  // F1
    case 123: return 37;   // left
    case 124: return 39;   // right
    case 125: return 40;   // down
    case 126: return 38;   // up
    default: break;
  }
  if (keyCode >= 82 && keyCode <= 89) return 96 + (keyCode - 82);  // keypad 0-7
  return 0;
}

// Letters and digits: the C classification below 128, the Unicode one of C.UTF-8 above.
bool isLetterOrDigit(char16_t c) {
  if (c < 128) return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  if (c >= 0xD800 && c <= 0xDFFF) return false;  // half of a pair says nothing
  static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  return utf8 != static_cast<locale_t>(0) && iswalnum_l(static_cast<wint_t>(c), utf8) != 0;
}

}  // namespace

int KeyEventToVK(int keyCode, std::u16string_view characters, unsigned long modifierFlags, int& mods) {
  if (modifierFlags & kEventFlagShift) mods |= kKeyShift;
  if (modifierFlags & kEventFlagCommand) mods |= kKeyCommand;
  if (modifierFlags & kEventFlagOption) mods |= kKeyOption;
  if (modifierFlags & kEventFlagControl) mods |= kKeyControl;

  if (keyCode >= 51 && keyCode <= 126) {
    if (const int vk = tableKey(keyCode)) {
      mods |= kKeyMapped;
      return vk;
    }
  }
  if (characters.empty()) {
    mods |= kKeyMapped;
    return keyCode + 1024;
  }
  int c = characters[0];
  if (c >= 0xF704 && c <= 0xF71B) {  // F1 .. F24
    mods |= kKeyMapped;
    return c - 63124;
  }
  if (c >= 'a' && c <= 'z') c -= 32;
  if (c == 25 && (mods & kKeyCommand)) c = 9;  // back-tab with Command is tab
  if (isLetterOrDigit(static_cast<char16_t>(c)) || c == 9 || c == 10 || c == 13 || c == 27 || c == 32) {
    mods |= kKeyMapped;
    return c;
  }
  mods &= ~(kKeyMapped | kKeyShift);
  return c;
}

IKeyPress KeyPressFor(int vk, int mods, std::u16string_view characters) {
  char utf8[5] = {};
  // One character of one unit; half of a pair is none.
  if (characters.size() == 1 && !(characters[0] >= 0xD800 && characters[0] <= 0xDFFF))
    vst3shim::utf16ToUtf8(characters.data(), 1, utf8, sizeof utf8);
  return IKeyPress(utf8, (mods & kKeyMapped) ? vk : 0, (mods & kKeyShift) != 0, (mods & kKeyCommand) != 0,
                   (mods & kKeyOption) != 0);
}

}  // namespace plugkit::canvas
