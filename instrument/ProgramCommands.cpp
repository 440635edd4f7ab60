#include "ProgramCommands.h"

#include <mutex>

#include "IGraphics.h"
#include "ParamTable.h"
#include "Quarvi.h"
#include "UpdateCheck.h"

namespace {

constexpr size_t kMessageBytes = 1023;   // texts that embed a path
constexpr size_t kFileNameBytes = 255;   // a suggested file name

constexpr const char* kCannotLoad = "Cannot load file!";
constexpr const char* kCannotSave = "Cannot save file!";
constexpr const char* kErrorCaption = "Error";

// ---- the process-wide dialog folders ---------------------------------------

struct CommandFolders {
  std::mutex lock;
  bool made = false;
  std::string program;      // program and bank dialogs
  std::string startupBank;  // "Select Startup Bank"
};

CommandFolders& Folders() {
  static CommandFolders folders;
  return folders;
}

// The first command of any instance makes them from that instance's
// settings; later instances share what the first one started with.
void MakeFolders(const Config& config) {
  CommandFolders& f = Folders();
  std::lock_guard<std::mutex> g(f.lock);
  if (f.made) return;
  f.made = true;
  f.program = config.programFolder;
  f.startupBank = config.documentsFolder;
}

std::string ProgramFolder() {
  std::lock_guard<std::mutex> g(Folders().lock);
  return Folders().program;
}
void SetProgramFolder(const std::string& folder) {
  std::lock_guard<std::mutex> g(Folders().lock);
  Folders().program = folder;
}
std::string StartupBankFolder() {
  std::lock_guard<std::mutex> g(Folders().lock);
  return Folders().startupBank;
}
void SetStartupBankFolder(const std::string& folder) {
  std::lock_guard<std::mutex> g(Folders().lock);
  Folders().startupBank = folder;
}

// ---- questions and messages --------------------------------------------------

bool Ask(IGraphics* editor, const std::string& text, const char* caption) {
  return editor->ShowMessageBox(TruncateUtf8(text, kMessageBytes).c_str(), caption,
                                MB_TYPE_YESNO | MB_ICON_QUESTION) == MB_RESULT_YES;
}

void ShowError(IGraphics* editor, const char* text) {
  editor->ShowMessageBox(text, kErrorCaption, MB_TYPE_OK | MB_ICON_ERROR);
}

// The file dialog: the chosen full path, or "" when cancelled. The start
// folder becomes the chosen file's folder.
std::string ChooseFile(IGraphics* editor, int action, const std::string& suggestion,
                       std::string* folder, const char* extension) {
  std::string name = suggestion;
  std::string start = *folder;
  editor->AskForFile(&name, action, &start, extension);
  if (!name.empty()) *folder = FolderOfChosenFile(name);
  return name;
}

// ---- commands -----------------------------------------------------------------

// After a paste or an init: the editor shows the new values and the program
// name, the host learns every value.
void AfterProgramRewrite(Quarvi* q) {
  q->RefreshParamControls();
  q->ReportAllParamsToHost();
}

void CopyProgram(Quarvi* q) {
  std::lock_guard<std::recursive_mutex> g(q->Mutex());
  q->CopyCurrentProgram();
}

void PasteProgram(Quarvi* q, IGraphics* editor) {
  if (!Ask(editor, "Do you really want to overwrite the current program?", "Paste Program")) return;
  std::lock_guard<std::recursive_mutex> g(q->Mutex());
  if (!q->PasteProgram()) return;
  AfterProgramRewrite(q);
}

void InitProgram(Quarvi* q, IGraphics* editor) {
  if (!Ask(editor, "Do you really want to initialize the current program?", "Initialize Program")) return;
  std::lock_guard<std::recursive_mutex> g(q->Mutex());
  for (int i = 0; i < q->NParams(); ++i) {
    IPlugParam* p = q->GetParam(i);
    const double normalized = p->ToNormalized(p->defaultValue);
    p->SetFromNormalized(normalized);
    q->NotifyHostParamChanged(i, p->ToNormalized());
    q->ParamChanged(i);
  }
  q->ModifyCurrentPreset("Init");
  AfterProgramRewrite(q);
}

void LoadOrSave(Quarvi* q, IGraphics* editor, int command) {
  const bool save = command == kCmdSaveProgram || command == kCmdSaveBank;
  const bool bank = command == kCmdLoadBank || command == kCmdSaveBank;
  std::string suggestion;
  if (command == kCmdSaveProgram) {
    std::lock_guard<std::recursive_mutex> g(q->Mutex());
    suggestion = SuggestedProgramFileName(q->GetPresetName(q->GetCurrentPresetIdx()));
  } else if (command == kCmdSaveBank) {
    suggestion = "Quarvi";
  }
  std::string folder = ProgramFolder();
  const std::string path =
      ChooseFile(editor, save ? kFileSave : kFileOpen, suggestion, &folder, bank ? "fxb" : "fxp");
  if (path.empty()) return;
  SetProgramFolder(folder);
  bool ok;
  if (save) {
    // The file holds what the user hears: the current program is stored
    // first (its name stays).
    q->ModifyCurrentPreset();
    ok = bank ? q->SaveBankAsFXB(path) : q->SaveProgramAsFXP(path);
  } else {
    ok = bank ? q->LoadBankFromFXB(path) : q->LoadProgramFromFXP(path);
  }
  if (!ok) ShowError(editor, save ? kCannotSave : kCannotLoad);
}

void SelectStartupBank(Quarvi* q, IGraphics* editor) {
  std::string folder = StartupBankFolder();
  const std::string path = ChooseFile(editor, kFileOpen, std::string(), &folder, "fxb");
  if (path.empty()) return;
  q->Settings().SetStartupBank(path);
  SetStartupBankFolder(folder);
}

void LoadStartupBank(Quarvi* q, IGraphics* editor) {
  const std::string path = q->Settings().startupBankPath;
  if (path.empty()) return;
  if (!Ask(editor, "The Startup Bank is:\n" + path + "\n\nDo you really want to reload all programs?",
           "Load Startup Bank")) {
    return;
  }
  if (!q->LoadBankFromFXB(path)) ShowError(editor, kCannotLoad);
}

void UnselectStartupBank(Quarvi* q, IGraphics* editor) {
  const std::string path = q->Settings().startupBankPath;
  if (path.empty()) return;
  if (!Ask(editor, "The Startup Bank is:\n" + path + "\n\nDo you really want to unselect it?",
           "Unselect Startup Bank")) {
    return;
  }
  q->Settings().ClearStartupBank();
}

void DefaultProgramPath(Quarvi* q, IGraphics* editor) {
  std::string folder = ProgramFolder();
  if (folder.empty()) folder = q->Settings().documentsFolder;
  // " " as the extension: no filter applies, any folder can be picked.
  const std::string path = ChooseFile(editor, kFileSave, "[file name is ignored]", &folder, " ");
  if (path.empty()) return;
  SetProgramFolder(folder);
  q->Settings().WriteProgramFolder(folder);
}

void ReloadConfiguration(Quarvi* q, IGraphics* editor) {
  const std::string text = "The INI configuration file is:\n" + q->Settings().configPath +
                           "\n\nDo you really want to reload it?";
  if (!Ask(editor, text, "Reload Configuration")) return;
  int result;
  {
    // The engine reads the controller map and the switches under the lock.
    std::lock_guard<std::recursive_mutex> g(q->Mutex());
    result = q->Settings().Read();
  }
  if (result == Config::kFileMissing) {
    editor->ShowMessageBox("The INI file does not exist.", "Problem with INI File",
                           MB_TYPE_OK | MB_ICON_ERROR);
  }
}

void SaveConfiguration(Quarvi* q, IGraphics* editor) {
  const std::string text = "The INI configuration file is:\n" + q->Settings().configPath +
                           "\n\nDo you really want to overwrite it?";
  if (!Ask(editor, text, "Save Configuration")) return;
  // Copied under the lock, written outside it.
  q->WriteMidiSettings(MidiSettings::All);
}

}  // namespace

