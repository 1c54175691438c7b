// One module download the way the update pass makes it: size query, then
// DownloadFile of the same response, with the progress calls to the manager.
//   bench_download_file.exe <port> <remote path> <local file>
#include "AULMgr.h"
#include "BenchCommon.h"

#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench_download_file <port> <remote path> <local file>\n");
        return 2;
    }
    CAULMgr owner;
    CNetDownLoader net;
    net.SetOwner(&owner);
    if (!net.SetLoginInfo("127.0.0.1", PROTOCOL_HTTP, std::atoi(argv[1]), "", "") || !net.Connect())
        return 1;
    double start = BenchSeconds();
    DWORD size = 0;
    bool ok = net.GetRemoteFileSize(argv[2], &size) && net.DownloadFile(argv[2], argv[3], size);
    double seconds = BenchSeconds() - start;
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    ::GetFileAttributesExA(argv[3], GetFileExInfoStandard, &data);
    BenchReport(ok, seconds,
                (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
    return ok ? 0 : 1;
}
