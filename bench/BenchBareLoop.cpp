// The platform's own limit for a fixed read size: one GET, then
// InternetReadFile and WriteFile in blocks of that size (4096 bytes unless
// given), and the file flushed at the end, as a module is; nothing else.
//   bench_bare_loop.exe <port> <remote path> <local file> [read size]
#include "BenchCommon.h"

#include <wininet.h>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr,
                     "usage: bench_bare_loop <port> <remote path> <local file> [read size]\n");
        return 2;
    }
    HINTERNET root = ::InternetOpenA("bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    HINTERNET connection =
        ::InternetConnectA(root, "127.0.0.1", static_cast<INTERNET_PORT>(std::atoi(argv[1])),
                           nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    if (!connection)
        return 1;
    double start = BenchSeconds();
    const char* accept[] = {"*/*", nullptr};
    HINTERNET request = ::HttpOpenRequestA(
        connection, nullptr, argv[2], nullptr, nullptr, accept,
        INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION, 0);
    bool ok = request && ::HttpSendRequestA(request, nullptr, 0, nullptr, 0);
    HANDLE file = ::CreateFileA(argv[3], GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    unsigned long long total = 0;
    unsigned long long reads = 0;
    double readSeconds = 0, writeSeconds = 0;
    const DWORD size = argc == 5 ? static_cast<DWORD>(std::atoi(argv[4])) : 4096;
    std::vector<char> buffer(size);
    while (ok) {
        DWORD count = 0, written = 0;
        double before = BenchSeconds();
        BOOL read = ::InternetReadFile(request, buffer.data(), size, &count);
        double between = BenchSeconds();
        readSeconds += between - before;
        ++reads;
        if (!read) {
            ok = false;
            break;
        }
        if (count == 0)
            break;
        total += count;
        ok = ::WriteFile(file, buffer.data(), count, &written, nullptr) && written == count;
        writeSeconds += BenchSeconds() - between;
    }
    double beforeFlush = BenchSeconds();
    ok = ok && ::FlushFileBuffers(file);
    double flushSeconds = BenchSeconds() - beforeFlush;
    ::CloseHandle(file);
    double seconds = BenchSeconds() - start;
    ::InternetCloseHandle(request);
    ::InternetCloseHandle(connection);
    ::InternetCloseHandle(root);
    // Where the time goes: inside the library's read, the file write, the flush.
    std::printf("reads=%llu read_seconds=%.4f write_seconds=%.4f flush_seconds=%.4f\n", reads,
                readSeconds, writeSeconds, flushSeconds);
    BenchReport(ok, seconds, total);
    return ok ? 0 : 1;
}
