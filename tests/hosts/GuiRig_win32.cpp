// quarvi-gui-rig: the editor met the way a user meets it, as a real window
// (under wine and Xvfb in the test step), clicked, typed at and looked at.
//
//   quarvi-gui-rig PLUGIN.dll PICTURES
//
// A small host: it loads a plug-in, makes a top-level window sized from
// effEditGetRect, opens the editor in it with effEditOpen and pumps messages,
// calling effEditIdle from its own timer, which keeps running inside modal
// loops. A second thread plays the user: it injects mouse and keys with
// SendInput (so capture and focus are exercised, not just handlers), reads
// menus and dialogs as they appear and answers them, and compares pixels at
// chosen places. Everything the host sees (parameter gestures, automation,
// display updates, keys that reach its window) goes into one ordered log that
// the script checks, together with what the host can ask the plug-in
// (programs, names, parameter values).
//
// Part 1: the library's editor opened, closed, reopened, two instances, keys
// to the host window, bad parents, the host destroying its window under the
// editor.
// Part 2: the library's editor worked as a user works it, with the places
// taken from the layout table (instrument/EditorLayout.h): the program arrows
// (they wrap 0 <-> 63), "Unison" and the voice display, a formant type switch
// and the knob swap, drags, fine drags, the wheel and double-click on
// "Volume", the program menu, the utility menu and its commands (copy and
// paste, the program name entry, bank save and load through the file dialogs
// into a folder with a non-ASCII name, init with its question), and a
// picture of the editor after all that (PICTURES-dll.png) and of the utility
// menu open over it (PICTURES-menu.png).
// Part 3: what the window layer offers that the editor does not use (the
// colour dialog, folders, the clipboard, the hidden cursor, a web link the
// user declines, resizing, the message box owner once the host's window is
// gone), on an editor without controls linked into this program.
//
// Each check prints "ok: ..." or "FAILED: ..."; the last line is
// "N passed, N failed".

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "EditorLayout.h"
#include "GuiDriver_win32.h"
#include "IGraphicsWin.h"
#include "IKSControls.h"
#include "IPlugVST.h"
#include "Maker.h"
#include "ParamTable.h"
#include "ProgramCommands.h"
#include "vst2.h"

namespace {

// ---- checks and the log -------------------------------------------------------------

int gPassed = 0, gFailed = 0;

void Check(bool ok, std::string what) {
  for (char& c : what) c = c == '\n' ? ' ' : c;  // one line per check
  std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
  std::fflush(stdout);
  (ok ? gPassed : gFailed)++;
}

std::string Format(const char* fmt, ...) {
  char buf[1024];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(buf, sizeof(buf), fmt, args);
  va_end(args);
  return buf;
}

std::mutex gLogLock;
std::vector<std::string> gLog;

void Log(const std::string& entry) {
  std::lock_guard<std::mutex> g(gLogLock);
  gLog.push_back(entry);
}
size_t Mark() {
  std::lock_guard<std::mutex> g(gLogLock);
  return gLog.size();
}
// Entries since a mark, only those that start with one of the prefixes
// (all of them when none is given).
std::vector<std::string> Since(size_t mark, std::vector<std::string> prefixes = {}) {
  std::lock_guard<std::mutex> g(gLogLock);
  std::vector<std::string> out;
  for (size_t i = mark; i < gLog.size(); ++i) {
    bool keep = prefixes.empty();
    for (const std::string& p : prefixes) keep = keep || gLog[i].compare(0, p.size(), p) == 0;
    if (keep) out.push_back(gLog[i]);
  }
  return out;
}
bool Logged(size_t mark, const std::string& entry) {
  for (const std::string& e : Since(mark)) {
    if (e == entry) return true;
  }
  return false;
}
// Waits for cond (the user-interface thread works on its own time), then
// checks it; the description is made after the wait, so it shows the log as
// it ended up.
void CheckSoon(const std::function<bool()>& cond, const std::function<std::string()>& what, int timeoutMs = 3000) {
  const bool ok = gui::WaitFor(cond, timeoutMs);
  Check(ok, what());
}

std::string Join(const std::vector<std::string>& v) {
  std::string s;
  for (const std::string& e : v) s += (s.empty() ? "" : ", ") + e;
  return "[" + s + "]";
}

// ---- the host -----------------------------------------------------------------------------

HWND gUiWnd = nullptr;  // runs work for the script thread; its timer idles the editors
std::vector<AEffect*> gIdling;
constexpr UINT kRunOnUi = WM_APP + 1, kStartOnUi = WM_APP + 2;
constexpr int kHostMargin = 40;  // host window area below the editor, for clicks away from it

// Runs fn on the user-interface thread and waits for it (also while that
// thread sits in a modal loop: sent messages are handled there too).
void OnUi(const std::function<void()>& fn) {
  SendMessageW(gUiWnd, kRunOnUi, 0, reinterpret_cast<LPARAM>(&fn));
}
// Starts fn there without waiting: for calls that sit in a modal loop until
// the script answers them.
void StartOnUi(const std::function<void()>& fn) {
  PostMessageW(gUiWnd, kStartOnUi, 0, reinterpret_cast<LPARAM>(new std::function<void()>(fn)));
}

VstIntPtr VSTCALLBACK HostCallback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void* ptr, float opt) {
  switch (opcode) {
    case audioMasterVersion: return 2400;
    case audioMasterAutomate: Log(Format("automate %d %.3f", index, opt)); return 0;
    case audioMasterBeginEdit: Log(Format("begin %d", index)); return 1;
    case audioMasterEndEdit: Log(Format("end %d", index)); return 1;
    case audioMasterUpdateDisplay: Log("update display"); return 1;
    case audioMasterGetProductString:
      if (ptr) std::snprintf(static_cast<char*>(ptr), 64, "Quarvi GUI rig");
      return 1;
    default: return 0;
  }
}

LRESULT CALLBACK UiProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kRunOnUi) {
    (*reinterpret_cast<const std::function<void()>*>(lParam))();
    return 0;
  }
  if (msg == kStartOnUi) {
    std::unique_ptr<std::function<void()>> fn(reinterpret_cast<std::function<void()>*>(lParam));
    (*fn)();
    return 0;
  }
  if (msg == WM_TIMER) {
    for (AEffect* e : std::vector<AEffect*>(gIdling)) e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0.0f);
    return 0;
  }
  return DefWindowProcW(wnd, msg, wParam, lParam);
}

LRESULT CALLBACK HostProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_KEYDOWN: Log(Format("host keydown 0x%02X", static_cast<unsigned>(wParam))); return 0;
    case WM_KEYUP: Log(Format("host keyup 0x%02X", static_cast<unsigned>(wParam))); return 0;
    case WM_LBUTTONDOWN:
      SetFocus(wnd);  // as hosts do: a click on their own window takes the keyboard
      Log("host click");
      return 0;
    default: return DefWindowProcW(wnd, msg, wParam, lParam);
  }
}

