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
// keys that reach its window) and everything the test controls see goes into
// one ordered log that the script checks.
//
// Part 1 drives the plug-in library through its exported entry point: open,
// close, reopen, two instances, keys to the host window, bad parents, the
// host destroying its window under the editor, a picture (PICTURES-dll.png).
// Part 2 links the editor in-process: a small plug-in whose IGraphicsWin
// holds a test layout (a fader on a parameter, buttons for a menu, the entry
// box, a message box, file and colour dialogs), and checks drags, the wheel,
// double-click, keys, the entry box, menus and dialogs, and a picture
// (PICTURES.png).
//
// Each check prints "ok: ..." or "FAILED: ..."; the last line is
// "N passed, N failed".

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "GuiDriver_win32.h"
#include "IControl.h"
#include "IGraphicsWin.h"
#include "IPlugVST.h"
#include "lice/lice.h"
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

// Takes a picture of the editor on the user-interface thread and writes it.
gui::Picture Picture(HWND editor) {
  gui::Picture p;
  OnUi([&] { p = gui::Capture(editor); });
  return p;
}
void KeepPicture(HWND editor, const std::string& path, const std::string& what) {
  const gui::Picture p = Picture(editor);
  Check(gui::WritePicture(p, path), Format("%s: %dx%d picture written to %s", what.c_str(), p.width, p.height,
                                           path.c_str()));
}

// The keys a user presses on the editor: 'Q' (a letter the core maps, but no
// control of ours handles) and F1 (no mapping at all) both reach the host.
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

// ---- part 1: the plug-in library through its entry point -----------------------------------

