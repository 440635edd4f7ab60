#pragma once
#include <string>

class IGraphics;
class Quarvi;

// The commands of the editor's utility menu, by their number in the menu.
// 3, 8, 12, 14, 17 and 18 are separators and submenu entries; 22 (visit the
// web site) is opened by the menu itself.
enum UtilityCommand {
  kCmdCopyProgram = 0,
  kCmdPasteProgram = 1,
  kCmdInitProgram = 2,
  kCmdLoadProgram = 4,
  kCmdSaveProgram = 5,
  kCmdLoadBank = 6,
  kCmdSaveBank = 7,
  kCmdSelectStartupBank = 9,
  kCmdLoadStartupBank = 10,
  kCmdUnselectStartupBank = 11,
  kCmdDefaultProgramPath = 13,
  kCmdReloadConfiguration = 15,
  kCmdSaveConfiguration = 16,
  kCmdMidiThru = 19,
  kCmdIgnoreProgramChange = 20,
  kCmdCheckForUpdate = 21,
  kCmdVisitWebSite = 22,
};

// Runs one utility command for an instance, asking its questions and showing
// its messages through the editor. Runs on the editor's thread; takes the
// instance lock where it changes programs.
void RunUtilityCommand(Quarvi* plug, IGraphics* editor, int command);

// The file name a program save suggests: the name (at most 255 bytes, never
// cutting a character in two) with each of < > : " / \ | ? * replaced by "_".
std::string SuggestedProgramFileName(const char* programName);

// The folder of a chosen file: everything before its last slash or
// backslash; empty without either.
std::string FolderOfChosenFile(const std::string& path);

// At most maxBytes bytes of UTF-8 text, cut before a character that would
// not fit whole.
std::string TruncateUtf8(const std::string& text, size_t maxBytes);

// The folders the program and bank dialogs start in, shared by every
// instance in the process; made by the first command of any instance.
// Test support: forgets them, so that the next command starts afresh.
void ResetCommandFolders();
std::string LastProgramFolder();
std::string LastStartupBankFolder();
