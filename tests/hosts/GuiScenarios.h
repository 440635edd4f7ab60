#pragma once
// The GUI rigs' shared part (GuiScenarios.cpp): a small host for a plug-in
// library, and what a user does with the editor, the same on every
// platform. Each platform's rig (GuiRig_win32.cpp, GuiRig_posix.cpp)
// provides the host's thread and windows, reads menus and answers dialogs,
// and says what the editor's pictures show, behind the calls declared first
// below; GuiDriver.h is the user's hands.
//
// Threads: main is the host's user-interface thread; the scenarios run on a
// second thread that plays the user. On X11 a menu or a dialog runs its own
// loop inside the host's call into the editor, and work for the host's
// thread waits until it ends: while one is open the scenarios only look and
// type, never ask the plug-in (every Plugin call runs on the host's thread).

#include <functional>
#include <string>
#include <vector>

#include "EditorLayout.h"
#include "GuiDriver.h"
#include "vst2.h"

class IGraphics;
class PopupMenu;

namespace rig {

using gui::Win;
constexpr int kHostMargin = 40;  // host window area below the editor, for clicks away from it

struct Plugin;
struct Editor;

// ==== what each platform's rig provides ==========================================

// ---- the host -----------------------------------------------------------------------
// Runs fn on the host's thread and waits for it.
void OnUi(const std::function<void()>& fn);
// Starts fn there without waiting: for calls that sit in a menu or a dialog
// until the user answers.
void StartOnUi(std::function<void()> fn);
// On the host's thread: a visible top-level window whose client area is w x h,
// its events logged ("host click", "host keydown q", "host keyup F1").
Win CreateHostWindow(int x, int y, int w, int h);
void DestroyHostWindow(Win host);
void MoveChild(Win child, int x, int y);  // to (x, y) of its parent
std::vector<Win> EditorWindows(Win host);
// What the window's client area shows now.
gui::Picture Capture(Win w);
gui::Picture CaptureScreen(const gui::Box& box);

struct Library {
  void* handle = nullptr;
  VstPluginMainProc entry = nullptr;
};
Library OpenLibrary(const std::string& path);
void CloseLibrary(const Library& library);  // on the host's thread
// What the library's window layer holds, to be given back when the last
// editor closes: its window class (1 while registered) on Windows, the
// X connections the process opened since the rig's own (each editor opens
// one) on X11.
int WindowLayerHoldings(const Library& library);
// Where the rig's own program lies (with a trailing separator).
std::string ExeFolder();

// ---- what the editor shows -------------------------------------------------------
// The picture the editor's window has to show in the plug-in's state: on X11
// the headless window layer's drawing of that state, on Windows (where
// wine's fonts are not Windows') the window's own picture once it is steady
// and drawn.
gui::Picture Reference(Plugin& p, Win editor);
// A look at an area of the editor before an action (Windows: the area once
// steady; X11 compares whole pictures and needs none).
gui::Picture Look(const Editor& ed, const LayoutRect& area);
// Whether the editor comes to show the plug-in's state after an action: on
// Windows the area comes to differ from the look before (changed) or to
// equal it again; on X11 the whole window comes to be the headless picture
// of the state, which says more. Call it once the host sees the new state.
bool ShowsState(const Editor& ed, const LayoutRect& area, const gui::Picture& before, bool changed, std::string* why);

// ---- menus, the entry box, dialogs -----------------------------------------------
std::vector<Win> Menus();  // the open popup menus, the outermost first
// Whether the open menu shows these items, with this one highlighted (-1:
// none). Windows reads the items, submenus too, and *why lists them (the
// highlight is not read); X11 compares the window with the menu as the
// window layer draws it, one level.
bool MenuShows(Win menu, const PopupMenu& items, int highlight, std::string* why);
// Moves the highlight of an open menu showing items to item with the arrow keys.
bool HighlightMenuItem(Win menu, const PopupMenu& items, int item);
// The program name's entry box open in the editor (0: none), and whether it
// holds the text, all selected (Windows reads the edit control; X11 compares
// the window with the box as the window layer draws it).
Win EntryBox(Win editor);
bool EntryBoxHolds(Win box, const std::string& text, std::string* why);

struct Question {
  bool shown = false;
  std::string text;  // as far as it can be read
  Win owner = 0;     // the window it belongs to
};
// Whether a question's text can be read (Windows); zenity's cannot.
extern const bool kQuestionTextRead;
// Waits for the message box with this title and answers it: Yes (or OK) or
// No; then waits until it is gone.
Question Answer(const char* title, bool yes);
// Waits for a dialog with this title and closes it with Escape.
bool Dismiss(const char* title);
// A file dialog: types a name (none: Enter on the suggestion) and presses
// Enter, or cancels. False when none came.
bool UseFileDialog(bool save, const std::string* typed, bool cancel);
// The question whether to replace a file, answered Yes; its text in *text
// where it can be read.
bool AnswerReplace(std::string* text);
bool DialogsGone();
bool NoErrorBox();  // none came up (one that did is answered)
bool FileStartsWith(const std::string& utf8Path, const char* magic);
// The folder "Bässe Ω" for bank files, without a bank in it yet (UTF-8, no
// trailing separator), and the separator.
extern std::string gBankFolder;
extern const char kSeparator;

// ---- services of the window layer -------------------------------------------------
// Puts UTF-8 text on the clipboard and reads it back through the editor.
bool ClipboardRoundTrip(IGraphics* g, Win editor, const std::string& text, std::string* got);
// The folder for all users' application data as the platform has it.
bool CommonAppDataFolderOk(const std::string& common, const std::string& user);

// ==== shared ========================================================================

VstIntPtr VSTCALLBACK HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                   float opt);
// The host's idle call to every open editor, on the host's thread.
void IdleEditors();