void RegisterHostClasses() {
  WNDCLASSW ui = {};
  ui.lpfnWndProc = UiProc;
  ui.hInstance = GetModuleHandleW(nullptr);
  ui.lpszClassName = L"QuarviRigUi";
  RegisterClassW(&ui);
  WNDCLASSW host = {};
  host.lpfnWndProc = HostProc;
  host.hInstance = GetModuleHandleW(nullptr);
  host.hCursor = LoadCursor(nullptr, IDC_ARROW);
  host.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  host.lpszClassName = L"QuarviRigHost";
  RegisterClassW(&host);
}

// A plug-in as the host holds it; every call runs on the user-interface thread.
struct Plugin {
  AEffect* effect = nullptr;
  HWND host = nullptr;    // the host's window for its editor
  VstIntPtr Call(VstInt32 op, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr) {
    VstIntPtr r = 0;
    AEffect* e = effect;
    OnUi([&] { r = e->dispatcher(e, op, index, value, ptr, 0.0f); });
    return r;
  }
  // The editor's size as effEditGetRect reports it (0 x 0 when refused).
  SIZE EditorSize() {
    ERect* rect = nullptr;
    if (Call(effEditGetRect, 0, 0, &rect) != 1 || !rect) return SIZE{0, 0};
    return SIZE{rect->right - rect->left, rect->bottom - rect->top};
  }
  // A new top-level host window with room for the editor (and a margin).
  HWND NewHostWindow(int x, int y) {
    const SIZE s = EditorSize();
    OnUi([&] {
      RECT r = {0, 0, s.cx, s.cy + kHostMargin};
      AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, FALSE, 0);
      host = CreateWindowExW(0, L"QuarviRigHost", L"Quarvi GUI rig", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y,
                             r.right - r.left, r.bottom - r.top, nullptr, nullptr, GetModuleHandleW(nullptr),
                             nullptr);
      SetForegroundWindow(host);
    });
    return host;
  }
  bool OpenEditor() {
    const bool ok = Call(effEditOpen, 0, 0, host) == 1;
    AEffect* e = effect;
    OnUi([&] {
      if (std::find(gIdling.begin(), gIdling.end(), e) == gIdling.end()) gIdling.push_back(e);
    });
    return ok;
  }
  void CloseEditor() { Call(effEditClose); }
  HWND Editor() const { return host ? FindWindowExA(host, nullptr, IGraphicsWin::kWindowClass, nullptr) : nullptr; }
  void Close() {
    AEffect* e = effect;
    OnUi([&] {
      gIdling.erase(std::remove(gIdling.begin(), gIdling.end(), e), gIdling.end());
      e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
    });
    effect = nullptr;
  }
  void DestroyHostWindow() {
    HWND h = host;
    OnUi([&] { DestroyWindow(h); });
  }

  // What a host asks about programs and parameters.
  int Program() { return static_cast<int>(Call(effGetProgram)); }
  std::string ProgramName(int index = -1) {
    char name[256] = {0};
    if (index < 0) Call(effGetProgramName, 0, 0, name);
    else Call(effGetProgramNameIndexed, index, 0, name);
    return name;
  }
  std::string ParamText(int index) {
    char text[64] = {0};
    Call(effGetParamDisplay, index, 0, text);
    return text;
  }
  float Param(int index) {
    float v = 0.0f;
    AEffect* e = effect;
    OnUi([&] { v = e->getParameter(e, index); });
    return v;
  }
  std::vector<float> Params() {
    std::vector<float> v;
    for (int i = 0; i < effect->numParams; ++i) v.push_back(Param(i));
    return v;
  }
  void SetParam(int index, float v) {
    AEffect* e = effect;
    OnUi([&] { e->setParameter(e, index, v); });
  }
};

bool ClassRegistered(HINSTANCE module) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof(wc);
  return GetClassInfoExA(module, IGraphicsWin::kWindowClass, &wc) != 0;
}

int EditorWindows(HWND host) {
  int n = 0;
  for (HWND w = FindWindowExA(host, nullptr, IGraphicsWin::kWindowClass, nullptr); w;
       w = FindWindowExA(host, w, IGraphicsWin::kWindowClass, nullptr)) {
    ++n;
  }
  return n;
}

RECT RectInParent(HWND wnd) {
  RECT r;
  GetWindowRect(wnd, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(wnd), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// Takes a picture of the editor on the user-interface thread.
gui::Picture Picture(HWND editor) {
  gui::Picture p;
  OnUi([&] { p = gui::Capture(editor); });
  return p;
}
void KeepPicture(const gui::Picture& p, const std::string& path, const std::string& what) {
  Check(gui::WritePicture(p, path), Format("%s: %dx%d picture written to %s", what.c_str(), p.width, p.height,
                                           path.c_str()));
}

// The keys a user presses on the editor: 'Q' (a letter the core maps, but no
// control handles) and F1 (no mapping at all) both reach the host.
void CheckKeysReachTheHost(POINT at, const std::string& what) {
  gui::Click(at);  // the editor takes the keyboard on a click
  size_t mark = Mark();
  gui::Key('Q');
  CheckSoon([&] { return Logged(mark, "host keydown 0x51") && Logged(mark, "host keyup 0x51"); },
            [&] { return what + ": 'Q' reaches the host window, down and up " + Join(Since(mark)); });
  mark = Mark();
  gui::Key(VK_F1);
  CheckSoon([&] { return Logged(mark, "host keydown 0x70"); },
            [&] { return what + ": F1 reaches the host window " + Join(Since(mark)); });
}

// The open popup menus, top-level first.
std::vector<HWND> Menus() {
  std::vector<HWND> m = gui::TopLevelWindows("#32768");
  return std::vector<HWND>(m.rbegin(), m.rend());  // newest is on top of the z-order
}

std::string Describe(const std::vector<gui::MenuItem>& items) {
  std::string s;
  for (const auto& i : items) {
    s += (s.empty() ? "" : " | ") + (i.separator ? std::string("---") : i.text);
    if (i.checked) s += " (checked)";
    if (i.grayed && !i.separator) s += " (grayed)";
    else if (i.disabled && !i.separator) s += " (disabled)";
    if (i.submenu) s += " >";
  }
  return s;
}
std::string Describe(HMENU menu) { return menu ? Describe(gui::ReadMenu(menu)) : std::string("(no menu)"); }

HWND WaitForDialog(const char* title) {
  HWND d = nullptr;
  gui::WaitFor([&] { return (d = gui::FindTopLevel("#32770", title)) != nullptr; }, 5000);
  return d;
}

void ClickButton(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  if (button) gui::Click(gui::CenterOf(button));
}

// Waits for the message box with this caption, checks its question and its
// owner (the host's window) and answers it.
void Answer(HWND owner, const char* caption, const std::string& question, int button, const char* answer) {
  HWND box = WaitForDialog(caption);
  const std::string text = box ? gui::DialogMessage(box) : std::string("(no box)");
  Check(box && text == question && GetWindow(box, GW_OWNER) == owner,
        std::string("\"") + caption + "\" asks \"" + text + "\", owned by the host's window; answered " + answer);
  if (box) ClickButton(box, button);
  gui::WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); });
}

