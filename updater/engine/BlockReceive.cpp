#include "BlockReceive.h"

#include "DownloadSink.h"
#include "UniqueHandle.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

namespace {

const DWORD kReadBytes = 1 << 20;

// The bytes of a run of chunks fetched together, written on, each chunk
// checked against its digest once its last byte arrived.
class CChunkSink : public IDownloadSink {
public:
    CChunkSink(CPartialFile& file, const std::vector<blockmap::Chunk>& chunks, size_t first,
               size_t end)
        : m_file(file), m_chunks(chunks), m_index(first), m_end(end) {}

    Win32Result Add(const char* data, DWORD size) override {
        while (size) {
            if (m_index == m_end)
                return Win32Result::Failed("InternetReadFile", ERROR_FILE_TOO_LARGE);
            const blockmap::Chunk& chunk = m_chunks[m_index];
            const DWORD take = static_cast<DWORD>(std::min<size_t>(size, chunk.length - m_inChunk));
            const Win32Result written = m_file.Write(data, take);
            if (!written.Ok())
                return written;
            m_digest.Update(reinterpret_cast<const unsigned char*>(data), take);
            m_inChunk += take;
            data += take;
            size -= take;
            if (m_inChunk == chunk.length) {
                if (m_digest.Finish() != chunk.sha256) {
                    m_bMismatch = true;
                    return Win32Result::Failed("InternetReadFile", ERROR_INVALID_DATA);
                }
                ++m_index;
                m_inChunk = 0;
            }
        }
        return Win32Result();
    }
    Win32Result Finish() override {
        return m_index == m_end ? Win32Result()
                                : Win32Result::Failed("InternetReadFile", ERROR_HANDLE_EOF);
    }
    bool Mismatched() const { return m_bMismatch; }

private:
    CPartialFile& m_file;
    const std::vector<blockmap::Chunk>& m_chunks;
    size_t m_index, m_end;
    size_t m_inChunk = 0;
    CChunkSha256 m_digest;
    bool m_bMismatch = false;
};

// A chunk of the installed file, read at its offset, into the partial file.
Win32Result CopyChunk(HANDLE local, const blockmap::Chunk& chunk, CPartialFile& file,
                      std::vector<char>& buffer) {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(chunk.offset);
    if (!::SetFilePointerEx(local, at, nullptr, FILE_BEGIN))
        return Win32Result::Failed("SetFilePointerEx");
    buffer.resize(chunk.length);
    DWORD read = 0;
    if (!::ReadFile(local, buffer.data(), static_cast<DWORD>(chunk.length), &read, nullptr))
        return Win32Result::Failed("ReadFile");
    if (read != chunk.length)
        return Win32Result::Failed("ReadFile", ERROR_HANDLE_EOF);
    return file.Write(buffer.data(), read);
}

DWORD ShownBytes(unsigned long long bytes) {
    return static_cast<DWORD>(std::min<unsigned long long>(bytes, 0xFFFFFFFFull));
}

} // namespace

void CChunkSha256::Update(const unsigned char* data, size_t size) {
    if (!m_begun) {
        m_failed = !m_hash.Begin().Ok();
        m_begun = true;
    }
    if (!m_failed && size)
        m_failed = !m_hash.Add(data, static_cast<DWORD>(size)).Ok();
}

std::string CChunkSha256::Finish() {
    if (!m_begun)
        Update(nullptr, 0);
    std::string hex;
    const bool ok = !m_failed && m_hash.Finish(hex).Ok();
    m_begun = false;
    m_failed = false;
    return ok ? hex : std::string();
}

