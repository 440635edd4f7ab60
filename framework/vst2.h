#pragma once
// The VST 2.4 binary interface between a host and a plug-in library: the
// records both sides exchange, the request numbers of the dispatcher and of
// the host callback, and the flag bits. Written for this project from the
// interface's documented behaviour; it is used by the plug-in (IPlugVST, the
// entry points) and by our own hosts (quarvi-render, the test hosts) alike,
// so both sides of every test agree on one layout.
//
// Layout: natural C alignment of each record, checked below for 64-bit and
// 32-bit builds. No packing pragmas are needed: every record is laid out so
// that the natural alignment gives the published offsets.

#include <cstddef>
#include <cstdint>

// 32-bit x86 hosts call plug-ins (and plug-ins call hosts) with the C calling
// convention; it is spelled out so that a compiler default such as -mrtd can
// never change the ABI. On 64-bit targets there is only one convention.
#if defined(__i386__)
#define VSTCALLBACK __attribute__((__cdecl__))
#else
#define VSTCALLBACK
#endif

typedef int32_t VstInt32;
typedef intptr_t VstIntPtr;  // pointer-sized: 8 bytes on 64-bit, 4 on 32-bit

struct AEffect;

typedef VstIntPtr(VSTCALLBACK* audioMasterCallback)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                                    VstIntPtr value, void* ptr, float opt);
typedef VstIntPtr(VSTCALLBACK* AEffectDispatcherProc)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                                      VstIntPtr value, void* ptr, float opt);
typedef void(VSTCALLBACK* AEffectProcessProc)(AEffect* effect, float** inputs, float** outputs,
                                              VstInt32 sampleFrames);
typedef void(VSTCALLBACK* AEffectProcessDoubleProc)(AEffect* effect, double** inputs, double** outputs,
                                                    VstInt32 sampleFrames);
typedef void(VSTCALLBACK* AEffectSetParameterProc)(AEffect* effect, VstInt32 index, float parameter);
typedef float(VSTCALLBACK* AEffectGetParameterProc)(AEffect* effect, VstInt32 index);

// Signature of the exported entry points "VSTPluginMain" and "main".
typedef AEffect*(VSTCALLBACK* VstPluginMainProc)(audioMasterCallback host);

// Four-character constants are stored most significant character first.
constexpr VstInt32 VstFourCC(char a, char b, char c, char d) {
  return (static_cast<VstInt32>(static_cast<uint8_t>(a)) << 24) |
         (static_cast<VstInt32>(static_cast<uint8_t>(b)) << 16) |
         (static_cast<VstInt32>(static_cast<uint8_t>(c)) << 8) | static_cast<VstInt32>(static_cast<uint8_t>(d));
}

constexpr VstInt32 kEffectMagic = VstFourCC('V', 's', 't', 'P');  // 0x56737450

// The effect record: what the entry point returns and the host keeps.
struct AEffect {
  VstInt32 magic;                       // kEffectMagic
  AEffectDispatcherProc dispatcher;
  AEffectProcessProc process;           // accumulating (deprecated, still called by old hosts)
  AEffectSetParameterProc setParameter;
  AEffectGetParameterProc getParameter;
  VstInt32 numPrograms;
  VstInt32 numParams;
  VstInt32 numInputs;
  VstInt32 numOutputs;
  VstInt32 flags;                       // effFlags*
  VstIntPtr resvd1;
  VstIntPtr resvd2;
  VstInt32 initialDelay;                // latency in frames
  VstInt32 realQualities;
  VstInt32 offQualities;
  float ioRatio;
  void* object;                         // the plug-in object behind the record
  void* user;                           // free for the host
  VstInt32 uniqueID;
  VstInt32 version;
  AEffectProcessProc processReplacing;
  AEffectProcessDoubleProc processDoubleReplacing;
  char future[56];
};

// effFlags*: capability bits in AEffect::flags.
enum : VstInt32 {
  effFlagsHasEditor = 1 << 0,
  effFlagsCanMono = 1 << 3,  // deprecated
  effFlagsCanReplacing = 1 << 4,
  effFlagsProgramChunks = 1 << 5,
  effFlagsIsSynth = 1 << 8,
  effFlagsNoSoundInStop = 1 << 9,
  effFlagsCanDoubleReplacing = 1 << 12,
};

