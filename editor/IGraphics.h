#pragma once
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "lice/lice.h"

class IControl;
class IPlugBase;
class IPlugParam;
class LICE_CachedFont;
class LICE_IBitmap;
class LICE_MemBitmap;
class LICE_SysBitmap;

// ---- value types shared by the whole editor --------------------------------

// Editor pixels, origin top-left. Contains (x, y) when L <= x < R and T <= y < B.
struct Rect {
  int L = 0, T = 0, R = 0, B = 0;
  Rect() = default;
  Rect(int l, int t, int r, int b) : L(l), T(t), R(r), B(b) {}
  bool Empty() const { return L == 0 && T == 0 && R == 0 && B == 0; }
  int W() const { return R - L; }
  int H() const { return B - T; }
  bool Contains(int x, int y) const { return x >= L && x < R && y >= T && y < B; }
  // The union; an empty side gives the other side.
  Rect Union(const Rect& o) const;
  // Whether the two share at least one pixel.
  bool Intersects(const Rect& o) const { return L < o.R && o.L < R && T < o.B && o.T < B; }
  Rect Intersect(const Rect& o) const;
  bool operator==(const Rect& o) const { return L == o.L && T == o.T && R == o.R && B == o.B; }
  bool operator!=(const Rect& o) const { return !(*this == o); }
};

struct Color {
  int A = 255, R = 0, G = 0, B = 0;
  Color() = default;
  Color(int a, int r, int g, int b) : A(a), R(r), G(g), B(b) {}
  LICE_pixel Pixel() const { return LICE_RGBA(R, G, B, A); }
  bool operator==(const Color& o) const { return A == o.A && R == o.R && G == o.G && B == o.B; }
};

struct ChannelBlend {
  enum Method { kNone = 0, kClobber = 1, kAdd = 2, kColorDodge = 3 };
  int method = kNone;
  float weight = 1.0f;
  ChannelBlend() = default;
  explicit ChannelBlend(int m, float w = 1.0f) : method(m), weight(w) {}
  // The bitmap layer's drawing mode for this method.
  int LiceMode() const;
};

struct TextStyle {
  enum Style { kNormal = 0, kBold = 1, kItalic = 2 };
  enum Align { kAlignNear = 0, kAlignCenter = 1, kAlignFar = 2 };
  enum Quality { kQualityDefault = 0, kQualityNonAntiAliased = 1, kQualityAntiAliased = 2,
                 kQualityClearType = 3 };
  char face[32] = "Verdana";
  int size = 12;
  Color color{255, 0, 0, 0};
  Color entryBackground{255, 255, 255, 255};
  Color entryForeground{255, 0, 0, 0};
  int style = kNormal;
  int align = kAlignCenter;
  int orientation = 0;  // degrees counter-clockwise
  int quality = kQualityDefault;
  LICE_CachedFont* font = nullptr;  // the cached font made for it, on first use

  TextStyle() = default;
  TextStyle(const char* faceName, int sizePx, const Color& c, int styleFlags = kNormal,
            int alignment = kAlignCenter, int orientationDeg = 0, int q = kQualityDefault);
};

struct BitmapStrip {
  LICE_IBitmap* bitmap = nullptr;  // not owned (the bitmap cache owns it)
  int W = 0, H = 0;                // the whole image
  int N = 1;                       // frames
  bool sideBySide = false;         // false: frames stacked top to bottom
  int FrameWidth() const { return sideBySide && N > 0 ? W / N : W; }
  int FrameHeight() const { return !sideBySide && N > 0 ? H / N : H; }
};

struct MouseMods {
  bool L = false, R = false, S = false, C = false, A = false;
};

// Keys the editor understands; everything else goes to the host.
enum KeyCode {
  KEY_SPACE = 0, KEY_UPARROW = 1, KEY_DOWNARROW = 2, KEY_LEFTARROW = 3, KEY_RIGHTARROW = 4,
  KEY_DIGIT_0 = 5,   // ... KEY_DIGIT_0 + 9
  KEY_ALPHA_A = 15,  // ... KEY_ALPHA_A + 25
};

