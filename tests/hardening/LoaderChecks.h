#pragma once
// The loaders of the plug-in fed with arbitrary bytes, and the checks every
// instance must pass afterwards. Shared by the libFuzzer targets (fuzz/) and
// by the regression test that replays the saved inputs (HardeningFuzzReplay),
// so that a crash found by a fuzzer is replayed through exactly the same
// steps in the normal test executable, under the sanitizers and under wine.
//
// Plain code: no GoogleTest, no exceptions. A failed check returns false and
// describes the first problem in *failure.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "vst2.h"

enum class LoaderTarget {
  State,         // Quarvi::UnserializeState; the first two bytes are the start position
  Presets,       // IPlugBase::UnserializePresets from position 0
  ProgramFile,   // IPlugBase::LoadProgramFromMemory (a whole fxp image)
  BankFile,      // IPlugBase::LoadBankFromFile (a whole fxb image)
  BankChunk,     // effSetChunk, index 0, through the dispatcher
  ProgramChunk,  // effSetChunk, index 1, through the dispatcher
  Profile,       // ParseProfile, the settings reader and the controller map in use
  MidiFile,      // ParseSmf and the beginning of the song rendered through an instance
  Png,           // LICE_LoadPNGFromMemory (the editor's image loader); no instance
};

constexpr int kLoaderTargetCount = 9;

// Folder and fuzzer name of each target: "state", "presets", "fxp", "fxb",
// "chunk-bank", "chunk-program", "profile", "smf", "png".
const char* LoaderTargetName(LoaderTarget target);
bool LoaderTargetFromName(const std::string& name, LoaderTarget* target);

// Where the settings reader of the Profile target may write its scratch file
// (a folder that exists). Instances made here never read the user's
// settings: the caller has pointed the configuration at a scratch folder
// (OverrideConfigLocations) before the first instance is made.
void SetLoaderScratchFolder(const std::string& folder);

// Fuzz targets keep one instance for all inputs and bring it back to the
// state of a fresh one before each input (programs, current program, values,
// settings; voices silenced and re-initialised): building an instance loads
// the whole factory bank, which would cost more than the rest of a run. The
// replay test builds a fresh instance for every input.
void SetLoaderInstanceReuse(bool reuse);

// Feeds one input to a fresh instance through the target's loader, whatever
// the loader answers, then runs CheckInstance on it and closes it.
bool RunLoaderInput(LoaderTarget target, const uint8_t* data, size_t size, std::string* failure);

// A plug-in instance made through VSTPluginMain, with a host callback that
// reports a running transport at 120 beats per minute.
AEffect* CreateCheckedInstance();
void CloseCheckedInstance(AEffect* effect);

// One MIDI event for effProcessEvents, and a list of them handed to the
// instance's dispatcher in one call.
VstMidiEvent MidiEvent(int status, int d1, int d2, int offset);
void SendEvents(AEffect* effect, const std::vector<VstMidiEvent>& midi);

// What a host may rely on after any load, successful or not:
//   - every parameter value lies within its range and reads back as a
//     normalized value in 0..1;
//   - names, labels and display texts are terminated within their sizes,
//     and the texts of parameters are printable;
//   - a short block with notes renders, in single and double precision,
//     with every sample finite;
//   - every dispatcher opcode 0..70 except effClose answers with safe
//     arguments (no pointer, then a zeroed record), and the instance still
//     renders afterwards;
//   - the bank chunk and the program chunk read back bit for bit
//     (get, set, get again: the two chunks are equal).
bool CheckInstance(AEffect* effect, std::string* failure);

// Every file of a folder (sorted by name; empty when the folder is missing).
std::vector<std::string> FilesInFolder(const std::string& folder);
bool ReadFileBytes(const std::string& path, std::vector<uint8_t>* bytes);