// Dispatcher opcodes (host to plug-in).
enum : VstInt32 {
  effOpen = 0,
  effClose = 1,
  effSetProgram = 2,
  effGetProgram = 3,
  effSetProgramName = 4,
  effGetProgramName = 5,
  effGetParamLabel = 6,
  effGetParamDisplay = 7,
  effGetParamName = 8,
  effSetSampleRate = 10,
  effSetBlockSize = 11,
  effMainsChanged = 12,
  effEditGetRect = 13,
  effEditOpen = 14,
  effEditClose = 15,
  effEditIdle = 19,
  effIdentify = 22,
  effGetChunk = 23,
  effSetChunk = 24,
  effProcessEvents = 25,
  effCanBeAutomated = 26,
  effString2Parameter = 27,
  effGetProgramNameIndexed = 29,
  effGetInputProperties = 33,
  effGetOutputProperties = 34,
  effGetPlugCategory = 35,
  effProcessVarIo = 41,
  effSetSpeakerArrangement = 42,
  effSetBypass = 44,
  effGetEffectName = 45,
  effGetVendorString = 47,
  effGetProductString = 48,
  effGetVendorVersion = 49,
  effVendorSpecific = 50,
  effCanDo = 51,
  effGetTailSize = 52,
  effIdle = 53,
  effGetParameterProperties = 56,
  effGetVstVersion = 58,
  effGetMidiKeyName = 66,
  effBeginSetProgram = 67,
  effEndSetProgram = 68,
  effGetSpeakerArrangement = 69,
  effStartProcess = 71,
  effStopProcess = 72,
  effSetProcessPrecision = 77,
};

// Host callback opcodes (plug-in to host).
enum : VstInt32 {
  audioMasterAutomate = 0,
  audioMasterVersion = 1,
  audioMasterCurrentId = 2,
  audioMasterIdle = 3,
  audioMasterWantMidi = 6,  // deprecated, still sent before each block
  audioMasterGetTime = 7,
  audioMasterProcessEvents = 8,
  audioMasterIOChanged = 13,
  audioMasterSizeWindow = 15,
  audioMasterGetSampleRate = 16,
  audioMasterGetBlockSize = 17,
  audioMasterGetInputLatency = 18,
  audioMasterGetOutputLatency = 19,
  audioMasterGetCurrentProcessLevel = 23,
  audioMasterGetAutomationState = 24,
  audioMasterGetVendorString = 32,
  audioMasterGetProductString = 33,
  audioMasterGetVendorVersion = 34,
  audioMasterVendorSpecific = 35,
  audioMasterCanDo = 37,
  audioMasterGetLanguage = 38,
  audioMasterGetDirectory = 41,
  audioMasterUpdateDisplay = 42,
  audioMasterBeginEdit = 43,
  audioMasterEndEdit = 44,
};

enum : VstInt32 {
  kVstProcessLevelUnknown = 0,
  kVstProcessLevelUser = 1,
  kVstProcessLevelRealtime = 2,
  kVstProcessLevelPrefetch = 3,
  kVstProcessLevelOffline = 4,
};

enum : VstInt32 {
  kPlugCategUnknown = 0,
  kPlugCategEffect = 1,
  kPlugCategSynth = 2,
};

// Text sizes the interface documents; hosts give larger buffers in practice.
enum : VstInt32 {
  kVstMaxProgNameLen = 24,
  kVstMaxParamStrLen = 8,
  kVstMaxVendorStrLen = 64,
  kVstMaxProductStrLen = 64,
  kVstMaxEffectNameLen = 32,
};

// ---- events ---------------------------------------------------------------

enum : VstInt32 {
  kVstMidiType = 1,
  kVstSysExType = 6,
};

// The generic event as it sits in a VstEvents list; byteSize tells the real
// size of the concrete record.
struct VstEvent {
  VstInt32 type;
  VstInt32 byteSize;
  VstInt32 deltaFrames;  // frames from the start of the current block
  VstInt32 flags;
  char data[16];
};

struct VstMidiEvent {
  VstInt32 type;         // kVstMidiType
  VstInt32 byteSize;     // sizeof(VstMidiEvent)
  VstInt32 deltaFrames;
  VstInt32 flags;
  VstInt32 noteLength;
  VstInt32 noteOffset;
  char midiData[4];      // status, data 1, data 2, unused
  char detune;
  char noteOffVelocity;
  char reserved1;
  char reserved2;
};

struct VstMidiSysexEvent {
  VstInt32 type;         // kVstSysExType
  VstInt32 byteSize;     // sizeof(VstMidiSysexEvent)
  VstInt32 deltaFrames;
  VstInt32 flags;
  VstInt32 dumpBytes;
  VstIntPtr resvd1;
  char* sysexDump;
  VstIntPtr resvd2;
};

