// How much memory a process holds, as the system reports it.
#ifndef ORVFLASH_BENCH_PROCESS_MEMORY_H
#define ORVFLASH_BENCH_PROCESS_MEMORY_H

#include <windows.h>

#include <cstddef>

struct ProcessMemory {
    std::size_t workingSet = 0;
    std::size_t peakWorkingSet = 0;
};

// Throws when the process cannot be asked.
ProcessMemory MemoryOf(DWORD processId);

#endif
