#include "DialogCommands.h"

#include <cstdio>
#include <cstring>

namespace dialogcmd {

Tool ChooseTool(bool haveZenity, bool haveKdialog, const char* desktop) {
  bool kde = false;
  const std::string d = desktop ? desktop : "";
  size_t start = 0;
  while (start <= d.size()) {
    size_t end = d.find(':', start);
    if (end == std::string::npos) end = d.size();
    if (d.compare(start, end - start, "KDE") == 0) kde = true;
    start = end + 1;
  }
  if (kde && haveKdialog) return Tool::kKdialog;
  if (haveZenity) return Tool::kZenity;
  if (haveKdialog) return Tool::kKdialog;
  return Tool::kNone;
}

namespace {

bool IsYesNo(int type) { return (type & 0xF) == MB_TYPE_YESNO; }

// The icon bits of a message box type.
int Icon(int type) { return type & 0xF0; }

void AddAttach(Tool tool, unsigned long attachTo, std::vector<std::string>* args) {
  if (!attachTo) return;
  if (tool == Tool::kZenity) {
    args->push_back("--modal");
    args->push_back("--attach=" + std::to_string(attachTo));
  } else {
    args->push_back("--attach");
    args->push_back(std::to_string(attachTo));
  }
}

}  // namespace

std::vector<std::string> MessageBoxArgs(Tool tool, const std::string& program, const char* text,
                                        const char* caption, int type, unsigned long attachTo) {
  std::vector<std::string> args{program};
  const std::string body = text ? text : "";
  const bool titled = caption && *caption;
  if (tool == Tool::kZenity) {
    if (IsYesNo(type)) args.push_back("--question");
    else if (Icon(type) == MB_ICON_ERROR) args.push_back("--error");
    else if (Icon(type) == MB_ICON_WARNING) args.push_back("--warning");
    else args.push_back("--info");
    if (titled) args.push_back(std::string("--title=") + caption);
    // Plain text: no Pango markup, so "<", "&" and the rest show as typed.
    args.push_back("--no-markup");
    args.push_back("--text=" + body);
    AddAttach(tool, attachTo, &args);
  } else if (tool == Tool::kKdialog) {
    if (titled) {
      args.push_back("--title");
      args.push_back(caption);
    }
    AddAttach(tool, attachTo, &args);
    if (IsYesNo(type)) args.push_back("--yesno");
    else if (Icon(type) == MB_ICON_ERROR) args.push_back("--error");
    else if (Icon(type) == MB_ICON_WARNING) args.push_back("--sorry");
    else args.push_back("--msgbox");
    args.push_back(body);
  }
  return args;
}

int MessageBoxAnswer(int type, int exitCode) {
  if (!IsYesNo(type)) return MB_RESULT_OK;
  return exitCode == 0 ? MB_RESULT_YES : MB_RESULT_NO;
}

std::vector<std::string> FileDialogArgs(Tool tool, const std::string& program, int action,
                                        const std::string& startPath, const std::string& pattern,
                                        unsigned long attachTo) {
  const bool save = action == kFileSave;
  std::vector<std::string> args{program};
  if (tool == Tool::kZenity) {
    args.push_back("--file-selection");
    args.push_back(save ? "--title=Save As" : "--title=Open");
    if (save) {
      args.push_back("--save");
      args.push_back("--confirm-overwrite");
    }
    if (!startPath.empty()) args.push_back("--filename=" + startPath);
    if (!pattern.empty()) {
      // "NAME | PATTERN PATTERN": the description is the pattern itself, as
      // in the Windows dialog.
      std::string patterns = pattern;
      for (char& c : patterns) c = c == ';' ? ' ' : c;
      args.push_back("--file-filter=" + pattern + " | " + patterns);
    }
    AddAttach(tool, attachTo, &args);
  } else if (tool == Tool::kKdialog) {
    args.push_back("--title");
    args.push_back(save ? "Save As" : "Open");
    AddAttach(tool, attachTo, &args);
    args.push_back(save ? "--getsavefilename" : "--getopenfilename");
    args.push_back(startPath.empty() ? "." : startPath);
    if (!pattern.empty()) {
      std::string patterns = pattern;
      for (char& c : patterns) c = c == ';' ? ' ' : c;
      args.push_back(patterns + "|" + pattern);
    }
  }
  return args;
}

std::string FileDialogAnswer(const std::string& output, int exitCode) {
  if (exitCode != 0) return std::string();
  std::string path = output.substr(0, output.find('\n'));
  if (!path.empty() && path.back() == '\r') path.pop_back();
  return path;
}

bool AddDefaultExtension(std::string* path, const std::string& defaultExtension) {
  if (!path || path->empty() || defaultExtension.empty()) return false;
  const size_t slash = path->find_last_of('/');
  const std::string name = slash == std::string::npos ? *path : path->substr(slash + 1);
  if (name.empty() || name.find('.') != std::string::npos) return false;
  *path += "." + defaultExtension;
  return true;
}

std::vector<std::string> ColorDialogArgs(Tool tool, const std::string& program, const Color& start,
                                         const char* prompt, unsigned long attachTo) {
  std::vector<std::string> args{program};
  char rgb[32];
  if (tool == Tool::kZenity) {
    std::snprintf(rgb, sizeof(rgb), "rgb(%d,%d,%d)", start.R & 0xFF, start.G & 0xFF, start.B & 0xFF);
    args.push_back("--color-selection");
    args.push_back(std::string("--color=") + rgb);
    if (prompt && *prompt) args.push_back(std::string("--title=") + prompt);
    AddAttach(tool, attachTo, &args);
  } else if (tool == Tool::kKdialog) {
    std::snprintf(rgb, sizeof(rgb), "#%02x%02x%02x", start.R & 0xFF, start.G & 0xFF, start.B & 0xFF);
    if (prompt && *prompt) {
      args.push_back("--title");
      args.push_back(prompt);
    }
    AddAttach(tool, attachTo, &args);
    args.push_back("--getcolor");
    args.push_back("--default");
    args.push_back(rgb);
  }
  return args;
}

bool ColorDialogAnswer(const std::string& output, int exitCode, Color* color) {
  if (exitCode != 0 || !color) return false;
  const std::string line = output.substr(0, output.find('\n'));
  int r = 0, g = 0, b = 0, used = 0;
  if (line.size() == 7 && line[0] == '#' && std::sscanf(line.c_str(), "#%2x%2x%2x%n", &r, &g, &b, &used) == 3 &&
      used == 7) {
    // kdialog
  } else if (std::sscanf(line.c_str(), "rgb(%d,%d,%d)%n", &r, &g, &b, &used) == 3 &&
             used == static_cast<int>(line.size())) {
    // zenity, opaque
  } else {
    double a = 0;
    used = 0;
    if (std::sscanf(line.c_str(), "rgba(%d,%d,%d,%lf)%n", &r, &g, &b, &a, &used) != 4 ||
        used != static_cast<int>(line.size())) {
      return false;
    }
  }
  if (r < 0 || r > 255 || g < 0 || g > 255 || b < 0 || b > 255) return false;
  color->R = r;
  color->G = g;
  color->B = b;
  return true;
}

}  // namespace dialogcmd