// A list of event pointers. The record is declared with two slots; hosts
// allocate it larger for more events.
struct VstEvents {
  VstInt32 numEvents;
  VstIntPtr reserved;
  VstEvent* events[2];
};

// ---- time -----------------------------------------------------------------

enum : VstInt32 {
  kVstTransportChanged = 1,
  kVstTransportPlaying = 1 << 1,
  kVstTransportCycleActive = 1 << 2,
  kVstTransportRecording = 1 << 3,
  kVstAutomationWriting = 1 << 6,
  kVstAutomationReading = 1 << 7,
  kVstNanosValid = 1 << 8,
  kVstPpqPosValid = 1 << 9,
  kVstTempoValid = 1 << 10,
  kVstBarsValid = 1 << 11,
  kVstCyclePosValid = 1 << 12,
  kVstTimeSigValid = 1 << 13,
  kVstSmpteValid = 1 << 14,
  kVstClockValid = 1 << 15,
};

struct VstTimeInfo {
  double samplePos;
  double sampleRate;
  double nanoSeconds;
  double ppqPos;         // quarter notes
  double tempo;          // beats per minute
  double barStartPos;    // quarter notes at the start of the last bar
  double cycleStartPos;
  double cycleEndPos;
  VstInt32 timeSigNumerator;
  VstInt32 timeSigDenominator;
  VstInt32 smpteOffset;
  VstInt32 smpteFrameRate;
  VstInt32 samplesToNextClock;
  VstInt32 flags;        // kVst* bits above
};

// ---- pins and speakers ----------------------------------------------------

enum : VstInt32 {
  kVstPinIsActive = 1,
  kVstPinIsStereo = 1 << 1,
  kVstPinUseSpeaker = 1 << 2,
};

struct VstPinProperties {
  char label[64];
  VstInt32 flags;
  VstInt32 arrangementType;
  char shortLabel[8];
  char future[48];
};

enum : VstInt32 {
  kSpeakerArrUserDefined = -2,
  kSpeakerArrEmpty = -1,
  kSpeakerArrMono = 0,
  kSpeakerArrStereo = 1,
};

struct VstSpeakerProperties {
  float azimuth;
  float elevation;
  float radius;
  float reserved;
  char name[64];
  VstInt32 type;
  char future[28];
};

// Declared with eight speakers; hosts allocate larger records for more.
struct VstSpeakerArrangement {
  VstInt32 type;         // kSpeakerArr*
  VstInt32 numChannels;
  VstSpeakerProperties speakers[8];
};

// ---- editor and names -----------------------------------------------------

struct ERect {
  int16_t top;
  int16_t left;
  int16_t bottom;
  int16_t right;
};

struct MidiKeyName {
  VstInt32 thisProgramIndex;
  VstInt32 thisKeyNumber;
  char keyName[64];
  VstInt32 reserved;
  VstInt32 flags;
};

// ---- layout checks ----------------------------------------------------------
// A host reads these records by byte offset; any drift here makes every host
// misread the plug-in. The 32-bit offsets follow from the same declarations
// with 4-byte pointers.

