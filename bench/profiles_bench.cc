// Start-up cost of reading the shipped profile catalogue, and the cost of
// the unique-name rule when many earlier outputs exist.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "convert/output_naming.h"
#include "platform/paths.h"
#include "profiles/profile_catalogue.h"

namespace {

void BM_LoadShippedCatalogue(benchmark::State& state) {
  const std::string program = tarn::platform::ProgramFolder() + "../bin/";
  for (auto _ : state) {
    tarn::ProfileCatalogue c;
    c.Load(program);
    benchmark::DoNotOptimize(c.profiles.size());
  }
}
BENCHMARK(BM_LoadShippedCatalogue)->Unit(benchmark::kMillisecond);

void BM_MakeUniquePathWithExistingOutputs(benchmark::State& state) {
  const std::string dir = std::filesystem::temp_directory_path().string() + "/tarn-bench-unique/";
  std::filesystem::create_directories(dir);
  const int existing = static_cast<int>(state.range(0));
  if (FILE* f = std::fopen((dir + "Film[1].mp4").c_str(), "w")) std::fclose(f);
  for (int i = 0; i < existing; ++i)
    if (FILE* f = std::fopen((dir + "Film[1]_" + std::to_string(i) + ".mp4").c_str(), "w")) std::fclose(f);
  for (auto _ : state) benchmark::DoNotOptimize(tarn::MakeUniquePath(dir + "Film[1].mp4"));
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_MakeUniquePathWithExistingOutputs)->Arg(10)->Arg(1000);

}  // namespace

BENCHMARK_MAIN();
