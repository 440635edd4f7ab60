// quarvi-gui-rig: the Windows part of the GUI rig (the scenarios are
// GuiScenarios.cpp), under wine and Xvfb in the test step.
//
//   quarvi-gui-rig PLUGIN.dll PICTURES
//
// A host that pumps messages and calls effEditIdle from its own timer,
// which keeps running inside modal loops; menus and dialogs read and
// answered. Its own checks: the message box's owner once the host's window
// is gone. Pictures: PICTURES-menu.png (the utility menu over the editor),
// PICTURES-dll.png (the editor after all that).

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "GuiDriver_win32.h"
#include "GuiScenarios.h"
#include "IGraphicsWin.h"
#include "IPlugVST.h"

namespace rig {

using gui::Check;
using gui::Format;
using gui::H;
using gui::W;

std::string gBankFolder;  // "...\quarvi-gui-rig\Bässe Ω"
const char kSeparator = '\\';
const bool kQuestionTextRead = true;

namespace {

// ---- the host -----------------------------------------------------------------------------

HWND gUiWnd = nullptr;  // runs work for the script thread; its timer idles the editors
constexpr UINT kRunOnUi = WM_APP + 1, kStartOnUi = WM_APP + 2;

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
    IdleEditors();
    return 0;
  }
  return DefWindowProcW(wnd, msg, wParam, lParam);
}

// Keys as the log names them: letters in lower case, F1..F12, others in hex.
std::string KeyName(WPARAM vk) {
  if (vk >= 'A' && vk <= 'Z') return std::string(1, static_cast<char>(vk - 'A' + 'a'));
  if (vk >= VK_F1 && vk <= VK_F12) return Format("F%d", static_cast<int>(vk - VK_F1 + 1));
  return Format("0x%02X", static_cast<unsigned>(vk));
}

LRESULT CALLBACK HostProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_KEYDOWN: gui::Log("host keydown " + KeyName(wParam)); return 0;
    case WM_KEYUP: gui::Log("host keyup " + KeyName(wParam)); return 0;
    case WM_LBUTTONDOWN:
      SetFocus(wnd);  // as hosts do: a click on their own window takes the keyboard
      gui::Log("host click");
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

HWND WaitForDialog(const char* title) {
  HWND d = nullptr;
  gui::WaitFor([&] { return (d = gui::FindTopLevel("#32770", title)) != nullptr; }, 5000);
  return d;
}

void ClickButton(HWND dialog, int id) {
  const Win button = W(GetDlgItem(dialog, id));
  const gui::Box b = gui::ClientBox(button);
  if (button) gui::Click(gui::Point{b.x + b.w / 2, b.y + b.h / 2});
}

// A menu's items as text: "Copy Program | Paste Program (grayed) | --- |
// Global MIDI Settings... > | ..."; deep: each submenu's in brackets.
std::string Describe(HMENU menu, bool deep) {
  std::string s;
  const std::vector<gui::MenuItem> items = gui::ReadMenu(menu);
  for (size_t i = 0; i < items.size(); ++i) {
    const gui::MenuItem& item = items[i];
    s += (s.empty() ? "" : " | ") + (item.separator ? std::string("---") : item.text);
    if (item.checked) s += " (checked)";
    if ((item.grayed || item.disabled) && !item.separator) s += " (grayed)";
    if (item.submenu) s += deep ? " > [" + Describe(GetSubMenu(menu, static_cast<int>(i)), true) + "]" : " >";
  }
  return s;
}
std::string Describe(const PopupMenu& menu, bool deep) {
  std::string s;
  for (int i = 0; i < menu.NItems(); ++i) {
    const PopupMenuItem& item = *menu.GetItem(i);
    s += (s.empty() ? "" : " | ") + (item.IsSeparator() ? std::string("---") : menu.DisplayText(i));
    if (item.Checked()) s += " (checked)";
    if (!item.Enabled() && !item.IsSeparator()) s += " (grayed)";
    if (item.submenu) s += deep ? " > [" + Describe(*item.submenu, true) + "]" : " >";
  }
  return s;
}

bool ClassRegistered(HINSTANCE module) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof(wc);
  return GetClassInfoExA(module, IGraphicsWin::kWindowClass, &wc) != 0;
}

}  // namespace

// ==== what the scenarios ask of the platform ===============================================

// Runs fn on the user-interface thread and waits for it (also while that
// thread sits in a modal loop: sent messages are handled there too).
void OnUi(const std::function<void()>& fn) { SendMessageW(gUiWnd, kRunOnUi, 0, reinterpret_cast<LPARAM>(&fn)); }
void StartOnUi(std::function<void()> fn) {
  PostMessageW(gUiWnd, kStartOnUi, 0, reinterpret_cast<LPARAM>(new std::function<void()>(std::move(fn))));
}

