// Voice render throughput. The counter "x_realtime" is seconds of audio per
// CPU second on one core; "ns_per_formant_sample" is the cost of one formant
// generator for one sample including its share of the voice overhead.
#include <benchmark/benchmark.h>

#include <memory>

#include "Scene.h"

namespace {

void RenderScene(benchmark::State& state, int voices, int type) {
  auto scene = std::make_unique<bench::Scene>(voices, type);
  for (int i = 0; i < 200; ++i) scene->RenderHostBlock();  // past the attack
  for (auto _ : state) {
    scene->RenderHostBlock();
    benchmark::DoNotOptimize(scene->left[0]);
    benchmark::ClobberMemory();
  }
  const double audioSeconds = bench::kHostBlock / bench::kSampleRate;
  state.counters["x_realtime"] = benchmark::Counter(audioSeconds, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["ns_per_formant_sample"] =
      benchmark::Counter(1e-9 * bench::kHostBlock * scene->FormantsSounding(),
                         benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_OneVoiceFixed(benchmark::State& s) { RenderScene(s, 1, Formant::kFixed); }
void BM_64VoicesFixed(benchmark::State& s) { RenderScene(s, 64, Formant::kFixed); }
void BM_64VoicesPartial(benchmark::State& s) { RenderScene(s, 64, Formant::kPartial); }
void BM_64VoicesRing(benchmark::State& s) { RenderScene(s, 64, Formant::kRing); }

}  // namespace

BENCHMARK(BM_OneVoiceFixed);
BENCHMARK(BM_64VoicesFixed);
BENCHMARK(BM_64VoicesPartial);
BENCHMARK(BM_64VoicesRing);
BENCHMARK_MAIN();
