#include "Config.h"

#include <climits>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/Folders.h"
#include "platform/Module.h"
#include "platform/Profile.h"

namespace {

const char kSettingsFolderName[] = "KestrelSoundMusic";
const char kFileName[] = "quarvi.ini";

const char kStartupSection[] = "Startup Bank";
const char kStartupKey[] = "File";
const char kGlobalSection[] = "Global";
const char kProgramFolderKey[] = "Path to Program Files";
const char kMidiGlobalSection[] = "MIDI Global";
const char kMidiThruKey[] = "MIDI Thru";
const char kIgnoreProgramChangeKey[] = "Ignore Program Change";
const char kMidiControlSection[] = "MIDI Control";

// The settings text is ASCII; the process locale must not decide whether
// "TRUE" is "true" (it would not in a Turkish locale).
bool EqualsIgnoringAsciiCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    char x = *a, y = *b;
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
    if (!x) return true;
  }
}

std::string ControllerKey(int controller) { return "CC" + SettingsIntToText(controller); }

const char* BoolText(bool b) { return b ? "true" : "false"; }

std::mutex& OverrideMutex() {
  static std::mutex m;
  return m;
}
bool gOverridden = false;
ConfigLocations& OverrideLocations() {
  static ConfigLocations locations;
  return locations;
}

}  // namespace

std::string SettingsIntToText(int value) {
  char buffer[16];
  char* end = buffer + sizeof(buffer);
  char* p = end;
  // Work in the negative range so that INT_MIN needs no special case.
  bool negative = value < 0;
  int v = negative ? value : -value;
  do {
    *--p = static_cast<char>('0' - v % 10);
    v /= 10;
  } while (v != 0);
  if (negative) *--p = '-';
  return std::string(p, end);
}

int SettingsTextToInt(const char* text) {
  if (!text) return 0;
  const char* p = text;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' || *p == '\r') ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  long long v = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    if (v <= static_cast<long long>(INT_MAX) + 1) v = v * 10 + (*p - '0');
  }
  if (negative) v = -v;
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

// ---- construction -----------------------------------------------------------

ConfigLocations UserConfigLocations() {
  ConfigLocations l;
  std::string base = UserSettingsBaseFolder();
  if (!base.empty()) l.settingsFolder = JoinPath(base, kSettingsFolderName);
  l.documentsFolder = UserDocumentsFolder();
  l.pluginFolder = ModuleFolder();
  return l;
}

void OverrideConfigLocations(const ConfigLocations* locations) {
  std::lock_guard<std::mutex> lock(OverrideMutex());
  gOverridden = locations != nullptr;
  OverrideLocations() = locations ? *locations : ConfigLocations();
}

void ReadSettingsAtStartup(Config* config) {
  ConfigLocations locations;
  bool overridden;
  {
    std::lock_guard<std::mutex> lock(OverrideMutex());
    overridden = gOverridden;
    if (overridden) locations = OverrideLocations();
  }
  config->Initialize(overridden ? locations : UserConfigLocations());
}

void Config::Initialize(const ConfigLocations& locations) {
  // The process locale is deliberately left alone: it belongs to the host,
  // and none of the settings text depends on it.
  pluginFolder = locations.pluginFolder;
  configPath.clear();
  if (!locations.settingsFolder.empty()) {
    if (!PathExists(locations.settingsFolder)) CreateFolder(locations.settingsFolder);
    configPath = JoinPath(locations.settingsFolder, kFileName);
  }
  documentsFolder = locations.documentsFolder;
  programFolder = locations.documentsFolder;
  if (configPath.empty()) return;

  if (PathExists(configPath)) {
    Read();
    return;
  }

  // First start: the file is created, as a copy of the template that may ship
  // next to the plug-in. The copy is written in one piece so that an
  // interrupted first start cannot leave half a template behind.
  std::string templatePath = pluginFolder.empty() ? std::string() : JoinPath(pluginFolder, kFileName);
  bool hasTemplate = !templatePath.empty() && PathExists(templatePath);
  std::string bytes;
  if (hasTemplate && !ReadWholeFile(templatePath, &bytes)) bytes.clear();  // unreadable: stays empty
  if (!ReplaceFileAtomically(configPath, bytes)) return;  // cannot be created: initial values stay
  if (hasTemplate) Read();
}

// ---- reading ----------------------------------------------------------------

