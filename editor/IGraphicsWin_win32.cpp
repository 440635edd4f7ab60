#include "IGraphicsWin.h"
#include "platform/WideText_win32.h"

#include <windows.h>
#include <windowsx.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <wininet.h>

#include <algorithm>
#include <vector>

#include "IControl.h"
#include "WindowLogic.h"

static_assert(sizeof(COLORREF) == sizeof(uint32_t), "custom colours are kept as 32-bit values");

namespace {

// Editor windows open in this process, over all instances. The class is
// registered while it is above 0. A window destroyed together with the
// host's window that held it cannot unregister the class from inside its own
// destruction (the class still has that window then): the class is left
// "lingering" and unregistered at the next chance.
int gWindowCount = 0;
bool gClassLingers = false;
HINSTANCE gClassModule = nullptr;
// The frames per second of the editor being opened, for the creation handler.
int gOpeningFPS = IGraphics::kDefaultFPS;

// Marks the entry window's user data as ours.
constexpr LONG_PTR kEntryMarker = static_cast<LONG_PTR>(0xdeadf00bUL);


std::string ModuleFileName(HMODULE module) {
  std::vector<wchar_t> buf(32768);
  const DWORD n = GetModuleFileNameW(module, buf.data(), static_cast<DWORD>(buf.size()));
  if (n == 0 || n >= buf.size()) return std::string();
  return NarrowToUtf8(buf.data());
}

std::string ShellFolder(int csidl) {
  wchar_t buf[MAX_PATH] = {0};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buf))) return std::string();
  return NarrowToUtf8(buf);
}

MouseMods ModsFrom(WPARAM wParam) {
  MouseMods m;
  m.L = (wParam & MK_LBUTTON) != 0;
  m.R = (wParam & MK_RBUTTON) != 0;
  m.S = (wParam & MK_SHIFT) != 0;
  m.C = (wParam & MK_CONTROL) != 0;
  m.A = GetKeyState(VK_MENU) < 0;  // the mouse messages do not carry Alt
  return m;
}

void UnregisterLingeringClass() {
  if (gWindowCount == 0 && gClassLingers && UnregisterClassA(IGraphicsWin::kWindowClass, gClassModule)) {
    gClassLingers = false;
  }
}

void ReleaseClass() {
  if (--gWindowCount > 0) return;
  gWindowCount = 0;
  gClassLingers = true;
  UnregisterLingeringClass();
}

// Native menus with running command ids, in the order that
// windowlogic::MenuForCommandId walks back.
HMENU BuildMenu(const PopupMenu& menu, int* nextId) {
  HMENU h = CreatePopupMenu();
  const int first = *nextId;
  *nextId += menu.NItems();
  for (int i = 0; i < menu.NItems(); ++i) {
    const PopupMenuItem* item = menu.GetItem(i);
    const std::wstring text = WidenUtf8OrAnsi(menu.DisplayText(i));
    if (item->IsSeparator()) {
      AppendMenuW(h, MF_SEPARATOR, 0, nullptr);
    } else if (item->submenu) {
      HMENU sub = BuildMenu(*item->submenu, nextId);
      AppendMenuW(h, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), text.c_str());
    } else {
      UINT flags = MF_STRING;
      if (item->flags & PopupMenuItem::kDisabled) flags |= MF_GRAYED;
      if (item->flags & PopupMenuItem::kTitle) flags |= MF_DISABLED;
      if (item->flags & PopupMenuItem::kChecked) flags |= MF_CHECKED;
      AppendMenuW(h, flags, static_cast<UINT_PTR>(first + i), text.c_str());
    }
  }
  return h;
}

UINT_PTR CALLBACK ColorDialogHook(HWND dialog, UINT msg, WPARAM, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    const auto* cc = reinterpret_cast<const CHOOSECOLORW*>(lParam);
    if (cc && cc->lCustData) SetWindowTextW(dialog, reinterpret_cast<const wchar_t*>(cc->lCustData));
  }
  return 0;
}

struct OwnerSearch {
  DWORD processId;
  std::wstring className;
  HWND found = nullptr;
};

