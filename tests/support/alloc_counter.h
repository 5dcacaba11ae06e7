#pragma once
// Counts heap allocations made by the calling thread between start and stop, and can make
// them fail (the test program replaces the global operator new). Per thread; failing
// allocations throw std::bad_alloc (the nothrow forms give null).
#include <cstddef>

namespace alloccount {
void start();
long stop();
// Bytes asked for by the calling thread since start.
std::size_t bytes();
// From now on, the calling thread's allocations fail once `allocations` more have been
// made or one would take the bytes asked for beyond `byteBudget`; unlimited() lifts it.
void limit(long allocations, std::size_t byteBudget);
void unlimited();
}  // namespace alloccount
