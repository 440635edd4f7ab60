#include "WindowLogic.h"

#include <cstdlib>
#include <cstring>

#include "IGraphics.h"

namespace windowlogic {

int KeyCodeForVirtualKey(int vk) {
  switch (vk) {
    case kVkSpace: return KEY_SPACE;
    case kVkUp: return KEY_UPARROW;
    case kVkDown: return KEY_DOWNARROW;
    case kVkLeft: return KEY_LEFTARROW;
    case kVkRight: return KEY_RIGHTARROW;
    default: break;
  }
  if (vk >= '0' && vk <= '9') return KEY_DIGIT_0 + (vk - '0');
  if (vk >= 'A' && vk <= 'Z') return KEY_ALPHA_A + (vk - 'A');
  return -1;
}

int WheelNotches(int delta) { return delta / 120; }  // C++ division truncates toward zero

int NumberOfIds(const PopupMenu& menu) {
  int n = menu.NItems();
  for (int i = 0; i < menu.NItems(); ++i) {
    if (const PopupMenu* sub = menu.GetItem(i)->submenu.get()) n += NumberOfIds(*sub);
  }
  return n;
}

namespace {
PopupMenu* Find(PopupMenu* menu, int id, int* next, int* index) {
  const int first = *next;
  *next += menu->NItems();
  if (id >= first && id < *next) {
    *index = id - first;
    return menu;
  }
  for (int i = 0; i < menu->NItems(); ++i) {
    PopupMenu* sub = menu->GetItem(i)->submenu.get();
    if (!sub) continue;
    if (PopupMenu* found = Find(sub, id, next, index)) return found;
  }
  return nullptr;
}
}  // namespace

PopupMenu* MenuForCommandId(PopupMenu* menu, int id, int* index) {
  if (!menu || id < 0) return nullptr;
  int next = 0, at = -1;
  PopupMenu* found = Find(menu, id, &next, &at);
  if (found && index) *index = at;
  return found;
}

FileFilter BuildFileFilter(const char* extensions) {
  constexpr size_t kMaxPattern = 255, kMaxExtension = 15;
  FileFilter f;
  bool first = true;
  const char* p = extensions ? extensions : "";
  while (*p) {
    while (*p == ' ') ++p;
    const char* end = p;
    while (*end && *end != ' ') ++end;
    if (end > p) {
      const std::string ext(p, end);
      if (first && ext.size() <= kMaxExtension) f.defaultExtension = ext;
      first = false;
      const std::string entry = (f.pattern.empty() ? "*." : ";*.") + ext;
      if (f.pattern.size() + entry.size() <= kMaxPattern) f.pattern += entry;
    }
    p = end;
  }
  return f;
}

std::string ModuleFolderOf(const std::string& modulePath, char separator) {
  const size_t cut = modulePath.find_last_of(separator);
  if (cut == std::string::npos || cut + 1 == modulePath.size()) return std::string();
  return modulePath.substr(0, cut + 1);
}

std::string DriveAndFolderOf(const std::string& path) {
  const size_t cut = path.find_last_of("\\/");
  if (cut == std::string::npos) return std::string();
  return path.substr(0, cut + 1);
}

// ---- X11 -----------------------------------------------------------------------

namespace {
// Keysyms used here (X11's keysymdef.h numbering).
constexpr unsigned long kXkSpace = 0x20, kXkLeft = 0xff51, kXkUp = 0xff52, kXkRight = 0xff53,
                        kXkDown = 0xff54, kXkKpLeft = 0xff96, kXkKpUp = 0xff97, kXkKpRight = 0xff98,
                        kXkKpDown = 0xff99;
}  // namespace

int KeyCodeForKeysym(unsigned long keysym) {
  switch (keysym) {
    case kXkSpace: return KEY_SPACE;
    case kXkUp: case kXkKpUp: return KEY_UPARROW;
    case kXkDown: case kXkKpDown: return KEY_DOWNARROW;
    case kXkLeft: case kXkKpLeft: return KEY_LEFTARROW;
    case kXkRight: case kXkKpRight: return KEY_RIGHTARROW;
    default: break;
  }
  if (keysym >= '0' && keysym <= '9') return KEY_DIGIT_0 + static_cast<int>(keysym - '0');
  if (keysym >= 'A' && keysym <= 'Z') return KEY_ALPHA_A + static_cast<int>(keysym - 'A');
  if (keysym >= 'a' && keysym <= 'z') return KEY_ALPHA_A + static_cast<int>(keysym - 'a');
  return -1;
}

int WheelNotchesForButton(int button) {
  if (button == 4) return 1;
  if (button == 5) return -1;
  return 0;
}

MouseMods MouseModsFromXState(unsigned state, int pressedButton, int releasedButton) {
  auto mask = [](int button) -> unsigned {
    return button == 1 ? kXButton1Mask : button == 2 ? kXButton2Mask : button == 3 ? kXButton3Mask : 0u;
  };
  state |= mask(pressedButton);
  state &= ~mask(releasedButton);
  MouseMods m;
  m.L = (state & kXButton1Mask) != 0;
  m.R = (state & kXButton3Mask) != 0;
  m.S = (state & kXShiftMask) != 0;
  m.C = (state & kXControlMask) != 0;
  m.A = (state & kXMod1Mask) != 0;
  return m;
}

bool ClickTracker::Press(int button, uint64_t timeMs, int x, int y) {
  const bool dbl = mButton != 0 && button == mButton && timeMs >= mTime &&
                   timeMs - mTime <= static_cast<uint64_t>(this->timeMs < 0 ? 0 : this->timeMs) &&
                   std::abs(x - mX) <= distance && std::abs(y - mY) <= distance;
  if (dbl) {
    mButton = 0;  // the next press starts a new sequence
    return true;
  }
  mButton = button;
  mTime = timeMs;
  mX = x;
  mY = y;
  return false;
}

bool RedrawClock::Due(int64_t nowMs) {
  if (!mStarted || nowMs < mNext - mPeriod) {
    // The first call, or the clock went backwards: start over.
    mStarted = true;
    mNext = nowMs + mPeriod;
    return true;
  }
  if (nowMs < mNext) return false;
  // One cycle per call; a late call restarts the period from now instead of
  // owing the cycles it missed.
  mNext = nowMs - mNext >= mPeriod ? nowMs + mPeriod : mNext + mPeriod;
  return true;
}

int64_t RedrawClock::MsUntilDue(int64_t nowMs) const {
  if (!mStarted || nowMs >= mNext) return 0;
  return mNext - nowMs;
}

bool XSettingsInteger(const unsigned char* data, size_t size, const char* name, int* value) {
  if (!data || !name || size < 12) return false;
  const bool big = data[0] == 1;
  if (data[0] > 1) return false;
  auto card16 = [&](size_t at) -> uint32_t {
    return big ? (uint32_t(data[at]) << 8 | data[at + 1]) : (uint32_t(data[at + 1]) << 8 | data[at]);
  };
  auto card32 = [&](size_t at) -> uint32_t {
    return big ? (uint32_t(data[at]) << 24 | uint32_t(data[at + 1]) << 16 | uint32_t(data[at + 2]) << 8 |
                  data[at + 3])
               : (uint32_t(data[at + 3]) << 24 | uint32_t(data[at + 2]) << 16 | uint32_t(data[at + 1]) << 8 |
                  data[at]);
  };
  auto pad4 = [](size_t n) { return (n + 3) & ~static_cast<size_t>(3); };
  const uint32_t count = card32(8);
  const size_t want = std::strlen(name);
  size_t at = 12;
  for (uint32_t i = 0; i < count; ++i) {
    if (size - at < 4) return false;
    const unsigned type = data[at];
    const size_t nameLength = card16(at + 2);
    at += 4;
    if (size - at < pad4(nameLength)) return false;
    const bool match = nameLength == want && std::memcmp(data + at, name, want) == 0;
    at += pad4(nameLength);
    if (size - at < 4) return false;
    at += 4;  // serial of the last change
    switch (type) {
      case 0:  // integer
        if (size - at < 4) return false;
        if (match) {
          *value = static_cast<int>(static_cast<int32_t>(card32(at)));
          return true;
        }
        at += 4;
        break;
      case 1: {  // string
        if (size - at < 4) return false;
        const size_t length = card32(at);
        at += 4;
        if (size - at < pad4(length) || pad4(length) < length) return false;
        at += pad4(length);
        if (match) return false;
        break;
      }
      case 2:  // colour
        if (size - at < 8) return false;
        at += 8;
        if (match) return false;
        break;
      default:
        return false;
    }
  }
  return false;
}

unsigned KeysymToUnicode(unsigned long keysym) {
  if ((keysym >= 0x20 && keysym <= 0x7e) || (keysym >= 0xa0 && keysym <= 0xff)) {
    return static_cast<unsigned>(keysym);
  }
  if (keysym >= 0x01000020 && keysym <= 0x0110ffff) {
    const unsigned u = static_cast<unsigned>(keysym - 0x01000000);
    return (u >= 0xd800 && u <= 0xdfff) || (u >= 0x7f && u < 0xa0) ? 0 : u;
  }
  if (keysym >= 0xffb0 && keysym <= 0xffb9) return static_cast<unsigned>('0' + (keysym - 0xffb0));
  switch (keysym) {
    case 0xff80: return ' ';   // KP_Space
    case 0xffaa: return '*';   // KP_Multiply
    case 0xffab: return '+';   // KP_Add
    case 0xffac: return ',';   // KP_Separator
    case 0xffad: return '-';   // KP_Subtract
    case 0xffae: return '.';   // KP_Decimal
    case 0xffaf: return '/';   // KP_Divide
    case 0xffbd: return '=';   // KP_Equal
    case 0x20ac: return 0x20ac;  // EuroSign
    default: return 0;
  }
}

MenuPlace PlaceMenu(int x, int y, int w, int h, int screenW, int screenH) {
  auto place = [](int at, int size, int screen) {
    if (at + size <= screen) return at;
    if (at - size >= 0) return at - size;  // opens toward the other side
    return screen - size > 0 ? screen - size : 0;
  };
  MenuPlace p;
  p.x = place(x, w, screenW);
  p.y = place(y, h, screenH);
  if (p.x < 0) p.x = 0;
  if (p.y < 0) p.y = 0;
  return p;
}

MenuPlace PlaceSubmenu(int parentLeft, int parentRight, int itemTop, int w, int h, int screenW,
                       int screenH) {
  MenuPlace p;
  p.x = parentRight;
  if (p.x + w > screenW) p.x = parentLeft - w >= 0 ? parentLeft - w : (screenW - w > 0 ? screenW - w : 0);
  p.y = itemTop;
  if (p.y + h > screenH) p.y = screenH - h > 0 ? screenH - h : 0;
  if (p.y < 0) p.y = 0;
  return p;
}

// ---- UTF-8 and the entry box's text ---------------------------------------------------

size_t Utf8CharBytes(const std::string& text, size_t at) {
  if (at >= text.size()) return 0;
  const unsigned char c = static_cast<unsigned char>(text[at]);
  size_t n;
  unsigned min;
  if (c < 0x80) return 1;
  if (c >= 0xc2 && c <= 0xdf) {
    n = 2;
    min = 0x80;
  } else if (c >= 0xe0 && c <= 0xef) {
    n = 3;
    min = 0x800;
  } else if (c >= 0xf0 && c <= 0xf4) {
    n = 4;
    min = 0x10000;
  } else {
    return 1;
  }
  if (at + n > text.size()) return 1;
  unsigned cp = c & (0x7f >> n);
  for (size_t i = 1; i < n; ++i) {
    const unsigned char d = static_cast<unsigned char>(text[at + i]);
    if ((d & 0xc0) != 0x80) return 1;
    cp = (cp << 6) | (d & 0x3f);
  }
  if (cp < min || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) return 1;
  return n;
}

size_t Utf8Length(const std::string& text) {
  size_t n = 0;
  for (size_t at = 0; at < text.size(); at += Utf8CharBytes(text, at)) ++n;
  return n;
}

void AppendUtf8(std::string* out, unsigned cp) {
  if (cp >= 0xd800 && cp <= 0xdfff) return;
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xc0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3f)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xe0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3f)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3f)));
  } else if (cp <= 0x10ffff) {
    out->push_back(static_cast<char>(0xf0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3f)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3f)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3f)));
  }
}

