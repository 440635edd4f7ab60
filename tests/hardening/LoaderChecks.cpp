#include "LoaderChecks.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "ChunkBuffer.h"
#include "Config.h"
#include "IPlugVST.h"
#include "Quarvi.h"
#include "Render.h"
#include "Smf.h"
#include "StateImage.h"
#include "VstHost.h"
#include "lice/lice.h"
#include "platform/ProfileDoc.h"

extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback host);

namespace {

// ---- names --------------------------------------------------------------------

const char* const kTargetNames[kLoaderTargetCount] = {
    "state", "presets", "fxp", "fxb", "chunk-bank", "chunk-program", "profile", "smf", "png",
};

std::string& ScratchFolder() {
  static std::string folder;
  return folder;
}

bool gReuse = false;

// ---- the host of the checked instances -------------------------------------------

// A transport that runs at 120 beats per minute in 4/4, so that synced LFOs
// have a tempo to follow.
VstTimeInfo MakeTime() {
  VstTimeInfo t;
  std::memset(&t, 0, sizeof(t));
  t.sampleRate = 44100.0;
  t.tempo = 120.0;
  t.ppqPos = 0.0;
  t.barStartPos = 0.0;
  t.timeSigNumerator = 4;
  t.timeSigDenominator = 4;
  t.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;
  return t;
}

VstIntPtr VSTCALLBACK CheckHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  static VstTimeInfo time = MakeTime();
  switch (opcode) {
    case audioMasterVersion:
      return 2400;
    case audioMasterGetTime:
      return reinterpret_cast<VstIntPtr>(&time);
    case audioMasterProcessEvents:
    case audioMasterWantMidi:
      return 1;
    default:
      return 0;
  }
}

IPlugVST* PlugOf(AEffect* effect) { return static_cast<IPlugVST*>(effect->object); }

VstIntPtr Dispatch(AEffect* e, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                   float opt = 0.0f) {
  return e->dispatcher(e, opcode, index, value, ptr, opt);
}

// ---- small checks ---------------------------------------------------------------------

struct Checker {
  std::string* failure;
  bool ok = true;

  void Fail(const std::string& what) {
    if (ok && failure) *failure = what;
    ok = false;
  }
};

// Index of the terminator within size bytes, or -1.
int TerminatorWithin(const char* text, int size) {
  for (int i = 0; i < size; ++i) {
    if (text[i] == 0) return i;
  }
  return -1;
}

// No control characters, and any byte above 0x7F part of a well-formed UTF-8
// sequence.
bool Printable(const char* text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (*p) {
    const unsigned c = *p;
    if (c < 0x20 || c == 0x7F) return false;
    int follow = 0;
    if (c >= 0x80) {
      if (c >= 0xC2 && c <= 0xDF) follow = 1;
      else if (c >= 0xE0 && c <= 0xEF) follow = 2;
      else if (c >= 0xF0 && c <= 0xF4) follow = 3;
      else return false;
    }
    ++p;
    for (int i = 0; i < follow; ++i, ++p) {
      if ((*p & 0xC0) != 0x80) return false;
    }
  }
  return true;
}

std::string Describe(const char* what, int index, const char* text) {
  char buf[96];
  std::snprintf(buf, sizeof(buf), "%s of parameter %d", what, index);
  return std::string(buf) + (text ? std::string(": \"") + text + "\"" : std::string());
}

void CheckParameters(AEffect* e, Checker* c) {
  IPlugVST* plug = PlugOf(e);
  for (int i = 0; i < plug->NParams(); ++i) {
    const IPlugParam* p = plug->GetParam(i);
    if (!(p->value >= p->min && p->value <= p->max)) {
      char buf[128];
      std::snprintf(buf, sizeof(buf), "parameter %d (%s) holds %g outside %g..%g", i, p->name, p->value, p->min,
                    p->max);
      c->Fail(buf);
    }
    const float n = e->getParameter(e, i);
    if (!(n >= 0.0f && n <= 1.0f)) c->Fail(Describe("normalized value out of 0..1", i, nullptr));
  }
}

