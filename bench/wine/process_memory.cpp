#include "process_memory.h"

#include <psapi.h>

#include <string>

#include "orvflash_process.h"

ProcessMemory MemoryOf(DWORD processId) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    const bool got =
        process != nullptr && GetProcessMemoryInfo(process, &counters, sizeof counters);
    if (process != nullptr) {
        CloseHandle(process);
    }
    if (!got) {
        throw e2e::DriverError("no memory figures for process " + std::to_string(processId));
    }
    return {counters.WorkingSetSize, counters.PeakWorkingSetSize};
}