namespace {
// The first bytes of text holding at most maxChars characters.
size_t BytesOfChars(const std::string& text, size_t maxChars) {
  size_t at = 0, n = 0;
  while (at < text.size() && n < maxChars) {
    at += Utf8CharBytes(text, at);
    ++n;
  }
  return at;
}
}  // namespace

size_t TextEntryModel::NextChar(size_t at) const {
  return at >= mText.size() ? mText.size() : at + Utf8CharBytes(mText, at);
}

size_t TextEntryModel::PrevChar(size_t at) const {
  // Walks from the start: sequences are short and the texts a handful of
  // characters, and only so does an invalid byte stay one character.
  size_t prev = 0;
  for (size_t i = 0; i < at && i < mText.size(); i += Utf8CharBytes(mText, i)) prev = i;
  return prev;
}

void TextEntryModel::Reset(const std::string& text, int limitChars) {
  mLimit = limitChars > 0 ? limitChars : 0;
  mText = mLimit > 0 ? text.substr(0, BytesOfChars(text, static_cast<size_t>(mLimit))) : text;
  mAnchor = 0;
  mCaret = mText.size();
}

void TextEntryModel::Insert(const std::string& utf8) {
  std::string typed;
  for (size_t at = 0; at < utf8.size();) {
    const size_t n = Utf8CharBytes(utf8, at);
    const unsigned char c = static_cast<unsigned char>(utf8[at]);
    if (n > 1 || (c >= 0x20 && c != 0x7f)) typed.append(utf8, at, n);
    at += n;
  }
  const size_t start = SelectionStart(), end = SelectionEnd();
  std::string rest = mText.substr(0, start) + mText.substr(end);
  if (mLimit > 0) {
    const size_t have = Utf8Length(rest);
    const size_t room = have >= static_cast<size_t>(mLimit) ? 0 : static_cast<size_t>(mLimit) - have;
    typed = typed.substr(0, BytesOfChars(typed, room));
  }
  mText = rest.substr(0, start) + typed + rest.substr(start);
  mCaret = mAnchor = start + typed.size();
}

