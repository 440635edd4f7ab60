#pragma once
#include <memory>
#include <string>

#include "IGraphics.h"

// The editor as an X11 child window inside the window the host gives (the
// Linux library's window layer; Windows has IGraphicsWin). The Xlib code
// lives in IGraphicsX11_posix.cpp and its neighbours; this header keeps X
// types out (window ids travel as void*, the rest sits behind Impl).
//
// The plug-in keeps its own display connection, opened at OpenWindow and
// closed at CloseWindow, never the host's; constructing the editor needs no
// display at all. Everything runs on whichever thread the host calls the
// editor opcodes on: effEditIdle (IdleHook) drains the X events without
// blocking and runs the redraw cycle when its 40 ms have passed (by the
// clock, not by the number of calls), menus and dialogs run a nested loop of
// their own. The connection is never used by two threads at once (a lock
// per editor; XInitThreads is the host's business, not ours).
//
// Menus, the entry box and, on a desktop without zenity or kdialog, message
// boxes are drawn by the editor itself (editor/WindowViews.h); message
// boxes, file and colour dialogs otherwise run as child processes of those
// programs, transient for the host's window. Text crosses the class as
// UTF-8.
class IGraphicsX11 : public IGraphics {
 public:
  // Text entry states, as in the Windows layer: the entry and the mouse only
  // set a state, the next redraw cycle applies it.
  enum EntryState { kEntryNone = 0, kEntryEditing = 1, kEntryUpdate = 2, kEntryCancel = 3,
                    kEntryCommit = 4 };

  IGraphicsX11(IPlugBase* plug, int w = kWidth, int h = kHeight, int fps = kDefaultFPS);
  ~IGraphicsX11() override;

  bool CanOpenWindows() const override { return true; }

  // ---- the window ------------------------------------------------------------------
  // parent: the host's X window id. Null when it is missing or gone, or when
  // no display can be opened.
  void* OpenWindow(void* parent) override;
  void CloseWindow() override;
  void* WindowHandle() override;
  bool PresentRect(const Rect& rect) override;
  void Resize(int w, int h) override;
  const char* GraphicsApiName() override { return "X11"; }
  // effEditIdle: pending events, then the redraw cycle when it is due. A
  // no-op without a window.
  void IdleHook() override;

  // ---- user questions ------------------------------------------------------------
  int ShowMessageBox(const char* text, const char* caption, int type) override;
  PopupMenu* ShowPopupMenu(PopupMenu* menu, const Rect& rect) override;
  void ShowValueEntry(IControl* control, const TextStyle& style, const Rect& rect,
                      const char* initialText, IPlugParam* param) override;
  void EndValueEntry() override;
  void AskForFile(std::string* fileName, int action, std::string* folder,
                  const char* extensions) override;
  bool AskForColor(Color* color, const char* prompt) override;
  bool OpenUrl(const char* url, const char* caption, const char* confirmText,
               const char* errorText) override;

  // ---- system services -----------------------------------------------------------
  void HostFolder(std::string* folder) override;
  void PluginFolder(std::string* folder) override;
  void DesktopFolder(std::string* folder) override;
  void AppDataFolder(std::string* folder, bool allUsers) override;
  bool ClipboardText(std::string* text) override;
  void HideCursor() override;
  void ShowCursor() override;

  // ---- for tests ------------------------------------------------------------------
  // Editor windows open in this process (all instances).
  static int OpenWindowCount();
  bool EntryOpen() const;
  int GetEntryState() const;
  // Whether the window is presented through MIT-SHM (else XPutImage).
  bool UsesSharedMemory() const;
  // Redraw cycles run since the window opened.
  int Cycles() const;

  struct Impl;

 private:
  friend struct Impl;
  std::unique_ptr<Impl> mImpl;
};