// ---- part 1: the plug-in library through its entry point -----------------------------------

void RunLibrary(const std::string& path) {
  std::printf("-- the library %s: open, close, two instances\n", path.c_str());
  HMODULE dll = LoadLibraryA(path.c_str());
  auto entry = dll ? reinterpret_cast<VstPluginMainProc>(GetProcAddress(dll, "VSTPluginMain")) : nullptr;
  Check(entry != nullptr, "the library loads and exports VSTPluginMain");
  if (!entry) return;
  auto create = [&] {
    Plugin p;
    OnUi([&] { p.effect = entry(HostCallback); });
    if (p.effect) p.Call(effOpen);
    return p;
  };

  Plugin a = create();
  Check(a.effect && (a.effect->flags & effFlagsHasEditor), "the effect offers an editor");
  const SIZE size = a.EditorSize();
  Check(size.cx == kEditorWidth && size.cy == kEditorHeight, Format("effEditGetRect: %ldx%ld", size.cx, size.cy));

  // Bad parents and a close without open.
  int invalid = 0x7654321;
  Check(a.Call(effEditOpen, 0, 0, nullptr) == 0, "effEditOpen with no parent window fails");
  Check(a.Call(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<intptr_t>(invalid))) == 0,
        "effEditOpen with an invalid parent window fails");
  a.CloseEditor();
  Check(!ClassRegistered(dll), "... and leave no window class registered; effEditClose without open is harmless");

  // Open, keys.
  a.NewHostWindow(10, 10);
  Check(a.OpenEditor(), "effEditOpen in the host window");
  HWND editor = a.Editor();
  RECT r = {};
  if (editor) GetClientRect(editor, &r);
  Check(editor && r.right == kEditorWidth && r.bottom == kEditorHeight && ClassRegistered(dll),
        Format("the editor is a child window of the host, %ldx%ld, its class registered", r.right, r.bottom));
  if (!editor) return;
  gui::SleepMs(200);  // a few timer ticks
  CheckKeysReachTheHost(gui::OnScreen(editor, 300, 300), "library");

  // A second open while open replaces the window, keeping its place and size.
  OnUi([&] { SetWindowPos(editor, nullptr, 8, 6, 0, 0, SWP_NOSIZE | SWP_NOZORDER); });
  Check(a.OpenEditor(), "a second effEditOpen while open succeeds");
  HWND replaced = a.Editor();
  r = replaced ? RectInParent(replaced) : RECT{};
  Check(replaced && replaced != editor && !IsWindow(editor) && EditorWindows(a.host) == 1 && r.left == 8 &&
            r.top == 6 && r.right - r.left == kEditorWidth && r.bottom - r.top == kEditorHeight,
        Format("... and replaces the window, keeping its place (%ld,%ld) and size", r.left, r.top));

  a.CloseEditor();
  Check(!IsWindow(replaced) && !ClassRegistered(dll), "effEditClose destroys the window and unregisters the class");
  Check(a.OpenEditor() && a.Editor() && ClassRegistered(dll), "reopening works");

  // Two instances' editors at once.
  Plugin b = create();
  b.NewHostWindow(60, 60);
  Check(b.OpenEditor() && b.Editor() && a.Editor() && IsWindowVisible(b.Editor()),
        "a second instance's editor opens next to the first");
  a.CloseEditor();
  Check(ClassRegistered(dll) && b.Editor(), "closing one of two editors keeps the class");
  CheckKeysReachTheHost(gui::OnScreen(b.Editor(), 200, 200), "second instance");
  b.CloseEditor();
  Check(!ClassRegistered(dll), "closing the last editor unregisters the class");

  // The host destroys its window while the editor is in it.
  Check(a.OpenEditor(), "editor opened again");
  a.DestroyHostWindow();
  a.CloseEditor();
  Check(!ClassRegistered(dll), "the host destroyed its window under the editor: effEditClose after it is harmless "
                               "and the class is gone");
  a.NewHostWindow(10, 10);
  Check(a.OpenEditor() && a.Editor(), "... and the editor opens again in a new window");
  a.DestroyHostWindow();
  a.Close();
  Check(!ClassRegistered(dll), "effClose after the host destroyed the window holding the editor is harmless");

  // An instance destroyed while its editor is open closes the window first.
  b.OpenEditor();
  HWND bEditor = b.Editor();
  b.Close();
  Check(bEditor && !IsWindow(bEditor) && !ClassRegistered(dll), "effClose with the editor open closes its window");
  b.DestroyHostWindow();
  OnUi([&] { FreeLibrary(dll); });
}

// ---- part 2: the library's editor worked as a user works it ---------------------------------

std::string gBankFolder;  // UTF-8, no trailing backslash: "...\quarvi-gui-rig\Bässe Ω"
const char* const kBankFile = "Quarvi.fxb";

POINT Centre(const LayoutRect& r) { return POINT{(r.L + r.R) / 2, (r.T + r.B) / 2}; }
const LayoutRect& RowRect(int row) { return kEditorControls[row].rect; }
// The rect of the first layout row that edits the parameter of this name.
LayoutRect RectOf(const char* param) {
  const int index = FindParamIndex(param);
  for (const LayoutControl& c : kEditorControls) {
    if (c.param == index && c.kind != LayoutKind::Background) return c.rect;
  }
  return LayoutRect{0, 0, 0, 0};
}

// The open editor of part 2, as the user sees it.
struct EditorView {
  Plugin& p;
  HWND wnd;
  POINT At(int x, int y) const { return gui::OnScreen(wnd, x, y); }
  POINT At(const LayoutRect& r) const { return At(Centre(r).x, Centre(r).y); }
  gui::Picture Area(const LayoutRect& r) const { return Picture(wnd).Crop(r.L, r.T, r.R, r.B); }
  // The area once nothing is left to draw there: the same over two timer
  // ticks (a redraw still due from the last action must not become the
  // picture to compare with).
  gui::Picture SteadyArea(const LayoutRect& r) const {
    gui::Picture a = Area(r), b;
    for (int i = 0; i < 20; ++i, a = b) {
      gui::SleepMs(90);
      if ((b = Area(r)) == a) break;
    }
    return a;
  }
  // Waits until the area shows something other than before (or, with
  // differ = false, the same again).
  bool AreaBecomes(const LayoutRect& r, const gui::Picture& before, bool differ = true) const {
    return gui::WaitFor([&] { return (Area(r) != before) == differ; });
  }
};