void TextEntryModel::Backspace() {
  if (HasSelection()) {
    Insert(std::string());
    return;
  }
  if (mCaret == 0) return;
  const size_t from = PrevChar(mCaret);
  mText.erase(from, mCaret - from);
  mCaret = mAnchor = from;
}

void TextEntryModel::Delete() {
  if (HasSelection()) {
    Insert(std::string());
    return;
  }
  if (mCaret >= mText.size()) return;
  mText.erase(mCaret, NextChar(mCaret) - mCaret);
  mAnchor = mCaret;
}

void TextEntryModel::SetCaret(size_t offset, bool select) {
  if (offset > mText.size()) offset = mText.size();
  // Back to the start of the character that holds the offset.
  size_t start = 0;
  for (size_t i = 0; i < mText.size() && i <= offset; i += Utf8CharBytes(mText, i)) start = i;
  if (offset == mText.size()) start = offset;
  mCaret = start;
  if (!select) mAnchor = mCaret;
}

void TextEntryModel::Home(bool select) { SetCaret(0, select); }
void TextEntryModel::End(bool select) { SetCaret(mText.size(), select); }

void TextEntryModel::Left(bool select) {
  if (HasSelection() && !select) {
    mCaret = mAnchor = SelectionStart();
    return;
  }
  mCaret = PrevChar(mCaret);
  if (!select) mAnchor = mCaret;
}

void TextEntryModel::Right(bool select) {
  if (HasSelection() && !select) {
    mCaret = mAnchor = SelectionEnd();
    return;
  }
  mCaret = NextChar(mCaret);
  if (!select) mAnchor = mCaret;
}

void TextEntryModel::SelectAll() {
  mAnchor = 0;
  mCaret = mText.size();
}

std::string TextEntryModel::CommitText(int maxChars) const {
  if (maxChars <= 0) return std::string();
  return mText.substr(0, BytesOfChars(mText, static_cast<size_t>(maxChars)));
}

}  // namespace windowlogic
