#include "WindowLogic.h"

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

std::string ModuleFolderOf(const std::string& modulePath) {
  const size_t cut = modulePath.find_last_of('\\');
  if (cut == std::string::npos || cut + 1 == modulePath.size()) return std::string();
  return modulePath.substr(0, cut + 1);
}

std::string DriveAndFolderOf(const std::string& path) {
  const size_t cut = path.find_last_of("\\/");
  if (cut == std::string::npos) return std::string();
  return path.substr(0, cut + 1);
}

}  // namespace windowlogic
