// Growing a page-granular HeapBuf to 1 MB in 8-byte appends, beside std::vector doing the same.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "framework/HeapBuf.h"

namespace {

constexpr int kTotal = 1 << 20;

void BM_HeapBufAppend8(benchmark::State& state) {
  const uint64_t value = 0x0123456789ABCDEFull;
  int64_t reallocations = 0;
  for (auto _ : state) {
    HeapBuf hb(4096);
    int allocated = 0;
    for (int size = 0; size < kTotal; size += 8) {
      auto* p = static_cast<unsigned char*>(hb.Resize(size + 8, false));
      std::memcpy(p + size, &value, 8);
      if (hb.GetAllocated() != allocated) {
        allocated = hb.GetAllocated();
        ++reallocations;
      }
    }
    benchmark::DoNotOptimize(hb.Get());
  }
  state.counters["reallocs/run"] = benchmark::Counter(static_cast<double>(reallocations) / state.iterations());
  state.SetBytesProcessed(state.iterations() * kTotal);
}
BENCHMARK(BM_HeapBufAppend8);

void BM_VectorInsert8(benchmark::State& state) {
  const uint64_t value = 0x0123456789ABCDEFull;
  const auto* bytes = reinterpret_cast<const uint8_t*>(&value);
  for (auto _ : state) {
    std::vector<uint8_t> v;
    for (int size = 0; size < kTotal; size += 8) v.insert(v.end(), bytes, bytes + 8);
    benchmark::DoNotOptimize(v.data());
  }
  state.SetBytesProcessed(state.iterations() * kTotal);
}
BENCHMARK(BM_VectorInsert8);

}  // namespace
