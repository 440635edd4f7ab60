// quarvi-picture: draws the editor of an instance into a PNG file, without a
// window. The instance is made the way a host makes it; its editor is built
// into the headless window layer and draws exactly as in a window: the
// window opens, the host's idle call runs the instrument's editor idle, the
// timer ticks draw what is dirty, and a full paint shows the result.
//
// The instance starts from the factory bank: the user's settings (a chosen
// startup bank) are not read, so a picture depends only on its arguments.

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Config.h"
#include "EditorLayout.h"
#include "IControl.h"
#include "IGraphicsHeadless.h"
#include "ParamTable.h"
#include "Quarvi.h"
#include "lice/lice.h"
#include "vst2.h"

extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback host);

namespace {

const char* const kUsage =
    "usage: quarvi-picture [options] --out FILE.png\n"
    "\n"
    "Draws the editor of a Quarvi instance (factory bank) into a PNG file.\n"
    "\n"
    "options:\n"
    "  --program N|NAME     factory program by number (0-63) or name (default 0)\n"
    "  --set NAME=VALUE     a parameter by name, the value as a host would type it\n"
    "                       (\"Type F2=Ring\", \"Bw F1=0.35\", \"Unison=On\"); repeatable,\n"
    "                       applied in order after the program\n"
    "  --formants A,B,C     the types of formants F1, F2, F3 (Fixed, Partial, Ring)\n"
    "  --unison             \"Unison\" on\n"
    "  --clip               the clip light lit: an overload is rendered first\n"
    "  --learn STATE        the MIDI learn switch: armed, unlearn (switched to\n"
    "                       unlearn, idle) or unlearn-armed\n"
    "  --crop L,T,R,B       only this part of the editor (right and bottom excluded)\n"
    "  --scale N            every pixel drawn as N x N pixels (close-ups; default 1)\n"
    "  --out FILE           the PNG file to write\n";

int Fail(const std::string& what) {
  std::fprintf(stderr, "quarvi-picture: %s\n", what.c_str());
  return 1;
}

VstIntPtr VSTCALLBACK Host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

struct Options {
  std::string program = "0";
  std::vector<std::string> sets;
  bool unison = false;
  bool clip = false;
  std::string learn;
  bool crop = false;
  int cropRect[4] = {0, 0, kEditorWidth, kEditorHeight};
  int scale = 1;
  std::string out;
};

bool ParseInt(const std::string& text, int* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || v < -100000 || v > 100000) return false;
  *value = static_cast<int>(v);
  return true;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t at = text.find(separator, start);
    parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return parts;
    start = at + 1;
  }
}

// Returns an empty text, or what is wrong with the arguments.
std::string ParseArguments(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) return false;
      *out = argv[++i];
      return true;
    };
    std::string v;
    if (a == "--unison") {
      o->unison = true;
    } else if (a == "--clip") {
      o->clip = true;
    } else if (a == "--program") {
      if (!value(&o->program)) return "--program needs a number or a name";
    } else if (a == "--set") {
      if (!value(&v) || v.find('=') == std::string::npos) return "--set needs NAME=VALUE";
      o->sets.push_back(v);
    } else if (a == "--formants") {
      if (!value(&v)) return "--formants needs three types";
      const std::vector<std::string> types = Split(v, ',');
      if (types.size() != 3) return "--formants needs three types, e.g. Fixed,Partial,Ring";
      for (int k = 0; k < 3; ++k) o->sets.push_back("Type F" + std::to_string(k + 1) + "=" + types[k]);
    } else if (a == "--learn") {
      if (!value(&o->learn) || (o->learn != "armed" && o->learn != "unlearn" && o->learn != "unlearn-armed"))
        return "--learn takes armed, unlearn or unlearn-armed";
    } else if (a == "--crop") {
      const std::vector<std::string> parts = value(&v) ? Split(v, ',') : std::vector<std::string>();
      bool ok = parts.size() == 4;
      for (int k = 0; ok && k < 4; ++k) ok = ParseInt(parts[k], &o->cropRect[k]);
      const int* r = o->cropRect;
      if (!ok || r[0] < 0 || r[1] < 0 || r[2] > kEditorWidth || r[3] > kEditorHeight || r[0] >= r[2] || r[1] >= r[3])
        return "--crop needs L,T,R,B inside the editor's 1072 x 680 pixels";
      o->crop = true;
    } else if (a == "--scale") {
      if (!value(&v) || !ParseInt(v, &o->scale) || o->scale < 1 || o->scale > 8) return "--scale takes 1 to 8";
    } else if (a == "--out") {
      if (!value(&o->out)) return "--out needs a file name";
    } else if (a == "-h" || a == "--help") {
      return "help";
    } else {
      return "unknown argument " + a;
    }
  }
  if (o->out.empty()) return "no --out file";
  return "";
}

// A value text of the parameter in its own spelling ("On" is "on" for a
// switch); any other text as it is.
std::string ExactValueText(const IPlugParam& p, const std::string& text) {
  for (int v = static_cast<int>(p.min); v <= static_cast<int>(p.max) && p.ValueTextCount() > 0; ++v)
    if (strcasecmp(p.ValueText(v), text.c_str()) == 0) return p.ValueText(v);
  return text;
}