#define QUARVI_VST_OFFSET(type, field, off64, off32) \
  static_assert(offsetof(type, field) == (sizeof(void*) == 8 ? (off64) : (off32)), #type "::" #field)
#define QUARVI_VST_SIZE(type, size64, size32) \
  static_assert(sizeof(type) == (sizeof(void*) == 8 ? (size64) : (size32)), "sizeof " #type)

static_assert(sizeof(void*) == 8 || sizeof(void*) == 4, "64-bit or 32-bit targets only");
static_assert(sizeof(float) == 4 && sizeof(double) == 8, "IEEE single and double");

QUARVI_VST_SIZE(AEffect, 192, 144);
QUARVI_VST_OFFSET(AEffect, magic, 0, 0);
QUARVI_VST_OFFSET(AEffect, dispatcher, 8, 4);
QUARVI_VST_OFFSET(AEffect, process, 16, 8);
QUARVI_VST_OFFSET(AEffect, setParameter, 24, 12);
QUARVI_VST_OFFSET(AEffect, getParameter, 32, 16);
QUARVI_VST_OFFSET(AEffect, numPrograms, 40, 20);
QUARVI_VST_OFFSET(AEffect, numParams, 44, 24);
QUARVI_VST_OFFSET(AEffect, numInputs, 48, 28);
QUARVI_VST_OFFSET(AEffect, numOutputs, 52, 32);
QUARVI_VST_OFFSET(AEffect, flags, 56, 36);
QUARVI_VST_OFFSET(AEffect, resvd1, 64, 40);
QUARVI_VST_OFFSET(AEffect, resvd2, 72, 44);
QUARVI_VST_OFFSET(AEffect, initialDelay, 80, 48);
QUARVI_VST_OFFSET(AEffect, realQualities, 84, 52);
QUARVI_VST_OFFSET(AEffect, offQualities, 88, 56);
QUARVI_VST_OFFSET(AEffect, ioRatio, 92, 60);
QUARVI_VST_OFFSET(AEffect, object, 96, 64);
QUARVI_VST_OFFSET(AEffect, user, 104, 68);
QUARVI_VST_OFFSET(AEffect, uniqueID, 112, 72);
QUARVI_VST_OFFSET(AEffect, version, 116, 76);
QUARVI_VST_OFFSET(AEffect, processReplacing, 120, 80);
QUARVI_VST_OFFSET(AEffect, processDoubleReplacing, 128, 84);
QUARVI_VST_OFFSET(AEffect, future, 136, 88);

QUARVI_VST_SIZE(VstEvent, 32, 32);
QUARVI_VST_OFFSET(VstEvent, deltaFrames, 8, 8);
QUARVI_VST_SIZE(VstMidiEvent, 32, 32);
QUARVI_VST_OFFSET(VstMidiEvent, noteLength, 16, 16);
QUARVI_VST_OFFSET(VstMidiEvent, midiData, 24, 24);
QUARVI_VST_OFFSET(VstMidiEvent, detune, 28, 28);
QUARVI_VST_SIZE(VstMidiSysexEvent, 48, 32);
QUARVI_VST_OFFSET(VstMidiSysexEvent, dumpBytes, 16, 16);
QUARVI_VST_OFFSET(VstMidiSysexEvent, resvd1, 24, 20);
QUARVI_VST_OFFSET(VstMidiSysexEvent, sysexDump, 32, 24);
QUARVI_VST_OFFSET(VstMidiSysexEvent, resvd2, 40, 28);
QUARVI_VST_SIZE(VstEvents, 32, 16);
QUARVI_VST_OFFSET(VstEvents, reserved, 8, 4);
QUARVI_VST_OFFSET(VstEvents, events, 16, 8);

QUARVI_VST_SIZE(VstTimeInfo, 88, 88);
QUARVI_VST_OFFSET(VstTimeInfo, ppqPos, 24, 24);
QUARVI_VST_OFFSET(VstTimeInfo, tempo, 32, 32);
QUARVI_VST_OFFSET(VstTimeInfo, barStartPos, 40, 40);
QUARVI_VST_OFFSET(VstTimeInfo, cycleStartPos, 48, 48);
QUARVI_VST_OFFSET(VstTimeInfo, cycleEndPos, 56, 56);
QUARVI_VST_OFFSET(VstTimeInfo, timeSigNumerator, 64, 64);
QUARVI_VST_OFFSET(VstTimeInfo, timeSigDenominator, 68, 68);
QUARVI_VST_OFFSET(VstTimeInfo, flags, 84, 84);

QUARVI_VST_SIZE(VstPinProperties, 128, 128);
QUARVI_VST_OFFSET(VstPinProperties, flags, 64, 64);
QUARVI_VST_OFFSET(VstPinProperties, arrangementType, 68, 68);
QUARVI_VST_OFFSET(VstPinProperties, shortLabel, 72, 72);

QUARVI_VST_SIZE(VstSpeakerProperties, 112, 112);
QUARVI_VST_OFFSET(VstSpeakerProperties, name, 16, 16);
QUARVI_VST_OFFSET(VstSpeakerProperties, type, 80, 80);
QUARVI_VST_SIZE(VstSpeakerArrangement, 904, 904);
QUARVI_VST_OFFSET(VstSpeakerArrangement, numChannels, 4, 4);
QUARVI_VST_OFFSET(VstSpeakerArrangement, speakers, 8, 8);

QUARVI_VST_SIZE(ERect, 8, 8);
QUARVI_VST_OFFSET(ERect, bottom, 4, 4);
QUARVI_VST_OFFSET(ERect, right, 6, 6);

QUARVI_VST_SIZE(MidiKeyName, 80, 80);
QUARVI_VST_OFFSET(MidiKeyName, keyName, 8, 8);
QUARVI_VST_OFFSET(MidiKeyName, flags, 76, 76);

#undef QUARVI_VST_OFFSET
#undef QUARVI_VST_SIZE
