#pragma once
// A module received by the chunks of its block map: the chunks the installed
// file already has are copied from it, the others fetched with range
// requests and each checked against the map as it arrives. Anything
// unexpected leaves the module to the whole download.

#include "BlockMap.h"
#include "Crypto.h"
#include "NetDownLoader.h"
#include "PartialFile.h"
#include "TraceBase.h"
#include "VersionList.h"

#include <memory>
#include <string>

// The block map's chunk digest through CryptoAPI.
class CChunkSha256 : public blockmap::ChunkDigest {
public:
    void Update(const unsigned char* data, size_t size) override;
    // Empty when a step failed.
    std::string Finish() override;

private:
    CSha256 m_hash;
    bool m_begun = false;
    bool m_failed = false;
};

// The map of an open file, read from its start; false when it could not be
// read or cut.
bool MapOfFile(HANDLE file, blockmap::BlockMap& map);

// For a line that names a block map, over a protocol that gives byte ranges
// and with the installed file there to reuse: the module received into a
// partial file beside it, closed and held, its SHA-256 checked where listed;
// size gets its bytes, fetched those that came over the network (the map's
// and the chunks fetched). Null when the line names no map, and null with a
// level-2 trace naming why when anything else is unexpected: the caller
// then receives the module whole.
std::unique_ptr<CPartialFile> ReceiveByBlocks(CTraceBase& trace, CNetDownLoader& downloader,
                                              const ModuleRecord& record, unsigned long long* size,
                                              unsigned long long* fetched);