// The parameter gesture the host saw since mark: begin, automation, end of
// one parameter, in order; the last automated value in *last.
bool IsGesture(size_t mark, int index, double* last = nullptr) {
  const std::string begin = Format("begin %d", index), end = Format("end %d", index),
                    automate = Format("automate %d ", index);
  const std::vector<std::string> seen = Since(mark, {begin, end, automate});
  if (seen.size() < 2 || seen.front() != begin || seen.back() != end) return false;
  for (size_t i = 1; i + 1 < seen.size(); ++i) {
    if (seen[i].compare(0, automate.size(), automate) != 0) return false;
    if (last) *last = std::atof(seen[i].c_str() + automate.size());
  }
  return true;
}
std::string GestureText(size_t mark, int index) {
  return Join(Since(mark, {Format("begin %d", index), Format("end %d", index), Format("automate %d ", index)}));
}

void CheckProgramArrows(EditorView& ed) {
  const LayoutRect number = kProgramNumberRect;
  const gui::Picture zero = ed.SteadyArea(number);
  const struct {
    int row;
    const char* what;
    int program;
  } steps[] = {{LayoutIndex::kPreviousProgram, "the previous-program arrow on 00", 63},
               {LayoutIndex::kNextProgram, "the next-program arrow on 63", 0},
               {LayoutIndex::kPreviousProgram, "the previous-program arrow", 63}};
  for (const auto& s : steps) {
    gui::Click(ed.At(RowRect(s.row)));
    const bool shown = ed.AreaBecomes(number, zero, s.program != 0);
    Check(shown && ed.p.Program() == s.program,
          Format("%s selects program %d (effGetProgram %d); the program display's number %s", s.what, s.program,
                 ed.p.Program(), shown ? (s.program ? "changes" : "is 00 again") : "does not follow"));
  }
  Check(ed.p.ProgramName() == "Init", "program 63 is \"" + ed.p.ProgramName() + "\"");
}

// "Unison" on the program "Init" (off there): the voice display gains its
// unison digit left of the voice count, and loses it again.
void CheckUnison(EditorView& ed) {
  const int unison = FindParamIndex("Unison");
  const LayoutRect display = RowRect(LayoutIndex::kVoiceDisplay);
  // Without unison the count's digits start 10 pixels in; the unison digit
  // is drawn in front of them.
  const LayoutRect front{display.L, display.T, display.L + 10, display.B};
  const gui::Picture before = ed.SteadyArea(display), frontBefore = ed.SteadyArea(front);
  for (int on = 1; on >= 0; --on) {
    const size_t mark = Mark();
    gui::Click(ed.At(RectOf("Unison")));
    const std::vector<std::string> expected = {
        Format("begin %d", unison), Format("automate %d %d.000", unison, on),
        Format("automate %d %d.000", unison, 1 - on), Format("automate %d %d.000", unison, on),
        Format("end %d", unison)};
    CheckSoon([&] { return Since(mark, {"begin", "end", Format("automate %d ", unison)}) == expected; },
              [&] {
                return Format("a click on \"Unison\" turns it %s: the host sees the press's new value, then old "
                              "and new on the release ", on ? "on" : "off") + GestureText(mark, unison);
              });
    const bool follows = on ? ed.AreaBecomes(front, frontBefore) : ed.AreaBecomes(display, before, false);
    Check(follows && ed.p.ParamText(unison) == (on ? "On" : "Off"),
          on ? "... and the voice display gains the unison digit in front of the voice count"
             : "... and the voice display shows the voice count alone again, as before");
  }
}

// The formant type switch of F2 on "Init" (F2 "Partial"): after the next
// idle the knob in the Freq/Part place is "Part F2" for "Partial" and "Ring",
// "Freq F2" for "Fixed". A click on the knob tells which one is there: the
// host sees the gesture of its parameter.
void CheckFormantSwap(EditorView& ed) {
  const int type = FindParamIndex("Type F2"), freq = FindParamIndex("Freq F2"), part = FindParamIndex("Part F2");
  const LayoutRect knob = RowRect(LayoutIndex::kFreqKnob[1]), display = RowRect(LayoutIndex::kWaveDisplay[1]);
  const struct {
    bool click;
    const char* type;
    int knobParam;
  } steps[] = {{false, "Partial", part}, {true, "Ring", part}, {true, "Fixed", freq}};
  for (const auto& s : steps) {
    const gui::Picture displayBefore = ed.SteadyArea(display), knobBefore = ed.SteadyArea(knob);
    if (s.click) {
      const size_t mark = Mark();
      gui::Click(ed.At(RectOf("Type F2")));
      CheckSoon([&] { return IsGesture(mark, type) && ed.p.ParamText(type) == s.type; }, [&] {
        return "a click on the F2 type switch makes it \"" + ed.p.ParamText(type) + "\" " + GestureText(mark, type);
      });
      // The swap and the display's redraw happen in the same idle call.
      const bool redrawn = ed.AreaBecomes(display, displayBefore);
      const bool swapped = s.knobParam == freq;
      const bool knobChanged = swapped ? ed.AreaBecomes(knob, knobBefore) : ed.SteadyArea(knob) != knobBefore;
      Check(redrawn && knobChanged == swapped,
            Format("... after the next idle the F2 display shows \"%s\" and the knob at (%d,%d) is %s", s.type, knob.L,
                   knob.T, knobChanged ? "another one" : "the same"));
    }
    const size_t mark = Mark();
    gui::Click(ed.At(knob));
    CheckSoon([&] { return IsGesture(mark, s.knobParam); }, [&] {
      return Format("with \"%s\" a click on the knob at (%d,%d) reaches \"%s\" ", s.type, knob.L, knob.T,
                    kParamTable[s.knobParam].name) + Join(Since(mark, {"begin", "end"}));
    });
  }
}

