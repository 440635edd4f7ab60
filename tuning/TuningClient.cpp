#include "TuningClient.h"

#include <cmath>
#include <new>
#include <string>
#include <vector>

#include "platform/DynamicLibrary.h"

namespace {

constexpr int kChannels = 16;
// Channel byte that tells the library the note's channel is not given.
constexpr char kNoChannel = static_cast<char>(0xFF);

using RegisterClientFn = void (*)();
using DeregisterClientFn = void (*)();
using HasMasterFn = bool (*)();
using ShouldFilterNoteFn = bool (*)(char note, char channel);
using GetTuningTableFn = const double* (*)();
using GetMultiChannelTuningTableFn = const double* (*)(char channel);
using ShouldFilterNoteMultiChannelFn = bool (*)(char note, char channel);
using UseMultiChannelTuningFn = bool (*)(char channel);
using GetScaleNameFn = const char* (*)();

int NoteIndex(int note) {
  return ((note % 128) + 128) % 128;
}

double EqualTemperament(int note) {
  return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

// What this module knows of the tuning library: read-only once loaded, so the
// engine reads it from any thread without locking.
struct MtsClientGlobal {
  DynamicLibrary module;
  RegisterClientFn RegisterClient = nullptr;
  DeregisterClientFn DeregisterClient = nullptr;
  HasMasterFn HasMaster = nullptr;
  ShouldFilterNoteFn ShouldFilterNote = nullptr;
  GetTuningTableFn GetTuningTable = nullptr;
  GetMultiChannelTuningTableFn GetMultiChannelTuningTable = nullptr;
  ShouldFilterNoteMultiChannelFn ShouldFilterNoteMultiChannel = nullptr;
  UseMultiChannelTuningFn UseMultiChannelTuning = nullptr;
  GetScaleNameFn GetScaleName = nullptr;
  const double* tuningTable = nullptr;
  // Kept for completeness; this instrument tunes all channels alike.
  const double* channelTables[kChannels] = {};

  MtsClientGlobal() { Load(nullptr); }
  ~MtsClientGlobal() { Unload(); }

  // Only the system's own locations, unless a test names a file: nothing in
  // the host's environment decides which code the plug-in loads.
  void Load(const char* path) {
    Unload();
    std::vector<std::string> candidates;
    if (path) {
      candidates.push_back(path);
    } else {
      candidates = DynamicLibrary::SystemLibraryPaths("LIBMTS.dll", "libMTS.so");
    }
    for (const std::string& path : candidates) {
      if (module.Open(path.c_str())) break;
    }
    if (!module.IsOpen()) return;

    RegisterClient = SymbolAs<RegisterClientFn>(module, "MTS_RegisterClient");
    DeregisterClient = SymbolAs<DeregisterClientFn>(module, "MTS_DeregisterClient");
    HasMaster = SymbolAs<HasMasterFn>(module, "MTS_HasMaster");
    ShouldFilterNote = SymbolAs<ShouldFilterNoteFn>(module, "MTS_ShouldFilterNote");
    GetTuningTable = SymbolAs<GetTuningTableFn>(module, "MTS_GetTuningTable");
    GetMultiChannelTuningTable =
        SymbolAs<GetMultiChannelTuningTableFn>(module, "MTS_GetMultiChannelTuningTable");
    ShouldFilterNoteMultiChannel =
        SymbolAs<ShouldFilterNoteMultiChannelFn>(module, "MTS_ShouldFilterNoteMultiChannel");
    UseMultiChannelTuning = SymbolAs<UseMultiChannelTuningFn>(module, "MTS_UseMultiChannelTuning");
    GetScaleName = SymbolAs<GetScaleNameFn>(module, "MTS_GetScaleName");

    if (GetTuningTable) tuningTable = GetTuningTable();
    if (GetMultiChannelTuningTable) {
      for (int c = 0; c < kChannels; ++c) {
        channelTables[c] = GetMultiChannelTuningTable(static_cast<char>(c));
      }
    }
  }

  void Unload() {
    RegisterClient = nullptr;
    DeregisterClient = nullptr;
    HasMaster = nullptr;
    ShouldFilterNote = nullptr;
    GetTuningTable = nullptr;
    GetMultiChannelTuningTable = nullptr;
    ShouldFilterNoteMultiChannel = nullptr;
    UseMultiChannelTuning = nullptr;
    GetScaleName = nullptr;
    tuningTable = nullptr;
    for (const double*& t : channelTables) t = nullptr;
    module.Close();
  }

  bool MasterConnected() const { return tuningTable && HasMaster && HasMaster(); }
};

MtsClientGlobal mtsclientglobal;

}  // namespace

struct TuningClient {
  double equalTable[128];
};

TuningClient* CreateTuningClient() {
  TuningClient* client = new (std::nothrow) TuningClient;
  if (!client) return nullptr;
  for (int n = 0; n < 128; ++n) client->equalTable[n] = EqualTemperament(n);
  if (mtsclientglobal.RegisterClient) mtsclientglobal.RegisterClient();
  return client;
}

void DestroyTuningClient(TuningClient* client) {
  if (!client) return;
  if (mtsclientglobal.DeregisterClient) mtsclientglobal.DeregisterClient();
  delete client;
}

bool HasTuningMaster(const TuningClient* client) {
  return client && mtsclientglobal.MasterConnected();
}

double NoteToFrequency(const TuningClient* client, int note) {
  const int n = NoteIndex(note);
  if (!client) return EqualTemperament(n);
  if (mtsclientglobal.MasterConnected()) return mtsclientglobal.tuningTable[n];
  return client->equalTable[n];
}

bool ShouldFilterNote(const TuningClient* client, int note) {
  if (!client || !mtsclientglobal.MasterConnected()) return false;
  if (!mtsclientglobal.ShouldFilterNote) return false;
  return mtsclientglobal.ShouldFilterNote(static_cast<char>(NoteIndex(note)), kNoChannel);
}

void ReloadTuningLibraryForTesting(const char* path) {
  mtsclientglobal.Load(path);
}