int Config::Read() {
  if (configPath.empty() || !PathExists(configPath)) return kFileMissing;
  char path[kPathCapacity];
  startupBankPath.clear();
  ReadProfileValue(configPath, kStartupSection, kStartupKey, "", path, kPathCapacity);
  if (path[0]) startupBankPath = path;

  ReadProfileValue(configPath, kGlobalSection, kProgramFolderKey, "", path, kPathCapacity);
  if (path[0]) programFolder = path;

  char value[kValueCapacity];
  ReadProfileValue(configPath, kMidiGlobalSection, kMidiThruKey, BoolText(midiThru), value,
                   kValueCapacity);
  if (value[0]) midiThru = EqualsIgnoringAsciiCase(value, "true");
  ReadProfileValue(configPath, kMidiGlobalSection, kIgnoreProgramChangeKey,
                   BoolText(ignoreProgramChange), value, kValueCapacity);
  if (value[0]) ignoreProgramChange = EqualsIgnoringAsciiCase(value, "true");

  for (int c = 0; c < kControllers; ++c) {
    ReadProfileValue(configPath, kMidiControlSection, ControllerKey(c).c_str(), "-1", value,
                     kValueCapacity);
    if (!value[0]) continue;  // present but empty: the entry stays
    int n = SettingsTextToInt(value);
    controllerMap[c] = (n != 0 || value[0] == '0') ? n : -1;
  }
  return 0;
}

// ---- writing ----------------------------------------------------------------

bool Config::WriteStartupBank() {
  // The section is emptied and "File" written in one change of the file.
  return !configPath.empty() &&
         ReplaceProfileSection(configPath, kStartupSection, {{kStartupKey, startupBankPath}});
}

bool Config::SetStartupBank(const std::string& path) {
  startupBankPath = path;
  return WriteStartupBank();
}

bool Config::ClearStartupBank() {
  startupBankPath.clear();
  return !configPath.empty() && EraseProfileSection(configPath, kStartupSection);
}

bool Config::WriteProgramFolder(const std::string& folder) {
  programFolder = folder;
  return !configPath.empty() &&
         WriteProfileValue(configPath, kGlobalSection, kProgramFolderKey, folder.c_str());
}

bool Config::WriteMidiSettings(MidiSettings which) {
  bool ok = WriteStartupBank();
  if (configPath.empty()) return false;
  if (which == MidiSettings::MidiThru || which == MidiSettings::All) {
    ok = WriteProfileValue(configPath, kMidiGlobalSection, kMidiThruKey, BoolText(midiThru)) && ok;
  }
  if (which == MidiSettings::IgnoreProgramChange || which == MidiSettings::All) {
    ok = WriteProfileValue(configPath, kMidiGlobalSection, kIgnoreProgramChangeKey,
                           BoolText(ignoreProgramChange)) && ok;
  }
  if (which == MidiSettings::All) {
    std::vector<std::pair<std::string, std::string>> entries;
    for (int c = 0; c < kControllers; ++c) {
      if (controllerMap[c] >= 0) entries.emplace_back(ControllerKey(c), SettingsIntToText(controllerMap[c]));
    }
    ok = ReplaceProfileSection(configPath, kMidiControlSection, entries) && ok;
  }
  return ok;
}

// ---- MIDI learn -------------------------------------------------------------

void Config::ArmLearn(bool armed, bool unlearn) {
  const bool ends = learnActive && !armed;
  learnedController = -1;
  learnedParameter = -1;
  unlearnMode = unlearn;
  learnActive = armed;
  if (ends) LearnFinished();
}

void Config::EndLearn() {
  if (!learnActive) return;
  learnActive = false;
  learnedController = -1;
  learnedParameter = -1;
  LearnFinished();
}

void Config::LearnFinished() {
  ++learnSwitchResets;
  if (onLearnFinished) onLearnFinished();
}

void Config::CaptureController(int controller) {
  if (!learnActive || controller < 0 || controller >= kControllers) return;
  learnedController = controller;
  CommitLearn();
}

void Config::CaptureParameter(int index) {
  if (!learnActive || index < 0) return;
  learnedParameter = index;
  CommitLearn();
}

void Config::CommitLearn() {
  if (learnActive) {
    if (!unlearnMode) {
      // A learned parameter ends up on exactly one controller.
      if (learnedController >= 0 && learnedController < kControllers && learnedParameter >= 0) {
        for (int& entry : controllerMap) {
          if (entry == learnedParameter) entry = -1;
        }
        controllerMap[learnedController] = learnedParameter;
        learnActive = false;
      }
    } else if (learnedController >= 0 || learnedParameter >= 0) {
      // The first capture decides what is removed.
      if (learnedController >= 0) {
        if (learnedController < kControllers) controllerMap[learnedController] = -1;
      } else {
        for (int& entry : controllerMap) {
          if (entry == learnedParameter) entry = -1;
        }
      }
      learnActive = false;
      unlearnMode = false;
    }
  }
  if (!learnActive) LearnFinished();
}