// The program's number, by number or by name; -1 when there is none.
int FindProgram(Quarvi& q, const std::string& which) {
  int n;
  if (ParseInt(which, &n)) return n >= 0 && n < q.NPresets() ? n : -1;
  for (int i = 0; i < q.NPresets(); ++i)
    if (which == q.GetPresetName(i)) return i;
  return -1;
}

// Renders an overload through the output stage: a loud chord at full volume.
// The clip flag it leaves is what the editor's idle call turns into the
// light; the volume is put back, so the picture shows the program's own.
bool RenderOverload(AEffect* e, Quarvi& q) {
  const int volume = FindParamIndex("Volume");
  const float before = e->getParameter(e, volume);
  e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
  e->dispatcher(e, effSetBlockSize, 0, 512, nullptr, 0.0f);
  e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
  e->setParameter(e, volume, 1.0f);
  for (int key : {36, 43, 48, 55, 60, 64, 67, 72}) {
    MidiMessage m;
    m.offset = 0;
    m.status = 0x90;
    m.data1 = static_cast<uint8_t>(key);
    m.data2 = 127;
    q.HandleMidiMessage(m);
  }
  std::vector<float> l(512), r(512);
  float* outs[2] = {l.data(), r.data()};
  bool loud = false;
  for (int block = 0; block < 94 && !loud; ++block) {  // up to a second
    e->processReplacing(e, nullptr, outs, 512);
    for (int i = 0; i < 512; ++i) loud = loud || l[i] > 1.0f || l[i] < -1.0f || r[i] > 1.0f || r[i] < -1.0f;
  }
  e->setParameter(e, volume, before);
  return loud;
}

void Click(IGraphics* g, const LayoutRect& r, bool right) {
  MouseMods m;
  m.L = !right;
  m.R = right;
  const int x = (r.L + r.R) / 2, y = (r.T + r.B) / 2;
  g->OnMouseDown(x, y, m);
  g->OnMouseUp(x, y, m);
}

bool WritePicture(IGraphicsHeadless* g, const Options& o) {
  if (!o.crop && o.scale == 1) return g->WritePNG(o.out);
  const int* r = o.cropRect;
  const int w = r[2] - r[0], h = r[3] - r[1], s = o.scale;
  LICE_IBitmap* from = g->BackBuffer();
  LICE_MemBitmap picture(w * s, h * s);
  if (!from || picture.GetWidth() != w * s) return false;
  for (int y = 0; y < h * s; ++y) {
    const LICE_pixel* in = from->GetBits() + static_cast<size_t>(r[1] + y / s) * from->GetRowSpan() + r[0];
    LICE_pixel* out = picture.GetBits() + static_cast<size_t>(y) * picture.GetRowSpan();
    for (int x = 0; x < w * s; ++x) out[x] = in[x / s];
  }
  return LICE_WritePNG(&picture, o.out.c_str(), false);
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  const std::string wrong = ParseArguments(argc, argv, &o);
  if (wrong == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!wrong.empty()) {
    std::fprintf(stderr, "quarvi-picture: %s\n\n%s", wrong.c_str(), kUsage);
    return 2;
  }

  static ConfigLocations none;  // no settings folder: the factory bank, no file touched
  OverrideConfigLocations(&none);
  AEffect* e = VSTPluginMain(Host);
  if (!e) return Fail("no instance");
  e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
  struct Closer {
    AEffect* e;
    ~Closer() { e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f); }
  } closer{e};
  Quarvi& q = *static_cast<Quarvi*>(static_cast<IPlugVST*>(e->object));
  // The instance's editor, built again into the headless window layer
  // (whatever window layer this platform has).
  auto* g = new IGraphicsHeadless(&q);
  q.InstallEditor(g);

  const int program = FindProgram(q, o.program);
  if (program < 0) return Fail("no program " + o.program);
  e->dispatcher(e, effSetProgram, 0, program, nullptr, 0.0f);
  if (o.unison) o.sets.push_back("Unison=On");
  for (const std::string& s : o.sets) {
    const size_t eq = s.find('=');
    const std::string name = s.substr(0, eq);
    std::string text = s.substr(eq + 1);
    const int index = FindParamIndex(name.c_str());
    if (index < 0) return Fail("no parameter \"" + name + "\"");
    text = ExactValueText(*q.GetParam(index), text);
    if (!e->dispatcher(e, effString2Parameter, index, 0, &text[0], 0.0f))
      return Fail("\"" + name + "\" does not take \"" + text + "\"");
  }
  if (o.clip && !RenderOverload(e, q)) return Fail("this program does not overload even at full volume");

  g->OpenWindow(nullptr);
  const LayoutRect& learn = kEditorControls[LayoutIndex::kLearnSwitch].rect;
  if (o.learn == "unlearn" || o.learn == "unlearn-armed") Click(g, learn, true);
  if (o.learn == "armed" || o.learn == "unlearn-armed") Click(g, learn, false);
  e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0.0f);
  for (int tick = 0; tick < 4 && g->Tick(); ++tick) {
  }
  // The picture is the screen: every tick presents only the rect it drew.
  // Text is not clipped to that rect, so the back buffer around it may hold
  // text drawn twice that no window ever shows; a full paint, as a window
  // gets when it is uncovered, puts the whole of it right.
  g->DrawAll();
  if (o.clip && g->GetControl(LayoutIndex::kClipLed)->IsHidden()) return Fail("the clip light did not come on");
  if (!WritePicture(g, o)) return Fail("cannot write " + o.out);
  return 0;
}
