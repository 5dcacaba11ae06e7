#pragma once
// The rules of the native prompts that need no Cocoa type: menu item titles and looks and
// where a menu pops up; what a text field accepts and the size of its font; message-box
// buttons and results; file types, folders, URLs and colours of the dialogs. Pure
// functions; any thread.
#include <string>
#include <string_view>
#include <vector>

#include "graphics/IPopupMenu.h"
#include "graphics/PlatformTypes.h"
#include "graphics/Style.h"
#include "platform/mac/ViewRules.h"

namespace plugkit::canvas {

// ---- Menus ----

// The title of item index (from 0) of a menu: the number index + 1 in front by the menu's
// prefix mode (0 none, 1 "%1d: ", 2 "%02d: ", 3 "%03d: "; any other mode: none).
std::string MenuItemTitle(int prefixMode, int index, const char* text);

// How a menu item shows: a title item is indented one level, a disabled one is greyed, a
// checked one carries a mark.
struct MenuItemLook {
  bool separator = false;
  bool submenu = false;
  int indent = 0;
  bool enabled = true;
  bool checked = false;
};
MenuItemLook LookOf(const IPopupMenu::Item& item);

// Where a menu pops up over the control's rectangle (view points, y down): with a chosen
// item that the menu has, that item is placed at the rectangle's origin; otherwise no item
// is placed and the menu opens 4 points below the rectangle.
struct MenuPlacement {
  int positioningItem = -1;
  double x = 0.0;
  double y = 0.0;
};
MenuPlacement PlaceMenu(int chosenIndex, int itemCount, const ViewRect& bounds);

// ---- Text fields ----

// What a text field may hold while it is edited. With a character set, every UTF-16 unit
// must be in it; a maximum length (UTF-16 units) and a maximum value (the text's leading
// integer) of 0 set no limit.
struct FieldFilter {
  bool hasCharacterSet = false;
  std::u16string characterSet;
  int maxLength = 0;
  int maxValue = 0;
};
// The filter of a field for a parameter of that type (IParam::EParamType): bool, integer
// and enumerated types take "0123456789-+", the double type "0123456789.-+", any other
// type nothing; the length is the control's text-entry length. A field without a parameter
// takes any character, up to the length.
FieldFilter FieldFilterFor(bool linkedToParameter, int paramType, int length);
bool FieldAccepts(const FieldFilter& filter, std::u16string_view text);
// The leading integer of a text, as a field's intValue reads it (0 when there is none;
// clamped to the int range).
int LeadingIntValue(std::u16string_view text);

// The point size of a field's font: the text size times the draw scale times the font's
// em ratio (units per em / (ascender - descender)); a font without a cached descriptor
// uses an em ratio of 1.
double FieldFontSize(float textSize, float drawScale, double emRatio);
// A centring cell's text rectangle inside the cell's rectangle for a text of that height.
ViewRect CentredTextRect(const ViewRect& cell, double textHeight);

// ---- Message boxes ----

// The buttons a message box of that type adds, in order (none for a type without buttons
// of its own: the alert shows its default button).
std::vector<const char*> MessageBoxButtons(EMsgBoxType type);
// The result of a message box from the alert's response (1000 for the first button added,
// 1001 for the second, ...).
EMsgBoxResult MessageBoxResult(EMsgBoxType type, long response);

// ---- Dialogs and desktop services ----

// The allowed file types of a prompt: ext split at each " ", empty tokens skipped.
std::vector<std::string> AllowedFileTypes(const char* ext);
// The folder of a full path, followed by "/".
std::string FolderOf(const std::string& fullPath);
// A folder chosen in a panel, followed by "/".
std::string WithTrailingSlash(const std::string& folder);
// "~" or "~/..." with the home folder in front; any other path unchanged.
std::string ExpandTilde(const std::string& path, const std::string& home);
// A URL is opened as a web URL when it contains "http" anywhere, else as a file path.
bool IsWebURL(const char* url);
// Colour channels 0..255 as components 0..1, and back (each component x 255, truncated;
// out of range components clamped).
void ColorComponents(const IColor& color, double& r, double& g, double& b, double& a);
IColor ColorFromComponents(double r, double g, double b, double a);

}  // namespace plugkit::canvas