void RunLibrary(const std::string& path, const std::string& pictures) {
  std::printf("-- the library %s\n", path.c_str());
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
  Check(size.cx == 1072 && size.cy == 680, Format("effEditGetRect: %ldx%ld", size.cx, size.cy));

  // Bad parents and a close without open.
  int invalid = 0x7654321;
  Check(a.Call(effEditOpen, 0, 0, nullptr) == 0, "effEditOpen with no parent window fails");
  Check(a.Call(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<intptr_t>(invalid))) == 0,
        "effEditOpen with an invalid parent window fails");
  a.CloseEditor();
  Check(!ClassRegistered(dll), "... and leave no window class registered; effEditClose without open is harmless");

  // Open, keys, picture.
  a.NewHostWindow(10, 10);
  Check(a.OpenEditor(), "effEditOpen in the host window");
  HWND editor = a.Editor();
  RECT r = {};
  if (editor) GetClientRect(editor, &r);
  Check(editor && r.right == 1072 && r.bottom == 680 && ClassRegistered(dll),
        Format("the editor is a child window of the host, %ldx%ld, its class registered", r.right, r.bottom));
  if (!editor) return;
  gui::SleepMs(200);  // a few timer ticks
  CheckKeysReachTheHost(gui::OnScreen(editor, 300, 300), "library");
  KeepPicture(editor, pictures + "-dll.png", "library");

  // A second open while open replaces the window, keeping its place and size.
  OnUi([&] { SetWindowPos(editor, nullptr, 8, 6, 0, 0, SWP_NOSIZE | SWP_NOZORDER); });
  Check(a.OpenEditor(), "a second effEditOpen while open succeeds");
  HWND replaced = a.Editor();
  r = replaced ? RectInParent(replaced) : RECT{};
  Check(replaced && replaced != editor && !IsWindow(editor) && EditorWindows(a.host) == 1 && r.left == 8 &&
            r.top == 6 && r.right - r.left == 1072 && r.bottom - r.top == 680,
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

// ---- part 2: the test layout in-process ------------------------------------------------------

constexpr int kRigWidth = 480, kRigHeight = 320;
const Rect kFader(20, 20, 220, 50), kMenuButton(240, 20, 330, 50), kEntryButton(350, 20, 460, 50),
    kAskButton(20, 70, 110, 100), kOpenButton(130, 70, 220, 100), kSaveButton(240, 70, 330, 100),
    kColorButton(350, 70, 460, 100);
constexpr uint32_t kBackground = 0x323232, kTrack = 0x28285A, kBar = 0xE6B428, kButton = 0x5A825A;
std::string gFileFolder;  // UTF-8, with a trailing backslash

void Fill(IGraphics* g, const Rect& r, uint32_t rgb) {
  LICE_FillRect(g->BackBuffer(), r.L, r.T, r.W(), r.H(), rgb | 0xFF000000u, 1.0f, LICE_BLIT_MODE_COPY);
}

// A coloured rectangle with a label, whose mouse-down does what the layout
// gives it; it logs the text of an entry it opened.
class RigControl : public IControl {
 public:
  RigControl(IPlugBase* plug, const Rect& r, uint32_t rgb, const char* label = "")
      : IControl(plug, r), mRgb(rgb), mLabel(label) {
    mText = TextStyle("Verdana", 14, Color(255, 255, 255, 255));
  }
  bool Draw(IGraphics* g) override {
    Fill(g, mRect, mRgb);
    Rect r(mRect.L, mRect.T + (mRect.H() - 16) / 2, mRect.R, mRect.B);
    g->DrawTextInRect(&mText, mLabel, &r);
    return true;
  }
  void OnMouseDown(int, int, const MouseMods&) override {
    if (onDown) onDown(this);
  }
  void OnTextEntered(const char* text) override { Log(std::string("entered ") + text); }
  std::function<void(RigControl*)> onDown;

 private:
  uint32_t mRgb;
  const char* mLabel;
};

// A horizontal fader on a parameter: a drag moves it 1/100 a pixel (1/1000
// with Shift), a wheel notch 1/10; it reports keys but handles none.
class Fader : public IControl {
 public:
  Fader(IPlugBase* plug, const Rect& r, int param) : IControl(plug, r, param) {}
  bool Draw(IGraphics* g) override {
    Fill(g, mRect, kTrack);
    const int w = static_cast<int>(std::lround(GetValue() * mRect.W()));
    if (w > 0) Fill(g, Rect(mRect.L, mRect.T, mRect.L + w, mRect.B), kBar);
    return true;
  }
  void OnMouseDrag(int, int, int dX, int, const MouseMods& mods) override {
    Log(mods.S ? "drag shift" : "drag");
    SetValue(GetValue() + dX * (mods.S ? 0.001 : 0.01));
    SetDirty(true);
  }
  void OnMouseWheel(int, int, const MouseMods&, int d) override {
    Log(Format("wheel %d", d));
    SetValue(GetValue() + 0.1 * d);
    SetDirty(true);
  }
  bool OnKeyDown(int, int, int key) override {
    Log(Format("key %d", key));
    return false;
  }
};

void BuildTestLayout(IGraphicsWin* g, IPlugBase* plug) {
  g->AddControl(new RigControl(plug, Rect(0, 0, kRigWidth, kRigHeight), kBackground));
  g->AddControl(new Fader(plug, kFader, 0));

  auto* menu = static_cast<RigControl*>(g->AddControl(new RigControl(plug, kMenuButton, kButton, "Menu")));
  menu->onDown = [g](RigControl*) {
    PopupMenu root;
    root.AddItem("Alpha", PopupMenuItem::kChecked);
    root.AddItem("Beta", PopupMenuItem::kDisabled);
    root.AddSeparator();
    auto first = std::make_unique<PopupMenu>();
    first->AddItem("One");
    first->AddItem("Two");
    auto second = std::make_unique<PopupMenu>(2);
    second->AddItem("Red");
    second->AddItem("Green");
    second->AddItem("Blue", PopupMenuItem::kTitle);
    const PopupMenu *firstMenu = first.get(), *secondMenu = second.get();
    root.AddSubmenu("First", std::move(first));
    root.AddSubmenu("Second", std::move(second));
    root.AddItem("Last");
    PopupMenu* chosen = g->ShowPopupMenu(&root, kMenuButton);
    const char* name = chosen == &root ? "root" : chosen == firstMenu ? "First" : chosen == secondMenu ? "Second" : "?";
    Log(chosen ? Format("menu %s %d", name, chosen->GetChosenItemIdx()) : "menu none");
  };

  auto* entry = static_cast<RigControl*>(g->AddControl(new RigControl(plug, kEntryButton, kButton, "Entry")));
  entry->SetTextEntryLength(12);
  entry->onDown = [g](RigControl* c) { g->ShowValueEntry(c, c->Style(), kEntryButton, "abc", nullptr); };

  auto* ask = static_cast<RigControl*>(g->AddControl(new RigControl(plug, kAskButton, kButton, "Ask")));
  ask->onDown = [g](RigControl*) {
    Log(Format("answer %d", g->ShowMessageBox("Replace the program?", "Quarvi", MB_TYPE_YESNO)));
  };

  auto* open = static_cast<RigControl*>(g->AddControl(new RigControl(plug, kOpenButton, kButton, "Open")));
  open->onDown = [g](RigControl*) {
    std::string name, folder = gFileFolder;
    g->AskForFile(&name, kFileOpen, &folder, "fxp fxb");
    Log("open " + name + " | " + folder);
  };

  auto* save = static_cast<RigControl*>(g->AddControl(new RigControl(plug, kSaveButton, kButton, "Save")));
  save->onDown = [g](RigControl*) {
    std::string name = "B\xC3\xA4sse \xCE\xA9.fxb", folder = gFileFolder;
    g->AskForFile(&name, kFileSave, &folder, "fxb");
    Log("save " + name + " | " + folder);
  };

  auto* color = static_cast<RigControl*>(g->AddControl(new RigControl(plug, kColorButton, kButton, "Colour")));
  color->onDown = [g](RigControl*) {
    Color c(255, 10, 20, 30);
    Log(g->AskForColor(&c, "Pick a colour") ? "colour chosen" : "colour none");
  };
}

// The plug-in of part 2: one parameter, the test layout.
class RigPlug : public IPlugVST {
 public:
  explicit RigPlug(audioMasterCallback host)
      : IPlugVST(host, 1, "0-2", 1, "Quarvi GUI rig", "", "Kestrel Sound Music", 0x00020004, 0x33333135, 0,
                 true, true, true) {
    GetParam(0)->SetupDouble("Level", 0.5, 0.0, 1.0, 0.001, 1.0);
    auto* g = new IGraphicsWin(this, GetModuleHandleW(nullptr), kRigWidth, kRigHeight);
    BuildTestLayout(g, this);
    AttachEditor(g);
  }
  ~RigPlug() override { DestroyEditor(); }
};

double LastAutomation(const std::vector<std::string>& entries) {
  double v = -1.0;
  for (const std::string& e : entries) {
    int index = 0;
    if (std::sscanf(e.c_str(), "automate %d %lf", &index, &v) != 2) continue;
  }
  return v;
}

// begin, at least one automate, end: in this order and nothing else.
bool IsGesture(const std::vector<std::string>& host) {
  if (host.size() < 3 || host.front() != "begin 0" || host.back() != "end 0") return false;
  for (size_t i = 1; i + 1 < host.size(); ++i) {
    if (host[i].compare(0, 11, "automate 0 ") != 0) return false;
  }
  return true;
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

HWND WaitForDialog(const char* title) {
  HWND d = nullptr;
  gui::WaitFor([&] { return (d = gui::FindTopLevel("#32770", title)) != nullptr; }, 5000);
  return d;
}

void ClickButton(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  if (button) gui::Click(gui::CenterOf(button));
}

void RunTestLayout(const std::string& pictures) {
  std::printf("-- the test layout in-process\n");
  Plugin p;
  OnUi([&] { p.effect = (new RigPlug(HostCallback))->GetAEffect(); });
  p.Call(effOpen);
  const SIZE size = p.EditorSize();
  Check(size.cx == kRigWidth && size.cy == kRigHeight, Format("effEditGetRect: %ldx%ld", size.cx, size.cy));
  p.NewHostWindow(10, 10);
  Check(p.OpenEditor(), "effEditOpen");
  HWND editor = p.Editor();
  if (!editor) return;
  auto at = [&](int x, int y) { return gui::OnScreen(editor, x, y); };
  auto shows = [&](std::vector<std::pair<POINT, uint32_t>> expected) {
    return gui::WaitFor([&] {
      const gui::Picture pic = Picture(editor);
      for (const auto& e : expected) {
        if (pic.At(e.first.x, e.first.y) != e.second) return false;
      }
      return true;
    });
  };
  const int fy = (kFader.T + kFader.B) / 2;

  Check(shows({{{5, 5}, kBackground}, {{25, fy}, kBar}, {{115, fy}, kBar}, {{125, fy}, kTrack},
               {{243, 23}, kButton}}),
        "the first ticks paint the layout: background, the fader at half, buttons");

  // Drags: begin, automation, end, in order; Shift for fine steps.
  size_t mark = Mark();
  gui::Drag(at(120, fy), at(150, fy), 6, false);
  std::vector<std::string> host = Since(mark, {"begin", "automate", "end"});
  gui::WaitFor([&] { return !(host = Since(mark, {"begin", "automate", "end"})).empty() && host.back() == "end 0"; });
  Check(IsGesture(host) && std::fabs(LastAutomation(host) - 0.8) < 1e-3,
        "a drag of 30 pixels sends begin, automate... and end to the host, ending at 0.800: " + Join(host));
  Check(shows({{{165, fy}, kBar}, {{185, fy}, kTrack}}), "the fader shows its new value");
  KeepPicture(editor, pictures + ".png", "test layout");

  mark = Mark();
  gui::Drag(at(150, fy), at(110, fy), 4, true);
  gui::WaitFor([&] { return Logged(mark, "end 0"); });
  host = Since(mark, {"begin", "automate", "end"});
  const std::vector<std::string> drags = Since(mark, {"drag"});
  bool allShift = !drags.empty();
  for (const std::string& d : drags) allShift = allShift && d == "drag shift";
  Check(IsGesture(host) && allShift && std::fabs(LastAutomation(host) - 0.76) < 1e-3,
        "a drag with Shift held moves in fine steps (0.760): " + Join(Since(mark, {"drag", "end", "begin"})));

  // The wheel: one notch each way, and a high-resolution half step.
  const struct {
    int delta;
    const char* logged;
    double value;
  } wheels[] = {{120, "wheel 1", 0.86}, {-120, "wheel -1", 0.76}, {60, "wheel 0", 0.76}};
  for (const auto& w : wheels) {
    mark = Mark();
    gui::Wheel(at(100, fy), w.delta);
    CheckSoon([&] { return Logged(mark, w.logged) && std::fabs(LastAutomation(Since(mark)) - w.value) < 1e-3; },
              [&] { return Format("a wheel turn of %d units reaches the fader as %s: ", w.delta, w.logged) +
                           Join(Since(mark)); });
  }

  // Double-click returns the fader to the value it started with.
  mark = Mark();
  gui::DoubleClick(at(100, fy));
  CheckSoon([&] { return std::fabs(LastAutomation(Since(mark)) - 0.5) < 1e-3; },
            [&] { return "a double-click resets the fader to 0.500: " + Join(Since(mark, {"automate"})); });

  // Keys: 'Q' goes through the core as key 31 (unhandled), F1 straight on.
  mark = Mark();
  CheckKeysReachTheHost(at(100, fy), "test layout");
  Check(Logged(mark, "key 31") && Since(mark, {"key "}).size() == 1,
        "'Q' reached the control under the mouse as key 31 first; F1 did not " + Join(Since(mark, {"key "})));

  // The entry box: Enter commits, Escape and a click on the editor cancel,
  // focus given to another window commits.
  auto openEntry = [&](const char* what) {
    gui::Click(at(400, 35));
    HWND box = nullptr;
    gui::WaitFor([&] { return (box = GetDlgItem(editor, IGraphicsWin::kEntryId)) != nullptr; });
    Check(box && gui::ClassOf(box) == "Edit" && gui::TextOf(box) == "abc",
          std::string("the entry box opens (") + what + "): an EDIT child with id 99 holding \"abc\"");
    gui::SleepMs(50);
    return box;
  };
  auto entryClosed = [&] { return gui::WaitFor([&] { return GetDlgItem(editor, IGraphicsWin::kEntryId) == nullptr; }); };

  mark = Mark();
  openEntry("Enter");
  gui::Type("xyz");
  gui::Key(VK_RETURN);
  CheckSoon([&] { return entryClosed() && Logged(mark, "entered xyz"); },
            [&] { return "typing xyz and Enter commits \"xyz\" " + Join(Since(mark, {"entered"})); });

  mark = Mark();
  openEntry("Escape");
  gui::Type("no");
  gui::Key(VK_ESCAPE);
  Check(entryClosed() && Since(mark, {"entered"}).empty(), "Escape closes the entry without a text");

  mark = Mark();
  openEntry("click");
  gui::Type("zz");
  gui::Click(at(200, 250));
  Check(entryClosed() && Since(mark, {"entered"}).empty(), "a click on the editor closes the entry without a text");

  mark = Mark();
  openEntry("focus");
  gui::Type("fx");
  gui::Click(gui::OnScreen(p.host, 200, kRigHeight + kHostMargin / 2));
  CheckSoon([&] { return entryClosed() && Logged(mark, "entered fx"); }, [&] {
    return "a click on the host's window (focus elsewhere) commits \"fx\" " + Join(Since(mark, {"entered", "host"}));
  });

  // Menus: read the items, choose one in the second submenu.
  mark = Mark();
  gui::Click(at(280, 35));
  std::vector<HWND> menus;
  gui::WaitFor([&] { return (menus = Menus()).size() == 1; });
  const std::vector<gui::MenuItem> items = menus.empty() ? std::vector<gui::MenuItem>{}
                                                         : gui::ReadMenu(gui::MenuOfWindow(menus[0]));
  Check(Describe(items) == "Alpha (checked) | Beta (grayed) | --- | First > | Second > | Last",
        "the menu shows its items: " + Describe(items));
  RECT menuRect = {};
  if (!menus.empty()) GetWindowRect(menus[0], &menuRect);
  const POINT below = at(kMenuButton.L, kMenuButton.B);
  Check(menuRect.left == below.x && menuRect.top == below.y, "... at the control's bottom left corner");
  if (!menus.empty() && gui::HighlightMenuItem(menus[0], 4)) {
    gui::Key(VK_RIGHT);
    gui::WaitFor([&] { return (menus = Menus()).size() == 2; });
  }
  const std::vector<gui::MenuItem> sub = menus.size() == 2 ? gui::ReadMenu(gui::MenuOfWindow(menus[1]))
                                                           : std::vector<gui::MenuItem>{};
  Check(Describe(sub) == "01: Red | 02: Green | 03: Blue (disabled)",
        "the second submenu, numbered \"%02d: \": " + Describe(sub));
  if (menus.size() == 2 && gui::HighlightMenuItem(menus[1], 1)) gui::Key(VK_RETURN);
  CheckSoon([&] { return Since(mark, {"menu"}) == std::vector<std::string>{"menu Second 1"}; },
            [&] { return "choosing Green returns the second submenu with position 1: " + Join(Since(mark, {"menu"})); });
  Check(gui::WaitFor([&] { return Menus().empty(); }), "the menu is gone");

  mark = Mark();
  gui::Click(at(280, 35));
  gui::WaitFor([&] { return Menus().size() == 1; });
  gui::Key(VK_ESCAPE);
  Check(gui::WaitFor([&] { return Logged(mark, "menu none"); }), "a menu closed with Escape chooses nothing");

  // A message box, owned by the host's window; its answer comes back.
  const struct {
    int button;
    const char* logged;
  } answers[] = {{IDYES, "answer 6"}, {IDNO, "answer 7"}};
  for (const auto& a : answers) {
    mark = Mark();
    gui::Click(at(60, 85));
    HWND box = WaitForDialog("Quarvi");
    Check(box && gui::DialogMessage(box) == "Replace the program?" && GetWindow(box, GW_OWNER) == p.host,
          "a message box asks \"" + (box ? gui::DialogMessage(box) : std::string()) + "\", owned by the host's window");
    if (box) ClickButton(box, a.button);
    CheckSoon([&] { return Logged(mark, a.logged); },
              [&] { return std::string("its answer comes back: ") + Join(Since(mark, {"answer"})); });
  }

  // The file dialogs: a file chosen comes back as its full path (UTF-8);
  // cancel gives an empty name; saving over a file asks first.
  const std::string name = "B\xC3\xA4sse \xCE\xA9.fxb";
  mark = Mark();
  gui::Click(at(175, 85));
  HWND dialog = WaitForDialog(nullptr);
  Check(dialog != nullptr, "the open dialog appears");
  gui::SleepMs(300);
  gui::Type(name);
  gui::Key(VK_RETURN);
  const std::string chosen = "open " + gFileFolder + name + " | " + gFileFolder;
  CheckSoon([&] { return Logged(mark, chosen); },
            [&] { return "the file typed in the open dialog comes back as its full path: " + Join(Since(mark, {"open"})); },
            5000);

  mark = Mark();
  gui::Click(at(175, 85));
  if (WaitForDialog(nullptr)) gui::Key(VK_ESCAPE);
  CheckSoon([&] { return Logged(mark, "open  | " + gFileFolder); },
            [&] { return "a cancelled open dialog gives an empty name: " + Join(Since(mark, {"open"})); }, 5000);

  mark = Mark();
  gui::Click(at(285, 85));
  if (HWND save = WaitForDialog(nullptr)) {
    gui::SleepMs(300);
    gui::Key(VK_RETURN);
    HWND confirm = nullptr;
    gui::WaitFor([&] {
      for (HWND d : gui::TopLevelWindows("#32770")) {
        if (d != save && gui::DialogMessage(d).find("exists") != std::string::npos) confirm = d;
      }
      return confirm != nullptr;
    });
    Check(confirm != nullptr, "saving over an existing file asks first: \"" +
                                  (confirm ? gui::DialogMessage(confirm) : std::string()) + "\"");
    if (confirm) ClickButton(confirm, IDYES);
  } else {
    Check(false, "the save dialog appears");
  }
  CheckSoon([&] { return Logged(mark, "save " + gFileFolder + name + " | " + gFileFolder); },
            [&] { return "... and Yes gives the full path " + Join(Since(mark, {"save"})); }, 5000);

  mark = Mark();
  gui::Click(at(400, 85));
  HWND colour = WaitForDialog("Pick a colour");
  Check(colour != nullptr, "the colour dialog carries the prompt as its title");
  if (colour) gui::Key(VK_ESCAPE);
  Check(gui::WaitFor([&] { return Logged(mark, "colour none"); }), "a cancelled colour dialog returns false");

  // System services: folders, the clipboard, the hidden cursor, a web link
  // the user declines.
  IGraphics* g = static_cast<IPlugVST*>(p.effect->object)->GetGUI();
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

  POINT before = at(300, 200), after = {};
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
  OnUi([&] { static_cast<IPlugVST*>(p.effect->object)->GetGUI()->Resize(kRigWidth + 20, kRigHeight + 10); });
  GetClientRect(p.host, &hostAfter);
  GetClientRect(editor, &editorAfter);
  Check(editorAfter.right == kRigWidth + 20 && editorAfter.bottom == kRigHeight + 10 &&
            hostAfter.right == hostBefore.right + 20 && hostAfter.bottom == hostBefore.bottom + 10 &&
            p.EditorSize().cx == kRigWidth + 20,
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

std::string Utf8(const std::wstring& w) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n > 0 ? n : 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, &s[0], n, nullptr, nullptr);
  s.resize(s.size() - 1);
  return s;
}

// A folder with a bank file whose name is not ANSI, for the file dialogs.
void MakeFileFolder() {
  wchar_t temp[MAX_PATH] = {0};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"quarvi-gui-rig\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring file = folder + L"B\u00e4sse \u03a9.fxb";
  HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(h, "CcnK", 4, &written, nullptr);
    CloseHandle(h);
  }
  gFileFolder = Utf8(folder);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: quarvi-gui-rig PLUGIN.dll PICTURES (pictures: PICTURES.png, PICTURES-dll.png)\n");
    return 2;
  }
  const std::string library = argv[1], pictures = argv[2];
  RegisterHostClasses();
  gUiWnd = CreateWindowExW(0, L"QuarviRigUi", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                           nullptr);
  SetTimer(gUiWnd, 1, 50, nullptr);  // the host's idle calls, also inside modal loops
  MakeFileFolder();

  const DWORD uiThread = GetCurrentThreadId();
  std::thread user([&] {
    RunLibrary(library, pictures);
    RunTestLayout(pictures);
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