// ---- popup menus ------------------------------------------------------------

class PopupMenu;

struct PopupMenuItem {
  enum Flags { kNoFlags = 0, kDisabled = 1, kTitle = 2, kChecked = 4, kSeparator = 8 };
  std::string text;
  std::unique_ptr<PopupMenu> submenu;
  int flags = kNoFlags;

  bool Enabled() const { return !(flags & (kDisabled | kTitle)); }
  bool Checked() const { return (flags & kChecked) != 0; }
  bool IsSeparator() const { return (flags & kSeparator) != 0; }
};

class PopupMenu {
 public:
  // Numbering prefixes put in front of item texts: 1 "%1d: ", 2 "%02d: ", 3 "%03d: ".
  explicit PopupMenu(int prefix = 0) : mPrefix(prefix) {}

  PopupMenuItem* AddItem(const std::string& text, int flags = PopupMenuItem::kNoFlags);
  PopupMenuItem* AddSubmenu(const std::string& text, std::unique_ptr<PopupMenu> submenu);
  void AddSeparator();
  void CheckItemAlone(int index);  // checks index, unchecks every other item
  void SetItemFlag(int index, int flag, bool on);

  int NItems() const { return static_cast<int>(mItems.size()); }
  PopupMenuItem* GetItem(int index) {
    return index >= 0 && index < NItems() ? &mItems[index] : nullptr;
  }
  const PopupMenuItem* GetItem(int index) const {
    return index >= 0 && index < NItems() ? &mItems[index] : nullptr;
  }
  // The text a menu shows for the item, with the numbering prefix.
  std::string DisplayText(int index) const;
  int Prefix() const { return mPrefix; }
  void SetPrefix(int prefix) { mPrefix = prefix; }
  int GetChosenItemIdx() const { return mChosen; }
  void SetChosenItemIdx(int index) { mChosen = index; }

 private:
  std::vector<PopupMenuItem> mItems;
  int mPrefix = 0;
  int mChosen = -1;
};

// Message box types and answers (the values of the Windows message box).
enum MessageBoxType {
  MB_TYPE_OK = 0, MB_TYPE_YESNO = 4,
  MB_ICON_ERROR = 0x10, MB_ICON_QUESTION = 0x20, MB_ICON_WARNING = 0x30, MB_ICON_INFO = 0x40,
};
enum MessageBoxResult { MB_RESULT_OK = 1, MB_RESULT_CANCEL = 2, MB_RESULT_YES = 6, MB_RESULT_NO = 7 };

// File dialog actions.
enum FileAction { kFileOpen = 0, kFileSave = 1 };

// ---- the graphics core ------------------------------------------------------

// One per plug-in instance, alive as long as the plug-in: the controls, the
// back buffer, what needs redrawing, and the routing of mouse and keys to
// controls. The window layer derives from it; the core never touches a
// window system itself.
//
// Threads: everything runs on the host's user-interface thread except
// SetControlsFromParam, which any thread that changes a parameter may call:
// it only stores values and dirty marks (atomics in IControl), which the
// window's timer picks up.
class IGraphics {
 public:
  static constexpr int kWidth = 1072;
  static constexpr int kHeight = 680;
  static constexpr int kDefaultFPS = 25;
  static constexpr int kIdleTicks = 20;  // EditorIdle on the 21st quiet tick

  IGraphics(IPlugBase* plug, int w = kWidth, int h = kHeight, int fps = kDefaultFPS);