// "Volume": drags (4 control heights for the range, 40 with Shift), the
// wheel (120 units one step of 0.01, 60 nothing) and a double-click (back to
// the value the editor was built with: the parameter's default, pushed
// before the factory bank loaded).
void CheckVolumeKnob(EditorView& ed) {
  const int volume = FindParamIndex("Volume");
  const double builtWith = kParamTable[volume].defaultValue;  // 0..1: normalized as it is
  const LayoutRect knob = RectOf("Volume");
  const POINT c = Centre(knob);
  const gui::Picture before = ed.SteadyArea(knob);
  const struct {
    int x, dy, steps;
    bool shift;
    double change;
    const char* what;
  } drags[] = {{c.x - 6, -32, 8, false, 32.0 / 160, "a drag 32 pixels up"},
               {c.x + 6, -40, 5, true, 40.0 / 1600, "a drag 40 pixels up with Shift held (fine)"}};
  for (const auto& d : drags) {
    const double start = ed.p.Param(volume);
    const size_t mark = Mark();
    gui::Drag(ed.At(d.x, c.y), ed.At(d.x, c.y + d.dy), d.steps, d.shift);
    double last = -1.0;
    CheckSoon([&] { return IsGesture(mark, volume, &last) && std::fabs(last - (start + d.change)) < 2e-3; }, [&] {
      return Format("%s on \"Volume\" sends begin, automate... and end, from %.3f to %.3f: ", d.what, start,
                    start + d.change) + GestureText(mark, volume);
    });
  }
  Check(ed.AreaBecomes(knob, before), "... and the knob shows its new value");

  const struct {
    int delta;
    double change;
  } wheels[] = {{120, 0.01}, {-120, -0.01}, {60, 0.0}};
  for (const auto& w : wheels) {
    const double start = ed.p.Param(volume);
    const size_t mark = Mark();
    gui::Wheel(ed.At(knob), w.delta);
    if (w.change == 0.0) gui::SleepMs(150);  // nothing is to come: give it time to come anyway
    CheckSoon([&] { return std::fabs(ed.p.Param(volume) - (start + w.change)) < 2e-3; },
              [&] {
                return Format("a wheel turn of %d units %s \"Volume\" at %.3f (from %.3f) ", w.delta,
                              w.change == 0.0 ? "leaves" : "puts", ed.p.Param(volume), start) +
                       Join(Since(mark, {Format("automate %d ", volume)}));
              });
  }

  const size_t mark = Mark();
  gui::DoubleClick(ed.At(c.x, c.y + 8));
  CheckSoon([&] { return std::fabs(ed.p.Param(volume) - builtWith) < 1e-3; }, [&] {
    return Format("a double-click returns \"Volume\" to %.3f, the value the editor was built with ", builtWith) +
           Join(Since(mark, {Format("automate %d ", volume)}));
  });
}

// Opens a popup menu with a click at a point; returns its window.
HWND OpenMenuAt(POINT at) {
  gui::Click(at);
  std::vector<HWND> menus;
  gui::WaitFor([&] { return (menus = Menus()).size() == 1; });
  return menus.empty() ? nullptr : menus[0];
}
// Opens the submenu of item of the open menu; returns its window.
HWND OpenSubmenu(HWND menu, int item) {
  if (!menu || !gui::HighlightMenuItem(menu, item)) return nullptr;
  gui::Key(VK_RIGHT);
  std::vector<HWND> menus;
  return gui::WaitFor([&] { return (menus = Menus()).size() == 2; }) ? menus[1] : nullptr;
}
// Chooses item (or, with sub, item sub of its submenu) of the open menu with
// the keyboard, and waits until the menus are gone.
void Choose(HWND menu, int item, int sub = -1) {
  HWND target = sub >= 0 ? OpenSubmenu(menu, item) : menu;
  if (target && gui::HighlightMenuItem(target, sub >= 0 ? sub : item)) gui::Key(VK_RETURN);
  if (!gui::WaitFor([&] { return Menus().empty(); })) {
    Check(false, "the menu closes after a choice");
    for (int i = 0; i < 3 && !Menus().empty(); ++i) gui::Key(VK_ESCAPE);
  }
}

// The program menu: four submenus of 16, the current program checked;
// an item of the second submenu selects 16 + its position.
void CheckProgramMenu(EditorView& ed) {
  const LayoutRect number = kProgramNumberRect;
  HWND menuWnd = OpenMenuAt(ed.At(number));
  HMENU menu = menuWnd ? gui::MenuOfWindow(menuWnd) : nullptr;
  Check(Describe(menu) == "00 - 15 > | 16 - 31 > | 32 - 47 > | 48 - 63 >",
        "a click on the program number opens the program menu: " + Describe(menu));
  RECT menuRect = {};
  if (menuWnd) GetWindowRect(menuWnd, &menuRect);
  const POINT below = ed.At(number.L, number.B);
  Check(menuRect.left == below.x && menuRect.top == below.y, "... below the number, at its left edge");
  // Every program's item, read without opening the submenus.
  const int current = ed.p.Program();
  std::string wrong;
  for (int i = 0; i < 64 && menu; ++i) {
    const std::vector<gui::MenuItem> sub = gui::ReadMenu(GetSubMenu(menu, i / 16));
    const gui::MenuItem item = i % 16 < static_cast<int>(sub.size()) ? sub[i % 16] : gui::MenuItem();
    if (item.text != Format("%02d: %s", i, ed.p.ProgramName(i).c_str()) || item.checked != (i == current)) {
      wrong += Format(" [%d: %s%s]", i, item.text.c_str(), item.checked ? " (checked)" : "");
    }
  }
  Check(menu && wrong.empty(), Format("... its 64 items are \"NN: name\", program %d's checked", current) + wrong);

  const std::string name20 = ed.p.ProgramName(20);
  Choose(menuWnd, 1, 4);
  CheckSoon([&] { return ed.p.Program() == 20 && ed.p.ProgramName() == name20; }, [&] {
    return "choosing the fifth item of \"16 - 31\" selects program 20 \"" + ed.p.ProgramName() +
           "\" (effGetProgram " + std::to_string(ed.p.Program()) + ")";
  });

  if (OpenMenuAt(ed.At(number))) gui::Key(VK_ESCAPE);
  Check(gui::WaitFor([&] { return Menus().empty(); }) && ed.p.Program() == 20,
        "the program menu closed with Escape selects nothing");
}

HWND OpenUtilityMenu(EditorView& ed) { return OpenMenuAt(ed.At(RowRect(LayoutIndex::kUtilityMenu))); }
void RunUtility(EditorView& ed, int command) { Choose(OpenUtilityMenu(ed), command); }

// The utility menu's items are numbered by their commands; two open submenus.
constexpr int kMidiItem = IKSOptionMenu::kMidiSubmenuItem, kOnlineItem = IKSOptionMenu::kOnlineSubmenuItem;

std::string UtilityMenuText(bool pasteEnabled) {
  return std::string("Copy Program | Paste Program") + (pasteEnabled ? "" : " (grayed)") +
         " | Init Program | --- | Load Program | Save Program | Load Bank | Save Bank | --- | Select Startup Bank | "
         "Load Startup Bank (grayed) | Unselect Startup Bank (grayed) | --- | Default Path for Program Files | "
         "Global MIDI Settings... > | Reload Configuration | Save Configuration | --- | Go Online... >";
}

