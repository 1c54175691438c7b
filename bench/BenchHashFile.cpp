// SHA-256 of local files as the comparison of hash-listed modules makes it
// (HashFile: CryptoAPI, large reads), against reading the same files alone.
//   bench_hash_file.exe <file>...
#include "BenchCommon.h"
#include "Crypto.h"

#include <string>
#include <vector>

// CPU seconds of this thread, so a busy machine shows the rate per CPU second.
static double ThreadCpuSeconds() {
    FILETIME created, exited, kernel, user;
    ::GetThreadTimes(::GetCurrentThread(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                                   t.dwLowDateTime) /
               1e7;
    };
    return seconds(kernel) + seconds(user);
}

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_hash_file <file>...\n");
        return 2;
    }
    unsigned long long bytes = 0;
    std::vector<char> buffer(1 << 20);
    double start = BenchSeconds();
    for (int i = 1; i < argc; ++i) {
        HANDLE file = ::CreateFileA(argv[i], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        DWORD count = 0;
        while (
            ::ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &count, nullptr) &&
            count)
            bytes += count;
        ::CloseHandle(file);
    }
    double read = BenchSeconds() - start;

    bool ok = true;
    start = BenchSeconds();
    double cpu = ThreadCpuSeconds();
    for (int i = 1; i < argc; ++i) {
        std::string hex;
        unsigned long long size = 0;
        ok = HashFile(argv[i], hex, &size).Ok() && ok;
    }
    double hashed = BenchSeconds() - start;
    cpu = ThreadCpuSeconds() - cpu;
    const double mib = static_cast<double>(bytes) / (1 << 20);
    std::printf("read only: %.1f MiB/s, read and SHA-256: %.1f MiB/s, %.1f MiB per CPU second "
                "(%.0f MiB)\n",
                mib / read, mib / hashed, mib / cpu, mib);
    BenchReport(ok, hashed, bytes);
    return ok ? 0 : 1;
}
