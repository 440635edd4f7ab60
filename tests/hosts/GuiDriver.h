#pragma once
// The user's hands and eyes for the GUI rigs, the same calls on every
// platform: real input at screen coordinates (pointer moves, clicks, drags,
// the wheel, keys, typed UTF-8 text) and where windows are. Windows injects
// it with SendInput (GuiDriver_win32.cpp), X11 with XTest on a connection of
// the user's own (GuiDriver_posix.cpp); each platform's header adds what only
// its own rig uses. Everything here may be called from the script thread
// while the user-interface thread sits in a menu or a dialog.

#include <cstdint>
#include <string>

#include "GuiChecks.h"

namespace gui {

using Win = uintptr_t;  // a window: an HWND or an X window id
struct Point {
  int x = 0, y = 0;
};
struct Box {
  int x = 0, y = 0, w = 0, h = 0;  // on the screen
};

enum class Key { Return, Escape, Left, Right, Up, Down, Home, End, Delete, Backspace, F1, Q };

// ---- input (screen coordinates) -------------------------------------------------
void MoveTo(Point p);
// A click at p. A click that would follow the previous one at the same spot
// within the double-click time waits that time out first, so that it stays
// a single click.
void Click(Point p);
void DoubleClick(Point p);
// A left-button drag in steps, with Shift held when asked.
void Drag(Point from, Point to, int steps, bool shift);
// Wheel notches at p, away from the user when positive.
void Wheel(Point p, int notches);
// A wheel movement that must turn nothing (half a notch on Windows, the
// sideways buttons on X11); returns what it was.
std::string WheelIgnored(Point p);
void Press(Key key);
void Type(const std::string& utf8);
// Sends the keys that follow to the window at p: Windows gives the keyboard
// to a window clicked, X11 without a window manager to the one under the
// pointer.
void AimKeys(Point p);
Point CursorPos();

// ---- windows ------------------------------------------------------------------------
Box ClientBox(Win w);  // the area the window draws in
Box WindowBox(Win w);  // with its frame, where it has one
bool Exists(Win w);
bool Visible(Win w);  // shown (mapped) with its parents
Box Screen();

}  // namespace gui