void CheckTexts(AEffect* e, Checker* c) {
  constexpr int kParamText = IPlugParam::kTextSize;
  char buf[512];
  const VstInt32 textOps[] = {effGetParamName, effGetParamLabel, effGetParamDisplay};
  const char* const opNames[] = {"name", "label", "display text"};
  for (int i = 0; i < e->numParams; ++i) {
    for (int k = 0; k < 3; ++k) {
      std::memset(buf, 0x55, sizeof(buf));
      Dispatch(e, textOps[k], i, 0, buf);
      const int end = TerminatorWithin(buf, kParamText);
      if (end < 0) {
        c->Fail(Describe(opNames[k], i, nullptr) + " is not terminated within 32 bytes");
        continue;
      }
      if (!Printable(buf)) c->Fail(Describe(opNames[k], i, buf) + " is not printable");
    }
    // The display of normalized values the host may ask for.
    const float probes[] = {0.0f, 0.5f, 1.0f};
    for (float x : probes) {
      std::memset(buf, 0x55, sizeof(buf));
      Dispatch(e, effVendorSpecific, 7, i, buf, x);
      const int end = TerminatorWithin(buf, kParamText);
      if (end < 0 || !Printable(buf)) c->Fail(Describe("normalized display", i, end < 0 ? nullptr : buf));
    }
  }
  for (int i = 0; i < e->numPrograms; ++i) {
    std::memset(buf, 0x55, sizeof(buf));
    Dispatch(e, effGetProgramNameIndexed, i, 0, buf);
    if (TerminatorWithin(buf, IPlugPreset::kNameSize) < 0) {
      c->Fail("name of program " + std::to_string(i) + " is not terminated within 256 bytes");
    }
  }
  std::memset(buf, 0x55, sizeof(buf));
  Dispatch(e, effGetProgramName, 0, 0, buf);
  if (TerminatorWithin(buf, IPlugPreset::kNameSize) < 0) c->Fail("current program name is not terminated");
}

// A short block with two notes in single precision, then one in double
// precision after the notes were released.
void CheckRenders(AEffect* e, Checker* c, const char* when) {
  constexpr int kFrames = 128;
  Dispatch(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
  Dispatch(e, effSetBlockSize, 0, kFrames);
  Dispatch(e, effMainsChanged, 0, 1);
  SendEvents(e, {MidiEvent(0x90, 60, 100, 0), MidiEvent(0x90, 67, 127, 5)});
  std::vector<float> fl(kFrames, 0.0f), fr(kFrames, 0.0f);
  float* fout[2] = {fl.data(), fr.data()};
  e->processReplacing(e, nullptr, fout, kFrames);
  SendEvents(e, {MidiEvent(0x80, 60, 0, 0), MidiEvent(0x80, 67, 0, 1)});
  std::vector<double> dl(kFrames, 0.0), dr(kFrames, 0.0);
  double* dout[2] = {dl.data(), dr.data()};
  e->processDoubleReplacing(e, nullptr, dout, kFrames);
  for (int i = 0; i < kFrames; ++i) {
    if (!std::isfinite(fl[i]) || !std::isfinite(fr[i]) || !std::isfinite(dl[i]) || !std::isfinite(dr[i])) {
      c->Fail(std::string("a sample is not finite ") + when + " (frame " + std::to_string(i) + ")");
      return;
    }
  }

  // The same voices through every render path the processor offers: the
  // per-voice and SSE2 paths read the tables with ordinary loads, which the
  // address sanitizer checks; the AVX2 gathers it cannot see.
  const RenderPath paths[] = {RenderPath::kPerVoice, RenderPath::kSse2, RenderPath::kAvx2, RenderPath::kAvx512};
  SendEvents(e, {MidiEvent(0x90, 36, 127, 0), MidiEvent(0x90, 96, 64, 0)});
  for (RenderPath path : paths) {
    if (!RenderPathAvailable(path)) continue;
    SetRenderPath(path);
    e->processDoubleReplacing(e, nullptr, dout, kFrames);
    for (int i = 0; i < kFrames; ++i) {
      if (!std::isfinite(dl[i]) || !std::isfinite(dr[i])) {
        c->Fail(std::string("a sample is not finite ") + when + " on render path " +
                std::to_string(static_cast<int>(path)) + " (frame " + std::to_string(i) + ")");
        break;
      }
    }
  }
  SetRenderPath(RenderPath::kAuto);
  SendEvents(e, {MidiEvent(0xB0, 123, 0, 0)});
}

// Every opcode the interface numbers up to 70, first without a pointer, then
// with a zeroed record large enough for any of them. effClose is left to the
// caller; the speaker arrangement gets a real stereo record so that the
// outputs stay connected.
void SweepOpcodes(AEffect* e) {
  alignas(16) static uint8_t record[16384];
  VstSpeakerArrangement stereo;
  std::memset(&stereo, 0, sizeof(stereo));
  stereo.type = kSpeakerArrStereo;
  stereo.numChannels = 2;
  for (int pass = 0; pass < 2; ++pass) {
    for (VstInt32 op = 0; op <= 70; ++op) {
      if (op == effClose) continue;
      std::memset(record, 0, sizeof(record));
      void* ptr = pass == 0 ? nullptr : record;
      VstIntPtr value = 0;
      if (op == effSetSpeakerArrangement) {
        value = reinterpret_cast<VstIntPtr>(&stereo);
        ptr = &stereo;
      }
      Dispatch(e, op, 0, value, ptr, 0.0f);
    }
  }
}

std::vector<uint8_t> GetChunk(AEffect* e, int index) {
  void* data = nullptr;
  const VstIntPtr n = Dispatch(e, effGetChunk, index, 0, &data);
  if (n <= 0 || !data) return {};
  const uint8_t* p = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(p, p + n);
}

bool SetChunk(AEffect* e, int index, const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> copy = bytes;
  return Dispatch(e, effSetChunk, index, static_cast<VstIntPtr>(copy.size()), copy.data()) == 1;
}

std::string FirstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  size_t at = 0;
  while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
  return "(" + std::to_string(a.size()) + " and " + std::to_string(b.size()) + " bytes, first difference at " +
         std::to_string(at) + ")";
}

