#pragma once
// Key events of the Cocoa view as the graphics context takes them: the virtual-key code
// (Windows numbering) and modifier bits of a key event, and the key press built from them.
// Pure functions of the event's key code, characters and modifier flags; any thread.
#include <string_view>

#include "framework/IPlugStructs.h"

namespace plugkit::canvas {

// Cocoa modifier flags of an event.
inline constexpr unsigned long kEventFlagShift = 0x20000;
inline constexpr unsigned long kEventFlagControl = 0x40000;
inline constexpr unsigned long kEventFlagOption = 0x80000;
inline constexpr unsigned long kEventFlagCommand = 0x100000;

// The modifier word KeyEventToVK fills (the caller starts it at 0).
enum EKeyMod : int {
  kKeyMapped = 1,  // the answer is a mapped virtual key
  kKeyShift = 4,
  kKeyCommand = 8,
  kKeyOption = 16,
  kKeyControl = 32,
};

// The virtual key of a key event: Apple key code, the event's characters ignoring
// modifiers (UTF-16) and its modifier flags. Keys of the fixed table (keypad, function and
// navigation keys) come from the key code; a key without characters (a dead key) answers
// key code + 1024; otherwise the first character decides (letters upper-cased, digits,
// function-key characters, tab, line feed, return, escape, space). Any other character is
// answered unmapped, with Shift dropped (the character carries it). Letters above 127 are
// classified by the C.UTF-8 locale, never the process locale.
int KeyEventToVK(int keyCode, std::u16string_view characters, unsigned long modifierFlags, int& mods);

// The key press of a key event: the virtual key when mapped, else 0; the characters as
// UTF-8 when they are exactly one UTF-16 unit that is a character (a lone surrogate gives
// none); Shift, Command (as C) and Option (as A) from mods. Control is not passed on.
IKeyPress KeyPressFor(int vk, int mods, std::u16string_view characters);

}  // namespace plugkit::canvas
