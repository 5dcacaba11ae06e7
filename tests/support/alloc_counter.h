#pragma once
// Counts heap allocations made by the calling thread between start and stop (the test
// program replaces the global operator new).
namespace alloccount {
void start();
long stop();
}  // namespace alloccount
