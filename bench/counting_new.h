// Counting replacements of the global allocation functions, for benchmarks that must not touch
// the heap inside their timed loop. Include it in exactly one file of a benchmark program.
#pragma once

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace bench {

inline std::atomic<long> gAllocations{0};

// Reports the allocations made since before as a counter, and fails the benchmark on any.
inline void reportAllocations(benchmark::State& state, long before) {
    const long made = gAllocations.load() - before;
    state.counters["allocations"] = static_cast<double>(made);
    if (made != 0) state.SkipWithError("heap allocation inside the timed loop");
}

}  // namespace bench

// GCC mistakes the pairing of the replaced operators with malloc and free for a mismatch.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    bench::gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
#pragma GCC diagnostic pop
