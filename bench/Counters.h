// What the whole process did over a stretch of a benchmark, per iteration: system calls, heap
// allocations and context switches, as benchmark counters. Counted honestly and cheaply:
// - system calls: the kernel's raw_syscalls:sys_enter tracepoint, through perf_event_open, one
//   counter for each thread that exists when counting starts (so start once every thread of the
//   case is up); left out, with a note on standard error, where perf may not be used;
// - heap allocations: every block taken from the C library's allocator by any code of the
//   process, Qt's and the C library's own included, and so every operator new (Counters.cpp
//   defines malloc, calloc, realloc and the aligned ones, which hand on to glibc's);
// - context switches: getrusage for the process, voluntary and involuntary, every thread.
// Bench code; used by one thread.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

class ProcessCounters {
public:
    ProcessCounters() = default;
    ~ProcessCounters();
    ProcessCounters(const ProcessCounters&) = delete;
    ProcessCounters& operator=(const ProcessCounters&) = delete;

    void Start();
    // Stops counting and sets the counters "syscalls", "allocations" and "switches" of state,
    // averaged over its iterations.
    void Stop(benchmark::State& state);

private:
    void CloseSyscallCounters();

    std::vector<int> fSyscallCounters;  // perf event descriptors, one per thread
    int64_t fAllocations = 0;
    int64_t fSwitches = 0;
};

// Heap allocations made by the process so far (malloc and its kin), from any thread.
int64_t AllocationsSoFar();
