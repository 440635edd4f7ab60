// The drawing layer's throughput in pixels per second for each fast path
// (items_per_second), and the time of one knob redraw.
//   build/linux/quarvi_draw_bench [--benchmark_repetitions=5]
#include <benchmark/benchmark.h>

#include "Config.h"
#include "DrawWork.h"
#include "IGraphicsHeadless.h"
#include "Quarvi.h"

namespace {

DrawScene& Scene() {
  static DrawScene scene;
  return scene;
}

void BM_Draw(benchmark::State& state, int path) {
  DrawScene& s = Scene();
  for (auto _ : state) {
    s.Run(kDrawPaths[path]);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kDrawSide * kDrawSide);
}

// The frame alone (copy + source alpha) and with the background under it.
void BM_KnobFrame(benchmark::State& state) {
  DrawScene& s = Scene();
  int frame = 0;
  const LICE_Rect cell{0, 0, kKnobSide, kKnobSide};
  for (auto _ : state) {
    LICE_Rect c = cell;
    c.y = (frame++ % kKnobFrames) * kKnobSide;
    LICE_Blit(&s.back, &s.knob, 500, 300, &c, 1.0f, LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kKnobSide * kKnobSide);
}

void BM_KnobRedraw(benchmark::State& state) {
  DrawScene& s = Scene();
  int frame = 0;
  for (auto _ : state) {
    s.KnobFrame(frame++);
    benchmark::ClobberMemory();
  }
}

// The whole editor, every control drawn into the back buffer, as the first
// paint of an opened window does.
void BM_EditorFullRedraw(benchmark::State& state) {
  static const ConfigLocations nowhere;  // no settings file is read or made
  OverrideConfigLocations(&nowhere);
  Quarvi q(nullptr);
  auto* editor = new IGraphicsHeadless(&q);
  q.InstallEditor(editor);
  editor->OpenWindow(nullptr);
  const Rect all(0, 0, editor->Width(), editor->Height());
  for (auto _ : state) {
    editor->SetAllControlsDirty();
    editor->DrawDirty(all);
    benchmark::ClobberMemory();
  }
  state.counters["controls"] = editor->NControls();
}

int Register() {
  for (int i = 0; i < kDrawPathCount; ++i) {
    benchmark::RegisterBenchmark((std::string("Draw/") + kDrawPaths[i].name).c_str(), BM_Draw, i);
  }
  benchmark::RegisterBenchmark("KnobFrame/40x40 copy+alpha", BM_KnobFrame);
  benchmark::RegisterBenchmark("KnobFrame/background+frame", BM_KnobRedraw);
  benchmark::RegisterBenchmark("Editor/full redraw", BM_EditorFullRedraw)->Unit(benchmark::kMicrosecond);
  return 0;
}
const int kRegistered = Register();

}  // namespace

BENCHMARK_MAIN();
