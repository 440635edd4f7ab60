#pragma once
#include <string>

class PopupMenu;

// The decisions of the editor window that need no window system: which key
// the core understands, how far a wheel turned, which menu item a command id
// names, the file dialog's filter, the folder part of a path. The Windows
// window layer uses them; they are plain functions so that they can be tested
// anywhere, and a later window layer for another system can share them.
namespace windowlogic {

// Virtual-key codes as the Windows window system numbers them (the key
// messages carry them).
constexpr int kVkSpace = 0x20;
constexpr int kVkLeft = 0x25;
constexpr int kVkUp = 0x26;
constexpr int kVkRight = 0x27;
constexpr int kVkDown = 0x28;

// The core's KeyCode for a virtual key: space, the four arrows, '0'-'9' and
// 'A'-'Z'; -1 for every other key (those go to the host).
int KeyCodeForVirtualKey(int vk);

// Whole notches of a wheel message's delta (120 units a notch), truncated
// toward zero: a high-resolution step of 60 units turns nothing.
int WheelNotches(int delta);

// Native menus are built with running command ids: the items of a menu take
// the next ids in order, then each submenu (in item order) is numbered the
// same way. NumberOfIds is how many ids a menu and its submenus take;
// MenuForCommandId walks the same order back and returns the (sub)menu the
// id belongs to, with the item's position in *index, or null when no item
// has that id.
int NumberOfIds(const PopupMenu& menu);
PopupMenu* MenuForCommandId(PopupMenu* menu, int id, int* index);

// The file dialog's filter for a space-separated list of extensions
// ("fxp fxb"): pattern "*.fxp;*.fxb" (at most 255 characters: an extension
// that would not fit whole is left out), default extension the first one (at
// most 15 characters, else none). Empty when the list holds no extension.
struct FileFilter {
  std::string pattern;
  std::string defaultExtension;
};
FileFilter BuildFileFilter(const char* extensions);

// The folder of a module file: the path up to and including its last
// backslash; empty when there is none or it is the last character.
std::string ModuleFolderOf(const std::string& modulePath);

// Drive and folder of a chosen file: everything up to and including the last
// backslash or slash; empty when there is none.
std::string DriveAndFolderOf(const std::string& path);

}  // namespace windowlogic
