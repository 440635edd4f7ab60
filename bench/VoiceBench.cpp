// Render throughput of the four workloads (bench/Workload.h) with the
// straightforward reference engine and with each path of the engine's
// render, side by side in one run. Counters: "x_realtime" is seconds of audio
// per CPU second on one core; "ns_per_formant_sample" the CPU time of one
// formant generator for one sample including its share of the voice and
// control-rate work. After the runs a table gives, per workload, the CPU time
// of each engine relative to the reference (with repetitions, the fastest of
// each).
//   quarvi_bench [Google Benchmark options]
// On a shared machine, for example:
//   quarvi_bench --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "Random.h"
#include "Workload.h"

namespace {

void RenderWorkload(benchmark::State& state, const bench::WorkloadSpec* w, const bench::EngineSpec* e) {
  SetRenderPath(e->path);
  ResetRandomGenerators();
  auto scene = std::make_unique<workload::Scene>(w->voices, w->type);
  for (int i = 0; i < 200; ++i) scene->RenderHostBlock(e->engine);  // past the attack
  for (auto _ : state) {
    scene->RenderHostBlock(e->engine);
    benchmark::DoNotOptimize(scene->left[0]);
    benchmark::ClobberMemory();
  }
  SetRenderPath(RenderPath::kAuto);
  const double audioSeconds = workload::kHostBlock / workload::kSampleRate;
  state.counters["x_realtime"] = benchmark::Counter(audioSeconds, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["ns_per_formant_sample"] =
      benchmark::Counter(1e-9 * workload::kHostBlock * scene->FormantsSounding(),
                         benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Prints the usual console output, then the table of ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.run_type != Run::RT_Iteration || r.iterations == 0) continue;
      const std::string name = r.benchmark_name();
      const auto slash = name.find('/');
      if (slash == std::string::npos) continue;
      // Repetitions of one benchmark: the machine is shared, and the least
      // disturbed run is the one that says most about the code.
      const std::string key = name.substr(slash + 1);
      Entry& e = mEntries[name.substr(0, slash)][key.substr(0, key.find('/'))];
      const double cpu = r.cpu_accumulated_time / static_cast<double>(r.iterations);
      if (e.cpuSeconds > 0 && e.cpuSeconds <= cpu) continue;
      e.cpuSeconds = cpu;
      const auto rt = r.counters.find("x_realtime");
      if (rt != r.counters.end()) e.realTime = rt->second.value;
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf(
        "\nSpeed relative to the reference engine, by CPU time per host block (the fastest repetition);\n"
        "x real time on one core in brackets:\n");
    std::printf("%-24s", "workload");
    for (const bench::EngineSpec& e : bench::kEngines) std::printf(" %22s", e.key);
    std::printf("\n");
    for (const bench::WorkloadSpec& w : bench::kWorkloads) {
      const auto it = mEntries.find(w.key);
      if (it == mEntries.end()) continue;
      const auto ref = it->second.find("reference");
      std::printf("%-24s", w.name);
      for (const bench::EngineSpec& e : bench::kEngines) {
        const auto x = it->second.find(e.key);
        if (x == it->second.end() || ref == it->second.end()) {
          std::printf(" %22s", "-");
          continue;
        }
        char cell[64];
        std::snprintf(cell, sizeof cell, "%.2fx faster (%.1f)", ref->second.cpuSeconds / x->second.cpuSeconds,
                      x->second.realTime);
        std::printf(" %22s", cell);
      }
      std::printf("\n");
    }
  }

 private:
  struct Entry {
    double cpuSeconds = 0, realTime = 0;
  };
  std::map<std::string, std::map<std::string, Entry>> mEntries;
};

}  // namespace

int main(int argc, char** argv) {
  for (const bench::WorkloadSpec& w : bench::kWorkloads) {
    for (const bench::EngineSpec& e : bench::kEngines) {
      if (!RenderPathAvailable(e.path)) continue;
      benchmark::RegisterBenchmark((std::string(w.key) + "/" + e.key).c_str(), RenderWorkload, &w, &e);
    }
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
