#pragma once
// Shared by the download benchmark programs: a monotonic clock and the
// process's peak memory, printed on one line for bench/download.sh.

#include <windows.h>
#include <psapi.h>
#include <cstdio>

inline double BenchSeconds() {
    LARGE_INTEGER now, frequency;
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

inline void BenchReport(bool ok, double seconds, unsigned long long bytes) {
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof(memory);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof(memory));
    std::printf("ok=%d seconds=%.4f bytes=%llu peak_ws_kib=%llu peak_private_kib=%llu\n",
                ok ? 1 : 0, seconds, bytes,
                static_cast<unsigned long long>(memory.PeakWorkingSetSize / 1024),
                static_cast<unsigned long long>(memory.PeakPagefileUsage / 1024));
}