// What a bank chunk says about each program: its name, whether it is set,
// and its state: the layout tag and the parameter values. The program index
// and name that a state records after its tag are left out: they tell which
// program was current when the state was written, and loading a bank
// stores every program again while another one is current.
struct ProgramImage {
  std::string name;
  bool initialized = false;
  std::vector<uint8_t> tag, values;
  bool operator==(const ProgramImage& o) const {
    return name == o.name && initialized == o.initialized && tag == o.tag && values == o.values;
  }
};

bool ParseBankChunk(const std::vector<uint8_t>& bytes, int programs, std::vector<ProgramImage>* out) {
  ChunkBuffer chunk;
  chunk.PutBytes(bytes.data(), static_cast<int>(bytes.size()));
  int pos = 0;
  if (ReadChunkVersion(chunk, &pos) != kFrameworkVersion) return false;
  constexpr int kTagAndIndex = 16;
  constexpr int kValuesSize = 8 * kNumParams;
  for (int p = 0; p < programs; ++p) {
    ProgramImage image;
    pos = chunk.GetStr(&image.name, pos);
    pos = chunk.Get(&image.initialized, pos);
    if (pos < 0) return false;
    if (image.initialized) {
      if (pos + kTagAndIndex > chunk.Size()) return false;
      image.tag.assign(chunk.Bytes() + pos, chunk.Bytes() + pos + kStateTagLength);
      std::string stateName;
      pos = chunk.GetStr(&stateName, pos + kTagAndIndex);
      if (pos < 0 || pos + kValuesSize > chunk.Size()) return false;
      image.values.assign(chunk.Bytes() + pos, chunk.Bytes() + pos + kValuesSize);
      pos += kValuesSize;
    }
    out->push_back(image);
  }
  return pos == chunk.Size();
}