BOOL CALLBACK FindOwnerWindow(HWND wnd, LPARAM lParam) {
  auto* s = reinterpret_cast<OwnerSearch*>(lParam);
  DWORD pid = 0;
  GetWindowThreadProcessId(wnd, &pid);
  if (pid != s->processId) return TRUE;
  wchar_t name[256] = {0};
  GetClassNameW(wnd, name, 256);
  if (s->className != name) return TRUE;
  s->found = wnd;
  return FALSE;
}

}  // namespace

// ---- the window and entry procedures ----------------------------------------------

class IGraphicsWinProc {
 public:
  static LRESULT CALLBACK Window(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK Entry(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
};

LRESULT CALLBACK IGraphicsWinProc::Window(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CREATE) {
    auto* g = static_cast<IGraphicsWin*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(g));
    g->mWnd = wnd;
    SetTimer(wnd, IGraphicsWin::kTimerId, 1000 / (gOpeningFPS > 0 ? gOpeningFPS : 1), nullptr);
    SetFocus(wnd);
    return 0;
  }
  auto* g = reinterpret_cast<IGraphicsWin*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
  if (!g || g->mWnd != wnd) return DefWindowProcA(wnd, msg, wParam, lParam);

  if (msg == WM_NCDESTROY) {
    // Destroyed without CloseWindow: the host destroyed the window that
    // held the editor. The editor must not keep a dead handle.
    SetWindowLongPtrA(wnd, GWLP_USERDATA, 0);
    g->ForgetWindow();
    return DefWindowProcA(wnd, msg, wParam, lParam);
  }

  // While the entry box is being edited the editor stands still: a click on
  // it cancels the entry, everything else (the timer too) is left alone.
  // Only the release of the button whose press opened the entry still goes
  // through: it frees the mouse capture taken at the press (else every later
  // click in the host would land here) and ends the control's gesture.
  if (g->mEntryWnd && g->mEntryState == IGraphicsWin::kEntryEditing) {
    if (msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN) {
      g->mEntryState = IGraphicsWin::kEntryCancel;
      return 0;
    }
    const bool release = msg == WM_LBUTTONUP || msg == WM_RBUTTONUP || msg == WM_MBUTTONUP;
    if (!release || GetCapture() != wnd) return DefWindowProcA(wnd, msg, wParam, lParam);
  }

  const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
  switch (msg) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      return 0;

    case WM_PAINT: {
      RECT r;
      if (GetUpdateRect(wnd, &r, FALSE)) g->DrawDirty(Rect(r.left, r.top, r.right, r.bottom));
      // An editor without controls presents nothing; its update region must
      // still be cleared, or the window would be asked to paint forever.
      if (GetUpdateRect(wnd, nullptr, FALSE)) ValidateRect(wnd, nullptr);
      return 0;
    }

    case WM_CLOSE:
      g->CloseWindow();
      return 0;

    case WM_KEYDOWN:
    case WM_KEYUP: {
      if (msg == WM_KEYDOWN) {
        const int key = windowlogic::KeyCodeForVirtualKey(static_cast<int>(wParam));
        if (key >= 0) {
          POINT p;
          GetCursorPos(&p);
          ScreenToClient(wnd, &p);
          if (g->OnKeyDown(p.x, p.y, key)) return 0;
        }
      }
      // Keys the editor does not use belong to the host (its shortcuts, its
      // virtual keyboard).
      HWND root = GetAncestor(wnd, GA_ROOT);
      if (root && root != wnd) SendMessageA(root, msg, wParam, lParam);
      return 0;
    }

    case WM_TIMER:
      if (wParam == IGraphicsWin::kTimerId) {
        g->OnTimerTick();
        return 0;
      }
      break;

    case WM_CTLCOLOREDIT: {
      if (!g->mEntryControl) return 0;
      const TextStyle& s = g->mEntryControl->Style();
      const COLORREF bg = RGB(s.entryBackground.R, s.entryBackground.G, s.entryBackground.B);
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetBkColor(dc, bg);
      SetTextColor(dc, RGB(s.entryForeground.R, s.entryForeground.G, s.entryForeground.B));
      SetBkMode(dc, OPAQUE);
      // The box outside the text takes the same colour.
      SetDCBrushColor(dc, bg);
      return reinterpret_cast<LRESULT>(GetStockObject(DC_BRUSH));
    }

