// quarvi-render: a command-line VST2 host that renders a MIDI file (or a
// built-in demo phrase) through a VST2 instrument into a WAV file.
//
// The plug-in is loaded the way any host loads it (dlopen, VSTPluginMain or
// main, then only the effect record), so what this renders is what a DAW
// would hear. WAV output is 24-bit PCM by default, which every player reads;
// --float writes 32-bit float, which keeps anything beyond full scale
// instead of clipping it.

#include <sndfile.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "DemoSong.h"
#include "Render.h"
#include "Smf.h"
#include "VstHost.h"

namespace {

const char* const kUsage =
    "usage: quarvi-render [options] [song.mid]\n"
    "\n"
    "Renders a Standard MIDI File (format 0 or 1) through a VST2 instrument into\n"
    "a WAV file. Without a MIDI file a short built-in demo phrase is played.\n"
    "\n"
    "options:\n"
    "  -o, --output FILE       WAV file to write (default: the MIDI file's name\n"
    "                          with .wav, or demo.wav for the demo phrase)\n"
    "  -p, --plugin FILE       plug-in library (default: the Quarvi.so of this\n"
    "                          build, else build/linux/Quarvi.so)\n"
    "  -P, --program N|NAME    program to play, by index or by name\n"
    "      --param NAME=VALUE  set a parameter from its value text, e.g.\n"
    "                          --param \"Volume=0.7\" (repeatable; applied after\n"
    "                          the program is chosen)\n"
    "  -r, --rate HZ           sample rate (default 44100)\n"
    "  -b, --block FRAMES      block size (default 512)\n"
    "      --tail SECONDS      time rendered after the last event (default 2)\n"
    "      --float             write 32-bit float samples (default 24-bit PCM)\n"
    "      --progress          show progress on stderr (default: only on a terminal)\n"
    "      --no-progress       never show progress\n"
    "      --list-programs     print the plug-in's programs and exit\n"
    "      --list-params       print the plug-in's parameters and exit\n"
    "  -h, --help              this text\n";

int Fail(const std::string& message) {
  std::fprintf(stderr, "quarvi-render: %s\n", message.c_str());
  return 1;
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "quarvi-render: %s (see --help)\n", message.c_str());
  return 2;
}

bool ParseNumber(const std::string& text, double* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(text.c_str(), &end);
  if (errno || *end || !std::isfinite(v)) return false;
  *out = v;
  return true;
}

bool ParseIndex(const std::string& text, int* out) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  *out = std::atoi(text.c_str());
  return true;
}

std::string DefaultPlugin() {
#ifdef QUARVI_BUILT_PLUGIN
  if (FILE* f = std::fopen(QUARVI_BUILT_PLUGIN, "rb")) {
    std::fclose(f);
    return QUARVI_BUILT_PLUGIN;
  }
#endif
  return "build/linux/Quarvi.so";
}

std::string WavNameFor(const std::string& midiPath) {
  const size_t slash = midiPath.find_last_of('/');
  std::string base = slash == std::string::npos ? midiPath : midiPath.substr(slash + 1);
  const size_t dot = base.find_last_of('.');
  if (dot != std::string::npos && dot > 0) base = base.substr(0, dot);
  return base + ".wav";
}

bool ReadFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot open MIDI file '" + path + "': " + std::strerror(errno);
    return false;
  }
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    *error = "cannot read MIDI file '" + path + "'";
    return false;
  }
  return true;
}

std::string Db(double level) {
  if (!(level > 0.0)) return "-inf dBFS";
  char buf[32];
  std::snprintf(buf, sizeof(buf), "%.2f dBFS", ToDbfs(level));
  return buf;
}

struct Options {
  std::string midiPath;
  std::string output;
  std::string plugin;
  std::string program;
  std::vector<std::string> params;
  double rate = 44100.0;
  int block = 512;
  double tail = 2.0;
  bool floatOutput = false;
  int progress = -1;  // -1: when stderr is a terminal
  bool listPrograms = false;
  bool listParams = false;
};