Win CreateHostWindow(int x, int y, int w, int h) {
  RECT r = {0, 0, w, h};
  AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, FALSE, 0);
  HWND host = CreateWindowExW(0, L"QuarviRigHost", L"Quarvi GUI rig", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y,
                              r.right - r.left, r.bottom - r.top, nullptr, nullptr, GetModuleHandleW(nullptr),
                              nullptr);
  SetForegroundWindow(host);
  return W(host);
}
void DestroyHostWindow(Win host) { DestroyWindow(H(host)); }
void MoveChild(Win child, int x, int y) { SetWindowPos(H(child), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER); }

std::vector<Win> EditorWindows(Win host) {
  std::vector<Win> found;
  for (HWND w = FindWindowExA(H(host), nullptr, IGraphicsWin::kWindowClass, nullptr); w;
       w = FindWindowExA(H(host), w, IGraphicsWin::kWindowClass, nullptr)) {
    found.push_back(W(w));
  }
  return found;
}

gui::Picture Capture(Win w) {
  gui::Picture p;
  OnUi([&] { p = gui::Capture(H(w)); });
  return p;
}
gui::Picture CaptureScreen(const gui::Box& box) { return gui::CaptureScreen(box); }

Library OpenLibrary(const std::string& path) {
  Library lib;
  HMODULE dll = LoadLibraryA(path.c_str());
  lib.handle = dll;
  if (dll) lib.entry = reinterpret_cast<VstPluginMainProc>(GetProcAddress(dll, "VSTPluginMain"));
  return lib;
}
void CloseLibrary(const Library& library) { FreeLibrary(static_cast<HMODULE>(library.handle)); }
int WindowLayerHoldings(const Library& library) {
  return ClassRegistered(static_cast<HINSTANCE>(library.handle)) ? 1 : 0;
}

std::string ExeFolder() {
  char exe[MAX_PATH] = {0};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  return std::string(exe).substr(0, std::string(exe).find_last_of('\\') + 1);
}

// The window's own picture once it is steady: the same over two timer ticks
// (a redraw still due from the last action must not become the picture to
// compare with).
gui::Picture Look(const Editor& ed, const LayoutRect& r) {
  auto area = [&] { return Capture(ed.wnd).Crop(r.L, r.T, r.R, r.B); };
  gui::Picture a = area(), b;
  for (int i = 0; i < 20; ++i, a = b) {
    gui::SleepMs(90);
    if ((b = area()) == a) break;
  }
  return a;
}
gui::Picture Reference(Plugin& p, Win editor) {
  return Look(Editor{p, editor}, LayoutRect{0, 0, kEditorWidth, kEditorHeight});
}

bool ShowsState(const Editor& ed, const LayoutRect& r, const gui::Picture& before, bool changed, std::string* why) {
  auto area = [&] { return Capture(ed.wnd).Crop(r.L, r.T, r.R, r.B); };
  const bool ok = changed ? gui::WaitFor([&] { return area() != before; })
                          : gui::WaitFor([&] { return area() == before; }) && Look(ed, r) == before;
  *why = Format("the area at (%d,%d) %s", r.L, r.T,
                ok == changed ? "changed" : "is as it was");
  return ok;
}

std::vector<Win> Menus() {
  std::vector<Win> m;
  for (HWND w : gui::TopLevelWindows("#32768")) m.insert(m.begin(), W(w));  // newest is on top of the z-order
  return m;
}

bool MenuShows(Win menu, const PopupMenu& items, int, std::string* why) {
  HMENU shown = gui::MenuOfWindow(H(menu));
  *why = shown ? Describe(shown, false) : std::string("(no menu)");
  const bool same = shown && Describe(shown, true) == Describe(items, true);
  if (!same) *why += " (expected " + Describe(items, true) + ")";
  return same;
}

bool HighlightMenuItem(Win menu, const PopupMenu&, int item) { return gui::HighlightMenuItem(H(menu), item); }

Win EntryBox(Win editor) { return W(GetDlgItem(H(editor), IGraphicsWin::kEntryId)); }