    case WM_MOUSEMOVE:
      if (wParam & (MK_LBUTTON | MK_RBUTTON)) {
        if (GetCapture() == wnd && !g->mEntryWnd) g->OnMouseDrag(x, y, ModsFrom(wParam));
      } else {
        g->OnMouseOver(x, y, ModsFrom(wParam));
      }
      return 0;

    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (g->mEntryWnd) {
        g->mEntryState = IGraphicsWin::kEntryCommit;
        return 0;
      }
      SetFocus(wnd);
      SetCapture(wnd);
      g->OnMouseDown(x, y, ModsFrom(wParam));
      return 0;

    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      ReleaseCapture();
      g->OnMouseUp(x, y, ModsFrom(wParam));
      return 0;

    case WM_LBUTTONDBLCLK:
      if (g->OnMouseDoubleClick(x, y, ModsFrom(wParam))) SetCapture(wnd);
      return 0;

    case WM_MOUSEWHEEL: {
      if (g->mEntryWnd) {
        g->mEntryState = IGraphicsWin::kEntryCancel;
        return 0;
      }
      const int d = windowlogic::WheelNotches(GET_WHEEL_DELTA_WPARAM(wParam));
      RECT r;
      GetWindowRect(wnd, &r);  // the message carries screen coordinates
      g->OnMouseWheel(x - r.left, y - r.top, ModsFrom(GET_KEYSTATE_WPARAM(wParam)), d);
      return 0;
    }