// Returns 0 to go on, otherwise the exit code (-1: help printed, exit 0).
int ParseArgs(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) return false;
      *out = argv[++i];
      return true;
    };
    std::string v;
    if (a == "-h" || a == "--help") {
      std::fputs(kUsage, stdout);
      return -1;
    } else if (a == "-o" || a == "--output") {
      if (!value(&o->output)) return UsageError(a + " needs a file name");
    } else if (a == "-p" || a == "--plugin") {
      if (!value(&o->plugin)) return UsageError(a + " needs a file name");
    } else if (a == "-P" || a == "--program") {
      if (!value(&o->program)) return UsageError(a + " needs an index or a name");
    } else if (a == "--param") {
      if (!value(&v)) return UsageError("--param needs NAME=VALUE");
      if (v.find('=') == std::string::npos || v[0] == '=') return UsageError("--param needs NAME=VALUE, not '" + v + "'");
      o->params.push_back(v);
    } else if (a == "-r" || a == "--rate") {
      if (!value(&v) || !ParseNumber(v, &o->rate) || o->rate < 8000.0 || o->rate > 384000.0) {
        return UsageError("the sample rate must be a number from 8000 to 384000");
      }
    } else if (a == "-b" || a == "--block") {
      if (!value(&v) || !ParseIndex(v, &o->block) || o->block < 1 || o->block > 65536) {
        return UsageError("the block size must be a whole number from 1 to 65536");
      }
    } else if (a == "--tail") {
      if (!value(&v) || !ParseNumber(v, &o->tail) || o->tail < 0.0 || o->tail > 60.0) {
        return UsageError("the tail must be 0 to 60 seconds");
      }
    } else if (a == "--float") {
      o->floatOutput = true;
    } else if (a == "--progress") {
      o->progress = 1;
    } else if (a == "--no-progress") {
      o->progress = 0;
    } else if (a == "--list-programs") {
      o->listPrograms = true;
    } else if (a == "--list-params") {
      o->listParams = true;
    } else if (!a.empty() && a[0] == '-' && a != "-") {
      return UsageError("unknown option '" + a + "'");
    } else if (o->midiPath.empty()) {
      o->midiPath = a;
    } else {
      return UsageError("only one MIDI file can be rendered at a time");
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  const int parsed = ParseArgs(argc, argv, &opt);
  if (parsed == -1) return 0;
  if (parsed) return parsed;

  // The song first: a bad file is reported before anything is loaded.
  Song song;
  std::string error;
  const bool demo = opt.midiPath.empty();
  if (demo) {
    song = DemoSong();
  } else if (!opt.listPrograms && !opt.listParams) {
    std::vector<uint8_t> bytes;
    if (!ReadFile(opt.midiPath, &bytes, &error)) return Fail(error);
    if (!ParseSmf(bytes.data(), bytes.size(), &song, &error)) {
      return Fail("'" + opt.midiPath + "' is not a usable MIDI file: " + error);
    }
  }

  VstHost host;
  const std::string pluginPath = opt.plugin.empty() ? DefaultPlugin() : opt.plugin;
  if (!host.Load(pluginPath, &error)) return Fail(error);
  if (!host.IsInstrument()) {
    return Fail("'" + pluginPath + "' is a VST2 plug-in but not an instrument");
  }
  host.Start(opt.rate, opt.block);

  if (opt.listPrograms || opt.listParams) {
    if (opt.listPrograms) {
      for (int i = 0; i < host.NumPrograms(); ++i) std::printf("%2d  %s\n", i, host.ProgramName(i).c_str());
    }
    if (opt.listParams) {
      for (int i = 0; i < host.NumParams(); ++i) {
        std::printf("%3d  %-24s %s\n", i, host.ParamName(i).c_str(), host.ParamDisplay(i).c_str());
      }
    }
    return 0;
  }

  if (!opt.program.empty()) {
    int index = -1;
    if (ParseIndex(opt.program, &index)) {
      if (index >= host.NumPrograms()) {
        return Fail("program " + opt.program + " does not exist (the plug-in has " +
                    std::to_string(host.NumPrograms()) + ")");
      }
    } else {
      index = host.FindProgram(opt.program);
      if (index < 0) return Fail("no program named '" + opt.program + "' (see --list-programs)");
    }
    host.SetProgram(index);
  }

  for (const std::string& p : opt.params) {
    const size_t eq = p.find('=');
    const std::string name = p.substr(0, eq), value = p.substr(eq + 1);
    const int index = host.FindParam(name);
    if (index < 0) return Fail("no parameter named '" + name + "' (see --list-params)");
    if (!host.SetParamFromText(index, value)) {
      return Fail("parameter '" + name + "' does not accept the value '" + value + "'");
    }
  }

  const int programIndex = host.CurrentProgram();
  const std::string programName = host.ProgramName(programIndex);

  const std::string output = !opt.output.empty() ? opt.output : demo ? "demo.wav" : WavNameFor(opt.midiPath);
  SF_INFO info;
  std::memset(&info, 0, sizeof(info));
  info.samplerate = static_cast<int>(std::lround(opt.rate));
  info.channels = 2;
  info.format = SF_FORMAT_WAV | (opt.floatOutput ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_24);
  SNDFILE* wav = sf_open(output.c_str(), SFM_WRITE, &info);
  if (!wav) return Fail("cannot write '" + output + "': " + sf_strerror(nullptr));
  // 24-bit output: samples beyond full scale are clipped, not wrapped.
  if (!opt.floatOutput) sf_command(wav, SFC_SET_CLIPPING, nullptr, SF_TRUE);

  const bool showProgress = opt.progress == 1 || (opt.progress == -1 && isatty(STDERR_FILENO));
  int lastPercent = -1;
  RenderOptions ro;
  ro.sampleRate = opt.rate;
  ro.blockSize = opt.block;
  ro.tailSeconds = opt.tail;
  RenderStats stats;
  const bool ok = RenderSong(
      host, song, ro,
      [&](const float* frames, int n) { return sf_writef_float(wav, frames, n) == n; },
      [&](double done) {
        if (!showProgress) return;
        const int percent = static_cast<int>(done * 100.0);
        if (percent != lastPercent) {
          lastPercent = percent;
          std::fprintf(stderr, "\rrendering %3d%%", percent);
          if (percent == 100) std::fputc('\n', stderr);
          std::fflush(stderr);
        }
      },
      &stats, &error);
  const bool closed = sf_close(wav) == 0;
  host.Close();
  if (!ok) return Fail(error);
  if (!closed) return Fail("cannot finish writing '" + output + "'");

  std::printf("wrote %s: %.2f s, %d Hz, stereo, %s; %s, program %d \"%s\"\n", output.c_str(),
              static_cast<double>(stats.frames) / opt.rate, info.samplerate,
              opt.floatOutput ? "32-bit float" : "24-bit PCM", demo ? "demo phrase" : opt.midiPath.c_str(),
              programIndex, programName.c_str());
  std::printf("peak %s (L %s, R %s), RMS %s, %s\n", Db(stats.Peak()).c_str(), Db(stats.peak[0]).c_str(),
              Db(stats.peak[1]).c_str(), Db(stats.Rms()).c_str(),
              stats.samplesOverFullScale == 0
                  ? "no clipping"
                  : (std::to_string(stats.samplesOverFullScale) +
                     (opt.floatOutput ? " samples beyond full scale (kept in the float file)"
                                      : " samples clipped at full scale"))
                        .c_str());
  return 0;
}