bool MapOfFile(HANDLE file, blockmap::BlockMap& map) {
    // The cut is cheap and in order; the digests are not, and each chunk's
    // stands alone: two threads take them, each reading its chunks at their
    // offsets.
    if (::SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return false;
    blockmap::MapBuilder cutter;
    std::vector<unsigned char> buffer(kReadBytes);
    // A file no map can list is not read to its end.
    while (!cutter.Failed()) {
        DWORD read = 0;
        if (!::ReadFile(file, buffer.data(), kReadBytes, &read, nullptr))
            return false;
        if (!read)
            break;
        cutter.Add(buffer.data(), read);
    }
    blockmap::BlockMap cut;
    if (!cutter.Finish(cut))
        return false;
    bool ok[2] = {true, true};
    const auto digest = [&](size_t first) {
        CChunkSha256 sha;
        std::vector<unsigned char> bytes(blockmap::kMaxChunk);
        for (size_t i = first; i < cut.chunks.size() && ok[first]; i += 2) {
            blockmap::Chunk& chunk = cut.chunks[i];
            OVERLAPPED at = {};
            at.Offset = static_cast<DWORD>(chunk.offset);
            at.OffsetHigh = static_cast<DWORD>(chunk.offset >> 32);
            DWORD read = 0;
            ok[first] =
                ::ReadFile(file, bytes.data(), static_cast<DWORD>(chunk.length), &read, &at) &&
                read == chunk.length;
            sha.Update(bytes.data(), read);
            chunk.sha256 = sha.Finish();
            ok[first] = ok[first] && !chunk.sha256.empty();
        }
    };
    std::thread second;
    try {
        second = std::thread(digest, 1);
    } catch (const std::system_error&) {
        digest(1); // no second thread: in turn
    }
    digest(0);
    if (second.joinable())
        second.join();
    if (!ok[0] || !ok[1])
        return false;
    map = std::move(cut);
    return true;
}

std::unique_ptr<CPartialFile> ReceiveByBlocks(CTraceBase& trace, CNetDownLoader& downloader,
                                              const ModuleRecord& r, unsigned long long* size,
                                              unsigned long long* fetchedBytes) {
    if (r.blocks.empty() || r.blocksSha256.empty())
        return nullptr;
    const auto whole = [&](const std::string& why) {
        trace.Trace(TRACE_WARNING, "DownloadNewFiles : %s : %s, the whole module is received",
                    r.remoteFile.c_str(), why.c_str());
        return std::unique_ptr<CPartialFile>();
    };
    if (!downloader.ServesRanges())
        return whole("no byte ranges over this protocol");
    // Nobody writes it meanwhile: the bytes reused are the bytes cut. It may
    // be renamed (the partial file's checks of its target do).
    const unique_hfile local(::CreateFileA(r.localFile.c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!local)
        return whole(::GetLastError() == ERROR_FILE_NOT_FOUND ? "no installed file to reuse"
                                                              : "installed file not readable");

    CMemorySink mapBytes(static_cast<DWORD>(blockmap::kMaxMapBytes));
    if (!downloader.ReadRemoteFile(r.blocks, mapBytes, 0, ""))
        return whole("block map not received");
    CChunkSha256 mapHash;
    mapHash.Update(reinterpret_cast<const unsigned char*>(mapBytes.Bytes().data()),
                   mapBytes.Bytes().size());
    std::string digest = mapHash.Finish();
    if (digest != r.blocksSha256)
        return whole("block map fails its digest");
    blockmap::BlockMap map;
    std::string reason;
    if (!blockmap::ParseMap(mapBytes.Bytes(), map, reason))
        return whole("block map refused (" + reason + ")");
    if (r.size >= 0 && map.size != static_cast<unsigned long long>(r.size))
        return whole("block map is not of the listed size");
    blockmap::BlockMap have;
    if (!MapOfFile(local.get(), have))
        return whole("installed file could not be cut");
    std::unordered_map<std::string, const blockmap::Chunk*> reusable;
    for (const blockmap::Chunk& c : have.chunks)
        reusable.emplace(c.sha256, &c);
    const auto missing = [&](size_t i) { return !reusable.count(map.chunks[i].sha256); };
    unsigned long long toFetch = 0;
    for (size_t i = 0; i < map.chunks.size(); ++i)
        if (missing(i))
            toFetch += map.chunks[i].length;

    auto file = std::make_unique<CPartialFile>();
    const Win32Result opened = file->Open(r.localFile);
    if (!opened.Ok())
        return whole(std::string("partial file not opened : ") + opened.FailedCall());
    unsigned long long fetched = 0, reused = 0;
    std::vector<char> buffer;
    for (size_t i = 0; i < map.chunks.size();) {
        if (!missing(i)) {
            const blockmap::Chunk& from = *reusable[map.chunks[i].sha256];
            const Win32Result copied = CopyChunk(local.get(), from, *file, buffer);
            if (!copied.Ok())
                return whole(std::string("installed file not copied : ") + copied.FailedCall());
            reused += from.length;
            ++i;
            continue;
        }
        // Missing chunks side by side go in one range.
        size_t end = i;
        unsigned long long length = 0;
        while (end < map.chunks.size() && missing(end))
            length += map.chunks[end++].length;
        CChunkSink sink(*file, map.chunks, i, end);
        if (!downloader.ReadRemoteRange(r.remoteFile, map.chunks[i].offset, length, sink,
                                        fetched ? std::string() : r.localFile, ShownBytes(toFetch),
                                        ShownBytes(fetched)))
            return whole(sink.Mismatched() ? "a fetched chunk fails its digest"
                                           : "a range was not served as asked");
        fetched += length;
        i = end;
    }
    const Win32Result closed = file->Close();
    if (!closed.Ok())
        return whole(std::string("partial file not closed : ") + closed.FailedCall());
    unsigned long long bytes = 0;
    if (!r.sha256.empty() &&
        (!HashOpenFile(file->Held(), digest, &bytes).Ok() || digest != r.sha256))
        return whole("the file made fails its SHA-256");
    trace.Trace(TRACE_INFO,
                "DownloadNewFiles : %s by its block map : %llu bytes fetched, %llu reused",
                r.remoteFile.c_str(), fetched, reused);
    *size = map.size;
    *fetchedBytes = fetched + mapBytes.Bytes().size();
    return file;
}
