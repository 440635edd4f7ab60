// Writes the seed corpus of the fuzz targets: valid inputs of every loader,
// each made by the plug-in's own writers (or, for the layouts and formats it
// only reads, assembled from its parameter values; images of every PNG
// layout written with libpng, and the editor's own images).
//
//   quarvi-fuzz-seeds <folder>     writes <folder>/<target>/<name>
//
// fuzz/make-corpus.sh runs it into fuzz/corpus/. The output depends only on
// the sources (factory bank, parameter table, demo phrase, images), so running it
// again gives the same files.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ChunkBuffer.h"
#include "Config.h"
#include "DemoSong.h"
#include "LoaderChecks.h"
#include "PngSamples.h"
#include "Quarvi.h"
#include "Smf.h"
#include "StateImage.h"
#include "platform/ProfileDoc.h"

namespace fs = std::filesystem;

namespace {

fs::path gRoot;
int gWritten = 0;
bool gOk = true;

void Write(const char* target, const char* name, const std::vector<uint8_t>& bytes) {
  const fs::path dir = gRoot / target;
  std::error_code ec;
  fs::create_directories(dir, ec);
  std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (out.fail()) {
    std::fprintf(stderr, "cannot write %s\n", (dir / name).string().c_str());
    gOk = false;
  }
  ++gWritten;
}

void Write(const char* target, const char* name, const ChunkBuffer& c) {
  Write(target, name, std::vector<uint8_t>(c.Bytes(), c.Bytes() + c.Size()));
}

void Write(const char* target, const char* name, const std::string& s) {
  Write(target, name, std::vector<uint8_t>(s.begin(), s.end()));
}

std::vector<uint8_t> WithStart(uint16_t pos, const ChunkBuffer& c) {
  std::vector<uint8_t> v = {static_cast<uint8_t>(pos & 0xFF), static_cast<uint8_t>(pos >> 8)};
  v.insert(v.end(), c.Bytes(), c.Bytes() + c.Size());
  return v;
}

void PutBE(std::vector<uint8_t>* v, uint32_t x, int bytes = 4) {
  for (int i = bytes - 1; i >= 0; --i) v->push_back(static_cast<uint8_t>(x >> (8 * i)));
}

void PutTag(std::vector<uint8_t>* v, const char* tag) { v->insert(v->end(), tag, tag + 4); }

void PutFloatBE(std::vector<uint8_t>* v, float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  PutBE(v, bits);
}

// A parameter-list program record (the 56-byte header, then the normalized
// values), as the published program format lays it out.
void PutParamProgram(std::vector<uint8_t>* v, Quarvi* q, const char* name) {
  PutTag(v, "CcnK");
  PutBE(v, 48 + 4 * q->NParams());
  PutTag(v, "FxCk");
  PutBE(v, 1);
  PutBE(v, static_cast<uint32_t>(q->GetUniqueID()));
  PutBE(v, static_cast<uint32_t>(q->GetEffectVersion(true)));
  PutBE(v, static_cast<uint32_t>(q->NParams()));
  char field[28] = {0};
  std::strncpy(field, name, sizeof(field) - 1);
  v->insert(v->end(), field, field + sizeof(field));
  for (int i = 0; i < q->NParams(); ++i) PutFloatBE(v, static_cast<float>(q->GetParam(i)->ToNormalized()));
}

// ---- MIDI files ---------------------------------------------------------------

void PutVarLen(std::vector<uint8_t>* v, uint64_t x) {
  uint8_t bytes[5];
  int n = 0;
  bytes[n++] = static_cast<uint8_t>(x & 0x7F);
  while ((x >>= 7) && n < 4) bytes[n++] = static_cast<uint8_t>(0x80 | (x & 0x7F));
  while (n > 0) v->push_back(bytes[--n]);
}

void PutTrack(std::vector<uint8_t>* file, const std::vector<uint8_t>& body) {
  PutTag(file, "MTrk");
  PutBE(file, static_cast<uint32_t>(body.size()));
  file->insert(file->end(), body.begin(), body.end());
}

void PutHeader(std::vector<uint8_t>* file, int format, int tracks, uint16_t division) {
  PutTag(file, "MThd");
  PutBE(file, 6);
  PutBE(file, static_cast<uint32_t>(format), 2);
  PutBE(file, static_cast<uint32_t>(tracks), 2);
  PutBE(file, division, 2);
}

// The song's channel and system-exclusive events as one track, with running
// status where the status repeats.
std::vector<uint8_t> EventTrack(const Song& song) {
  std::vector<uint8_t> t;
  uint64_t tick = 0;
  uint8_t running = 0;
  for (const SmfEvent& e : song.events) {
    PutVarLen(&t, e.tick - tick);
    tick = e.tick;
    if (e.status == 0xF0) {
      t.push_back(0xF0);
      PutVarLen(&t, e.sysex.size() - 1);
      t.insert(t.end(), e.sysex.begin() + 1, e.sysex.end());
      running = 0;
      continue;
    }
    if (e.status != running) t.push_back(e.status);
    running = e.status;
    t.push_back(e.data1);
    if ((e.status & 0xF0) != 0xC0 && (e.status & 0xF0) != 0xD0) t.push_back(e.data2);
  }
  PutVarLen(&t, song.endTick > tick ? song.endTick - tick : 0);
  t.insert(t.end(), {0xFF, 0x2F, 0x00});
  return t;
}

std::vector<uint8_t> MetaTrack(const Song& song) {
  std::vector<uint8_t> t;
  uint64_t tick = 0;
  for (const SmfTempo& m : song.tempos) {
    PutVarLen(&t, m.tick - tick);
    tick = m.tick;
    t.insert(t.end(), {0xFF, 0x51, 0x03});
    PutBE(&t, m.microsPerQuarter, 3);
  }
  for (const SmfTimeSig& s : song.timeSigs) {
    if (s.tick < tick) continue;
    PutVarLen(&t, s.tick - tick);
    tick = s.tick;
    int log2 = 0;
    while ((1 << log2) < s.denominator) ++log2;
    t.insert(t.end(), {0xFF, 0x58, 0x04, static_cast<uint8_t>(s.numerator), static_cast<uint8_t>(log2), 24, 8});
  }
  t.insert(t.end(), {0x00, 0xFF, 0x2F, 0x00});
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  gRoot = fs::path(argv[1]);

  // No settings folder: the instance starts from the factory bank and
  // touches no file.
  static ConfigLocations none;
  OverrideConfigLocations(&none);

  AEffect* effect = CreateCheckedInstance();
  if (!effect) {
    std::fprintf(stderr, "no instance\n");
    return 1;
  }
  Quarvi* q = static_cast<Quarvi*>(static_cast<IPlugVST*>(effect->object));
  const int n = q->NParams();
  std::vector<double> values(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) values[i] = q->GetParam(i)->value;

  // ---- state: the four layouts the reader knows ----------------------------------
  {
    ChunkBuffer state;
    q->SerializeState(&state);
    Write("state", "current", WithStart(0, state));
    ChunkBuffer program;
    InitChunkWithVersion(&program);
    q->SerializeState(&program);
    Write("state", "current-after-header", WithStart(8, program));

    ChunkBuffer v201;
    WriteStateImage(&v201, kStateTag201, 0, q->GetPresetName(0), values.data(), kValuesLayout201);
    Write("state", "layout-2.0.1", WithStart(0, v201));

    ChunkBuffer layout2;
    for (int i = 0; i < kValuesLayout1; ++i) layout2.Put(values[i]);
    layout2.PutBytes(kLayout2Marker, kLayout2MarkerLength);
    for (int i = kValuesLayout1; i < n; ++i) layout2.Put(values[i]);
    Write("state", "layout-2", WithStart(0, layout2));

    ChunkBuffer layout1;
    for (int i = 0; i < kValuesLayout1; ++i) layout1.Put(values[i]);
    Write("state", "layout-1", WithStart(0, layout1));
  }

  // ---- program list and chunks --------------------------------------------------
  {
    ChunkBuffer presets;
    q->SerializePresets(&presets);
    Write("presets", "bank", presets);
    // The first three programs only: a list that ends early.
    ChunkBuffer head;
    int pos = 0;
    for (int p = 0; p < 3 && pos >= 0; ++p) {
      std::string name;
      pos = presets.GetStr(&name, pos);
      bool init = false;
      pos = presets.Get(&init, pos);
      if (init) pos += static_cast<int>(q->GetPreset(p)->chunk.Size());
    }
    head.PutBytes(presets.Bytes(), pos);
    Write("presets", "first-three", head);

    void* data = nullptr;
    VstIntPtr len = effect->dispatcher(effect, effGetChunk, 0, 0, &data, 0.0f);
    Write("chunk-bank", "bank", std::vector<uint8_t>(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + len));
    // Hosts that pass program chunks as banks, and banks without the header.
    len = effect->dispatcher(effect, effGetChunk, 1, 0, &data, 0.0f);
    std::vector<uint8_t> programChunk(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + len);
    Write("chunk-bank", "program", programChunk);
    Write("chunk-program", "program", programChunk);
    ChunkBuffer raw;
    q->SerializeState(&raw);
    Write("chunk-program", "state-without-header", raw);
    Write("chunk-bank", "list-without-header", head);
  }

  // ---- program and bank files -----------------------------------------------------------
  {
    ChunkBuffer fxp;
    q->BuildProgramFile(&fxp);
    Write("fxp", "chunk.fxp", fxp);
    std::vector<uint8_t> params;
    PutParamProgram(&params, q, q->GetPresetName(q->GetCurrentPresetIdx()));
    Write("fxp", "params.fxp", params);

    ChunkBuffer fxb;
    q->BuildBankFile(&fxb);
    Write("fxb", "chunk.fxb", fxb);
    // A parameter-list bank of two programs.
    std::vector<uint8_t> bank;
    PutTag(&bank, "CcnK");
    PutBE(&bank, 0);
    PutTag(&bank, "FxBk");
    PutBE(&bank, 2);
    PutBE(&bank, static_cast<uint32_t>(q->GetUniqueID()));
    PutBE(&bank, static_cast<uint32_t>(q->GetEffectVersion(true)));
    PutBE(&bank, 2);
    PutBE(&bank, 1);
    bank.resize(bank.size() + 124, 0);
    PutParamProgram(&bank, q, q->GetPresetName(0));
    PutParamProgram(&bank, q, q->GetPresetName(1));
    const uint32_t total = static_cast<uint32_t>(bank.size() - 8);
    for (int i = 0; i < 4; ++i) bank[4 + i] = static_cast<uint8_t>(total >> (8 * (3 - i)));
    Write("fxb", "params.fxb", bank);
  }

  // ---- settings: what the settings writers leave in a file -----------------------------
  {
    const fs::path dir = fs::temp_directory_path() / "quarvi-fuzz-seeds-settings";
    std::error_code ec;
    fs::remove_all(dir, ec);
    fs::create_directories(dir, ec);
    Config config;
    config.configPath = (dir / "quarvi.ini").string();
    config.controllerMap[1] = 4;
    config.controllerMap[7] = 0;
    config.controllerMap[74] = 20;
    config.midiThru = true;
    config.SetStartupBank("/home/user/Banks/My Bank.fxb");
    config.WriteProgramFolder("/home/user/Documents/Quarvi Programs");
    config.WriteMidiSettings(MidiSettings::All);
    std::ifstream in(config.configPath, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Write("profile", "written.ini", text);
    fs::remove_all(dir, ec);

    // The writer's own escapes, with Windows line breaks and a UTF-8 mark.
    ProfileDoc doc;
    ParseProfile(text, &doc);
    doc.lineBreak = "\r\n";
    doc.byteOrderMark = true;
    doc.Set("Global", "Path to Program Files", "  C:\\Users\\Me\\Programs  ");
    doc.Set("MIDI Global", "Ignore Program Change", "'TRUE'");
    doc.Set("MIDI Control", "CC10", "abc");
    Write("profile", "escaped.ini", doc.Serialize());
  }

  // ---- MIDI files: the demo phrase, format 1 and format 0 ---------------------------------
  {
    Song demo = DemoSong();
    std::vector<uint8_t> f1;
    PutHeader(&f1, 1, 2, static_cast<uint16_t>(demo.ticksPerQuarter));
    if (demo.tempos.empty()) demo.tempos.push_back({0, 416667});
    PutTrack(&f1, MetaTrack(demo));
    PutTrack(&f1, EventTrack(demo));
    Write("smf", "demo-format1.mid", f1);

    // The first bar, one track, with a system-exclusive message, a program
    // change and pitch bend, at a time-code division of 25 frames of 40 ticks.
    Song bar;
    bar.events.push_back(SmfEvent{0, 0, 0xF0, 0, 0, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}});
    bar.events.push_back(SmfEvent{0, 0, 0xC0, 3, 0, {}});
    for (const SmfEvent& e : demo.events) {
      if (e.tick >= static_cast<uint64_t>(demo.ticksPerQuarter) * 4 || e.status == 0xF0) continue;
      SmfEvent c = e;
      c.tick = e.tick * 40 / static_cast<uint64_t>(demo.ticksPerQuarter);
      bar.events.push_back(c);
    }
    bar.events.push_back(SmfEvent{40, 0, 0xE0, 0x00, 0x50, {}});
    bar.endTick = 160;
    std::stable_sort(bar.events.begin(), bar.events.end(),
                     [](const SmfEvent& a, const SmfEvent& b) { return a.tick < b.tick; });
    std::vector<uint8_t> f0;
    PutHeader(&f0, 0, 1, static_cast<uint16_t>((0x100 - 25) << 8 | 40));
    PutTrack(&f0, EventTrack(bar));
    Write("smf", "bar-timecode.mid", f0);
  }

  // ---- editor images: every PNG layout, then the editor's own images -----------------------
  {
    const std::vector<PngSample> samples = MakePngSamples();
    if (samples.empty()) {
      std::fprintf(stderr, "libpng wrote no sample images\n");
      gOk = false;
    }
    for (const PngSample& sample : samples) Write("png", (sample.name + ".png").c_str(), sample.file);
    std::vector<fs::path> images;
    std::error_code ec;
    for (fs::directory_iterator it(fs::path(QUARVI_SOURCE_DIR) / "resources" / "img", ec), end; !ec && it != end;
         it.increment(ec)) {
      if (it->path().extension() == ".png") images.push_back(it->path());
    }
    std::sort(images.begin(), images.end());
    for (const fs::path& image : images) {
      std::ifstream in(image, std::ios::binary);
      const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      Write("png", ("editor-" + image.filename().string()).c_str(), bytes);
    }
  }

  CloseCheckedInstance(effect);
  std::printf("%d seed files written under %s\n", gWritten, gRoot.string().c_str());
  return gOk ? 0 : 1;
}
