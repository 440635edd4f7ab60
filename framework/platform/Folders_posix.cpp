#include "platform/Folders.h"

#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <vector>

namespace {

std::string StripTrailingSeparators(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string HomeFolder() {
  const char* home = getenv("HOME");
  if (home && *home) return StripTrailingSeparators(home);
  // No HOME in the environment (a host started by a service manager): ask the
  // password database.
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
  struct passwd pw;
  struct passwd* found = nullptr;
  if (getpwuid_r(getuid(), &pw, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_dir && *found->pw_dir) {
    return StripTrailingSeparators(found->pw_dir);
  }
  return std::string();
}

// The value of a folder key (XDG_DOCUMENTS_DIR, XDG_DESKTOP_DIR) in a
// user-dirs.dirs text, resolved against home; empty when the text does not
// set it in one of the two accepted forms ("$HOME/..." or an absolute path).
// The file is written as shell assignments, so a later assignment overrides
// an earlier one.
std::string FolderFromUserDirs(const std::string& text, const std::string& home, const std::string& key) {
  const std::string kName = key;
  std::string result;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos || line[i] == '#') continue;
    if (line.compare(i, kName.size(), kName) != 0) continue;
    i += kName.size();
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size() || line[i] != '=') continue;
    ++i;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size() || line[i] != '"') continue;
    ++i;
    std::string value;
    bool closed = false;
    for (; i < line.size(); ++i) {
      char c = line[i];
      if (c == '\\' && i + 1 < line.size()) {
        value += line[++i];
      } else if (c == '"') {
        closed = true;
        break;
      } else {
        value += c;
      }
    }
    if (!closed) continue;
    static const char kHome[] = "$HOME";
    if (value.compare(0, sizeof(kHome) - 1, kHome) == 0) {
      std::string rest = value.substr(sizeof(kHome) - 1);
      if (!rest.empty() && rest[0] != '/') continue;
      if (home.empty()) continue;
      result = StripTrailingSeparators(home + rest);
    } else if (!value.empty() && value[0] == '/') {
      result = StripTrailingSeparators(value);
    }
  }
  return result;
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::string UserSettingsBaseFolder() {
  // Relative values are invalid by the XDG rules and are ignored.
  const char* xdg = getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') return StripTrailingSeparators(xdg);
  std::string home = HomeFolder();
  if (home.empty()) return std::string();
  return JoinPath(home, ".config");
}

std::string UserDocumentsFolder() {
  std::string home = HomeFolder();
  std::string base = UserSettingsBaseFolder();
  if (!base.empty()) {
    std::string text;
    if (ReadWholeFile(JoinPath(base, "user-dirs.dirs"), &text)) {
      std::string documents = FolderFromUserDirs(text, home, "XDG_DOCUMENTS_DIR");
      // A configured folder that was never created would leave every file
      // dialog without a starting point.
      if (!documents.empty() && IsFolder(documents)) return documents;
    }
  }
  return home;
}

std::string UserDesktopFolder() {
  std::string home = HomeFolder();
  std::string base = UserSettingsBaseFolder();
  if (!base.empty()) {
    std::string text;
    if (ReadWholeFile(JoinPath(base, "user-dirs.dirs"), &text)) {
      std::string desktop = FolderFromUserDirs(text, home, "XDG_DESKTOP_DIR");
      if (!desktop.empty() && IsFolder(desktop)) return desktop;
    }
  }
  if (!home.empty() && IsFolder(JoinPath(home, "Desktop"))) return JoinPath(home, "Desktop");
  return home;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string FolderOfPath(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return std::string();
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool PathExists(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0;
}

bool CreateFolder(const std::string& path) {
  if (path.empty()) return false;
  // Parents first; they are private to the user as the XDG rules ask for
  // base folders created on the user's behalf.
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    std::string parent = path.substr(0, slash);
    if (!IsFolder(parent)) mkdir(parent.c_str(), 0700);
  }
  return mkdir(path.c_str(), 0777) == 0;
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  std::string result;
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), f)) > 0) result.append(buffer, n);
  bool ok = !ferror(f);
  fclose(f);
  if (ok) bytes->swap(result);
  return ok;
}

bool ReplaceFileAtomically(const std::string& path, const std::string& bytes) {
  if (path.empty()) return false;
  // Replace the file a symbolic link points to, not the link itself.
  std::string target = path;
  struct stat lst;
  if (lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
    char* real = realpath(path.c_str(), nullptr);
    if (real) {
      target = real;
      free(real);
    }
  }

  static std::atomic<unsigned> counter{0};
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    char suffix[64];
    snprintf(suffix, sizeof(suffix), ".tmp-%ld-%u", static_cast<long>(getpid()),
             counter.fetch_add(1, std::memory_order_relaxed));
    temp = target + suffix;
    fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;

  bool ok = WriteAll(fd, bytes);
  struct stat st;
  if (ok && stat(target.c_str(), &st) == 0) fchmod(fd, st.st_mode & 07777);
  if (ok) ok = fsync(fd) == 0;
  if (close(fd) != 0) ok = false;
  if (ok) ok = rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    unlink(temp.c_str());
    return false;
  }
  // Make the rename itself durable.
  std::string folder = FolderOfPath(target);
  int dir = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return true;
}
