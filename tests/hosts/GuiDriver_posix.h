#pragma once
// The GUI rig's hands and eyes on X11 (GuiDriver.h), and what only the
// Linux rig uses: the user's X connection (its own, used only by the thread
// that plays the user, so it works while the host's thread sits in a menu or
// a dialog), keys by keysym, the windows a user would look at found and
// read, and the pixels a window shows.
#define KeyCode XlibKeyCode
#include <X11/Xlib.h>
#undef KeyCode

#include <string>
#include <vector>

#include "GuiDriver.h"

class LICE_IBitmap;

namespace gui {

// ---- the user's connection ------------------------------------------------------
bool Begin();  // false without a display or without XTest
void End();
Display* Dpy();
Window Root();

// ---- input ----------------------------------------------------------------------------
// A wheel click: button 4 (away), 5 (toward), 6 and 7 (sideways).
void WheelButton(Point p, int button);
// A key by keysym; characters without a key get one for the moment.
void KeySymbol(KeySym keysym, bool shift = false);
// Gives the keyboard focus to a window (as a window manager would).
void Focus(Window w);

// ---- windows ----------------------------------------------------------------------
std::vector<Window> ChildrenOf(Window w);
bool Viewable(Window w);
std::string NameOf(Window w);
std::string ClassOf(Window w);  // WM_CLASS res_name
Window TransientFor(Window w);
// Viewable top-level windows whose WM_CLASS name (or, when title is given,
// whose title) matches, newest last.
std::vector<Window> TopLevels(const char* className, const char* title = nullptr);

// ---- pixels -------------------------------------------------------------------------
Picture Capture(Window w);
// The top left w x h of a drawing-layer bitmap (alpha dropped).
Picture FromBitmap(LICE_IBitmap* bitmap, int w, int h);

}  // namespace gui