void CheckUtilityMenu(EditorView& ed, const std::string& pictures) {
  const POINT at = ed.At(RowRect(LayoutIndex::kUtilityMenu));
  HWND menu = OpenUtilityMenu(ed);
  HMENU items = menu ? gui::MenuOfWindow(menu) : nullptr;
  RECT r = {};
  if (menu) GetWindowRect(menu, &r);
  Check(r.left == at.x && r.top == at.y, "a click on MENU opens the utility menu at the click");
  Check(Describe(items) == UtilityMenuText(false),
        "its items, without a copy and without a startup bank: " + Describe(items));
  Check(items && Describe(GetSubMenu(items, kMidiItem)) == "MIDI Thru | Ignore Program Change" &&
            Describe(GetSubMenu(items, kOnlineItem)) ==
                std::string("Check Online for Update | Visit ") + kMakerWebSiteName,
        "its submenus: " + Describe(GetSubMenu(items, kMidiItem)) + "; " +
            Describe(GetSubMenu(items, kOnlineItem)));
  Choose(menu, kMidiItem, kCmdMidiThru - IKSOptionMenu::kMidiFirstCommand);  // on

  HWND midiMenu = OpenSubmenu(OpenUtilityMenu(ed), kMidiItem);
  const std::string midi = midiMenu ? Describe(gui::MenuOfWindow(midiMenu)) : std::string("(not open)");
  Check(midi == "MIDI Thru (checked) | Ignore Program Change",
        "\"MIDI Thru\" chosen in the MIDI submenu shows its check mark the next time: " + midi);
  // The menus as the screen shows them, over the editor.
  RECT area;
  GetWindowRect(ed.p.host, &area);
  for (HWND m : Menus()) {
    RECT mr;
    GetWindowRect(m, &mr);
    UnionRect(&area, &area, &mr);
  }
  KeepPicture(gui::CaptureScreen(area), pictures + "-menu.png", "the utility menu open");
  for (int i = 0; i < 3 && !Menus().empty(); ++i) gui::Key(VK_ESCAPE);
  Check(gui::WaitFor([&] { return Menus().empty(); }), "Escape closes the menus");
}

// The program name entry (a click on the name): Enter and a click outside
// the editor commit, Escape and a click on the editor cancel. The name holds
// at most 27 bytes of UTF-8 and is never cut inside a character.
void CheckNameEntry(EditorView& ed) {
  const LayoutRect name = kProgramNameRect;
  // 24 characters, 26 bytes, then an "Ω" that would end at byte 28: it
  // cannot stay. The box itself takes 27 characters and no more.
  const std::string longName = "B\xC3\xA4sse \xCE\xA9 with a long name\xCE\xA9!!xyz";
  const std::string kept = "B\xC3\xA4sse \xCE\xA9 with a long name";
  const std::string renamed = "B\xC3\xA4sse \xCE\xA9";
  struct Case {
    const char* how;
    std::string typed;
    std::function<void()> finish;
    std::string becomes;  // empty: the name stays
  };
  const Case cases[] = {
      {"Enter", longName, [] { gui::Key(VK_RETURN); }, kept},
      {"Escape", "no", [] { gui::Key(VK_ESCAPE); }, ""},
      {"a click on the editor", "zz", [&] { gui::Click(ed.At(700, 50)); }, ""},
      {"a click on the host's window", renamed,
       [&] { gui::Click(gui::OnScreen(ed.p.host, 200, kEditorHeight + kHostMargin / 2)); }, renamed},
  };
  for (const Case& c : cases) {
    const std::string before = ed.p.ProgramName();
    const gui::Picture shown = ed.SteadyArea(name);
    gui::Click(ed.At(name));
    HWND box = nullptr;
    gui::WaitFor([&] { return (box = GetDlgItem(ed.wnd, IGraphicsWin::kEntryId)) != nullptr; });
    Check(box && gui::ClassOf(box) == "Edit" && gui::TextOf(box) == before,
          std::string("a click on the program name opens the entry box (") + c.how + ") holding \"" +
              (box ? gui::TextOf(box) : std::string()) + "\"");
    gui::SleepMs(50);
    const size_t mark = Mark();
    gui::Type(c.typed);
    c.finish();
    const bool commits = !c.becomes.empty();
    const std::string expected = commits ? c.becomes : before;
    const bool closed = gui::WaitFor([&] { return GetDlgItem(ed.wnd, IGraphicsWin::kEntryId) == nullptr; });
    CheckSoon([&] { return closed && ed.p.ProgramName() == expected && Logged(mark, "update display") == commits; },
              [&] {
                return std::string("typing and ") + c.how + (commits ? " renames" : " keeps") +
                       " the program: \"" + ed.p.ProgramName() + "\"" +
                       (Logged(mark, "update display") ? ", the host's program display updated" : "");
              });
    if (commits) Check(ed.AreaBecomes(name, shown), "... and the program display shows the new name");
  }
}

// Copy on program 20, a rename of program 20, paste into 21: 21 gets 20's
// values as copied and 20's name as it is now.
void CheckCopyPaste(EditorView& ed, const std::vector<float>& copied) {
  gui::Click(ed.At(RowRect(LayoutIndex::kNextProgram)));
  CheckSoon([&] { return ed.p.Program() == 21; }, [&] { return Format("next arrow: program %d", ed.p.Program()); });
  HWND menu = OpenUtilityMenu(ed);
  const std::string items = menu ? Describe(gui::MenuOfWindow(menu)) : std::string();
  Check(items == UtilityMenuText(true), "after a copy \"Paste Program\" is enabled: " + items);
  Choose(menu, kCmdPasteProgram);
  Answer(ed.p.host, "Paste Program", "Do you really want to overwrite the current program?", IDYES, "Yes");
  const std::string name20 = ed.p.ProgramName(20);
  CheckSoon([&] { return ed.p.ProgramName() == name20 && ed.p.Params() == copied; }, [&] {
    return "... program 21 gets the copied values and program 20's name as it is now: \"" + ed.p.ProgramName() +
           "\"";
  });
}

bool FileStartsWith(const std::string& utf8Path, const char* magic) {
  wchar_t wide[MAX_PATH] = {0};
  MultiByteToWideChar(CP_UTF8, 0, utf8Path.c_str(), -1, wide, MAX_PATH);
  HANDLE h = CreateFileW(wide, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  char head[4] = {0};
  DWORD got = 0;
  ReadFile(h, head, 4, &got, nullptr);
  CloseHandle(h);
  return got == 4 && std::memcmp(head, magic, 4) == 0;
}

// A file dialog of the utility menu: waits for it to give its name box the
// keyboard, types a name (none: Enter on the suggestion, which the box holds
// selected) and presses Enter, or Escape to cancel.
bool UseFileDialog(const std::string* typed, bool cancel) {
  HWND dialog = WaitForDialog(nullptr);
  GUITHREADINFO info = {};
  info.cbSize = sizeof(info);
  if (!dialog || !gui::WaitFor([&] {
        return GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) && info.hwndFocus &&
               gui::ClassOf(info.hwndFocus) == "Edit" && GetAncestor(info.hwndFocus, GA_ROOT) == dialog;
      }, 5000)) {
    return false;
  }
  if (cancel) {
    gui::Key(VK_ESCAPE);
  } else {
    if (typed) gui::Type(*typed);
    gui::Key(VK_RETURN);
  }
  return true;
}