// Program chunk: get, set, get gives the same bytes. Bank chunk: the same
// bytes except for the current-program index and name inside each state.
void CheckChunkRoundTrip(AEffect* e, Checker* c, int index) {
  const char* kind = index == 0 ? "bank" : "program";
  const std::vector<uint8_t> first = GetChunk(e, index);
  if (first.empty()) {
    c->Fail(std::string("no ") + kind + " chunk");
    return;
  }
  if (!SetChunk(e, index, first)) {
    c->Fail(std::string("the ") + kind + " chunk just written does not load");
    return;
  }
  const std::vector<uint8_t> second = GetChunk(e, index);
  if (index != 0) {
    if (second != first) c->Fail("the program chunk changes when loaded back " + FirstDifference(first, second));
    return;
  }
  std::vector<ProgramImage> before, after;
  if (!ParseBankChunk(first, e->numPrograms, &before) || !ParseBankChunk(second, e->numPrograms, &after)) {
    c->Fail("a bank chunk does not have the layout of a program list");
    return;
  }
  for (size_t p = 0; p < before.size(); ++p) {
    if (!(before[p] == after[p])) {
      c->Fail("program " + std::to_string(p) + " of the bank chunk changes when loaded back");
      return;
    }
  }
}

ChunkBuffer ToChunk(const uint8_t* data, size_t size) {
  ChunkBuffer c;
  c.PutBytes(data, static_cast<int>(std::min<size_t>(size, 0x7fffffff)));
  return c;
}

// ---- the settings reader -------------------------------------------------------------

void CheckProfileText(const std::string& text, Checker* c) {
  ProfileDoc doc;
  ParseProfile(text, &doc);
  const std::string once = doc.Serialize();
  ProfileDoc again;
  ParseProfile(once, &again);
  if (again.Serialize() != once) c->Fail("a settings text does not read back as it was written");
  if (again.sections.size() != doc.sections.size()) c->Fail("sections change when written and read back");

  // Every entry of the first section of each name is found.
  for (const ProfileSection& s : doc.sections) {
    std::string v;
    const ProfileSection* first = nullptr;
    for (const ProfileSection& t : doc.sections) {
      if (ProfileNamesEqual(t.name, s.name)) {
        first = &t;
        break;
      }
    }
    if (first != &s) continue;
    for (const ProfileLine& l : s.lines) {
      if (l.isEntry && !doc.Lookup(s.name, l.key, &v)) c->Fail("entry " + l.key + " of [" + s.name + "] not found");
    }
  }

  // A value taken from the text, written into a section of the text (or a
  // new one), reads back unchanged.
  std::string value = text.substr(0, std::min<size_t>(text.size(), 40));
  const size_t br = value.find_first_of("\r\n");
  if (br != std::string::npos) value.resize(br);
  const std::string section = doc.sections.empty() ? std::string("MIDI Control") : doc.sections.front().name;
  for (const char* key : {"CC7", "File"}) {
    ProfileDoc edited = doc;
    if (!edited.Set(section, key, value)) continue;
    ProfileDoc read;
    ParseProfile(edited.Serialize(), &read);
    std::string back;
    if (!read.Lookup(section, key, &back) || back != value) {
      c->Fail("value \"" + value + "\" written to " + key + " of [" + section + "] reads back as \"" + back + "\"");
    }
  }
}

