#include "platform/Folders.h"
#include "platform/WideText_win32.h"

#include <windows.h>
#include <shlobj.h>
#include <stdio.h>

#include <vector>

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::string ShellFolder(int csidl) {
  wchar_t buffer[MAX_PATH + 1] = {0};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, 0 /* current path */, buffer))) {
    return std::string();
  }
  std::string path = NarrowToUtf8(buffer);
  while (path.size() > 3 && IsSeparator(path.back())) path.pop_back();
  return path;
}

}  // namespace

std::string UserSettingsBaseFolder() { return ShellFolder(CSIDL_LOCAL_APPDATA); }

std::string UserDocumentsFolder() { return ShellFolder(CSIDL_PERSONAL); }

std::string UserDesktopFolder() { return ShellFolder(CSIDL_DESKTOPDIRECTORY); }

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (IsSeparator(folder.back())) return folder + name;
  return folder + "\\" + name;
}

std::string FolderOfPath(const std::string& path) {
  size_t sep = path.find_last_of("\\/");
  if (sep == std::string::npos) return std::string();
  return path.substr(0, sep);
}

bool PathExists(const std::string& path) {
  std::wstring w = WidenUtf8OrAnsi(path);
  return !w.empty() && GetFileAttributesW(w.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CreateFolder(const std::string& path) {
  std::wstring w = WidenUtf8OrAnsi(path);
  return !w.empty() && CreateDirectoryW(w.c_str(), nullptr) != 0;
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  std::wstring w = WidenUtf8OrAnsi(path);
  if (w.empty()) return false;
  FILE* f = _wfopen(w.c_str(), L"rb");
  if (!f) return false;
  std::string result;
  std::vector<char> buffer(65536);
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), f)) > 0) result.append(buffer.data(), n);
  bool ok = !ferror(f);
  fclose(f);
  if (ok) bytes->swap(result);
  return ok;
}

bool ReplaceFileAtomically(const std::string& path, const std::string& bytes) {
  std::wstring target = WidenUtf8OrAnsi(path);
  if (target.empty()) return false;
  std::wstring folder = WidenUtf8OrAnsi(FolderOfPath(path));
  if (folder.empty()) folder = L".";
  wchar_t temp[MAX_PATH + 1] = {0};
  if (GetTempFileNameW(folder.c_str(), L"qrv", 0, temp) == 0) return false;
  HANDLE h = CreateFileW(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DeleteFileW(temp);
    return false;
  }
  bool ok = true;
  size_t done = 0;
  while (ok && done < bytes.size()) {
    size_t left = bytes.size() - done;
    DWORD chunk = static_cast<DWORD>(left > 0x40000000 ? 0x40000000 : left);
    DWORD written = 0;
    ok = WriteFile(h, bytes.data() + done, chunk, &written, nullptr) != 0 && written > 0;
    done += written;
  }
  if (ok) ok = FlushFileBuffers(h) != 0;
  if (!CloseHandle(h)) ok = false;
  if (ok) {
    ok = MoveFileExW(temp, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  }
  if (!ok) DeleteFileW(temp);
  return ok;
}
