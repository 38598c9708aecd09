#include "bench/Counters.h"

#include <dirent.h>
#include <linux/perf_event.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

std::atomic<int64_t> gAllocations{0};

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

// Every block the process takes from the C library's allocator is counted here: the program
// defines the allocation functions itself, and the dynamic linker binds every library's calls to
// them (Qt's, the C library's own, and libstdc++'s operator new, which calls malloc or
// aligned_alloc). Each hands the call on to glibc's allocator under its internal name, so that
// glibc's free releases what they return. valloc and pvalloc, which nothing here calls, are left
// out.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* memory, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);

void* malloc(std::size_t size) noexcept {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) noexcept {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(count, size);
}
// A realloc counts as one allocation, whether or not the block moves.
void* realloc(void* memory, std::size_t size) noexcept {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(memory, size);
}
void* memalign(std::size_t alignment, std::size_t size) noexcept {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(std::size_t alignment, std::size_t size) noexcept {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** memory, std::size_t alignment, std::size_t size) noexcept {
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0)
        return EINVAL;
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    void* block = __libc_memalign(alignment, size);
    if (block == nullptr)
        return ENOMEM;
    *memory = block;
    return 0;
}
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