// A plug-in as the host holds it; every call runs on the host's thread.
struct Plugin {
  AEffect* effect = nullptr;
  Win host = 0;  // the host's window for its editor

  VstIntPtr Call(VstInt32 op, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr);
  void EditorSize(int* w, int* h);  // as effEditGetRect reports it (0 x 0 when refused)
  // A new top-level host window with room for the editor (and a margin).
  Win NewHostWindow(int x, int y);
  bool OpenEditor();
  void CloseEditor() { Call(effEditClose); }
  Win EditorWindow() const;  // 0: none
  void Close();
  void DestroyHostWindow();

  int Program() { return static_cast<int>(Call(effGetProgram)); }
  std::string ProgramName(int index = -1);
  std::string ParamText(int index);
  float Param(int index);
  std::vector<float> Params();
  void SetParam(int index, float v);
};

// The open editor as the user sees it.
struct Editor {
  Plugin& p;
  Win wnd;
  bool copied = false, midiThru = false;  // what the utility menu shows
  gui::Point At(int x, int y) const;
  gui::Point At(const LayoutRect& r) const;  // its centre
};

// Waits until the window shows exactly the picture.
bool Shows(Win w, const gui::Picture& expected, std::string* why, int timeoutMs = 3000);
// Checks that it comes to; when not, both pictures are written next to
// gFailedPictures (a path prefix) for a look at the difference.
void CheckShows(Win w, const gui::Picture& expected, const std::string& what);
extern std::string gFailedPictures;
// A picture of the screen around some windows, clipped to the screen.
gui::Picture ScreenAround(const std::vector<Win>& windows, int margin);
// The keys a user presses on the editor: 'q' (a letter the core maps, but
// no control handles) and F1 (no mapping at all) both reach the host.
void CheckKeysReachTheHost(gui::Point at, const std::string& what);
// The parameter gesture the host saw since mark: begin, automation, end of
// one parameter, in order; the last automated value in *last.
bool IsGesture(size_t mark, int index, double* last = nullptr);
// Opens a popup menu with a click at a point; returns its window (0: none).
Win OpenMenuAt(gui::Point at);
// Checks that the menu shows the items (MenuShows); the reason follows what.
void CheckMenu(Win menu, const PopupMenu& items, int highlight, const std::string& what);
// Writes the picture as a PNG: a check.
void KeepPicture(const gui::Picture& picture, const std::string& path, const std::string& what);

// Part 1: the library through its entry point: open, close, reopen, two
// instances, bad parents, keys to the host, the host destroying its window.
// extra runs platform checks on an instance with its host window and no
// editor open; with opened set, the first editor's window and its host's
// window are written to opened-dll.png and opened-host.png.
void RunLibrary(const std::string& path, const std::function<void(Plugin&)>& extra, const std::string& opened);
// The pictures the library's editor leaves, each written when its path is set.
struct Pictures {
  std::string screen;  // a new instance's host window with the utility menu open
  std::string menu;    // the utility menu and its MIDI submenu over the editor
  std::string after;   // the editor after all that
};
// The library's editor played by a user, gesture by gesture.
void RunEditorByHand(const std::string& path, const Pictures& pictures);
// What the window layer offers that the library's editor never uses, on an
// editor linked into the rig (g, open in p's host window as editor, width x
// height): the colour dialog, folders, the clipboard, the hidden cursor, a
// declined web link, resizing.
void CheckWindowServices(Plugin& p, IGraphics* g, Win editor, int width, int height);

}  // namespace rig
