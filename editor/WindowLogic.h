#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "IGraphics.h"

// The decisions of the editor window that need no window system: which key
// the core understands, how far a wheel turned, which menu item a command id
// names, the file dialog's filter, the folder part of a path; and for the X11
// window layer, which knows less than Windows does for itself: keysyms,
// buttons and modifier masks, double clicks, the redraw clock, the desktop's
// settings, where a menu goes on the screen and the editing of the entry
// box's text. They are plain functions so that they can be tested anywhere.
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
// separator (a backslash on Windows, a slash on Linux); empty when there is
// none or it is the last character.
std::string ModuleFolderOf(const std::string& modulePath, char separator = '\\');

// Drive and folder of a chosen file: everything up to and including the last
// backslash or slash; empty when there is none.
std::string DriveAndFolderOf(const std::string& path);

// ---- X11 -----------------------------------------------------------------------

// The core's KeyCode for an X keysym (the unshifted symbol of the key):
// space, the arrows (main block and keypad), the digits of the main block and
// the letters in either case; -1 for every other key.
int KeyCodeForKeysym(unsigned long keysym);

// Wheel notches of an X button press: button 4 turns one notch away from the
// user (+1), button 5 one toward (-1); 6 and 7 (sideways) and the real
// buttons turn nothing.
int WheelNotchesForButton(int button);

// The modifier and button bits of an X event's state.
constexpr unsigned kXShiftMask = 1u << 0;
constexpr unsigned kXControlMask = 1u << 2;
constexpr unsigned kXMod1Mask = 1u << 3;  // Alt
constexpr unsigned kXButton1Mask = 1u << 8;
constexpr unsigned kXButton2Mask = 1u << 9;
constexpr unsigned kXButton3Mask = 1u << 10;

// The modifiers of a mouse call from an X event. The state of a button event
// is the one before it: a press does not hold its own button yet and a
// release still does. Windows reports the state after the event; so does
// this (pressedButton: the button of a press, released: of a release, else 0).
MouseMods MouseModsFromXState(unsigned state, int pressedButton = 0, int releasedButton = 0);

// Double clicks as the desktop defines them: a second press of the same
// button within timeMs of the first and no further than distance pixels away
// on either axis. A double click ends the sequence: the press after it is a
// single click again.
class ClickTracker {
 public:
  int timeMs = 400;   // the desktop's double-click time (GTK's default)
  int distance = 5;   // and distance
  // Call on every press (time in milliseconds, any clock that only grows);
  // true when this press completes a double click.
  bool Press(int button, uint64_t timeMs, int x, int y);
  void Forget() { mButton = 0; }

 private:
  int mButton = 0;
  uint64_t mTime = 0;
  int mX = 0, mY = 0;
};

// When the redraw cycle runs, from timestamps rather than from how often the
// host happens to call: due once a period has passed since the last cycle,
// at most once per call, and a late call does not bring a burst of cycles.
class RedrawClock {
 public:
  explicit RedrawClock(int periodMs = 40) : mPeriod(periodMs > 0 ? periodMs : 1) {}
  // Restarts: the first Due comes at once.
  void Reset() { mStarted = false; }
  bool Due(int64_t nowMs);
  int64_t MsUntilDue(int64_t nowMs) const;

 private:
  int mPeriod;
  bool mStarted = false;
  int64_t mNext = 0;
};

// An integer setting of the desktop from the XSETTINGS property
// (_XSETTINGS_SETTINGS, as its manager publishes it: "Net/DoubleClickTime",
// "Net/DoubleClickDistance"). False when the data is malformed or does not
// hold the setting as an integer.
bool XSettingsInteger(const unsigned char* data, size_t size, const char* name, int* value);

// The Unicode character a keysym types: Latin-1 keysyms are their own code,
// keysyms 0x01000000 + U are U, keypad digits and operators type theirs; 0
// for keys that type nothing (or nothing this table knows).
unsigned KeysymToUnicode(unsigned long keysym);

// Where a menu of size w x h goes on a screen of size screenW x screenH.
// A menu opens with its top left corner at (x, y). Where it would leave the
// screen it opens toward the other side of the point instead (to the left,
// above) when it fits there, else it moves just far enough to fit (a menu
// wider or taller than the screen starts at its left or top edge). A submenu opens at the right of its parent (x = parent's
// right edge, y = the item's top); when it does not fit there it opens to the
// left of the parent (its right edge at parentLeft), and moves up as needed.
struct MenuPlace {
  int x = 0, y = 0;
};
MenuPlace PlaceMenu(int x, int y, int w, int h, int screenW, int screenH);
MenuPlace PlaceSubmenu(int parentLeft, int parentRight, int itemTop, int w, int h, int screenW,
                       int screenH);

// The UTF-8 text of a one-line entry box: a caret and a selection (byte
// offsets on character boundaries), typing, deletion and the caret keys. A
// byte that starts no valid sequence counts as one character, as text
// drawing shows it. The text never holds more than the limit in characters
// (0: no limit); typing beyond it is cut at a whole character.
class TextEntryModel {
 public:
  // A new entry: the text (cut to the limit), all of it selected, the caret
  // at its end.
  void Reset(const std::string& text, int limitChars);
  const std::string& Text() const { return mText; }
  size_t Caret() const { return mCaret; }
  size_t Anchor() const { return mAnchor; }
  bool HasSelection() const { return mCaret != mAnchor; }
  size_t SelectionStart() const { return mCaret < mAnchor ? mCaret : mAnchor; }
  size_t SelectionEnd() const { return mCaret < mAnchor ? mAnchor : mCaret; }

  // Replaces the selection with the text (control characters dropped).
  void Insert(const std::string& utf8);
  void Backspace();
  void Delete();
  // Caret keys; with select the selection grows from its anchor, without it
  // the selection is dropped (Left and Right with a selection go to its
  // start or end).
  void Home(bool select = false);
  void End(bool select = false);
  void Left(bool select = false);
  void Right(bool select = false);
  void SelectAll();
  // Puts the caret at a byte offset (moved back to a character start).
  void SetCaret(size_t offset, bool select = false);
  // The text a commit takes: at most maxChars characters.
  std::string CommitText(int maxChars) const;

 private:
  size_t PrevChar(size_t at) const;
  size_t NextChar(size_t at) const;
  std::string mText;
  size_t mCaret = 0, mAnchor = 0;
  int mLimit = 0;
};

// Characters in a UTF-8 text (a byte that starts no valid sequence counts as one).
size_t Utf8Length(const std::string& text);
// The byte length of the character at text[at] (1 for a byte that starts no
// valid sequence, 0 at the end).
size_t Utf8CharBytes(const std::string& text, size_t at);
// Appends the UTF-8 form of a code point (nothing for surrogates and values
// beyond U+10FFFF).
void AppendUtf8(std::string* out, unsigned codepoint);

}  // namespace windowlogic
