#include "bench/Counters.h"

#include <dirent.h>
#include <linux/perf_event.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <new>
#include <string>

namespace {

std::atomic<int64_t> gAllocations{0};

void* Allocate(std::size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* memory = std::malloc(size == 0 ? 1 : size))
        return memory;
    throw std::bad_alloc();
}

void* AllocateAligned(std::size_t size, std::align_val_t alignment) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    const auto align = static_cast<std::size_t>(alignment);
    if (void* memory = std::aligned_alloc(align, (size + align - 1) / align * align))
        return memory;
    throw std::bad_alloc();
}

// The id of the system call entry tracepoint, or -1 when tracing is not reachable.
long SyscallTracepoint() {
    for (const char* path : {"/sys/kernel/tracing/events/raw_syscalls/sys_enter/id",
                             "/sys/kernel/debug/tracing/events/raw_syscalls/sys_enter/id"}) {
        std::ifstream file(path);
        long id = -1;
        if (file >> id)
            return id;
    }
    return -1;
}

int64_t ContextSwitches() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw + usage.ru_nivcsw;
}

}  // namespace

void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return AllocateAligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return AllocateAligned(size, alignment);
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete[](void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::align_val_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::align_val_t) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept {
    std::free(memory);
}

int64_t AllocationsSoFar() {
    return gAllocations.load(std::memory_order_relaxed);
}

ProcessCounters::~ProcessCounters() {
    CloseSyscallCounters();
}

void ProcessCounters::CloseSyscallCounters() {
    for (int counter : fSyscallCounters)
        close(counter);
    fSyscallCounters.clear();
}

void ProcessCounters::Start() {
    CloseSyscallCounters();
    static const long tracepoint = SyscallTracepoint();
    static bool told = false;
    DIR* tasks = tracepoint >= 0 ? opendir("/proc/self/task") : nullptr;
    while (dirent* task = tasks ? readdir(tasks) : nullptr) {
        if (task->d_name[0] == '.')
            continue;
        perf_event_attr attribute{};
        attribute.size = sizeof attribute;
        attribute.type = PERF_TYPE_TRACEPOINT;
        attribute.config = static_cast<uint64_t>(tracepoint);
        attribute.disabled = 1;
        const long counter = syscall(SYS_perf_event_open, &attribute, std::stoi(task->d_name), -1,
                                     -1, PERF_FLAG_FD_CLOEXEC);
        if (counter < 0) {
            CloseSyscallCounters();
            break;
        }
        fSyscallCounters.push_back(static_cast<int>(counter));
    }
    if (tasks != nullptr)
        closedir(tasks);
    if (fSyscallCounters.empty() && !told) {
        told = true;
        std::fprintf(stderr,
                     "System calls are not counted: perf_event_open on the "
                     "raw_syscalls:sys_enter tracepoint is not permitted here.\n");
    }
    for (int counter : fSyscallCounters)
        ioctl(counter, PERF_EVENT_IOC_ENABLE, 0);
    fSwitches = ContextSwitches();
    fAllocations = AllocationsSoFar();
}

void ProcessCounters::Stop(benchmark::State& state) {
    const int64_t allocations = AllocationsSoFar() - fAllocations;
    const int64_t switches = ContextSwitches() - fSwitches;
    for (int counter : fSyscallCounters)
        ioctl(counter, PERF_EVENT_IOC_DISABLE, 0);
    int64_t syscalls = 0;
    for (int counter : fSyscallCounters) {
        uint64_t count = 0;
        if (read(counter, &count, sizeof count) == sizeof count)
            syscalls += static_cast<int64_t>(count);
    }
    const bool counted = !fSyscallCounters.empty();
    CloseSyscallCounters();
    using benchmark::Counter;
    if (counted)
        state.counters["syscalls"] =
            Counter(static_cast<double>(syscalls), Counter::kAvgIterations);
    state.counters["allocations"] =
        Counter(static_cast<double>(allocations), Counter::kAvgIterations);
    state.counters["switches"] = Counter(static_cast<double>(switches), Counter::kAvgIterations);
}