bool EntryBoxHolds(Win box, const std::string& text, std::string* why) {
  DWORD start = 0, end = 0;
  SendMessageW(H(box), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  const std::string shown = gui::TextOf(H(box));
  const int length = GetWindowTextLengthW(H(box));
  *why = Format("an %s box holding \"%s\", %lu to %lu selected", gui::ClassOf(H(box)).c_str(), shown.c_str(),
                static_cast<unsigned long>(start), static_cast<unsigned long>(end));
  return gui::ClassOf(H(box)) == "Edit" && shown == text && start == 0 && static_cast<int>(end) == length;
}

Question Answer(const char* title, bool yes) {
  Question q;
  HWND box = WaitForDialog(title);
  if (!box) return q;
  q.shown = true;
  q.text = gui::DialogMessage(box);
  q.owner = W(GetWindow(box, GW_OWNER));
  ClickButton(box, yes ? (GetDlgItem(box, IDYES) ? IDYES : IDOK) : IDNO);
  gui::WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); });
  return q;
}

bool Dismiss(const char* title) {
  HWND d = WaitForDialog(title);
  if (d) gui::Press(gui::Key::Escape);
  return d != nullptr;
}

// Waits for the dialog to give its name box the keyboard, then types a name
// (none: Enter on the suggestion, which the box holds selected) and presses
// Enter, or Escape to cancel.
bool UseFileDialog(bool, const std::string* typed, bool cancel) {
  HWND dialog = WaitForDialog(nullptr);
  GUITHREADINFO info = {};
  info.cbSize = sizeof(info);
  if (!dialog || !gui::WaitFor([&] {
        return GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) && info.hwndFocus &&
               gui::ClassOf(info.hwndFocus) == "Edit" && GetAncestor(info.hwndFocus, GA_ROOT) == dialog;
      }, 5000)) {
    return false;
  }
  if (!cancel && typed) gui::Type(*typed);
  gui::Press(cancel ? gui::Key::Escape : gui::Key::Return);
  return true;
}

bool AnswerReplace(std::string* text) {
  HWND confirm = nullptr;
  gui::WaitFor([&] {
    for (HWND d : gui::TopLevelWindows("#32770")) {
      if (gui::DialogMessage(d).find("exists") != std::string::npos) confirm = d;
    }
    return confirm != nullptr;
  }, 5000);
  if (!confirm) return false;
  *text = gui::DialogMessage(confirm);
  ClickButton(confirm, IDYES);
  return true;
}

bool DialogsGone() {
  return gui::WaitFor([&] { return gui::TopLevelWindows("#32770").empty(); }, 5000);
}

bool NoErrorBox() {
  gui::SleepMs(100);
  HWND box = gui::FindTopLevel("#32770", "Error");
  if (box) ClickButton(box, IDOK);
  return box == nullptr;
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

bool ClipboardRoundTrip(IGraphics* g, Win editor, const std::string& text, std::string* got) {
  bool ok = false;
  OnUi([&] {
    std::wstring w(MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &w[0], static_cast<int>(w.size()));
    if (OpenClipboard(H(editor))) {
      EmptyClipboard();
      HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, w.size() * sizeof(wchar_t));
      std::memcpy(GlobalLock(mem), w.c_str(), w.size() * sizeof(wchar_t));
      GlobalUnlock(mem);
      SetClipboardData(CF_UNICODETEXT, mem);
      CloseClipboard();
    }
    ok = g->ClipboardText(got);
  });
  return ok;
}

bool CommonAppDataFolderOk(const std::string& common, const std::string& user) {
  return !common.empty() && common != user;
}

namespace {

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
  const Win editor = p.EditorWindow();
  if (!editor) return;
  IGraphics* g = static_cast<IPlugVST*>(p.effect->object)->GetGUI();
  CheckWindowServices(p, g, editor, BarePlug::kWidth, BarePlug::kHeight);

  // The host's window is gone: a message box goes to the host's next
  // window of the same class.
  p.CloseEditor();
  p.DestroyHostWindow();
  const Win next = p.NewHostWindow(40, 40);
  const size_t mark = gui::Mark();
  StartOnUi([g] { gui::Log(Format("answer %d", g->ShowMessageBox("Still there?", "Quarvi", MB_TYPE_OK))); });
  const Question q = Answer("Quarvi", true);
  Check(q.shown && q.owner == next,
        "with the host's window gone, a message box is owned by its next window of that class");
  gui::CheckSoon([&] { return gui::Logged(mark, "answer 1"); },
                 [&] { return "... and answers OK " + gui::Join(gui::Since(mark)); });
  p.Close();
  p.DestroyHostWindow();
}

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
}  // namespace rig

int main(int argc, char** argv) {
  using namespace rig;
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
  gFailedPictures = pictures;

  const DWORD uiThread = GetCurrentThreadId();
  std::thread user([&] {
    RunLibrary(library, [](Plugin&) {}, "");
    RunEditorByHand(library, Pictures{"", pictures + "-menu.png", pictures + "-dll.png"});
    RunWindowServices();
    PostThreadMessageW(uiThread, WM_QUIT, 0, 0);
  });
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  user.join();
  return gui::Summary();
}