bool WriteBytesToFile(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream out(std::filesystem::u8path(path), std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  out.close();
  return !out.fail();
}

void RunProfile(AEffect* e, const uint8_t* data, size_t size, Checker* c) {
  CheckProfileText(std::string(reinterpret_cast<const char*>(data), size), c);
  if (ScratchFolder().empty()) return;

  // The instance reads the text as its settings file, under its lock as a
  // live instance does, then receives every controller.
  const std::string path =
      (std::filesystem::u8path(ScratchFolder()) / "quarvi.ini").make_preferred().u8string();
  if (!WriteBytesToFile(path, data, size)) {
    c->Fail("cannot write the scratch settings file " + path);
    return;
  }
  Quarvi* q = static_cast<Quarvi*>(PlugOf(e));
  q->Lock();
  Config& config = q->Settings();
  config.configPath = path;
  config.Read();
  const bool pathsFit = config.startupBankPath.size() < static_cast<size_t>(Config::kPathCapacity) &&
                        config.programFolder.size() < static_cast<size_t>(Config::kPathCapacity);
  q->Unlock();
  if (!pathsFit) c->Fail("a settings path is longer than its read capacity");

  Dispatch(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
  Dispatch(e, effSetBlockSize, 0, 64);
  Dispatch(e, effMainsChanged, 0, 1);
  std::vector<VstMidiEvent> events;
  events.push_back(MidiEvent(0x90, 64, 90, 0));
  for (int cc = 0; cc < Config::kControllers; ++cc) events.push_back(MidiEvent(0xB0, cc, (cc * 37) & 0x7F, cc % 64));
  SendEvents(e, events);
  std::vector<float> l(64), r(64);
  float* out[2] = {l.data(), r.data()};
  e->processReplacing(e, nullptr, out, 64);
}

// ---- the editor's image loader ---------------------------------------------------------

// A decoded image is a well-formed bitmap whose every pixel can be read,
// decoding is repeatable, and the image draws (with the editor's blend) onto
// a back buffer at an offset that clips it.
void RunPng(const uint8_t* data, size_t size, Checker* c) {
  std::unique_ptr<LICE_MemBitmap> image(LICE_LoadPNGFromMemory(data, size));
  if (!image) return;
  const int w = image->GetWidth(), h = image->GetHeight(), span = image->GetRowSpan();
  if (w <= 0 || h <= 0 || !image->GetBits() || span < w || span % 4 != 0 ||
      reinterpret_cast<uintptr_t>(image->GetBits()) % 64 != 0) {
    c->Fail("a decoded image is not a well-formed bitmap");
    return;
  }
  std::unique_ptr<LICE_MemBitmap> again(LICE_LoadPNGFromMemory(data, size));
  if (!again || again->GetWidth() != w || again->GetHeight() != h) {
    c->Fail("the same image decodes differently the second time");
    return;
  }
  for (int y = 0; y < h; ++y) {
    if (std::memcmp(image->GetBits() + static_cast<size_t>(y) * span, again->GetBits() + static_cast<size_t>(y) * span,
                    static_cast<size_t>(w) * sizeof(LICE_pixel)) != 0) {
      c->Fail("the same image decodes to other pixels the second time");
      return;
    }
  }
  LICE_SysBitmap back(64, 48);
  LICE_Blit(&back, image.get(), 40 - w / 2, 30 - h / 2, nullptr, 1.0f, LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA);
  LICE_Blit(&back, image.get(), -3, -5, nullptr, 0.5f, LICE_BLIT_MODE_COPY);
}

// ---- the MIDI file reader --------------------------------------------------------------

void RunMidiFile(const uint8_t* data, size_t size, Checker* c) {
  Song song;
  std::string error;
  if (!ParseSmf(data, size, &song, &error)) {
    if (error.empty() || error.find('\n') != std::string::npos) c->Fail("a refused MIDI file gives no one-line reason");
    return;
  }
  for (size_t i = 1; i < song.events.size(); ++i) {
    if (song.events[i].tick < song.events[i - 1].tick) c->Fail("MIDI events are not in tick order");
  }
  if (!song.events.empty() && song.endTick < song.events.back().tick) c->Fail("the song ends before its last event");
  const TempoMap map(song);
  double last = 0.0;
  for (const SmfEvent& ev : song.events) {
    const double s = map.SecondsAt(ev.tick);
    if (!(s >= last)) {
      c->Fail("song time runs backwards or is not a number");
      break;
    }
    last = s;
  }
  const double end = map.SecondsAt(song.endTick);
  if (std::isnan(end)) c->Fail("the song length is not a number");
  const double q = map.QuartersAt(std::isfinite(end) ? end : 0.0);
  if (std::isnan(q)) c->Fail("song position in quarter notes is not a number");
  int num = 0, den = 0;
  const double bar = map.BarStartAt(std::isfinite(q) ? q : 0.0, &num, &den);
  if (std::isnan(bar) || num <= 0 || den <= 0) c->Fail("no usable bar or time signature");

  // The first quarter second of the song goes through the renderer of
  // quarvi-render into an instance linked into this program.
  constexpr double kSeconds = 0.25;
  Song head = song;
  head.events.clear();
  head.endTick = 0;
  for (const SmfEvent& ev : song.events) {
    if (map.SecondsAt(ev.tick) > kSeconds) break;
    head.events.push_back(ev);
    head.endTick = ev.tick;
  }
  VstHost host;
  if (!host.Create(&VSTPluginMain, &error)) {
    c->Fail("no instance for the MIDI file: " + error);
    return;
  }
  RenderOptions options;
  options.sampleRate = 8000.0;
  options.blockSize = 128;
  options.tailSeconds = 0.05;
  options.maxSeconds = 1.0;
  host.Start(options.sampleRate, options.blockSize);
  RenderStats stats;
  bool finite = true;
  const bool rendered = RenderSong(
      host, head, options,
      [&finite](const float* interleaved, int frames) {
        for (int i = 0; i < 2 * frames; ++i) finite = finite && std::isfinite(interleaved[i]);
        return true;
      },
      [](double) {}, &stats, &error);
  if (!rendered) c->Fail("the head of a readable song does not render: " + error);
  if (!finite) c->Fail("the song renders samples that are not finite");
  std::string why;
  if (!CheckInstance(host.Effect(), &why)) c->Fail(why);
  host.Close();
}

}  // namespace

void SendEvents(AEffect* e, const std::vector<VstMidiEvent>& midi) {
  // The record is allocated as long as the list (it declares two slots).
  std::vector<VstEvent*> pointers;
  for (const VstMidiEvent& m : midi) pointers.push_back(reinterpret_cast<VstEvent*>(const_cast<VstMidiEvent*>(&m)));
  const size_t head = offsetof(VstEvents, events);
  std::vector<VstIntPtr> storage((head + (pointers.size() + 2) * sizeof(VstEvent*)) / sizeof(VstIntPtr) + 1, 0);
  uint8_t* bytes = reinterpret_cast<uint8_t*>(storage.data());
  VstEvents* list = reinterpret_cast<VstEvents*>(bytes);
  list->numEvents = static_cast<VstInt32>(pointers.size());
  std::memcpy(bytes + head, pointers.data(), pointers.size() * sizeof(VstEvent*));
  Dispatch(e, effProcessEvents, 0, 0, list);
}

VstMidiEvent MidiEvent(int status, int d1, int d2, int offset) {
  VstMidiEvent m;
  std::memset(&m, 0, sizeof(m));
  m.type = kVstMidiType;
  m.byteSize = sizeof(VstMidiEvent);
  m.deltaFrames = offset;
  m.midiData[0] = static_cast<char>(status);
  m.midiData[1] = static_cast<char>(d1);
  m.midiData[2] = static_cast<char>(d2);
  return m;
}

const char* LoaderTargetName(LoaderTarget target) {
  const int i = static_cast<int>(target);
  return i >= 0 && i < kLoaderTargetCount ? kTargetNames[i] : "";
}

bool LoaderTargetFromName(const std::string& name, LoaderTarget* target) {
  for (int i = 0; i < kLoaderTargetCount; ++i) {
    if (name == kTargetNames[i]) {
      *target = static_cast<LoaderTarget>(i);
      return true;
    }
  }
  return false;
}

void SetLoaderScratchFolder(const std::string& folder) { ScratchFolder() = folder; }

void SetLoaderInstanceReuse(bool reuse) { gReuse = reuse; }

namespace {

// The kept instance and what it was like when new.
struct KeptInstance {
  AEffect* effect = nullptr;
  std::vector<IPlugPreset> presets;
  Config settings;
};

KeptInstance& Kept() {
  static KeptInstance kept;
  return kept;
}

AEffect* AcquireInstance() {
  if (!gReuse) return CreateCheckedInstance();
  KeptInstance& k = Kept();
  if (!k.effect) {
    k.effect = CreateCheckedInstance();
    if (!k.effect) return nullptr;
    Quarvi* q = static_cast<Quarvi*>(PlugOf(k.effect));
    for (int i = 0; i < q->NPresets(); ++i) k.presets.push_back(*q->GetPreset(i));
    k.settings = q->Settings();
    return k.effect;
  }
  AEffect* e = k.effect;
  Quarvi* q = static_cast<Quarvi*>(PlugOf(e));
  Dispatch(e, effMainsChanged, 0, 0);
  q->Lock();
  for (int i = 0; i < q->NPresets(); ++i) *q->GetPreset(i) = k.presets[static_cast<size_t>(i)];
  q->Settings() = k.settings;
  q->LoadProgramSlot(0);
  q->Unlock();
  // A sample rate change re-initialises every voice.
  Dispatch(e, effSetBlockSize, 0, 1024);
  Dispatch(e, effSetSampleRate, 0, 0, nullptr, 22050.0f);
  Dispatch(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
  return e;
}

void ReleaseInstance(AEffect* e) {
  if (!gReuse) CloseCheckedInstance(e);
}

}  // namespace

AEffect* CreateCheckedInstance() { return VSTPluginMain(&CheckHost); }

void CloseCheckedInstance(AEffect* effect) {
  if (effect) Dispatch(effect, effClose);
}

bool CheckInstance(AEffect* e, std::string* failure) {
  Checker c{failure};
  if (!e || !e->object) {
    c.Fail("no instance");
    return false;
  }
  CheckParameters(e, &c);
  CheckTexts(e, &c);
  CheckRenders(e, &c, "after the load");
  SweepOpcodes(e);
  CheckParameters(e, &c);
  CheckRenders(e, &c, "after every opcode");
  CheckChunkRoundTrip(e, &c, 0);
  CheckChunkRoundTrip(e, &c, 1);
  CheckParameters(e, &c);
  return c.ok;
}

bool RunLoaderInput(LoaderTarget target, const uint8_t* data, size_t size, std::string* failure) {
  Checker c{failure};
  static const uint8_t kNothing = 0;
  if (!data) {
    data = &kNothing;
    size = 0;
  }
  if (target == LoaderTarget::MidiFile) {
    RunMidiFile(data, size, &c);
    return c.ok;
  }
  if (target == LoaderTarget::Png) {
    RunPng(data, size, &c);
    return c.ok;
  }
  AEffect* e = AcquireInstance();
  if (!e) {
    c.Fail("VSTPluginMain made no instance");
    return false;
  }
  IPlugVST* plug = PlugOf(e);
  switch (target) {
    case LoaderTarget::State: {
      const int pos = size >= 2 ? data[0] | (data[1] << 8) : 0;
      const ChunkBuffer chunk = size >= 2 ? ToChunk(data + 2, size - 2) : ChunkBuffer();
      plug->Lock();
      const int end = plug->UnserializeState(chunk, pos);
      plug->Unlock();
      if (end != -1 && (end <= pos || end > chunk.Size())) {
        c.Fail("the state reader returned position " + std::to_string(end) + " for a start of " +
               std::to_string(pos) + " in " + std::to_string(chunk.Size()) + " bytes");
      }
      break;
    }
    case LoaderTarget::Presets: {
      const ChunkBuffer chunk = ToChunk(data, size);
      plug->Lock();
      const int end = plug->UnserializePresets(chunk, 0);
      plug->Unlock();
      if (end < -1 || end > chunk.Size()) {
        c.Fail("the program list reader returned position " + std::to_string(end) + " in " +
               std::to_string(chunk.Size()) + " bytes");
      }
      break;
    }
    case LoaderTarget::ProgramFile:
      plug->LoadProgramFromMemory(ToChunk(data, size));
      break;
    case LoaderTarget::BankFile:
      plug->LoadBankFromFile(ToChunk(data, size));
      break;
    case LoaderTarget::BankChunk:
    case LoaderTarget::ProgramChunk: {
      // The host's buffer: exactly the input, no byte more.
      std::vector<uint8_t> copy(data, data + size);
      const int index = target == LoaderTarget::BankChunk ? 0 : 1;
      uint8_t none = 0;
      Dispatch(e, effSetChunk, index, static_cast<VstIntPtr>(size), copy.empty() ? &none : copy.data());
      break;
    }
    case LoaderTarget::Profile:
      RunProfile(e, data, size, &c);
      break;
    case LoaderTarget::MidiFile:
    case LoaderTarget::Png:
      break;
  }
  std::string why;
  if (!CheckInstance(e, &why)) c.Fail(why);
  ReleaseInstance(e);
  return c.ok;
}

std::vector<std::string> FilesInFolder(const std::string& folder) {
  std::vector<std::string> files;
  std::error_code ec;
  const std::filesystem::path dir = std::filesystem::u8path(folder);
  if (!std::filesystem::is_directory(dir, ec)) return files;
  for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file(ec)) files.push_back(it->path().u8string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>* bytes) {
  std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}
