// Popup menus of the X11 window layer: drawn by the editor (WindowViews) in
// override-redirect windows, with the pointer and the keyboard grabbed
// while they are open, in a loop of their own until a choice is made or the
// menu is dismissed. The editor's redraw cycle goes on meanwhile.
#include <X11/keysym.h>
#include <unistd.h>

#include <memory>

#include "IGraphicsX11Internal.h"
#include "WindowViews.h"
#include "lice/lice.h"

namespace {

// One open menu: the root menu or a submenu opened from it.
struct Level {
  PopupMenu* menu = nullptr;
  windowviews::MenuLayout layout;
  Window win = 0;
  int x = 0, y = 0;
  int highlight = -1;
};

constexpr long kMenuEvents = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask;

}  // namespace

PopupMenu* IGraphicsX11::Impl::RunMenu(PopupMenu* menu, const Rect& rect) {
  // The menu takes the mouse: the click that opened it ends here.
  g->ReleaseMouseCapture();
  captured = false;
  if (!menu || !Alive()) return nullptr;

  const int screenW = DisplayWidth(dpy, screen), screenH = DisplayHeight(dpy, screen);
  std::vector<std::unique_ptr<Level>> levels;

  auto paint = [&](Level& level) {
    LICE_MemBitmap bitmap(level.layout.width, level.layout.height);
    windowviews::PaintMenu(&bitmap, *level.menu, level.layout, level.highlight);
    PutBitmap(level.win, &bitmap, 0, 0, level.layout.width, level.layout.height);
  };
  auto open = [&](PopupMenu* m, int x, int y, bool submenuOf, const Level* parentLevel, int parentItem) {
    auto level = std::make_unique<Level>();
    level->menu = m;
    level->layout = windowviews::LayoutMenu(*m);
    windowlogic::MenuPlace p;
    if (submenuOf && parentLevel) {
      const Rect& item = parentLevel->layout.items[static_cast<size_t>(parentItem)];
      p = windowlogic::PlaceSubmenu(parentLevel->x, parentLevel->x + parentLevel->layout.width,
                                    parentLevel->y + item.T - 3, level->layout.width, level->layout.height,
                                    screenW, screenH);
    } else {
      p = windowlogic::PlaceMenu(x, y, level->layout.width, level->layout.height, screenW, screenH);
    }
    level->x = p.x;
    level->y = p.y;
    level->win = MakeOverrideWindow(p.x, p.y, level->layout.width, level->layout.height, kMenuEvents);
    XMapRaised(dpy, level->win);
    paint(*level);
    levels.push_back(std::move(level));
  };
  auto closeFrom = [&](size_t depthToKeep) {
    while (levels.size() > depthToKeep) {
      XDestroyWindow(dpy, levels.back()->win);
      levels.pop_back();
    }
  };
  auto levelOf = [&](Window w) -> int {
    for (size_t i = 0; i < levels.size(); ++i) {
      if (levels[i]->win == w) return static_cast<int>(i);
    }
    return -1;
  };
  // Highlights an item of a level; the submenus beyond it close, and the
  // item's own submenu opens when it has one and is enabled.
  auto highlight = [&](size_t at, int item, bool openSubmenu) {
    Level& level = *levels[at];
    if (level.highlight != item) {
      closeFrom(at + 1);
      level.highlight = item;
      paint(level);
    }
    // (Back on the item whose submenu is open: it stays open.)
    const PopupMenuItem* it = level.menu->GetItem(item);
    if (openSubmenu && it && it->submenu && it->Enabled() && levels.size() == at + 1) {
      open(it->submenu.get(), 0, 0, true, &level, item);
    }
  };

  // At the control's bottom left corner, on the screen.
  int sx = 0, sy = 0;
  Window child = 0;
  XTranslateCoordinates(dpy, wnd, root, rect.L, rect.B, &sx, &sy, &child);
  open(menu, sx, sy, false, nullptr, -1);
  XSync(dpy, False);

  // The pointer and the keyboard, so that a click anywhere else closes the
  // menu and the arrow keys reach it. A grab can fail for a moment (another
  // client's grab ending, the window not on screen yet): a few tries.
  const Window grabWindow = levels[0]->win;
  bool pointerGrabbed = false, keyboardGrabbed = false;
  for (int tries = 0; tries < 40 && !(pointerGrabbed && keyboardGrabbed); ++tries) {
    if (!pointerGrabbed) {
      pointerGrabbed = XGrabPointer(dpy, grabWindow, True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                                    GrabModeAsync, GrabModeAsync, None, None, CurrentTime) == GrabSuccess;
    }
    if (!keyboardGrabbed) {
      keyboardGrabbed = XGrabKeyboard(dpy, grabWindow, True, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
    }
    if (!(pointerGrabbed && keyboardGrabbed)) usleep(5000);
  }

  PopupMenu* chosen = nullptr;
  int chosenIndex = -1;
  bool done = false;
  ++loopDepth;
  while (!done && !ShouldLeaveLoop()) {
    while (!done && dpy && !closeRequested.load() && XPending(dpy) > 0) {
      XEvent ev;
      XNextEvent(dpy, &ev);
      switch (ev.type) {
        case Expose: {
          const int at = levelOf(ev.xexpose.window);
          if (at >= 0) {
            if (ev.xexpose.count == 0) paint(*levels[static_cast<size_t>(at)]);
          } else {
            HandleEvent(ev, true);
          }
          break;
        }
        case MotionNotify: {
          // The latest position only.
          while (XEventsQueued(dpy, QueuedAfterReading) > 0) {
            XEvent next;
            XPeekEvent(dpy, &next);
            if (next.type != MotionNotify) break;
            XNextEvent(dpy, &ev);
          }
          const int at = levelOf(ev.xmotion.window);
          if (at < 0) break;
          const Level& level = *levels[static_cast<size_t>(at)];
          const int item = windowviews::MenuItemAt(level.layout, ev.xmotion.x, ev.xmotion.y);
          if (item >= 0 && windowviews::MenuItemSelectable(*level.menu, item)) {
            highlight(static_cast<size_t>(at), item, true);
          }
          break;
        }
        case ButtonPress: {
          const int at = levelOf(ev.xbutton.window);
          const bool inside = at >= 0 && ev.xbutton.x >= 0 && ev.xbutton.y >= 0 &&
                              ev.xbutton.x < levels[static_cast<size_t>(at)]->layout.width &&
                              ev.xbutton.y < levels[static_cast<size_t>(at)]->layout.height;
          if (!inside) {
            done = true;  // a click outside every menu: no choice
            break;
          }
          const Level& level = *levels[static_cast<size_t>(at)];
          const int item = windowviews::MenuItemAt(level.layout, ev.xbutton.x, ev.xbutton.y);
          if (item >= 0 && windowviews::MenuItemSelectable(*level.menu, item)) {
            highlight(static_cast<size_t>(at), item, true);
          }
          break;
        }
        case ButtonRelease: {
          // The left button chooses, on release (so that a press, a drag
          // to the item and a release choose too).
          if (ev.xbutton.button != Button1) break;
          const int at = levelOf(ev.xbutton.window);
          if (at < 0) break;
          const Level& level = *levels[static_cast<size_t>(at)];
          const int item = windowviews::MenuItemAt(level.layout, ev.xbutton.x, ev.xbutton.y);
          if (windowviews::MenuItemChoosable(*level.menu, item)) {
            chosen = level.menu;
            chosenIndex = item;
            done = true;
          }
          break;
        }
        case KeyPress: {
          KeySym keysym = NoSymbol;
          char text[16];
          XLookupString(&ev.xkey, text, sizeof(text), &keysym, nullptr);
          const size_t deepest = levels.size() - 1;
          Level& level = *levels[deepest];
          switch (keysym) {
            case XK_Down:
            case XK_KP_Down:
            case XK_Up:
            case XK_KP_Up: {
              const int dir = keysym == XK_Down || keysym == XK_KP_Down ? 1 : -1;
              const int item = windowviews::NextMenuItem(*level.menu, level.highlight, dir);
              if (item >= 0) highlight(deepest, item, false);
              break;
            }
            case XK_Right:
            case XK_KP_Right:
            case XK_Return:
            case XK_KP_Enter:
            case XK_space: {
              const PopupMenuItem* it = level.menu->GetItem(level.highlight);
              if (!it) break;
              if (it->submenu) {
                if (!it->Enabled()) break;
                if (levels.size() == deepest + 1) open(it->submenu.get(), 0, 0, true, &level, level.highlight);
                Level& sub = *levels.back();
                const int first = windowviews::NextMenuItem(*sub.menu, -1, 1);
                if (first >= 0) highlight(levels.size() - 1, first, false);
              } else if (keysym != XK_Right && keysym != XK_KP_Right &&
                         windowviews::MenuItemChoosable(*level.menu, level.highlight)) {
                chosen = level.menu;
                chosenIndex = level.highlight;
                done = true;
              }
              break;
            }
            case XK_Left:
            case XK_KP_Left:
              if (levels.size() > 1) closeFrom(levels.size() - 1);
              break;
            case XK_Escape:
              if (levels.size() > 1) closeFrom(levels.size() - 1);
              else done = true;
              break;
            default:
              break;
          }
          break;
        }
        case KeyRelease:
          break;
        default:
          HandleEvent(ev, true);
          break;
      }
    }
    if (done || ShouldLeaveLoop()) break;
    RunCycle();
    Wait(40);
  }
  --loopDepth;

  if (dpy) {
    if (pointerGrabbed) XUngrabPointer(dpy, CurrentTime);
    if (keyboardGrabbed) XUngrabKeyboard(dpy, CurrentTime);
    closeFrom(0);
    XFlush(dpy);
  }
  // What the menu covered is painted again.
  invalid = Rect(0, 0, g->Width(), g->Height());
  captured = false;
  clicks.Forget();  // the clicks went to the menu
  if (chosen) chosen->SetChosenItemIdx(chosenIndex);
  return chosen;
}