bool NoErrorBox() {
  gui::SleepMs(100);
  HWND box = gui::FindTopLevel("#32770", "Error");
  if (box) ClickButton(box, IDOK);
  return box == nullptr;
}

// Save Bank into the folder "Bässe Ω" (the path typed in the save dialog),
// again into the same file (the dialog starts there now; overwriting asks),
// a change, Load Bank cancelled, then Load Bank of the file: the change is
// undone.
void CheckBankFiles(EditorView& ed) {
  const int volume = FindParamIndex("Volume");
  const std::string path = gBankFolder + "\\" + kBankFile;
  const double saved = ed.p.Param(volume);

  RunUtility(ed, kCmdSaveBank);
  const bool typedIn = UseFileDialog(&path, false);
  CheckSoon([&] { return typedIn && FileStartsWith(path, "CcnK"); },
            [&] { return "Save Bank with the path typed in the save dialog writes " + path; }, 5000);
  Check(NoErrorBox(), "... without an error");

  RunUtility(ed, kCmdSaveBank);
  const bool onSuggestion = UseFileDialog(nullptr, false);
  HWND confirm = nullptr;
  gui::WaitFor([&] {
    for (HWND d : gui::TopLevelWindows("#32770")) {
      if (gui::DialogMessage(d).find("exists") != std::string::npos) confirm = d;
    }
    return confirm != nullptr;
  }, 5000);
  Check(onSuggestion && confirm, "Save Bank again: the dialog starts in that folder with \"Quarvi\", and saving "
                                 "over the file asks first: \"" +
                                     (confirm ? gui::DialogMessage(confirm) : std::string()) + "\"");
  if (confirm) ClickButton(confirm, IDYES);
  Check(gui::WaitFor([&] { return gui::TopLevelWindows("#32770").empty(); }, 5000) && NoErrorBox() &&
            FileStartsWith(path, "CcnK"),
        "... Yes saves it");

  ed.p.SetParam(volume, 0.1f);
  RunUtility(ed, kCmdLoadBank);  // cancelled
  const bool cancelled = UseFileDialog(nullptr, true);
  Check(cancelled && gui::WaitFor([&] { return gui::TopLevelWindows("#32770").empty(); }) && NoErrorBox() &&
            std::fabs(ed.p.Param(volume) - 0.1) < 1e-3,
        "a cancelled Load Bank changes nothing and says nothing");

  RunUtility(ed, kCmdLoadBank);
  const std::string name = kBankFile;
  const bool loaded = UseFileDialog(&name, false);
  CheckSoon([&] { return loaded && std::fabs(ed.p.Param(volume) - saved) < 1e-3; }, [&] {
    return Format("Load Bank of \"%s\" in the dialog (started in the folder of the last save) brings \"Volume\" "
                  "back from 0.100 to %.3f", kBankFile, ed.p.Param(volume));
  }, 5000);
  Check(NoErrorBox(), "... without an error");
}

void CheckInitProgram(EditorView& ed) {
  const int volume = FindParamIndex("Volume");
  const std::string before = ed.p.ProgramName();
  const std::vector<float> values = ed.p.Params();
  RunUtility(ed, kCmdInitProgram);
  Answer(ed.p.host, "Initialize Program", "Do you really want to initialize the current program?", IDNO, "No");
  gui::SleepMs(100);
  Check(ed.p.ProgramName() == before && ed.p.Params() == values, "... and No leaves the program as it was");

  RunUtility(ed, kCmdInitProgram);
  Answer(ed.p.host, "Initialize Program", "Do you really want to initialize the current program?", IDYES, "Yes");
  CheckSoon([&] { return ed.p.ProgramName() == "Init"; },
            [&] { return "... and Yes names the program \"" + ed.p.ProgramName() + "\""; });
  const double defaultVolume = kParamTable[volume].defaultValue;
  Check(std::fabs(ed.p.Param(volume) - defaultVolume) < 1e-6 && ed.p.ParamText(FindParamIndex("Type F2")) == "Partial",
        Format("... with the parameters' defaults (\"Volume\" %.3f, \"Type F2\" %s)", ed.p.Param(volume),
               ed.p.ParamText(FindParamIndex("Type F2")).c_str()));
}

void RunEditorByHand(const std::string& path, const std::string& pictures) {
  std::printf("-- the editor of %s, worked by hand\n", path.c_str());
  HMODULE dll = LoadLibraryA(path.c_str());
  auto entry = dll ? reinterpret_cast<VstPluginMainProc>(GetProcAddress(dll, "VSTPluginMain")) : nullptr;
  Plugin p;
  if (entry) OnUi([&] { p.effect = entry(HostCallback); });
  if (!p.effect) {
    Check(false, "an instance of the library");
    return;
  }
  p.Call(effOpen);
  p.NewHostWindow(10, 10);
  Check(p.OpenEditor() && p.Editor(), "the editor opens in the host window on program 0, \"" + p.ProgramName() + "\"");
  EditorView ed{p, p.Editor()};
  if (!ed.wnd) return;
  gui::SleepMs(200);

  CheckProgramArrows(ed);
  CheckUnison(ed);
  CheckFormantSwap(ed);
  CheckVolumeKnob(ed);
  CheckProgramMenu(ed);
  CheckUtilityMenu(ed, pictures);
  RunUtility(ed, kCmdCopyProgram);  // on program 20
  const std::vector<float> copied = p.Params();
  CheckNameEntry(ed);
  CheckCopyPaste(ed, copied);
  CheckBankFiles(ed);
  CheckInitProgram(ed);

  KeepPicture(Picture(ed.wnd), pictures + "-dll.png", "the editor after the checks");
  p.CloseEditor();
  p.Close();
  p.DestroyHostWindow();
  OnUi([&] { FreeLibrary(dll); });
}

// ---- part 3: window services the editor does not use --------------------------------------

// A plug-in linked in, with one parameter and an editor without controls.
class BarePlug : public IPlugVST {
 public:
  static constexpr int kWidth = 200, kHeight = 100;
  explicit BarePlug(audioMasterCallback host)
      : IPlugVST(host, 1, "0-2", 1, "Quarvi GUI rig", "", "Kestrel Sound Music", 0x00020004, 0x33333135, 0,
                 true, true, true) {
    GetParam(0)->SetupDouble("Level", 0.5, 0.0, 1.0, 0.001, 1.0);
    AttachEditor(new IGraphicsWin(this, GetModuleHandleW(nullptr), kWidth, kHeight));
  }
  ~BarePlug() override { DestroyEditor(); }
};

