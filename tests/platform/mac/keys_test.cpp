// Key events to virtual keys and key presses: the fixed key-code table wins over the
// characters, function-key characters, letters upper-cased (beyond ASCII by the Unicode
// classification, never the process locale), back-tab with Command, unmapped characters
// dropping Shift, dead keys; the press carries the character only for one UTF-16 unit.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "platform/mac/KeyMap.h"

namespace {

using namespace plugkit::canvas;
using plugkit::IKeyPress;

constexpr unsigned long kShift = kEventFlagShift, kCmd = kEventFlagCommand, kOpt = kEventFlagOption,
                        kCtrl = kEventFlagControl;

struct KeyCase {
  int keyCode;
  std::u16string chars;
  unsigned long flags;
  int vk;
  int mods;
};

TEST(KeyMap, EventsGiveTheirVirtualKeyAndModifierBits) {
  const KeyCase cases[] = {
      {0, u"A", kShift, 65, kKeyMapped | kKeyShift},
      {0, u"a", 0, 65, kKeyMapped},
      {18, u"!", kShift, 33, 0},  // not a letter: unmapped, Shift dropped
      {76, u"\x03", 0, 0x800D, kKeyMapped},  // keypad enter by the table
      {36, u"\r", 0, 13, kKeyMapped},        // the main return key by its character
      {122, u"\uF704", 0, 112, kKeyMapped},  // F1 through the table
      {10, u"\uF70F", 0, 123, kKeyMapped},   // F12 through the function-key character
      {33, u"", 0, 1057, kKeyMapped},        // a dead key: key code + 1024
      {48, u"\x19", kShift | kCmd, 9, kKeyMapped | kKeyShift | kKeyCommand},  // back-tab with Command
      {48, u"\x19", kShift, 25, 0},
      {7, u"\u00E9", 0, 233, kKeyMapped},    // a letter above 127
      {29, u"0", kOpt | kCtrl, 48, kKeyMapped | kKeyOption | kKeyControl},
      {49, u" ", 0, 32, kKeyMapped},
      {53, u"\x1B", 0, 27, kKeyMapped},
      {123, u"\uF702", 0, 37, kKeyMapped},   // left arrow by the table
      {84, u"2", 0, 98, kKeyMapped},         // keypad 2
      {92, u"9", 0, 105, kKeyMapped},        // keypad 9
      {6, u"\u00E9\u0301", 0, 233, kKeyMapped},  // the first unit decides
      {0, u"\xD83D", 0, 0xD83D, 0},          // half of a pair: no letter
      {50, u"`", kShift, 96, 0},
  };
  for (const KeyCase& c : cases) {
    int mods = 0;
    EXPECT_EQ(KeyEventToVK(c.keyCode, c.chars, c.flags, mods), c.vk) << c.keyCode;
    EXPECT_EQ(mods, c.mods) << c.keyCode;
  }
}

TEST(KeyMap, LettersBeyondAsciiDoNotDependOnTheProcessLocale) {
  const std::string before = std::setlocale(LC_ALL, nullptr);
  std::setlocale(LC_ALL, "C");
  int mods = 0;
  EXPECT_EQ(KeyEventToVK(7, u"\u00E9", 0, mods), 233);
  EXPECT_EQ(mods, kKeyMapped);
  mods = 0;
  EXPECT_EQ(KeyEventToVK(7, u"\u00F7", 0, mods), 0xF7);  // division sign: no letter
  EXPECT_EQ(mods, 0);
  std::setlocale(LC_ALL, before.c_str());
}

TEST(KeyMap, APressCarriesTheCharacterOfOneUnitAndDropsControl) {
  IKeyPress p = KeyPressFor(0x21, 0, u"!");
  EXPECT_EQ(p.VK, 0);
  EXPECT_STREQ(p.utf8, "!");
  EXPECT_FALSE(p.S);

  p = KeyPressFor(65, kKeyMapped | kKeyShift | kKeyCommand | kKeyOption | kKeyControl, u"A");
  EXPECT_EQ(p.VK, 65);
  EXPECT_TRUE(p.S);
  EXPECT_TRUE(p.C);  // Command
  EXPECT_TRUE(p.A);

  EXPECT_STREQ(KeyPressFor(233, kKeyMapped, u"\u00E9").utf8, "\xC3\xA9");
  EXPECT_STREQ(KeyPressFor(0x20AC, 0, u"\u20AC").utf8, "\xE2\x82\xAC");
  EXPECT_STREQ(KeyPressFor(0, 0, u"\xD83D").utf8, "");          // a lone surrogate
  EXPECT_STREQ(KeyPressFor(0, 0, u"\xD83D\xDE00").utf8, "");    // two units
  EXPECT_STREQ(KeyPressFor(1057, kKeyMapped, u"").utf8, "");
}

}  // namespace
