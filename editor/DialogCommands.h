#pragma once
#include <string>
#include <vector>

#include "IGraphics.h"

// The command lines of the desktop's dialog programs (zenity, kdialog) that
// ask the user for the X11 window layer, and the reading of their answers.
// Plain strings only: the programs are started without a shell, one
// argument per element, so nothing in a text or a path is ever interpreted
// by one.
namespace dialogcmd {

enum class Tool { kNone, kZenity, kKdialog };

// The program to use: kdialog on a KDE desktop (desktop: the value of
// XDG_CURRENT_DESKTOP, a colon-separated list), else zenity, else kdialog.
Tool ChooseTool(bool haveZenity, bool haveKdialog, const char* desktop);

// attachTo: the X window the dialog is transient for (0: none). Every
// command starts with the program path.
std::vector<std::string> MessageBoxArgs(Tool tool, const std::string& program, const char* text,
                                        const char* caption, int type, unsigned long attachTo);
// The MessageBoxResult for how the program ended (exitCode -1: unknown).
// A Yes/No box answers Yes only for exit code 0; a plain box answers OK
// however it was closed, as a system message box does.
int MessageBoxAnswer(int type, int exitCode);

// action: kFileOpen or kFileSave. startPath: the folder (ending in a
// separator) and the suggested name.
std::vector<std::string> FileDialogArgs(Tool tool, const std::string& program, int action,
                                        const std::string& startPath, const std::string& pattern,
                                        unsigned long attachTo);
// The chosen path from the program's output (its first line), "" when the
// dialog was cancelled (exit code not 0, or no path).
std::string FileDialogAnswer(const std::string& output, int exitCode);
// A saved name without an extension gets the default one, as the system
// dialog adds it; true when it was added.
bool AddDefaultExtension(std::string* path, const std::string& defaultExtension);

std::vector<std::string> ColorDialogArgs(Tool tool, const std::string& program, const Color& start,
                                         const char* prompt, unsigned long attachTo);
// Reads "rgb(r,g,b)", "rgba(r,g,b,a)" (zenity) or "#rrggbb" (kdialog);
// false for anything else. Alpha is left as it was.
bool ColorDialogAnswer(const std::string& output, int exitCode, Color* color);

}  // namespace dialogcmd