  // ---- controls -------------------------------------------------------------
  BitmapStrip LoadBitmapStrip(int id, const char* name, int frames);
  void SetBackground(int id, const char* name);
  IControl* AddControl(IControl* control);  // takes ownership; returns it
  int NControls() const { return static_cast<int>(mControls.size()); }
  IControl* GetControl(int index) const {
    return index >= 0 && index < NControls() ? mControls[index].get() : nullptr;
  }
  void SetControlsFromParam(int paramIdx, double value, bool isNormalized);
  // Marks every control dirty without pushing anything to the plug-in.
  void SetAllControlsDirty();

  // ---- redraw ---------------------------------------------------------------
  bool CollectDirty(Rect* out);
  bool DrawDirty(const Rect& rect);
  // Creates the back buffer and the scratch bitmap when they do not exist yet
  // (the plug-in's attach, the first open, the first headless draw).
  void PrepareDraw();
  LICE_SysBitmap* BackBuffer() const { return mDrawBitmap.get(); }
  const Rect& DrawRect() const { return mDrawRect; }

  // ---- input ----------------------------------------------------------------
  int HitTest(int x, int y, bool forMouseOver = false) const;
  void OnMouseDown(int x, int y, const MouseMods& mods);
  void OnMouseUp(int x, int y, const MouseMods& mods);
  void OnMouseDrag(int x, int y, const MouseMods& mods);
  bool OnMouseDoubleClick(int x, int y, const MouseMods& mods);
  void OnMouseWheel(int x, int y, const MouseMods& mods, int d);
  bool OnMouseOver(int x, int y, const MouseMods& mods);
  void OnMouseOut();
  bool OnKeyDown(int x, int y, int key);
  int MouseCapture() const { return mMouseCapture; }
  void ReleaseMouseCapture() { mMouseCapture = -1; mMouseX = mMouseY = -1; }

  // ---- drawing for controls -------------------------------------------------
  bool DrawBitmapAt(const BitmapStrip& strip, const Rect& dest, int srcX, int srcY,
                    const ChannelBlend* blend = nullptr);
  bool DrawBitmapFrame(const BitmapStrip& strip, const Rect& dest, int frame,
                       const ChannelBlend* blend = nullptr);
  bool DrawLine(const Color& color, int x1, int y1, int x2, int y2,
                const ChannelBlend* blend = nullptr);
  bool DrawTextInRect(TextStyle* style, const char* text, Rect* rect, bool measure = false);
  // The cached font of a style: the one the style holds, else found in or
  // added to the process-wide cache (and stored in the style). Null when the
  // system font cannot be made.
  static LICE_CachedFont* CachedFontFor(TextStyle* style);

  // ---- settings -------------------------------------------------------------
  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  int FPS() const { return mFPS; }
  IPlugBase* GetPlug() const { return mPlug; }
  void HandleMouseOver(bool on) { mHandleMouseOver = on; }
  void SetStrictDrawing(bool strict) { mStrict = strict; }
  bool CursorHidden() const { return mCursorHidden; }