    default:
      break;
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

LRESULT CALLBACK IGraphicsWinProc::Entry(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* g = reinterpret_cast<IGraphicsWin*>(GetWindowLongPtrA(GetParent(wnd), GWLP_USERDATA));
  if (!g || g->mEntryWnd != wnd || !g->mEntryPrevProc) return DefWindowProcW(wnd, msg, wParam, lParam);
  auto prev = reinterpret_cast<WNDPROC>(g->mEntryPrevProc);
  switch (msg) {
    case WM_SETFOCUS:
      g->mEntryState = IGraphicsWin::kEntryEditing;
      break;
    case WM_KILLFOCUS:
      g->mEntryState = IGraphicsWin::kEntryCommit;
      break;
    case WM_GETDLGCODE: {
      // Inside a host's dialog, Enter would press the dialog's default
      // button; the entry wants it itself.
      LRESULT code = CallWindowProcW(prev, wnd, msg, wParam, lParam);
      const MSG* m = reinterpret_cast<const MSG*>(lParam);
      if (!g->mEntryParam && m && m->message == WM_KEYDOWN && m->wParam == VK_RETURN) code |= DLGC_WANTALLKEYS;
      return code;
    }
    case WM_KEYDOWN:
      if (wParam == VK_RETURN) {
        g->mEntryState = IGraphicsWin::kEntryCommit;
        return 0;
      }
      if (wParam == VK_ESCAPE) {
        g->mEntryState = IGraphicsWin::kEntryCancel;
        return 0;
      }
      break;
    case WM_CHAR:
      // The characters of Enter and Escape: already acted on as keys; a
      // multi-line box would otherwise take Enter as a line break.
      if (wParam == '\r' || wParam == '\n' || wParam == 0x1B) return 0;
      break;
    default:
      break;
  }
  return CallWindowProcW(prev, wnd, msg, wParam, lParam);
}

// ---- life cycle ------------------------------------------------------------------------

IGraphicsWin::IGraphicsWin(IPlugBase* plug, void* module, int w, int h, int fps)
    : IGraphics(plug, w, h, fps), mModule(module), mProcessId(GetCurrentProcessId()) {}

IGraphicsWin::~IGraphicsWin() {
  CloseWindow();
  UnregisterLingeringClass();
}

int IGraphicsWin::OpenWindowCount() { return gWindowCount; }

void* IGraphicsWin::OpenWindow(void* parent) {
  HWND parentWnd = static_cast<HWND>(parent);
  // A child window needs a live parent; refusing here registers nothing.
  if (!parentWnd || !IsWindow(parentWnd)) return nullptr;

  int x = 0, y = 0, w = Width(), h = Height();
  if (mWnd) {
    // A second open replaces the window, keeping its place in the parent
    // and its size.
    HWND old = static_cast<HWND>(mWnd);
    RECT r;
    GetWindowRect(old, &r);
    POINT topLeft = {r.left, r.top};
    if (HWND oldParent = GetParent(old)) ScreenToClient(oldParent, &topLeft);
    x = topLeft.x;
    y = topLeft.y;
    w = r.right - r.left;
    h = r.bottom - r.top;
    CloseWindow();
  }
  mParentWnd = parent;

  HINSTANCE module = static_cast<HINSTANCE>(mModule);
  if (gWindowCount++ == 0) {
    WNDCLASSA wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = IGraphicsWinProc::Window;
    wc.hInstance = module;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kWindowClass;
    // A class left lingering by a window the host destroyed is the same
    // class: it is simply taken over.
    if (RegisterClassA(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS) gClassLingers = false;
    gClassModule = module;
  }

  gOpeningFPS = FPS();
  HWND wnd = CreateWindowExA(0, kWindowClass, "Quarvi", WS_CHILD | WS_VISIBLE, x, y, w, h, parentWnd,
                             nullptr, module, this);
  if (!wnd) {
    mWnd = nullptr;
    ReleaseClass();
    return nullptr;
  }
  mWnd = wnd;
  SetAllControlsDirty();  // the first tick paints everything
  return mWnd;
}

void IGraphicsWin::CloseWindow() {
  if (mWnd) {
    HWND wnd = static_cast<HWND>(mWnd);
    if (mEntryWnd) CloseEntry(false);
    mWnd = nullptr;  // from here on the window procedure treats it as foreign
    DestroyWindow(wnd);
    ReleaseClass();
  }
  UnregisterLingeringClass();
}

void IGraphicsWin::ForgetEntry() {
  if (mEntryFont) DeleteObject(static_cast<HFONT>(mEntryFont));
  mEntryFont = nullptr;
  mEntryWnd = nullptr;
  mEntryControl = nullptr;
  mEntryParam = nullptr;
  mEntryPrevProc = nullptr;
  mEntryState = kEntryNone;
}

void IGraphicsWin::ForgetWindow() {
  ForgetEntry();  // the entry box went with its parent
  mWnd = nullptr;
  ReleaseMouseCapture();
  ReleaseClass();
}

bool IGraphicsWin::PresentRect(const Rect& rect) {
  HWND wnd = static_cast<HWND>(mWnd);
  if (!wnd) return true;
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(wnd, &ps);
  LICE_SysBitmap* back = BackBuffer();
  if (dc && back && back->GetDC()) {
    BitBlt(dc, rect.L, rect.T, rect.W(), rect.H(), static_cast<HDC>(back->GetDC()), rect.L, rect.T,
           SRCCOPY);
  }
  EndPaint(wnd, &ps);
  return true;
}

void IGraphicsWin::Resize(int w, int h) {
  if (w == Width() && h == Height()) return;
  const int dw = w - Width(), dh = h - Height();
  if (mEntryWnd) CloseEntry(false);  // its control goes with the others
  IGraphics::Resize(w, h);
  HWND wnd = static_cast<HWND>(mWnd);
  if (!wnd) return;
  // The editor window, and the host's windows around it, grow by the
  // difference and keep their places.
  auto grow = [dw, dh](HWND target) {
    RECT r;
    GetWindowRect(target, &r);
    SetWindowPos(target, nullptr, 0, 0, r.right - r.left + dw, r.bottom - r.top + dh,
                 SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
  };
  grow(wnd);
  if (GetWindowLongA(wnd, GWL_STYLE) & WS_CHILD) {
    if (HWND parent = GetParent(wnd)) {
      grow(parent);
      if (GetWindowLongA(parent, GWL_STYLE) & WS_CHILD) {
        if (HWND grandparent = GetParent(parent)) grow(grandparent);
      }
    }
  }
  InvalidateRect(wnd, nullptr, FALSE);
}

// ---- the redraw cycle -------------------------------------------------------------------

void IGraphicsWin::OnTimerTick() {
  HWND wnd = static_cast<HWND>(mWnd);
  if (mEntryWnd && mEntryState != kEntryNone) {
    // A finished entry is applied on its own tick.
    const int state = mEntryState;
    mEntryState = kEntryNone;
    if (state == kEntryCommit || state == kEntryCancel) CloseEntry(state == kEntryCommit);
    return;
  }
  Rect r;
  if (!CollectDirty(&r)) return;
  RECT dirty = {r.L, r.T, r.R, r.B};
  InvalidateRect(wnd, &dirty, FALSE);
  if (mEntryWnd) {
    // The entry box paints itself: the editor must not paint over it.
    RECT box;
    GetWindowRect(static_cast<HWND>(mEntryWnd), &box);
    MapWindowPoints(HWND_DESKTOP, wnd, reinterpret_cast<POINT*>(&box), 2);
    ValidateRect(wnd, &box);
    UpdateWindow(wnd);
    mEntryState = kEntryUpdate;
  } else {
    UpdateWindow(wnd);
  }
}

// ---- text entry -------------------------------------------------------------------------

void IGraphicsWin::ShowValueEntry(IControl* control, const TextStyle& style, const Rect& rect,
                                  const char* initialText, IPlugParam* param) {
  if (!control || mEntryWnd || !mWnd) return;
  DWORD flags = WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOHSCROLL;
  if (style.align == TextStyle::kAlignCenter) flags |= ES_CENTER;
  else if (style.align == TextStyle::kAlignFar) flags |= ES_RIGHT;
  else flags |= ES_LEFT;
  HWND entry = CreateWindowExW(0, L"EDIT", WidenUtf8OrAnsi(initialText).c_str(), flags, rect.L, rect.T,
                               rect.W() + 1, rect.H() + 1, static_cast<HWND>(mWnd),
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEntryId)),
                               static_cast<HINSTANCE>(mModule), nullptr);
  if (!entry) return;
  HFONT font = CreateFontW(style.size, 0, 0, 0, style.style == TextStyle::kBold ? FW_BOLD : FW_DONTCARE,
                           style.style == TextStyle::kItalic, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, WidenUtf8OrAnsi(style.face).c_str());
  SendMessageW(entry, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
  SendMessageW(entry, EM_LIMITTEXT, static_cast<WPARAM>(control->TextEntryLength()), 0);
  SendMessageW(entry, EM_SETSEL, 0, -1);

  mEntryWnd = entry;
  mEntryControl = control;
  mEntryParam = param;
  mEntryFont = font;
  mEntryState = kEntryNone;
  mEntryPrevProc = reinterpret_cast<void*>(
      SetWindowLongPtrW(entry, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(IGraphicsWinProc::Entry)));
  SetWindowLongPtrW(entry, GWLP_USERDATA, kEntryMarker);
  // Focus last, through the entry procedure: the entry is being edited from
  // the start, so a click on the editor cancels it.
  SetFocus(entry);
}

void IGraphicsWin::EndValueEntry() {
  if (mEntryWnd) mEntryState = kEntryCancel;
}

void IGraphicsWin::CloseEntry(bool commit) {
  HWND entry = static_cast<HWND>(mEntryWnd);
  IControl* control = mEntryControl;
  const bool hadParam = mEntryParam != nullptr;
  std::string text;
  if (commit) {
    wchar_t buf[32] = {0};  // at most 31 characters are taken
    GetWindowTextW(entry, buf, 32);
    text = NarrowToUtf8(buf);
  }
  const bool hadFocus = GetFocus() == entry;
  SetWindowLongPtrW(entry, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(mEntryPrevProc));
  DestroyWindow(entry);
  ForgetEntry();
  // Keys go on reaching the editor (and through it the host).
  if (hadFocus && mWnd) SetFocus(static_cast<HWND>(mWnd));
  if (commit && !hadParam && control) control->OnTextEntered(text.c_str());
}

// ---- menus and questions ----------------------------------------------------------------

PopupMenu* IGraphicsWin::ShowPopupMenu(PopupMenu* menu, const Rect& rect) {
  ReleaseMouseCapture();  // the menu takes the mouse
  HWND wnd = static_cast<HWND>(mWnd);
  if (!menu || !wnd) return nullptr;
  int nextId = 0;
  HMENU native = BuildMenu(*menu, &nextId);
  POINT p = {rect.L, rect.B};
  ClientToScreen(wnd, &p);
  PopupMenu* chosen = nullptr;
  if (TrackPopupMenu(native, TPM_LEFTBUTTON, p.x, p.y, 0, wnd, nullptr)) {
    MSG m;
    if (PeekMessageW(&m, wnd, WM_COMMAND, WM_COMMAND, PM_REMOVE)) {
      int index = -1;
      chosen = windowlogic::MenuForCommandId(menu, LOWORD(m.wParam), &index);
      if (chosen) chosen->SetChosenItemIdx(index);
    }
  }
  DestroyMenu(native);  // with its submenus
  InvalidateRect(wnd, nullptr, FALSE);
  return chosen;
}

void* IGraphicsWin::MessageBoxOwner() {
  HWND parent = static_cast<HWND>(mParentWnd);
  if ((!mHostTopWnd || !IsWindow(static_cast<HWND>(mHostTopWnd))) && parent && IsWindow(parent)) {
    HWND top = parent;
    while (HWND up = GetParent(top)) top = up;
    mHostTopWnd = top;
    wchar_t name[256] = {0};
    GetClassNameW(top, name, 256);
    mHostTopClass = NarrowToUtf8(name);
  }
  if (mHostTopWnd && IsWindow(static_cast<HWND>(mHostTopWnd))) return mHostTopWnd;
  if (mHostTopClass.empty()) return nullptr;
  // The host's window is gone: its next window of the same class.
  OwnerSearch search{static_cast<DWORD>(mProcessId), WidenUtf8OrAnsi(mHostTopClass)};
  EnumWindows(FindOwnerWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

int IGraphicsWin::ShowMessageBox(const char* text, const char* caption, int type) {
  HWND owner = static_cast<HWND>(MessageBoxOwner());
  return MessageBoxW(owner, WidenUtf8OrAnsi(text).c_str(), WidenUtf8OrAnsi(caption).c_str(), static_cast<UINT>(type));
}

void IGraphicsWin::AskForFile(std::string* fileName, int action, std::string* folder,
                              const char* extensions) {
  if (!fileName) return;
  HWND wnd = static_cast<HWND>(mWnd);
  if (!wnd) {
    fileName->clear();
    return;
  }
  std::string startFolder = folder ? *folder : std::string();
  if (startFolder.empty()) DesktopFolder(&startFolder);
  const windowlogic::FileFilter f = windowlogic::BuildFileFilter(extensions);
  // Description and pattern are the same text; the list ends with two NULs.
  std::wstring filter = WidenUtf8OrAnsi(f.pattern);
  filter.push_back(L'\0');
  filter += WidenUtf8OrAnsi(f.pattern);
  filter.push_back(L'\0');
  const std::wstring defaultExtension = WidenUtf8OrAnsi(f.defaultExtension), dir = WidenUtf8OrAnsi(startFolder);

  std::vector<wchar_t> name(1024, L'\0');
  const std::wstring start = WidenUtf8OrAnsi(*fileName);
  start.copy(name.data(), std::min(start.size(), name.size() - 1));

  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = wnd;
  ofn.lpstrFilter = f.pattern.empty() ? nullptr : filter.c_str();
  ofn.lpstrFile = name.data();
  ofn.nMaxFile = static_cast<DWORD>(name.size());
  ofn.lpstrInitialDir = dir.empty() ? nullptr : dir.c_str();
  ofn.lpstrDefExt = defaultExtension.empty() ? nullptr : defaultExtension.c_str();
  const bool save = action == kFileSave;
  ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  if (save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn)) {
    *fileName = NarrowToUtf8(name.data());
    if (folder) *folder = windowlogic::DriveAndFolderOf(*fileName);
  } else {
    fileName->clear();
  }
}

bool IGraphicsWin::AskForColor(Color* color, const char* prompt) {
  HWND wnd = static_cast<HWND>(mWnd);
  if (!wnd || !color) return false;
  if (!mCustomColors) {
    mCustomColors.reset(new uint32_t[16]);
    for (int i = 0; i < 16; ++i) mCustomColors[i] = RGB(255, 255, 255);
  }
  const std::wstring title = WidenUtf8OrAnsi(prompt);
  CHOOSECOLORW cc = {};
  cc.lStructSize = sizeof(cc);
  cc.hwndOwner = wnd;
  cc.rgbResult = RGB(color->R, color->G, color->B);
  cc.lpCustColors = reinterpret_cast<COLORREF*>(mCustomColors.get());
  cc.Flags = CC_FULLOPEN | CC_ANYCOLOR | CC_RGBINIT | CC_ENABLEHOOK;
  cc.lpfnHook = ColorDialogHook;
  cc.lCustData = reinterpret_cast<LPARAM>(title.c_str());
  if (!ChooseColorW(&cc)) return false;
  color->R = GetRValue(cc.rgbResult);
  color->G = GetGValue(cc.rgbResult);
  color->B = GetBValue(cc.rgbResult);
  return true;
}

bool IGraphicsWin::OpenUrl(const char* url, const char* caption, const char* confirmText,
                           const char* errorText) {
  if (confirmText && ShowMessageBox(confirmText, caption, MB_YESNO) != IDYES) return false;
  DWORD state = 0;
  if (url && InternetGetConnectedState(&state, 0)) {
    const INT_PTR r = reinterpret_cast<INT_PTR>(
        ShellExecuteW(static_cast<HWND>(mWnd), L"open", WidenUtf8OrAnsi(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (r > 32) return true;
  }
  if (errorText) ShowMessageBox(errorText, caption, MB_OK);
  return false;
}

// ---- system services ----------------------------------------------------------------------

void IGraphicsWin::HostFolder(std::string* folder) {
  *folder = windowlogic::ModuleFolderOf(ModuleFileName(nullptr));
}

void IGraphicsWin::PluginFolder(std::string* folder) {
  *folder = windowlogic::ModuleFolderOf(ModuleFileName(static_cast<HMODULE>(mModule)));
}

void IGraphicsWin::DesktopFolder(std::string* folder) { *folder = ShellFolder(CSIDL_DESKTOPDIRECTORY); }

void IGraphicsWin::AppDataFolder(std::string* folder, bool allUsers) {
  *folder = ShellFolder(allUsers ? CSIDL_COMMON_APPDATA : CSIDL_LOCAL_APPDATA);
}

bool IGraphicsWin::ClipboardText(std::string* text) {
  text->clear();
  if (!IsClipboardFormatAvailable(CF_UNICODETEXT) || !OpenClipboard(static_cast<HWND>(mWnd))) return false;
  bool ok = false;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* w = static_cast<const wchar_t*>(GlobalLock(data))) {
      *text = NarrowToUtf8(w);
      GlobalUnlock(data);
      ok = true;
    }
  }
  CloseClipboard();
  return ok;
}

void IGraphicsWin::HideCursor() {
  if (mCursorHidden) return;
  POINT p;
  if (GetCursorPos(&p)) {
    mHiddenCursorX = p.x;
    mHiddenCursorY = p.y;
  }
  ::ShowCursor(FALSE);
  mCursorHidden = true;
}

void IGraphicsWin::ShowCursor() {
  if (!mCursorHidden) return;
  SetCursorPos(mHiddenCursorX, mHiddenCursorY);
  ::ShowCursor(TRUE);
  mCursorHidden = false;
}