void RunWindowServices() {
  std::printf("-- window services the editor does not use, on an editor linked in\n");
  Plugin p;
  OnUi([&] { p.effect = (new BarePlug(HostCallback))->GetAEffect(); });
  p.Call(effOpen);
  p.NewHostWindow(10, 10);
  Check(p.OpenEditor(), "an editor without controls opens");
  HWND editor = p.Editor();
  if (!editor) return;
  IGraphics* g = static_cast<IPlugVST*>(p.effect->object)->GetGUI();
  auto at = [&](int x, int y) { return gui::OnScreen(editor, x, y); };
  const int width = BarePlug::kWidth, height = BarePlug::kHeight;

  size_t mark = Mark();
  StartOnUi([g] {
    Color c(255, 10, 20, 30);
    Log(g->AskForColor(&c, "Pick a colour") ? "colour chosen" : "colour none");
  });
  HWND colour = WaitForDialog("Pick a colour");
  Check(colour != nullptr, "the colour dialog carries the prompt as its title");
  if (colour) gui::Key(VK_ESCAPE);
  Check(gui::WaitFor([&] { return Logged(mark, "colour none"); }), "a cancelled colour dialog returns false");

  // Folders, the clipboard, the hidden cursor, a web link the user declines.
  std::string hostFolder, pluginFolder, desktop, appData, commonAppData, clip;
  const std::string unicode = "B\xC3\xA4sse \xCE\xA9";
  bool clipOk = false;
  OnUi([&] {
    g->HostFolder(&hostFolder);
    g->PluginFolder(&pluginFolder);
    g->DesktopFolder(&desktop);
    g->UserAppDataFolder(&appData);
    g->AppDataFolder(&commonAppData, true);
    const std::wstring w = L"B\u00e4sse \u03a9";
    if (OpenClipboard(editor)) {
      EmptyClipboard();
      HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, (w.size() + 1) * sizeof(wchar_t));
      std::memcpy(GlobalLock(mem), w.c_str(), (w.size() + 1) * sizeof(wchar_t));
      GlobalUnlock(mem);
      SetClipboardData(CF_UNICODETEXT, mem);
      CloseClipboard();
    }
    clipOk = g->ClipboardText(&clip);
  });
  char exe[MAX_PATH] = {0};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  const std::string exeFolder = std::string(exe).substr(0, std::string(exe).find_last_of('\\') + 1);
  Check(hostFolder == exeFolder && pluginFolder == exeFolder && !desktop.empty() && !appData.empty() &&
            !commonAppData.empty() && appData != commonAppData,
        "folders: host and plug-in " + hostFolder + ", desktop " + desktop + ", application data " + appData +
            " and " + commonAppData);
  Check(clipOk && clip == unicode, "the clipboard's Unicode text comes back as UTF-8: " + clip);

  POINT before = at(150, 50), after = {};
  gui::MoveTo(before);
  OnUi([&] { g->HideCursor(); });
  gui::MoveTo(at(10, 10));
  OnUi([&] { g->ShowCursor(); });
  GetCursorPos(&after);
  Check(after.x == before.x && after.y == before.y, "the cursor shown again is back where it was hidden");

  mark = Mark();
  StartOnUi([g] {
    Log(g->OpenUrl("http://quarvi.invalid/", "Quarvi", "Open the web page?", "No connection.") ? "url opened"
                                                                                             : "url refused");
  });
  if (HWND ask = WaitForDialog("Quarvi")) {
    Check(gui::DialogMessage(ask) == "Open the web page?", "a web link asks first: " + gui::DialogMessage(ask));
    ClickButton(ask, IDNO);
  }
  CheckSoon([&] { return Logged(mark, "url refused"); },
            [&] { return "... and No opens nothing " + Join(Since(mark, {"url"})); });

  // Resizing (the editor never does it, but the path works): the window and
  // the host's window grow by the difference.
  RECT hostBefore = {}, hostAfter = {}, editorAfter = {};
  GetClientRect(p.host, &hostBefore);
  OnUi([&] { g->Resize(width + 20, height + 10); });
  GetClientRect(p.host, &hostAfter);
  GetClientRect(editor, &editorAfter);
  Check(editorAfter.right == width + 20 && editorAfter.bottom == height + 10 &&
            hostAfter.right == hostBefore.right + 20 && hostAfter.bottom == hostBefore.bottom + 10 &&
            p.EditorSize().cx == width + 20,
        Format("Resize grows the editor to %ldx%ld and the host window by the same", editorAfter.right,
               editorAfter.bottom));

  // The host's window is gone: a message box goes to the host's next
  // window of the same class.
  p.CloseEditor();
  p.DestroyHostWindow();
  HWND next = p.NewHostWindow(40, 40);
  mark = Mark();
  StartOnUi([g] { Log(Format("answer %d", g->ShowMessageBox("Still there?", "Quarvi", MB_TYPE_OK))); });
  HWND box = WaitForDialog("Quarvi");
  Check(box && GetWindow(box, GW_OWNER) == next,
        "with the host's window gone, a message box is owned by its next window of that class");
  if (box) ClickButton(box, IDOK);
  CheckSoon([&] { return Logged(mark, "answer 1"); }, [&] { return "... and answers OK " + Join(Since(mark)); });

  p.Close();
  p.DestroyHostWindow();
}

// ---- main -------------------------------------------------------------------------------------

// The folder "Bässe Ω" for the bank files, without a bank in it yet.
void MakeBankFolder() {
  wchar_t temp[MAX_PATH] = {0};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring rig = std::wstring(temp) + L"quarvi-gui-rig", folder = rig + L"\\B\u00e4sse \u03a9";
  CreateDirectoryW(rig.c_str(), nullptr);
  CreateDirectoryW(folder.c_str(), nullptr);
  DeleteFileW((folder + L"\\Quarvi.fxb").c_str());
  char utf8[4 * MAX_PATH] = {0};
  WideCharToMultiByte(CP_UTF8, 0, folder.c_str(), -1, utf8, sizeof(utf8), nullptr, nullptr);
  gBankFolder = utf8;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: quarvi-gui-rig PLUGIN.dll PICTURES (pictures: PICTURES-dll.png, PICTURES-menu.png)\n");
    return 2;
  }
  const std::string library = argv[1], pictures = argv[2];
  RegisterHostClasses();
  gUiWnd = CreateWindowExW(0, L"QuarviRigUi", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                           nullptr);
  SetTimer(gUiWnd, 1, 50, nullptr);  // the host's idle calls, also inside modal loops
  MakeBankFolder();

  const DWORD uiThread = GetCurrentThreadId();
  std::thread user([&] {
    RunLibrary(library);
    RunEditorByHand(library, pictures);
    RunWindowServices();
    PostThreadMessageW(uiThread, WM_QUIT, 0, 0);
  });
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  user.join();
  std::printf("%d passed, %d failed\n", gPassed, gFailed);
  return gFailed == 0 ? 0 : 1;
}