  // ---- virtual operations, in slot order ------------------------------------
  virtual bool PresentRect(const Rect& rect) = 0;                                         // 1
  virtual bool MeasureText(TextStyle* style, const char* text, Rect* rect);               // 2
  virtual void EndValueEntry() = 0;                                                       // 3
  virtual void Resize(int w, int h);                                                      // 4
  virtual bool IsWindowOpen() { return WindowHandle() != nullptr; }                       // 5
  virtual const char* GraphicsApiName() { return ""; }                                    // 6
  virtual int ShowMessageBox(const char* text, const char* caption, int type) = 0;        // 7
  virtual PopupMenu* ShowPopupMenu(PopupMenu* menu, const Rect& rect) = 0;                // 8
  virtual void ShowValueEntry(IControl* control, const TextStyle& style, const Rect& rect,
                              const char* initialText, IPlugParam* param) = 0;            // 9
  virtual void HostFolder(std::string* folder) = 0;                                       // 10
  virtual void PluginFolder(std::string* folder) = 0;                                     // 11
  virtual void DesktopFolder(std::string* folder) = 0;                                    // 12
  virtual void AppDataFolder(std::string* folder, bool allUsers) = 0;                     // 13
  virtual void UserAppDataFolder(std::string* folder) { AppDataFolder(folder, false); }   // 14
  // action: kFileSave or kFileOpen. fileName: suggestion in, chosen full path
  // out ("" when cancelled); folder: start folder in, the chosen file's folder out.
  virtual void AskForFile(std::string* fileName, int action, std::string* folder,
                          const char* extensions) = 0;                                    // 15
  virtual bool AskForColor(Color* color, const char* prompt) = 0;                        // 16
  virtual bool OpenUrl(const char* url, const char* caption = nullptr,
                       const char* confirmText = nullptr,
                       const char* errorText = nullptr) = 0;                              // 17
  virtual void* NativeAccessor() { return nullptr; }                                      // 18
  virtual void* OpenWindow(void* parent) = 0;                                             // 19
  virtual void AfterOpenHook() {}                                                         // 20
  virtual void BeforeCloseHook() {}                                                       // 21
  virtual void CloseWindow() = 0;                                                         // 22
  virtual void* WindowHandle() = 0;                                                       // 23
  virtual bool ClipboardText(std::string* text) = 0;                                      // 24
  virtual ~IGraphics();                                                                   // 25
  virtual void HideCursor() {}                                                            // 26
  virtual void ShowCursor() {}                                                            // 27
  virtual void IdleHook() {}                                                              // 28
  virtual LICE_IBitmap* LoadBitmapResource(int id, const char* name);                     // 29

  // Whether this window layer can show a window in a host at all. A platform
  // without one keeps the editor object (for pictures and tests) but the host
  // is not offered an editor.
  virtual bool CanOpenWindows() const { return false; }

  IGraphics(const IGraphics&) = delete;
  IGraphics& operator=(const IGraphics&) = delete;

 protected:
  std::recursive_mutex mMutex;
  std::vector<std::unique_ptr<IControl>> mControls;
  IPlugBase* mPlug;
  Rect mDrawRect;
  bool mCursorHidden = false;
  int mHiddenCursorX = -1, mHiddenCursorY = -1;
  std::unique_ptr<LICE_SysBitmap> mDrawBitmap;
  std::unique_ptr<LICE_MemBitmap> mTmpBitmap;
  int mWidth, mHeight;
  int mFPS;
  int mIdleTicks = 0;
  int mMouseCapture = -1, mMouseOver = -1;
  int mMouseX = 0, mMouseY = 0;
  bool mHandleMouseOver = false, mStrict = true, mEnableTooltips = false;
  IControl* mKeyCatcher = nullptr;
};

// The process-wide caches of decoded images and fonts, shared by every editor
// of every instance. Each has its own lock. Entries live until the library is
// unloaded; closing an editor never frees them.
namespace EditorCaches {
// The bitmap cached under id, loading it with load() on a miss (null results
// are cached too: a missing image is not looked for again).
LICE_IBitmap* FindOrLoadBitmap(int id, LICE_IBitmap* (*load)(void* ctx, int id), void* ctx);
// Bitmaps decoded so far in this process (a cached null counts).
int BitmapLoads();
// The cached font for (size, orientation, style, face), or null.
LICE_CachedFont* FindFont(int size, int orientation, int style, const char* face);
// Adds a font (the cache owns it from now on). When another thread added the
// same key meanwhile, the given font is destroyed and the cached one returned.
LICE_CachedFont* AddFont(int size, int orientation, int style, const char* face,
                         LICE_CachedFont* font);
// Held while a cached font is given its colour and draws: a font keeps its
// colour and its glyph tables between calls, and every instance's editor
// shares it, whichever thread a host drives that editor from.
std::mutex& TextLock();
}  // namespace EditorCaches

// Makes the editor for the platform this library runs on: the Windows window
// layer on Windows, the X11 window layer on Linux.
IGraphics* CreatePlatformGraphics(IPlugBase* plug);