// ---- the program clipboard ------------------------------------------------------

void Quarvi::CopyCurrentProgram() {
  std::lock_guard<std::recursive_mutex> g(mLock);
  mCopySource = GetCurrentPresetIdx();
  mCopyBuffer.Clear();
  SerializeParams(&mCopyBuffer);
}

bool Quarvi::PasteProgram() {
  std::lock_guard<std::recursive_mutex> g(mLock);
  if (mCopyBuffer.Size() == 0) return false;
  UnserializeParams(mCopyBuffer, 0);
  // The name the source program has now, not when it was copied: a copy
  // holds values, and the program it came from may have been renamed since.
  const std::string name = GetPresetName(mCopySource);
  ModifyCurrentPreset(name.empty() ? nullptr : name.c_str());
  return true;
}

void Quarvi::DoUtilityCommand(int command, IGraphics* editor) { RunUtilityCommand(this, editor, command); }

std::string TruncateUtf8(const std::string& text, size_t maxBytes) {
  return text.substr(0, Utf8PrefixLength(text.data(), text.size(), maxBytes));
}

std::string SuggestedProgramFileName(const char* programName) {
  std::string name = TruncateUtf8(programName ? programName : "", kFileNameBytes);
  for (char& c : name) {
    switch (c) {
      case '<': case '>': case ':': case '"': case '/': case '\\': case '|': case '?': case '*':
        c = '_';
        break;
      default:
        break;
    }
  }
  return name;
}

std::string FolderOfChosenFile(const std::string& path) {
  const size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

void ResetCommandFolders() {
  std::lock_guard<std::mutex> g(Folders().lock);
  Folders().made = false;
  Folders().program.clear();
  Folders().startupBank.clear();
}

std::string LastProgramFolder() { return ProgramFolder(); }
std::string LastStartupBankFolder() { return StartupBankFolder(); }

void RunUtilityCommand(Quarvi* q, IGraphics* editor, int command) {
  if (!q || !editor) return;
  MakeFolders(q->Settings());
  switch (command) {
    case kCmdCopyProgram: CopyProgram(q); break;
    case kCmdPasteProgram: PasteProgram(q, editor); break;
    case kCmdInitProgram: InitProgram(q, editor); break;
    case kCmdLoadProgram:
    case kCmdSaveProgram:
    case kCmdLoadBank:
    case kCmdSaveBank: LoadOrSave(q, editor, command); break;
    case kCmdSelectStartupBank: SelectStartupBank(q, editor); break;
    case kCmdLoadStartupBank: LoadStartupBank(q, editor); break;
    case kCmdUnselectStartupBank: UnselectStartupBank(q, editor); break;
    case kCmdDefaultProgramPath: DefaultProgramPath(q, editor); break;
    case kCmdReloadConfiguration: ReloadConfiguration(q, editor); break;
    case kCmdSaveConfiguration: SaveConfiguration(q, editor); break;
    case kCmdMidiThru: q->ToggleMidiThru(); break;
    case kCmdIgnoreProgramChange: q->ToggleIgnoreProgramChange(); break;
    case kCmdCheckForUpdate: CheckForUpdate(editor); break;  // the boxes said it all
    default: break;  // separators, submenu entries, unknown numbers
  }
}
