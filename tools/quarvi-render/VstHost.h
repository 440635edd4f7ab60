#pragma once
// A minimal VST 2.4 host: loads a plug-in library through its exported entry
// point exactly as a sequencer does, answers the plug-in's requests (time,
// MIDI output, identity) and wraps the dispatcher requests a renderer needs.
// Used by quarvi-render and by the cross-platform session test host.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/DynamicLibrary.h"
#include "vst2.h"

// One MIDI event for the next block: a short message, or system exclusive
// when sysex is not empty.
struct HostMidiEvent {
  int32_t deltaFrames = 0;
  uint8_t status = 0, data1 = 0, data2 = 0;
  std::vector<uint8_t> sysex;
};

class VstHost {
 public:
  VstHost();
  ~VstHost();
  VstHost(const VstHost&) = delete;
  VstHost& operator=(const VstHost&) = delete;

  // Loads the library, calls VSTPluginMain (or main) and checks the record.
  // On failure *error holds a one-line reason and nothing stays loaded.
  bool Load(const std::string& path, std::string* error);
  // Creates the plug-in through an entry point that is already part of this
  // process (a plug-in linked into the program, as the fuzz targets do).
  bool Create(VstPluginMainProc entry, std::string* error);
  // effClose, then unloads the library. Safe to call twice.
  void Close();

  AEffect* Effect() const { return mEffect; }
  bool IsInstrument() const;
  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);

  // effOpen, sample rate and block size, then effMainsChanged on.
  void Start(double sampleRate, int blockSize);
  void Stop();  // effMainsChanged off
  double SampleRate() const { return mSampleRate; }
  int BlockSize() const { return mBlockSize; }

  int NumPrograms() const;
  std::string ProgramName(int index);
  int CurrentProgram();
  void SetProgram(int index);
  // Program index by exact name, then ignoring case; -1 when none matches.
  int FindProgram(const std::string& name);

  int NumParams() const;
  std::string ParamName(int index);
  std::string ParamDisplay(int index);
  float ParamValue(int index);
  // Parameter index by exact name, then ignoring case; -1 when none matches.
  int FindParam(const std::string& name);
  // The plug-in's own text-to-value conversion (effString2Parameter).
  bool SetParamFromText(int index, const std::string& text);

  // Hands events to the plug-in for the next block (effProcessEvents).
  void SendEvents(const std::vector<HostMidiEvent>& events);
  void ProcessReplacing(float** outputs, int frames);
  void ProcessDoubleReplacing(double** outputs, int frames);

  // State: index 0 bank chunk, 1 program chunk.
  std::vector<uint8_t> GetChunk(int index);
  bool SetChunk(int index, const std::vector<uint8_t>& bytes);

  // The transport the plug-in sees through audioMasterGetTime; the caller
  // updates it before each block.
  VstTimeInfo& Time() { return mTime; }

  // What the host tells about itself.
  std::string productString = "quarvi-render";
  std::string vendorString = "Kestrel Sound Music";
  int vendorVersion = 10000;
  VstInt32 processLevel = kVstProcessLevelOffline;

  // Counts of plug-in requests, for diagnostics and tests.
  int wantMidiRequests = 0;
  int timeRequests = 0;
  int automationRequests = 0;
  int midiOutEvents = 0;

 private:
  static VstIntPtr VSTCALLBACK Callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                        void* ptr, float opt);
  VstIntPtr Answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

  DynamicLibrary mLibrary;
  AEffect* mEffect = nullptr;
  VstTimeInfo mTime;
  double mSampleRate = 44100.0;
  int mBlockSize = 512;
  bool mRunning = false;

  // Storage for the event list of one block.
  std::vector<VstMidiEvent> mMidiEvents;
  std::vector<VstMidiSysexEvent> mSysexEvents;
  std::vector<std::vector<uint8_t>> mSysexData;
  std::vector<uint8_t> mEventList;
};
