#pragma once
#include <string>

// User settings kept in the INI file, one copy per instance, plus the MIDI
// learn gesture state that works on the controller map.
struct Config {
  static constexpr int kControllers = 120;

  std::string configPath;        // settings folder + "quarvi.ini"
  std::string startupBankPath;   // empty: the factory bank
  std::string programFolder;     // initial folder of program and bank dialogs
  std::string documentsFolder;
  bool midiThru = false;
  bool ignoreProgramChange = false;
  int controllerMap[kControllers];

  // MIDI learn gesture
  bool learnActive = false;
  bool unlearnMode = false;
  int learnedController = -1;
  int learnedParameter = -1;

  Config() {
    for (int& c : controllerMap) c = -1;
  }
};
