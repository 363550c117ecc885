// How fast the block map analysis runs, next to the literal byte-by-bit loop
// it replaces and to a plain read of every word of the same map (the most any
// analysis that looks at every byte can hope for).
//   blockmap_bench [--benchmark_repetitions=N ...]
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "blockmap/blockmap.h"
#include "literal_blockmap.h"

namespace {

constexpr size_t kMapBytes = 512 * 1024;
constexpr uint32_t kMapSeed = 20240607;

// Random bytes: the last byte is non-zero almost surely, so the analysis has
// no zero tail to skip and its time is the bit count.
std::vector<unsigned char> makeRandomMap() {
    std::mt19937 generator(kMapSeed);
    std::vector<unsigned char> map(kMapBytes);
    for (unsigned char& byte : map) byte = static_cast<unsigned char>(generator());
    return map;
}

const std::vector<unsigned char>& randomMap() {
    static const std::vector<unsigned char> map = makeRandomMap();
    return map;
}

void reportBytes(benchmark::State& state, size_t bytesPerIteration) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytesPerIteration));
}

void BM_Analyze(benchmark::State& state) {
    const std::vector<unsigned char>& map = randomMap();
    for (auto _ : state) {
        BlockMapSummary summary = analyzeBlockMap(map.data(), map.size());
        benchmark::DoNotOptimize(summary);
    }
    reportBytes(state, map.size());
}

void BM_Literal(benchmark::State& state) {
    const std::vector<unsigned char>& map = randomMap();
    for (auto _ : state) {
        BlockMapSummary summary = literalAnalyzeBlockMap(map.data(), map.size());
        benchmark::DoNotOptimize(summary);
    }
    reportBytes(state, map.size());
}

// Every word read once and folded into one value the compiler must produce.
void BM_MemoryScan(benchmark::State& state) {
    const std::vector<unsigned char>& map = randomMap();
    const unsigned char* bytes = map.data();
    const size_t words = map.size() / sizeof(uintptr_t);
    for (auto _ : state) {
        benchmark::DoNotOptimize(bytes);
        uintptr_t folded = 0;
        for (size_t i = 0; i < words; ++i) {
            uintptr_t word;
            std::memcpy(&word, bytes + i * sizeof word, sizeof word);
            folded ^= word;
        }
        benchmark::DoNotOptimize(folded);
    }
    reportBytes(state, words * sizeof(uintptr_t));
}

BENCHMARK(BM_Analyze);
BENCHMARK(BM_Literal);
BENCHMARK(BM_MemoryScan);

}  // namespace

BENCHMARK_MAIN();
