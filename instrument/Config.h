#pragma once
#include <functional>
#include <string>

// Where an instance finds the user's settings.
struct ConfigLocations {
  std::string settingsFolder;   // the folder that holds "quarvi.ini"; empty: unknown
  std::string documentsFolder;  // the user's documents folder
  std::string pluginFolder;     // the plug-in's own folder, where a template may ship; empty: none
};

// Which global MIDI settings WriteMidiSettings stores.
enum class MidiSettings { MidiThru, IgnoreProgramChange, All };

// User settings kept in the INI file, one copy per instance, plus the MIDI
// learn gesture state that works on the controller map.
//
// Threads: the file operations run on the thread that constructs the
// instance or on the editor's thread. The engine and the learn steps read and
// change the controller map and the two switches under the plug-in lock, so a
// caller that re-reads the file (Read) or runs a learn step while the
// instance is live holds that lock, and a live instance writes its settings
// through Quarvi::WriteMidiSettings, which copies them under the lock and
// writes the copy outside it.
struct Config {
  static constexpr int kControllers = 120;
  static constexpr int kFileMissing = 11;    // Read: there is no settings file
  static constexpr int kPathCapacity = 259;  // bytes read for a path, terminator included
  static constexpr int kValueCapacity = 64;  // bytes read for any other value

  std::string configPath;        // settings folder + "quarvi.ini"; empty when unknown
  std::string startupBankPath;   // empty: the factory bank
  std::string programFolder;     // initial folder of program and bank dialogs
  std::string documentsFolder;   // never changed after construction
  std::string pluginFolder;      // the template "quarvi.ini" may live here
  bool midiThru = false;
  bool ignoreProgramChange = false;
  // Parameter index driven by each MIDI controller, or -1. Values read from
  // the file are kept as they are; entries outside the parameter range never
  // act.
  int controllerMap[kControllers];

  // MIDI learn gesture
  bool learnActive = false;
  bool unlearnMode = false;
  int learnedController = -1;
  int learnedParameter = -1;

  // Called whenever a gesture ends, however it ends (a learn step completes
  // it, the switch is pressed again, a processing reset drops it), so that
  // the editor can turn its learn switch off (set its value to 0 and redraw
  // it). Runs under the plug-in lock on whatever thread ended the gesture: it
  // must only store values and mark things dirty. learnSwitchResets counts
  // the calls.
  std::function<void()> onLearnFinished;
  int learnSwitchResets = 0;

  Config() {
    for (int& c : controllerMap) c = -1;
  }

  // Construction: finds the settings file (creating its folder and, on the
  // first start, the file itself, as a copy of the template next to the
  // plug-in when there is one) and reads it.
  void Initialize(const ConfigLocations& locations);

  // Reads every setting from the file. Returns 0, or kFileMissing when there
  // is no file (nothing changes then).
  int Read();

  // Write operations. Each returns whether the file took every value; callers
  // may ignore it (a folder that cannot be written simply keeps no settings).
  bool WriteStartupBank();                          // section rewritten with "File"
  bool SetStartupBank(const std::string& path);     // path becomes the startup bank, written
  bool ClearStartupBank();                          // path emptied, section removed
  bool WriteProgramFolder(const std::string& folder);  // folder becomes the program folder, written
  // The startup bank first, then the chosen switch; All writes both switches
  // and the controller map (only mapped controllers, ascending).
  bool WriteMidiSettings(MidiSettings which);

  // MIDI learn steps (the instrument calls them under its lock).
  // The learn switch was pressed: a new gesture starts (armed) or the one in
  // progress is dropped (not armed).
  void ArmLearn(bool armed, bool unlearn);
  // A controller (0..119) or a parameter was moved while learning.
  void CaptureController(int controller);
  void CaptureParameter(int index);
  // Completes the gesture when it has what it needs.
  void CommitLearn();
  // Drops a gesture in progress without binding anything (processing reset).
  void EndLearn();

 private:
  void LearnFinished();
};

// The settings locations of the current user and plug-in: the settings
// folder "KestrelSoundMusic" under the user's settings base folder, the
// documents folder and the folder of the plug-in library.
ConfigLocations UserConfigLocations();

// Settings at instance construction: Initialize with the user's locations, or
// with the locations set by OverrideConfigLocations.
void ReadSettingsAtStartup(Config* config);

// Test support: makes ReadSettingsAtStartup use these locations instead of
// the user's (null: the user's again). Not for use by the plug-in itself.
void OverrideConfigLocations(const ConfigLocations* locations);

// Number text of the settings file, the same in every process locale: "%i"
// formatting, and C atoi reading (leading blanks, an optional sign, decimal
// digits up to the first other character; 0 when there are none; saturating
// instead of overflowing).
std::string SettingsIntToText(int value);
int SettingsTextToInt(const char* text);
